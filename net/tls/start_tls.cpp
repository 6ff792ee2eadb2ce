#include "net/tls/start_tls.h"

#ifdef _WIN32
#include "net/tls/tls_channel.h"
#endif

std::unique_ptr<ByteStream> StartTls(TcpSocket& socket, const char* host, TlsSharedState* shared,
                                     long* error) {
  *error = 0;
#ifdef _WIN32
  auto channel = std::make_unique<TlsChannel>(socket, shared);
  if (channel->Handshake(host)) return channel;
  *error = channel->LastError();
#else
  static_cast<void>(socket);
  static_cast<void>(host);
  static_cast<void>(shared);
#endif
  return nullptr;
}

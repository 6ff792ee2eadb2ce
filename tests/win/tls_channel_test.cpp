// The TLS channel's use of its socket: a server that never answers the handshake is left by
// the socket's silence limit, and an abort from another thread ends a waiting handshake,
// just as they end a plain transfer. Handshakes with real servers are the e2e rig's (e2e_tls).
#include "net/tls/tls_channel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "net/socket/socket_address.h"
#include "tests/unit/scripted_server.h"

namespace {
using Clock = std::chrono::steady_clock;

struct SilentServerCase {
  const char* name;
  int receive_timeout_ms;
  int abort_after_ms;  // 0: no abort
};

void PrintTo(const SilentServerCase& c, std::ostream* os) {
  *os << c.name;
}

class TlsChannelSilentServer : public testing::TestWithParam<SilentServerCase> {};

TEST_P(TlsChannelSilentServer, HandshakeEndsWithoutAnAnswer) {
  const SilentServerCase& c = GetParam();
  ScriptedServer server({{}, ScriptEnd::Hold, 8000});
  TcpSocket socket;
  TransferLimits limits;
  limits.silence_ms = static_cast<std::uint32_t>(c.receive_timeout_ms);
  socket.SetLimits(limits);
  ASSERT_TRUE(socket.Create());
  ASSERT_TRUE(socket.Connect(ResolveHost("127.0.0.1", server.Port()).list.at(0)));

  TlsChannel channel(socket);
  std::atomic<int> handshake{-1};
  const auto began = Clock::now();
  std::thread client([&] { handshake = channel.Handshake("localhost") ? 1 : 0; });
  if (c.abort_after_ms > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(c.abort_after_ms));
    socket.Abort();
  }
  client.join();
  const auto waited = Clock::now() - began;

  EXPECT_EQ(handshake.load(), 0);
  EXPECT_EQ(channel.LastError(), 0) << "the connection, not TLS, ended it";
  EXPECT_GE(waited, std::chrono::milliseconds(c.abort_after_ms > 0 ? c.abort_after_ms : 250));
  EXPECT_LT(waited, std::chrono::seconds(5));
  char byte;
  EXPECT_FALSE(channel.SendAll("x", 1));
  EXPECT_EQ(channel.Receive(&byte, 1), -1);
  socket.Close();
  server.Finish();
}

INSTANTIATE_TEST_SUITE_P(Table, TlsChannelSilentServer,
                         testing::Values(SilentServerCase{"ReceiveTimeout", 300, 0},
                                         SilentServerCase{"Abort", 60000, 300}));
}  // namespace

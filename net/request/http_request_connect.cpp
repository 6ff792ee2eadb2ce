// The transfer's connection along its route: one kept from an earlier request the same way, or a
// new one to the server itself, or to a proxy, which for https is asked for a tunnel (CONNECT)
// before TLS starts over it. Each host's addresses are raced (connect_race.h). A proxy that
// cannot be reached gives way to the route's next hop; the last hop's failure is the transfer's.
#include <string>

#include "base/ascii.h"
#include "net/proxy/proxy_answer.h"
#include "net/request/http_request.h"
#include "net/tls/start_tls.h"

namespace {
const ProxyHop kDirect;
}  // namespace

const ProxyAddress* HttpRequest::ProxyUsed() const {
  if (hop_used_ < 0 || static_cast<std::size_t>(hop_used_) >= route_.hops.size()) return nullptr;
  const ProxyHop& hop = route_.hops[static_cast<std::size_t>(hop_used_)];
  return hop.direct ? nullptr : &hop.proxy;
}

bool HttpRequest::ThroughHttpProxy() const {
  return ProxyUsed() != nullptr && !state_.url.IsHttps();
}

std::string HttpRequest::Way() const {
  const Url& url = state_.url;
  std::string host = url.Host;
  for (char& c : host) c = AsciiLower(c);  // names are the same in any letter case
  return (url.IsHttps() ? "https://" : "http://") + host + ":" + std::to_string(url.Port) +
         " via " + route_.Text();
}

bool HttpRequest::TakeKeptConnection(const std::string& way) {
  std::unique_ptr<Connection> kept = pool_ != nullptr ? pool_->Take(way) : nullptr;
  if (!kept) return false;
  kept->socket.SetLimits(limits_);
  kept->socket.WatchSilence(this);
  kept->socket.RestartClocks();
  hop_used_ = kept->hop;
  InstallConnection(std::move(kept));
  OnKeptConnection(false);
  return true;
}

bool HttpRequest::OpenConnection() {
  const Url& url = state_.url;
  proxy_auth_offered_.clear();
  auto fresh = std::make_unique<Connection>();
  fresh->socket.SetLimits(limits_);
  fresh->socket.WatchSilence(this);
  InstallConnection(std::move(fresh));
  TcpSocket& socket = connection_->socket;
  const std::size_t count = route_.hops.empty() ? 1 : route_.hops.size();
  for (std::size_t i = 0; i < count; ++i) {
    const ProxyHop& hop = route_.hops.empty() ? kDirect : route_.hops[i];
    hop_used_ = route_.hops.empty() ? -1 : static_cast<int>(i);
    const std::string& host = hop.direct ? url.Host : hop.proxy.host;
    const HostAddresses addresses = ResolveHost(host, hop.direct ? url.Port : hop.proxy.port);
    if (StopRequested) {
      socket.Close();  // a name lookup cannot be broken; a connect after it is not begun
      return false;
    }
    connecting_to_ = &host;
    TransferResult failure;
    if (addresses.list.empty()) {
      failure = {TransferError::Resolve, 0, addresses.error};
    } else if (!socket.ConnectToAny(ConnectionOrder(addresses.list), this)) {
      failure = {TransferError::Connect, 0, socket.LastError()};
    } else {
      return (hop.direct || !url.IsHttps() || OpenTunnel()) && StartTlsIfHttps();
    }
    socket.Close();
    if (i + 1 == count || StopRequested) {
      ReportError(failure);
      return false;
    }
    OnHopFailed(hop, failure);
  }
  return false;
}

void HttpRequest::OnAddressFailed(const SocketAddress& address, long error) {
  OnAddressTried(*connecting_to_, address, error);
}

void HttpRequest::OnAddressConnected(const SocketAddress& address) {
  OnAddressTried(*connecting_to_, address, 0);
}

bool HttpRequest::StartTlsIfHttps() {
  const Url& url = state_.url;
  if (!url.IsHttps()) return true;
  // A TLS handshake that fails or a certificate that is refused counts as a failed connect:
  // nothing from that connection is passed on.
  TcpSocket& socket = connection_->socket;
  long refused = 0;
  connection_->tls = StartTls(socket, url.HostName().c_str(), tls_shared_, &refused);
  if (connection_->tls) return true;
  const long broken = socket.LastError();
  socket.Close();
  ReportError(refused != 0 ? TransferResult{TransferError::TlsRefused, 0, refused}
                           : TransferResult{TransferError::Connect, 0, broken});
  return false;
}

bool HttpRequest::OpenTunnel() {
  const Url& url = state_.url;
  TcpSocket& socket = connection_->socket;
  const std::string authority = url.Host + ":" + std::to_string(url.Port);
  const std::string request =
      "CONNECT " + authority + " HTTP/1.0\r\nHost: " + authority + "\r\n\r\n";
  if (!socket.SendAll(request.data(), static_cast<int>(request.size()))) {
    const long error = socket.LastError();
    socket.Close();
    ReportError({TransferError::Send, 0, error});
    return false;
  }
  socket.StartHeaderDeadline();
  // One byte at a time: what follows the answer's blank line is the server's, for TLS.
  ConnectAnswer answer;
  while (answer.CurrentState() == ConnectAnswer::State::Incomplete) {
    char byte;
    const int received = socket.Receive(&byte, 1);
    if (StopRequested) {
      socket.Close();
      return false;
    }
    if (received <= 0) {
      const long error = socket.LastError();
      socket.Close();
      const TransferError kind = received == 0           ? TransferError::CutShort
                                 : IsTimeoutError(error) ? TransferError::Stalled
                                                         : TransferError::ReceiveFailed;
      if (kind == TransferError::Stalled) state_.stall = socket.LastStall();
      ReportError({kind, 0, received == 0 ? 0 : error});
      return false;
    }
    answer.Feed(&byte, 1);
  }
  socket.EndHeaderDeadline();
  if (answer.Accepted()) return true;
  socket.Close();
  proxy_auth_offered_ = answer.Schemes();
  if (answer.CurrentState() == ConnectAnswer::State::Malformed) {
    ReportError({TransferError::Malformed, 0, 0});
  } else if (answer.Status() == 407) {
    ReportError({TransferError::ProxyAuthRequired, answer.Status(), 0});
  } else {
    ReportError({TransferError::HttpStatus, answer.Status(), 0});
  }
  return false;
}

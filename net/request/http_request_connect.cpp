// The transfer's connection along its route: to the server itself, or to a proxy, which for
// https is asked for a tunnel (CONNECT) before TLS starts over it. Each host's addresses are
// raced (connect_race.h). A proxy that cannot be reached gives way to the route's next hop; the
// last hop's failure is the transfer's.
#include <string>

#include "net/proxy/proxy_answer.h"
#include "net/request/http_request.h"

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

bool HttpRequest::OpenConnection() {
  const Url& url = state_.url;
  proxy_auth_offered_.clear();
  const std::size_t count = route_.hops.empty() ? 1 : route_.hops.size();
  for (std::size_t i = 0; i < count; ++i) {
    const ProxyHop& hop = route_.hops.empty() ? kDirect : route_.hops[i];
    hop_used_ = route_.hops.empty() ? -1 : static_cast<int>(i);
    const std::string& host = hop.direct ? url.Host : hop.proxy.host;
    const HostAddresses addresses = ResolveHost(host, hop.direct ? url.Port : hop.proxy.port);
    if (StopRequested) {
      socket_.Close();  // a name lookup cannot be broken; a connect after it is not begun
      return false;
    }
    connecting_to_ = &host;
    TransferResult failure;
    if (addresses.list.empty()) {
      failure = {TransferError::Resolve, 0, addresses.error};
    } else if (!socket_.ConnectToAny(ConnectionOrder(addresses.list), this)) {
      failure = {TransferError::Connect, 0, socket_.LastError()};
    } else if (hop.direct || !url.IsHttps()) {
      return true;
    } else {
      return OpenTunnel();
    }
    socket_.Close();
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

bool HttpRequest::OpenTunnel() {
  const Url& url = state_.url;
  const std::string authority = url.Host + ":" + std::to_string(url.Port);
  const std::string request =
      "CONNECT " + authority + " HTTP/1.0\r\nHost: " + authority + "\r\n\r\n";
  if (!socket_.SendAll(request.data(), static_cast<int>(request.size()))) {
    const long error = socket_.LastError();
    socket_.Close();
    ReportError({TransferError::Send, 0, error});
    return false;
  }
  socket_.StartHeaderDeadline();
  // One byte at a time: what follows the answer's blank line is the server's, for TLS.
  ConnectAnswer answer;
  while (answer.CurrentState() == ConnectAnswer::State::Incomplete) {
    char byte;
    const int received = socket_.Receive(&byte, 1);
    if (StopRequested) {
      socket_.Close();
      return false;
    }
    if (received <= 0) {
      const long error = socket_.LastError();
      socket_.Close();
      const TransferError kind = received == 0           ? TransferError::CutShort
                                 : IsTimeoutError(error) ? TransferError::Stalled
                                                         : TransferError::ReceiveFailed;
      if (kind == TransferError::Stalled) state_.stall = socket_.LastStall();
      ReportError({kind, 0, received == 0 ? 0 : error});
      return false;
    }
    answer.Feed(&byte, 1);
  }
  socket_.EndHeaderDeadline();
  if (answer.Accepted()) return true;
  socket_.Close();
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

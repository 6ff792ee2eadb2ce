#include "net/socket/socket_address.h"

#include <cstring>

namespace {

bool IsBracketed(const std::string& host) {
  return host.size() >= 2 && host.front() == '[' && host.back() == ']';
}

// The unspecified address connects nowhere a URL could mean.
bool IsUnspecified(const sockaddr* address) {
  if (address->sa_family == AF_INET) {
    return reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr == 0;
  }
  const auto* bytes = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr.s6_addr;
  for (int i = 0; i < 16; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

// Whether an IPv6 address is an IPv4 one written as IPv6 (::ffff:a.b.c.d).
bool IsIpv4Mapped(const sockaddr_in6& address) {
  static const unsigned char kPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
  return std::memcmp(address.sin6_addr.s6_addr, kPrefix, sizeof kPrefix) == 0;
}

// What getaddrinfo gives for host: with numeric_ipv6, only an IPv6 literal is taken.
HostAddresses LookUp(const std::string& host, std::uint16_t port, bool numeric_ipv6) {
  HostAddresses result;
  addrinfo hints{};
  hints.ai_family = numeric_ipv6 ? AF_INET6 : AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = numeric_ipv6 ? AI_NUMERICHOST : 0;
  addrinfo* found = nullptr;
  const int error = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (error != 0) {
    result.error = error;
    return result;
  }
  for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_addr == nullptr) continue;
    const int family = entry->ai_addr->sa_family;
    const std::size_t needed = family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
    if ((family != AF_INET && family != AF_INET6) || entry->ai_addrlen < needed) continue;
    const SocketAddress address(entry->ai_addr, entry->ai_addrlen, port);
    if (IsUnspecified(address.Get())) continue;
    result.list.push_back(address);
  }
  freeaddrinfo(found);
  return result;
}

}  // namespace

bool IsAddressHost(const char* host, std::uint32_t* address) {
  // inet_addr answers all ones both for a text it cannot parse and for the broadcast address
  // itself; only the exact broadcast text is that address.
  *address = ParseDottedAddress(host);
  return *address != INADDR_NONE || std::strcmp(host, "255.255.255.255") == 0;
}

std::string AddressBytesOf(const std::string& host) {
  std::uint32_t ipv4 = 0;
  if (IsAddressHost(host.c_str(), &ipv4)) {
    return std::string(reinterpret_cast<const char*>(&ipv4), 4);
  }
  const std::string literal = IsBracketed(host) ? host.substr(1, host.size() - 2) : host;
  if (literal.find(':') == std::string::npos) return std::string();
  const HostAddresses found = LookUp(literal, 0, true);
  if (found.list.empty()) return std::string();
  const sockaddr* address = found.list[0].Get();
  if (address->sa_family == AF_INET) {  // an IPv4 address written as IPv6
    return std::string(
        reinterpret_cast<const char*>(&reinterpret_cast<const sockaddr_in*>(address)->sin_addr), 4);
  }
  return std::string(reinterpret_cast<const char*>(
                         reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr.s6_addr),
                     16);
}

SocketAddress::SocketAddress(const sockaddr* address, std::size_t size, std::uint16_t port) {
  if (size > sizeof storage_) size = sizeof storage_;
  std::memcpy(&storage_, address, size);
  size_ = static_cast<SocketLength>(size);
  // An IPv6 socket on Windows takes IPv6 peers only: the IPv4 address itself connects.
  const auto* ipv6 = reinterpret_cast<const sockaddr_in6*>(&storage_);
  if (storage_.ss_family == AF_INET6 && size >= sizeof(sockaddr_in6) && IsIpv4Mapped(*ipv6)) {
    sockaddr_in ipv4{};
    ipv4.sin_family = AF_INET;
    std::memcpy(&ipv4.sin_addr, ipv6->sin6_addr.s6_addr + 12, 4);
    storage_ = sockaddr_storage{};
    std::memcpy(&storage_, &ipv4, sizeof ipv4);
    size_ = static_cast<SocketLength>(sizeof ipv4);
  }
  if (storage_.ss_family == AF_INET) {
    reinterpret_cast<sockaddr_in*>(&storage_)->sin_port = htons(port);
  } else {
    reinterpret_cast<sockaddr_in6*>(&storage_)->sin6_port = htons(port);
  }
}

std::string SocketAddress::Text() const {
  char host[NI_MAXHOST] = {};
  char port[NI_MAXSERV] = {};
  if (getnameinfo(Get(), size_, host, sizeof host, port, sizeof port,
                  NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
    return "?";
  }
  return Family() == AF_INET6 ? "[" + std::string(host) + "]:" + port
                              : std::string(host) + ":" + port;
}

HostAddresses ResolveHost(const std::string& host, std::uint16_t port) {
  if (host.empty()) return HostAddresses{};
  if (IsBracketed(host)) return LookUp(host.substr(1, host.size() - 2), port, true);
  std::uint32_t ipv4 = 0;
  if (IsAddressHost(host.c_str(), &ipv4)) {
    HostAddresses result;
    if (ipv4 == 0) return result;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ipv4;
    result.list.emplace_back(reinterpret_cast<const sockaddr*>(&address), sizeof address, port);
    return result;
  }
  return LookUp(host, port, false);
}

std::vector<SocketAddress> ConnectionOrder(const std::vector<SocketAddress>& resolved) {
  std::vector<SocketAddress> first_family;
  std::vector<SocketAddress> other_family;
  for (const SocketAddress& address : resolved) {
    (address.Family() == resolved.front().Family() ? first_family : other_family)
        .push_back(address);
  }
  std::vector<SocketAddress> order;
  for (std::size_t i = 0; i < first_family.size() || i < other_family.size(); ++i) {
    if (i < first_family.size()) order.push_back(first_family[i]);
    if (i < other_family.size()) order.push_back(other_family[i]);
  }
  if (order.size() > static_cast<std::size_t>(kMostConnectsAtOnce)) {
    order.resize(kMostConnectsAtOnce);
  }
  return order;
}

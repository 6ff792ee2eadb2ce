// Socket addresses of either family, and the name lookup that gives a host's addresses: a
// dotted IPv4 address or an IPv6 literal as written, else every address the resolver has for
// the name, of both families, in its order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "net/socket/socket_platform.h"

// Whether host is written as an IPv4 address (the forms the connection takes without a name
// lookup), and which one, in network order.
bool IsAddressHost(const char* host, std::uint32_t* address);

// The bytes of an address host: 4 for a dotted IPv4 address (or one written as IPv6), 16 for an
// IPv6 literal with or without its brackets ("[::1]", "::1"); empty for a name.
std::string AddressBytesOf(const std::string& host);

class SocketAddress {
 public:
  SocketAddress() = default;
  // A copy of an address of the system's (IPv4 or IPv6), with the port set; an IPv4 address
  // written as IPv6 (::ffff:127.0.0.1) becomes that IPv4 address.
  SocketAddress(const sockaddr* address, std::size_t size, std::uint16_t port);

  int Family() const { return storage_.ss_family; }
  const sockaddr* Get() const { return reinterpret_cast<const sockaddr*>(&storage_); }
  int Size() const { return static_cast<int>(size_); }
  // "192.0.2.1:80", "[2001:db8::1]:443": as the log names an address.
  std::string Text() const;

 private:
  sockaddr_storage storage_{};
  SocketLength size_ = 0;
};

struct HostAddresses {
  std::vector<SocketAddress> list;  // empty when the host could not be resolved
  long error = 0;                   // then the lookup's code, if it gave one
};

// The addresses of host for port. A dotted IPv4 address and an IPv6 literal in brackets are
// taken as written, without a lookup (a bracketed text that is no IPv6 address resolves to
// nothing); a name is looked up for both families. The unspecified addresses (0.0.0.0, ::)
// and an empty host resolve to nothing. A lookup cannot be broken off.
HostAddresses ResolveHost(const std::string& host, std::uint16_t port);

// The order in which a connection tries the addresses: the resolver's, with the two families
// taking turns, beginning with the family of the first; at most kMostConnectsAtOnce of them.
std::vector<SocketAddress> ConnectionOrder(const std::vector<SocketAddress>& resolved);

// An IPv4 socket address for a host text and a port: the dotted form first, then a name
// lookup. Only the first address of a host is ever used.
#pragma once

#include <cstdint>

#include "net/socket/socket_platform.h"

// Whether host is written as an address (the forms the connection takes without a name
// lookup), and which one, in network order.
bool IsAddressHost(const char* host, std::uint32_t* address);

class SocketAddress {
 public:
  SocketAddress(const char* host, std::uint16_t port);

  // The address in network order; 0 when the host could not be resolved.
  std::uint32_t Address() const { return address_.sin_addr.s_addr; }

  const sockaddr* Get() const { return reinterpret_cast<const sockaddr*>(&address_); }
  int Size() const { return static_cast<int>(sizeof address_); }

 private:
  sockaddr_in address_;
};

#include "net/socket/socket_address.h"

#include <cstring>

bool IsAddressHost(const char* host, std::uint32_t* address) {
  // inet_addr answers all ones both for a text it cannot parse and for the broadcast address
  // itself; only the exact broadcast text is that address.
  *address = ParseDottedAddress(host);
  return *address != INADDR_NONE || std::strcmp(host, "255.255.255.255") == 0;
}

SocketAddress::SocketAddress(const char* host, std::uint16_t port) {
  std::memset(&address_, 0, sizeof address_);
  address_.sin_family = AF_INET;
  if (host == nullptr) host = "";
  std::uint32_t address = 0;
  if (!IsAddressHost(host, &address)) address = LookUpFirstAddress(host);
  address_.sin_addr.s_addr = address;
  address_.sin_port = htons(port);
}

#include "net/socket_address.h"

#include <cstring>

SocketAddress::SocketAddress(const char* host, std::uint16_t port) {
  std::memset(&address_, 0, sizeof address_);
  address_.sin_family = AF_INET;
  if (host == nullptr) host = "";
  std::uint32_t address = ParseDottedAddress(host);
  // inet_addr answers all ones both for a text it cannot parse and for the broadcast address
  // itself; only the exact broadcast text keeps it without a lookup.
  if (address == INADDR_NONE && std::strcmp(host, "255.255.255.255") != 0) {
    address = LookUpFirstAddress(host);
  }
  address_.sin_addr.s_addr = address;
  address_.sin_port = htons(port);
}

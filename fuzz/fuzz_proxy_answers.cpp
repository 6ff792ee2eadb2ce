// The proxy parsers on any text: the ProxyServer and ProxyOverride values, a script's answer
// and a proxy's CONNECT answer. None may read past its input, and what they yield must keep
// the shape the transfer relies on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/proxy/proxy_answer.h"
#include "net/proxy/proxy_route.h"
#include "net/proxy/proxy_settings.h"

namespace {
void CheckAddress(const ProxyAddress& address) {
  if (address.host.empty() || address.port == 0) std::abort();
  if (address.host.find_first_of("/; =") != std::string::npos) std::abort();
  // A ':' stands only in an IPv6 literal, which keeps its brackets.
  if (address.host.find(':') != std::string::npos &&
      (address.host.front() != '[' || address.host.back() != ']')) {
    std::abort();
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string text(bytes.c_str());  // the registry's and WinHTTP's texts end at a NUL

  for (bool https : {false, true}) {
    if (const std::optional<ProxyAddress> proxy = ProxyForScheme(text, https)) CheckAddress(*proxy);
  }
  const std::size_t split = text.find('|');
  if (split != std::string::npos) {
    InBypassList(text.substr(0, split), text.substr(split + 1));
  }
  IsLoopbackHost(text);

  const std::vector<ProxyHop> hops = ParseProxyList(text);
  if (hops.size() > kMaxHops) std::abort();
  for (const ProxyHop& hop : hops) {
    if (!hop.direct) CheckAddress(hop.proxy);
  }

  // Fed in two pieces, the answer takes no byte past its blank line.
  ConnectAnswer answer;
  const std::size_t half = bytes.size() / 2;
  std::size_t taken = answer.Feed(bytes.data(), half);
  if (answer.CurrentState() == ConnectAnswer::State::Incomplete) {
    if (taken != half) std::abort();
    taken += answer.Feed(bytes.data() + half, bytes.size() - half);
  }
  if (answer.CurrentState() == ConnectAnswer::State::Complete &&
      bytes.compare(taken - 4, 4, "\r\n\r\n") != 0) {
    std::abort();
  }
  if (answer.Accepted() && (answer.Status() < 200 || answer.Status() > 299)) std::abort();
  return 0;
}

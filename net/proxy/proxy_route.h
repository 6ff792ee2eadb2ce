// The way one transfer takes to its server: straight there, or through a proxy, as a list tried
// in order ("PROXY a; PROXY b; DIRECT"), and where that list came from. The worker chooses it
// once per URL; the transfer follows it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ProxyAddress {
  std::string host;
  std::uint16_t port = 0;

  // "host:port", as the log names a proxy.
  std::string Text() const;
};

struct ProxyHop {
  bool direct = true;
  ProxyAddress proxy;  // when not direct
};

enum class RouteSource : std::uint8_t {
  None,       // no proxy is set up for the user
  Settings,   // ProxyServer of the Internet settings
  Script,     // the auto-config script the settings name
  Detection,  // the script that automatic detection found
};

struct ProxyRoute {
  // Tried in order; an empty list means straight to the server.
  std::vector<ProxyHop> hops;
  RouteSource source = RouteSource::None;

  bool IsDirect() const { return hops.empty() || (hops.size() == 1 && hops[0].direct); }
  // "direct", "127.0.0.1:3128", "a:8080, then b:8080, then direct".
  std::string Text() const;
};

// "settings", "script", "detection" (and "none").
const char* RouteSourceName(RouteSource source);

// A proxy's address as the settings and the scripts write it: "host", "host:port" (an IPv6
// literal keeps its brackets: "[::1]:3128"), optionally after "http://" and before a "/".
// port: the one to take when the text gives none. False for an empty host, a bracketed host
// that is no IPv6 address, or a port that is not 1..65535.
bool ParseProxyAddress(const std::string& text, std::uint16_t default_port, ProxyAddress* address);

// An auto-config script's answer ("PROXY a:1; PROXY b:2; DIRECT"), or the proxy list the system
// makes of it ("a:1;b:2"), as hops in order. Kinds this program cannot use (SOCKS, HTTPS) and
// entries that cannot be read are left out; at most kMaxHops hops are kept.
constexpr std::size_t kMaxHops = 8;
std::vector<ProxyHop> ParseProxyList(const std::string& answer);

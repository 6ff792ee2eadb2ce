// The per-user proxy settings as Windows keeps them under Internet Settings: which proxy
// ProxyServer names for a scheme, whether ProxyOverride lets a host go direct, and whether the
// connection settings ask for automatic detection. Text in, answer out.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "net/proxy/proxy_route.h"

// ProxyServer: "host:port" for every scheme, or "http=host:port;https=host:port" where a scheme
// without an entry has no proxy. A port left out is 80. *unusable, when given, gets the entry
// that would be the scheme's proxy but cannot be used (a port out of range, a user part, or the
// SOCKS proxy the system would take for a scheme without an entry); empty otherwise.
std::optional<ProxyAddress> ProxyForScheme(const std::string& proxy_server, bool https,
                                           std::string* unusable = nullptr);

// ProxyOverride: patterns separated by ';' (or blanks), '*' standing for any run of
// characters, letter case aside; "<local>" stands for any host name without a dot. An IPv6
// literal host matches a pattern with or without its brackets.
bool InBypassList(const std::string& proxy_override, const std::string& host);

// localhost, 127.0.0.0/8 and ::1: never through a proxy.
bool IsLoopbackHost(const std::string& host);

// The binary DefaultConnectionSettings value: whether its flags ask for automatic detection.
bool ConnectionSettingsAskDetection(const unsigned char* data, std::size_t size);

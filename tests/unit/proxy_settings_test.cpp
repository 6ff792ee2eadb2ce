#include "net/proxy/proxy_settings.h"

#include <gtest/gtest.h>

#include <string>

#include "net/proxy/proxy_answer.h"
#include "net/proxy/proxy_route.h"

namespace {
struct SchemeCase {
  const char* proxy_server;
  const char* http;           // the proxy for http, "" for none
  const char* https;          // and for https
  const char* unusable = "";  // the entry for http that cannot be used
};

const SchemeCase kSchemeCases[] = {
    {"proxy:3128", "proxy:3128", "proxy:3128"},
    {"proxy", "proxy:80", "proxy:80"},
    {" http://proxy:8080/ ", "proxy:8080", "proxy:8080"},
    {"http=a:1;https=b:2", "a:1", "b:2"},
    {"HTTPS=b:2", "", "b:2"},
    {"http=a:1", "a:1", ""},
    {"ftp=f:21;socks=s:1080", "", "", "socks=s:1080"},
    {"https=b:2", "", "b:2"},
    {"user:secret@p:8080", "", "", "user:secret@p:8080"},
    {"http=u:p@a:1;https=b:2", "", "b:2", "http=u:p@a:1"},
    {"http=http://a:1 https=b", "a:1", "b:80"},
    {"https=;http=a:1", "a:1", ""},
    {"", "", ""},
    {"proxy:0", "", "", "proxy:0"},
    {"proxy:65536", "", "", "proxy:65536"},
    {"proxy:80x", "", "", "proxy:80x"},
    {":3128", "", "", ":3128"},
    {"a:1;b:2", "a:1", "a:1"},
    {"[::1]:3128", "[::1]:3128", "[::1]:3128"},
    {"http=[2001:db8::1];https=http://[::1]:81/", "[2001:db8::1]:80", "[::1]:81"},
    {"[::1", "", "", "[::1"},
    {"[proxy]:80", "", "", "[proxy]:80"},
    {"[::1]x:80", "", "", "[::1]x:80"},
};

std::string Named(const std::optional<ProxyAddress>& address) {
  return address ? address->Text() : "";
}

TEST(ProxySettings, ProxyServerGivesEachSchemeItsProxy) {
  for (const SchemeCase& c : kSchemeCases) {
    SCOPED_TRACE(c.proxy_server);
    std::string unusable = "left over";
    EXPECT_EQ(Named(ProxyForScheme(c.proxy_server, false, &unusable)), c.http);
    EXPECT_EQ(unusable, c.unusable);
    EXPECT_EQ(Named(ProxyForScheme(c.proxy_server, true)), c.https);
  }
}

struct BypassCase {
  const char* proxy_override;
  const char* host;
  bool bypassed;
};

const BypassCase kBypassCases[] = {
    {"<local>", "intranet", true},
    {"<LOCAL>", "skins.test", false},
    {"*.test", "skins.test", true},
    {"*.TEST", "Skins.Test", true},
    {"*.test", "test", false},
    {"skins.*;other", "skins.example.com", true},
    {"10.*", "10.1.2.3", true},
    {"10.*", "110.1.2.3", false},
    {"a*b*c", "aXXbYYc", true},
    {"a*b*c", "aXXbYY", false},
    {"*", "anything", true},
    {" ; ;", "skins.test", false},
    {"skins.test other.test", "other.test", true},
    {"", "", false},
    {"<local>", "[::1]", false},  // an address is no local name
    {"[::1]", "[::1]", true},
    {"::1;fe80::*", "[fe80::2]", true},
};

TEST(ProxySettings, OverrideListLetsMatchingHostsGoDirect) {
  for (const BypassCase& c : kBypassCases) {
    SCOPED_TRACE(std::string(c.proxy_override) + " / " + c.host);
    EXPECT_EQ(InBypassList(c.proxy_override, c.host), c.bypassed);
  }
}

TEST(ProxySettings, LoopbackHostsAreKnown) {
  for (const char* host : {"localhost", "LocalHost", "localhost.", "127.0.0.1", "127.255.0.9",
                           "127.1", "::1", "[::1]", "[0:0::1]", "[::ffff:127.0.0.1]"}) {
    EXPECT_TRUE(IsLoopbackHost(host)) << host;
  }
  for (const char* host : {"", "skins.test", "128.0.0.1", "10.127.0.1", "localhost.test",
                           "127.0.0.1.example", "[::2]", "[::1"}) {
    EXPECT_FALSE(IsLoopbackHost(host)) << host;
  }
}

TEST(ProxySettings, ConnectionSettingsFlagAskDetection) {
  const unsigned char detect[12] = {0x46, 0, 0, 0, 7, 0, 0, 0, 0x09, 0, 0, 0};
  const unsigned char manual[12] = {0x46, 0, 0, 0, 7, 0, 0, 0, 0x03, 0, 0, 0};
  EXPECT_TRUE(ConnectionSettingsAskDetection(detect, sizeof detect));
  EXPECT_FALSE(ConnectionSettingsAskDetection(manual, sizeof manual));
  EXPECT_FALSE(ConnectionSettingsAskDetection(detect, 11));
  EXPECT_FALSE(ConnectionSettingsAskDetection(nullptr, 0));
}

struct ListCase {
  const char* answer;
  const char* route;  // ProxyRoute::Text() of the hops
};

const ListCase kListCases[] = {
    {"PROXY a:1; PROXY b:2; DIRECT", "a:1, then b:2, then direct"},
    {"DIRECT", "direct"},
    {"proxy a:1;direct", "a:1, then direct"},
    {"HTTP a", "a:80"},
    {"a:1;b:2", "a:1, then b:2"},
    {"http=a:1", "a:1"},
    {"SOCKS s:1080; HTTPS h:443; PROXY p:3", "p:3"},
    {"PROXY ; PROXY :1; PROXY a:x; DIRECT extra", "direct"},
    {"", "direct"},
    {"PROXY a:1; PROXY a:2; PROXY a:3; PROXY a:4; PROXY a:5; PROXY a:6; PROXY a:7; PROXY a:8; "
     "PROXY a:9",
     "a:1, then a:2, then a:3, then a:4, then a:5, then a:6, then a:7, then a:8"},
};

TEST(ProxySettings, ScriptAnswersGiveHopsInOrder) {
  for (const ListCase& c : kListCases) {
    SCOPED_TRACE(c.answer);
    ProxyRoute route;
    route.hops = ParseProxyList(c.answer);
    EXPECT_EQ(route.Text(), c.route);
  }
  EXPECT_TRUE(ParseProxyList("SOCKS s:1").empty());
}

struct AnswerCase {
  const char* bytes;
  ConnectAnswer::State state;
  int status;
  const char* schemes;
  std::size_t taken;  // 0: all of it
};

const AnswerCase kAnswerCases[] = {
    {"HTTP/1.1 200 Connection established\r\n\r\n", ConnectAnswer::State::Complete, 200, "", 0},
    {"HTTP/1.0 200 OK\r\n\r\n\x16\x03\x03", ConnectAnswer::State::Complete, 200, "", 19},
    {"HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: NTLM\r\n"
     "proxy-authenticate:  Negotiate abc==\r\nProxy-Authenticate: Basic realm=\"x\"\r\n\r\n",
     ConnectAnswer::State::Complete, 407, "NTLM, Negotiate, Basic", 0},
    {"HTTP/1.1 403 Forbidden\r\nContent-Length: 3\r\n\r\nabc", ConnectAnswer::State::Complete, 403,
     "", 45},
    {"HTTP/1.1 200 OK\r\n", ConnectAnswer::State::Incomplete, 0, "", 0},
    {"SSH-2.0-OpenSSH\r\n\r\n", ConnectAnswer::State::Malformed, 0, "", 0},
    {"HTTP/1.1 abc\r\n\r\n", ConnectAnswer::State::Malformed, 0, "", 0},
    {"HTTP/1.1 2000 Big\r\n\r\n", ConnectAnswer::State::Malformed, 0, "", 0},
};

TEST(ProxyAnswer, ConnectAnswerIsReadUpToItsBlankLine) {
  for (const AnswerCase& c : kAnswerCases) {
    SCOPED_TRACE(c.bytes);
    const std::string bytes = c.bytes;
    ConnectAnswer answer;
    const std::size_t taken = answer.Feed(bytes.data(), bytes.size());
    EXPECT_EQ(taken, c.taken == 0 ? bytes.size() : c.taken);
    EXPECT_EQ(answer.CurrentState(), c.state);
    EXPECT_EQ(answer.Status(), c.status);
    EXPECT_EQ(answer.Schemes(), c.schemes);
    EXPECT_EQ(answer.Accepted(), c.status == 200);
  }
}

TEST(ProxyAnswer, ConnectAnswerRefusesNulAndEndlessHeader) {
  ConnectAnswer with_nul;
  const char nul[] = "HTTP/1.0 200\0 OK\r\n\r\n";
  with_nul.Feed(nul, sizeof nul - 1);
  EXPECT_EQ(with_nul.CurrentState(), ConnectAnswer::State::Malformed);

  ConnectAnswer endless;
  const std::string line = "HTTP/1.0 200 OK\r\n" + std::string(ConnectAnswer::kLongest, 'x');
  EXPECT_LE(endless.Feed(line.data(), line.size()), ConnectAnswer::kLongest + 1);
  EXPECT_EQ(endless.CurrentState(), ConnectAnswer::State::Malformed);
}
}  // namespace

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/unit/recording_request.h"
#include "tests/unit/scripted_server.h"

namespace {
ProxyHop Proxy(std::uint16_t port) {
  ProxyHop hop;
  hop.direct = false;
  hop.proxy.host = "127.0.0.1";
  hop.proxy.port = port;
  return hop;
}

ProxyRoute RouteOf(std::vector<ProxyHop> hops) {
  ProxyRoute route;
  route.hops = std::move(hops);
  route.source = RouteSource::Settings;
  return route;
}

// Records which hops gave way to the next.
class RoutedRequest : public RecordingRequest {
 public:
  using RecordingRequest::RecordingRequest;
  ~RoutedRequest() override { Stop(); }
  std::vector<TransferError> hop_failures;

 protected:
  void OnHopFailed(const ProxyHop&, const TransferResult& result) override {
    hop_failures.push_back(result.error);
  }
};

// A name that resolves nowhere: only the proxy can reach it.
constexpr char kOrigin[] = "http://skins.test:8080/cb/partner/p1/urls.cb";

TEST(ProxyTransfer, HttpGoesToTheProxyWithTheWholeUrl) {
  ScriptedServer proxy({{{"HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello", 0}}});
  RoutedRequest request(kOrigin);
  request.SetRoute(RouteOf({Proxy(proxy.Port())}));
  ASSERT_TRUE(request.Start(false));
  request.Wait();
  proxy.Finish();
  EXPECT_TRUE(request.Result().Succeeded()) << TransferErrorName(request.Result().error);
  EXPECT_EQ(request.body, "hello");
  EXPECT_EQ(proxy.Request(),
            "GET http://skins.test:8080/cb/partner/p1/urls.cb HTTP/1.1\r\nHost: skins.test:8080\r\n"
            "\r\n");
  ASSERT_NE(request.ProxyUsed(), nullptr);
  EXPECT_EQ(request.ProxyUsed()->Text(), "127.0.0.1:" + std::to_string(proxy.Port()));
}

TEST(ProxyTransfer, HopsAreTriedInOrder) {
  // A proxy that refuses gives way to the next; DIRECT after it reaches the server itself.
  ScriptedServer second({{{"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok", 0}}});
  RoutedRequest through(kOrigin);
  through.SetRoute(RouteOf({Proxy(ScriptedServer::UnusedPort()), Proxy(second.Port())}));
  ASSERT_TRUE(through.Start(false));
  through.Wait();
  second.Finish();
  EXPECT_TRUE(through.Result().Succeeded());
  EXPECT_EQ(through.hop_failures, std::vector<TransferError>{TransferError::Connect});
  EXPECT_EQ(through.ProxyUsed()->port, second.Port());

  ScriptedServer origin({{{"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok", 0}}});
  RoutedRequest direct(origin.UrlFor("/x"));
  direct.SetRoute(RouteOf({Proxy(ScriptedServer::UnusedPort()), ProxyHop{}}));
  ASSERT_TRUE(direct.Start(false));
  direct.Wait();
  origin.Finish();
  EXPECT_TRUE(direct.Result().Succeeded());
  EXPECT_EQ(direct.ProxyUsed(), nullptr);
  EXPECT_EQ(origin.Request(), origin.GetRequest("/x"));

  // The last hop's failure is the transfer's, reported once.
  RoutedRequest none(kOrigin);
  none.SetRoute(
      RouteOf({Proxy(ScriptedServer::UnusedPort()), Proxy(ScriptedServer::UnusedPort())}));
  ASSERT_TRUE(none.Start(false));
  none.Wait();
  EXPECT_EQ(none.Result().error, TransferError::Connect);
  EXPECT_EQ(none.events, "SEF");
  EXPECT_EQ(none.hop_failures.size(), 1u);
}

struct AnswerCase {
  const char* url;
  const char* answer;
  const char* request;  // what the proxy must receive
  TransferError error;
  int status;
  const char* offered;
};

const AnswerCase kAnswers[] = {
    {kOrigin,
     "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: NTLM\r\n"
     "Proxy-Authenticate: Negotiate\r\nContent-Length: 0\r\n\r\n",
     "GET http://skins.test:8080/cb/partner/p1/urls.cb HTTP/1.1\r\nHost: skins.test:8080\r\n\r\n",
     TransferError::ProxyAuthRequired, 407, "NTLM, Negotiate"},
    {"https://skins.test/a/b.txt",
     "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"x\"\r\n\r\n",
     "CONNECT skins.test:443 HTTP/1.0\r\nHost: skins.test:443\r\n\r\n",
     TransferError::ProxyAuthRequired, 407, "Basic"},
    {"https://skins.test:8443/a", "HTTP/1.1 403 Forbidden\r\nContent-Length: 3\r\n\r\nabc",
     "CONNECT skins.test:8443 HTTP/1.0\r\nHost: skins.test:8443\r\n\r\n", TransferError::HttpStatus,
     403, ""},
    {"https://skins.test/a", "HTTP/1.1 200 OK\r\n",
     "CONNECT skins.test:443 HTTP/1.0\r\nHost: skins.test:443\r\n\r\n", TransferError::CutShort, 0,
     ""},
    {"https://skins.test/a", "garbage\r\n\r\n",
     "CONNECT skins.test:443 HTTP/1.0\r\nHost: skins.test:443\r\n\r\n", TransferError::Malformed, 0,
     ""},
};

TEST(ProxyTransfer, ProxyAnswersEndTheTransferWithNothingSentOn) {
  for (const AnswerCase& c : kAnswers) {
    SCOPED_TRACE(c.answer);
    ScriptedServer proxy({{{c.answer, 0}}});
    RoutedRequest request(c.url);
    request.SetRoute(RouteOf({Proxy(proxy.Port())}));
    ASSERT_TRUE(request.Start(false));
    request.Wait();
    proxy.Finish();
    EXPECT_EQ(request.Result().error, c.error) << TransferErrorName(request.Result().error);
    EXPECT_EQ(request.Result().http_status, c.status);
    EXPECT_EQ(request.ProxyAuthOffered(), c.offered);
    EXPECT_EQ(proxy.Request(), c.request);
    EXPECT_EQ(request.body, "");
    EXPECT_EQ(request.events, "SEF");
  }
}
}  // namespace

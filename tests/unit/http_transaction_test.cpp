#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/unit/recording_request.h"
#include "tests/unit/scripted_server.h"

namespace {
// Long enough apart that each run of bytes arrives in a read of its own.
constexpr int kGapMs = 100;
// A short silence limit and header deadline, so that stalls end quickly; the hold outlasts them.
TransferLimits ShortSilence() {
  TransferLimits limits;
  limits.silence_ms = 700;
  limits.header_ms = 900;
  return limits;
}

// Header lines (or body blocks after the header block) sent kGapMs apart, each well within the
// silence limit, for longer than the header deadline.
std::vector<std::string> SlowRuns(std::string first, const std::string& each) {
  std::vector<std::string> runs{std::move(first)};
  for (int i = 0; i < 12; ++i) runs.push_back(each);
  return runs;
}

struct TransactionCase {
  const char* name;
  std::vector<std::string> runs;  // sent kGapMs apart
  ScriptEnd end;
  TransferError result;
  std::string body;
  const char* events;               // S start, D data, E error, F finish
  std::vector<int> blocks;          // checked when not empty
  bool ends_before_server = false;  // with ScriptEnd::Hold: the client closed first
};

constexpr TransferError kOk = TransferError::None;

const std::string kBigHeader = "HTTP/1.0 200 OK\r\nX-Big: " + std::string(20000, 'a') + "\r\n\r\n";

// The reading of replies is tested on the reader itself; these keep the socket path honest.
// clang-format off
const TransactionCase kCases[] = {
    {"LengthInOneRead", {"HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello"}, ScriptEnd::Hold,
     kOk, "hello", "SDF", {5}, true},
    {"HeaderOverThreeReads",
     {"HTTP/1.0 2", "00 OK\r\nConte", "nt-Length: 5\r\n\r\nhel", "lo"}, ScriptEnd::Hold, kOk,
     "hello", "SDDF", {3, 2}, true},
    {"NoLengthReadsUntilClose", {"HTTP/1.1 200 OK\r\nServer: t\r\n\r\n", "part1", "part2"},
     ScriptEnd::Close, kOk, "part1part2", "SDDDF", {0, 5, 5}},
    // Bytes past the announced length are dropped, and the connection is closed at once.
    {"BlockBeyondLengthIsCut", {"HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabcdef"},
     ScriptEnd::Hold, kOk, "abc", "SDF", {3}, true},
    {"Status404", {"HTTP/1.0 404 Not Found\r\nContent-Length: 3\r\n\r\nabc"}, ScriptEnd::Hold,
     TransferError::HttpStatus, "", "SEF", {}, true},
    {"LengthNotANumber", {"HTTP/1.0 200 OK\r\nContent-Length: abc\r\n\r\nxyz"}, ScriptEnd::Hold,
     TransferError::Malformed, "", "SEF", {}, true},
    {"HeaderDoesNotFit", {kBigHeader}, ScriptEnd::Hold, TransferError::Malformed, "", "SEF", {},
     true},
    {"ClosedBeforeLength", {"HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc"},
     ScriptEnd::Close, TransferError::CutShort, "abc", "SDEF", {3}},
    {"ResetBeforeLength", {"HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc"},
     ScriptEnd::Reset, TransferError::ReceiveFailed, "abc", "SDEF", {3}},
    {"StallBeforeLength", {"HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc"}, ScriptEnd::Hold,
     TransferError::Stalled, "abc", "SDEF", {3}, true},
    {"StallBeforeAnyByte", {}, ScriptEnd::Hold, TransferError::Stalled, "", "SEF", {}, true},
    // The header block has a deadline of its own (without it, this would end cut short); the
    // body after it has none.
    {"HeaderBlockPastItsDeadline", SlowRuns("HTTP/1.0 200 OK\r\n", "X-Slow: 1\r\n"),
     ScriptEnd::Close, TransferError::Stalled, "", "SEF", {}},
    {"BodyPastTheHeaderDeadline", SlowRuns("HTTP/1.0 200 OK\r\n\r\n", "b"), ScriptEnd::Close, kOk,
     "bbbbbbbbbbbb", "SDDDDDDDDDDDDDF", {}},
    // A server that accepts and closes without a byte sent no file, not an empty one.
    {"ClosedBeforeAnyByte", {}, ScriptEnd::Close, TransferError::CutShort, "", "SEF", {}},
};
// clang-format on

void PrintTo(const TransactionCase& c, std::ostream* os) {
  *os << c.name;
}

class HttpTransaction : public ::testing::TestWithParam<TransactionCase> {};

TEST_P(HttpTransaction, DeliversBodyAndResult) {
  const TransactionCase& c = GetParam();
  Script script;
  for (const std::string& run : c.runs) script.steps.push_back({run, kGapMs});
  script.end = c.end;
  ScriptedServer server(script);

  RecordingRequest request(server.UrlFor("/cb/partner/p1/urls.cb"));
  request.SetTransferLimits(ShortSilence());
  ASSERT_TRUE(request.Start(false));
  request.Wait();
  server.Finish();

  // Wine's sockets may report a reset after data as the peer's close.
  const bool reset_as_close =
      c.end == ScriptEnd::Reset && request.Result().error == TransferError::CutShort;
  if (!reset_as_close) {
    EXPECT_EQ(request.Result().error, c.result) << TransferErrorName(request.Result().error);
  }
  if (c.result == TransferError::HttpStatus) {
    EXPECT_EQ(request.Result().http_status, 404);
  }
  EXPECT_EQ(request.events, c.events);
  EXPECT_TRUE(request.body == c.body) << request.body;
  if (!c.blocks.empty()) {
    EXPECT_EQ(request.blocks, c.blocks);
  }
  EXPECT_EQ(request.State().BytesReceived, request.body.size());
  EXPECT_EQ(server.Request(), server.GetRequest("/cb/partner/p1/urls.cb"));
  if (c.ends_before_server) {
    EXPECT_TRUE(server.ClientClosedFirst());
  }
}

INSTANTIATE_TEST_SUITE_P(Replies, HttpTransaction, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TransactionCase>& info) {
                           return std::string(info.param.name);
                         });

class HttpTransactionRequest : public HttpTransaction {};

// The Host line names the port unless it is the scheme's own, so that a server building URLs
// from it leads back to itself.
TEST_F(HttpTransactionRequest, FormatsTwoLinesWithHostAndItsPort) {
  const struct {
    const char* url;
    const char* request;
  } cases[] = {
      {"http://pkgsrv:8080/files/skin.bmp",
       "GET /files/skin.bmp HTTP/1.1\r\nHost: pkgsrv:8080\r\n\r\n"},
      {"pkgsrv", "GET / HTTP/1.1\r\nHost: pkgsrv\r\n\r\n"},
      {"http://pkgsrv:80/a", "GET /a HTTP/1.1\r\nHost: pkgsrv\r\n\r\n"},
      {"https://pkgsrv:443/a", "GET /a HTTP/1.1\r\nHost: pkgsrv\r\n\r\n"},
      {"https://pkgsrv:80/a", "GET /a HTTP/1.1\r\nHost: pkgsrv:80\r\n\r\n"},
      {"http://[::1]:81/a", "GET /a HTTP/1.1\r\nHost: [::1]:81\r\n\r\n"},
      {"http://localhost?x", "GET /?x HTTP/1.1\r\nHost: localhost\r\n\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(RecordingRequest(c.url).FormatRequest(), c.request);
}

TEST_F(HttpTransactionRequest, LongRequestIsSentWhole) {
  ScriptedServer server({{{"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok", 0}}});
  const std::string path = "/" + std::string(300, 'd') + "/" + std::string(400, 'f');
  RecordingRequest request(server.UrlFor(path));
  ASSERT_TRUE(request.Start(false));
  request.Wait();
  server.Finish();
  EXPECT_EQ(server.Request(), server.GetRequest(path));
  EXPECT_TRUE(request.Result().Succeeded());
  EXPECT_EQ(request.body, "ok");
}

TEST_F(HttpTransactionRequest, HeadDeliversOneEmptyBlockAndEndsWithTheHeaderBlock) {
  ScriptedServer server({{{"HTTP/1.0 200 OK\r\nContent-Length: 1234\r\n\r\n", 0}}});
  RecordingRequest request(server.UrlFor("/f.bin"));
  ASSERT_TRUE(request.Start(true));
  request.Wait();
  server.Finish();
  EXPECT_EQ(server.Request(), "HEAD" + server.GetRequest("/f.bin").substr(3));
  // The announced length describes what a GET would bring; its absence is no error.
  EXPECT_TRUE(request.Result().Succeeded());
  EXPECT_EQ(request.events, "SDF");
  EXPECT_EQ(request.blocks, std::vector<int>{0});
}

TEST_F(HttpTransactionRequest, HeadersAreReadableFromOnData) {
  ScriptedServer server({{{"HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello", 0}}});
  RecordingRequest request(server.UrlFor("/x"));
  ASSERT_TRUE(request.Start(false));
  request.Wait();
  EXPECT_EQ(request.length_seen_in_data, "5");
  EXPECT_EQ(request.State().content_length, std::optional<std::uint32_t>(5));
  EXPECT_TRUE(request.State().HeadersDone);
  EXPECT_EQ(request.ReplyHeaders().ReasonPhrase, "OK");
}

TEST_F(HttpTransactionRequest, LargeBodyArrivesInBoundedBlocks) {
  std::string body(1 << 20, '\0');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 7 + i / 255);
  ScriptedServer server({{{"HTTP/1.0 200 OK\r\nContent-Length: 1048576\r\n\r\n" + body, 0}}});
  RecordingRequest request(server.UrlFor("/big"));
  ASSERT_TRUE(request.Start(false));
  request.Wait();
  server.Finish();
  EXPECT_TRUE(request.Result().Succeeded());
  EXPECT_TRUE(request.body == body);
  EXPECT_EQ(request.State().BytesReceived, body.size());
  for (int length : request.blocks) EXPECT_LE(length, HttpRequest::kReceiveBufferSize);
}

TEST_F(HttpTransactionRequest, CancelFromOnDataEndsWithoutError) {
  ScriptedServer server(
      {{{"HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc", 0}}, ScriptEnd::Hold});
  RecordingRequest request(server.UrlFor("/x"));
  request.cancel_after_blocks = 1;
  ASSERT_TRUE(request.Start(false));
  request.Wait();
  server.Finish();
  EXPECT_TRUE(request.Result().Succeeded());
  EXPECT_EQ(request.events, "SDF");
  EXPECT_TRUE(server.ClientClosedFirst());
}

// Kept connections: a reply read to its end leaves its connection to the next request the same
// way; one the server closed as the request went out takes the request again, once, on a new
// connection and without a failure; an HTTP/1.0 reply leaves none; an idle one is closed.
class KeptConnections : public HttpTransactionRequest {
 protected:
  static std::string Reply(const std::string& version, const std::string& body) {
    return version + " 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
           body;
  }
  // A connection that answers first, then the later replies on the same connection.
  static Script Answering(const std::string& first, std::vector<std::string> later = {},
                          ScriptEnd end = ScriptEnd::Close) {
    Script script{{{first, 0}}, end, 1000};
    script.later_replies = std::move(later);
    return script;
  }
  // Fetches path through the pool and returns the request's events.
  std::string Fetch(const ScriptedServer& server, const char* path, std::string* body) {
    RecordingRequest request(server.UrlFor(path));
    request.KeepConnectionsIn(&pool_);
    request.Perform(false);
    EXPECT_TRUE(request.Result().Succeeded()) << TransferErrorName(request.Result().error);
    *body = request.body;
    return request.events;
  }
  ConnectionPool pool_{300};
};

TEST_F(KeptConnections, OneConnectionCarriesTheNextRequest) {
  ScriptedServer server(
      {Answering(Reply("HTTP/1.1", "one"), {Reply("HTTP/1.1", "two")}, ScriptEnd::Hold)});
  std::string body;
  EXPECT_EQ(Fetch(server, "/a", &body), "SDF");
  EXPECT_EQ(Fetch(server, "/b", &body), "SKDF");
  EXPECT_EQ(body, "two");
  EXPECT_EQ(pool_.KeptCount(), 1u);
  // Unused for longer than the pool keeps it, it is closed.
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  EXPECT_EQ(pool_.KeptCount(), 0u);
  server.Finish();
  EXPECT_TRUE(server.ClientClosedFirst());
  EXPECT_EQ(server.Requests(),
            std::vector<std::string>{server.GetRequest("/a") + server.GetRequest("/b")});
}

// The server closes the kept connection as the second request goes out (it reads it and closes
// without a word); or the first reply leaves none (HTTP/1.0, "Connection: close"), though the
// server would answer on it.
TEST_F(KeptConnections, ClosedOrRefusedTheSecondRequestGoesOnANewOne) {
  const std::string closing =
      "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 3\r\n\r\none";
  const struct {
    Script first_connection;
    const char* events;  // of the second request
    bool second_on_both;
  } cases[] = {
      {Answering(Reply("HTTP/1.1", "one"), {""}), "SKGDF", true},
      {Answering(Reply("HTTP/1.0", "one"), {Reply("HTTP/1.1", "no")}, ScriptEnd::Hold), "SDF",
       false},
      {Answering(closing, {Reply("HTTP/1.1", "no")}, ScriptEnd::Hold), "SDF", false},
  };
  for (const auto& c : cases) {
    ScriptedServer server({c.first_connection, Answering(Reply("HTTP/1.1", "two"))});
    std::string body;
    EXPECT_EQ(Fetch(server, "/a", &body), "SDF");
    EXPECT_EQ(Fetch(server, "/b", &body), c.events);
    EXPECT_EQ(body, "two");
    server.Finish();
    const std::string first = server.GetRequest("/a");
    EXPECT_EQ(server.Requests(),
              (std::vector<std::string>{c.second_on_both ? first + server.GetRequest("/b") : first,
                                        server.GetRequest("/b")}));
  }
}

struct FailureCase {
  const char* url;
  TransferError result;
};

TEST_F(HttpTransactionRequest, ResolveAndConnectFailuresAreReportedOnce) {
  const std::string refused =
      "http://127.0.0.1:" + std::to_string(ScriptedServer::UnusedPort()) + "/x";
  const FailureCase cases[] = {{"http://0.0.0.0/x", TransferError::Resolve},
                               {refused.c_str(), TransferError::Connect}};
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.url);
    RecordingRequest request(c.url);
    ASSERT_TRUE(request.Start(false));
    request.Wait();
    EXPECT_EQ(request.Result().error, c.result);
    EXPECT_EQ(request.events, "SEF");
    EXPECT_EQ(request.errors, std::vector<TransferError>{c.result});
  }
}
// A server that speaks no TLS (and, natively, any https URL): a failed connect, and the
// request never leaves in the clear.
TEST_F(HttpTransactionRequest, HttpsWithoutTlsIsAFailedConnect) {
  ScriptedServer server({{{"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok", 0}}});
  std::string url = server.UrlFor("/x");
  url.replace(0, 4, "https");
  RecordingRequest request(url.c_str());
  ASSERT_TRUE(request.Start(false));
  request.Wait();
  server.Finish();
  ASSERT_EQ(request.errors.size(), 1u);
  EXPECT_TRUE(request.errors[0] == TransferError::Connect ||
              request.errors[0] == TransferError::TlsRefused)
      << TransferErrorName(request.errors[0]);
  EXPECT_EQ(request.body, "");
  EXPECT_EQ(server.Request().find("GET"), std::string::npos);
}

// Only http and https are spoken: any other scheme before "://" is refused before a lookup or a
// connection, so a mistyped https never leaves in the clear; so is a port that would wrap to
// another one (here to the server's own).
TEST_F(HttpTransactionRequest, OtherSchemesAndPortsOutOfRangeAreRefusedUnsent) {
  const std::string wrapping = "://127.0.0.1:";
  for (const char* scheme : {"htps", "ftp", "\xef\xbb\xbfhttps", " http", "", "http"}) {
    SCOPED_TRACE(scheme);
    Script script;
    script.accept_ms = 300;
    ScriptedServer server(script);
    const bool plain = scheme == std::string("http");
    const std::string url =
        scheme + (plain ? wrapping + std::to_string(server.Port() + 65536) + "/x"
                        : server.UrlFor("/x").substr(4));
    RecordingRequest request(url);
    ASSERT_TRUE(request.Start(false));
    request.Wait();
    server.Finish();
    EXPECT_EQ(request.events, "SEF");
    EXPECT_EQ(request.errors, std::vector<TransferError>{plain ? TransferError::MalformedUrl
                                                               : TransferError::UnsupportedScheme});
    EXPECT_FALSE(server.Accepted());
  }
}
}  // namespace

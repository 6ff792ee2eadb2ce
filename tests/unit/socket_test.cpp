#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "net/socket/socket_address.h"
#include "net/socket/tcp_socket.h"
#include "net/socket/winsock_session.h"
#include "tests/unit/scripted_server.h"

namespace {
using Clock = std::chrono::steady_clock;

SocketAddress Loopback(std::uint16_t port) {
  return ResolveHost("127.0.0.1", port).list.at(0);
}

std::vector<std::string> Texts(const std::vector<SocketAddress>& addresses) {
  std::vector<std::string> texts;
  for (const SocketAddress& address : addresses) texts.push_back(address.Text());
  return texts;
}

struct ResolveCase {
  const char* host;
  std::vector<std::string> addresses;
};

// Addresses as written are taken without a lookup; what connects nowhere resolves to nothing.
const ResolveCase kResolveCases[] = {
    {"192.168.0.1", {"192.168.0.1:80"}},
    {"10.1", {"10.0.0.1:80"}},  // the short dotted forms inet_addr reads
    {"255.255.255.255", {"255.255.255.255:80"}},
    {"0.0.0.0", {}},
    {"[::1]", {"[::1]:80"}},
    {"[2001:DB8:0:0::1]", {"[2001:db8::1]:80"}},
    {"[::]", {}},
    {"[127.0.0.1]", {}},                       // brackets hold an IPv6 address, nothing else
    {"[::ffff:127.0.0.1]", {"127.0.0.1:80"}},  // an IPv6 socket on Windows could not reach it
    {"[::ffff:0.0.0.0]", {}},
    {"[localhost]", {}},
    {"", {}},
};

class HostResolve : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(HostResolve, GivesTheAddressesAsWritten) {
  EXPECT_EQ(Texts(ResolveHost(GetParam().host, 80).list), GetParam().addresses);
}

INSTANTIATE_TEST_SUITE_P(Table, HostResolve, ::testing::ValuesIn(kResolveCases));

TEST(HostResolve, LooksUpNamesAndSetsThePort) {
  const std::vector<std::string> found = Texts(ResolveHost("localhost", 8080).list);
  EXPECT_NE(std::find(found.begin(), found.end(), "127.0.0.1:8080"), found.end());
  const SocketAddress address = Loopback(80);
  const auto* bytes = reinterpret_cast<const unsigned char*>(address.Get());
  EXPECT_EQ(bytes[2], 0x00);  // the port in network order
  EXPECT_EQ(bytes[3], 0x50);
  EXPECT_TRUE(ResolveHost("no-such-host.invalid", 80).list.empty());
}

TEST(ConnectionOrderTest, FamiliesTakeTurnsFromTheFirstOnesFamily) {
  const SocketAddress v4 = Loopback(1);
  const SocketAddress v6 = ResolveHost("[::1]", 1).list.at(0);
  struct {
    std::vector<SocketAddress> resolved;
    std::string families;
  } cases[] = {
      {{v6, v6, v6, v4}, "6466"},
      {{v4, v4, v6, v6, v6}, "46466"},
      {{}, ""},
      {std::vector<SocketAddress>(20, v4), std::string(16, '4')},  // at most 16 are tried
  };
  for (const auto& c : cases) {
    std::string families;
    for (const SocketAddress& address : ConnectionOrder(c.resolved)) {
      families += address.Family() == AF_INET6 ? '6' : '4';
    }
    EXPECT_EQ(families, c.families);
  }
}

TEST(WinsockSessionTest, StartsBeforeTests) {
  ASSERT_EQ(WinsockSession::Instance(), &TheWinsockSession);
  TcpSocket socket;
  EXPECT_TRUE(socket.Create());
}

TEST(TcpSocketClose, ClosesOnceAndReportsTheSecondCall) {
  TcpSocket socket;
  EXPECT_EQ(socket.Close(), -1);  // never created
  EXPECT_FALSE(socket.IsCreated());
  ASSERT_TRUE(socket.Create());
  EXPECT_TRUE(socket.IsOpen());
  EXPECT_EQ(socket.Close(), 0);
  EXPECT_EQ(socket.Close(), -1);
  EXPECT_TRUE(socket.IsCreated());  // the flag outlives the handle
  EXPECT_FALSE(socket.IsOpen());
  EXPECT_EQ(socket.Receive(nullptr, 0), -1);
  EXPECT_EQ(socket.Send("x", 1), -1);
}

TEST(TcpSocketClose, OverlappingClosesCloseExactlyOnce) {
  for (int round = 0; round < 50; ++round) {
    TcpSocket socket;
    ASSERT_TRUE(socket.Create());
    std::atomic<int> successes{0};
    auto close = [&] {
      if (socket.Close() != -1) ++successes;
    };
    std::thread a(close), b(close);
    a.join();
    b.join();
    ASSERT_EQ(successes.load(), 1);
  }
}

// Records what a connect tells of each address: "-addr" failed, "+addr" connected.
class AddressLog : public ConnectObserver {
 public:
  void OnAddressFailed(const SocketAddress& address, long /*error*/) override {
    told.push_back("-" + address.Text());
  }
  void OnAddressConnected(const SocketAddress& address) override {
    told.push_back("+" + address.Text());
  }
  std::vector<std::string> told;
};

long long MsSince(Clock::time_point began) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - began).count();
}

TEST(TcpSocketConnect, ARefusedAddressGivesWayAtOnce) {
  ScriptedServer server({{{"x", 0}}, ScriptEnd::Close});
  const SocketAddress refused_v6 = ResolveHost("[::1]", ScriptedServer::UnusedPort()).list.at(0);
  const SocketAddress refused = Loopback(ScriptedServer::UnusedPort());
  TcpSocket socket;
  AddressLog log;
  const auto began = Clock::now();
  // A stagger far beyond the test's time: only a failure may start the next attempt.
  ASSERT_TRUE(socket.ConnectToAny({refused_v6, refused, Loopback(server.Port())}, &log, 60000));
  EXPECT_LT(MsSince(began), 30000);
  EXPECT_EQ(log.told, (std::vector<std::string>{"-" + refused_v6.Text(), "-" + refused.Text(),
                                                "+" + Loopback(server.Port()).Text()}));
  ASSERT_TRUE(socket.SendAll("GET / HTTP/1.0\r\n\r\n", 18));
  char byte = 0;
  EXPECT_EQ(socket.Receive(&byte, 1), 1);  // the connection kept is the one that answered
  EXPECT_EQ(byte, 'x');
}

TEST(TcpSocketConnect, ASilentAddressGetsTheNextOneBesideItAfterTheStagger) {
  SilentPort silent;
  ScriptedServer server({{}, ScriptEnd::Close});
  TcpSocket socket;
  AddressLog log;
  const auto began = Clock::now();
  ASSERT_TRUE(socket.ConnectToAny({Loopback(silent.Port()), Loopback(server.Port())}, &log, 300));
  const long long waited = MsSince(began);
  EXPECT_GE(waited, 300);
  EXPECT_LT(waited, 20000);  // far below the system's own connect time-out
  // The silent attempt is closed, not reported: it neither failed nor answered.
  EXPECT_EQ(log.told, std::vector<std::string>{"+" + Loopback(server.Port()).Text()});
}

TEST(TcpSocketConnect, AbortEndsEveryPendingAttempt) {
  SilentPort silent;
  TcpSocket socket;
  ASSERT_TRUE(socket.Create());
  AddressLog log;
  std::atomic<bool> connected{true};
  std::thread connecting([&] {
    connected = socket.ConnectToAny({Loopback(silent.Port()), Loopback(silent.Port())}, &log, 50);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto began = Clock::now();
  socket.Abort();
  connecting.join();
  EXPECT_LT(MsSince(began), 3000);
  EXPECT_FALSE(connected.load());
  EXPECT_EQ(socket.LastError(), 0);
  EXPECT_TRUE(log.told.empty());
}

TEST(TcpSocketExchange, SendsAllAndReceivesUntilClose) {
  ScriptedServer server({{{"reply bytes", 0}}, ScriptEnd::Close});
  TcpSocket socket;
  ASSERT_TRUE(socket.Create());
  ASSERT_TRUE(socket.Connect(Loopback(server.Port())));
  // Large enough that one send need not take it all.
  std::string request(3 * 1024 * 1024, 'a');
  request += "\n\n";
  EXPECT_TRUE(socket.SendAll(request.data(), static_cast<int>(request.size())));
  std::string reply;
  char buffer[64];
  for (int n; (n = socket.Receive(buffer, sizeof buffer)) > 0;) reply.append(buffer, n);
  server.Finish();
  EXPECT_EQ(reply, "reply bytes");
  EXPECT_TRUE(server.Request() == request);
}

class RecordingWatcher : public SilenceWatcher {
 public:
  std::vector<bool> told;
  void OnPeerSilent(bool silent) override { told.push_back(silent); }
};

// A peer that falls silent, one that trickles (each byte well within the silence limit) and one
// that sends steadily, against limits shortened in proportion.
TEST(TcpSocketReceive, GivesUpOnASilentOrTricklingPeer) {
  TransferLimits limits;
  limits.silence_ms = 600;
  limits.rate_window_ms = 800;
  limits.rate_min_bytes = 100;
  limits.waiting_notice_ms = 200;
  limits.header_ms = 500;
  const std::vector<ScriptStep> trickle(40, {"x", 50});
  const std::vector<ScriptStep> steady(16, {std::string(100, 's'), 50});
  const struct {
    const char* name;
    std::vector<ScriptStep> steps;
    ScriptEnd end;
    Stall stall;
    int at_least_ms;
    bool header_deadline = false;
  } cases[] = {
      {"silent", {{"some", 0}}, ScriptEnd::Hold, Stall::Silent, 550},
      {"trickling", trickle, ScriptEnd::Hold, Stall::TooSlow, 750},
      {"steady", steady, ScriptEnd::Close, Stall::None, 0},
      {"steady past a header deadline", steady, ScriptEnd::Close, Stall::HeaderLate, 450, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server({c.steps, c.end, 5000});
    TcpSocket socket;
    socket.SetLimits(limits);
    RecordingWatcher watcher;
    socket.WatchSilence(&watcher);
    ASSERT_TRUE(socket.Create());
    ASSERT_TRUE(socket.Connect(Loopback(server.Port())));
    ASSERT_TRUE(socket.SendAll("GET / HTTP/1.0\n\n", 16));
    if (c.header_deadline) socket.StartHeaderDeadline();
    const auto began = std::chrono::steady_clock::now();
    char buffer[4096];
    int received;
    while ((received = socket.Receive(buffer, sizeof buffer)) > 0) {
    }
    const auto waited = std::chrono::steady_clock::now() - began;
    EXPECT_EQ(received, c.stall == Stall::None ? 0 : -1);
    EXPECT_EQ(socket.LastStall(), c.stall);
    if (c.stall != Stall::None) {
      EXPECT_TRUE(IsTimeoutError(socket.LastError()));
    }
    // The silence is told after its notice time, and its end before the receive returns.
    if (c.stall == Stall::Silent) {
      EXPECT_EQ(watcher.told, (std::vector<bool>{true, false}));
    }
    EXPECT_GE(waited, std::chrono::milliseconds(c.at_least_ms));
    EXPECT_LT(waited, std::chrono::seconds(4));
    socket.Close();
    server.Finish();
  }
}

TEST(TcpSocketConnect, GivesUpOnAServerThatDoesNotAnswerWithinTheLimit) {
  std::uint16_t port = 0;
  const SocketHandle listener = ListenOnLoopback(&port, 0);
  ASSERT_NE(listener, kInvalidSocket);
  TransferLimits limits;
  limits.connect_ms = 300;
  // The listener never accepts: once its queue is full, a connect is not answered.
  TcpSocket sockets[8];
  bool gave_up = false;
  for (TcpSocket& socket : sockets) {
    socket.SetLimits(limits);
    ASSERT_TRUE(socket.Create());
    const auto began = std::chrono::steady_clock::now();
    if (socket.Connect(Loopback(port))) continue;
    const auto waited = std::chrono::steady_clock::now() - began;
    EXPECT_TRUE(IsTimeoutError(socket.LastError())) << socket.LastError();
    EXPECT_GE(waited, std::chrono::milliseconds(250));
    EXPECT_LT(waited, std::chrono::seconds(4));
    gave_up = true;
    break;
  }
  EXPECT_TRUE(gave_up);
  CloseHandleOfSocket(listener);
}

TEST(TcpSocketReceive, AbortFromAnotherThreadBreaksABlockedReceive) {
  ScriptedServer server({{}, ScriptEnd::Hold, 5000});
  TcpSocket socket;
  ASSERT_TRUE(socket.Create());
  ASSERT_TRUE(socket.Connect(Loopback(server.Port())));
  ASSERT_TRUE(socket.SendAll("GET / HTTP/1.0\n\n", 16));
  std::atomic<int> result{1};
  std::thread receiver([&] {
    char buffer[16];
    result = socket.Receive(buffer, sizeof buffer);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto began = std::chrono::steady_clock::now();
  socket.Abort();
  receiver.join();
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(3));
  EXPECT_LE(result.load(), 0);
  socket.Close();
  EXPECT_FALSE(socket.IsOpen());
}
}  // namespace

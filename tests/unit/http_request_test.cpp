#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "tests/unit/recording_request.h"
#include "tests/unit/scripted_server.h"

namespace {
using Clock = std::chrono::steady_clock;

void WaitFor(const std::atomic<bool>& flag) {
  const auto limit = Clock::now() + std::chrono::seconds(5);
  while (!flag && Clock::now() < limit) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

// Starts request and returns once its first body block has arrived (false if it did not start).
bool StartAndWaitForData(RecordingRequest& request, std::atomic<bool>& data_seen) {
  request.data_seen = &data_seen;
  if (!request.Start(false)) return false;
  WaitFor(data_seen);
  return true;
}

TEST(HttpRequestThread, WaitAndStopReturnAtOnceWhenNeverStarted) {
  RecordingRequest request("http://127.0.0.1:1/x");
  const auto began = Clock::now();
  request.Wait();
  request.Stop();
  request.Wait();
  EXPECT_LT(Clock::now() - began, std::chrono::milliseconds(500));
  EXPECT_EQ(request.events, "");
  EXPECT_TRUE(request.Result().Succeeded());
}

TEST(HttpRequestThread, StartWhileRunningStartsNothing) {
  ScriptedServer server(StallingScript());
  RecordingRequest request(server.UrlFor("/x"));
  std::atomic<bool> data_seen{false};
  ASSERT_TRUE(StartAndWaitForData(request, data_seen));
  EXPECT_TRUE(request.Start(true));  // still running: nothing changes
  request.Stop();
  server.Finish();
  EXPECT_EQ(request.events, "SDF");
  EXPECT_EQ(server.Request(), server.GetRequest("/x"));
}

TEST(HttpRequestThread, WaitAfterTheThreadEndedReturnsAtOnce) {
  RecordingRequest request("http://0.0.0.0/x");
  ASSERT_TRUE(request.Start(false));
  request.Wait();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const auto began = Clock::now();
  request.Wait();
  request.Stop();
  EXPECT_LT(Clock::now() - began, std::chrono::milliseconds(500));
  EXPECT_EQ(request.Result().error, TransferError::Resolve);
  EXPECT_EQ(request.events, "SEF");
}

TEST(HttpRequestThread, EndedThreadIsCollectedWithoutWait) {
  // The thread ends on its own; Start and the destructor must still collect it cleanly.
  RecordingRequest request("http://0.0.0.0/x");
  ASSERT_TRUE(request.Start(false));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  ASSERT_TRUE(request.Start(false));  // a second transfer on the same object
  request.Wait();
  EXPECT_EQ(request.events, "SEFSEF");
}

TEST(HttpRequestThread, RefusedStartSkipsRunAndFinish) {
  RecordingRequest request("http://0.0.0.0/x");
  request.start_result = false;
  ASSERT_TRUE(request.Start(false));
  request.Wait();
  EXPECT_EQ(request.events, "S");
  EXPECT_TRUE(request.Result().Succeeded());
}

// Stop on the owner's thread, and Abort from another (as a cancel does), each break a receive
// that the server would hold for 8 s; the transfer ends without an error.
TEST(HttpRequestThread, StopAndAbortBreakABlockedReceiveWithoutError) {
  for (const bool abort : {false, true}) {
    SCOPED_TRACE(abort ? "Abort from another thread" : "Stop");
    ScriptedServer server(StallingScript());
    RecordingRequest request(server.UrlFor("/x"));
    std::atomic<bool> data_seen{false};
    ASSERT_TRUE(StartAndWaitForData(request, data_seen));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // into the next receive
    const auto began = Clock::now();
    if (abort) {
      std::thread([&request] { request.Abort(); }).join();
      request.Wait();
    } else {
      request.Stop();
    }
    EXPECT_LT(Clock::now() - began, std::chrono::seconds(3));
    server.Finish();
    EXPECT_EQ(request.events, "SDF");  // OnFinish ran, OnError did not
    EXPECT_TRUE(request.Result().Succeeded());
    EXPECT_TRUE(server.ClientClosedFirst());
  }
}

TEST(HttpRequestThread, DestroyingARunningRequestEndsItsThread) {
  ScriptedServer server(StallingScript());
  std::atomic<bool> data_seen{false};
  auto request = std::make_unique<RecordingRequest>(server.UrlFor("/x"));
  ASSERT_TRUE(StartAndWaitForData(*request, data_seen));
  const auto began = Clock::now();
  request.reset();
  EXPECT_LT(Clock::now() - began, std::chrono::seconds(3));
  server.Finish();
  EXPECT_TRUE(server.ClientClosedFirst());
}

TEST(HttpRequestThread, DestroyingRightAfterStartIsSafe) {
  for (int round = 0; round < 10; ++round) {
    Script script = StallingScript();
    script.accept_ms = 300;  // the request may be gone before it connects
    ScriptedServer server(script);
    {
      RecordingRequest request(server.UrlFor("/x"));
      ASSERT_TRUE(request.Start(false));
    }
    server.Finish();
  }
}
}  // namespace

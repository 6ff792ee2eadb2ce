#include "app/transfer/cancel_signal.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "tests/unit/recording_request.h"
#include "tests/unit/scripted_server.h"

namespace {
using Clock = std::chrono::steady_clock;

// A cancel set while the transfer is stalled, or before its watch began: either way the
// transfer ends at once, without an error, long before the server would have let it go.
TEST(CancelSignal, AbortsTheWatchedTransfer) {
  for (const bool set_first : {false, true}) {
    SCOPED_TRACE(set_first ? "set before the watch" : "set during the stall");
    ScriptedServer server(StallingScript());
    RecordingRequest request(server.UrlFor("/x"));
    std::atomic<bool> data_seen{false};
    request.data_seen = &data_seen;
    CancelSignal cancel;
    if (set_first) cancel.Set();
    ASSERT_TRUE(request.Start(false));
    std::thread canceller;
    const auto began = Clock::now();
    {
      CancelSignal::Watch watch(cancel, request);
      if (!set_first) {
        canceller = std::thread([&] {
          while (!data_seen) std::this_thread::sleep_for(std::chrono::milliseconds(5));
          std::this_thread::sleep_for(std::chrono::milliseconds(50));
          cancel.Set();
        });
      }
      request.Wait();
    }
    if (canceller.joinable()) canceller.join();
    EXPECT_LT(Clock::now() - began, std::chrono::seconds(3));  // far short of the 8 s hold
    server.Finish();
    EXPECT_TRUE(request.Result().Succeeded());
    EXPECT_TRUE(cancel.IsSet());
  }
}

// A file of the package's lanes follows the run's cancel: set with it, or at once when it came
// before; set alone (a file before it failed), it leaves the run's as it is.
TEST(CancelSignal, FollowersAreSetWithTheirLeader) {
  CancelSignal run;
  CancelSignal early(&run);
  auto gone = std::make_unique<CancelSignal>(&run);
  gone.reset();  // leaves the run's followers
  CancelSignal alone(&run);
  alone.Set();
  EXPECT_FALSE(run.IsSet());
  EXPECT_FALSE(early.IsSet());
  run.Set();
  EXPECT_TRUE(early.IsSet());
  const CancelSignal late(&run);
  EXPECT_TRUE(late.IsSet());
}

}  // namespace

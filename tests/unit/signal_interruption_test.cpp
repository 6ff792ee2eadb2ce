// A signal that interrupts a blocked socket call is no network failure: the transfer goes on.
// (Test harnesses such as libFuzzer deliver SIGALRM every few seconds, without SA_RESTART.)
#ifndef _WIN32

#include <pthread.h>
#include <signal.h>
#include <sys/time.h>

#include <gtest/gtest.h>

#include <atomic>

#include "tests/unit/recording_request.h"
#include "tests/unit/scripted_server.h"

namespace {

std::atomic<int> alarms{0};

void CountAlarm(int) {
  ++alarms;
}

// Sends SIGALRM every 2 ms, without SA_RESTART, to the threads that leave it unblocked.
class AlarmStorm {
 public:
  AlarmStorm() {
    struct sigaction action {};
    action.sa_handler = CountAlarm;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGALRM, &action, &previous_);
    itimerval every{{0, 2000}, {0, 2000}};
    setitimer(ITIMER_REAL, &every, nullptr);
  }
  ~AlarmStorm() {
    itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    // An alarm still pending would meet the default action, which ends the process: ignoring
    // the signal discards it before the previous action comes back.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGALRM, &ignore, nullptr);
    sigaction(SIGALRM, &previous_, nullptr);
  }

 private:
  struct sigaction previous_;
};

void SetAlarmBlocked(bool blocked) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGALRM);
  pthread_sigmask(blocked ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

TEST(SignalInterruption, BlockedReceivesAndSendsGoOn) {
  // Only the transfer thread takes the alarms: the server thread is made with SIGALRM
  // blocked, the transfer thread with it open, and this thread blocks it again.
  SetAlarmBlocked(true);
  Script script;
  script.steps = {{"HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n01234", 0}, {"56789", 300}};
  ScriptedServer server(script);
  RecordingRequest request(server.UrlFor("/f"));
  {
    AlarmStorm storm;
    SetAlarmBlocked(false);
    ASSERT_TRUE(request.Start(false));
    SetAlarmBlocked(true);
    request.Wait();
  }
  SetAlarmBlocked(false);
  server.Finish();
  EXPECT_GT(alarms.load(), 10) << "the transfer thread was not interrupted at all";
  EXPECT_TRUE(request.Result().Succeeded());
  EXPECT_EQ(request.body, "0123456789");
  EXPECT_EQ(request.events.back(), 'F');
  EXPECT_EQ(request.events.find('E'), std::string::npos);
}

}  // namespace

#endif

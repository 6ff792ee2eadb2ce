// A signal one thread raises and another waits for with a time limit: a thread that sleeps
// until its next deadline is woken at once when it has more to do or must end. An event on
// Windows, a condition variable elsewhere.
#pragma once

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

class WakeSignal {
 public:
  WakeSignal();
  ~WakeSignal();
  WakeSignal(const WakeSignal&) = delete;
  WakeSignal& operator=(const WakeSignal&) = delete;

  // Raises the signal: a wait under way, or the next one, returns at once.
  void Raise();
  // Waits until the signal is raised or ms have passed, then lowers it; true when it was raised.
  bool WaitAndLower(std::uint32_t ms);

 private:
#ifdef _WIN32
  HANDLE event_;
#else
  pthread_mutex_t mutex_;
  pthread_cond_t condition_;
  bool raised_ = false;
#endif
};

#include "base/wake_signal.h"

#ifndef _WIN32
#include <time.h>
#endif

#ifdef _WIN32
WakeSignal::WakeSignal() : event_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

WakeSignal::~WakeSignal() {
  if (event_ != nullptr) CloseHandle(event_);
}

void WakeSignal::Raise() {
  SetEvent(event_);
}

bool WakeSignal::WaitAndLower(std::uint32_t ms) {
  // Without an event (none could be made) the wait is a plain sleep.
  if (event_ == nullptr) {
    Sleep(ms);
    return false;
  }
  return WaitForSingleObject(event_, ms) == WAIT_OBJECT_0;
}
#else
WakeSignal::WakeSignal() {
  pthread_mutex_init(&mutex_, nullptr);
  pthread_condattr_t attributes;
  pthread_condattr_init(&attributes);
  pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
  pthread_cond_init(&condition_, &attributes);
  pthread_condattr_destroy(&attributes);
}

WakeSignal::~WakeSignal() {
  pthread_cond_destroy(&condition_);
  pthread_mutex_destroy(&mutex_);
}

void WakeSignal::Raise() {
  pthread_mutex_lock(&mutex_);
  raised_ = true;
  pthread_cond_signal(&condition_);
  pthread_mutex_unlock(&mutex_);
}

bool WakeSignal::WaitAndLower(std::uint32_t ms) {
  timespec until;
  clock_gettime(CLOCK_MONOTONIC, &until);
  until.tv_sec += static_cast<time_t>(ms / 1000);
  until.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
  if (until.tv_nsec >= 1000000000L) {
    until.tv_sec += 1;
    until.tv_nsec -= 1000000000L;
  }
  pthread_mutex_lock(&mutex_);
  while (!raised_ && pthread_cond_timedwait(&condition_, &mutex_, &until) == 0) {
  }
  const bool raised = raised_;
  raised_ = false;
  pthread_mutex_unlock(&mutex_);
  return raised;
}
#endif

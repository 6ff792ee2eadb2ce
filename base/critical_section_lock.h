// A lock around one critical section (a POSIX mutex outside Windows), and its scope guard.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

class CriticalSectionLock {
 public:
  CriticalSectionLock();
  ~CriticalSectionLock();
  CriticalSectionLock(const CriticalSectionLock&) = delete;
  CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

  void Lock();
  void Unlock();

 private:
#ifdef _WIN32
  CRITICAL_SECTION section_;
#else
  pthread_mutex_t section_;
#endif
};

class LockGuard {
 public:
  explicit LockGuard(CriticalSectionLock& lock) : lock_(lock) { lock_.Lock(); }
  ~LockGuard() { lock_.Unlock(); }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;

 private:
  CriticalSectionLock& lock_;
};

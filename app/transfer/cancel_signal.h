// A confirmed cancel: the flag that the worker and the transfers read, and the running
// transfer, whose connection it aborts at once, so that a stalled transfer (plain or TLS) ends
// without waiting for its next block or the stall limit. Set on the pages' thread, read and
// watched on the worker's and the package's lanes'. A signal may follow another (each file of
// the package's lanes the run's): it is set when that one is.
#pragma once

#include <atomic>
#include <cstdint>

#include "base/critical_section_lock.h"

class HttpRequest;

class CancelSignal {
 public:
  // leader: a signal whose Set sets this one too; it outlives this one.
  explicit CancelSignal(CancelSignal* leader = nullptr);
  ~CancelSignal();
  CancelSignal(const CancelSignal&) = delete;
  CancelSignal& operator=(const CancelSignal&) = delete;

  bool IsSet() const { return set_; }
  // The flag itself, for a wait below this room that looks at it between its slices.
  const std::atomic<bool>& Flag() const { return set_; }
  // Sets the flag (and those of the signals that follow it) and aborts the watched transfer.
  void Set();
  void Clear() { set_ = false; }
  // Waits up to ms, or less when the signal is set meanwhile; true when it is set.
  bool WaitFor(std::uint32_t ms) const;

  // Watches one running transfer for as long as it lives: a Set meanwhile, or one that came
  // before the watch began, aborts it.
  class Watch {
   public:
    Watch(CancelSignal& signal, HttpRequest& transfer);
    ~Watch();
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

   private:
    CancelSignal& signal_;
  };

 private:
  std::atomic<bool> set_{false};
  // Held while the watched transfer is set, cleared or aborted, so that it is never aborted
  // after its watch has ended, and while followers come and go.
  CriticalSectionLock lock_;
  HttpRequest* watched_ = nullptr;
  CancelSignal* const leader_;
  // The signals that follow this one, each linked to the next.
  CancelSignal* first_follower_ = nullptr;
  CancelSignal* next_follower_ = nullptr;
};

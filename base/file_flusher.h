// Puts files on the disk (FlushFileBuffers) on a thread of its own, in the order they are handed
// over, so that each of a run's package files reaches the disk while the next one downloads
// instead of all of them one after another at the installation.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

#include "base/critical_section_lock.h"
#include "base/owned_handle.h"
#include "base/thread.h"

class FileFlusher {
 public:
  FileFlusher();
  // Flushes not yet begun are given up; one under way is waited for.
  ~FileFlusher();
  FileFlusher(const FileFlusher&) = delete;
  FileFlusher& operator=(const FileFlusher&) = delete;

  // Queues file, a handle that may write; it stays the caller's and must stay open until
  // Finish has returned or the flusher is gone.
  void Add(HANDLE file);
  // Waits for every flush queued; for each file in the order of Add, whether it is on the disk.
  // Nothing may be added after.
  std::vector<bool> Finish();

 private:
  static void Run(void* self);
  // Ends the thread once the queue is done (or at once, abandon) and waits for it.
  void Stop(bool abandon);

  CriticalSectionLock lock_;
  OwnedHandle wake_;  // set when a file is queued or the thread is to end
  std::vector<HANDLE> queue_;
  std::vector<bool> flushed_;  // for queue_'s files, as far as the thread has come
  bool closing_ = false;
  bool abandon_ = false;
  Thread thread_;
};

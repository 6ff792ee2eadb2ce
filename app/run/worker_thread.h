// The download worker's thread: started by the progress page, one at a time, and awaited at
// exit. It counts as running from its start until the worker has sent its closing command.
#pragma once

#include <windows.h>

#include <atomic>

#include "base/thread.h"

struct RunContext;

class DownloadWorkerThread {
 public:
  // The worker's procedure: the run on the progress page dialog.
  using Worker = void (*)(HWND dialog, RunContext& context);

  DownloadWorkerThread() = default;
  DownloadWorkerThread(const DownloadWorkerThread&) = delete;
  DownloadWorkerThread& operator=(const DownloadWorkerThread&) = delete;

  // Starts worker for the progress dialog. False, with nothing started, when the thread cannot
  // be created or an earlier worker still runs: two workers would share one run.
  bool Start(Worker worker, HWND progress_dialog, RunContext& context);
  bool Running() const { return running_; }
  // The worker's last word, before it tells the welcome page that it has ended.
  void MarkEnded() { running_ = false; }
  // Waits at most timeout_ms for the thread to end; true when none runs any more.
  bool WaitFor(DWORD timeout_ms);

 private:
  static void Procedure(void* self);

  Thread thread_;
  std::atomic<bool> running_{false};
  Worker worker_ = nullptr;
  HWND dialog_ = nullptr;
  RunContext* context_ = nullptr;
};

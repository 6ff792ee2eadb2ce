#include "app/run/worker_thread.h"

bool DownloadWorkerThread::Start(Worker worker, HWND progress_dialog, RunContext& context) {
  if (running_) return false;
  thread_.Join();  // an earlier worker that has ended, collected
  worker_ = worker;
  dialog_ = progress_dialog;
  context_ = &context;
  // Running before the thread exists, so that a worker that ends at once is not taken for one
  // that still runs.
  running_ = true;
  if (!thread_.Start(Procedure, this)) {
    running_ = false;
    return false;
  }
  return true;
}

bool DownloadWorkerThread::WaitFor(DWORD timeout_ms) {
  return thread_.JoinWithin(timeout_ms);
}

void DownloadWorkerThread::Procedure(void* self) {
  const DownloadWorkerThread& thread = *static_cast<DownloadWorkerThread*>(self);
  thread.worker_(thread.dialog_, *thread.context_);
}

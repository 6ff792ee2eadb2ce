#include "app/worker_thread.h"

#include "app/download_worker.h"
#include "app/shared_state.h"
#include "base/owned_handle.h"

namespace {

// The latest worker's handle; kept (and closed) here, while DownloadThread only tells others
// whether it still runs.
OwnedHandle worker_handle;
// The running worker's arguments: one worker at a time, so one set.
WorkerStart worker_start;
RunLog no_log;

}  // namespace

bool DownloadWorkerRunning() {
  return DownloadThread != kNoThread;
}

bool StartDownloadWorker(HWND progress_dialog, RunLog* log) {
  // Two workers at once would share one set of run state.
  if (DownloadWorkerRunning()) return false;
  worker_start.dialog = progress_dialog;
  worker_start.log = log != nullptr ? log : &no_log;
  // Created suspended so that DownloadThread holds the handle before the worker can end and
  // reset it.
  HANDLE thread =
      CreateThread(nullptr, 0, DownloadWorker, &worker_start, CREATE_SUSPENDED, nullptr);
  if (thread == nullptr) {
    DownloadThread = kNoThread;
    return false;
  }
  worker_handle.Reset(thread);
  DownloadThread = reinterpret_cast<std::uintptr_t>(thread);
  ResumeThread(thread);
  return true;
}

bool WaitForDownloadWorker(DWORD timeout_ms) {
  if (!worker_handle.valid()) return true;
  return WaitForSingleObject(worker_handle.get(), timeout_ms) == WAIT_OBJECT_0;
}

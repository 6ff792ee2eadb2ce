// The procedure that does the wizard's whole job on a thread of its own: index file, package
// files, the messenger's setup when needed, installation, and the closing command.
#pragma once

#include <windows.h>

#include <atomic>

#include "app/run_log.h"
#include "app/run_view.h"
#include "base/run_result.h"

// Posted to the welcome dialog once a worker has ended, so that a new download can start.
constexpr UINT kWorkerEndedMessage = WM_APP + 1;

// The window that receives kWorkerEndedMessage (the welcome dialog); may be null.
extern std::atomic<HWND> WorkerEndNotifyWindow;

// Everything a run does, up to the closing command, shown through view. A cancelled run ends
// as a successful one. An unattended run calls it on the main thread.
Outcome RunDownload(RunView& view);

// What the thread procedure is given; it must outlive the worker.
struct WorkerStart {
  HWND dialog = nullptr;  // the progress page
  RunLog* log = nullptr;
};

// Thread procedure; parameter: a WorkerStart.
DWORD WINAPI DownloadWorker(LPVOID start);

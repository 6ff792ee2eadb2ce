// The procedure that does the wizard's whole job on a thread of its own: index file, package
// files, the messenger's setup when needed, installation, and the closing command.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

// DownloadResult values of the worker's own. A failed transfer's ResultCode passes as is, and
// an empty download list ends the run with the transfers' ErrorReported (-5).
enum DownloadResultCode : std::int32_t {
  DownloadSucceeded = 0,
  ErrorIndexOpen = -1,
  ErrorSetupIncomplete = -6,
};

// Posted to the welcome dialog once a worker has ended, so that a new download can start.
constexpr UINT kWorkerEndedMessage = WM_APP + 1;

// The window that receives kWorkerEndedMessage (the welcome dialog); may be null.
extern std::atomic<HWND> WorkerEndNotifyWindow;

// Thread procedure; parameter: the progress dialog's window handle.
DWORD WINAPI DownloadWorker(LPVOID dialog_window);

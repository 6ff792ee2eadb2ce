// The procedure that does the wizard's whole job on a thread of its own: index file, package
// files, the messenger's setup when needed, installation, and the closing command.
#pragma once

#include <windows.h>

#include <atomic>

// Posted to the welcome dialog once a worker has ended, so that a new download can start.
constexpr UINT kWorkerEndedMessage = WM_APP + 1;

// The window that receives kWorkerEndedMessage (the welcome dialog); may be null.
extern std::atomic<HWND> WorkerEndNotifyWindow;

// Thread procedure; parameter: the progress dialog's window handle.
DWORD WINAPI DownloadWorker(LPVOID dialog_window);

// The download worker's thread: started by the progress page, awaited only at exit.
#pragma once

#include <windows.h>

// Starts DownloadWorker for the progress dialog and records it in DownloadThread. False, with
// nothing started, when the thread cannot be created or an earlier worker still runs.
bool StartDownloadWorker(HWND progress_dialog);

// True while a worker thread runs.
bool DownloadWorkerRunning();

// Waits at most timeout_ms for a running worker, so an installation in progress can finish
// before the process ends; true when no worker runs any more.
bool WaitForDownloadWorker(DWORD timeout_ms);

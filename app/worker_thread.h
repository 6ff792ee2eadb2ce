// The download worker's thread: started by the progress page, awaited only at exit.
#pragma once

#include <windows.h>

#include "app/run_log.h"

// Starts DownloadWorker for the progress dialog and records it in DownloadThread; it logs to
// log (which outlives it), or nowhere when log is null. False, with nothing started, when the
// thread cannot be created or an earlier worker still runs.
bool StartDownloadWorker(HWND progress_dialog, RunLog* log);

// True while a worker thread runs.
bool DownloadWorkerRunning();

// Waits at most timeout_ms for a running worker, so an installation in progress can finish
// before the process ends; true when no worker runs any more.
bool WaitForDownloadWorker(DWORD timeout_ms);

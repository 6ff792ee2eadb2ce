// The wizard's two pages and the cancel pump.
#pragma once

#include <windows.h>

// Welcome page (dialog 101): "Next >>" runs the progress page, Cancel/"Done" ends the wizard.
// Its parameter is the run's RunLog (may be null), handed on to the progress page.
INT_PTR CALLBACK WelcomeDlgProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Progress page (dialog 102): starts the download worker and ends on its closing command or
// on a confirmed cancel. Its parameter is the run's RunLog (may be null).
INT_PTR CALLBACK ProgressDlgProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Asks the running download to stop and dispatches what is queued for this thread; returns
// as soon as the queue is empty or the worker has ended, without waiting for it.
void PumpPendingMessages();

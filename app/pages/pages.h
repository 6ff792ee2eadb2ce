// The wizard's two pages and the cancel pump. Each page's state lives in an object that the
// code which shows the page makes for it and hands over as the page's creation parameter; the
// page keeps it with its window (DWLP_USER).
#pragma once

#include <windows.h>

#include <string>

#include "app/pages/page_font.h"
#include "app/run/run_context.h"

// Welcome page (dialog 101): "Next >>" runs the progress page, Cancel/"Done" ends the wizard.
// Ready ("Next >>" enabled), Running (progress page open) or Finished ("Done").
struct WelcomePage {
  explicit WelcomePage(RunContext& run) : context(run) {}
  RunContext& context;
  PageFont font;
  bool progress_open = false;
  bool finished = false;
};

// Its creation parameter is a WelcomePage, which outlives the page.
INT_PTR CALLBACK WelcomeDlgProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Progress page (dialog 102): starts the download worker and ends on its closing command or on
// a confirmed cancel.
struct ProgressPage {
  explicit ProgressPage(RunContext& run) : context(run) {}
  RunContext& context;
  PageFont font;
  bool cancelling = false;  // a confirmed cancel is ending the page
  int asking = 0;           // stop questions open (one may nest in another's loop)
  bool command_deferred = false;
  WPARAM deferred_wparam = 0;
  LPARAM deferred_lparam = 0;
  // While a silent server's wait is shown: its text, and the status line it stands in for.
  bool wait_shown = false;
  std::string wait_text;
  std::string status_before_wait;
};

// Its creation parameter is a ProgressPage, which outlives the page.
INT_PTR CALLBACK ProgressDlgProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Cancels the running download (its transfer is aborted at once) and dispatches what is queued
// for this thread; returns as soon as the queue is empty or the worker has ended, without
// waiting for it.
void PumpPendingMessages(RunContext& context);

// The page state that a dialog procedure was given at its creation; null before that.
template <typename Page>
Page* PageOf(HWND window, UINT message, LPARAM lparam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrA(window, DWLP_USER, lparam);
  return reinterpret_cast<Page*>(GetWindowLongPtrA(window, DWLP_USER));
}

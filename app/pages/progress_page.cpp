#include <windows.h>

#include <commctrl.h>

#include <string>

#include "app/pages/pages.h"
#include "app/report/message_texts.h"
#include "app/report/outcome.h"
#include "app/report/run_view.h"
#include "app/resources/resource.h"
#include "app/run/download_worker.h"

namespace {

// The closing command's codes that the page acts on; every other failure asks whether to stop.
bool CodeIs(LPARAM code, RunResult result) {
  return code == ResultCode({result, 0});
}

void EndWithCancel(HWND window, ProgressPage& page) {
  page.cancelling = true;
  PumpPendingMessages(page.context);
  EndDialog(window, IDCANCEL);
}

void OnInitDialog(HWND window, ProgressPage& page) {
  SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, 100);
  SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
  EnableWindow(GetDlgItem(window, IDOK), FALSE);
  page.context.CancelRequested.Clear();
  page.context.DownloadThread.Start(DownloadWorker, window, page.context);
}

void AskToStop(HWND window, ProgressPage& page) {
  ++page.asking;
  int answer = ShowResMessage(GetFocus(), IDS_CONFIRM_STOP, kWizardCaption,
                              MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  --page.asking;
  if (answer == IDYES) {
    EndWithCancel(window, page);
  } else if (page.asking == 0 && page.command_deferred) {
    // The worker ended while the question was open: act on its command now.
    page.command_deferred = false;
    PostMessageA(window, WM_COMMAND, page.deferred_wparam, page.deferred_lparam);
  }
}

void OnCommand(HWND window, ProgressPage& page, WPARAM wparam, LPARAM lparam) {
  WORD id = LOWORD(wparam);
  if (id != IDOK && id != IDCANCEL) return;
  // A cancelled page ends with IDCANCEL whatever the worker reports meanwhile.
  if (page.cancelling) return;
  if (page.asking > 0) {
    page.command_deferred = true;
    page.deferred_wparam = wparam;
    page.deferred_lparam = lparam;
    return;
  }
  if (id == IDOK) {
    EndDialog(window, IDOK);
  } else if (CodeIs(lparam, RunResult::SetupIncomplete)) {
    ShowResMessage(window, IDS_INSTALL_INCOMPLETE, kWizardCaption, MB_ICONEXCLAMATION);
    EndDialog(window, IDCANCEL);
  } else if (CodeIs(lparam, RunResult::CannotConnect)) {
    // The transfer has already said that the server cannot be reached.
    EndWithCancel(window, page);
  } else {
    AskToStop(window, page);
  }
}

}  // namespace

void PumpPendingMessages(RunContext& context) {
  context.CancelRequested.Set();
  if (!context.DownloadThread.Running()) return;
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
    if (!context.DownloadThread.Running()) return;
  }
}

INT_PTR CALLBACK ProgressDlgProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  ProgressPage* page = PageOf<ProgressPage>(window, message, lparam);
  if (page == nullptr) return 0;
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(window, *page);
      break;
    case WM_COMMAND:
      OnCommand(window, *page, wparam, lparam);
      break;
    case kProgressLineMessage: {
      std::string line;
      if (page->context.progress_line.Take(&line)) {
        SetDlgItemTextA(window, IDC_PROGRESS_LINE, line.c_str());
      }
      break;
    }
  }
  return 0;
}

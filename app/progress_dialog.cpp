#include <windows.h>

#include <commctrl.h>

#include "app/message_texts.h"
#include "app/resources/resource.h"
#include "app/run_log.h"
#include "app/shared_state.h"
#include "app/wizard_dialogs.h"
#include "app/worker_thread.h"
#include "base/run_result.h"

namespace {

// The closing command's codes that the page acts on; every other failure asks whether to stop.
const LPARAM kSetupIncompleteCode = ResultCode({RunResult::SetupIncomplete, 0});
const LPARAM kCannotConnectCode = ResultCode({RunResult::CannotConnect, 0});

// State of the one open progress page.
struct ProgressPage {
  bool cancelling = false;  // a confirmed cancel is ending the page
  int asking = 0;           // stop questions open (one may nest in another's loop)
  bool command_deferred = false;
  WPARAM deferred_wparam = 0;
  LPARAM deferred_lparam = 0;
};
ProgressPage page;

void EndWithCancel(HWND window) {
  page.cancelling = true;
  PumpPendingMessages();
  EndDialog(window, IDCANCEL);
}

void OnInitDialog(HWND window, RunLog* log) {
  page = ProgressPage();
  SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, 100);
  SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
  EnableWindow(GetDlgItem(window, IDOK), FALSE);
  CancelRequested = false;
  StartDownloadWorker(window, log);
}

void AskToStop(HWND window) {
  ++page.asking;
  int answer = ShowResMessage(GetFocus(), IDS_CONFIRM_STOP, kWizardCaption,
                              MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  --page.asking;
  if (answer == IDYES) {
    EndWithCancel(window);
  } else if (page.asking == 0 && page.command_deferred) {
    // The worker ended while the question was open: act on its command now.
    page.command_deferred = false;
    PostMessageA(window, WM_COMMAND, page.deferred_wparam, page.deferred_lparam);
  }
}

void OnCommand(HWND window, WPARAM wparam, LPARAM lparam) {
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
  } else if (lparam == kSetupIncompleteCode) {
    ShowResMessage(window, IDS_INSTALL_INCOMPLETE, kWizardCaption, MB_ICONEXCLAMATION);
    EndDialog(window, IDCANCEL);
  } else if (lparam == kCannotConnectCode) {
    // The transfer has already said that the server cannot be reached.
    EndWithCancel(window);
  } else {
    AskToStop(window);
  }
}

}  // namespace

void PumpPendingMessages() {
  CancelRequested = true;
  if (DownloadThread == kNoThread) return;
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
    if (DownloadThread == kNoThread) return;
  }
}

INT_PTR CALLBACK ProgressDlgProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(window, reinterpret_cast<RunLog*>(lparam));
      break;
    case WM_COMMAND:
      OnCommand(window, wparam, lparam);
      break;
  }
  return 0;
}

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "app/pages/pages.h"
#include "app/report/message_texts.h"
#include "app/report/module_instance.h"
#include "app/report/outcome.h"
#include "app/report/page_updates.h"
#include "app/resources/resource.h"
#include "app/run/download_worker.h"

namespace {

// The page ends: what the worker still sends is dropped.
void EndPage(HWND window, ProgressPage& page, INT_PTR result) {
  page.context.progress_updates.Close();
  EndDialog(window, result);
}

void EndWithCancel(HWND window, ProgressPage& page) {
  page.cancelling = true;
  PumpPendingMessages(page.context);
  EndPage(window, page, IDCANCEL);
}

void OnInitDialog(HWND window, ProgressPage& page) {
  page.font.Apply(window, *RunLanguage);
  SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, 100);
  SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
  EnableWindow(GetDlgItem(window, IDOK), FALSE);
  page.context.progress_updates.Open(window);
  // The last run's result must not pass for this one's: a Cancel pressed while this run goes
  // on would be taken for a failure the page acts on without asking.
  page.context.last_result = RunResult::Succeeded;
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
  } else if (page.context.last_result != RunResult::Succeeded) {
    // The page stays open after a failure: it must not look as if the download went on.
    SetDlgItemTextA(window, IDC_STATUS, LoadResString(IDS_DOWNLOAD_STOPPED).c_str());
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
  // The closing command carries the result's number; the page acts on the result itself.
  const RunResult result = page.context.last_result;
  if (id == IDOK) {
    EndPage(window, page, IDOK);
  } else if (result == RunResult::SetupIncomplete) {
    ShowResMessage(window, IDS_INSTALL_INCOMPLETE, kWizardCaption, MB_ICONEXCLAMATION);
    EndPage(window, page, IDCANCEL);
  } else if (result == RunResult::CannotConnect) {
    // The transfer has already said that the server cannot be reached.
    EndWithCancel(window, page);
  } else {
    AskToStop(window, page);
  }
}

// A silent server: the status line says that the program waits, and says again what it said
// before once bytes flow, unless the transfer set another line meanwhile (its own calls reach
// the line directly, not through the updates).
void ShowServerWait(HWND window, ProgressPage& page, const std::string& waiting) {
  char shown[256] = {};
  GetDlgItemTextA(window, IDC_STATUS, shown, sizeof shown);
  if (!waiting.empty()) {
    if (!page.wait_shown || page.wait_text != shown) page.status_before_wait = shown;
    page.wait_shown = true;
    page.wait_text = waiting;
    SetDlgItemTextA(window, IDC_STATUS, waiting.c_str());
  } else if (page.wait_shown) {
    page.wait_shown = false;
    if (page.wait_text == shown)
      SetDlgItemTextA(window, IDC_STATUS, page.status_before_wait.c_str());
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
    case kPageUpdateMessage: {
      PageUpdates& updates = page->context.progress_updates;
      std::string text;
      // A wait ends before a notice that follows it (a retry after a stall) is shown.
      if (updates.Take(PageUpdate::Kind::ServerWait, &text)) ShowServerWait(window, *page, text);
      if (updates.Take(PageUpdate::Kind::StatusText, &text)) {
        SetDlgItemTextA(window, IDC_STATUS, text.c_str());
      }
      if (updates.Take(PageUpdate::Kind::ProgressLine, &text)) {
        SetDlgItemTextA(window, IDC_PROGRESS_LINE, text.c_str());
      }
      break;
    }
  }
  return 0;
}

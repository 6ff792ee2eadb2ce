#include "app/download_worker.h"
#include "app/resources/resource.h"
#include "app/run_log.h"
#include "app/shared_state.h"
#include "app/wizard_dialogs.h"
#include "app/worker_thread.h"

namespace {

// The page's state: Ready ("Next >>" enabled), Running (progress page open) or Finished.
bool progress_open = false;
bool finished = false;
RunLog* run_log = nullptr;  // the program's log, handed on to each progress page

void EnableNext(HWND window, bool enable) {
  EnableWindow(GetDlgItem(window, IDC_NEXT), enable ? TRUE : FALSE);
}

void RunProgressPage(HWND window) {
  // A cancelled run's worker may still be finishing: "Next >>" stays disabled until it has
  // ended, so two workers never share the run state.
  if (progress_open || finished || DownloadWorkerRunning()) return;
  SetupRequired = false;
  EnableNext(window, false);
  progress_open = true;
  INT_PTR result =
      DialogBoxParamA(static_cast<HINSTANCE>(ModuleInstance), MAKEINTRESOURCEA(IDD_PROGRESS),
                      window, ProgressDlgProc, reinterpret_cast<LPARAM>(run_log));
  progress_open = false;
  if (result == IDOK) {
    finished = true;
    SetDlgItemTextA(window, IDCANCEL, "Done");
  } else if (!DownloadWorkerRunning()) {
    EnableNext(window, true);
  }
}

}  // namespace

INT_PTR CALLBACK WelcomeDlgProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      run_log = reinterpret_cast<RunLog*>(lparam);
      WorkerEndNotifyWindow = window;
      progress_open = false;
      finished = false;
      break;
    case kWorkerEndedMessage:
      if (!progress_open && !finished) EnableNext(window, true);
      break;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDCANCEL:
          WorkerEndNotifyWindow = nullptr;
          EndDialog(window, IDCANCEL);
          break;
        case IDC_NEXT:
          RunProgressPage(window);
          break;
      }
      break;
  }
  return 0;
}

#include "app/pages/pages.h"
#include "app/report/message_texts.h"
#include "app/report/module_instance.h"
#include "app/report/page_updates.h"
#include "app/resources/resource.h"
#include "app/run/partner_lock.h"

namespace {

void EnableNext(HWND window, bool enable) {
  EnableWindow(GetDlgItem(window, IDC_NEXT), enable ? TRUE : FALSE);
}

void RunProgressPage(HWND window, WelcomePage& welcome) {
  // A cancelled run's worker may still be finishing: "Next >>" stays disabled until it has
  // ended, so two workers never share the run.
  RunContext& context = welcome.context;
  if (welcome.progress_open || welcome.finished || context.DownloadThread.Running()) return;
  EnableNext(window, false);
  welcome.progress_open = true;
  ProgressPage progress(context);
  INT_PTR result =
      RunDialog(IDD_PROGRESS, window, ProgressDlgProc, reinterpret_cast<LPARAM>(&progress));
  welcome.progress_open = false;
  if (result == IDOK) {
    welcome.finished = true;
    SetDlgItemTextA(window, IDCANCEL, LoadResString(IDS_DONE).c_str());
  } else if (!context.DownloadThread.Running()) {
    EnableNext(window, true);
  }
}

}  // namespace

INT_PTR CALLBACK WelcomeDlgProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  WelcomePage* welcome = PageOf<WelcomePage>(window, message, lparam);
  if (welcome == nullptr) return 0;
  switch (message) {
    case WM_INITDIALOG:
      welcome->font.Apply(window, *RunLanguage);
      welcome->context.welcome_updates.Open(window);
      MarkWelcomePage(window);
      break;
    case WM_DESTROY:
      UnmarkWelcomePage(window);
      break;
    case kPageUpdateMessage: {
      std::string none;
      if (welcome->context.welcome_updates.Take(PageUpdate::Kind::WorkerEnded, &none) &&
          !welcome->progress_open && !welcome->finished) {
        EnableNext(window, true);
      }
      break;
    }
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDCANCEL:
          welcome->context.welcome_updates.Close();
          EndDialog(window, IDCANCEL);
          break;
        case IDC_NEXT:
          RunProgressPage(window, *welcome);
          break;
      }
      break;
  }
  return 0;
}

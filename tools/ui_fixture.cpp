// Shows the wizard's two dialog templates and two message boxes with no logic behind them,
// and prints on stdout what reaches it, so that the UI driver can be tested on its own.
//
// Sequence: both pages open with known texts and a progress bar at 400 of 1000; then a Yes/No
// question box and an "Error" box, each answer printed as "answer N"; then it waits (at most
// 30 s) for commands to the pages, printing "command PAGE ID", and ends on the progress page's
// Cancel (2).
#include <windows.h>

#include <commctrl.h>

#include <cstdio>

#include "app/resources/resource.h"

namespace {

bool done = false;

INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wparam, LPARAM) {
  if (message != WM_COMMAND) return FALSE;
  int page = static_cast<int>(GetWindowLongPtrA(window, GWLP_USERDATA));
  std::printf("command %d %d\n", page, LOWORD(wparam));
  std::fflush(stdout);
  if (page == IDD_PROGRESS && LOWORD(wparam) == IDCANCEL) done = true;
  return TRUE;
}

HWND OpenPage(int id, int x) {
  HWND page =
      CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), nullptr, PageProc, 0);
  SetWindowLongPtrA(page, GWLP_USERDATA, id);
  SetWindowPos(page, nullptr, x, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowWindow(page, SW_SHOW);
  return page;
}

}  // namespace

int main() {
  InitCommonControls();
  OpenPage(IDD_WELCOME, 10);
  HWND progress = OpenPage(IDD_PROGRESS, 400);
  SetDlgItemTextA(progress, IDC_STATUS, "Download in progress...");
  SetDlgItemTextA(progress, IDC_CURRENT_FILE, "Currently downloading big.bin");
  SendDlgItemMessageA(progress, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, 1000);
  SendDlgItemMessageA(progress, IDC_PROGRESS_BAR, PBM_SETPOS, 400, 0);
  std::printf("ready\n");
  std::fflush(stdout);

  int answer = MessageBoxA(progress, "Are you sure you want to stop downloading ?",
                           "Customized Contact List Download Wizard", 0x124);
  std::printf("answer %d\n", answer);
  std::fflush(stdout);
  answer = MessageBoxA(progress, "Could not create destination file!", "Error", MB_ICONSTOP);
  std::printf("answer %d\n", answer);
  std::fflush(stdout);

  DWORD start = GetTickCount();
  MSG msg;
  while (!done && GetTickCount() - start < 30000) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (!IsDialogMessageA(progress, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  std::printf("end\n");
  std::fflush(stdout);
  return done ? 0 : 1;
}

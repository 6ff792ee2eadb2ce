#include "app/partner_lock.h"

#include <windows.h>

#include <string>

#include "app/message_texts.h"

namespace {

constexpr char kDialogClass[] = "#32770";

BOOL CALLBACK FindOtherWizard(HWND window, LPARAM found) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId()) return TRUE;
  char text[64] = {};
  char class_name[16] = {};
  GetClassNameA(window, class_name, sizeof class_name);
  GetWindowTextA(window, text, sizeof text);
  if (lstrcmpA(class_name, kDialogClass) != 0 || lstrcmpA(text, kWelcomeCaption) != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

}  // namespace

bool PartnerLock::Acquire(const char* partner_id) {
  const std::string name = std::string("Local\\OrvexDownload.") + partner_id;
  mutex_.Reset(CreateMutexA(nullptr, FALSE, name.c_str()));
  return !(mutex_.valid() && GetLastError() == ERROR_ALREADY_EXISTS);
}

bool RaiseRunningWizard() {
  HWND welcome = nullptr;
  EnumWindows(FindOtherWizard, reinterpret_cast<LPARAM>(&welcome));
  if (welcome == nullptr) return false;
  // The progress page or a message box may lie over the welcome page: raise what is on top.
  HWND top = GetLastActivePopup(welcome);
  if (IsIconic(welcome)) ShowWindow(welcome, SW_RESTORE);
  SetForegroundWindow(top != nullptr ? top : welcome);
  return true;
}

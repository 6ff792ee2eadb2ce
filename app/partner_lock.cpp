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

std::wstring PartnerLockName(const char* partner_id) {
  const int length = MultiByteToWideChar(CP_ACP, 0, partner_id, -1, nullptr, 0);
  if (length <= 1) return std::wstring();
  std::wstring id(static_cast<std::size_t>(length), L'\0');
  if (MultiByteToWideChar(CP_ACP, 0, partner_id, -1, &id[0], length) != length) {
    return std::wstring();
  }
  id.resize(static_cast<std::size_t>(length - 1));
  // The invariant locale's simple upper case: the same letters for every user, and none of one
  // language's rules (Turkish makes "i" a dotted capital) that the file system does not apply.
  std::wstring folded(id.size(), L'\0');
  if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, id.c_str(), static_cast<int>(id.size()),
                   &folded[0], static_cast<int>(folded.size())) != static_cast<int>(id.size())) {
    return std::wstring();
  }
  return L"Local\\OrvexDownload." + folded;
}

bool PartnerLock::Acquire(const char* partner_id) {
  const std::wstring name = PartnerLockName(partner_id);
  if (name.empty()) {
    error_ = ERROR_INVALID_NAME;
    return false;
  }
  mutex_.Reset(CreateMutexW(nullptr, FALSE, name.c_str()));
  error_ = GetLastError();
  // No lock, for whatever reason, is no licence to run unlocked: another wizard's clean-up
  // could remove this one's downloads.
  if (!mutex_.valid()) return false;
  if (error_ == ERROR_ALREADY_EXISTS) return false;
  error_ = 0;
  return true;
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

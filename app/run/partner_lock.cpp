#include "app/run/partner_lock.h"

#include <windows.h>

#include <string>

namespace {

constexpr char kDialogClass[] = "#32770";
// A window property: found by name in any process, unlike a caption that depends on the
// language of the wizard that shows it.
constexpr char kWelcomePageMark[] = "OrvexDownload.WelcomePage";

BOOL CALLBACK FindOtherWizard(HWND window, LPARAM found) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId()) return TRUE;
  char class_name[16] = {};
  GetClassNameA(window, class_name, sizeof class_name);
  if (lstrcmpA(class_name, kDialogClass) != 0 || GetPropA(window, kWelcomePageMark) == nullptr) {
    return TRUE;
  }
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

}  // namespace

WideText PartnerLockName(const char* partner_id) {
  const WideText id = Widen(partner_id);
  const int length = static_cast<int>(id.size()) - 1;
  if (length <= 0) return WideText();
  static const wchar_t kPrefix[] = L"Local\\OrvexDownload.";
  constexpr int kPrefixLength = static_cast<int>(sizeof kPrefix / sizeof kPrefix[0]) - 1;
  WideText name(kPrefix, kPrefix + kPrefixLength);
  name.resize(static_cast<std::size_t>(kPrefixLength + length) + 1, L'\0');
  // The invariant locale's simple upper case: the same letters for every user, and none of one
  // language's rules (Turkish makes "i" a dotted capital) that the file system does not apply.
  if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, id.data(), length,
                   name.data() + kPrefixLength, length) != length) {
    return WideText();
  }
  return name;
}

bool PartnerLock::Acquire(const char* partner_id) {
  const WideText name = PartnerLockName(partner_id);
  if (name.empty()) {
    error_ = ERROR_INVALID_NAME;
    return false;
  }
  mutex_.Reset(CreateMutexW(nullptr, FALSE, name.data()));
  error_ = GetLastError();
  // No lock, for whatever reason, is no licence to run unlocked: another wizard's clean-up
  // could remove this one's downloads.
  if (!mutex_.Valid()) return false;
  if (error_ == ERROR_ALREADY_EXISTS) return false;
  error_ = 0;
  return true;
}

void MarkWelcomePage(HWND window) {
  SetPropA(window, kWelcomePageMark, reinterpret_cast<HANDLE>(1));
}

void UnmarkWelcomePage(HWND window) {
  RemovePropA(window, kWelcomePageMark);
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

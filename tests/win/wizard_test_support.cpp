#include "tests/win/wizard_test_support.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "app/report/message_texts.h"
#include "app/resources/resource.h"
#include "base/owned_handle.h"
#include "net/request/http_request.h"
#include "tools/window_texts.h"

namespace {

struct ControlRecord {
  WNDPROC original = nullptr;
  std::vector<long> positions;
  std::vector<long> uppers;
  std::vector<std::string> texts;
};
std::map<HWND, ControlRecord> records;  // touched on the test's main thread only

constexpr int kRecordedControls[] = {IDC_PROGRESS_BAR, IDC_STATUS, IDC_CURRENT_FILE};

INT_PTR CALLBACK SilentDialogProc(HWND, UINT, WPARAM, LPARAM) {
  return 0;
}

struct FindBoxes {
  DWORD process;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectMessageBoxes(HWND window, LPARAM lparam) {
  auto* search = reinterpret_cast<FindBoxes*>(lparam);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  // Message boxes are visible dialogs without the progress bar of the wizard's own page.
  if (process == search->process && IsClass(window, "#32770") && IsWindowVisible(window) &&
      GetDlgItem(window, IDC_PROGRESS_BAR) == nullptr) {
    search->found.push_back(window);
  }
  return TRUE;
}

}  // namespace

HiddenPage::HiddenPage(int template_id) {
  InitCommonControls();
  window_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(template_id), nullptr,
                               SilentDialogProc, 0);
}

HiddenPage::HiddenPage(int template_id, const Language& language) {
  InitCommonControls();
  window_ =
      CreateDialogIndirectParamA(GetModuleHandleA(nullptr), DialogTemplate(template_id, language),
                                 nullptr, SilentDialogProc, 0);
  if (window_ != nullptr) font_.Apply(window_, language);
}

HiddenPage::~HiddenPage() {
  if (window_ != nullptr) DestroyWindow(window_);
}

HiddenProgressDialog::HiddenProgressDialog() : page_(IDD_PROGRESS) {
  for (int id : kRecordedControls) Record(id);
}

void HiddenProgressDialog::Record(int control_id) {
  HWND control = GetDlgItem(window(), control_id);
  if (control == nullptr) return;
  records[control].original =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrA(control, GWLP_WNDPROC, LONG_PTR(&RecordingProc)));
}

HiddenProgressDialog::~HiddenProgressDialog() {
  for (int id : kRecordedControls) {
    HWND control = GetDlgItem(window(), id);
    if (control == nullptr) continue;
    SetWindowLongPtrA(control, GWLP_WNDPROC, LONG_PTR(records[control].original));
    records.erase(control);
  }
}

LRESULT CALLBACK HiddenProgressDialog::RecordingProc(HWND control, UINT message, WPARAM wparam,
                                                     LPARAM lparam) {
  ControlRecord& record = records[control];
  if (message == PBM_SETPOS) record.positions.push_back(static_cast<long>(wparam));
  if (message == PBM_SETRANGE32) record.uppers.push_back(static_cast<long>(lparam));
  if (message == WM_SETTEXT) record.texts.push_back(reinterpret_cast<const char*>(lparam));
  return CallWindowProcA(record.original, control, message, wparam, lparam);
}

std::vector<std::string> HiddenProgressDialog::TextsSet(int control_id) const {
  return records[GetDlgItem(window(), control_id)].texts;
}

std::string HiddenProgressDialog::Text(int control_id) const {
  return WindowText(GetDlgItem(window(), control_id));
}

std::vector<long> HiddenProgressDialog::Positions() const {
  return records[GetDlgItem(window(), IDC_PROGRESS_BAR)].positions;
}

std::vector<long> HiddenProgressDialog::RangeUppers() const {
  return records[GetDlgItem(window(), IDC_PROGRESS_BAR)].uppers;
}

void WaitWhilePumping(HttpRequest& request, DWORD timeout_ms) {
  OwnedHandle done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  std::thread waiter([&] {
    request.Wait();
    SetEvent(done.Get());
  });
  // Past the limit the test has failed, but the transfer still owns its thread: keep pumping
  // (the scripted servers end every script) and give up the whole run only if it never ends.
  const DWORD kAbandonMs = timeout_ms + 60000;
  DWORD start = GetTickCount();
  bool finished = false;
  bool reported = false;
  while (!finished) {
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeout_ms && !reported) {
      ADD_FAILURE() << "the transfer did not end within " << timeout_ms << " ms";
      reported = true;
    }
    if (elapsed >= kAbandonMs) std::abort();
    HANDLE handle = done.Get();
    if (MsgWaitForMultipleObjects(1, &handle, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0) {
      finished = true;
    }
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  waiter.join();
}

MessageBoxWatcher::MessageBoxWatcher() : thread_(&MessageBoxWatcher::Watch, this) {}

MessageBoxWatcher::~MessageBoxWatcher() {
  stop_ = true;
  thread_.join();
}

std::vector<MessageBoxWatcher::Box> MessageBoxWatcher::Boxes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return boxes_;
}

void MessageBoxWatcher::Watch() {
  while (!stop_) {
    FindBoxes search{GetCurrentProcessId(), {}};
    EnumWindows(CollectMessageBoxes, reinterpret_cast<LPARAM>(&search));
    for (HWND box : search.found) {
      Box record{WindowText(box), MessageBoxText(box), GetWindow(box, GW_OWNER)};
      {
        std::lock_guard<std::mutex> lock(mutex_);
        boxes_.push_back(record);
      }
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      // Give the box time to close before it could be seen again.
      for (int i = 0; i < 100 && IsWindow(box) && IsWindowVisible(box); ++i) Sleep(10);
    }
    Sleep(20);
  }
}

#include "app/run_view.h"

#include <commctrl.h>

#include <cstdio>

#include "app/message_texts.h"
#include "app/resources/resource.h"
#include "base/path_limits.h"

int RunView::Message(unsigned text_id, const char* caption, unsigned flags) {
  const std::string text = LoadResString(text_id);
  log_.Write("message %u (%s): %s", text_id, caption, text.c_str());
  return Show(text, caption, flags);
}

int DialogView::Show(const std::string& text, const char* caption, unsigned flags) {
  return MessageBoxA(dialog_, text.c_str(), caption, flags);
}

void DialogView::Status(unsigned text_id) {
  if (dialog_ != nullptr) SetDlgItemTextA(dialog_, IDC_STATUS, LoadResString(text_id).c_str());
}

void DialogView::CurrentFile(const std::string& name) {
  if (dialog_ == nullptr) return;
  if (name.empty()) {
    SetDlgItemTextA(dialog_, IDC_CURRENT_FILE, "");
    return;
  }
  // The line is cut to the control's buffer rather than overrun it.
  char line[kPathBufferSize];
  std::snprintf(line, sizeof line, LoadResString(IDS_CURRENTLY_DOWNLOADING).c_str(), name.c_str());
  SetDlgItemTextA(dialog_, IDC_CURRENT_FILE, line);
}

void DialogView::ProgressRange(long upper) {
  if (dialog_ == nullptr) return;
  SendDlgItemMessageA(dialog_, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, upper);
}

void DialogView::ProgressAdvance(long by) {
  if (dialog_ == nullptr) return;
  LRESULT position = SendDlgItemMessageA(dialog_, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0);
  SendDlgItemMessageA(dialog_, IDC_PROGRESS_BAR, PBM_SETPOS, position + by, 0);
}

void DialogView::ProgressClear() {
  if (dialog_ != nullptr) SendDlgItemMessageA(dialog_, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
}

void DialogView::AcceptInput(bool accept) {
  EnableWindow(dialog_, accept ? TRUE : FALSE);
}

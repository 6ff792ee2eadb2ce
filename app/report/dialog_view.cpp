#include "app/report/dialog_view.h"

#include <commctrl.h>

#include <climits>
#include <string>
#include <utility>

#include "app/report/message_texts.h"
#include "app/resources/resource.h"
#include "base/path_limits.h"
#include "base/text_format.h"

DialogView::DialogView(HWND dialog, RunLog& log, PageUpdates* updates)
    : RunView(log), dialog_(dialog), updates_(dialog != nullptr ? updates : nullptr) {
  if (updates_ == nullptr) return;
  texts_ = {LoadResString(IDS_PROGRESS_OF_SPEED_LEFT),
            LoadResString(IDS_PROGRESS_OF_SPEED),
            LoadResString(IDS_PROGRESS_OF),
            LoadResString(IDS_SIZE_KB),
            LoadResString(IDS_SIZE_MB),
            LoadResString(IDS_SIZE_GB),
            LoadResString(IDS_TIME_SECONDS),
            LoadResString(IDS_TIME_MINUTES),
            LoadResString(IDS_TIME_HOURS)};
}

int DialogView::Show(const std::string& text, const char* caption, unsigned flags) {
  return MessageBoxA(dialog_, text.c_str(), caption, flags);
}

void DialogView::Status(unsigned text_id) {
  if (dialog_ != nullptr) SetDlgItemTextA(dialog_, IDC_STATUS, LoadResString(text_id).c_str());
}

void DialogView::StatusText(const std::string& text) {
  if (updates_ != nullptr) updates_->Send({PageUpdate::Kind::StatusText, text});
}

// Through the updates, like the retry notices: the page applies the wait and its end in the
// order they came, and tells its own text apart from what the transfer set meanwhile.
void DialogView::ServerWaiting(bool waiting) {
  if (updates_ == nullptr) return;
  // The line under the bar keeps what has arrived, without a speed that no longer holds.
  if (waiting && !posted_line_.empty()) PostLine(ProgressLine(done_, total_, std::nullopt, texts_));
  updates_->Send({PageUpdate::Kind::ServerWait,
                  waiting ? LoadResString(IDS_WAITING_FOR_SERVER) : std::string()});
}

void DialogView::CurrentFile(const std::string& name) {
  if (dialog_ == nullptr) return;
  if (name.empty()) {
    SetDlgItemTextA(dialog_, IDC_CURRENT_FILE, "");
    return;
  }
  // The line is cut to the control's buffer rather than overrun it.
  std::string line = FormatText(LoadResString(IDS_CURRENTLY_DOWNLOADING).c_str(), name.c_str());
  if (line.size() >= kPathBufferSize) line.resize(kPathBufferSize - 1);
  SetDlgItemTextA(dialog_, IDC_CURRENT_FILE, line.c_str());
}

// The bar's messages are queued rather than sent: the transfer never waits for the page's
// thread, and the bar takes them in the order they were queued.
void DialogView::PostToBar(UINT message, WPARAM wparam, LPARAM lparam) {
  if (dialog_ == nullptr) return;
  PostMessageA(GetDlgItem(dialog_, IDC_PROGRESS_BAR), message, wparam, lparam);
}

void DialogView::ProgressRange(std::optional<std::uint32_t> total, std::uint32_t start) {
  // The bar's range is a signed 32-bit number: a longer file fills it at LONG_MAX.
  const auto clamped = [](std::uint32_t bytes) {
    return bytes > LONG_MAX ? LONG_MAX : static_cast<long>(bytes);
  };
  range_ = total ? clamped(*total) : 0;
  PostToBar(PBM_SETRANGE32, 0, range_);
  const DWORD now = GetTickCount();
  position_ = clamped(start);
  if (position_ != shown_) ShowPosition(now);
  total_ = total;
  done_ = start;
  speed_.Start(done_, now);
  ShowLine(now);
}

void DialogView::ProgressAdvance(long by) {
  Advance(position_ + by, done_ + static_cast<std::uint64_t>(by));
}

void DialogView::WholeProgress(long position, long range, std::uint64_t done,
                               std::optional<std::uint64_t> total) {
  if (range != range_) {
    range_ = range;
    PostToBar(PBM_SETRANGE32, 0, range_);
    speed_.Start(done, GetTickCount());
  }
  total_ = total;
  Advance(position, done);
}

void DialogView::Advance(long position, std::uint64_t done) {
  position_ = position;
  done_ = done;
  const DWORD now = GetTickCount();
  speed_.Add(done_, now);
  if (now - line_at_ >= kLineIntervalMs || (range_ > 0 && position_ >= range_)) ShowLine(now);
  const long step = range_ / 100 > 0 ? range_ / 100 : 1;
  // The bar moves for every hundredth of the file, after 50 ms, and at the end.
  if (position_ == shown_ ||
      (position_ - shown_ < step && now - shown_at_ < kPositionIntervalMs && position_ < range_)) {
    return;
  }
  ShowPosition(now);
}

void DialogView::ProgressClear() {
  if (position_ != shown_) ShowPosition(GetTickCount());  // the last position is the total
  position_ = 0;
  ShowPosition(GetTickCount());
  total_.reset();
  done_ = 0;
  PostLine("");
}

void DialogView::ShowLine(DWORD now) {
  line_at_ = now;
  PostLine(ProgressLine(done_, total_, speed_.BytesPerSecond(), texts_));
}

// Like the bar's positions the line is queued, not sent; an unchanged line is not sent again.
void DialogView::PostLine(std::string text) {
  if (updates_ == nullptr || text == posted_line_) return;
  posted_line_ = text;
  updates_->Send({PageUpdate::Kind::ProgressLine, std::move(text)});
}

void DialogView::ShowPosition(DWORD now) {
  PostToBar(PBM_SETPOS, static_cast<WPARAM>(position_), 0);
  shown_ = position_;
  shown_at_ = now;
}

void DialogView::AcceptInput(bool accept) {
  EnableWindow(dialog_, accept ? TRUE : FALSE);
}

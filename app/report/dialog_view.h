// The progress page as the worker and its transfers see it: the page's own controls through
// window calls and the bar's queued messages, and what the program adds through page updates.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "app/report/page_updates.h"
#include "app/report/progress_text.h"
#include "app/report/run_view.h"

// The progress page. A null window touches no control; its message boxes have no owner. The
// line under the bar and the retry notices reach the page through updates; without them they
// are not shown.
class DialogView : public RunView {
 public:
  DialogView(HWND dialog, RunLog& log, PageUpdates* updates = nullptr);

  void Status(unsigned text_id) override;
  void StatusText(const std::string& text) override;
  void ServerWaiting(bool waiting) override;
  void CurrentFile(const std::string& name) override;
  void ProgressRange(std::optional<std::uint32_t> total, std::uint32_t start = 0) override;
  void ProgressAdvance(long by) override;
  void WholeProgress(long position, long range, std::uint64_t done,
                     std::optional<std::uint64_t> total) override;
  void ProgressClear() override;
  void AcceptInput(bool accept) override;

 protected:
  int Show(const std::string& text, const char* caption, unsigned flags) override;

 private:
  static constexpr DWORD kPositionIntervalMs = 50;
  // A few updates a second: a line that changes faster cannot be read.
  static constexpr DWORD kLineIntervalMs = 250;

  void PostToBar(UINT message, WPARAM wparam, LPARAM lparam);
  // The bar at position and the line at done bytes, each shown when it changed enough.
  void Advance(long position, std::uint64_t done);
  void ShowPosition(DWORD now);
  void ShowLine(DWORD now);
  void PostLine(std::string text);

  HWND dialog_;
  // Body bytes of the current file, and what the bar was last shown and when.
  long range_ = 0;
  long position_ = 0;
  long shown_ = 0;
  DWORD shown_at_ = 0;
  // The same for the line under the bar, which counts past the bar's largest range.
  PageUpdates* updates_;
  ProgressTexts texts_;
  std::optional<std::uint32_t> total_;
  std::uint64_t done_ = 0;
  SpeedMeter speed_;
  DWORD line_at_ = 0;
  std::string posted_line_;
};

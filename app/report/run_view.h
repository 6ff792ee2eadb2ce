// What a run shows its user: messages, the status and current-file lines, the progress bar,
// and whether the page takes input. DialogView shows them on the progress page; QuietView shows
// nothing. Either way every message also goes to the run's log.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "app/report/progress_text.h"
#include "app/report/run_log.h"

class RunView {
 public:
  explicit RunView(RunLog& log) : log_(log) {}
  virtual ~RunView() = default;
  RunView(const RunView&) = delete;
  RunView& operator=(const RunView&) = delete;

  // Logs the message of string text_id, then shows it; returns the answer (IDOK when nothing
  // is shown).
  int Message(unsigned text_id, const char* caption, unsigned flags);
  // The same with the text's "%s" replaced by argument.
  int Message(unsigned text_id, const char* caption, unsigned flags, const std::string& argument);

  virtual void Status(unsigned text_id) = 0;
  // The status line with a text already composed.
  virtual void StatusText(const std::string& text) = 0;
  // The current-file line; an empty name clears it.
  virtual void CurrentFile(const std::string& name) = 0;
  // The current file's length (none when unknown) and the bytes of it already on disk: the
  // bar's range and position, and where the line under it starts counting.
  virtual void ProgressRange(std::optional<std::uint32_t> total, std::uint32_t start = 0) = 0;
  virtual void ProgressAdvance(long by) = 0;
  // Empties the bar and the line under it.
  virtual void ProgressClear() = 0;
  // While the messenger's setup runs the page takes no input.
  virtual void AcceptInput(bool accept) = 0;

  RunLog& Log() { return log_; }

 protected:
  virtual int Show(const std::string& text, const char* caption, unsigned flags) = 0;

 private:
  RunLog& log_;
};

// The progress page. A null window touches no control; its message boxes have no owner.
// Posted to the progress page when a new line under the bar waits in its slot.
constexpr UINT kProgressLineMessage = WM_APP + 2;

// The line under the bar reaches the page through line, which the page takes from on
// kProgressLineMessage; without a slot the line is not shown.
class DialogView : public RunView {
 public:
  DialogView(HWND dialog, RunLog& log, LatestText* line = nullptr);

  void Status(unsigned text_id) override;
  void StatusText(const std::string& text) override;
  void CurrentFile(const std::string& name) override;
  void ProgressRange(std::optional<std::uint32_t> total, std::uint32_t start = 0) override;
  void ProgressAdvance(long by) override;
  void ProgressClear() override;
  void AcceptInput(bool accept) override;

 protected:
  int Show(const std::string& text, const char* caption, unsigned flags) override;

 private:
  static constexpr DWORD kPositionIntervalMs = 50;
  // A few updates a second: a line that changes faster cannot be read.
  static constexpr DWORD kLineIntervalMs = 250;

  void PostToBar(UINT message, WPARAM wparam, LPARAM lparam);
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
  LatestText* line_;
  ProgressTexts texts_;
  std::optional<std::uint32_t> total_;
  std::uint64_t done_ = 0;
  SpeedMeter speed_;
  DWORD line_at_ = 0;
  std::string posted_line_;
};

// An unattended run: no window, no box.
class QuietView : public RunView {
 public:
  explicit QuietView(RunLog& log) : RunView(log) {}

  void Status(unsigned) override {}
  void StatusText(const std::string&) override {}
  void CurrentFile(const std::string&) override {}
  void ProgressRange(std::optional<std::uint32_t>, std::uint32_t) override {}
  void ProgressAdvance(long) override {}
  void ProgressClear() override {}
  void AcceptInput(bool) override {}

 protected:
  int Show(const std::string&, const char*, unsigned) override { return IDOK; }
};

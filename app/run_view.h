// What a run shows its user: messages, the status and current-file lines, the progress bar,
// and whether the page takes input. DialogView shows them on the progress page; QuietView shows
// nothing. Either way every message also goes to the run's log.
#pragma once

#include <windows.h>

#include <string>

#include "app/run_log.h"

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
  // The current-file line; an empty name clears it.
  virtual void CurrentFile(const std::string& name) = 0;
  // Empties the bar and gives it the range 0..upper.
  virtual void ProgressRange(long upper) = 0;
  virtual void ProgressAdvance(long by) = 0;
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
class DialogView : public RunView {
 public:
  DialogView(HWND dialog, RunLog& log) : RunView(log), dialog_(dialog) {}

  void Status(unsigned text_id) override;
  void CurrentFile(const std::string& name) override;
  void ProgressRange(long upper) override;
  void ProgressAdvance(long by) override;
  void ProgressClear() override;
  void AcceptInput(bool accept) override;

 protected:
  int Show(const std::string& text, const char* caption, unsigned flags) override;

 private:
  static constexpr DWORD kPositionIntervalMs = 50;

  void PostToBar(UINT message, WPARAM wparam, LPARAM lparam);
  void ShowPosition(DWORD now);

  HWND dialog_;
  // Body bytes of the current file, and what the bar was last shown and when.
  long range_ = 0;
  long position_ = 0;
  long shown_ = 0;
  DWORD shown_at_ = 0;
};

// An unattended run: no window, no box.
class QuietView : public RunView {
 public:
  explicit QuietView(RunLog& log) : RunView(log) {}

  void Status(unsigned) override {}
  void CurrentFile(const std::string&) override {}
  void ProgressRange(long) override {}
  void ProgressAdvance(long) override {}
  void ProgressClear() override {}
  void AcceptInput(bool) override {}

 protected:
  int Show(const std::string&, const char*, unsigned) override { return IDOK; }
};

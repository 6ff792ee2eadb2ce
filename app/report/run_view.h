// What a run shows its user: messages, the status and current-file lines, the progress bar,
// and whether the page takes input. DialogView (dialog_view.h) shows them on the progress page;
// QuietView shows nothing. Either way every message also goes to the run's log.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "app/report/run_log.h"

class RunView {
 public:
  explicit RunView(RunLog& log) : log_(log) {}
  virtual ~RunView() = default;
  RunView(const RunView&) = delete;
  RunView& operator=(const RunView&) = delete;

  // Logs the message of string text_id with the caption of string caption_id, in English, then
  // shows them in the run's language; returns the answer (IDOK when nothing is shown).
  int Message(unsigned text_id, unsigned caption_id, unsigned flags);
  // The same with the text's "%s" replaced by argument.
  int Message(unsigned text_id, unsigned caption_id, unsigned flags, const std::string& argument);

  virtual void Status(unsigned text_id) = 0;
  // A notice of the program's own in the status line (a retry), already composed.
  virtual void StatusText(const std::string& text) = 0;
  // The server has sent nothing for a while (waiting), or that has ended: while it lasts the
  // status line says that the program waits for it.
  virtual void ServerWaiting(bool waiting) = 0;
  // The current-file line; an empty name clears it.
  virtual void CurrentFile(const std::string& name) = 0;
  // The current file's length (none when unknown) and the bytes of it already on disk: the
  // bar's range and position, and where the line under it starts counting.
  virtual void ProgressRange(std::optional<std::uint32_t> total, std::uint32_t start = 0) = 0;
  virtual void ProgressAdvance(long by) = 0;
  // Several files at once: the bar at position of range, and the line under it counting done
  // bytes of total (none while a length is not known yet).
  virtual void WholeProgress(long position, long range, std::uint64_t done,
                             std::optional<std::uint64_t> total) = 0;
  // Empties the bar and the line under it.
  virtual void ProgressClear() = 0;
  // While the messenger's setup runs the page takes no input.
  virtual void AcceptInput(bool accept) = 0;

  RunLog& Log() { return log_; }
  // A message composed earlier (by a file fetched beside others), shown now as it was.
  int Present(const std::string& text, const std::string& caption, unsigned flags) {
    return Show(text, caption.c_str(), flags);
  }

 protected:
  virtual int Show(const std::string& text, const char* caption, unsigned flags) = 0;

 private:
  RunLog& log_;
};

// An unattended run: no window, no box.
class QuietView : public RunView {
 public:
  explicit QuietView(RunLog& log) : RunView(log) {}

  void Status(unsigned) override {}
  void StatusText(const std::string&) override {}
  void ServerWaiting(bool) override {}
  void CurrentFile(const std::string&) override {}
  void ProgressRange(std::optional<std::uint32_t>, std::uint32_t) override {}
  void ProgressAdvance(long) override {}
  void WholeProgress(long, long, std::uint64_t, std::optional<std::uint64_t>) override {}
  void ProgressClear() override {}
  void AcceptInput(bool) override {}

 protected:
  int Show(const std::string&, const char*, unsigned) override { return IDOK; }
};

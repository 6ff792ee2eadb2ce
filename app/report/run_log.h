// The plain-text log that /log asks for: one line per event, each beginning with the local
// time in ISO form with its offset from UTC, in UTF-8 (a new log begins with the byte-order mark).
// Lines may come from any thread (worker, transfers); a log that was never opened takes them and
// writes nothing.
#pragma once

#include <windows.h>

#include <string>

#include "app/report/outcome.h"
#include "base/critical_section_lock.h"
#include "base/output_file.h"

class RunLog {
 public:
  RunLog() = default;
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Opens path for appending; false when it cannot be opened.
  bool Open(const char* path);
  bool IsOpen() const { return holding_ || file_.IsOpen(); }
  // From now on holds its lines, stamped as they come, for target (a file fetched beside others,
  // whose lines go to the log in the list's order); PassTo writes them there.
  void HoldFor(const RunLog& target) { holding_ = target.IsOpen(); }
  void PassTo(RunLog& target);

  // One line, printf-style; control bytes in it are written escaped. URLs must be passed
  // through RedactUrl (app/log_text.h) first.
  void Write(const char* format, ...)
#ifdef __GNUC__
      __attribute__((format(printf, 2, 3)))
#endif
      ;

 private:
  CriticalSectionLock lock_;
  OutputFile file_;
  bool holding_ = false;
  std::string held_;
};

// The line that ends a run: its result's name, and the status for an HTTP status; a run that
// a confirmed cancel ended before it was done says so.
void LogRunEnd(RunLog& log, const Outcome& outcome, bool cancelled = false);

// "error 5: Access is denied." for a Win32 or Winsock error code.
std::string ErrorText(DWORD error);

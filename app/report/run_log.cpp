#include "app/report/run_log.h"

#include <cstdarg>

#include "app/report/log_text.h"
#include "base/code_page.h"
#include "base/text_format.h"
#include "base/utf8.h"
#include "base/wide_text.h"

namespace {

// The line in UTF-8 whatever the program's code page, with any byte that is no character
// written as an escape, so that the whole file is UTF-8 as its mark says.
std::string AsUtf8(const std::string& line) {
  if (ProgramTextIsUtf8()) return EscapeInvalidUtf8(line);
  return Narrow(Widen(line.c_str()).data(), CP_UTF8);
}

}  // namespace

bool RunLog::Open(const char* path) {
  LockGuard guard(lock_);
  if (!file_.Append(path)) return false;
  // A new log begins with the byte-order mark, so that editors read it as UTF-8; one that
  // already holds lines is appended to as it is.
  LARGE_INTEGER size;
  if (GetFileSizeEx(file_.Handle(), &size) && size.QuadPart == 0) {
    static const char kMark[] = "\xef\xbb\xbf";
    file_.Write(kMark, 3);
  }
  return true;
}

void RunLog::Write(const char* format, ...) {
  if (!IsOpen()) return;
  // Local time and its offset from UTC, both of one instant, so that a reader can place lines
  // of machines in other time zones, or on both sides of a change to summer time.
  FILETIME utc;
  FILETIME local;
  GetSystemTimeAsFileTime(&utc);
  FileTimeToLocalFileTime(&utc, &local);
  SYSTEMTIME now;
  FileTimeToSystemTime(&local, &now);
  const auto ticks = [](const FILETIME& time) {
    return static_cast<long long>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
  };
  // 100-ns ticks; an offset is whole minutes.
  const long offset_minutes = static_cast<long>((ticks(local) - ticks(utc)) / 600000000LL);
  const std::string stamp =
      FormatText("%04u-%02u-%02uT%02u:%02u:%02u.%03u", now.wYear, now.wMonth, now.wDay, now.wHour,
                 now.wMinute, now.wSecond, now.wMilliseconds);

  va_list arguments;
  va_start(arguments, format);
  const std::string text = FormatTextV(format, arguments);
  va_end(arguments);

  // One write per line, so lines of different threads never interleave. Outside text in it
  // (names, URLs, a server's words) can neither break the line nor forge another.
  std::string line = stamp + UtcOffsetText(offset_minutes) + " ";
  // Escaped once in UTF-8, so that characters of an ANSI code page that turn into marks of
  // the writing direction are escaped too.
  line += EscapeControlBytes(AsUtf8(text));
  line += "\r\n";
  LockGuard guard(lock_);
  if (holding_) {
    held_ += line;
    return;
  }
  file_.Write(line.data(), line.size());
}

void RunLog::PassTo(RunLog& target) {
  std::string lines;
  {
    LockGuard guard(lock_);
    lines.swap(held_);
  }
  LockGuard guard(target.lock_);
  target.file_.Write(lines.data(), lines.size());
}

std::string ErrorText(DWORD error) {
  char text[512] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                 text, sizeof text, nullptr);
  std::string result = "error " + std::to_string(error);
  std::string message = text;
  while (!message.empty() && (message.back() == '\r' || message.back() == '\n' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  if (!message.empty()) result += ": " + message;
  return result;
}

void LogRunEnd(RunLog& log, const Outcome& outcome, bool cancelled) {
  if (cancelled && outcome.Succeeded()) {
    log.Write("run ended: cancelled");
  } else if (outcome.result == RunResult::HttpStatus) {
    log.Write("run ended: %s %d", RunResultName(outcome.result), outcome.http_status);
  } else {
    log.Write("run ended: %s", RunResultName(outcome.result));
  }
}

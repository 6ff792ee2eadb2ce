#include "app/report/run_log.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "app/report/log_text.h"
#include "base/code_page.h"
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
  SYSTEMTIME now;
  GetLocalTime(&now);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02uT%02u:%02u:%02u.%03u ", now.wYear, now.wMonth,
                now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);

  va_list arguments;
  va_start(arguments, format);
  va_list copy;
  va_copy(copy, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::vector<char> text(length > 0 ? static_cast<std::size_t>(length) + 1 : 1, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size(), format, arguments);
  va_end(arguments);

  // One write per line, so lines of different threads never interleave. Outside text in it
  // (names, URLs, a server's words) can neither break the line nor forge another.
  std::string line = stamp;
  // Escaped once in UTF-8, so that characters of an ANSI code page that turn into marks of
  // the writing direction are escaped too.
  line += EscapeControlBytes(AsUtf8(text.data()));
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

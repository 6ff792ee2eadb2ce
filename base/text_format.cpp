#include "base/text_format.h"

#include <cstdio>

std::string FormatText(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::string text = FormatTextV(format, arguments);
  va_end(arguments);
  return text;
}

std::string FormatTextV(const char* format, va_list arguments) {
  va_list copy;
  va_copy(copy, arguments);
#ifdef _WIN32
  const int length = _vscprintf(format, copy);
#else
  const int length = std::vsnprintf(nullptr, 0, format, copy);
#endif
  va_end(copy);
  if (length <= 0) return std::string();
  // One more for the terminating zero the formatter writes.
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
#ifdef _WIN32
  _vsnprintf(&text[0], text.size(), format, arguments);
#else
  std::vsnprintf(&text[0], text.size(), format, arguments);
#endif
  text.resize(static_cast<std::size_t>(length));
  return text;
}

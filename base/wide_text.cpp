#include "base/wide_text.h"

WideText Widen(const char* text, UINT code_page) {
  const int length = MultiByteToWideChar(code_page, 0, text, -1, nullptr, 0);
  WideText wide(length > 0 ? static_cast<std::size_t>(length) : 1, L'\0');
  if (length <= 0 || MultiByteToWideChar(code_page, 0, text, -1, wide.data(), length) != length) {
    return WideText(1, L'\0');
  }
  return wide;
}

std::string Narrow(const wchar_t* text, UINT code_page) {
  const int length = WideCharToMultiByte(code_page, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::string();
  std::vector<char> narrow(static_cast<std::size_t>(length), '\0');
  if (WideCharToMultiByte(code_page, 0, text, -1, narrow.data(), length, nullptr, nullptr) !=
      length) {
    return std::string();
  }
  return std::string(narrow.data());
}

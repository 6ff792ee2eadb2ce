#include "base/code_page.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdint>

namespace {

void AppendUtf8(std::uint32_t code_point, std::string* text) {
  if (code_point < 0x80) {
    *text += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    *text += static_cast<char>(0xC0 | (code_point >> 6));
    *text += static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    *text += static_cast<char>(0xE0 | (code_point >> 12));
    *text += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    *text += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    *text += static_cast<char>(0xF0 | (code_point >> 18));
    *text += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    *text += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    *text += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

unsigned run_legacy_code_page = 0;

}  // namespace

void SetLegacyCodePage(unsigned code_page) {
  run_legacy_code_page = code_page;
}

#ifdef _WIN32

bool ProgramTextIsUtf8() {
  return GetACP() == CP_UTF8;
}

TextDecoding TextDecoding::ForProgram() {
  if (!ProgramTextIsUtf8()) return AsStored();
  if (run_legacy_code_page != 0) return Utf8From(run_legacy_code_page);
  // The system's own ANSI code page, which GetACP no longer gives under the manifest's UTF-8.
  char digits[8] = {};
  unsigned code_page = 0;
  if (GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE, digits, sizeof digits)) {
    for (const char* c = digits; *c >= '0' && *c <= '9'; ++c) {
      code_page = code_page * 10 + static_cast<unsigned>(*c - '0');
    }
  }
  // 0 stands for a locale with no ANSI code page (Unicode only).
  return Utf8From(code_page != 0 ? code_page : 1252);
}

bool TextDecoding::IsLeadByte(unsigned char byte) const {
  return legacy_code_page_ != 0 && IsDBCSLeadByteEx(legacy_code_page_, byte) != FALSE;
}

void TextDecoding::AppendAsUtf8(const char* bytes, std::size_t length, std::string* text) const {
  wchar_t wide[2];
  const int count = MultiByteToWideChar(legacy_code_page_, MB_ERR_INVALID_CHARS, bytes,
                                        static_cast<int>(length), wide, 2);
  if (count <= 0) {
    AppendUtf8(0xFFFD, text);
    return;
  }
  const bool pair =
      count == 2 && wide[0] >= 0xD800 && wide[0] < 0xDC00 && wide[1] >= 0xDC00 && wide[1] < 0xE000;
  if (pair) {
    AppendUtf8(0x10000 + ((wide[0] - 0xD800u) << 10) + (wide[1] - 0xDC00u), text);
    return;
  }
  // A lone surrogate would be no UTF-8.
  for (int i = 0; i < count; ++i) {
    AppendUtf8(wide[i] >= 0xD800 && wide[i] < 0xE000 ? 0xFFFD : wide[i], text);
  }
}

#else

bool ProgramTextIsUtf8() {
  return true;
}

TextDecoding TextDecoding::ForProgram() {
  return Utf8From(1252);
}

bool TextDecoding::IsLeadByte(unsigned char) const {
  return false;
}

// Windows-1252 whatever the code page: the letters of the files old tools wrote on English and
// western European systems, enough for the portable core's tests.
void TextDecoding::AppendAsUtf8(const char* bytes, std::size_t length, std::string* text) const {
  static const std::uint16_t k80To9F[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  for (std::size_t i = 0; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    AppendUtf8(byte >= 0x80 && byte < 0xA0 ? k80To9F[byte - 0x80] : byte, text);
  }
}

#endif

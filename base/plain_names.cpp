#include "base/plain_names.h"

#include <cstdint>
#include <cstring>

#include "base/ascii.h"
#include "base/utf8.h"

namespace {

bool IsForbiddenAscii(unsigned char c) {
  return c < 0x20 || c == 0x7f || std::strchr("\\/:<>\"|?*", c) != nullptr;
}

bool HasForbiddenCharacter(const char* name, bool utf8) {
  const std::size_t length = std::strlen(name);
  for (std::size_t i = 0; i < length;) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c < 0x80 || !utf8) {
      if (IsForbiddenAscii(c)) return true;
      ++i;
      continue;
    }
    std::uint32_t code_point = 0;
    const std::size_t size = Utf8CharacterAt(name + i, length - i, &code_point);
    // Bytes that are no character would become U+FFFD, or another name, on the way to the
    // file system; U+0080 to U+009F are control characters as much as those below 0x20.
    if (size == 0 || (code_point >= 0x80 && code_point <= 0x9F)) return true;
    i += size;
  }
  return false;
}

bool EqualsIgnoringCase(const char* text, std::size_t length, const char* word) {
  return std::strlen(word) == length && EqualsIgnoringAsciiCase(text, word, length);
}

// Windows opens a device for these names whatever extension follows ("nul.txt" too), and
// takes the superscript digits 1, 2 and 3 after COM and LPT as it takes the plain ones.
bool IsDeviceName(const char* name, bool utf8) {
  std::size_t length = std::strcspn(name, ".");
  while (length > 0 && name[length - 1] == ' ') --length;
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices) {
    if (EqualsIgnoringCase(name, length, device)) return true;
  }
  const bool port =
      length >= 4 && (EqualsIgnoringCase(name, 3, "COM") || EqualsIgnoringCase(name, 3, "LPT"));
  if (!port) return false;
  const char* digit = name + 3;
  if (length == 4 && *digit >= '1' && *digit <= '9') return true;
  // U+00B9, U+00B2 and U+00B3: in UTF-8 two bytes, in Windows-1252 one (refused in every ANSI
  // code page, to be safe).
  if (utf8) {
    if (length != 5 || *digit++ != '\xc2') return false;
  } else if (length != 4) {
    return false;
  }
  return *digit == '\xb9' || *digit == '\xb2' || *digit == '\xb3';
}

}  // namespace

bool IsPlainName(const char* name, bool utf8) {
  return PlainNameProblem(name, utf8) == nullptr;
}

const char* PlainNameProblem(const char* name, bool utf8) {
  if (name == nullptr || name[0] == '\0') return "it is empty";
  if (HasForbiddenCharacter(name, utf8)) {
    return "it holds \\ / : < > \" | ? *, a control character or bytes that are no character";
  }
  const char last = name[std::strlen(name) - 1];
  if (last == '.') return "it ends in a dot";
  if (last == ' ') return "it ends in a space";
  if (IsDeviceName(name, utf8)) return "it names a device (CON, PRN, AUX, NUL, COM1, LPT1, ...)";
  return nullptr;
}

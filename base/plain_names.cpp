#include "base/plain_names.h"

#include <cstring>

#include "base/ascii.h"

namespace {

bool HasForbiddenCharacter(const char* name) {
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(name); *c != 0; ++c) {
    if (*c < 0x20 || *c == 0x7f || std::strchr("\\/:<>\"|?*", *c) != nullptr) return true;
  }
  return false;
}

bool EqualsIgnoringCase(const char* text, std::size_t length, const char* word) {
  return std::strlen(word) == length && EqualsIgnoringAsciiCase(text, word, length);
}

// Windows opens a device for these names whatever extension follows ("nul.txt" too).
bool IsDeviceName(const char* name) {
  std::size_t length = std::strcspn(name, ".");
  while (length > 0 && name[length - 1] == ' ') --length;
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices) {
    if (EqualsIgnoringCase(name, length, device)) return true;
  }
  if (length == 4 && name[3] >= '1' && name[3] <= '9') {
    return EqualsIgnoringCase(name, 3, "COM") || EqualsIgnoringCase(name, 3, "LPT");
  }
  return false;
}

}  // namespace

bool IsPlainName(const char* name) {
  if (name == nullptr || name[0] == '\0' || HasForbiddenCharacter(name)) return false;
  const char last = name[std::strlen(name) - 1];
  if (last == '.' || last == ' ') return false;
  return !IsDeviceName(name);
}

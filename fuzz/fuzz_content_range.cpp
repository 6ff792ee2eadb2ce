// ParseContentRange and ContinuesFile on any text: a range that is accepted is one the file
// can hold, and only the very rest of the file at the point is ever taken as its continuation.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/http/content_range.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (const auto range = ParseContentRange(text)) {
    if (range->first > range->last || range->last >= range->total) std::abort();
    const ResumePoint point{range->first, range->total, "", "x"};
    if (!ContinuesFile(point, text, range->total - range->first, "") &&
        range->last == range->total - 1) {
      std::abort();  // the rest of the file, exactly, must be taken
    }
  }
  const ResumePoint point{1000, 5000, "\"v\"", "\"v\""};
  if (ContinuesFile(point, text, 4000, "\"v\"")) {
    const auto range = ParseContentRange(text);
    if (!range || range->first != 1000 || range->last != 4999 || range->total != 5000) {
      std::abort();
    }
  }
  const std::string validator = ResumeValidator(text, text);
  for (const char c : validator) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) std::abort();
  }
  return 0;
}

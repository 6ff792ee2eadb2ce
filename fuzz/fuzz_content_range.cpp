// ParseContentRange, ContinuesFile and StrongValidatorOf on any text: a range that is accepted
// is one the file can hold, only the very rest of the file at the point, carrying its validator,
// is ever taken as its continuation, and a validator never holds what could end a request line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/http/content_range.h"
#include "net/http/header_map.h"
#include "net/http/http_date.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (const auto range = ParseContentRange(text)) {
    if (range->first > range->last || range->last >= range->total) std::abort();
    const ResumePoint point{range->first, range->total, {"x", true}};
    if (!ContinuesFile(point, text, range->total - range->first, "", "x") &&
        range->last == range->total - 1) {
      std::abort();  // the rest of the file, exactly, must be taken
    }
  }
  const ResumePoint point{1000, 5000, {"\"v\"", false}};
  if (ContinuesFile(point, text, 4000, "\"v\"", text)) {
    const auto range = ParseContentRange(text);
    if (!range || range->first != 1000 || range->last != 4999 || range->total != 5000) {
      std::abort();
    }
  }
  // Carrying another validator than the point's, the very rest is not taken.
  if (ContinuesFile(point, "bytes 1000-4999/5000", 4000, text, "\"v\"") &&
      WithoutBlanksAround(text) != "\"v\"") {
    std::abort();
  }
  const std::size_t half = text.size() / 2;
  const StrongValidator validator =
      StrongValidatorOf(half % 2 == 0 ? text : "", text.substr(0, half), text.substr(half));
  for (const char c : validator.value) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) std::abort();
  }
  if (validator.is_date && !ParseHttpDate(validator.value)) std::abort();
  return 0;
}

// ReadSha256Sums on any text: every line it takes has a name without a line end, and SumFor
// finds every name it took unless lines for it disagree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/trust/sha256_sums.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const Sha256Sums sums = ReadSha256Sums(text);
  for (const auto& line : sums.lines) {
    if (line.first.empty() || line.first.find('\n') != std::string::npos) std::abort();
    const std::optional<Sha256Digest> found = SumFor(sums, line.first);
    if (found && *found != line.second) {
      bool other = false;
      for (const auto& l : sums.lines)
        other = other || (l.first == line.first && *found == l.second);
      if (!other) std::abort();
    }
  }
  return 0;
}

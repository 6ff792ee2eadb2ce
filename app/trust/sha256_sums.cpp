#include "app/trust/sha256_sums.h"

namespace {

constexpr std::size_t kHexDigits = 64;

bool ReadLine(const std::string& line, Sha256Sums* sums) {
  if (line.size() < kHexDigits + 3 || line[kHexDigits] != ' ' ||
      (line[kHexDigits + 1] != ' ' && line[kHexDigits + 1] != '*') || line[0] == '\\') {
    return false;
  }
  Sha256Digest digest{};
  if (!ParseDigestHex(line.substr(0, kHexDigits), &digest)) return false;
  sums->lines.emplace_back(line.substr(kHexDigits + 2), digest);
  return true;
}

}  // namespace

Sha256Sums ReadSha256Sums(const std::string& text) {
  Sha256Sums sums;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && !ReadLine(line, &sums)) ++sums.malformed_lines;
    start = end + 1;
  }
  return sums;
}

std::optional<Sha256Digest> SumFor(const Sha256Sums& sums, const std::string& name) {
  std::optional<Sha256Digest> found;
  for (const auto& line : sums.lines) {
    if (line.first != name) continue;
    if (found && *found != line.second) return std::nullopt;
    found = line.second;
  }
  return found;
}

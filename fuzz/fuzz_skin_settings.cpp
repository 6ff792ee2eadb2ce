// Reads arbitrary bytes as a Skin.dat and checks the piecewise parser against a plain
// token-splitting model of the same rules.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "messenger/skin_settings.h"

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::int32_t ModelNumber(const std::string& text) {
  std::size_t at = 0;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  long long magnitude = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    if (magnitude < (1LL << 40)) magnitude = magnitude * 10 + (text[at] - '0');
  }
  long long value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX) value = INT32_MAX;
  if (value < INT32_MIN) value = INT32_MIN;
  return static_cast<std::int32_t>(value);
}

SkinSettings Model(const std::string& text) {
  std::vector<std::string> tokens;
  std::string current;
  for (char c : text) {
    if (IsSpace(c)) {
      if (!current.empty()) tokens.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) tokens.push_back(current);

  SkinSettings settings;
  std::int32_t* const targets[] = {&settings.Anchore, &settings.Stretch,
                                   &settings.BackgroundTransparency,
                                   &settings.SelectionTransparency};
  for (std::size_t i = 0; i < 4 && i + 1 < tokens.size(); ++i) {
    const std::size_t equals = tokens[i + 1].find('=');
    if (equals == std::string::npos) break;
    *targets[i] = ModelNumber(tokens[i + 1].substr(equals + 1));
  }
  return settings;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  // Fed in two pieces split at a point the input chooses, as the file is read in pieces.
  const std::size_t split = size == 0 ? 0 : data[0] % (size + 1);
  SkinSettingsParser parser;
  parser.Feed(text.data(), split);
  parser.Feed(text.data() + split, size - split);
  const SkinSettings read = parser.Finish();
  const SkinSettings model = Model(text);
  if (read.Anchore != model.Anchore || read.Stretch != model.Stretch ||
      read.BackgroundTransparency != model.BackgroundTransparency ||
      read.SelectionTransparency != model.SelectionTransparency) {
    std::abort();
  }
  return 0;
}

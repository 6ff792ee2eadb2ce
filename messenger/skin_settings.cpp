#include "messenger/skin_settings.h"

#include <limits>

#include "base/ascii.h"

namespace {

// Accumulates the number after a token's first "=" one character at a time, so that a token
// of any length is read without being stored.
class NumberScanner {
 public:
  void Feed(char c) {
    if (done_) return;
    if (!started_ && (c == '+' || c == '-')) {
      started_ = true;
      negative_ = c == '-';
      return;
    }
    started_ = true;
    if (c < '0' || c > '9') {
      done_ = true;
      return;
    }
    // Past the 32-bit range nothing more can change the clamped result.
    if (magnitude_ <= kLimit) magnitude_ = magnitude_ * 10 + (c - '0');
  }

  std::int32_t Value() const {
    if (negative_) {
      return magnitude_ >= kLimit ? std::numeric_limits<std::int32_t>::min()
                                  : static_cast<std::int32_t>(-magnitude_);
    }
    return magnitude_ >= kLimit - 1 ? std::numeric_limits<std::int32_t>::max()
                                    : static_cast<std::int32_t>(magnitude_);
  }

 private:
  static constexpr std::int64_t kLimit = std::int64_t{1} << 31;
  std::int64_t magnitude_ = 0;
  bool started_ = false;
  bool negative_ = false;
  bool done_ = false;
};

enum class Token { None, Plain, Pair };

// Reads the next token. For a token with an "=" the number after its first "=" goes to
// value.
Token ReadToken(std::streambuf& in, std::int32_t* value) {
  using Traits = std::char_traits<char>;
  int c = in.sgetc();
  while (c != Traits::eof() && IsAsciiSpace(c)) c = in.snextc();
  if (c == Traits::eof()) return Token::None;
  bool has_equals = false;
  NumberScanner number;
  while (c != Traits::eof() && !IsAsciiSpace(c)) {
    if (has_equals) {
      number.Feed(static_cast<char>(c));
    } else if (c == '=') {
      has_equals = true;
    }
    c = in.snextc();
  }
  if (!has_equals) return Token::Plain;
  *value = number.Value();
  return Token::Pair;
}

}  // namespace

SkinSettings ReadSkinSettings(std::istream& in) {
  SkinSettings settings;
  std::streambuf* buffer = in.rdbuf();
  if (buffer == nullptr) return settings;
  std::int32_t value = 0;
  if (ReadToken(*buffer, &value) == Token::None) return settings;
  std::int32_t* const targets[] = {&settings.Anchore, &settings.Stretch,
                                   &settings.BackgroundTransparency,
                                   &settings.SelectionTransparency};
  for (std::int32_t* target : targets) {
    if (ReadToken(*buffer, &value) != Token::Pair) break;
    *target = value;
  }
  return settings;
}

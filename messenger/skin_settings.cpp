#include "messenger/skin_settings.h"

#include <limits>

#include "base/ascii.h"

namespace {

constexpr std::int64_t kLimit = std::int64_t{1} << 31;
constexpr int kValueTokens = 4;

}  // namespace

void SkinSettingsParser::Feed(const char* data, std::size_t size) {
  for (std::size_t i = 0; i < size && !done_; ++i) Take(data[i]);
}

void SkinSettingsParser::Take(char c) {
  if (IsAsciiSpace(static_cast<unsigned char>(c))) {
    if (in_token_) EndToken();
    return;
  }
  if (!in_token_) {
    in_token_ = true;
    has_equals_ = false;
    magnitude_ = 0;
    number_started_ = negative_ = number_done_ = false;
  }
  if (!has_equals_) {
    has_equals_ = c == '=';
    return;
  }
  if (number_done_) return;
  if (!number_started_ && (c == '+' || c == '-')) {
    number_started_ = true;
    negative_ = c == '-';
    return;
  }
  number_started_ = true;
  if (c < '0' || c > '9') {
    number_done_ = true;
    return;
  }
  // Past the 32-bit range nothing more can change the clamped result.
  if (magnitude_ <= kLimit) magnitude_ = magnitude_ * 10 + (c - '0');
}

void SkinSettingsParser::EndToken() {
  in_token_ = false;
  const int position = token_++;
  if (position == 0) return;  // the header
  if (!has_equals_) {
    done_ = true;
    return;
  }
  std::int32_t value;
  if (negative_) {
    value = magnitude_ >= kLimit ? std::numeric_limits<std::int32_t>::min()
                                 : static_cast<std::int32_t>(-magnitude_);
  } else {
    value = magnitude_ >= kLimit - 1 ? std::numeric_limits<std::int32_t>::max()
                                     : static_cast<std::int32_t>(magnitude_);
  }
  std::int32_t* const targets[kValueTokens] = {&settings_.Anchore, &settings_.Stretch,
                                               &settings_.BackgroundTransparency,
                                               &settings_.SelectionTransparency};
  *targets[position - 1] = value;
  if (position == kValueTokens) done_ = true;
}

SkinSettings SkinSettingsParser::Finish() {
  if (in_token_ && !done_) EndToken();
  done_ = true;
  return settings_;
}

SkinSettings ReadSkinSettings(const char* data, std::size_t size) {
  SkinSettingsParser parser;
  parser.Feed(data, size);
  return parser.Finish();
}

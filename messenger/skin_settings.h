// The settings of a skin package, read from its "Skin.dat": whitespace-separated tokens taken
// by position. Token 1 is a header; tokens 2 to 5 are name=value pairs whose value sets
// Anchore, Stretch, BackgroundTransparency and SelectionTransparency in that order.
#pragma once

#include <cstddef>
#include <cstdint>

struct SkinSettings {
  std::int32_t Anchore = 0;
  std::int32_t Stretch = 15;
  std::int32_t BackgroundTransparency = 0;
  std::int32_t SelectionTransparency = 50;
};

// Takes the file's characters in pieces of any size, so that a token of any length is read
// without being stored. Reading stops at the first value token that is missing or has no "=";
// settings read before it stand, the others keep their defaults. Only a token's first "=" and
// the number after it matter. The number is read in the manner of atol (an optional sign, then
// decimal digits up to the first other character; no digits give 0), clamped to the 32-bit
// range. Every byte other than ASCII white space, NUL included, belongs to a token.
class SkinSettingsParser {
 public:
  void Feed(const char* data, std::size_t size);
  // The settings once the last character has been fed.
  SkinSettings Finish();

 private:
  void Take(char c);
  void EndToken();

  SkinSettings settings_;
  int token_ = 0;  // tokens ended so far
  bool done_ = false;
  bool in_token_ = false;
  bool has_equals_ = false;
  // The number after the current token's first "=".
  std::int64_t magnitude_ = 0;
  bool number_started_ = false;
  bool negative_ = false;
  bool number_done_ = false;
};

// The settings of a whole Skin.dat held in memory.
SkinSettings ReadSkinSettings(const char* data, std::size_t size);

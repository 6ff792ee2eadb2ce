// The settings of a skin package, read from its "Skin.dat": whitespace-separated tokens taken
// by position. Token 1 is a header; tokens 2 to 5 are name=value pairs whose value sets
// Anchore, Stretch, BackgroundTransparency and SelectionTransparency in that order.
#pragma once

#include <cstdint>
#include <istream>

struct SkinSettings {
  std::int32_t Anchore = 0;
  std::int32_t Stretch = 15;
  std::int32_t BackgroundTransparency = 0;
  std::int32_t SelectionTransparency = 50;
};

// Reads at most five tokens. Reading stops at the first value token that is missing or has
// no "="; settings read before it stand, the others keep their defaults. A token may be of
// any length: only its first "=" and the number after it matter. The number is read in the
// manner of atol (an optional sign, then decimal digits up to the first other character; no
// digits give 0), clamped to the 32-bit range.
SkinSettings ReadSkinSettings(std::istream& in);

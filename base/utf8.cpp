#include "base/utf8.h"

Utf8Decoder::Step Utf8Decoder::Feed(unsigned char byte) {
  if (needed_ == 0) {
    if (byte < 0x80) {
      code_point_ = byte;
      return Step::Character;
    }
    // C0 and C1 would only begin overlong forms, F5 and above code points past U+10FFFF.
    if (byte >= 0xC2 && byte <= 0xDF) {
      needed_ = 1, code_point_ = byte & 0x1Fu, smallest_ = 0x80;
    } else if (byte >= 0xE0 && byte <= 0xEF) {
      needed_ = 2, code_point_ = byte & 0x0Fu, smallest_ = 0x800;
    } else if (byte >= 0xF0 && byte <= 0xF4) {
      needed_ = 3, code_point_ = byte & 0x07u, smallest_ = 0x10000;
    } else {
      return Step::Invalid;
    }
    return Step::NeedMore;
  }
  if ((byte & 0xC0) != 0x80) {
    needed_ = 0;
    return Step::Invalid;
  }
  code_point_ = (code_point_ << 6) | (byte & 0x3Fu);
  if (--needed_ > 0) return Step::NeedMore;
  const bool surrogate = code_point_ >= 0xD800 && code_point_ <= 0xDFFF;
  if (code_point_ < smallest_ || surrogate || code_point_ > 0x10FFFF) return Step::Invalid;
  return Step::Character;
}

std::size_t Utf8CharacterAt(const char* text, std::size_t length, std::uint32_t* code_point) {
  Utf8Decoder decoder;
  for (std::size_t i = 0; i < length && i < 4; ++i) {
    switch (decoder.Feed(static_cast<unsigned char>(text[i]))) {
      case Utf8Decoder::Step::NeedMore:
        continue;
      case Utf8Decoder::Step::Character:
        if (code_point != nullptr) *code_point = decoder.CodePoint();
        return i + 1;
      case Utf8Decoder::Step::Invalid:
        return 0;
    }
  }
  return 0;
}

bool IsUtf8(const char* text, std::size_t length) {
  Utf8Decoder decoder;
  for (std::size_t i = 0; i < length; ++i) {
    if (decoder.Feed(static_cast<unsigned char>(text[i])) == Utf8Decoder::Step::Invalid) {
      return false;
    }
  }
  return !decoder.InsideCharacter();
}

std::size_t Utf8LengthFromLead(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 1;
}

std::string EscapeInvalidUtf8(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string checked;
  checked.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t size = Utf8CharacterAt(text.data() + i, text.size() - i);
    if (size > 0) {
      checked.append(text, i, size);
      i += size;
    } else {
      const auto byte = static_cast<unsigned char>(text[i++]);
      checked += "\\x";
      checked += kHex[byte >> 4];
      checked += kHex[byte & 0xF];
    }
  }
  return checked;
}

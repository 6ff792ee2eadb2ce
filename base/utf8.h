// UTF-8, the program's text where Windows lets it be: well-formed characters, one byte at a time
// or all at once. Well-formed means the shortest form of a code point up to U+10FFFF that is no
// surrogate, as Windows converts it back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class Utf8Decoder {
 public:
  enum class Step { NeedMore, Character, Invalid };

  // Takes the next byte. Character: a whole character ends with it (code_point() gives it).
  // Invalid: the bytes so far are no well-formed character; the decoder starts afresh with the
  // next byte.
  Step Feed(unsigned char byte);
  std::uint32_t CodePoint() const { return code_point_; }
  // Whether the last byte fed left a character unfinished.
  bool InsideCharacter() const { return needed_ > 0; }

 private:
  std::uint32_t code_point_ = 0;
  std::uint32_t smallest_ = 0;
  int needed_ = 0;
};

// How many bytes the well-formed character at text takes (1 to 4, never more than length); 0
// when the bytes there are none. code_point, when given, receives it.
std::size_t Utf8CharacterAt(const char* text, std::size_t length,
                            std::uint32_t* code_point = nullptr);

// Whether all length bytes at text are well-formed characters.
bool IsUtf8(const char* text, std::size_t length);

// How many bytes a character that begins with lead takes in UTF-8 (1 for ASCII; 1 too for a
// byte that begins none, so that such a byte stands alone).
std::size_t Utf8LengthFromLead(unsigned char lead);

// text with every byte that is no part of a well-formed character written as \x and two
// lower-case hexadecimal digits: UTF-8 whatever came in, and no byte lost from sight.
std::string EscapeInvalidUtf8(const std::string& text);

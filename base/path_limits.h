// The size of the program's fixed text and path buffers, and the one way text goes into them.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

// Fixed text buffers and paths hold at most 259 characters and a terminating zero.
constexpr std::size_t kPathBufferSize = 260;

// Copies text into buffer: at most N - 1 characters and a terminating zero. False when the text
// was cut to fit.
template <std::size_t N>
bool CopyText(const std::string& text, char (&buffer)[N]) {
  const std::size_t length = text.size() < N - 1 ? text.size() : N - 1;
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
  return length == text.size();
}

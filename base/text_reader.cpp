#include "base/text_reader.h"

#include <cstring>

#include "base/ascii.h"

namespace {

// The end-of-file mark of DOS text files; a text-mode stream stops reading there.
constexpr int kEndOfFileMark = 0x1A;

}  // namespace

TextFileReader::TextFileReader(const char* path) : file_(std::fopen(path, "rb")) {}

TextFileReader::~TextFileReader() {
  if (file_ != nullptr) std::fclose(file_);
}

void TextFileReader::SkipByteOrderMark() {
  if (file_ == nullptr) return;
  static constexpr unsigned char kMark[] = {0xEF, 0xBB, 0xBF};
  for (unsigned char expected : kMark) {
    if (std::getc(file_) != expected) {
      std::fseek(file_, 0, SEEK_SET);
      return;
    }
  }
}

int TextFileReader::Get() {
  if (at_end_) return EOF;
  int c = std::getc(file_);
  if (c == EOF || c == kEndOfFileMark) {
    at_end_ = true;
    return EOF;
  }
  if (c == '\r') {
    int next = std::getc(file_);
    if (next == '\n') return '\n';
    if (next != EOF) std::ungetc(next, file_);
  }
  return c;
}

bool TextFileReader::ReadPiece(char* buffer, std::size_t capacity) {
  if (file_ == nullptr || capacity < 2) return false;
  std::size_t length = 0;
  while (length + 1 < capacity) {
    int c = Get();
    if (c == EOF) break;
    buffer[length++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  if (length == 0) return false;
  buffer[length] = '\0';
  return true;
}

bool TextFileReader::ReadWord(char* buffer, std::size_t capacity) {
  if (file_ == nullptr || capacity < 2) return false;
  int c = Get();
  while (c != EOF && IsAsciiSpace(c)) c = Get();
  if (c == EOF) return false;
  std::size_t length = 0;
  while (c != EOF && !IsAsciiSpace(c)) {
    if (length + 1 < capacity) buffer[length++] = static_cast<char>(c);
    c = Get();
  }
  buffer[length] = '\0';
  return true;
}

std::size_t TextFileReader::Read(char* buffer, std::size_t capacity) {
  if (file_ == nullptr) return 0;
  std::size_t length = 0;
  while (length < capacity) {
    int c = Get();
    if (c == EOF) break;
    buffer[length++] = static_cast<char>(c);
  }
  return length;
}

void CutAtLineFeed(char* text) {
  char* line_feed = std::strchr(text, '\n');
  if (line_feed != nullptr) *line_feed = '\0';
}

#include "base/text_reader.h"

#include <cstring>

#include "base/ascii.h"
#include "base/utf8.h"

namespace {

// The end-of-file mark of DOS text files; a text-mode stream stops reading there.
constexpr int kEndOfFileMark = 0x1A;

}  // namespace

TextFileReader::TextFileReader(const char* path, const TextDecoding& decoding)
    : TextFileReader(std::fopen(path, "rb"), decoding) {}

TextFileReader::TextFileReader(std::FILE* stream, const TextDecoding& decoding)
    : file_(stream), decoding_(decoding) {
  // The whole file decides: a title in UTF-8 and one in an older code page may both begin
  // with plain ASCII.
  convert_ = file_ != nullptr && decoding_.GivesUtf8() && !RestIsUtf8();
}

TextFileReader::~TextFileReader() {
  if (file_ != nullptr) std::fclose(file_);
}

bool TextFileReader::RestIsUtf8() {
  const long start = std::ftell(file_);
  Utf8Decoder decoder;
  bool valid = true;
  for (int c; valid && (c = std::getc(file_)) != EOF && c != kEndOfFileMark;) {
    valid = decoder.Feed(static_cast<unsigned char>(c)) != Utf8Decoder::Step::Invalid;
  }
  valid = valid && !decoder.InsideCharacter();
  // A stream that cannot go back is read as it is.
  if (start < 0 || std::fseek(file_, start, SEEK_SET) != 0) return true;
  return valid;
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

bool TextFileReader::BeginsWithUtf16Mark() {
  if (file_ == nullptr) return false;
  const int first = std::getc(file_);
  const int second = std::getc(file_);
  std::fseek(file_, 0, SEEK_SET);
  return (first == 0xFF && second == 0xFE) || (first == 0xFE && second == 0xFF);
}

int TextFileReader::GetStored() {
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

int TextFileReader::Get() {
  if (converted_next_ < converted_.size()) {
    return static_cast<unsigned char>(converted_[converted_next_++]);
  }
  const int c = GetStored();
  if (!convert_ || c == EOF || c < 0x80) return c;
  char bytes[2] = {static_cast<char>(c), 0};
  std::size_t length = 1;
  if (decoding_.IsLeadByte(static_cast<unsigned char>(c))) {
    // A second byte is never a line end, a space or the end mark (all below 0x40).
    const int trail = std::getc(file_);
    if (trail >= 0x40) {
      bytes[length++] = static_cast<char>(trail);
    } else if (trail != EOF) {
      std::ungetc(trail, file_);
    }
  }
  converted_.clear();
  converted_next_ = 1;
  decoding_.AppendAsUtf8(bytes, length, &converted_);
  return static_cast<unsigned char>(converted_[0]);
}

std::size_t TextFileReader::GetCharacter(char* character) {
  if (held_length_ > 0) {
    const std::size_t length = held_length_;
    std::memcpy(character, held_, length);
    held_length_ = 0;
    return length;
  }
  const int lead = Get();
  if (lead == EOF) return 0;
  character[0] = static_cast<char>(lead);
  // What was checked or converted is whole characters; stored bytes are taken one by one.
  const std::size_t length =
      decoding_.GivesUtf8() ? Utf8LengthFromLead(static_cast<unsigned char>(lead)) : 1;
  for (std::size_t i = 1; i < length; ++i) {
    const int next = Get();
    if (next == EOF) return i;
    character[i] = static_cast<char>(next);
  }
  return length;
}

bool TextFileReader::ReadPiece(char* buffer, std::size_t capacity) {
  if (file_ == nullptr || capacity < 2) return false;
  std::size_t length = 0;
  char character[4];
  while (length + 1 < capacity) {
    const std::size_t size = GetCharacter(character);
    if (size == 0) break;
    if (length + size + 1 > capacity) {
      // The next piece begins with it.
      std::memcpy(held_, character, size);
      held_length_ = size;
      break;
    }
    std::memcpy(buffer + length, character, size);
    length += size;
    if (character[0] == '\n') break;
  }
  if (length == 0) return false;
  buffer[length] = '\0';
  return true;
}

bool TextFileReader::ReadWord(char* buffer, std::size_t capacity) {
  if (file_ == nullptr || capacity < 2) return false;
  char character[4];
  std::size_t size = GetCharacter(character);
  while (size == 1 && IsAsciiSpace(character[0])) size = GetCharacter(character);
  if (size == 0) return false;
  std::size_t length = 0;
  bool full = false;
  while (size > 0 && !(size == 1 && IsAsciiSpace(character[0]))) {
    // Once a character does not fit, nothing after it joins the word either.
    full = full || length + size + 1 > capacity;
    if (!full) {
      std::memcpy(buffer + length, character, size);
      length += size;
    }
    size = GetCharacter(character);
  }
  buffer[length] = '\0';
  return true;
}

std::size_t TextFileReader::Read(char* buffer, std::size_t capacity) {
  if (file_ == nullptr) return 0;
  std::size_t length = 0;
  for (; held_length_ > 0 && length < capacity; --held_length_) {
    buffer[length++] = held_[0];
    std::memmove(held_, held_ + 1, held_length_ - 1);
  }
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

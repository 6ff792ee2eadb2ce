// Reads the program's small text files the way a C text-mode stream does on Windows: a CR LF
// pair reads as a single LF and a Ctrl-Z (0x1A) ends the file, on every platform, so the files
// parse the same everywhere.
#pragma once

#include <cstddef>
#include <cstdio>

class TextFileReader {
 public:
  explicit TextFileReader(const char* path);
  // Reads an open stream (null: nothing to read) and closes it when done.
  explicit TextFileReader(std::FILE* stream) : file_(stream) {}
  ~TextFileReader();
  TextFileReader(const TextFileReader&) = delete;
  TextFileReader& operator=(const TextFileReader&) = delete;

  bool IsOpen() const { return file_ != nullptr; }

  // Skips a UTF-8 byte-order mark (EF BB BF) at the start of the file, as Notepad writes one;
  // call it before reading anything. Anything else is left to be read.
  void SkipByteOrderMark();

  // Reads one piece of a line into buffer (capacity >= 2): it ends just after a line feed or
  // after capacity - 1 characters, whichever comes first, and is always zero-terminated.
  // Returns false, leaving buffer unchanged, when the end of the file comes first.
  bool ReadPiece(char* buffer, std::size_t capacity);

  // Skips white space, then reads one word into buffer (capacity >= 2). A longer word keeps
  // its first capacity - 1 characters and the rest of it is skipped. Returns false, leaving
  // buffer unchanged, when no further word exists.
  bool ReadWord(char* buffer, std::size_t capacity);

  // Reads up to capacity characters into buffer, NUL bytes included and not zero-terminated.
  // Returns how many; 0 at the end of the file.
  std::size_t Read(char* buffer, std::size_t capacity);

 private:
  int Get();

  std::FILE* file_;
  bool at_end_ = false;
};

// Ends text at its first line feed, if it has one.
void CutAtLineFeed(char* text);

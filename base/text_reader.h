// Reads the program's small text files the way a C text-mode stream does on Windows: a CR LF
// pair reads as a single LF and a Ctrl-Z (0x1A) ends the file, on every platform, so the files
// parse the same everywhere. Where the program's text is UTF-8, a file that is well-formed UTF-8
// reads as it is and any other, written by an older tool, is converted from its code page;
// pieces and words then end between characters, never inside one.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "base/code_page.h"

class TextFileReader {
 public:
  explicit TextFileReader(const char* path,
                          const TextDecoding& decoding = TextDecoding::ForProgram());
  // Reads an open stream (null: nothing to read) from where it stands, and closes it when done.
  explicit TextFileReader(std::FILE* stream,
                          const TextDecoding& decoding = TextDecoding::ForProgram());
  ~TextFileReader();
  TextFileReader(const TextFileReader&) = delete;
  TextFileReader& operator=(const TextFileReader&) = delete;

  bool IsOpen() const { return file_ != nullptr; }
  // Whether what it gives is UTF-8 (else the bytes as stored).
  bool GivesUtf8() const { return decoding_.GivesUtf8(); }

  // Skips a UTF-8 byte-order mark (EF BB BF) at the start of the file, as Notepad writes one;
  // call it before reading anything. Anything else is left to be read.
  void SkipByteOrderMark();
  // Whether the file begins with a UTF-16 byte-order mark (FF FE or FE FF), as Notepad's
  // "Unicode" files do: text this reader takes as bytes. Call it before reading anything.
  bool BeginsWithUtf16Mark();

  // Reads one piece of a line into buffer (capacity >= 2): it ends just after a line feed or
  // after at most capacity - 1 bytes, whichever comes first, and is always zero-terminated.
  // Returns false, leaving buffer unchanged, when the end of the file comes first (or, in a
  // buffer of fewer than 5 bytes, a character that cannot fit it whole).
  bool ReadPiece(char* buffer, std::size_t capacity);

  // Skips white space, then reads one word into buffer (capacity >= 2). A longer word keeps
  // the characters of its first capacity - 1 bytes and the rest of it is skipped. Returns
  // false, leaving buffer unchanged, when no further word exists.
  bool ReadWord(char* buffer, std::size_t capacity);

  // Reads up to capacity bytes into buffer, NUL bytes included and not zero-terminated.
  // Returns how many; 0 at the end of the file.
  std::size_t Read(char* buffer, std::size_t capacity);

 private:
  // The next byte of the text as a text-mode stream gives it, converted; EOF at its end.
  int Get();
  int GetStored();
  // The bytes of the next character into character (4 bytes); how many, 0 at the end.
  std::size_t GetCharacter(char* character);
  // Whether the rest of the file, up to its end mark, is well-formed UTF-8; the stream is put
  // back where it stood.
  bool RestIsUtf8();

  std::FILE* file_;
  TextDecoding decoding_;
  bool at_end_ = false;
  bool convert_ = false;
  std::string converted_;  // bytes of the last converted character not yet given
  std::size_t converted_next_ = 0;
  char held_[4] = {};  // a character read but not taken: it did not fit a piece or word
  std::size_t held_length_ = 0;
};

// Ends text at its first line feed, if it has one.
void CutAtLineFeed(char* text);

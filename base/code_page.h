// The code pages of the program's text: the one its own calls take and give, and the one in
// which older tools wrote the text files it reads.
#pragma once

#include <cstddef>
#include <string>

// Whether the program's own text is UTF-8: on Windows 10 1903 and later, where the manifest's
// active code page makes every A call take and give UTF-8, and natively. On older Windows it is
// the system's ANSI code page, and text files are read as they are stored.
bool ProgramTextIsUtf8();

// The code page older tools wrote the program's text files in, for the whole run: the one of
// the user's language, set once by the entry point before any other thread starts. 0, the
// default, leaves it to the system's ANSI code page.
void SetLegacyCodePage(unsigned code_page);

// How the bytes of a text file become the program's text.
class TextDecoding {
 public:
  // The program's text is UTF-8: a file that is well-formed UTF-8 reads as it is, any other is
  // taken as written in legacy_code_page (not 0) and converted on reading.
  static TextDecoding Utf8From(unsigned legacy_code_page) { return TextDecoding(legacy_code_page); }
  // The bytes pass as they are stored.
  static TextDecoding AsStored() { return TextDecoding(0); }
  // What the running program needs: UTF-8, older files taken as written in the legacy code page
  // set for the run or else the system's ANSI code page (natively Windows-1252), where its text
  // is UTF-8; else as stored.
  static TextDecoding ForProgram();

  bool GivesUtf8() const { return legacy_code_page_ != 0; }

  // Whether byte begins a character of two bytes in the legacy code page (Japanese, Chinese and
  // Korean ones have such).
  bool IsLeadByte(unsigned char byte) const;
  // Appends the legacy character in the length (1 or 2) bytes at bytes to text in UTF-8; one
  // the code page does not define becomes U+FFFD.
  void AppendAsUtf8(const char* bytes, std::size_t length, std::string* text) const;

 private:
  explicit TextDecoding(unsigned legacy_code_page) : legacy_code_page_(legacy_code_page) {}
  unsigned legacy_code_page_;
};

#include "base/plain_names.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

struct NameCase {
  const char* name;
  bool plain;
};

TEST(PlainNames, RefuseWhatWindowsReadsAsAnotherPlace) {
  const NameCase cases[] = {
      {"acme", true},
      {"acme skin", true},
      {"acme.v2", true},
      {".acme", true},
      {"a..b", true},
      {"setup.exe", true},
      {"console.txt", true},
      {"COM10", true},
      {"LPT0", true},
      {"nullify", true},
      // Windows drops a trailing dot or space: "acme." names the folder "acme", and a file
      // would be stored under another name.
      {"acme ", false},
      {"acme.", false},
      {"x..", false},
      {"setup.exe.", false},
      {"setup.exe ", false},
      // Dots and spaces alone name this folder or its parent.
      {"", false},
      {".", false},
      {"..", false},
      {"...", false},
      {". .", false},
      {".. ", false},
      {" ", false},
      // Separators, drives and wildcards.
      {"a\\b", false},
      {"..\\x", false},
      {"a/b", false},
      {"C:", false},
      {"C:x", false},
      {"a*b", false},
      {"a?b", false},
      {"a<b", false},
      {"a>b", false},
      {"a|b", false},
      {"a\"b", false},
      // Control characters.
      {"a\tb", false},
      {"a\rb", false},
      {"a\x01", false},
      {"a\x7f", false},
      // Devices, in any letter case and with any extension.
      {"CON", false},
      {"con", false},
      {"Nul", false},
      {"nul.txt", false},
      {"NUL .txt", false},
      {"PRN", false},
      {"aux.dat", false},
      {"COM1", false},
      {"com9.exe", false},
      {"LPT1", false},
      {"CONOUT$", false},
      {"conin$", false},
  };
  for (const bool utf8 : {true, false}) {
    for (const NameCase& c : cases) {
      EXPECT_EQ(IsPlainName(c.name, utf8), c.plain) << '"' << c.name << "\" utf8 " << utf8;
    }
    EXPECT_FALSE(IsPlainName(nullptr, utf8));
  }
}

// Letters of every alphabet pass; bytes that are no UTF-8 character could become another name
// (an overlong '/' among them) and are refused, as are C1 controls and COM or LPT with a
// superscript digit, which Windows opens as devices.
TEST(PlainNames, TextOutsideAscii) {
  const struct {
    const char* name;
    bool plain_utf8;
    bool plain_ansi;
  } cases[] = {
      {"\xd0\x94\xd0\xbc\xd0\xb8\xd1\x82\xd1\x80\xd0\xb8\xd0\xb9", true, true},  // Cyrillic
      {"\xc5\xa0koda skin.bmp", true, true},
      {"\xf0\x9f\x98\x80", true, true},    // beyond the 16-bit plane
      {"caf\xe9", false, true},            // Windows-1252, not UTF-8
      {"a\xc0\xaf!", false, true},         // overlong '/'
      {"a\xed\xa0\x80", false, true},      // a surrogate
      {"a\xf4\x90\x80\x80", false, true},  // past U+10FFFF
      {"a\xc3", false, true},              // cut short
      {"a\x80!", false, true},             // a lone continuation byte
      {"a\xc2\x9b[2J", false, true},       // C1 control (CSI)
      {"a\xc2\x85", false, true},          // C1 control (next line)
      {"a\xc2\xa0!", true, true},          // no-break space
      {"COM\xc2\xb9", false, true},
      {"lpt\xc2\xb3.txt", false, true},
      {"COM\xc2\xb4", true, true},
      {"COM\xb9", false, false},  // superscript one in Windows-1252
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsPlainName(c.name, true), c.plain_utf8) << '"' << c.name << "\" in UTF-8";
    EXPECT_EQ(IsPlainName(c.name, false), c.plain_ansi) << '"' << c.name << "\" in ANSI";
  }
}

// The log names the rule a name breaks.
TEST(PlainNames, SayWhichRuleANameBreaks) {
  const std::pair<const char*, const char*> cases[] = {
      {"skin.bmp", nullptr},
      {"", "it is empty"},
      {"a\\b", "it holds \\ / : < > \" | ? *, a control character or bytes that are no character"},
      {"skin.bmp.", "it ends in a dot"},
      {"skin.bmp ", "it ends in a space"},
      {"nul.txt", "it names a device (CON, PRN, AUX, NUL, COM1, LPT1, ...)"}};
  for (const auto& [name, problem] : cases) {
    const char* found = PlainNameProblem(name, true);
    EXPECT_EQ(found == nullptr ? std::string("(plain)") : found,
              problem == nullptr ? std::string("(plain)") : problem)
        << name;
  }
}

}  // namespace

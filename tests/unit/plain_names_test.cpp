#include "base/plain_names.h"

#include <gtest/gtest.h>

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
      {"caf\xe9", true},
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
  for (const NameCase& c : cases) {
    EXPECT_EQ(IsPlainName(c.name), c.plain) << '"' << c.name << '"';
  }
  EXPECT_FALSE(IsPlainName(nullptr));
}

}  // namespace

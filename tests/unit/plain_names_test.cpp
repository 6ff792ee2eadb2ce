#include "app/plain_names.h"

#include <gtest/gtest.h>

namespace {

struct NameCase {
  const char* name;
  bool folder;  // expected from IsPlainFolderName
  bool file;    // expected from IsPlainFileName
};

TEST(PlainNames, RefuseWhatWindowsReadsAsAnotherPlace) {
  const NameCase cases[] = {
      {"acme", true, true},
      {"acme skin", true, true},
      {"acme.v2", true, true},
      {".acme", true, true},
      {"a..b", true, true},
      {"caf\xe9", true, true},
      {"setup.exe", true, true},
      {"console.txt", true, true},
      {"COM10", true, true},
      {"LPT0", true, true},
      {"nullify", true, true},
      // Windows drops a trailing dot or space: the partner folder stays one folder, but a
      // file would be stored under another name.
      {"acme ", true, false},
      {"x..", true, false},
      {"setup.exe.", true, false},
      {"setup.exe ", true, false},
      // Dots and spaces alone name this folder or its parent.
      {"", false, false},
      {".", false, false},
      {"..", false, false},
      {"...", false, false},
      {". .", false, false},
      {".. ", false, false},
      {" ", false, false},
      // Separators, drives and wildcards.
      {"a\\b", false, false},
      {"..\\x", false, false},
      {"a/b", false, false},
      {"C:", false, false},
      {"C:x", false, false},
      {"a*b", false, false},
      {"a?b", false, false},
      {"a<b", false, false},
      {"a>b", false, false},
      {"a|b", false, false},
      {"a\"b", false, false},
      // Control characters.
      {"a\tb", false, false},
      {"a\rb", false, false},
      {"a\x01", false, false},
      {"a\x7f", false, false},
      // Devices, in any letter case and with any extension.
      {"CON", false, false},
      {"con", false, false},
      {"Nul", false, false},
      {"nul.txt", false, false},
      {"NUL .txt", false, false},
      {"PRN", false, false},
      {"aux.dat", false, false},
      {"COM1", false, false},
      {"com9.exe", false, false},
      {"LPT1", false, false},
      {"CONOUT$", false, false},
      {"conin$", false, false},
  };
  for (const NameCase& c : cases) {
    EXPECT_EQ(IsPlainFolderName(c.name), c.folder) << '"' << c.name << '"';
    EXPECT_EQ(IsPlainFileName(c.name), c.file) << '"' << c.name << '"';
  }
  EXPECT_FALSE(IsPlainFolderName(nullptr));
  EXPECT_FALSE(IsPlainFileName(nullptr));
}

}  // namespace

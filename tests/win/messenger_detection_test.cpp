#include "messenger/messenger_detection.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/win/registry_fixture.h"

namespace {

class MessengerVersion : public MessengerRegistryTest {};

TEST_F(MessengerVersion, NumbersDecideTheSetup) {
  const struct {
    std::uint32_t stored;
    bool needs_setup;
  } cases[] = {{533, true}, {534, false}, {2000, false},        {2001, true},        {2002, false},
               {0, true},   {1, true},    {0x80000000u, false}, {0xFFFFFFFFu, false}};
  for (const auto& c : cases) {
    WriteDword(HKEY_LOCAL_MACHINE, kTestDefaultPrefs, "Orvex Version", c.stored);
    const std::uint32_t version = GetMessengerVersion();
    EXPECT_EQ(version, c.stored);
    EXPECT_EQ(MessengerNeedsSetup(version), c.needs_setup) << c.stored;
  }
}

TEST_F(MessengerVersion, AbsentKeyOrValueReadsAsZero) {
  EXPECT_EQ(GetMessengerVersion(), 0u);
  CreateKey(HKEY_LOCAL_MACHINE, kTestDefaultPrefs);
  EXPECT_EQ(GetMessengerVersion(), 0u);
  EXPECT_TRUE(MessengerNeedsSetup(GetMessengerVersion()));
}

TEST_F(MessengerVersion, DataAreTakenAsBytesWhateverTheirType) {
  const struct {
    const char* what;
    DWORD type;
    std::string bytes;
    std::uint32_t version;
  } cases[] = {
      {"text 534 with its terminator", REG_SZ, std::string("534\0", 4), 3420981},
      {"two bytes, zero-extended", REG_BINARY, std::string("\x16\x02", 2), 534},
      {"one byte, zero-extended", REG_BINARY, std::string("\xff", 1), 255},
      {"five bytes are too long", REG_BINARY, std::string("\x16\x02\0\0\0", 5), 0},
      {"text 5340 is too long", REG_SZ, std::string("5340\0", 5), 0},
      {"empty data", REG_BINARY, std::string(), 0},
  };
  for (const auto& c : cases) {
    WriteValue(HKEY_LOCAL_MACHINE, kTestDefaultPrefs, "Orvex Version", c.type, c.bytes.data(),
               static_cast<DWORD>(c.bytes.size()));
    EXPECT_EQ(GetMessengerVersion(), c.version) << c.what;
  }
}

TEST_F(MessengerVersion, EveryCallReadsAfresh) {
  WriteDword(HKEY_LOCAL_MACHINE, kTestDefaultPrefs, "Orvex Version", 2001);
  EXPECT_TRUE(MessengerNeedsSetup(GetMessengerVersion()));
  WriteDword(HKEY_LOCAL_MACHINE, kTestDefaultPrefs, "Orvex Version", 2002);
  EXPECT_FALSE(MessengerNeedsSetup(GetMessengerVersion()));
  DeleteKeyTree(HKEY_LOCAL_MACHINE, kTestDefaultPrefs);
  EXPECT_EQ(GetMessengerVersion(), 0u);
}

class MessengerFolderLookup : public MessengerRegistryTest {
 protected:
  char folder_[kPathBufferSize] = {};
};

TEST_F(MessengerFolderLookup, ProgramPathLosesItsFileName) {
  const struct {
    std::string stored, folder;
  } cases[] = {
      {"C:\\Programs\\Orvex\\Orvex.exe", "C:\\Programs\\Orvex"},
      {"Orvex.exe", "Orvex.exe"},
      {"C:\\Programs\\Orvex\\", "C:\\Programs\\Orvex"},
      {"\"C:\\Program Files\\Orvex\\Orvex.exe\"", "\"C:\\Program Files\\Orvex"},
      {" C:\\Orvex\\Orvex.exe ", " C:\\Orvex"},
      {"C:\\" + std::string(256, 'o'), "C:"},  // 259 characters: fits
      {"C:\\" + std::string(257, 'o'), ""},    // 260 characters: too long
  };
  for (const auto& c : cases) {
    std::strcpy(folder_, "stale");
    WriteText(HKEY_LOCAL_MACHINE, kTestAppPaths, nullptr, c.stored);
    FindMessengerFolder(folder_);
    EXPECT_EQ(std::string(folder_), c.folder) << c.stored;
  }
}

TEST_F(MessengerFolderLookup, MissingKeyKeepsTheBufferMissingValueEmptiesIt) {
  std::strcpy(folder_, "C:\\Earlier");
  FindMessengerFolder(folder_);
  EXPECT_STREQ(folder_, "C:\\Earlier");

  CreateKey(HKEY_LOCAL_MACHINE, kTestAppPaths);
  WriteText(HKEY_LOCAL_MACHINE, kTestAppPaths, "Path", "C:\\Programs\\Orvex");
  FindMessengerFolder(folder_);
  EXPECT_STREQ(folder_, "");
}

}  // namespace

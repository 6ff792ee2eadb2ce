#include "messenger/temp_folder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/path_limits.h"
#include "tests/win/registry_fixture.h"
#include "tests/win/test_folders.h"

namespace {

using Names = std::vector<std::string>;

class TempFolderTest : public MessengerRegistryTest {
 protected:
  void SetUp() override {
    MessengerRegistryTest::SetUp();
    std::strcpy(partner_id_, "orvex-tf-acme");
    expected_ = TempPath() + "\\orvex-tf-acme";
    ForceRemove(expected_);
  }
  void TearDown() override {
    ForceRemove(expected_);
    MessengerRegistryTest::TearDown();
  }

  void ExpectUnusableAndUntouched() {
    std::strcpy(folder_, "stale");
    EXPECT_EQ(PrepareTempFolder(partner_id_, folder_), TempFolderStatus::Unusable) << partner_id_;
    EXPECT_STREQ(folder_, "");
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kTestTempRecord));
  }

  std::string expected_;
  char partner_id_[kPathBufferSize] = {};
  char folder_[kPathBufferSize] = {};
};

TEST_F(TempFolderTest, FreshFolderIsCreatedAndRecorded) {
  ASSERT_EQ(PrepareTempFolder(partner_id_, folder_), TempFolderStatus::Ready);

  EXPECT_EQ(std::string(folder_), expected_);
  EXPECT_TRUE(IsFolder(expected_));
  EXPECT_EQ(ListFolder(expected_), Names{});
  const StoredValue record = ReadValue(HKEY_CURRENT_USER, kTestTempRecord, nullptr);
  ASSERT_TRUE(record.present);
  EXPECT_EQ(record.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(record.data, expected_ + '\0');
}

TEST_F(TempFolderTest, OldFolderIsReplacedByAnEmptyOne) {
  MakeFolder(expected_);
  MakeFolder(expected_ + "\\sub");
  MakeFolder(expected_ + "\\sub\\deeper");
  WriteFileText(expected_ + "\\urls.cb", "old index");
  WriteFileText(expected_ + "\\sub\\deeper\\file.bin", "old");

  ASSERT_EQ(PrepareTempFolder(partner_id_, folder_), TempFolderStatus::Ready);

  EXPECT_TRUE(IsFolder(expected_));
  EXPECT_EQ(ListFolder(expected_), Names{});
}

TEST_F(TempFolderTest, ReadOnlyLeftoverKeepsTheOldFolderInUse) {
  MakeFolder(expected_);
  WriteFileText(expected_ + "\\locked.txt", "locked");
  WriteFileText(expected_ + "\\loose.txt", "loose");
  SetFileAttributesA((expected_ + "\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);

  ASSERT_EQ(PrepareTempFolder(partner_id_, folder_), TempFolderStatus::Ready);
  EXPECT_EQ(ListFolder(expected_), Names{"locked.txt"});
}

TEST_F(TempFolderTest, PathLongerThan259CharactersIsUnusable) {
  // The temporary path, one backslash and the identifier: exactly 259 characters fit.
  const std::size_t room = 259 - TempPath().size() - 1;
  std::strcpy(partner_id_, std::string(room, 'p').c_str());
  EXPECT_EQ(PrepareTempFolder(partner_id_, folder_), TempFolderStatus::Ready);
  EXPECT_EQ(std::strlen(folder_), 259u);
  DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Kestrane");

  std::strcpy(partner_id_, std::string(room + 1, 'p').c_str());
  ExpectUnusableAndUntouched();
}

TEST_F(TempFolderTest, TemporaryPathTooLongForItsBufferIsUnusable) {
  char saved_tmp[1024] = {}, saved_temp[1024] = {};
  GetEnvironmentVariableA("TMP", saved_tmp, sizeof saved_tmp);
  GetEnvironmentVariableA("TEMP", saved_temp, sizeof saved_temp);
  const std::string long_path = "C:\\" + std::string(300, 't');
  SetEnvironmentVariableA("TMP", long_path.c_str());
  SetEnvironmentVariableA("TEMP", long_path.c_str());

  ExpectUnusableAndUntouched();

  SetEnvironmentVariableA("TMP", saved_tmp[0] ? saved_tmp : nullptr);
  SetEnvironmentVariableA("TEMP", saved_temp[0] ? saved_temp : nullptr);
  EXPECT_EQ(TempPath() + "\\orvex-tf-acme", expected_);
}

TEST_F(TempFolderTest, UnwritableRecordLeavesTheFolderReady) {
  // A volatile key cannot hold the non-volatile record key.
  CreateKey(HKEY_CURRENT_USER, "Software\\Kestrane", /*is_volatile=*/true);

  EXPECT_EQ(PrepareTempFolder(partner_id_, folder_), TempFolderStatus::NotRecorded);

  EXPECT_TRUE(IsFolder(expected_));
  EXPECT_EQ(std::string(folder_), expected_);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kTestTempRecord));
}

}  // namespace

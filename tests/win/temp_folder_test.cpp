#include "messenger/temp_folder.h"

#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/owned_handle.h"
#include "base/path_limits.h"
#include "tests/win/registry_fixture.h"
#include "tests/win/test_folders.h"

namespace {

using Names = std::vector<std::string>;

std::string SidText(PSID sid) {
  char* text = nullptr;
  if (!ConvertSidToStringSidA(sid, &text)) return "?";
  std::string result = text;
  LocalFree(text);
  return result;
}

std::string CurrentUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return "?";
  const OwnedHandle owned(token);
  unsigned char data[512];
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenUser, data, sizeof data, &size)) return "?";
  return SidText(reinterpret_cast<TOKEN_USER*>(data)->User.Sid);
}

class TempFolderTest : public MessengerRegistryTest {
 protected:
  void SetUp() override {
    MessengerRegistryTest::SetUp();
    std::strcpy(partner_id_, "orvex-tf-acme");
    expected_ = TempPath() + "\\orvex-tf-acme";
    ForceRemove(expected_);
  }
  void TearDown() override {
    holder_.Reset();
    ForceRemove(expected_);
    MessengerRegistryTest::TearDown();
  }

  void ExpectUnusableAndUntouched() {
    std::strcpy(folder_, "stale");
    EXPECT_EQ(PrepareTempFolder(partner_id_, folder_, &holder_), TempFolderStatus::Unusable)
        << partner_id_;
    EXPECT_STREQ(folder_, "");
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kTestTempRecord));
  }

  std::string expected_;
  OwnedHandle holder_;
  char partner_id_[kPathBufferSize] = {};
  char folder_[kPathBufferSize] = {};
};

TEST_F(TempFolderTest, FreshFolderIsCreatedAndRecorded) {
  ASSERT_EQ(PrepareTempFolder(partner_id_, folder_, &holder_), TempFolderStatus::Ready);

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

  ASSERT_EQ(PrepareTempFolder(partner_id_, folder_, &holder_), TempFolderStatus::Ready);

  EXPECT_TRUE(IsFolder(expected_));
  EXPECT_EQ(ListFolder(expected_), Names{});
}

TEST_F(TempFolderTest, OldFolderWithLeftOversIsNeverUsedAgain) {
  // A read-only file the removal may or may not take, and one another program holds open.
  MakeFolder(expected_);
  WriteFileText(expected_ + "\\locked.txt", "locked");
  SetFileAttributesA((expected_ + "\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  const TempFolderStatus status = PrepareTempFolder(partner_id_, folder_, &holder_);
  if (status == TempFolderStatus::Ready) {
    EXPECT_EQ(ListFolder(expected_), Names{});
  } else {
    EXPECT_EQ(status, TempFolderStatus::Taken);
    EXPECT_FALSE(holder_.Valid());
  }
  holder_.Reset();
  ForceRemove(expected_);

  MakeFolder(expected_);
  WriteFileText(expected_ + "\\in-use.txt", "in use");
  OwnedHandle in_use(CreateFileA((expected_ + "\\in-use.txt").c_str(), GENERIC_READ,
                                 FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(in_use.Valid());

  EXPECT_EQ(PrepareTempFolder(partner_id_, folder_, &holder_), TempFolderStatus::Taken);

  EXPECT_FALSE(holder_.Valid());
  EXPECT_EQ(ListFolder(expected_), Names{"in-use.txt"});
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kTestTempRecord));
}

TEST_F(TempFolderTest, HeldFolderCanBeNeitherRenamedNorRemoved) {
  ASSERT_EQ(PrepareTempFolder(partner_id_, folder_, &holder_), TempFolderStatus::Ready);
  const std::string moved = expected_ + "-moved";

  EXPECT_FALSE(MoveFileExA(folder_, moved.c_str(), 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(RemoveDirectoryA(folder_));
  EXPECT_TRUE(IsFolder(expected_));

  holder_.Reset();
  EXPECT_TRUE(RemoveDirectoryA(folder_));
}

// Wine keeps no security descriptor of a file (it reports one made from the Unix mode), so the
// folder's own cannot be read back there: this reads the one the folder is created with.
TEST(TempFolderSecurity, OnlyAdministratorsAndSystemMayWriteAndTheLabelIsHigh) {
  const TempFolderSecurity security;
  ASSERT_NE(security.Descriptor(), nullptr);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(security.Descriptor(), &control, &revision));
  EXPECT_NE(control & SE_DACL_PROTECTED, 0) << "nothing inherited from the folder above";

  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(security.Descriptor(), &present, &dacl, &defaulted));
  ASSERT_TRUE(present && dacl != nullptr);
  const std::vector<std::string> writers = {"S-1-5-32-544", "S-1-5-18"};  // Administrators, SYSTEM
  constexpr DWORD kWriting = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                             FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                             WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
  std::vector<std::string> full, readers;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, &ace));
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
    ASSERT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(allowed->Header.AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE),
              OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    const std::string sid = SidText(const_cast<DWORD*>(&allowed->SidStart));
    if ((allowed->Mask & kWriting) != 0) {
      full.push_back(sid);
      EXPECT_EQ(allowed->Mask, static_cast<DWORD>(FILE_ALL_ACCESS)) << sid;
    } else {
      readers.push_back(sid);
      EXPECT_EQ(allowed->Mask, static_cast<DWORD>(FILE_GENERIC_READ | FILE_GENERIC_EXECUTE));
    }
  }
  EXPECT_EQ(full, writers);
  EXPECT_EQ(readers, std::vector<std::string>{CurrentUserSid()});

  PACL sacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorSacl(security.Descriptor(), &present, &sacl, &defaulted));
  ASSERT_TRUE(present && sacl != nullptr);
  ASSERT_EQ(sacl->AceCount, 1);
  void* ace = nullptr;
  ASSERT_TRUE(GetAce(sacl, 0, &ace));
  const auto* label = static_cast<const SYSTEM_MANDATORY_LABEL_ACE*>(ace);
  EXPECT_EQ(label->Header.AceType, SYSTEM_MANDATORY_LABEL_ACE_TYPE);
  EXPECT_EQ(label->Mask, static_cast<DWORD>(SYSTEM_MANDATORY_LABEL_NO_WRITE_UP));
  EXPECT_EQ(label->Header.AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE),
            OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
  EXPECT_EQ(SidText(const_cast<DWORD*>(&label->SidStart)), "S-1-16-12288");  // high
}

TEST_F(TempFolderTest, PathLongerThan259CharactersIsUnusable) {
  // The temporary path, one backslash and the identifier: exactly 259 characters fit.
  const std::size_t room = 259 - TempPath().size() - 1;
  std::strcpy(partner_id_, std::string(room, 'p').c_str());
  EXPECT_EQ(PrepareTempFolder(partner_id_, folder_, &holder_), TempFolderStatus::Ready);
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

  EXPECT_EQ(PrepareTempFolder(partner_id_, folder_, &holder_), TempFolderStatus::NotRecorded);

  EXPECT_TRUE(IsFolder(expected_));
  EXPECT_EQ(std::string(folder_), expected_);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kTestTempRecord));
}

}  // namespace

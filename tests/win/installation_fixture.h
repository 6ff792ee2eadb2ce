// A messenger installed at C:\Programs\Orvex (in the test's own Wine prefix), the partner
// "acme" and its downloaded package in a real temporary folder, for the installation tests.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/held_file.h"
#include "base/owned_handle.h"
#include "base/path_limits.h"
#include "messenger/messenger_detection.h"
#include "messenger/package_installation.h"
#include "messenger/skin_registration.h"
#include "tests/win/registry_fixture.h"
#include "tests/win/test_folders.h"

class InstallationTest : public MessengerRegistryTest {
 protected:
  static constexpr char kPrograms[] = "C:\\Programs";
  static constexpr char kMessenger[] = "C:\\Programs\\Orvex";
  static constexpr char kPartnerRoot[] = "C:\\Programs\\Orvex\\Partner";
  static constexpr char kAcmeFolder[] = "C:\\Programs\\Orvex\\Partner\\acme";
  static constexpr char kAcmePath[] = "C:\\Programs\\Orvex\\Partner\\acme\\";
  static constexpr char kStagingRoot[] = "C:\\Programs\\Orvex\\PartnerStaging~";

  void SetUp() override {
    MessengerRegistryTest::SetUp();
    ForceRemove(kPrograms);
    MakeFolder(kPrograms);
    MakeFolder(kMessenger);
    WriteFileText(std::string(kMessenger) + "\\Orvex.exe", "messenger");
    WriteText(HKEY_LOCAL_MACHINE, kTestAppPaths, nullptr, "C:\\Programs\\Orvex\\Orvex.exe");
    std::strcpy(run_.PartnerId, "acme");
    temp_folder_ = TempPath() + "\\acme";
    ForceRemove(temp_folder_);
    MakeFolder(temp_folder_);
    std::strcpy(run_.TempFolderBuffer, temp_folder_.c_str());
  }

  void TearDown() override {
    ForceRemove(kPrograms);
    ForceRemove(temp_folder_);
    MessengerRegistryTest::TearDown();
  }

  // The installation as the download worker runs it, on the run's values and the files staged
  // as downloaded, each held open as its transfer left it.
  // movable: each held as a package file's transfer leaves it, able to move it.
  InstallOutcome InstallPackage(bool movable = false) {
    std::vector<HeldFile> files;
    for (const std::string& name : downloaded_) {
      files.push_back({name, movable ? OpenMovable(name) : OpenDownloaded(name)});
    }
    return InstallHeld(std::move(files));
  }
  InstallOutcome InstallHeld(std::vector<HeldFile> files) {
    FindMessengerFolder(run_.MessengerFolder);
    downloaded_.clear();
    return InstallPackageFiles(run_.MessengerFolder, run_.PartnerId, run_.TempFolderBuffer,
                               std::move(files), OwnedHandle());
  }
  // Shares deletion too, so that a test can rename the file while it is held.
  OwnedHandle OpenDownloaded(const std::string& name) const {
    return OwnedHandle(CreateFileA((temp_folder_ + "\\" + name).c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  OwnedHandle OpenMovable(const std::string& name) const {
    return OwnedHandle(CreateFileA((temp_folder_ + "\\" + name).c_str(),
                                   GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  void RegisterPackageSkin() {
    RegisterSkin(run_.MessengerFolder, run_.PartnerId, run_.PackageTitle);
  }

  // Puts downloaded package files (name to contents) into the temporary folder.
  void Stage(const std::map<std::string, std::string>& files) {
    Plant(files);
    for (const auto& file : files) downloaded_.push_back(file.first);
  }
  // Puts other files there: the index, the setup program, whatever someone else put there.
  void Plant(const std::map<std::string, std::string>& files) {
    for (const auto& file : files) WriteFileText(temp_folder_ + "\\" + file.first, file.second);
  }

  static void ExpectDword(const std::string& key, const char* name, std::uint32_t number) {
    const StoredValue value = ReadValue(HKEY_LOCAL_MACHINE, key, name);
    ASSERT_TRUE(value.present) << key << " " << name;
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD)) << name;
    EXPECT_EQ(value.data.size(), 4u) << name;
    EXPECT_EQ(value.AsDword(), number) << name;
  }

  static void ExpectText(const std::string& key, const char* name, const std::string& text) {
    const StoredValue value = ReadValue(HKEY_LOCAL_MACHINE, key, name);
    const char* shown = name != nullptr ? name : "(unnamed)";
    ASSERT_TRUE(value.present) << key << " " << shown;
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ)) << shown;
    EXPECT_EQ(value.data, text + '\0') << shown;  // the size counts the terminator
  }

  std::string temp_folder_;
  std::vector<std::string> downloaded_;
  // The values a run hands to the installation.
  struct {
    char PartnerId[kPathBufferSize] = {};
    char PackageTitle[kPathBufferSize] = {};
    char TempFolderBuffer[kPathBufferSize] = {};
    char MessengerFolder[kPathBufferSize] = {};
  } run_;
};

#include "messenger/package_installation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/output_file.h"
#include "base/owned_handle.h"
#include "messenger/messenger_detection.h"
#include "tests/win/installation_fixture.h"

namespace {

using Names = std::vector<std::string>;

constexpr InstallOutcome kInstalled = InstallOutcome::Installed;
constexpr InstallOutcome kCouldNotStore = InstallOutcome::CouldNotStore;

const std::string kSkinKey = std::string(kTestCustomize) + "\\acme";

TEST_F(InstallationTest, CompleteInstallation) {
  CreateKey(HKEY_LOCAL_MACHINE, kTestDefaultPrefs);
  WriteDword(HKEY_LOCAL_MACHINE, kTestOwners, "LastOwner", 777);
  CreateKey(HKEY_LOCAL_MACHINE, std::string(kTestOwners) + "\\777");
  std::strcpy(run_.PackageTitle, "Acme Skin");
  Plant({{"urls.cb", "http://pkg.example.com/acme/ http://dl.example.com/dl/setup.exe"},
         {"setup.exe", "MZ"}});
  Stage({{"Skin.dat",
          "Acme\nAnchore=2\nStretch=1\nBackgroundTransparency=30\nSelectionTransparency=70\n"},
         {"skin.bmp", "BM"}});

  ASSERT_EQ(InstallPackage(), kInstalled);
  RegisterPackageSkin();

  EXPECT_STREQ(run_.MessengerFolder, kMessenger);
  EXPECT_EQ(ListFolder(kAcmeFolder), (Names{"Skin.dat", "skin.bmp"}));
  EXPECT_EQ(ReadFileText(std::string(kAcmeFolder) + "\\skin.bmp"), "BM");
  EXPECT_FALSE(PathExists(temp_folder_));
  EXPECT_FALSE(PathExists(kStagingRoot));

  ExpectText(kTestCustomize, nullptr, "acme");
  ExpectDword(kSkinKey, "BackgroundTransparency", 30);
  ExpectDword(kSkinKey, "SelectionTransparency", 70);
  ExpectDword(kSkinKey, "Anchore", 2);
  ExpectDword(kSkinKey, "Stretch", 1);
  ExpectText(kSkinKey, nullptr, "Acme Skin");
  ExpectText(kSkinKey, "PartnerPath", "C:\\Programs\\Orvex\\Partner\\acme\\");
  ExpectText(kSkinKey, "Image", "C:\\Programs\\Orvex\\Partner\\acme\\skin.bmp");
  EXPECT_EQ(CountValues(HKEY_LOCAL_MACHINE, kSkinKey), 7);
  ExpectText(std::string(kTestOwners) + "\\777", "Customize", "acme");
}

TEST_F(InstallationTest, OnlyTheDownloadedFilesAreInstalledAsTheyWereDownloaded) {
  // Whatever else lies in the temporary folder is not installed, and a downloaded file is copied
  // from its handle: a file put in its place meanwhile is not.
  Plant({{"urls.cb", "index"}, {"OrvexSetup.exe", "MZ"}, {"planted.dll", "evil"}});
  Stage({{"Skin.dat", "S A=1"}, {"a.txt", "downloaded"}});
  std::vector<HeldFile> files;
  files.push_back({"Skin.dat", OpenDownloaded("Skin.dat")});
  files.push_back({"a.txt", OpenDownloaded("a.txt")});
  ASSERT_TRUE(MoveFileA((temp_folder_ + "\\a.txt").c_str(), (temp_folder_ + "\\b.txt").c_str()));
  Plant({{"a.txt", "swapped in"}});

  ASSERT_EQ(InstallHeld(std::move(files)), kInstalled);

  EXPECT_EQ(ListFolder(kAcmeFolder), (Names{"Skin.dat", "a.txt"}));
  EXPECT_EQ(ReadFileText(std::string(kAcmeFolder) + "\\a.txt"), "downloaded");
  EXPECT_FALSE(PathExists(temp_folder_));
}

TEST_F(InstallationTest, NameThatIsNoPlainNameStoresNothing) {
  Stage({{"a.txt", "a"}});
  std::vector<HeldFile> files;
  files.push_back({"..\\a.txt", OpenDownloaded("a.txt")});

  EXPECT_EQ(InstallHeld(std::move(files)), kCouldNotStore);

  EXPECT_FALSE(PathExists(kAcmeFolder));
  EXPECT_FALSE(PathExists(std::string(kMessenger) + "\\PartnerStaging~\\a.txt"));
  EXPECT_FALSE(PathExists(kStagingRoot));
}

TEST_F(InstallationTest, ReinstallReplacesOnlyThisPartnersFolder) {
  const std::string other = std::string(kPartnerRoot) + "\\other";
  Stage({{"old.txt", "old"}, {"kept.txt", "first"}});
  ASSERT_EQ(InstallPackage(), kInstalled);
  MakeFolder(other);
  WriteFileText(other + "\\theirs.txt", "theirs");

  MakeFolder(temp_folder_);
  Stage({{"kept.txt", "second"}});
  ASSERT_EQ(InstallPackage(), kInstalled);

  EXPECT_EQ(ListFolder(kAcmeFolder), Names{"kept.txt"});
  EXPECT_EQ(ReadFileText(std::string(kAcmeFolder) + "\\kept.txt"), "second");
  EXPECT_EQ(ListFolder(kPartnerRoot), (Names{"acme", "other"}));
  EXPECT_EQ(ReadFileText(other + "\\theirs.txt"), "theirs");
}

TEST_F(InstallationTest, SubfolderOfTheTemporaryFolderIsPassedOverAndRemoved) {
  MakeFolder(temp_folder_ + "\\sub");
  Plant({{"sub\\inner.txt", "inner"}});
  Stage({{"a.txt", "a"}});

  ASSERT_EQ(InstallPackage(), kInstalled);

  EXPECT_EQ(ListFolder(kAcmeFolder), Names{"a.txt"});
  EXPECT_FALSE(PathExists(temp_folder_));
}

TEST_F(InstallationTest, UnknownMessengerFolderInstallsAndRegistersNothing) {
  DeleteKeyTree(HKEY_LOCAL_MACHINE, kTestAppPaths);
  CreateKey(HKEY_LOCAL_MACHINE, kTestDefaultPrefs);
  MakeFolder("C:\\Partner");
  MakeFolder("C:\\Partner\\acme");
  WriteFileText("C:\\Partner\\acme\\theirs.txt", "theirs");
  Stage({{"Skin.dat", "S A=1"}, {"a.txt", "a"}});

  EXPECT_EQ(InstallPackage(), InstallOutcome::NoMessengerFolder);
  RegisterPackageSkin();

  EXPECT_STREQ(run_.MessengerFolder, "");
  EXPECT_EQ(ReadFileText("C:\\Partner\\acme\\theirs.txt"), "theirs");
  EXPECT_EQ(ListFolder(temp_folder_), (Names{"Skin.dat", "a.txt"}));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kTestCustomize));
  ForceRemove("C:\\Partner");
}

TEST_F(InstallationTest, RelativeMessengerFolderInstallsAndRegistersNothing) {
  CreateKey(HKEY_LOCAL_MACHINE, kTestDefaultPrefs);
  Stage({{"Skin.dat", "S A=1"}, {"a.txt", "a"}});
  // Without a drive or a share the folder would be taken from wherever the program runs.
  for (const char* app_path : {"Orvex.exe", "C:Orvex.exe", "\"C:\\Programs\\Orvex\\Orvex.exe\""}) {
    SCOPED_TRACE(app_path);
    WriteText(HKEY_LOCAL_MACHINE, kTestAppPaths, nullptr, app_path);
    EXPECT_EQ(InstallPackage(), InstallOutcome::NoMessengerFolder);
    RegisterPackageSkin();
    EXPECT_EQ(ListFolder(temp_folder_), (Names{"Skin.dat", "a.txt"}));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kTestCustomize));
  }
}

TEST_F(InstallationTest, PartnerRootThatIsAFileStoresNothingAndKeepsTheDownload) {
  WriteFileText(kPartnerRoot, "a file");
  Stage({{"Skin.dat", "S A=1"}, {"a.txt", "a"}});

  EXPECT_EQ(InstallPackage(), kCouldNotStore);

  EXPECT_EQ(ReadFileText(kPartnerRoot), "a file");
  EXPECT_EQ(ListFolder(temp_folder_), (Names{"Skin.dat", "a.txt"}));
  EXPECT_FALSE(PathExists(kStagingRoot));
}

TEST_F(InstallationTest, MovableDownloadsMoveIntoPlaceOrBackWhenTheyCannotBeStored) {
  for (const bool stored : {false, true}) {
    SCOPED_TRACE(stored ? "stored" : "partner root is a file");
    ForceRemove(kPartnerRoot);
    if (!stored) WriteFileText(kPartnerRoot, "a file");
    MakeFolder(temp_folder_);
    Stage({{"Skin.dat", "S A=1"}, {"a.txt", "a"}});

    ASSERT_EQ(InstallPackage(true), stored ? kInstalled : kCouldNotStore);

    const std::string where = stored ? kAcmeFolder : temp_folder_;
    EXPECT_EQ(ListFolder(where), (Names{"Skin.dat", "a.txt"}));
    EXPECT_EQ(ReadFileText(where + "\\a.txt"), "a");
    EXPECT_EQ(PathExists(temp_folder_), !stored);
    EXPECT_FALSE(PathExists(kStagingRoot));
  }
}

TEST(HeldFileMove, MovesThroughItsHandleOnlyToANewName) {
  const TempTestFolder folder("orvex-held-move");
  OutputFile file;
  ASSERT_TRUE(file.CreateNew((folder / "a.bmp").c_str(), true));
  ASSERT_TRUE(file.Write("BM", 2));
  WriteFileText(folder / "taken.bmp", "other");

  EXPECT_FALSE(MoveHeldFile(file.Handle(), folder / "taken.bmp"));
  ASSERT_TRUE(MoveHeldFile(file.Handle(), folder / "b.bmp"));
  EXPECT_FALSE(PathExists(folder / "a.bmp"));
  EXPECT_EQ(ReadFileText(folder / "taken.bmp"), "other");
  EXPECT_FALSE(DeleteFileA((folder / "b.bmp").c_str())) << "still held where it went";
  file.Close();
  EXPECT_EQ(ReadFileText(folder / "b.bmp"), "BM");
}

TEST_F(InstallationTest, EmptyTempFolderNeverReachesTheDriveRoot) {
  const std::string canary = "C:\\orvex-canary.txt";
  WriteFileText(canary, "canary");
  run_.TempFolderBuffer[0] = '\0';

  EXPECT_EQ(InstallPackage(), kCouldNotStore);

  EXPECT_FALSE(PathExists(kAcmeFolder));
  EXPECT_EQ(ReadFileText(canary), "canary");
  DeleteFileA(canary.c_str());
}

TEST_F(InstallationTest, LeftOversOfAnInterruptedRunAreClearedFirst) {
  const std::string work = std::string(kStagingRoot) + "\\acme";
  auto put = [](const std::string& folder, const std::string& name) {
    MakeFolder(folder);
    WriteFileText(folder + "\\" + name, name);
  };
  // Where the earlier run stopped, and which skin the partner folder then has again.
  const struct {
    const char* when;
    bool partner_folder, staged, set_aside;
    const char* restored;
  } cases[] = {
      {"while staging", true, true, false, "current"},
      {"between the two moves", false, true, true, "previous"},
      {"before the old folder was removed", true, false, true, "current"},
  };
  Stage({{"Skin.dat", "S A=1"}, {"a.txt", "a"}});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.when);
    ForceRemove(kPartnerRoot);
    MakeFolder(kPartnerRoot);
    MakeFolder(kStagingRoot);
    MakeFolder(work);
    if (c.partner_folder) put(kAcmeFolder, "current");
    if (c.staged) put(work + "\\new", "partial");
    if (c.set_aside) put(work + "\\old", "previous");
    // The installation fails after the clearing, which shows what the clearing did: a.txt has
    // no handle that could move or read it.
    std::vector<HeldFile> files;
    files.push_back({"Skin.dat", OpenDownloaded("Skin.dat")});
    files.push_back({"a.txt", OwnedHandle()});

    EXPECT_EQ(InstallHeld(std::move(files)), kCouldNotStore);

    EXPECT_EQ(ListFolder(kAcmeFolder), Names{c.restored});
    EXPECT_FALSE(PathExists(kStagingRoot));
  }
}

}  // namespace

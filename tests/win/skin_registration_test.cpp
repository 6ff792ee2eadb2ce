#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "messenger/messenger_detection.h"
#include "messenger/package_installation.h"
#include "tests/win/installation_fixture.h"

namespace {

using namespace std::string_literals;

const std::string kSkinKey = std::string(kTestCustomize) + "\\acme";
const std::string kOwner777 = std::string(kTestOwners) + "\\777";

// RegisterSkin after a package has been installed: the messenger's folder is known and the
// partner folder exists.
class SkinRegistration : public InstallationTest {
 protected:
  void SetUp() override {
    InstallationTest::SetUp();
    std::strcpy(run_.MessengerFolder, kMessenger);
    MakeFolder(kPartnerRoot);
    MakeFolder(kAcmeFolder);
    std::strcpy(run_.PackageTitle, "Acme Skin");
  }

  void WriteSkinDat(const std::string& text) {
    WriteFileText(std::string(kAcmePath) + "Skin.dat", text);
  }

  void ExpectSettings(std::uint32_t anchore, std::uint32_t stretch, std::uint32_t background,
                      std::uint32_t selection) {
    ExpectDword(kSkinKey, "Anchore", anchore);
    ExpectDword(kSkinKey, "Stretch", stretch);
    ExpectDword(kSkinKey, "BackgroundTransparency", background);
    ExpectDword(kSkinKey, "SelectionTransparency", selection);
    ExpectText(kSkinKey, nullptr, "Acme Skin");
    ExpectText(kSkinKey, "PartnerPath", kAcmePath);
    ExpectText(kSkinKey, "Image", std::string(kAcmePath) + "skin.bmp");
    EXPECT_EQ(CountValues(HKEY_LOCAL_MACHINE, kSkinKey), 7);
  }
};

TEST_F(SkinRegistration, SettingsComeFromSkinDatByPosition) {
  const struct {
    std::string text;
    std::uint32_t anchore, stretch, background, selection;
  } cases[] = {
      {"Acme\n", 0, 15, 0, 50},
      {"Acme\nStretch=3\n", 3, 15, 0, 50},
      {"Acme Anchore=4 Stretch 5 SelectionTransparency=6", 4, 15, 0, 50},
      {"Acme A=12abc B=xyz C=-1 D=70", 12, 0, 0xFFFFFFFFu, 70},
      {"Acme\r\nAnchore=2\r\nStretch=1\r\nBackgroundTransparency=30\r\nSelectionTransparency=70", 2,
       1, 30, 70},
      // Read as a text file: a NUL is part of a token, a Ctrl-Z ends the file.
      {"Acme A=3\0 B=4 C=5\x1a D=6"s, 3, 4, 5, 50},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    CreateKey(HKEY_LOCAL_MACHINE, kTestDefaultPrefs);
    WriteSkinDat(c.text);
    RegisterPackageSkin();
    ExpectSettings(c.anchore, c.stretch, c.background, c.selection);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kestrane");
  }
}

TEST_F(SkinRegistration, AbsentSkinDatReadsAsEmptyAndIsNotCreated) {
  CreateKey(HKEY_LOCAL_MACHINE, kTestDefaultPrefs);
  RegisterPackageSkin();
  ExpectSettings(0, 15, 0, 50);
  EXPECT_EQ(ListFolder(kAcmeFolder), std::vector<std::string>{});
}

TEST_F(SkinRegistration, UnreadableSkinDatLeavesEarlierSettings) {
  WriteDword(HKEY_LOCAL_MACHINE, kSkinKey, "Anchore", 9);
  MakeFolder(std::string(kAcmePath) + "Skin.dat");  // exists, but cannot be read as a file

  RegisterPackageSkin();

  ExpectText(kTestCustomize, nullptr, "acme");
  EXPECT_EQ(CountValues(HKEY_LOCAL_MACHINE, kSkinKey), 1);
  ExpectDword(kSkinKey, "Anchore", 9);
}

TEST_F(SkinRegistration, WithoutDefaultPrefsNothingIsWritten) {
  WriteDword(HKEY_LOCAL_MACHINE, kTestOwners, "LastOwner", 777);
  CreateKey(HKEY_LOCAL_MACHINE, kOwner777);
  WriteSkinDat("Acme A=1");

  RegisterPackageSkin();

  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kTestDefaultPrefs));
  EXPECT_EQ(CountValues(HKEY_LOCAL_MACHINE, kOwner777), 0);
}

TEST_F(SkinRegistration, MissingCustomizeIsCreatedOthersSkinsStay) {
  CreateKey(HKEY_LOCAL_MACHINE, kTestDefaultPrefs);
  RegisterPackageSkin();
  ExpectText(kTestCustomize, nullptr, "acme");
  ExpectSettings(0, 15, 0, 50);

  const std::string beta_key = std::string(kTestCustomize) + "\\beta";
  WriteDword(HKEY_LOCAL_MACHINE, beta_key, "Anchore", 5);
  RegisterPackageSkin();
  ExpectDword(beta_key, "Anchore", 5);
  ExpectText(kTestCustomize, nullptr, "acme");
}

TEST_F(SkinRegistration, OwnerValueOnlyIntoAnExistingOwnerKey) {
  const struct {
    const char* what;
    bool owners_key;
    DWORD type;
    std::string last_owner;  // raw bytes; empty for no value
    const char* owner_key;   // created before; null for none
    const char* written_to;  // owner key expected to receive "Customize"; null for none
  } cases[] = {
      {"no Owners key", false, REG_NONE, "", nullptr, nullptr},
      {"no LastOwner", true, REG_NONE, "", "777", nullptr},
      {"owner key missing", true, REG_DWORD, std::string("\x09\x03\0\0", 4), nullptr, nullptr},
      {"owner 777", true, REG_DWORD, std::string("\x09\x03\0\0", 4), "777", "777"},
      {"negative owner", true, REG_DWORD, std::string("\xfb\xff\xff\xff", 4), "-5", "-5"},
      {"two bytes, zero-extended", true, REG_BINARY, std::string("\x09\x03", 2), "777", "777"},
      {"five bytes are too long", true, REG_BINARY, std::string("\x09\x03\0\0\0", 5), "777",
       nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kestrane");
    CreateKey(HKEY_LOCAL_MACHINE, kTestDefaultPrefs);
    if (c.owners_key) CreateKey(HKEY_LOCAL_MACHINE, kTestOwners);
    if (c.type != REG_NONE) {
      WriteValue(HKEY_LOCAL_MACHINE, kTestOwners, "LastOwner", c.type, c.last_owner.data(),
                 static_cast<DWORD>(c.last_owner.size()));
    }
    const std::string owner_key =
        std::string(kTestOwners) + "\\" + (c.owner_key ? c.owner_key : "");
    if (c.owner_key) CreateKey(HKEY_LOCAL_MACHINE, owner_key);

    RegisterPackageSkin();

    ExpectText(kTestCustomize, nullptr, "acme");
    ExpectSettings(0, 15, 0, 50);
    EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, kTestOwners), c.owners_key);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kOwner777) && c.owner_key == nullptr);
    if (c.written_to) {
      ExpectText(std::string(kTestOwners) + "\\" + c.written_to, "Customize", "acme");
    } else if (c.owner_key) {
      EXPECT_EQ(CountValues(HKEY_LOCAL_MACHINE, owner_key), 0);
    }
  }
}

TEST_F(SkinRegistration, CustomizeThatCannotBeCreatedStillSelectsForTheOwner) {
  // A volatile key cannot hold the non-volatile Customize key.
  CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kestrane\\Orvex");
  CreateKey(HKEY_LOCAL_MACHINE, kTestDefaultPrefs, /*is_volatile=*/true);
  WriteDword(HKEY_LOCAL_MACHINE, kTestOwners, "LastOwner", 777);
  CreateKey(HKEY_LOCAL_MACHINE, kOwner777);

  RegisterPackageSkin();

  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kTestCustomize));
  ExpectText(kOwner777, "Customize", "acme");
}

class LiteAutostart : public MessengerRegistryTest {};

TEST_F(LiteAutostart, OnlyOrvexLiteIsDeleted) {
  for (bool lite_present : {true, false}) {
    SCOPED_TRACE(lite_present);
    WriteText(HKEY_LOCAL_MACHINE, kTestRun, kOtherRunValue, "C:\\Other\\other.exe");
    if (lite_present) WriteText(HKEY_LOCAL_MACHINE, kTestRun, "Orvex Lite", "C:\\Lite.exe");
    const int before = CountValues(HKEY_LOCAL_MACHINE, kTestRun);

    RemoveLiteAutostart();

    EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, kTestRun, "Orvex Lite").present);
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kTestRun, kOtherRunValue).AsText(),
              "C:\\Other\\other.exe");
    EXPECT_EQ(CountValues(HKEY_LOCAL_MACHINE, kTestRun), before - (lite_present ? 1 : 0));
  }
}

}  // namespace

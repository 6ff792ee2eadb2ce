#include "app/report/message_texts.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "app/report/module_instance.h"
#include "app/resources/resource.h"

namespace {

TEST(LoadResString, GivesTheTableTexts) {
  const struct {
    unsigned id;
    const char* text;
  } cases[] = {
      {1, "Could not find index file!"},
      {2, "Could not create destination file!"},
      {3, "Can't connect to server, please try again later."},
      {4, "Currently downloading %s"},
      {5, "Download in progress..."},
      {6, "Connecting..."},
      {11, "Preparing..."},
      {18, "Are you sure you want to stop downloading ?"},
      {20, "Orvex Install has not been completed"},
      {21,
       "In order to activate this skin, open the Preferences/Contact List/Design tab and choose "
       "the skin to apply."},
      {22, "Customized Contact List Download Wizard"},
      {23, "The downloaded setup program is damaged or has been changed. It was not started."},
      {25,
       "The proxy server %s asks for a user name and password. Ask your network administrator to "
       "allow this program, then try again."},
  };
  for (const auto& c : cases) EXPECT_EQ(LoadResString(c.id), c.text) << c.id;
}

TEST(LoadResString, DefaultBaseUrlIsHttpEndingInCbPartner) {
  const std::string url = LoadResString(IDS_DEFAULT_BASE_URL);
  ASSERT_EQ(url.rfind("http://", 0), 0u) << url;
  const std::size_t path = url.find('/', 7);
  ASSERT_NE(path, std::string::npos) << url;
  EXPECT_GT(path, 7u) << "no host: " << url;
  EXPECT_EQ(url.substr(path), "/cb/partner/");
}

TEST(LoadResString, MissingIdGivesEmptyText) {
  for (unsigned id : {0u, 7u, 12u, 17u, 24u, 999u, 65535u}) EXPECT_EQ(LoadResString(id), "") << id;
}

TEST(LoadResString, UsesTheStoredModuleInstance) {
  ModuleInstance = GetModuleHandleA(nullptr);
  EXPECT_EQ(LoadResString(IDS_CONNECTING), "Connecting...");
  // A module without the program's string table.
  ModuleInstance = GetModuleHandleA("ntdll.dll");
  ASSERT_NE(ModuleInstance, nullptr);
  EXPECT_EQ(LoadResString(IDS_INSTALL_INCOMPLETE), "");
  ModuleInstance = nullptr;
  EXPECT_EQ(LoadResString(IDS_CONNECTING), "Connecting...");
}

// Each language's own text, whatever the thread's resource language; English for a language
// without a translation and for what a translation lacks.
TEST(LoadResString, GivesTheTextOfTheLanguageAsked) {
  const Language greek = {"el", 0x0408, 1253};
  const struct {
    const char* tag;
    unsigned id;
    const char* text;
  } cases[] = {
      {"de", IDS_DONE, "Fertig"},
      {"ru", IDS_CONNECTING, "Подключение..."},
      {"ja", IDS_ERROR_CAPTION, "エラー"},
      {"zh-CN", IDS_CURRENTLY_DOWNLOADING, "正在下载 %s"},
      {"en", IDS_WELCOME_CAPTION, "Orvex Contact List Download Wizard"},
      {"de", IDS_DEFAULT_BASE_URL, "http://skins.example.com/cb/partner/"},
      {"ru", 999, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LoadResString(c.id, *LanguageForTag(c.tag)), c.text) << c.tag << " " << c.id;
  }
  EXPECT_EQ(LoadResString(IDS_CONFIRM_STOP, greek), "Are you sure you want to stop downloading ?");
}

// What a message box showed, read from the box itself by a second thread, which then answers
// it with the given button.
struct ShownBox {
  bool found = false;
  std::string text;
  bool has_yes = false, has_no = false, has_ok = false;
};

int ShowAndAnswer(unsigned id, unsigned flags, int button, ShownBox* shown) {
  const std::string caption = LoadResString(kWizardCaption);
  std::thread answerer([=] {
    for (int attempt = 0; attempt < 1000; ++attempt) {
      HWND box = FindWindowA(nullptr, caption.c_str());
      if (box != nullptr) {
        char text[600] = {};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the message's static control
        shown->found = true;
        shown->text = text;
        shown->has_yes = GetDlgItem(box, IDYES) != nullptr;
        shown->has_no = GetDlgItem(box, IDNO) != nullptr;
        shown->has_ok = GetDlgItem(box, IDOK) != nullptr;
        PostMessageA(box, WM_COMMAND, button, 0);
        return;
      }
      Sleep(10);
    }
  });
  const int result = ShowResMessage(nullptr, id, kWizardCaption, flags);
  answerer.join();
  return result;
}

TEST(ShowResMessage, ShowsTheTextWithTheFlagsAndReturnsTheAnswer) {
  ShownBox question;
  EXPECT_EQ(
      ShowAndAnswer(IDS_CONFIRM_STOP, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, IDYES, &question),
      IDYES);
  ASSERT_TRUE(question.found);
  EXPECT_EQ(question.text, "Are you sure you want to stop downloading ?");
  EXPECT_TRUE(question.has_yes && question.has_no);
  EXPECT_FALSE(question.has_ok);

  ShownBox error;
  EXPECT_EQ(ShowAndAnswer(IDS_INDEX_NOT_FOUND, MB_ICONSTOP, IDOK, &error), IDOK);
  EXPECT_EQ(error.text, "Could not find index file!");
  EXPECT_TRUE(error.has_ok);
  EXPECT_FALSE(error.has_yes);
}

TEST(ShowResMessage, MissingIdShowsAnEmptyBox) {
  ShownBox empty;
  EXPECT_EQ(ShowAndAnswer(999, MB_OK, IDOK, &empty), IDOK);
  ASSERT_TRUE(empty.found);
  EXPECT_EQ(empty.text, "");
}

}  // namespace

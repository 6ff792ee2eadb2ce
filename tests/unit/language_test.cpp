#include "app/report/language.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<const Language*> Offered(std::vector<std::string> tags) {
  std::vector<const Language*> offered;
  for (const std::string& tag : tags) offered.push_back(LanguageForTag(tag));
  return offered;
}

TEST(ChooseLanguage, ExactThenPrimaryLanguageThenEnglish) {
  std::vector<std::string> every;
  for (const Language& language : Languages()) every.push_back(language.tag);
  const struct {
    unsigned short display;
    std::vector<std::string> offered;
    const char* chosen;
  } cases[] = {
      {0x0407, every, "de"},     // German (Germany)
      {0x0C07, every, "de"},     // Austria
      {0x0816, every, "pt-BR"},  // Portugal
      {0x040A, every, "es"},     // Spanish, traditional sort
      {0x0804, every, "zh-CN"},     {0x0411, every, "ja"},
      {0x0809, every, "en"},         // British English
      {0x0408, every, "en"},         // Greek: no translation
      {0x0405, every, "en"},         // Czech
      {0x0000, every, "en"},         //
      {0x0419, {"en", "de"}, "en"},  // Russian, not offered
      {0x0C07, {"en", "fr"}, "en"},
  };
  for (const auto& c : cases) {
    EXPECT_STREQ(ChooseLanguage(c.display, Offered(c.offered)).tag, c.chosen)
        << std::hex << c.display;
  }
}

TEST(LanguageForTag, KnowsTheTagsInAnyCase) {
  EXPECT_STREQ(LanguageForTag("pt-br")->tag, "pt-BR");
  EXPECT_STREQ(LanguageForTag("ZH-CN")->tag, "zh-CN");
  EXPECT_STREQ(LanguageForTag("en")->tag, "en");
  for (const char* unknown : {"", "pt", "zh", "el", "de-", "dee", "zh-TW"}) {
    EXPECT_EQ(LanguageForTag(unknown), nullptr) << unknown;
  }
}

// In UTF-8 every language can be shown; in an older code page only its own and English.
TEST(Showable, FollowsTheProgramsCodePage) {
  EXPECT_TRUE(Showable(*LanguageForTag("ja"), 65001));
  EXPECT_TRUE(Showable(*LanguageForTag("ru"), 1251));
  EXPECT_TRUE(Showable(English(), 1251));
  EXPECT_TRUE(Showable(*LanguageForTag("de"), 1252));
  EXPECT_FALSE(Showable(*LanguageForTag("ru"), 1252));
  EXPECT_FALSE(Showable(*LanguageForTag("ja"), 936));
}

}  // namespace

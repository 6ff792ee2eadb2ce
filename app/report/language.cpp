#include "app/report/language.h"

#include "base/ascii.h"

namespace {

// A language id's low ten bits name the language, the rest the country or script.
constexpr unsigned short kPrimaryMask = 0x3FF;

bool SameTag(const char* tag, const std::string& text) {
  std::size_t i = 0;
  for (; tag[i] != '\0'; ++i) {
    if (i == text.size() || AsciiLower(tag[i]) != AsciiLower(text[i])) return false;
  }
  return i == text.size();
}

}  // namespace

const std::vector<Language>& Languages() {
  static const std::vector<Language> kLanguages = {
      {"en", 0x0409, 1252}, {"de", 0x0407, 1252},    {"fr", 0x040C, 1252}, {"es", 0x0C0A, 1252},
      {"it", 0x0410, 1252}, {"pt-BR", 0x0416, 1252}, {"ru", 0x0419, 1251}, {"pl", 0x0415, 1250},
      {"tr", 0x041F, 1254}, {"zh-CN", 0x0804, 936},  {"ja", 0x0411, 932},
  };
  return kLanguages;
}

const Language& English() {
  return Languages().front();
}

const Language* LanguageForTag(const std::string& tag) {
  for (const Language& language : Languages()) {
    if (SameTag(language.tag, tag)) return &language;
  }
  return nullptr;
}

bool Showable(const Language& language, unsigned program_code_page) {
  return program_code_page == 65001 || &language == &English() ||
         language.legacy_code_page == program_code_page;
}

const Language& ChooseLanguage(unsigned short display_language,
                               const std::vector<const Language*>& offered) {
  for (const Language* language : offered) {
    if (language->id == display_language) return *language;
  }
  for (const Language* language : offered) {
    if ((language->id & kPrimaryMask) == (display_language & kPrimaryMask)) return *language;
  }
  return English();
}

// The languages the wizard speaks, and the one choice of a language for a run: the Windows
// display language if we have it, else one of the same primary language, else English.
#pragma once

#include <string>
#include <vector>

struct Language {
  const char* tag;            // "de", "pt-BR"; "en" for English
  unsigned short id;          // the Windows language id its resources carry (0x0407)
  unsigned legacy_code_page;  // the ANSI code page of systems in that language (1251)
};

// English first, then the ten translations.
const std::vector<Language>& Languages();
const Language& English();

// The language of that tag, in any letter case ("pt-br"); null when we have none.
const Language* LanguageForTag(const std::string& tag);

// Whether texts in the language survive the program's code page: every one does in UTF-8
// (65001), otherwise only English and the languages of that code page.
bool Showable(const Language& language, unsigned program_code_page);

// The language for a Windows display language id among those offered: the exact language,
// else the first of the same primary language (Austrian German gets German), else English.
const Language& ChooseLanguage(unsigned short display_language,
                               const std::vector<const Language*>& offered);

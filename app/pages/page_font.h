// The font of a page in the run's language. The templates ask for "MS Sans Serif" in the
// default character set, which the system resolves by its own code page: under the program's
// UTF-8 code page Wine takes the western bitmap and draws Cyrillic or Japanese letters as gaps.
// A page in a language of another character set gets, at the same size, the dialog face meant
// for every script ("MS Shell Dlg": Microsoft Sans Serif, with the same metrics, or the
// system's Chinese or Japanese dialog font; Tahoma under Wine) in that character set. Owns that
// font.
#pragma once

#include <windows.h>

#include "app/report/language.h"

class PageFont {
 public:
  PageFont() = default;
  ~PageFont();
  PageFont(const PageFont&) = delete;
  PageFont& operator=(const PageFont&) = delete;

  // Gives the dialog and its controls the font for the language, when it needs one; call it
  // from WM_INITDIALOG. The font stays until this object goes, which must be after the dialog.
  void Apply(HWND dialog, const Language& language);

 private:
  HFONT font_ = nullptr;
};

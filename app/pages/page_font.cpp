#include "app/pages/page_font.h"

PageFont::~PageFont() {
  if (font_ != nullptr) DeleteObject(font_);
}

void PageFont::Apply(HWND dialog, const Language& language) {
  CHARSETINFO wanted = {};
  if (!TranslateCharsetInfo(
          reinterpret_cast<DWORD*>(static_cast<UINT_PTR>(language.legacy_code_page)), &wanted,
          TCI_SRCCODEPAGE) ||
      wanted.ciCharset == ANSI_CHARSET) {
    return;
  }
  LOGFONTW face = {};
  const auto template_font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
  if (template_font == nullptr || GetObjectW(template_font, sizeof face, &face) == 0) return;
  face.lfCharSet = static_cast<BYTE>(wanted.ciCharset);
  static const wchar_t kDialogFace[] = L"MS Shell Dlg";
  static_assert(sizeof kDialogFace <= sizeof face.lfFaceName, "a face name fits LOGFONT");
  CopyMemory(face.lfFaceName, kDialogFace, sizeof kDialogFace);
  HFONT font = CreateFontIndirectW(&face);
  if (font == nullptr) return;
  if (font_ != nullptr) DeleteObject(font_);
  font_ = font;
  SendMessageW(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  }
}

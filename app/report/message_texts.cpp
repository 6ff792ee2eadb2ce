#include "app/report/message_texts.h"

#include "app/report/module_instance.h"

namespace {

// What LoadStringA gives into its 500-byte buffer.
constexpr int kLongestText = 499;

HINSTANCE Instance() {
  return ModuleInstance != nullptr ? ModuleInstance : GetModuleHandleA(nullptr);
}

// The resource's bytes in exactly that language; null when it has none.
const void* FindInLanguage(LPCSTR type, unsigned id, WORD language, DWORD* size) {
  const HINSTANCE instance = Instance();
  HRSRC found = FindResourceExA(instance, type, MAKEINTRESOURCEA(id), language);
  HGLOBAL loaded = found != nullptr ? LoadResource(instance, found) : nullptr;
  *size = found != nullptr ? SizeofResource(instance, found) : 0;
  return loaded != nullptr ? LockResource(loaded) : nullptr;
}

// Entry id of the string table in exactly that language: its UTF-16 units and how many; null
// when the language has no such entry or an empty one. The table is kept in blocks of sixteen
// entries, each its length and then its units.
const WCHAR* FindString(unsigned id, WORD language, int* length) {
  if (id > 0xFFFF) return nullptr;
  DWORD size = 0;
  const auto* at =
      static_cast<const WCHAR*>(FindInLanguage(RT_STRING, id / 16 + 1, language, &size));
  if (at == nullptr) return nullptr;
  const WCHAR* end = at + size / sizeof(WCHAR);
  for (unsigned entry = 0; entry < id % 16 && at < end; ++entry) at += 1 + *at;
  if (at >= end || *at == 0 || *at >= end - at) return nullptr;
  *length = *at;
  return at + 1;
}

}  // namespace

std::string LoadResString(unsigned id, const Language& language) {
  int length = 0;
  const WCHAR* text = FindString(id, language.id, &length);
  if (text == nullptr) text = FindString(id, English().id, &length);
  if (text == nullptr) return std::string();
  // In the program's code page, as LoadStringA gives it, cut between characters.
  int bytes = 0;
  for (;;) {
    bytes = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= kLongestText) break;
    --length;
    if (length > 0 && IS_HIGH_SURROGATE(text[length - 1])) --length;
  }
  std::string converted(static_cast<std::size_t>(bytes), '\0');
  if (bytes > 0) {
    WideCharToMultiByte(CP_ACP, 0, text, length, &converted[0], bytes, nullptr, nullptr);
  }
  return converted;
}

std::string LoadResString(unsigned id) {
  return LoadResString(id, *RunLanguage);
}

int ShowResMessage(HWND owner, unsigned id, unsigned caption_id, unsigned flags) {
  return MessageBoxA(owner, LoadResString(id).c_str(), LoadResString(caption_id).c_str(), flags);
}

const DLGTEMPLATE* DialogTemplate(unsigned id, const Language& language) {
  DWORD size = 0;
  const void* found = FindInLanguage(RT_DIALOG, id, language.id, &size);
  if (found == nullptr) found = FindInLanguage(RT_DIALOG, id, English().id, &size);
  return static_cast<const DLGTEMPLATE*>(found);
}

INT_PTR RunDialog(unsigned id, HWND owner, DLGPROC procedure, LPARAM parameter) {
  const DLGTEMPLATE* page = DialogTemplate(id, *RunLanguage);
  if (page == nullptr) return -1;
  return DialogBoxIndirectParamA(Instance(), page, owner, procedure, parameter);
}

#include "tools/window_texts.h"

std::string WindowClass(HWND window) {
  char name[257] = {};  // class names are at most 256 characters
  GetClassNameA(window, name, sizeof name);
  return name;
}

bool IsClass(HWND window, const char* class_name) {
  return lstrcmpiA(WindowClass(window).c_str(), class_name) == 0;
}

std::string WindowText(HWND window) {
  // GetWindowTextLengthW would send a message to the window: grow the buffer instead while
  // the text fills it.
  std::wstring wide(256, L'\0');
  int length = 0;
  for (;;) {
    length = GetWindowTextW(window, &wide[0], static_cast<int>(wide.size()));
    if (length < static_cast<int>(wide.size()) - 1 || wide.size() >= 65536) break;
    wide.resize(wide.size() * 4);
  }
  if (length <= 0) return std::string();
  const int bytes =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0) {
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, &text[0], bytes, nullptr, nullptr);
  }
  return text;
}

std::vector<HWND> ChildWindows(HWND window) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

std::string MessageBoxText(HWND box) {
  std::string text;
  for (HWND child : ChildWindows(box)) {
    if (!IsClass(child, "Static")) continue;
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) continue;
    std::string part = WindowText(child);
    if (!part.empty()) text += text.empty() ? part : "\n" + part;
  }
  return text;
}

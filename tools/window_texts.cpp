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
  // GetWindowTextLengthA would send a message to the window: grow the buffer instead while
  // the text fills it.
  std::string text(256, '\0');
  for (;;) {
    int length = GetWindowTextA(window, &text[0], static_cast<int>(text.size()));
    if (length < static_cast<int>(text.size()) - 1 || text.size() >= 65536) {
      text.resize(length > 0 ? length : 0);
      return text;
    }
    text.resize(text.size() * 4);
  }
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

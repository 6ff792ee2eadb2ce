// UI driver for the end-to-end tests: runs in the same Wine prefix as the wizard, finds its
// windows and message boxes, reads what a user would see and presses what a user would press.
//
// Reads one command per line on stdin, fields separated by tabs, and answers each with one
// line of JSON on stdout: {"ok":true,...} or {"ok":false,"error":"..."}. Every wait is bounded
// by the timeout given with the command (at most one minute).
//
// Roles name the windows, in whatever language the wizard speaks: "welcome" (the first page,
// the dialog with the "Next >>" button), "progress" (the second page, the dialog with the
// progress bar) and "box" (any other dialog window: the message boxes). Window texts are
// answered in Unicode; registry texts in the driver's code page (1252), byte for byte.
//
//   find ROLE                   is the window there?
//   wait ROLE MS                wait until it is there
//   gone ROLE MS                wait until it is gone
//   text ROLE ID                text of a control (ID 0: the window's caption)
//   texts ROLE                  the texts of all its controls, in template order
//   enabled ROLE ID             whether a control (ID 0: the window) is enabled
//   progress                    position and range of the progress bar
//   box MS                      wait for a message box: caption, text, buttons, default
//                               buttons, icon (waiting up to 3 s for it to be painted)
//   boxes                       every message box now shown (icon as painted so far)
//   press ROLE ID               press a button (refused when it or its window is disabled)
//   timedpress ROLE ID UNTIL MS press a button, wait until a window of role UNTIL is there
//                               (UNTIL "ROLE:ID": until that control of it is enabled);
//                               answers the milliseconds from the press until it was seen
//   close ROLE                  the window's close box
//   rect ROLE                   the window's position and size on the screen
//   responsive ROLE             whether the window's thread answers a message within 2 s
//   windows                     every visible top-level window
//   threads ROLE                how many threads the process of that window has
//   regget KEY NAME             a registry value (NAME "@" is the unnamed value)
//   regsz KEY NAME TEXT         write a REG_SZ value, creating the key
//   regdword KEY NAME NUMBER    write a REG_DWORD value, creating the key
//   regdel KEY NAME             delete a value
//   eventset NAME               set (creating) a named manual-reset event
//   eventwait NAME MS           wait for a named event
//   quit
//
// KEY starts with HKLM\ or HKCU\.
#include <windows.h>

#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/owned_handle.h"
#include "base/registry_key.h"
#include "tools/window_texts.h"

namespace {

constexpr int kProgressBarId = 1005;
constexpr int kNextId = 1001;
constexpr DWORD kLongestWaitMs = 60000;
constexpr DWORD kPollMs = 25;
constexpr DWORD kTimedPollMs = 5;  // finer, for timings, but not so fine as to load Wine
constexpr UINT kSendTimeoutMs = 2000;
constexpr DWORD kIconPatienceMs = 3000;

// ---- JSON answers ----------------------------------------------------------------------

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c >= 0x7f) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

// A window text (UTF-8) as a JSON string: every character outside ASCII escaped as the
// UTF-16 units it has.
std::string QuoteText(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (length == 1) {
      const std::string quoted = Quote(std::string(1, text[i++]));
      out += quoted.substr(1, quoted.size() - 2);
      continue;
    }
    unsigned long code = lead & (0x3F >> (length - 1));
    for (std::size_t k = 1; k < length && i + k < text.size(); ++k) {
      code = code << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    i += length;
    char escaped[16];
    if (code >= 0x10000) {
      code -= 0x10000;
      std::snprintf(escaped, sizeof escaped, "\\u%04lx\\u%04lx", 0xD800 + (code >> 10),
                    0xDC00 + (code & 0x3FF));
    } else {
      std::snprintf(escaped, sizeof escaped, "\\u%04lx", code);
    }
    out += escaped;
  }
  return "\"" + out + "\"";
}

std::string Hex(const void* handle) {
  char text[32];
  std::snprintf(text, sizeof text, "\"0x%lx\"",
                static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(handle)));
  return text;
}

void Answer(const std::string& fields) {
  std::printf("{\"ok\":true%s%s}\n", fields.empty() ? "" : ",", fields.c_str());
  std::fflush(stdout);
}

void Fail(const std::string& error) {
  std::printf("{\"ok\":false,\"error\":%s}\n", Quote(error).c_str());
  std::fflush(stdout);
}

// ---- Windows -----------------------------------------------------------------------------

std::string RoleOf(HWND window) {
  if (!IsClass(window, "#32770")) return "";
  HWND next = GetDlgItem(window, kNextId);
  if (next != nullptr && IsClass(next, "Button")) return "welcome";
  HWND bar = GetDlgItem(window, kProgressBarId);
  if (bar != nullptr && IsClass(bar, PROGRESS_CLASSA)) return "progress";
  return "box";
}

BOOL CALLBACK CollectVisible(HWND window, LPARAM list) {
  if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

std::vector<HWND> VisibleTopLevel() {
  std::vector<HWND> windows;
  EnumWindows(CollectVisible, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

std::vector<HWND> FindRole(const std::string& role) {
  std::vector<HWND> found;
  for (HWND window : VisibleTopLevel()) {
    if (RoleOf(window) == role) found.push_back(window);
  }
  return found;
}

HWND FirstOf(const std::string& role) {
  std::vector<HWND> found = FindRole(role);
  return found.empty() ? nullptr : found.front();
}

DWORD ClampWait(const std::string& text) {
  long ms = std::atol(text.c_str());
  if (ms < 0) ms = 0;
  return static_cast<DWORD>(ms) > kLongestWaitMs ? kLongestWaitMs : static_cast<DWORD>(ms);
}

// Polls until the role is present (want true) or absent (want false), or the time is up.
HWND WaitRole(const std::string& role, DWORD timeout_ms, bool want, bool* reached) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND window = FirstOf(role);
    if ((window != nullptr) == want) {
      *reached = true;
      return window;
    }
    if (GetTickCount() - start >= timeout_ms) {
      *reached = false;
      return window;
    }
    Sleep(kPollMs);
  }
}

HWND Control(HWND window, int id) {
  return id == 0 ? window : GetDlgItem(window, id);
}

std::string BoxButtons(HWND box) {
  std::string list;
  for (HWND child : ChildWindows(box)) {
    if (!IsClass(child, "Button") || !IsWindowVisible(child)) continue;
    if (!list.empty()) list += ",";
    list += QuoteText(WindowText(child));
  }
  return "[" + list + "]";
}

bool SendTimed(HWND window, UINT message, WPARAM wparam, LPARAM lparam, DWORD_PTR* result);

// The buttons drawn as the default one (BS_DEFPUSHBUTTON): what Enter presses.
std::string BoxDefaults(HWND box) {
  std::string list;
  for (HWND child : ChildWindows(box)) {
    if (!IsClass(child, "Button") || !IsWindowVisible(child)) continue;
    if ((GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK) != BS_DEFPUSHBUTTON) continue;
    if (!list.empty()) list += ",";
    list += QuoteText(WindowText(child));
  }
  return "[" + list + "]";
}

// Which system icon a message box shows. Icon handles belong to the process that loaded
// them, so the box's icon is compared by its pixels: the icon control's area on the screen
// against each system icon drawn here on the same background.
struct SystemIcon {
  const char* name;
  LPCSTR id;
};
const SystemIcon kSystemIcons[] = {{"stop", IDI_HAND},
                                   {"exclamation", IDI_EXCLAMATION},
                                   {"information", IDI_ASTERISK},
                                   {"question", IDI_QUESTION}};

class Pixels {
 public:
  Pixels(HDC reference, int width, int height) : width_(width), height_(height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(reference);
    bitmap_ = CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    if (dc_ != nullptr && bitmap_ != nullptr) old_ = SelectObject(dc_, bitmap_);
  }
  ~Pixels() {
    if (old_ != nullptr) SelectObject(dc_, old_);
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
    if (dc_ != nullptr) DeleteDC(dc_);
  }
  Pixels(const Pixels&) = delete;
  Pixels& operator=(const Pixels&) = delete;

  bool Valid() const { return old_ != nullptr && bits_ != nullptr; }
  HDC Dc() const { return dc_; }
  DWORD At(int i) const { return static_cast<const DWORD*>(bits_)[i] & 0xFFFFFF; }
  int Count() const { return width_ * height_; }

 private:
  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  void* bits_ = nullptr;
};

HWND BoxIconControl(HWND box) {
  for (HWND child : ChildWindows(box)) {
    if (IsClass(child, "Static") && IsWindowVisible(child) &&
        (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      return child;
    }
  }
  return nullptr;
}

// Whether a visible window above the box in the z-order overlaps it.
bool Covered(HWND box) {
  RECT mine;
  if (!GetWindowRect(box, &mine)) return false;
  for (HWND above = GetWindow(box, GW_HWNDPREV); above != nullptr;
       above = GetWindow(above, GW_HWNDPREV)) {
    RECT theirs;
    RECT common;
    if (IsWindowVisible(above) && GetWindowRect(above, &theirs) &&
        IntersectRect(&common, &mine, &theirs)) {
      return true;
    }
  }
  return false;
}

// "stop", "exclamation", "information", "question", "none" (no icon shown) or "unknown"
// (an icon that matches none of them, or one not painted yet).
std::string BoxIconOnce(HWND box) {
  HWND control = BoxIconControl(box);
  if (control == nullptr) return "none";
  DWORD_PTR handle = 0;
  if (!SendTimed(control, STM_GETICON, 0, 0, &handle)) return "unknown";
  if (handle == 0) return "none";
  RECT area;
  GetClientRect(control, &area);
  POINT origin = {0, 0};
  ClientToScreen(control, &origin);
  int width = area.right - area.left;
  int height = area.bottom - area.top;
  if (width <= 0 || height <= 0 || width > 256 || height > 256) return "unknown";
  // The system keeps an owned window above its owner; Wine without a window manager can leave
  // a box that appeared before its owner was shown underneath it. Its pixels are read on top.
  if (Covered(box)) {
    SetWindowPos(box, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return "unknown";  // looked at again once it has painted
  }
  HDC screen = GetDC(nullptr);
  std::string found = "unknown";
  {
    Pixels shown(screen, width, height);
    Pixels drawn(screen, width, height);
    if (shown.Valid() && drawn.Valid() &&
        BitBlt(shown.Dc(), 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY)) {
      DWORD background = shown.At(0);  // icon corners are transparent
      HBRUSH brush =
          CreateSolidBrush(RGB(background >> 16 & 0xFF, background >> 8 & 0xFF, background & 0xFF));
      RECT all = {0, 0, width, height};
      int best = shown.Count() + 1;
      for (const SystemIcon& icon : kSystemIcons) {
        FillRect(drawn.Dc(), &all, brush);
        DrawIconEx(drawn.Dc(), 0, 0, LoadIconA(nullptr, icon.id), width, height, 0, nullptr,
                   DI_NORMAL);
        GdiFlush();
        int differing = 0;
        for (int i = 0; i < shown.Count(); ++i) differing += shown.At(i) != drawn.At(i);
        // A near-exact match only: the four icons differ in most of their pixels.
        if (differing < best && differing * 50 <= shown.Count()) {
          best = differing;
          found = icon.name;
        }
      }
      DeleteObject(brush);
    }
  }
  ReleaseDC(nullptr, screen);
  return found;
}

// A box that has just appeared may not have painted its icon yet: look again for a while.
std::string BoxIcon(HWND box, DWORD patience_ms) {
  DWORD start = GetTickCount();
  for (;;) {
    std::string icon = BoxIconOnce(box);
    if (icon != "unknown" || GetTickCount() - start >= patience_ms) return icon;
    Sleep(kPollMs);
  }
}

std::string DescribeBox(HWND box, DWORD icon_patience_ms = 0) {
  return "\"hwnd\":" + Hex(box) + ",\"owner\":" + Hex(GetWindow(box, GW_OWNER)) +
         ",\"caption\":" + QuoteText(WindowText(box)) +
         ",\"text\":" + QuoteText(MessageBoxText(box)) + ",\"buttons\":" + BoxButtons(box) +
         ",\"defaults\":" + BoxDefaults(box) + ",\"icon\":" + Quote(BoxIcon(box, icon_patience_ms));
}

// ---- Registry ----------------------------------------------------------------------------

bool SplitKey(const std::string& path, HKEY* root, std::string* sub) {
  if (path.rfind("HKLM\\", 0) == 0) {
    *root = HKEY_LOCAL_MACHINE;
  } else if (path.rfind("HKCU\\", 0) == 0) {
    *root = HKEY_CURRENT_USER;
  } else {
    return false;
  }
  *sub = path.substr(5);
  return true;
}

const char* ValueName(const std::string& name) {
  return name == "@" ? nullptr : name.c_str();
}

void RegGet(const std::string& path, const std::string& name) {
  HKEY root;
  std::string sub;
  if (!SplitKey(path, &root, &sub)) return Fail("bad key");
  RegistryKey key;
  if (!key.Open(root, sub.c_str(), KEY_READ)) {
    return Answer("\"exists\":false,\"key\":false");
  }
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key.Handle(), ValueName(name), nullptr, &type, nullptr, &size) !=
      ERROR_SUCCESS) {
    return Answer("\"exists\":false,\"key\":true");
  }
  std::vector<BYTE> data(size + 2, 0);
  if (RegQueryValueExA(key.Handle(), ValueName(name), nullptr, &type, data.data(), &size) !=
      ERROR_SUCCESS) {
    return Fail("query failed");
  }
  std::string fields = "\"exists\":true,\"key\":true,\"type\":" + std::to_string(type) +
                       ",\"size\":" + std::to_string(size);
  if (type == REG_DWORD && size == 4) {
    DWORD value;
    std::memcpy(&value, data.data(), 4);
    fields += ",\"value\":" + std::to_string(value);
  } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
    fields += ",\"value\":" + Quote(reinterpret_cast<const char*>(data.data()));
  }
  Answer(fields);
}

bool CreateKey(const std::string& path, RegistryKey* key) {
  HKEY root;
  std::string sub;
  return SplitKey(path, &root, &sub) && key->Create(root, sub.c_str(), KEY_ALL_ACCESS);
}

void RegSet(const std::string& path, const std::string& name, DWORD type, const BYTE* data,
            DWORD size) {
  RegistryKey key;
  if (!CreateKey(path, &key)) return Fail("cannot create key");
  if (RegSetValueExA(key.Handle(), ValueName(name), 0, type, data, size) != ERROR_SUCCESS) {
    return Fail("cannot set value");
  }
  Answer("");
}

void RegDel(const std::string& path, const std::string& name) {
  HKEY root;
  std::string sub;
  if (!SplitKey(path, &root, &sub)) return Fail("bad key");
  RegistryKey key;
  if (key.Open(root, sub.c_str(), KEY_SET_VALUE)) {
    RegDeleteValueA(key.Handle(), ValueName(name));
  }
  Answer("");
}

// ---- Commands ----------------------------------------------------------------------------

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    std::size_t tab = line.find('\t', start);
    fields.push_back(
        line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

bool SendTimed(HWND window, UINT message, WPARAM wparam, LPARAM lparam, DWORD_PTR* result) {
  return SendMessageTimeoutA(window, message, wparam, lparam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             result) != 0;
}

// Presses the button; "" when pressed, else why not.
std::string PressButton(const std::string& role, int id, HWND* pressed) {
  HWND window = FirstOf(role);
  if (window == nullptr) return "no window " + role;
  HWND button = GetDlgItem(window, id);
  if (button == nullptr) return "no button " + std::to_string(id);
  if (!IsWindowEnabled(window)) return "window disabled";
  if (!IsWindowEnabled(button)) return "button disabled";
  // What a click does: the button tells its dialog through WM_COMMAND.
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  *pressed = window;
  return "";
}

void Press(const std::string& role, int id) {
  HWND window = nullptr;
  std::string refused = PressButton(role, id, &window);
  if (!refused.empty()) return Fail(refused);
  Answer("\"hwnd\":" + Hex(window));
}

void TimedPress(const std::string& role, int id, const std::string& until, DWORD timeout_ms) {
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  HWND window = nullptr;
  std::string refused = PressButton(role, id, &window);
  if (!refused.empty()) return Fail(refused);
  const std::size_t colon = until.find(':');
  const std::string until_role = until.substr(0, colon);
  const int until_id = colon == std::string::npos ? 0 : std::atoi(until.c_str() + colon + 1);
  for (;;) {
    HWND reached = FirstOf(until_role);
    if (reached != nullptr && until_id != 0) {
      HWND control = Control(reached, until_id);
      reached = control != nullptr && IsWindowEnabled(control) ? control : nullptr;
    }
    const bool seen = reached != nullptr;
    QueryPerformanceCounter(&now);
    double ms = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
                static_cast<double>(frequency.QuadPart);
    if (seen) return Answer("\"ms\":" + std::to_string(ms));
    if (ms >= timeout_ms) return Fail("timeout waiting for " + until);
    Sleep(kTimedPollMs);
  }
}

// Returns false on "quit".
bool Execute(const std::vector<std::string>& f) {
  const std::string& cmd = f[0];
  auto arg = [&f](std::size_t i) { return i < f.size() ? f[i] : std::string(); };
  if (cmd == "quit") {
    Answer("");
    return false;
  }
  if (cmd == "find" || cmd == "wait" || cmd == "gone") {
    bool reached = true;
    HWND window = cmd == "find" ? FirstOf(arg(1))
                                : WaitRole(arg(1), ClampWait(arg(2)), cmd == "wait", &reached);
    if (!reached)
      return Fail(cmd == "wait" ? "timeout waiting for " + arg(1) : "still there"), true;
    if (window == nullptr) return cmd == "gone" ? Answer("") : Fail("not found"), true;
    Answer("\"hwnd\":" + Hex(window));
  } else if (cmd == "text" || cmd == "enabled") {
    HWND window = FirstOf(arg(1));
    HWND control = window ? Control(window, std::atoi(arg(2).c_str())) : nullptr;
    if (control == nullptr) return Fail("no control"), true;
    if (cmd == "text") {
      Answer("\"text\":" + QuoteText(WindowText(control)));
    } else {
      Answer(std::string("\"enabled\":") + (IsWindowEnabled(control) ? "true" : "false"));
    }
  } else if (cmd == "texts") {
    HWND window = FirstOf(arg(1));
    if (window == nullptr) return Fail("no window " + arg(1)), true;
    std::string list;
    for (HWND child : ChildWindows(window)) {
      list += (list.empty() ? "" : ",") + QuoteText(WindowText(child));
    }
    Answer("\"texts\":[" + list + "]");
  } else if (cmd == "responsive") {
    HWND window = FirstOf(arg(1));
    DWORD_PTR ignored = 0;
    if (window == nullptr) return Fail("no window " + arg(1)), true;
    if (!SendTimed(window, WM_NULL, 0, 0, &ignored)) return Fail("not responding"), true;
    Answer("");
  } else if (cmd == "progress") {
    HWND window = FirstOf("progress");
    HWND bar = window ? GetDlgItem(window, kProgressBarId) : nullptr;
    if (bar == nullptr) return Fail("no progress bar"), true;
    DWORD_PTR pos = 0, low = 0, high = 0;
    if (!SendTimed(bar, PBM_GETPOS, 0, 0, &pos) || !SendTimed(bar, PBM_GETRANGE, TRUE, 0, &low) ||
        !SendTimed(bar, PBM_GETRANGE, FALSE, 0, &high)) {
      return Fail("progress bar does not answer"), true;
    }
    Answer("\"pos\":" + std::to_string(static_cast<long>(pos)) +
           ",\"low\":" + std::to_string(static_cast<long>(low)) +
           ",\"high\":" + std::to_string(static_cast<long>(high)));
  } else if (cmd == "box") {
    bool reached = false;
    HWND box = WaitRole("box", ClampWait(arg(1)), true, &reached);
    if (!reached) return Fail("timeout waiting for a message box"), true;
    Answer(DescribeBox(box, kIconPatienceMs));
  } else if (cmd == "boxes") {
    std::string list;
    for (HWND box : FindRole("box")) list += (list.empty() ? "{" : ",{") + DescribeBox(box) + "}";
    Answer("\"boxes\":[" + list + "]");
  } else if (cmd == "press") {
    Press(arg(1), std::atoi(arg(2).c_str()));
  } else if (cmd == "timedpress") {
    TimedPress(arg(1), std::atoi(arg(2).c_str()), arg(3), ClampWait(arg(4)));
  } else if (cmd == "close") {
    HWND window = FirstOf(arg(1));
    if (window == nullptr) return Fail("no window " + arg(1)), true;
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    Answer("");
  } else if (cmd == "rect") {
    HWND window = FirstOf(arg(1));
    RECT r;
    if (window == nullptr || !GetWindowRect(window, &r)) return Fail("no window " + arg(1)), true;
    Answer("\"x\":" + std::to_string(r.left) + ",\"y\":" + std::to_string(r.top) + ",\"w\":" +
           std::to_string(r.right - r.left) + ",\"h\":" + std::to_string(r.bottom - r.top));
  } else if (cmd == "windows") {
    std::string list;
    for (HWND window : VisibleTopLevel()) {
      DWORD pid = 0;
      GetWindowThreadProcessId(window, &pid);
      list += std::string(list.empty() ? "" : ",") + "{\"hwnd\":" + Hex(window) +
              ",\"class\":" + Quote(WindowClass(window)) +
              ",\"caption\":" + QuoteText(WindowText(window)) +
              ",\"role\":" + Quote(RoleOf(window)) + ",\"pid\":" + std::to_string(pid) + "}";
    }
    Answer("\"windows\":[" + list + "]");
  } else if (cmd == "threads") {
    HWND window = FirstOf(arg(1));
    DWORD pid = 0;
    if (window == nullptr || GetWindowThreadProcessId(window, &pid) == 0) {
      return Fail("no window " + arg(1)), true;
    }
    OwnedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot.Valid()) return Fail("no thread snapshot"), true;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more;
         more = Thread32Next(snapshot.Get(), &entry)) {
      count += entry.th32OwnerProcessID == pid;
    }
    Answer("\"threads\":" + std::to_string(count));
  } else if (cmd == "regget") {
    RegGet(arg(1), arg(2));
  } else if (cmd == "regsz") {
    std::string text = arg(3);
    RegSet(arg(1), arg(2), REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
           static_cast<DWORD>(text.size() + 1));
  } else if (cmd == "regdword") {
    DWORD value = static_cast<DWORD>(std::strtoul(arg(3).c_str(), nullptr, 10));
    RegSet(arg(1), arg(2), REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  } else if (cmd == "regdel") {
    RegDel(arg(1), arg(2));
  } else if (cmd == "eventset") {
    OwnedHandle event(CreateEventA(nullptr, TRUE, FALSE, arg(1).c_str()));
    if (!event.Valid() || !SetEvent(event.Get())) return Fail("cannot set event"), true;
    Answer("");
  } else if (cmd == "eventwait") {
    OwnedHandle event(CreateEventA(nullptr, TRUE, FALSE, arg(1).c_str()));
    if (!event.Valid()) return Fail("cannot open event"), true;
    if (WaitForSingleObject(event.Get(), ClampWait(arg(2))) != WAIT_OBJECT_0) {
      return Fail("timeout waiting for event"), true;
    }
    Answer("");
  } else {
    Fail("unknown command " + cmd);
  }
  return true;
}

}  // namespace

int main() {
  char line[4096];
  Answer("\"hello\":\"ui_driver\"");
  while (std::fgets(line, sizeof line, stdin) != nullptr) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (text.empty()) continue;
    if (!Execute(SplitTabs(text))) break;
  }
  return 0;
}

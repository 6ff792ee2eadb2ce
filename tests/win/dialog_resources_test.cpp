// The two wizard pages as the templates lay them out: every control's class, id, text,
// rectangle (in dialog units), the style bits that change what the user sees, and room for
// every text; and the manifest that the resources carry.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/inputs/command_line.h"
#include "app/pages/usage_box.h"
#include "app/report/language.h"
#include "app/report/message_texts.h"
#include "app/report/progress_text.h"
#include "app/resources/resource.h"
#include "tests/win/wizard_test_support.h"
#include "tools/window_texts.h"

namespace {

struct ControlRow {
  int id;
  const char* class_name;
  const char* text;
  RECT box;        // left, top, right, bottom in dialog units
  DWORD style;     // bits that must be set
  DWORD ex_style;  // extended bits that must be set
  bool sized_by_icon;
};

struct DialogRow {
  int template_id;
  const char* caption;
  SIZE size;
  std::vector<ControlRow> controls;  // in template order
};

void PrintTo(const DialogRow& row, std::ostream* out) {
  *out << "dialog " << row.template_id;
}

RECT Box(int x, int y, int width, int height) {
  return {x, y, x + width, y + height};
}

const DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;

class DialogResources : public testing::TestWithParam<DialogRow> {};

TEST_P(DialogResources, MatchTheirLayout) {
  const DialogRow& row = GetParam();
  HiddenPage page(row.template_id);
  HWND dialog = page.window();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(WindowText(dialog), row.caption);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE)) & kDialogStyle, kDialogStyle);

  RECT client;
  GetClientRect(dialog, &client);
  RECT size = {0, 0, row.size.cx, row.size.cy};
  MapDialogRect(dialog, &size);
  EXPECT_EQ(client.right, size.right);
  EXPECT_EQ(client.bottom, size.bottom);

  std::vector<HWND> children = ChildWindows(dialog);
  ASSERT_EQ(children.size(), row.controls.size());
  for (std::size_t i = 0; i < children.size(); ++i) {
    const ControlRow& expected = row.controls[i];
    HWND child = children[i];
    SCOPED_TRACE("control " + std::to_string(i) + " \"" + expected.text + "\"");
    EXPECT_EQ(static_cast<int>(static_cast<short>(GetDlgCtrlID(child))), expected.id);
    EXPECT_TRUE(IsClass(child, expected.class_name)) << WindowClass(child);
    if (!expected.sized_by_icon) {
      EXPECT_EQ(WindowText(child), expected.text);
    }

    // The dialog manager converts position and size separately, as MapDialogRect does for a
    // rectangle whose right and bottom hold the width and height.
    RECT want = {expected.box.left, expected.box.top, expected.box.right - expected.box.left,
                 expected.box.bottom - expected.box.top};
    MapDialogRect(dialog, &want);
    want.right += want.left;
    want.bottom += want.top;
    RECT got;
    GetWindowRect(child, &got);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&got), 2);
    EXPECT_EQ(got.left, want.left);
    EXPECT_EQ(got.top, want.top);
    if (!expected.sized_by_icon) {
      EXPECT_EQ(got.right, want.right);
      EXPECT_EQ(got.bottom, want.bottom);
    }
    DWORD style = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
    DWORD ex_style = static_cast<DWORD>(GetWindowLongA(child, GWL_EXSTYLE));
    EXPECT_EQ(style & expected.style, expected.style) << std::hex << style;
    EXPECT_EQ(ex_style & expected.ex_style, expected.ex_style) << std::hex << ex_style;
  }
}

std::wstring WideText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, &text[0], static_cast<int>(text.size()))));
  return text;
}

// The text, laid out as its static control lays it out (its font, its width, its alignment,
// lines broken between words), needs no more room than the control has. A push button's
// text stays on one line inside its edges.
void ExpectTextFits(HWND child) {
  DWORD style = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
  DWORD type = style & SS_TYPEMASK;
  const bool button = IsClass(child, "Button");
  std::wstring text = WideText(child);
  RECT client;
  GetClientRect(child, &client);
  UINT flags = DT_CALCRECT | DT_EXPANDTABS | (button ? DT_SINGLELINE : DT_WORDBREAK);
  if (!button && type == SS_CENTER) flags |= DT_CENTER;
  if (!button && type == SS_RIGHT) flags |= DT_RIGHT;
  if (!button && (style & SS_NOPREFIX)) flags |= DT_NOPREFIX;
  // A button draws its text inside its edge and the focus rectangle's gap.
  const int margin = button ? 2 * (GetSystemMetrics(SM_CXEDGE) + 2) : 0;
  RECT needed = {0, 0, client.right - margin, 0};
  HDC dc = GetDC(child);
  HGDIOBJ old_font =
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(child, WM_GETFONT, 0, 0)));
  DrawTextW(dc, text.c_str(), -1, &needed, flags);
  SelectObject(dc, old_font);
  ReleaseDC(child, dc);
  SCOPED_TRACE("\"" + WindowText(child) + "\"");
  EXPECT_LE(needed.bottom - needed.top, client.bottom);
  EXPECT_LE(needed.right - needed.left, client.right - margin);
}

bool IsTextControl(HWND child) {
  DWORD style = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
  DWORD type = style & SS_TYPEMASK;
  if (IsClass(child, "Button")) return (style & BS_TYPEMASK) <= BS_DEFPUSHBUTTON;
  return IsClass(child, "Static") && (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT);
}

// Every static text of the page fits its control.
TEST_P(DialogResources, ShowEveryTextWhole) {
  HiddenPage page(GetParam().template_id);
  ASSERT_NE(page.window(), nullptr);
  for (HWND child : ChildWindows(page.window())) {
    if (IsTextControl(child)) ExpectTextFits(child);
  }
}

std::string Loaded(UINT id) {
  char text[500] = {};
  LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text);
  return text;
}

// The line under the bar fits on its one line with the widest amounts, speeds and times the
// texts can make.
void ExpectLineUnderTheBarFits(HWND page, const ProgressTexts& texts) {
  HWND line = GetDlgItem(page, IDC_PROGRESS_LINE);
  ASSERT_NE(line, nullptr);
  // The widest number of each unit (9.9 KB, 1023 KB, 1023.9 MB, 3.9 GB).
  const std::uint64_t widest[] = {10239, 1048575, 1073741823, 4294967295u};
  for (std::uint64_t total : widest) {
    for (std::uint64_t done : widest) {
      if (done > total) continue;
      for (double speed : {10239.0, 1048575.0, 1073741823.0}) {
        for (std::uint64_t rest_s : {59ull, 3540ull, 356400ull}) {
          // A done amount whose rest takes about rest_s at that speed, where the file allows.
          const double rest = speed * static_cast<double>(rest_s);
          const std::uint64_t at =
              rest < static_cast<double>(total) ? total - static_cast<std::uint64_t>(rest) : done;
          SetWindowTextA(line, ProgressLine(at, total, speed, texts).c_str());
          ExpectTextFits(line);
        }
      }
    }
  }
}

TEST(ProgressPage, LineUnderTheBarFitsItsLongestTexts) {
  HiddenPage page(IDD_PROGRESS);
  ExpectLineUnderTheBarFits(
      page.window(),
      {Loaded(IDS_PROGRESS_OF_SPEED_LEFT), Loaded(IDS_PROGRESS_OF_SPEED), Loaded(IDS_PROGRESS_OF),
       Loaded(IDS_SIZE_KB), Loaded(IDS_SIZE_MB), Loaded(IDS_SIZE_GB), Loaded(IDS_TIME_SECONDS),
       Loaded(IDS_TIME_MINUTES), Loaded(IDS_TIME_HOURS)});
}

// Both pages in each language, at the DPI the test runs at (the prefix's, 96, and 144 in a
// second run): every text of the templates, the captions in the title bar, the status
// line's texts, the file line, the welcome page's "Done" and the line under the bar.
class PagesInEveryLanguage : public testing::TestWithParam<Language> {};

// The caption fits the title bar beside the close box.
void ExpectCaptionFits(HWND page) {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
  HFONT font = CreateFontIndirectW(&metrics.lfCaptionFont);
  HDC dc = GetDC(page);
  HGDIOBJ old_font = SelectObject(dc, font);
  const std::wstring caption = WideText(page);
  SIZE size = {};
  GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
  SelectObject(dc, old_font);
  ReleaseDC(page, dc);
  DeleteObject(font);
  RECT window;
  GetWindowRect(page, &window);
  const int room = window.right - window.left - 2 * GetSystemMetrics(SM_CXFIXEDFRAME) -
                   metrics.iCaptionWidth - 4;
  EXPECT_LE(size.cx, room) << "caption \"" << WindowText(page) << "\"";
}

TEST_P(PagesInEveryLanguage, HoldEveryTextWhole) {
  const Language& language = GetParam();
  const auto text = [&language](unsigned id) { return LoadResString(id, language); };
  for (unsigned id : {IDD_WELCOME, IDD_PROGRESS}) {
    HiddenPage page(id, language);
    ASSERT_NE(page.window(), nullptr);
    EXPECT_EQ(WindowText(page.window()),
              text(id == IDD_WELCOME ? IDS_WELCOME_CAPTION : IDS_WIZARD_CAPTION));
    ExpectCaptionFits(page.window());
    for (HWND child : ChildWindows(page.window())) {
      if (IsTextControl(child)) ExpectTextFits(child);
    }
  }
  HiddenPage welcome(IDD_WELCOME, language);
  HWND done = GetDlgItem(welcome.window(), IDCANCEL);
  SetWindowTextA(done, text(IDS_DONE).c_str());
  ExpectTextFits(done);

  HiddenPage progress(IDD_PROGRESS, language);
  HWND status = GetDlgItem(progress.window(), IDC_STATUS);
  for (const std::string& line :
       {text(IDS_PREPARING), text(IDS_CONNECTING), text(IDS_DOWNLOAD_IN_PROGRESS),
        text(IDS_WAITING_FOR_SERVER), text(IDS_DOWNLOAD_STOPPED),
        FillIn(text(IDS_RETRY_CONNECTION), {"3", "3"}), FillIn(text(IDS_RETRY_BUSY), {"3", "3"})}) {
    SetWindowTextA(status, line.c_str());
    ExpectTextFits(status);
  }
  HWND file = GetDlgItem(progress.window(), IDC_CURRENT_FILE);
  SetWindowTextA(file, FillIn(text(IDS_CURRENTLY_DOWNLOADING), {"skin.bmp"}).c_str());
  ExpectTextFits(file);
  ExpectLineUnderTheBarFits(
      progress.window(),
      {text(IDS_PROGRESS_OF_SPEED_LEFT), text(IDS_PROGRESS_OF_SPEED), text(IDS_PROGRESS_OF),
       text(IDS_SIZE_KB), text(IDS_SIZE_MB), text(IDS_SIZE_GB), text(IDS_TIME_SECONDS),
       text(IDS_TIME_MINUTES), text(IDS_TIME_HOURS)});
}

// The usage box in the language's caption: every line whole in its column, no column over
// another, the OK button under them all, and the whole box on the screen.
TEST_P(PagesInEveryLanguage, UsageBoxHoldsEveryLineWhole) {
  const UsageBoxText text{LoadResString(IDS_WELCOME_CAPTION, GetParam()),
                          "Bad switch: /bogus (not a switch of this program)\n\n" + UsageText(),
                          true};
  HWND box =
      CreateDialogIndirectParamA(GetModuleHandleA(nullptr), DialogTemplate(IDD_USAGE, GetParam()),
                                 nullptr, UsageDlgProc, reinterpret_cast<LPARAM>(&text));
  ASSERT_NE(box, nullptr);
  ExpectCaptionFits(box);
  RECT client;
  GetClientRect(box, &client);
  std::vector<RECT> columns;
  std::string shown;
  for (HWND child : ChildWindows(box)) {
    if (!IsClass(child, "Static") || (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      continue;
    }
    ExpectTextFits(child);
    shown += WindowText(child) + "\n";
    RECT place;
    GetWindowRect(child, &place);
    MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&place), 2);
    for (const RECT& other : columns) {
      RECT common;
      EXPECT_FALSE(IntersectRect(&common, &place, &other)) << WindowText(child);
    }
    EXPECT_LE(place.right, client.right) << WindowText(child);
    columns.push_back(place);
  }
  for (const char* cell : {"/setuptimeout:SECONDS", "1000 + status", "server stalled"}) {
    EXPECT_NE(shown.find(cell), std::string::npos) << cell;
  }
  RECT ok;
  GetWindowRect(GetDlgItem(box, IDOK), &ok);
  MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&ok), 2);
  for (const RECT& column : columns) EXPECT_GE(ok.top, column.bottom);
  EXPECT_LE(ok.bottom, client.bottom);
  RECT work;
  RECT window;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  GetWindowRect(box, &window);
  EXPECT_TRUE(window.left >= work.left && window.top >= work.top && window.right <= work.right &&
              window.bottom <= work.bottom)
      << window.right - window.left << " x " << window.bottom - window.top;
  DestroyWindow(box);
}

INSTANTIATE_TEST_SUITE_P(Languages, PagesInEveryLanguage, testing::ValuesIn(Languages()),
                         [](const testing::TestParamInfo<Language>& info) {
                           std::string name = info.param.tag;
                           for (char& c : name) c = c == '-' ? '_' : c;
                           return name;
                         });

const DialogRow kWelcome = {
    IDD_WELCOME,
    "Orvex Contact List Download Wizard",
    {181, 138},
    {
        {-1, "Static", "Welcome to the Orvex Customized Contact List download.",
         Box(37, 5, 113, 17), SS_CENTER, 0, false},
        {-1, "Button", "", Box(4, 26, 173, 63), BS_GROUPBOX, 0, false},
        {-1, "Static", "", Box(9, 33, 21, 20), SS_ICON, 0, true},
        {-1, "Static",
         "This Customized Contact List is designed to work with the Full Orvex version (Orvex Pro)",
         Box(36, 35, 135, 24), SS_LEFT, 0, false},
        {-1, "Static",
         "If an older/different Orvex version is detected, \nThe latest Orvex version will be "
         "downloaded as well",
         Box(13, 61, 159, 24), SS_CENTER, 0, false},
        {IDCANCEL, "Button", "Cancel", Box(1, 114, 50, 18), WS_TABSTOP, 0, false},
        {IDC_NEXT, "Button", "Next >>", Box(126, 114, 50, 18), WS_TABSTOP | BS_DEFPUSHBUTTON, 0,
         false},
    }};

const DialogRow kProgress = {
    IDD_PROGRESS,
    "Customized Contact List Download Wizard",
    {194, 117},
    {
        {IDC_STATUS, "Static", "", Box(7, 7, 172, 8), SS_LEFT, 0, false},
        {-1, "Static", "", Box(7, 25, 20, 20), SS_ICON, 0, true},
        {IDC_CURRENT_FILE, "Static", "", Box(35, 31, 152, 12), SS_LEFT, WS_EX_STATICEDGE, false},
        {-1, "Static", "Start", Box(7, 50, 16, 8), SS_LEFT, 0, false},
        {IDC_PROGRESS_BAR, "msctls_progress32", "", Box(7, 59, 180, 14), 0, 0, false},
        {-1, "Static", "Done", Box(169, 50, 18, 8), SS_RIGHT, 0, false},
        {IDC_PROGRESS_LINE, "Static", "", Box(7, 76, 180, 8), SS_LEFT | SS_NOPREFIX, 0, false},
        {IDCANCEL, "Button", "Cancel", Box(7, 92, 50, 18), WS_TABSTOP, 0, false},
        {IDOK, "Button", "Done", Box(137, 92, 50, 18), WS_TABSTOP | WS_DISABLED, 0, false},
    }};

INSTANTIATE_TEST_SUITE_P(Pages, DialogResources, testing::Values(kWelcome, kProgress),
                         [](const testing::TestParamInfo<DialogRow>& info) {
                           return info.param.template_id == IDD_WELCOME ? "Welcome" : "Progress";
                         });

TEST(StringTable, DefaultBaseUrlIsAnHttpPartnerPath) {
  char text[500] = {};
  ASSERT_GT(LoadStringA(GetModuleHandleA(nullptr), IDS_DEFAULT_BASE_URL, text, sizeof text), 0);
  std::string url = text;
  EXPECT_EQ(url.rfind("http://", 0), 0u) << url;
  EXPECT_EQ(url.substr(url.size() - 12), "/cb/partner/") << url;
}

// The manifest Windows reads before the program starts; the tests link the same resources.
std::string Manifest() {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(module, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  return data ? std::string(data, SizeofResource(module, found)) : std::string();
}

TEST(Manifest, AsksForAdministratorRights) {
  EXPECT_NE(Manifest().find("<requestedExecutionLevel level=\"requireAdministrator\""),
            std::string::npos)
      << Manifest();
}

// The manifest's dependency is honoured: the common controls in use are version 6 from the
// system's side-by-side store, not whatever COMCTL32.DLL the search order finds first.
TEST(Manifest, BringsCommonControlsVersion6) {
  InitCommonControls();
  char path[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameA(GetModuleHandleA("comctl32.dll"), path, sizeof path), 0u);
  std::string folder = path;
  CharLowerA(&folder[0]);
  EXPECT_NE(folder.find("\\winsxs\\"), std::string::npos) << path;
  EXPECT_NE(folder.find("_microsoft.windows.common-controls_6595b64144ccf1df_6."),
            std::string::npos)
      << path;
}

}  // namespace

#include "app/pages/usage_box.h"

#include <algorithm>
#include <cstddef>

#include "app/report/message_texts.h"
#include "app/resources/resource.h"

namespace {

// Where a control lies in its dialog's client area.
RECT PlaceOf(HWND control) {
  RECT place;
  GetWindowRect(control, &place);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
  return place;
}

// The end of the line that starts at begin: its '\n' or the end of the text.
std::size_t LineEnd(const std::string& text, std::size_t begin) {
  return std::min(text.find('\n', begin), text.size());
}

std::ptrdiff_t TabsOfLine(const std::string& text, std::size_t begin) {
  return std::count(text.begin() + static_cast<std::ptrdiff_t>(begin),
                    text.begin() + static_cast<std::ptrdiff_t>(LineEnd(text, begin)), '\t');
}

// Each run of lines with as many columns becomes one static control per column, as wide as its
// widest cell: the columns line up in any font, and no line is broken. The box then takes the
// size the lines need, the OK button centred under them, and is centred on the work area.
void LayOut(HWND box, const std::string& text) {
  const auto font = reinterpret_cast<HFONT>(SendMessageA(box, WM_GETFONT, 0, 0));
  HDC dc = GetDC(box);
  const HGDIOBJ old_font = SelectObject(dc, font);
  TEXTMETRICA metrics = {};
  GetTextMetricsA(dc, &metrics);
  RECT units = {7, 7, 8, 0};  // the margin and the gap between columns, in dialog units
  MapDialogRect(box, &units);
  RECT work;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  const RECT icon = PlaceOf(GetDlgItem(box, IDC_USAGE_ICON));
  const int left = icon.right + units.left;
  int top = units.top;
  int right = left;
  for (std::size_t begin = 0, end = 0; begin <= text.size(); begin = end) {
    const std::ptrdiff_t tabs = TabsOfLine(text, begin);
    while (end <= text.size() && TabsOfLine(text, end) == tabs) end = LineEnd(text, end) + 1;
    int x = left;
    int height = 0;
    for (std::ptrdiff_t index = 0; index <= tabs; ++index) {
      std::string cells;
      height = 0;
      for (std::size_t line = begin; line < end; line = LineEnd(text, line) + 1) {
        height += metrics.tmHeight;
        std::size_t cell = line;
        for (std::ptrdiff_t k = 0; k < index; ++k) cell = text.find('\t', cell) + 1;
        if (line > begin) cells += '\n';
        cells.append(text, cell, std::min(text.find('\t', cell), LineEnd(text, line)) - cell);
      }
      // A cell wider than the screen (a pasted bad switch) is cut at its edge.
      RECT size = {0, 0, 0, 0};
      DrawTextA(dc, cells.c_str(), -1, &size, DT_CALCRECT | DT_NOPREFIX);
      const int width = std::min<int>(size.right, work.right - work.left - left - 2 * units.left);
      HWND label = CreateWindowExA(0, "Static", cells.c_str(),
                                   WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, x, top,
                                   width, height, box, nullptr, nullptr, nullptr);
      SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      right = std::max(right, x + width);
      x += width + units.right;
    }
    top += height;
  }
  SelectObject(dc, old_font);
  ReleaseDC(box, dc);

  HWND ok = GetDlgItem(box, IDOK);
  const RECT button = PlaceOf(ok);
  const int width = right + units.left;
  top = std::max<int>(top, icon.bottom) + units.top;
  SetWindowPos(ok, nullptr, (width - (button.right - button.left)) / 2, top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER);
  RECT frame = {0, 0, width, top + (button.bottom - button.top) + units.top};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(box, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(box, GWL_EXSTYLE)));
  const int frame_width = frame.right - frame.left;
  const int frame_height = frame.bottom - frame.top;
  SetWindowPos(box, nullptr, work.left + (work.right - work.left - frame_width) / 2,
               std::max<int>(work.top, work.top + (work.bottom - work.top - frame_height) / 2),
               frame_width, frame_height, SWP_NOZORDER);
}

}  // namespace

INT_PTR CALLBACK UsageDlgProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    const auto& box = *reinterpret_cast<const UsageBoxText*>(lparam);
    SetWindowTextA(window, box.caption.c_str());
    SendDlgItemMessageA(
        window, IDC_USAGE_ICON, STM_SETICON,
        reinterpret_cast<WPARAM>(LoadIconA(nullptr, box.bad_switch ? IDI_ERROR : IDI_INFORMATION)),
        0);
    LayOut(window, box.text);
    return TRUE;
  }
  if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
    EndDialog(window, IDOK);
    return TRUE;
  }
  return FALSE;
}

void ShowUsageBox(const UsageBoxText& box) {
  if (box.bad_switch) MessageBeep(MB_ICONSTOP);
  RunDialog(IDD_USAGE, nullptr, UsageDlgProc, reinterpret_cast<LPARAM>(&box));
}

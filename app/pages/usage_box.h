// The box that /? shows, and that names a bad switch: a dialog whose lines are laid out as it
// opens, measured in its own font at the screen's DPI, so that none wraps or leaves the box.
#pragma once

#include <windows.h>

#include <string>

// What the box shows: text's lines apart by '\n' and each line's columns apart by '\t';
// consecutive lines with as many columns line up in columns. A bad switch gets the stop icon.
struct UsageBoxText {
  std::string caption;
  std::string text;
  bool bad_switch = false;
};

// Shows the box (dialog IDD_USAGE) and waits for OK.
void ShowUsageBox(const UsageBoxText& box);

// Its creation parameter is a UsageBoxText, which outlives the box.
INT_PTR CALLBACK UsageDlgProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

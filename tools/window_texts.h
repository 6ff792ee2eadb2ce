// What a window shows, read the same way by the UI driver and the Win32 tests: its class,
// its text, its child controls and a message box's text.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The window's class name, such as "Button", "Static" or "#32770".
std::string WindowClass(HWND window);

// Whether the window is of that class; class names compare without regard to case.
bool IsClass(HWND window, const char* class_name);

// The caption or control text in UTF-8, whatever the reader's code page. For another process's
// window this reads the stored text without sending a message, so a busy program cannot block
// the reader.
std::string WindowText(HWND window);

// The window's direct children in z-order, which for a dialog is its template's order.
std::vector<HWND> ChildWindows(HWND window);

// A message box's text: the texts of its static controls other than the icon, one per line.
std::string MessageBoxText(HWND box);

// Texts of the string table, loaded by id at the moment they are shown.
#pragma once

#include <windows.h>

#include <string>

// The captions of the program's windows and message boxes.
constexpr char kErrorCaption[] = "Error";
constexpr char kWizardCaption[] = "Customized Contact List Download Wizard";
constexpr char kWelcomeCaption[] = "Orvex Contact List Download Wizard";

// The string-table entry id, at most 499 characters; "" when the table has no such id.
std::string LoadResString(unsigned id);

// A message box with the text of string id; returns the box's result.
int ShowResMessage(HWND owner, unsigned id, const char* caption, unsigned flags);

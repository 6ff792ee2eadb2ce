// Texts of the string table and the wizard's dialogs, loaded in the run's language at the
// moment they are shown. Each is looked up in that language by its id, never through the
// thread's own resource language, which Windows versions, Wine and threads set differently;
// what a translation lacks comes in English.
#pragma once

#include <windows.h>

#include <string>

#include "app/report/language.h"
#include "app/resources/resource.h"

// The captions of the program's windows and message boxes, as string ids.
constexpr unsigned kErrorCaption = IDS_ERROR_CAPTION;
constexpr unsigned kWizardCaption = IDS_WIZARD_CAPTION;
constexpr unsigned kWelcomeCaption = IDS_WELCOME_CAPTION;

// The string-table entry id in the language (the run's language by default), in the program's
// code page and at most 499 bytes; "" when the table has no such id.
std::string LoadResString(unsigned id, const Language& language);
std::string LoadResString(unsigned id);

// A message box with the text of string id and the caption of string caption_id, both in the
// run's language; returns the box's result.
int ShowResMessage(HWND owner, unsigned id, unsigned caption_id, unsigned flags);

// The dialog template in the language; null when the program has no such dialog.
const DLGTEMPLATE* DialogTemplate(unsigned id, const Language& language);

// Runs the dialog of template id, in the run's language, modally.
INT_PTR RunDialog(unsigned id, HWND owner, DLGPROC procedure, LPARAM parameter);

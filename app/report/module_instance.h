// The program's instance handle and the language of the run, both set by the entry point
// before anything else and never changed after: the two process-wide values that every window
// and string resource is loaded through, on every thread.
#pragma once

#include <windows.h>

#include "app/report/language.h"

extern HINSTANCE ModuleInstance;
extern const Language* RunLanguage;

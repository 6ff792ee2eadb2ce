// The program's instance handle, stored by the entry point before anything else: the one
// process-wide value that every window and string resource is loaded through.
#pragma once

#include <windows.h>

extern HINSTANCE ModuleInstance;

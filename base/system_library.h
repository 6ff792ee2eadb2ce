// Loading a library of the system's own by its full path in the system folder. A library that
// is not one of Windows' known DLLs would otherwise be looked for first beside the program,
// where a planted copy would be loaded.
#pragma once

#include <windows.h>

// The library of that file name in the system folder; null when it cannot be loaded. It stays
// loaded for the rest of the process.
HMODULE LoadSystemLibrary(const char* name);

// The function of that name, typed; false when the library has none.
template <typename Function>
bool FindFunction(HMODULE library, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  return *function != nullptr;
}

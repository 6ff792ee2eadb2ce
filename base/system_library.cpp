#include "base/system_library.h"

#include <cstring>

// By its full path, which works on every Windows (the search flag LOAD_LIBRARY_SEARCH_SYSTEM32
// needs an update on Windows 7).
HMODULE LoadSystemLibrary(const char* name) {
  char path[MAX_PATH];
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  const std::size_t name_length = std::strlen(name);
  if (length == 0 || length + 1 + name_length + 1 > MAX_PATH) return nullptr;
  path[length] = '\\';
  std::memcpy(path + length + 1, name, name_length + 1);
  return LoadLibraryA(path);
}

#include "base/find_handle.h"

bool FindHandle::First(const char* pattern, WIN32_FIND_DATAA* entry) {
  Close();
  handle_ = FindFirstFileA(pattern, entry);
  return IsOpen();
}

bool FindHandle::Next(WIN32_FIND_DATAA* entry) {
  return IsOpen() && FindNextFileA(handle_, entry) != FALSE;
}

void FindHandle::Close() {
  if (IsOpen()) {
    FindClose(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }
}

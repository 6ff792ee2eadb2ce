// Owner of one file search: closed by the destructor, so every path ends the search it began.
#pragma once

#include <windows.h>

class FindHandle {
 public:
  FindHandle() = default;
  ~FindHandle() { Close(); }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;

  // Begins a search (ending any earlier one); false when nothing matches.
  bool First(const char* pattern, WIN32_FIND_DATAA* entry);
  // The next entry; false when the search has no more.
  bool Next(WIN32_FIND_DATAA* entry);
  void Close();

  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Owns one handle of an API that has a close function of its own (WinINet's and WinHTTP's
// HINTERNET), and closes it when it goes.
#pragma once

#include <windows.h>

template <typename Handle, BOOL(WINAPI* Close)(Handle)>
class ApiHandle {
 public:
  explicit ApiHandle(Handle handle) : handle_(handle) {}
  ~ApiHandle() {
    if (handle_ != nullptr) Close(handle_);
  }
  ApiHandle(const ApiHandle&) = delete;
  ApiHandle& operator=(const ApiHandle&) = delete;

  Handle Get() const { return handle_; }
  bool Valid() const { return handle_ != nullptr; }

 private:
  Handle handle_;
};

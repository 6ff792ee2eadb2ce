#include "base/output_file.h"

#include <windows.h>

bool OutputFile::CreateNew(const char* path) {
  // CREATE_NEW: a name someone placed first (a file, a link) is an error, never written
  // through. Sharing reading only keeps the file as written for as long as it is held.
  handle_.Reset(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  return IsOpen();
}

bool OutputFile::Append(const char* path) {
  handle_.Reset(CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  return IsOpen();
}

bool OutputFile::Write(const void* data, std::size_t length) {
  const char* bytes = static_cast<const char*>(data);
  while (length > 0) {
    // One call writes at most a DWORD's worth; a short count without an error is a full disk.
    const DWORD chunk = length > 0x40000000u ? 0x40000000u : static_cast<DWORD>(length);
    DWORD written = 0;
    if (!WriteFile(handle_.Get(), bytes, chunk, &written, nullptr) || written == 0) return false;
    bytes += written;
    length -= written;
  }
  return true;
}

bool OutputFile::Truncate() {
  LARGE_INTEGER start = {};
  return SetFilePointerEx(handle_.Get(), start, nullptr, FILE_BEGIN) && SetEndOfFile(handle_.Get());
}

bool OutputFile::Close() {
  if (!IsOpen()) return true;
  return CloseHandle(handle_.Release()) != FALSE;
}

#include "base/output_file.h"

#include <windows.h>

#include <string>
#include <vector>

#include "base/held_file.h"

namespace {
// The folder of a full path whose last part begins at name: without the backslash before the
// name, but a drive's root keeps its own ("C:\\").
std::string FolderOf(const char* full, const char* name) {
  const bool root = name - full == 3 && full[1] == ':';
  return std::string(full, root ? name : name - 1);
}
}  // namespace

bool OutputFile::CreateNew(const char* path, bool movable) {
  // CREATE_NEW: a name someone placed first (a file, a link) is an error, never written
  // through. Sharing reading only keeps the file as written for as long as it is held.
  const DWORD access = GENERIC_READ | GENERIC_WRITE | (movable ? DELETE : 0);
  handle_.Reset(CreateFileA(path, access, FILE_SHARE_READ, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  return IsOpen();
}

bool OutputFile::Append(const char* path) {
  // A link is opened itself, not what it names, so that it shows as one.
  handle_.Reset(CreateFileA(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!IsOpen()) return false;
  std::vector<char> full(GetFullPathNameA(path, 0, nullptr, nullptr) + 1, '\0');
  char* name = nullptr;
  const DWORD length = GetFullPathNameA(path, static_cast<DWORD>(full.size()), full.data(), &name);
  BY_HANDLE_FILE_INFORMATION info;
  const bool plain = length > 0 && length < full.size() && name != nullptr && name > full.data() &&
                     GetFileInformationByHandle(handle_.Get(), &info) && info.nNumberOfLinks == 1 &&
                     IsEntryOfFolderAt(handle_.Get(), FolderOf(full.data(), name), name);
  if (plain) return true;
  handle_.Reset();
  SetLastError(ERROR_CANT_ACCESS_FILE);
  return false;
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

#include <windows.h>

#include <cstring>
#include <string>

#include "base/find_handle.h"
#include "base/owned_handle.h"
#include "messenger/remove_tree.h"

namespace {

bool IsLink(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsDotEntry(const char* name) {
  return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// Clears the read-only attribute of the entry itself. It is opened as what it is (a link would
// be opened as the link, not its target) and left alone when it turns out to be a link, so an
// entry swapped for one since the search cannot lead elsewhere.
void MakeWritable(const std::string& path, DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_READONLY) == 0 || IsLink(attributes)) return;
  OwnedHandle entry(
      CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION opened;
  if (!entry.Valid() || !GetFileInformationByHandle(entry.Get(), &opened) ||
      IsLink(opened.dwFileAttributes)) {
    return;
  }
  // Only the attributes that can be set; none left means "normal" (0 would change nothing).
  const DWORD settable = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                         FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                         FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  FILE_BASIC_INFO info = {};  // zero times are left unchanged
  info.FileAttributes = opened.dwFileAttributes & settable;
  if (info.FileAttributes == 0) info.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  SetFileInformationByHandle(entry.Get(), FileBasicInfo, &info, sizeof info);
}

void RemoveTreeOf(const char* path, bool clear_read_only) {
  // An empty path would make the pattern "\*.*", the root of the current drive.
  if (path == nullptr || path[0] == '\0') return;
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && IsLink(attributes)) {
    RemoveDirectoryA(path);
    return;
  }
  const std::string folder = path;
  FindHandle search;
  WIN32_FIND_DATAA entry;
  if (search.First((folder + "\\*.*").c_str(), &entry)) {
    do {
      if (IsDotEntry(entry.cFileName)) continue;
      const std::string entry_path = folder + "\\" + entry.cFileName;
      if (clear_read_only) MakeWritable(entry_path, entry.dwFileAttributes);
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        DeleteFileA(entry_path.c_str());
      } else if (IsLink(entry.dwFileAttributes)) {
        RemoveDirectoryA(entry_path.c_str());
      } else {
        RemoveTreeOf(entry_path.c_str(), clear_read_only);
      }
    } while (search.Next(&entry));
    search.Close();
  }
  RemoveDirectoryA(path);
}

}  // namespace

void RemoveTree(const char* path) {
  RemoveTreeOf(path, false);
}

void RemoveOwnTree(const char* path) {
  if (path != nullptr && path[0] != '\0') {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES) MakeWritable(path, attributes);
  }
  RemoveTreeOf(path, true);
}

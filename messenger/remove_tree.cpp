#include <windows.h>

#include <cstring>
#include <string>

#include "base/find_handle.h"
#include "messenger/remove_tree.h"

namespace {

bool IsLink(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsDotEntry(const char* name) {
  return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

}  // namespace

void RemoveTree(const char* path) {
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
      const std::string entry_path = folder + "\\" + entry.cFileName;
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        DeleteFileA(entry_path.c_str());
      } else if (IsDotEntry(entry.cFileName)) {
        continue;
      } else if (IsLink(entry.dwFileAttributes)) {
        RemoveDirectoryA(entry_path.c_str());
      } else {
        RemoveTree(entry_path.c_str());
      }
    } while (search.Next(&entry));
    search.Close();
  }
  RemoveDirectoryA(path);
}

#include "tests/win/test_folders.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include "base/find_handle.h"

std::string TempPath() {
  char buffer[MAX_PATH] = {};
  GetTempPathA(sizeof buffer, buffer);
  std::string path = buffer;
  if (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

void WriteFileText(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  ASSERT_TRUE(file.is_open()) << path;
  file << text;
}

std::string ReadFileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

bool PathExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> ListFolder(const std::string& path) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry;
  FindHandle search;
  if (!search.First((path + "\\*").c_str(), &entry)) return names;
  do {
    if (std::strcmp(entry.cFileName, ".") != 0 && std::strcmp(entry.cFileName, "..") != 0) {
      names.push_back(entry.cFileName);
    }
  } while (search.Next(&entry));
  std::sort(names.begin(), names.end());
  return names;
}

void MakeFolder(const std::string& path) {
  ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr) || IsFolder(path)) << path;
}

void ForceRemove(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    DeleteFileA(path.c_str());
    return;
  }
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    for (const std::string& name : ListFolder(path)) ForceRemove(path + "\\" + name);
  }
  RemoveDirectoryA(path.c_str());
}

TempTestFolder::TempTestFolder(const std::string& name) : path_(TempPath() + "\\" + name) {
  ForceRemove(path_);
  MakeFolder(path_);
}

TempTestFolder::~TempTestFolder() {
  ForceRemove(path_);
}

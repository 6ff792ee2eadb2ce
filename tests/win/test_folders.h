// Real folders and files for the Win32 tests: a scratch folder under the temporary path that
// is removed with everything in it (read-only files too) when the test ends.
#pragma once

#include <string>
#include <vector>

// The temporary path without its trailing backslash.
std::string TempPath();

void WriteFileText(const std::string& path, const std::string& text);
std::string ReadFileText(const std::string& path);
bool PathExists(const std::string& path);
bool IsFolder(const std::string& path);
// The names in a folder, sorted, without "." and "..".
std::vector<std::string> ListFolder(const std::string& path);
void MakeFolder(const std::string& path);
// Removes a tree for clean-up; never follows a link.
void ForceRemove(const std::string& path);

class TempTestFolder {
 public:
  // A fresh, empty folder: the temporary path, then name.
  explicit TempTestFolder(const std::string& name);
  ~TempTestFolder();
  TempTestFolder(const TempTestFolder&) = delete;
  TempTestFolder& operator=(const TempTestFolder&) = delete;

  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

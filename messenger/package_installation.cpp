#include "messenger/package_installation.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "base/find_handle.h"
#include "messenger/path_rules.h"
#include "messenger/remove_tree.h"

namespace {

constexpr char kIndexFileName[] = "urls.cb";

void EnsureFolder(const std::string& path) {
  FindHandle lookup;
  WIN32_FIND_DATAA entry;
  if (!lookup.First(path.c_str(), &entry)) CreateDirectoryA(path.c_str(), nullptr);
}

void CopyPackageFiles(const std::string& source_folder, const std::string& destination,
                      const std::string& setup_name, InstallRecord* record) {
  FindHandle search;
  WIN32_FIND_DATAA entry;
  if (!search.First((source_folder + "\\*.*").c_str(), &entry)) return;
  do {
    const char* name = entry.cFileName;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0 ||
        std::strcmp(name, kIndexFileName) == 0 || setup_name == name) {
      continue;
    }
    const std::string target = destination + "\\" + name;
    if (CopyFileA((source_folder + "\\" + name).c_str(), target.c_str(), FALSE)) {
      Note(record, "installed " + target);
    } else {
      Note(record, "not installed " + target + " (error " + std::to_string(GetLastError()) + ")");
    }
  } while (search.Next(&entry));
}

}  // namespace

bool InstallPackageFiles(const char* messenger_folder, const char* partner_id,
                         const char* temp_folder, const std::string& setup_name,
                         InstallRecord* record) {
  // Without a fully qualified messenger folder the partner folder, which is emptied, would lie
  // at the root of the drive or wherever the current folder happens to be.
  if (!IsFullyQualifiedFolder(messenger_folder)) return false;

  const std::string root = std::string(messenger_folder) + "\\Partner";
  EnsureFolder(root);
  const std::string destination = root + "\\" + partner_id;
  RemoveTree(destination.c_str());
  CreateDirectoryA(destination.c_str(), nullptr);

  // An empty buffer would make the search and the removal reach the root of the drive.
  if (temp_folder[0] != '\0') {
    CopyPackageFiles(temp_folder, destination, setup_name, record);
    RemoveTree(temp_folder);
  }
  return true;
}

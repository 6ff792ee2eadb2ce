#include "messenger/package_installation.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/find_handle.h"
#include "base/owned_handle.h"
#include "messenger/folder_swap.h"
#include "messenger/path_rules.h"
#include "messenger/remove_tree.h"

namespace {

constexpr char kIndexFileName[] = "urls.cb";

// Where a partner's package is put together: beside "Partner", on the same volume so that it
// can be renamed into place, and outside it so that no partner identifier can name it.
struct StagingFolders {
  StagingFolders(const std::string& messenger_folder, const char* partner_id)
      : root(messenger_folder + "\\PartnerStaging~"),
        work(root + "\\" + partner_id),
        staging(work + "\\new"),
        set_aside(work + "\\old") {}

  std::string root;
  std::string work;       // this partner's: removed whole once a run is over
  std::string staging;    // the new package
  std::string set_aside;  // the previous partner folder while the new one moves in
};

void EnsureFolder(const std::string& path) {
  FindHandle lookup;
  WIN32_FIND_DATAA entry;
  if (!lookup.First(path.c_str(), &entry)) CreateDirectoryA(path.c_str(), nullptr);
}

bool IsPackageFile(const WIN32_FIND_DATAA& entry, const std::string& setup_name) {
  const char* name = entry.cFileName;
  return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
         std::strcmp(name, kIndexFileName) != 0 && setup_name != name;
}

// Copies one file and checks that the copy has the source's size and is on the disk, so that
// a later power loss cannot leave an empty or short file in the installed folder.
bool CopyWhole(const std::string& from, const std::string& to, const WIN32_FIND_DATAA& source) {
  if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) return false;
  OwnedHandle copy(CreateFileA(to.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size;
  if (!copy.valid() || !GetFileSizeEx(copy.get(), &size)) return false;
  const std::uint64_t expected =
      (static_cast<std::uint64_t>(source.nFileSizeHigh) << 32) | source.nFileSizeLow;
  return static_cast<std::uint64_t>(size.QuadPart) == expected &&
         FlushFileBuffers(copy.get()) != FALSE;
}

// Copies every package file of source_folder into staging, a new folder, and lists their names.
// False as soon as one cannot be stored whole, or when the source cannot be read to its end.
bool StagePackageFiles(const std::string& source_folder, const std::string& staging,
                       const std::string& setup_name, std::vector<std::string>& names) {
  if (!CreateDirectoryA(staging.c_str(), nullptr)) return false;
  FindHandle search;
  WIN32_FIND_DATAA entry;
  if (!search.First((source_folder + "\\*.*").c_str(), &entry)) return false;
  do {
    if (!IsPackageFile(entry, setup_name)) continue;
    const std::string name = entry.cFileName;
    if (!CopyWhole(source_folder + "\\" + name, staging + "\\" + name, entry)) return false;
    names.push_back(name);
  } while (search.Next(&entry));
  return GetLastError() == ERROR_NO_MORE_FILES;
}

// A run that was cut short may have left the previous partner folder set aside: it goes back
// unless the new one had already taken its place. Then nothing of that run is kept, read-only
// files included, so that no left-over "old" is in the way of this run's.
void ClearLeftOvers(const StagingFolders& folders, const std::string& destination) {
  if (RestoreSetAsideFolder(destination, folders.set_aside)) RemoveOwnTree(folders.work.c_str());
}

// Removes the run's own folders as far as they are empty; a set-aside folder that could not
// go back stays for the next run to restore.
void RemoveStagingFolders(const StagingFolders& folders) {
  RemoveOwnTree(folders.staging.c_str());
  RemoveDirectoryA(folders.work.c_str());
  RemoveDirectoryA(folders.root.c_str());  // stays while another partner's left-overs are there
}

}  // namespace

InstallOutcome InstallPackageFiles(const char* messenger_folder, const char* partner_id,
                                   const char* temp_folder, const std::string& setup_name,
                                   InstallRecord* record) {
  // Without a fully qualified messenger folder the partner folder, which is replaced, would lie
  // at the root of the drive or wherever the current folder happens to be.
  if (!IsFullyQualifiedFolder(messenger_folder)) return InstallOutcome::NoMessengerFolder;
  // An empty buffer would make the search and the removal reach the root of the drive.
  if (temp_folder[0] == '\0') return InstallOutcome::CouldNotStore;

  const std::string root = std::string(messenger_folder) + "\\Partner";
  EnsureFolder(root);
  const std::string destination = root + "\\" + partner_id;
  const StagingFolders folders(messenger_folder, partner_id);
  ClearLeftOvers(folders, destination);

  EnsureFolder(folders.root);
  CreateDirectoryA(folders.work.c_str(), nullptr);
  std::vector<std::string> names;
  if (!StagePackageFiles(temp_folder, folders.staging, setup_name, names) ||
      !SwapFolderIntoPlace(folders.staging, destination, folders.set_aside)) {
    RemoveStagingFolders(folders);
    return InstallOutcome::CouldNotStore;
  }
  RemoveOwnTree(folders.work.c_str());  // the previous skin, read-only files and all
  RemoveDirectoryA(folders.root.c_str());
  for (const std::string& name : names) Note(record, "installed " + destination + "\\" + name);
  RemoveTree(temp_folder);
  return InstallOutcome::Installed;
}

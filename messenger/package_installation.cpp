#include "messenger/package_installation.h"

#include <windows.h>

#include <aclapi.h>

#include <cstddef>
#include <string>
#include <vector>

#include "base/find_handle.h"
#include "base/held_file.h"
#include "base/owned_handle.h"
#include "base/plain_names.h"
#include "messenger/folder_swap.h"
#include "messenger/path_rules.h"
#include "messenger/remove_tree.h"

namespace {

constexpr std::size_t kCopyBufferSize = 1024 * 1024;

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

// Copies an open file from its start into a new file and checks that the copy has the source's
// size and is on the disk, so that a later power loss cannot leave an empty or short file in the
// installed folder. Reading through the handle copies the file that was downloaded, whatever
// its name in the temporary folder leads to by now.
bool CopyWhole(HANDLE from, const std::string& to) {
  LARGE_INTEGER source_size;
  const LARGE_INTEGER start = {};
  if (!GetFileSizeEx(from, &source_size) || !SetFilePointerEx(from, start, nullptr, FILE_BEGIN)) {
    return false;
  }
  OwnedHandle copy(CreateFileA(to.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!copy.Valid()) return false;
  std::vector<char> buffer(kCopyBufferSize);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(from, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
      return false;
    }
    if (read == 0) break;
    DWORD written = 0;
    if (!WriteFile(copy.Get(), buffer.data(), read, &written, nullptr) || written != read) {
      return false;
    }
  }
  LARGE_INTEGER size;
  return GetFileSizeEx(copy.Get(), &size) && size.QuadPart == source_size.QuadPart &&
         FlushFileBuffers(copy.Get()) != FALSE;
}

// A moved file keeps the permissions it had in the user's own temporary folder (that user's
// full control, nobody else's reading); installed, it takes those its new folder hands down, as a
// file created there would (what "icacls /reset" does).
bool TakeFolderPermissions(const std::string& path) {
  ACL empty;
  if (!InitializeAcl(&empty, sizeof empty, ACL_REVISION)) return false;
  return SetNamedSecurityInfoA(const_cast<char*>(path.c_str()), SE_FILE_OBJECT,
                               DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                               nullptr, nullptr, &empty, nullptr) == ERROR_SUCCESS;
}

// Moves file through its handle to the path to and gives it its new folder's permissions; a
// file whose permissions cannot be set goes back to from.
bool MoveIntoFolder(HANDLE file, const std::string& from, const std::string& to) {
  if (!MoveHeldFile(file, to)) return false;
  if (TakeFolderPermissions(to)) return true;
  MoveHeldFile(file, from);
  return false;
}

// Puts every downloaded package file into staging, a new folder, under its own name, and lists
// the names. Where the temporary folder shares the volume, the file itself moves there
// through the handle that holds it, once it is on the disk (listed in moved); else it is
// copied. False as soon as one cannot be stored whole. Every file is closed once all are
// staged: a folder that holds an open file cannot be renamed into place.
bool StagePackageFiles(std::vector<HeldFile>& files, const std::string& temp_folder,
                       const std::string& staging, std::vector<std::string>& names,
                       std::vector<std::string>& moved) {
  if (!CreateDirectoryA(staging.c_str(), nullptr)) return false;
  for (HeldFile& file : files) {
    // A name that is no plain one would place the file outside the staging folder.
    if (!IsPlainName(file.name.c_str())) return false;
    const std::string to = staging + "\\" + file.name;
    const bool on_disk = file.on_disk || FlushFileBuffers(file.handle.Get());
    if (on_disk && MoveIntoFolder(file.handle.Get(), temp_folder + "\\" + file.name, to)) {
      moved.push_back(file.name);
    } else if (!CopyWhole(file.handle.Get(), to)) {
      return false;
    }
    names.push_back(file.name);
  }
  files.clear();
  return true;
}

// A package that could not be stored leaves the downloaded files where they were: those that
// moved into staging go back to the temporary folder (closed first, or they could not move
// by name).
void ReturnMovedFiles(std::vector<HeldFile>& files, const std::vector<std::string>& moved,
                      const std::string& staging, const char* temp_folder) {
  files.clear();
  for (const std::string& name : moved) {
    MoveFileExA((staging + "\\" + name).c_str(), (std::string(temp_folder) + "\\" + name).c_str(),
                0);
  }
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

// A program the setup leaves running for a moment (its console's host, an installer it started)
// stands in the temporary folder, the setup's current folder, until it ends: the folder is
// removed once it has.
constexpr DWORD kTempFolderRetryMs = 100;
constexpr int kTempFolderRetries = 20;

}  // namespace

InstallOutcome InstallPackageFiles(const char* messenger_folder, const char* partner_id,
                                   const char* temp_folder, std::vector<HeldFile> package_files,
                                   OwnedHandle temp_holder, InstallRecord* record) {
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
  std::vector<std::string> moved;
  if (!StagePackageFiles(package_files, temp_folder, folders.staging, names, moved) ||
      !SwapFolderIntoPlace(folders.staging, destination, folders.set_aside)) {
    ReturnMovedFiles(package_files, moved, folders.staging, temp_folder);
    RemoveStagingFolders(folders);
    return InstallOutcome::CouldNotStore;
  }
  RemoveOwnTree(folders.work.c_str());  // the previous skin, read-only files and all
  RemoveDirectoryA(folders.root.c_str());
  Note(record, "staged " + std::to_string(names.size()) +
                   " package files: " + std::to_string(moved.size()) + " moved, " +
                   std::to_string(names.size() - moved.size()) + " copied");
  for (const std::string& name : names) Note(record, "installed " + destination + "\\" + name);
  // Held files and a held folder cannot be removed.
  package_files.clear();
  temp_holder.Reset();
  RemoveTree(temp_folder);
  for (int retry = 0;
       retry < kTempFolderRetries && GetFileAttributesA(temp_folder) != INVALID_FILE_ATTRIBUTES;
       ++retry) {
    Sleep(kTempFolderRetryMs);
    RemoveTree(temp_folder);
  }
  return InstallOutcome::Installed;
}

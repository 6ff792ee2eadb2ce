#include "messenger/folder_swap.h"

#include <windows.h>

namespace {

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A rename on one volume, never a copy: with no MOVEFILE_COPY_ALLOWED a move to another
// volume fails instead of leaving half a folder behind. Write-through has the rename on disk
// before the next step starts.
bool Rename(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
}

}  // namespace

bool SwapFolderIntoPlace(const std::string& replacement, const std::string& destination,
                         const std::string& set_aside) {
  const bool had_destination = Exists(destination);
  if (had_destination && !Rename(destination, set_aside)) return false;
  if (Rename(replacement, destination)) return true;
  if (had_destination) Rename(set_aside, destination);
  return false;
}

bool RestoreSetAsideFolder(const std::string& destination, const std::string& set_aside) {
  if (Exists(destination) || !Exists(set_aside)) return true;
  return Rename(set_aside, destination);
}

#include "messenger/folder_swap.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/owned_handle.h"
#include "tests/win/test_folders.h"

namespace {

// A folder handle that lets no one else rename or delete the folder meanwhile.
OwnedHandle HoldFolder(const std::string& path) {
  return OwnedHandle(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// The text of f.txt in that folder, or "-" when the folder is gone.
std::string Holds(const std::string& folder) {
  return PathExists(folder) ? ReadFileText(folder + "\\f.txt") : "-";
}

// The swap that succeeds runs in every installation test; here each of its moves fails.
TEST(FolderSwap, FailedMoveLeavesBothFoldersAsTheyWere) {
  TempTestFolder scratch("orvex-swap");
  const std::string replacement = scratch / "work\\new", set_aside = scratch / "work\\old";
  const std::string destination = scratch / "acme";
  MakeFolder(scratch / "work");
  for (const auto& folder : {std::make_pair(replacement, "new"), {destination, "old"}}) {
    MakeFolder(folder.first);
    WriteFileText(folder.first + "\\f.txt", folder.second);
  }

  // A held destination cannot move aside; a held replacement cannot move in, so the
  // destination, already set aside, moves back.
  for (const std::string& held_folder : {destination, replacement}) {
    SCOPED_TRACE(held_folder);
    OwnedHandle held = HoldFolder(held_folder);
    ASSERT_TRUE(held.Valid());
    EXPECT_FALSE(SwapFolderIntoPlace(replacement, destination, set_aside));
    EXPECT_EQ(Holds(destination), "old");
    EXPECT_EQ(Holds(replacement), "new");
    EXPECT_EQ(Holds(set_aside), "-");
  }

  // A replacement that has vanished fails the same way.
  ForceRemove(replacement);
  EXPECT_FALSE(SwapFolderIntoPlace(replacement, destination, set_aside));
  EXPECT_EQ(Holds(destination), "old");
  EXPECT_EQ(Holds(set_aside), "-");
}

}  // namespace

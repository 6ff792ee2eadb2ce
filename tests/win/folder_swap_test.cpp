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

class FolderSwap : public testing::Test {
 protected:
  void SetUp() override {
    MakeFolder(scratch_ / "work");
    MakeFolder(replacement_);
    WriteFileText(replacement_ + "\\f.txt", "new");
  }

  void MakeDestination() {
    MakeFolder(destination_);
    WriteFileText(destination_ + "\\f.txt", "old");
  }

  // The text of f.txt in that folder, or "-" when the folder is gone.
  static std::string Holds(const std::string& folder) {
    return PathExists(folder) ? ReadFileText(folder + "\\f.txt") : "-";
  }

  TempTestFolder scratch_{"orvex-swap"};
  std::string replacement_ = scratch_ / "work\\new";
  std::string set_aside_ = scratch_ / "work\\old";
  std::string destination_ = scratch_ / "acme";
};

TEST_F(FolderSwap, ReplacementTakesThePlaceOfTheDestination) {
  MakeDestination();
  EXPECT_TRUE(SwapFolderIntoPlace(replacement_, destination_, set_aside_));
  EXPECT_EQ(Holds(destination_), "new");
  EXPECT_EQ(Holds(set_aside_), "old");
  EXPECT_EQ(Holds(replacement_), "-");
}

TEST_F(FolderSwap, WithoutADestinationTheReplacementJustMovesIn) {
  EXPECT_TRUE(SwapFolderIntoPlace(replacement_, destination_, set_aside_));
  EXPECT_EQ(Holds(destination_), "new");
  EXPECT_FALSE(PathExists(set_aside_));
}

TEST_F(FolderSwap, FailedMoveLeavesBothFoldersAsTheyWere) {
  MakeDestination();
  // A held destination cannot move aside; a held replacement cannot move in, so the
  // destination, already set aside, moves back.
  for (const std::string* held_folder : {&destination_, &replacement_}) {
    SCOPED_TRACE(*held_folder);
    OwnedHandle held = HoldFolder(*held_folder);
    ASSERT_TRUE(held.valid());
    EXPECT_FALSE(SwapFolderIntoPlace(replacement_, destination_, set_aside_));
    EXPECT_EQ(Holds(destination_), "old");
    EXPECT_EQ(Holds(replacement_), "new");
    EXPECT_FALSE(PathExists(set_aside_));
  }

  // A replacement that has vanished fails the same way.
  ForceRemove(replacement_);
  EXPECT_FALSE(SwapFolderIntoPlace(replacement_, destination_, set_aside_));
  EXPECT_EQ(Holds(destination_), "old");
  EXPECT_FALSE(PathExists(set_aside_));
}

TEST_F(FolderSwap, RestoreMovesTheSetAsideFolderBackOnlyIntoAnEmptyPlace) {
  ASSERT_TRUE(MoveFileA(replacement_.c_str(), set_aside_.c_str()));
  MakeDestination();
  EXPECT_TRUE(RestoreSetAsideFolder(destination_, set_aside_));
  EXPECT_EQ(Holds(destination_), "old");
  EXPECT_EQ(Holds(set_aside_), "new");

  ForceRemove(destination_);
  EXPECT_TRUE(RestoreSetAsideFolder(destination_, set_aside_));
  EXPECT_EQ(Holds(destination_), "new");
  EXPECT_FALSE(PathExists(set_aside_));

  ForceRemove(destination_);
  EXPECT_TRUE(RestoreSetAsideFolder(destination_, set_aside_));  // nothing to restore
  EXPECT_FALSE(PathExists(destination_));
}

}  // namespace

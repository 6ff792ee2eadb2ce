#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/owned_handle.h"
#include "messenger/remove_tree.h"
#include "tests/win/test_folders.h"

namespace {

using Names = std::vector<std::string>;

// A function of kernel32 that this system may lack, or null.
template <typename Function>
Function Kernel32Function(const char* name) {
  FARPROC address = GetProcAddress(GetModuleHandleA("kernel32"), name);
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

bool IsLink(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The Unix path of a Windows path, under Wine; "" elsewhere.
std::string UnixPath(const std::string& path) {
  using ToUnix = char*(CDECL*)(const WCHAR*);
  auto to_unix = Kernel32Function<ToUnix>("wine_get_unix_file_name");
  if (to_unix == nullptr) return "";
  std::wstring wide(path.begin(), path.end());
  char* unix_path = to_unix(wide.c_str());
  if (unix_path == nullptr) return "";
  std::string result = unix_path;
  HeapFree(GetProcessHeap(), 0, unix_path);
  return result;
}

// Starts a Unix program from the Wine process (Wine starts ELF programs natively) and waits
// until done() holds, at most five seconds: Wine's handle of such a process does not tell
// when it ends.
template <typename Done>
void RunUnix(const std::string& command_line, Done done) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::string line = command_line;
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return;
  }
  OwnedHandle thread(process.hThread);
  OwnedHandle handle(process.hProcess);
  for (int i = 0; i < 500 && !done(); ++i) Sleep(10);
}

// A link to a folder that the file search reports as a reparse point: a Windows symbolic link
// where the system makes one; under Wine, whose CreateSymbolicLinkA and junctions do not work,
// a Unix symbolic link, which Wine reports as a folder with FILE_ATTRIBUTE_REPARSE_POINT.
void MakeFolderLink(const std::string& link, const std::string& target) {
  using CreateLink = BOOLEAN(WINAPI*)(const char*, const char*, DWORD);
  auto create_link = Kernel32Function<CreateLink>("CreateSymbolicLinkA");
  if (create_link != nullptr) create_link(link.c_str(), target.c_str(), 1 | 2);
  if (!IsLink(link)) {
    const std::string unix_target = UnixPath(target), unix_link = UnixPath(link);
    if (!unix_target.empty() && !unix_link.empty()) {
      RunUnix("/bin/ln -s \"" + unix_target + "\" \"" + unix_link + "\"",
              [&] { return IsLink(link); });
    }
  }
  ASSERT_TRUE(IsLink(link)) << "no way to make a folder link here";
}

void RemoveLink(const std::string& link) {
  RemoveDirectoryA(link.c_str());
  if (PathExists(link) && !UnixPath(link).empty()) {
    RunUnix("/bin/rm -f \"" + UnixPath(link) + "\"", [&] { return !PathExists(link); });
  }
}

TEST(RemoveTree, RemovesNestedFoldersAndEveryKindOfFile) {
  TempTestFolder scratch("orvex-rt-nested");
  const std::string root = scratch / "tree";
  MakeFolder(root);
  for (const char* folder : {"sub1", "sub1\\sub2", "sub1\\sub2\\empty", "sub3"}) {
    MakeFolder(root + "\\" + folder);
  }
  for (const char* file : {"a.txt", "hidden.txt", "system.txt", "sub1\\b", "sub1\\sub2\\c.dat"}) {
    WriteFileText(root + "\\" + file, file);
  }
  SetFileAttributesA((root + "\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesA((root + "\\system.txt").c_str(),
                     FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN);
  WriteFileText(scratch / "beside.txt", "stays");

  RemoveTree(root.c_str());

  EXPECT_FALSE(PathExists(root));
  EXPECT_EQ(ListFolder(scratch.Path()), Names{"beside.txt"});
}

TEST(RemoveTree, ReadOnlyFileStaysAndSoDoTheFoldersAboveIt) {
  TempTestFolder scratch("orvex-rt-readonly");
  const std::string root = scratch / "tree";
  MakeFolder(root);
  MakeFolder(root + "\\keep");
  MakeFolder(root + "\\keep\\deep");
  MakeFolder(root + "\\gone");
  WriteFileText(root + "\\keep\\deep\\locked.txt", "locked");
  WriteFileText(root + "\\keep\\other.txt", "other");
  WriteFileText(root + "\\gone\\x.txt", "x");
  WriteFileText(root + "\\top.txt", "top");
  SetFileAttributesA((root + "\\keep\\deep\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);

  RemoveTree(root.c_str());

  EXPECT_EQ(ListFolder(root), Names{"keep"});
  EXPECT_EQ(ListFolder(root + "\\keep"), Names{"deep"});
  EXPECT_EQ(ListFolder(root + "\\keep\\deep"), Names{"locked.txt"});
  EXPECT_EQ(ReadFileText(root + "\\keep\\deep\\locked.txt"), "locked");
}

TEST(RemoveTree, MissingPathOrFilePathChangesNothing) {
  TempTestFolder scratch("orvex-rt-missing");
  WriteFileText(scratch / "file.txt", "content");

  RemoveTree((scratch / "missing").c_str());
  RemoveTree((scratch / "file.txt").c_str());
  RemoveTree("");

  EXPECT_EQ(ListFolder(scratch.Path()), Names{"file.txt"});
  EXPECT_EQ(ReadFileText(scratch / "file.txt"), "content");
}

class RemoveTreeLinks : public testing::Test {
 protected:
  void SetUp() override {
    MakeFolder(scratch_ / "outside");
    MakeFolder(target_);
    MakeFolder(target_ + "\\sub");
    WriteFileText(target_ + "\\keep.txt", "keep");
    WriteFileText(target_ + "\\sub\\deep.txt", "deep");
    MakeFolder(tree_);
    WriteFileText(tree_ + "\\own.txt", "own");
  }
  void TearDown() override { RemoveLink(link_); }

  void ExpectTargetUntouched() {
    EXPECT_EQ(ListFolder(target_), (Names{"keep.txt", "sub"}));
    EXPECT_EQ(ReadFileText(target_ + "\\keep.txt"), "keep");
    EXPECT_EQ(ReadFileText(target_ + "\\sub\\deep.txt"), "deep");
  }

  TempTestFolder scratch_{"orvex-rt-links"};
  std::string target_ = scratch_ / "outside\\target";
  std::string tree_ = scratch_ / "tree";
  std::string link_ = tree_ + "\\link";
};

TEST_F(RemoveTreeLinks, LinkInsideTheTreeIsRemovedNotFollowed) {
  MakeFolderLink(link_, target_);
  RemoveTree(tree_.c_str());

  ExpectTargetUntouched();
  EXPECT_FALSE(PathExists(tree_ + "\\own.txt"));
  // Windows removes the link itself; Wine cannot remove a Unix link, which then stays.
  if (PathExists(link_)) {
    EXPECT_TRUE(IsLink(link_));
    EXPECT_EQ(ListFolder(tree_), Names{"link"});
  } else {
    EXPECT_FALSE(PathExists(tree_));
  }
}

TEST_F(RemoveTreeLinks, TreeThatIsItselfALinkIsNotFollowed) {
  MakeFolderLink(link_, target_);
  RemoveTree(link_.c_str());

  ExpectTargetUntouched();
  EXPECT_EQ(ReadFileText(tree_ + "\\own.txt"), "own");
}

// The program's own staging folders: read-only entries go too, but a link is never followed,
// so nothing outside loses its attribute or its files.
TEST_F(RemoveTreeLinks, OwnTreeClearsReadOnlyButNeverThroughALink) {
  const std::string outside_file = target_ + "\\keep.txt";
  SetFileAttributesA(outside_file.c_str(), FILE_ATTRIBUTE_READONLY);
  MakeFolder(tree_ + "\\ro");
  WriteFileText(tree_ + "\\ro\\locked.txt", "locked");
  for (const char* entry : {"own.txt", "ro\\locked.txt", "ro"}) {
    SetFileAttributesA((tree_ + "\\" + entry).c_str(), FILE_ATTRIBUTE_READONLY);
  }
  MakeFolderLink(link_, target_);

  RemoveOwnTree(tree_.c_str());

  ExpectTargetUntouched();
  EXPECT_NE(GetFileAttributesA(outside_file.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_FALSE(PathExists(tree_ + "\\own.txt"));
  EXPECT_FALSE(PathExists(tree_ + "\\ro"));
  SetFileAttributesA(outside_file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace

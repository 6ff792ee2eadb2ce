// Files held from their download to their last use: what other programs can do to them, and
// starting a held program file.
#include "base/held_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/file_flusher.h"
#include "base/output_file.h"
#include "tests/win/test_folders.h"

namespace {

// What another program gets when it tries to write, rename and delete the file at path.
std::vector<DWORD> TriesToChange(const std::string& path) {
  std::vector<DWORD> errors;
  const OwnedHandle writer(CreateFileA(path.c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
  errors.push_back(writer.Valid() ? ERROR_SUCCESS : GetLastError());
  errors.push_back(MoveFileExA(path.c_str(), (path + ".moved").c_str(), 0) ? ERROR_SUCCESS
                                                                           : GetLastError());
  errors.push_back(DeleteFileA(path.c_str()) ? ERROR_SUCCESS : GetLastError());
  return errors;
}

// Starts the program at path, as the run starts the setup, with a command line that has this
// test program run no test; its exit code, or the error that kept it from starting.
DWORD Start(const std::string& path, bool* started) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::string command = "\"" + path + "\" --gtest_filter=NoTest";
  *started = CreateProcessA(path.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process) != FALSE;
  if (!*started) return GetLastError();
  const OwnedHandle process_handle(process.hProcess);
  const OwnedHandle thread(process.hThread);
  WaitForSingleObject(process_handle.Get(), 60000);
  DWORD code = 0;
  GetExitCodeProcess(process_handle.Get(), &code);
  return code;
}

const std::vector<DWORD> kSharingViolations(3, ERROR_SHARING_VIOLATION);

TEST(HeldFile, OthersMayReadItButNeitherWriteRenameNorDeleteItAndItStartsWhileHeld) {
  const TempTestFolder folder("orvex-held-file");
  const std::string path = folder / "setup.exe";
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, sizeof self);
  const std::string program = ReadFileText(self);

  OutputFile output;
  ASSERT_TRUE(output.CreateNew(path.c_str()));
  ASSERT_TRUE(output.Write(program.data(), program.size()));
  OutputFile again;
  EXPECT_FALSE(again.CreateNew(path.c_str())) << "a name that exists is not written through";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  HeldFile held{"setup.exe", output.Release()};
  EXPECT_TRUE(IsEntryOfFolderAt(held.handle.Get(), folder.Path(), "setup.exe"));
  EXPECT_FALSE(IsEntryOfFolderAt(held.handle.Get(), folder.Path(), "other.exe"));
  EXPECT_FALSE(IsEntryOfFolderAt(held.handle.Get(), folder.Path(), "setup.ex"));

  EXPECT_EQ(TriesToChange(path), kSharingViolations);
  EXPECT_EQ(ReadFileText(path), program) << "reading is shared";
  // The system does not start a program that a handle may still write.
  bool started = true;
  EXPECT_EQ(Start(path, &started), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(started);

  ASSERT_TRUE(HoldForStart(&held));
  EXPECT_EQ(TriesToChange(path), kSharingViolations);
  EXPECT_EQ(Start(path, &started), 0u);
  EXPECT_TRUE(started);
  EXPECT_EQ(TriesToChange(path), kSharingViolations);

  held.handle.Reset();
  EXPECT_TRUE(DeleteFileA(path.c_str()));
}

TEST(HeldFile, ReadStreamReadsFromTheStart) {
  const TempTestFolder folder("orvex-held-stream");
  OutputFile output;
  ASSERT_TRUE(output.CreateNew((folder / "urls.cb").c_str()));
  ASSERT_TRUE(output.Write("one two", 7));
  std::FILE* stream = ReadStreamOf(output.Handle());
  ASSERT_NE(stream, nullptr);
  char text[16] = {};
  EXPECT_EQ(std::fread(text, 1, sizeof text, stream), 7u);
  EXPECT_STREQ(text, "one two");
  std::fclose(stream);
  EXPECT_TRUE(output.Write("!", 1)) << "the original handle stays open";
}

// Letter case counts in no alphabet, as the file system compares names; other letters do.
TEST(HeldFile, EntryNamesCompareAsTheFileSystemDoes) {
  const TempTestFolder folder("orvex-held-name");
  const std::string name = "\xc5\xa0koda \xd0\x94\xd0\xb8";  // "Škoda Ди" in UTF-8
  OutputFile output;
  ASSERT_TRUE(output.CreateNew((folder / name).c_str()));
  for (const char* spelling : {"\xc5\xa0koda \xd0\x94\xd0\xb8", "\xc5\xa1KODA \xd0\xb4\xd0\x98"}) {
    EXPECT_TRUE(IsEntryOfFolderAt(output.Handle(), folder.Path(), spelling)) << spelling;
  }
  for (const char* other : {"Skoda \xd0\x94\xd0\xb8", "\xc5\xa0koda \xd0\x94"}) {
    EXPECT_FALSE(IsEntryOfFolderAt(output.Handle(), folder.Path(), other)) << other;
  }
}

// A log opened for appending with administrator rights writes only into a plain file at its
// path: a hard link to another file is refused, and a drive's root is a folder like any other.
TEST(OutputFile, AppendsOnlyToAPlainFileAtItsPath) {
  const TempTestFolder folder("orvex-append");
  WriteFileText(folder / "victim.txt", "kept");
  ASSERT_TRUE(
      CreateHardLinkA((folder / "link.log").c_str(), (folder / "victim.txt").c_str(), nullptr));
  const std::string at_root = "C:\\orvex-append-test.log";
  DeleteFileA(at_root.c_str());
  for (const std::string& path : {folder / "new.log", at_root, folder / "link.log"}) {
    OutputFile log;
    const bool plain = path != folder / "link.log";
    EXPECT_EQ(log.Append(path.c_str()), plain) << path;
    if (plain) {
      EXPECT_TRUE(log.Write("x", 1));
    }
  }
  EXPECT_EQ(ReadFileText(folder / "victim.txt"), "kept");
  EXPECT_EQ(ReadFileText(at_root), "x");
  DeleteFileA(at_root.c_str());
}

// Which files reached the disk, in the order they were handed over; a flusher that is let go
// without Finish gives the rest up rather than waiting for them.
TEST(FileFlusher, TellsWhichFilesReachedTheDisk) {
  const TempTestFolder folder("orvex-flush");
  OutputFile a, b;
  ASSERT_TRUE(a.CreateNew((folder / "a.bin").c_str()) && a.Write("a", 1));
  ASSERT_TRUE(b.CreateNew((folder / "b.bin").c_str()) && b.Write("b", 1));
  FileFlusher flusher;
  flusher.Add(a.Handle());
  flusher.Add(INVALID_HANDLE_VALUE);
  flusher.Add(b.Handle());
  EXPECT_EQ(flusher.Finish(), (std::vector<bool>{true, false, true}));

  FileFlusher abandoned;
  for (int i = 0; i < 100; ++i) abandoned.Add(a.Handle());
}

}  // namespace

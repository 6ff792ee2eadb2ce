// Files the program created and keeps open from their download to their last use, and what
// can be known about an open file through its handle: whether it is a link, and where it lies.
// Sharing reading only, a held file can be read by others but neither written, renamed nor
// deleted, so what the program checks and uses is what it wrote.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <string>

#include "base/owned_handle.h"

struct HeldFile {
  std::string name;  // its name in the folder it was created in
  OwnedHandle handle;
  bool on_disk = false;  // flushed since it was last written
};

// The path of an open file or folder as the system resolves it (links followed, long names),
// for instance "\\?\C:\Temp\acme"; empty when it cannot be had.
std::string FinalPathOf(HANDLE handle);

// Whether entry, an open file or folder, is no link itself (no reparse point) and its final
// path is folder_final, a backslash and name (its letter case aside).
bool IsEntryOf(HANDLE entry, const std::string& folder_final, const char* name);

// The same, with the folder given by its path (opened for the look-up).
bool IsEntryOfFolderAt(HANDLE entry, const std::string& folder_path, const char* name);

// Opens the file name in folder_path for reading, sharing reading only, when it is a plain
// file there (no link, no folder); an invalid handle otherwise.
OwnedHandle OpenPlainFileForReading(const std::string& folder_path, const char* name);

// Replaces file's handle, which may write, by one that only reads and still shares reading
// only: the system starts a program only from a file that no handle may write. On the
// way a handle that shares writing (never deletion) holds the file, so it cannot be renamed or
// deleted; its bytes could change meanwhile, so the caller checks them through the new handle.
// False, with the file no longer held, when no such handle can be had (another program opened
// the file for writing meanwhile).
bool HoldForStart(HeldFile* file);

// Moves an open file, whose handle may move it (OutputFile::CreateNew with movable), to the
// full path to (a name nothing has yet) through that handle, so that it stays held on the way:
// no byte is copied and nobody can change it meanwhile. False when it cannot be moved there,
// as to another volume (ERROR_NOT_SAME_DEVICE).
bool MoveHeldFile(HANDLE file, const std::string& to);

// Every byte of an open file, read through its handle from its start, when it holds at most
// limit bytes; false when it cannot be read or holds more.
bool ReadAllOf(HANDLE file, std::size_t limit, std::string* bytes);

// A C stream that reads an open file from its start, through a duplicate of its handle, or
// null. The caller closes it with fclose, which leaves the original handle open.
std::FILE* ReadStreamOf(HANDLE file);

// Owner of one file open for writing: created new (or opened for appending), closed by the
// destructor, so every path closes what it opened.
#pragma once

#include <cstddef>
#include <utility>

#include "base/owned_handle.h"

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile() { Close(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates the file; false when a file (or a link) of that name already exists or it cannot
  // be created. It is open for writing and for reading back; while it is open others may read
  // it, but neither write, rename nor delete it. movable: the handle may also move the file
  // (MoveHeldFile), which nobody else can.
  bool CreateNew(const char* path, bool movable = false);
  // Opens the file for appending, creating it when missing; every write lands at its end,
  // also when another process appends to it meanwhile. False for a link (symbolic or hard), a
  // junction on the way, or anything else that is not a plain file at path itself: what the
  // program writes with administrator rights must not land where a link leads.
  bool Append(const char* path);
  // Writes every byte; false when the disk takes fewer (a full disk, a vanished drive).
  bool Write(const void* data, std::size_t length);
  // Empties the file; the next write lands at its start.
  bool Truncate();
  // Closes the file; false when the close failed. Closing no file succeeds.
  bool Close();
  // Gives the open handle up, still open, to whoever uses the file next.
  OwnedHandle Release() { return std::move(handle_); }

  bool IsOpen() const { return handle_.Valid(); }
  HANDLE Handle() const { return handle_.Get(); }

 private:
  OwnedHandle handle_;
};

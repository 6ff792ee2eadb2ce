// Owner of one file open for writing: created (or emptied) by Create, closed by the destructor,
// so every path closes what it opened.
#pragma once

#include <cstddef>

#include "base/owned_handle.h"

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile() { Close(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates the file, or empties an existing one; false when it cannot be opened for writing.
  bool Create(const char* path);
  // Opens the file for appending, creating it when missing; every write lands at its end,
  // also when another process appends to it meanwhile.
  bool Append(const char* path);
  // Writes every byte; false when the disk takes fewer (a full disk, a vanished drive).
  bool Write(const void* data, std::size_t length);
  // Closes the file; false when the close failed. Closing no file succeeds.
  bool Close();

  bool IsOpen() const { return handle_.valid(); }

 private:
  OwnedHandle handle_;
};

// The fuzz input written to a file of its own, for the readers that take a path.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

class FuzzFile {
 public:
  FuzzFile(const std::uint8_t* data, std::size_t size) {
    char pattern[] = "/tmp/orvex-fuzz-XXXXXX";
    int fd = mkstemp(pattern);
    if (fd < 0) std::abort();
    path_ = pattern;
    if (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
    close(fd);
  }
  ~FuzzFile() { std::remove(path_.c_str()); }
  FuzzFile(const FuzzFile&) = delete;
  FuzzFile& operator=(const FuzzFile&) = delete;

  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};

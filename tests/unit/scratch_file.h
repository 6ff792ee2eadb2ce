// A file with chosen bytes in the system's temporary folder, removed when the test ends.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

class ScratchFile {
 public:
  explicit ScratchFile(const std::string& bytes) : path_(NewPath()) { Write(bytes); }
  ScratchFile() : path_(NewPath()) {}
  ~ScratchFile() { std::remove(path_.c_str()); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  void Write(const std::string& bytes) {
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (file == nullptr) return;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  const char* path() const { return path_.c_str(); }

 private:
  static std::string NewPath() {
    static std::atomic<int> counter{0};
    std::filesystem::path folder = std::filesystem::temp_directory_path();
    std::string name = "orvex-test-" + std::to_string(counter++) + "-" +
                       std::to_string(reinterpret_cast<std::uintptr_t>(&counter) & 0xffff) + ".txt";
    return (folder / name).string();
  }

  std::string path_;
};

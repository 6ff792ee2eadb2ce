// Feeds arbitrary bytes to the download list reader and checks what it stored.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tests/support/input_files_at.h"
#include "base/path_limits.h"
#include "fuzz/fuzz_file.h"

namespace {
bool IsLinePiece(const std::string& text) {
  return text.size() <= kPathBufferSize - 1 && text.find('\n') == std::string::npos;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzFile file(data, size);
  const DownloadList list = ReadDownloadListAt(file.path());
  if (list.PackageTitle && !IsLinePiece(*list.PackageTitle)) std::abort();
  if (!list.PackageTitle && !list.FileList.empty()) std::abort();
  for (const std::string& name : list.FileList) {
    if (!IsLinePiece(name)) std::abort();
  }
  return 0;
}

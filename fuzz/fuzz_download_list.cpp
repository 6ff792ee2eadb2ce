// Feeds arbitrary bytes to the download list reader and checks what it stored.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/run_inputs.h"
#include "app/shared_state.h"
#include "fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzFile file(data, size);
  int count = ReadDownloadListFile(file.path());
  if (count != static_cast<int>(FileList.size())) std::abort();
  if (std::memchr(PackageTitle, '\0', sizeof PackageTitle) == nullptr) std::abort();
  if (std::strchr(PackageTitle, '\n') != nullptr) std::abort();
  for (const std::string& name : FileList) {
    if (name.size() > kPathBufferSize - 1 || name.find('\n') != std::string::npos) std::abort();
  }
  return 0;
}

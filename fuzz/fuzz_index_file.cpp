// Feeds arbitrary bytes to the index file reader and checks the words it gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "base/path_limits.h"
#include "fuzz/fuzz_file.h"
#include "tests/support/input_files_at.h"

namespace {

bool IsWord(const std::string& word) {
  if (word.size() > kPathBufferSize - 1) return false;
  return word.find_first_of(" \t\r\n\v\f") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzFile file(data, size);
  const std::optional<IndexFile> index = ReadIndexFileAt(file.path());
  if (!index) std::abort();
  if (!IsWord(index->PackageBaseUrl) || !IsWord(index->SetupUrl) ||
      !IsWord(index->setup_digest_word)) {
    std::abort();
  }
  return 0;
}

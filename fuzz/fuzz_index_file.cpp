// Feeds arbitrary bytes to the index file reader and checks the two words it stored.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/run_inputs.h"
#include "app/shared_state.h"
#include "fuzz/fuzz_file.h"

namespace {

bool IsWord(const std::string& word) {
  if (word.size() > kPathBufferSize - 1) return false;
  return word.find_first_of(" \t\r\n\v\f") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzFile file(data, size);
  std::string url_text;
  if (!ReadIndexFile(file.path(), url_text)) std::abort();
  if (!IsWord(url_text) || !IsWord(SetupUrl)) std::abort();
  return 0;
}

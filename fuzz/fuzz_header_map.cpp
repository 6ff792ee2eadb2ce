// HeaderMap::Parse on any block, in a buffer of exactly its size, so that a read past the end
// of the block is caught. Blocks that begin with "HTTP/" (what the transfer passes) are
// formed from every input as well as the raw input itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "net/http/header_map.h"

namespace {
void Check(const std::string& text) {
  std::vector<char> block(text.begin(), text.end());
  block.push_back('\0');
  HeaderMap map;
  map.Parse(block.data());
  if (map.ReasonPhrase.find("\r\n") != std::string::npos) std::abort();

  const std::uint32_t version = map.HttpVersion;
  const std::int32_t status = map.StatusCode;
  const std::string reason = map.ReasonPhrase;
  const std::string length = map.Lookup("content-length");
  if (length != map.Lookup("CONTENT-LENGTH")) std::abort();
  if (length.find("\r\n") != std::string::npos) std::abort();

  // A second parse starts afresh and gives the same result.
  map.Parse(block.data());
  if (map.HttpVersion != version || map.StatusCode != status || map.ReasonPhrase != reason ||
      map.Lookup("Content-Length") != length) {
    std::abort();
  }
  map.Clear();
  if (!map.Lookup("Content-Length").empty() || map.StatusCode != 0) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string raw(reinterpret_cast<const char*>(data), size);
  Check(raw);
  Check("HTTP/" + raw);
  return 0;
}

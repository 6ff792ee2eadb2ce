// Url::Parse on any text: it must never read past the text, and what it yields must keep the
// shape the request line relies on; the target it writes there is always a valid one.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/http/url.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);  // stops at a NUL byte
  Url url(text.c_str());

  if (url.Directory.empty() || url.Directory.front() != '/' || url.Directory.back() != '/') {
    std::abort();
  }
  if (url.FileName.find('/') != std::string::npos) std::abort();
  if (url.Host.find_first_of(":/") != std::string::npos) std::abort();

  // The request line's target is visible ASCII, and every '%' in it begins an escape.
  const std::string target = url.RequestTarget();
  for (std::size_t i = 0; i < target.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(target[i]);
    if (c <= 0x20 || c >= 0x7F) std::abort();
    if (c == '%' &&
        (i + 2 >= target.size() || !std::isxdigit(static_cast<unsigned char>(target[i + 1])) ||
         !std::isxdigit(static_cast<unsigned char>(target[i + 2])))) {
      std::abort();
    }
  }

  // Parsing again, into a used object, gives the same pieces.
  Url again("ftp://other:1/x/y");
  again.Parse(text.c_str());
  if (again.Scheme != url.Scheme || again.Host != url.Host || again.Port != url.Port ||
      again.Directory != url.Directory || again.FileName != url.FileName) {
    std::abort();
  }
  return 0;
}

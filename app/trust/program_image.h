// Where a part of the program's loaded image lies in the program's file, read from the file's PE
// headers, which name each section's place in memory and in the file; and whether the file
// carries a certificate table (an Authenticode signature, sound or not).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct ImagePlace {
  std::uint32_t file_offset = 0;
  bool carries_certificate_table = false;
};

// How much of the start of the program's file to read for its headers: ours, with their eleven
// sections, take under 1 KiB.
constexpr std::size_t kImageHeadersRead = 4096;

// Where the length bytes at rva (an offset from the image's base) lie in the file whose first
// bytes are headers: all of them inside one section's data as the file stores it. None when
// headers are no PE32 or PE32+ headers, or no section holds those bytes whole.
std::optional<ImagePlace> FindInImage(const std::string& headers, std::uint32_t rva,
                                      std::uint32_t length);

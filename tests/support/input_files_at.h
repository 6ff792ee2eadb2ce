// The readers of the files beside the program and of the index file, given a path: how the
// tests and fuzzers read their scratch files. The program itself reads through handles it holds.
#pragma once

#include <optional>
#include <string>

#include "app/inputs/download_list.h"
#include "app/inputs/index_file.h"
#include "app/inputs/partner_id.h"
#include "base/text_reader.h"

// The identifier, or "" when it is refused.
inline std::string ReadPartnerIdAt(const char* path,
                                   const TextDecoding& decoding = TextDecoding::ForProgram()) {
  TextFileReader reader(path, decoding);
  const std::optional<PartnerId> id = ReadPartnerId(reader);
  return id ? id->Text() : std::string();
}

inline DownloadList ReadDownloadListAt(const char* path,
                                       const TextDecoding& decoding = TextDecoding::ForProgram()) {
  TextFileReader reader(path, decoding);
  return ReadDownloadList(reader);
}

inline std::optional<IndexFile> ReadIndexFileAt(
    const char* path, const TextDecoding& decoding = TextDecoding::ForProgram()) {
  TextFileReader reader(path, decoding);
  return ReadIndexFile(reader);
}

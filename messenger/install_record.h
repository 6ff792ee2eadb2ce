// What an installation did, one line per file copied and per registry value written or
// deleted, in the order it happened; the caller decides where the lines go.
#pragma once

#include <string>
#include <vector>

using InstallRecord = std::vector<std::string>;

// Adds line to record, when there is one.
inline void Note(InstallRecord* record, std::string line) {
  if (record != nullptr) record->push_back(std::move(line));
}

// The partner identifier: the first line of partner.dat beside the program.
#pragma once

#include <string>

#include "base/text_reader.h"

// The identifier in reader: its first line, at most 259 bytes. Empty when the file could not be
// opened, its first line is empty, or the identifier cannot serve as one folder name (see
// IsPlainName).
std::string ReadPartnerId(TextFileReader& reader);

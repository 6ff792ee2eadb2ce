// SHA256SUMS, the list of a package's digests as `sha256sum` writes it: per line 64
// hexadecimal digits, a space, a space or '*' (text or binary mode, the same bytes here), and
// the file's name; lines end in LF or CR LF.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/inputs/setup_digest.h"

struct Sha256Sums {
  std::vector<std::pair<std::string, Sha256Digest>> lines;  // name, digest; in file order
  // Lines of another form (empty ones aside). A name escaped with a leading backslash counts
  // here: no package file's name holds a backslash or a line end.
  int malformed_lines = 0;
};

Sha256Sums ReadSha256Sums(const std::string& text);

// The digest the sums give for name, compared exactly; none when no line names it, or when
// lines for it disagree.
std::optional<Sha256Digest> SumFor(const Sha256Sums& sums, const std::string& name);

// Rules for the paths that the installation builds from outside input (the partner
// identifier), so that no folder removal can reach outside its own folder.
#pragma once

#include <cstddef>

// True when folder, followed by "\" and a name, gives a path that does not depend on the
// current folder or drive: "X:" alone or followed by "\", or a "\\server" share.
bool IsFullyQualifiedFolder(const char* folder);

// The per-partner temporary folder: temp_path, one backslash (added only when temp_path
// lacks it), then partner_id. False, with out empty, when the result would not fit in
// out_size bytes with its terminating zero.
bool ComposeTempFolderPath(const char* temp_path, const char* partner_id, char* out,
                           std::size_t out_size);

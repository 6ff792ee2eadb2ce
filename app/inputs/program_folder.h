// The files beside the program: where they are, and reading them from there.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "app/inputs/download_list.h"
#include "app/inputs/partner_id.h"

// The running program's module path ("" when it cannot be obtained).
std::string ProgramModulePath();

// The program's folder: the module path without its last backslash and file name.
std::string ProgramFolder();

// partner.dat in the program's folder: its path, and the identifier when usable, else why
// there is none ("it is missing", "its first line ..."). A link is not read.
struct PartnerFile {
  std::string path;
  std::optional<PartnerId> id;
  std::string problem;
};
PartnerFile ReadPartnerFile();

enum class BesideProgram { Missing, Read, Unreadable };

// The bytes of the file name in the program's folder, when it is a plain file of at most limit
// bytes. Missing only when nothing of that name is there: a link, a folder or a file that
// cannot be read or is too long is Unreadable, so that what stands there is never passed over.
BesideProgram ReadFileBesideProgram(const char* name, std::size_t limit, std::string* bytes);

// OrvexDownload.dat in the program's folder (or, when the module path is unknown, in the
// current folder). A link counts as a missing file.
DownloadList ReadDownloadList();

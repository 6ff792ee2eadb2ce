// The files beside the program: where they are, and reading them from there.
#pragma once

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

// Whether anything of that name (a file, a folder, a link) stands in the program's folder; one
// that cannot be looked at counts as there, so that what stands there is never passed over.
bool IsBesideProgram(const char* name);

// OrvexDownload.dat in the program's folder (or, when the module path is unknown, in the
// current folder). A link counts as a missing file.
DownloadList ReadDownloadList();

// The files beside the program: where they are, and reading them from there.
#pragma once

#include <string>

// The running program's module path ("" when it cannot be obtained).
std::string ProgramModulePath();

// The program's folder: the module path without its last backslash and file name.
std::string ProgramFolder();

// Reads PartnerId from partner.dat in the program's folder.
bool ReadPartnerId();

// Reads OrvexDownload.dat in the program's folder (or, when the module path is unknown, in
// the current folder); returns the number of package file names.
int ReadDownloadList();

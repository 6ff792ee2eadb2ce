#include "app/inputs/program_folder.h"

#include <windows.h>

#include "app/inputs/partner_id.h"
#include "base/held_file.h"
#include "base/path_limits.h"
#include "base/text_reader.h"

namespace {

// A data file beside the program (or, when the module path is unknown, in the current folder),
// read only when it is a plain file there, never through a link, which could have the
// elevated program read a file its user may not and pass its lines on. It is held, sharing
// reading only, so it stays as it is while it is read. Null when it cannot be had.
std::string FolderOfProgram() {
  const std::string folder = ProgramFolder();
  return folder.empty() ? "." : folder;
}

std::FILE* OpenBesideProgram(const char* name) {
  const std::string folder = FolderOfProgram();
  const OwnedHandle file = OpenPlainFileForReading(folder, name);
  return file.Valid() ? ReadStreamOf(file.Get()) : nullptr;
}

}  // namespace

std::string ProgramModulePath() {
  char path[kPathBufferSize] = {};
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  // A path that fills the buffer was truncated and names no real file.
  if (length == 0 || length >= sizeof path) return std::string();
  return std::string(path, length);
}

std::string ProgramFolder() {
  std::string path = ProgramModulePath();
  std::string::size_type slash = path.rfind('\\');
  if (slash != std::string::npos) path.erase(slash);
  return path;
}

PartnerFile ReadPartnerFile() {
  PartnerFile file;
  file.path = FolderOfProgram() + "\\partner.dat";
  TextFileReader reader(OpenBesideProgram("partner.dat"));
  if (!reader.IsOpen()) {
    file.problem = GetFileAttributesA(file.path.c_str()) == INVALID_FILE_ATTRIBUTES
                       ? "it is missing"
                       : "it is a link, a folder or cannot be read";
    return file;
  }
  file.id = ReadPartnerId(reader, &file.problem);
  return file;
}

DownloadList ReadDownloadList() {
  TextFileReader reader(OpenBesideProgram("OrvexDownload.dat"));
  return ReadDownloadList(reader);
}

bool IsBesideProgram(const char* name) {
  const std::string path = FolderOfProgram() + "\\" + name;
  if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  const DWORD error = GetLastError();
  return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

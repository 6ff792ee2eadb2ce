#include "app/program_folder.h"

#include <windows.h>

#include "app/partner_id.h"
#include "base/path_limits.h"

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

std::string ReadPartnerId() {
  std::string path = ProgramFolder() + "\\partner.dat";
  return ReadPartnerIdFile(path.c_str());
}

DownloadList ReadDownloadList() {
  std::string path = ProgramModulePath();
  std::string::size_type slash = path.rfind('\\');
  path.erase(slash == std::string::npos ? 0 : slash + 1);
  path += "OrvexDownload.dat";
  return ReadDownloadListFile(path.c_str());
}

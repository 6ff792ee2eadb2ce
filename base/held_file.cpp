#include "base/held_file.h"

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "base/ascii.h"
#include "base/wide_text.h"

namespace {

// Longer than any path the program makes, with room for the "\\?\" prefix.
constexpr DWORD kFinalPathSize = 1024;

OwnedHandle OpenFolder(const std::string& path) {
  return OwnedHandle(CreateFileA(path.c_str(), FILE_LIST_DIRECTORY | SYNCHRONIZE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

}  // namespace

bool MoveHeldFile(HANDLE file, const std::string& to) {
  const WideText wide = Widen(to.c_str());
  wchar_t full[kFinalPathSize];
  const DWORD length = GetFullPathNameW(wide.data(), kFinalPathSize, full, nullptr);
  if (wide.size() <= 1 || length == 0 || length >= kFinalPathSize) return false;
  // The handle's rename takes the system's own form of a path: "\??\C:\...", and
  // "\??\UNC\server\share\..." for a share.
  std::wstring_view path(full, length);
  std::wstring_view prefix = L"\\??\\";
  if (path.substr(0, 4) == L"\\\\?\\") {
    path.remove_prefix(4);
  } else if (path.substr(0, 2) == L"\\\\") {
    path.remove_prefix(2);
    prefix = L"\\??\\UNC\\";
  }
  const std::size_t name_bytes = (prefix.size() + path.size()) * sizeof(wchar_t);
  std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + name_bytes);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = FALSE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(name_bytes);
  std::copy(prefix.begin(), prefix.end(), info->FileName);
  std::copy(path.begin(), path.end(), info->FileName + prefix.size());
  return SetFileInformationByHandle(file, FileRenameInfo, info,
                                    static_cast<DWORD>(buffer.size())) != FALSE;
}

std::string FinalPathOf(HANDLE handle) {
  char path[kFinalPathSize];
  const DWORD length =
      GetFinalPathNameByHandleA(handle, path, sizeof path, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length == 0 || length >= sizeof path) return std::string();
  return std::string(path, length);
}

bool IsEntryOf(HANDLE entry, const std::string& folder_final, const char* name) {
  // The attributes alone: GetFileInformationByHandle would also ask for the volume's serial
  // number, which costs Wine a round trip to its mount manager for every file.
  FILE_ATTRIBUTE_TAG_INFO info;
  if (folder_final.empty() ||
      !GetFileInformationByHandleEx(entry, FileAttributeTagInfo, &info, sizeof info) ||
      (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return false;
  }
  // A link that the file system follows without showing it as one (Wine's view of a Unix
  // symbolic link) still shows in where the handle leads.
  const std::string final = FinalPathOf(entry);
  // A drive's root ends in its backslash already.
  const bool root = folder_final.back() == '\\';
  const std::size_t name_at = folder_final.size() + (root ? 0 : 1);
  if (final.size() <= name_at || final.compare(0, folder_final.size(), folder_final) != 0 ||
      (!root && final[folder_final.size()] != '\\')) {
    return false;
  }
  const std::string entry_name = final.substr(name_at);
  const std::size_t name_length = std::strlen(name);
  if (entry_name.size() == name_length &&
      EqualsIgnoringAsciiCase(entry_name.c_str(), name, name_length)) {
    return true;
  }
  // The file system ignores letter case in every alphabet ("škoda" opens "Škoda"); the
  // ordinal comparison does as it does, by no language's rules.
  return entry_name.find('\\') == std::string::npos &&
         CompareStringOrdinal(Widen(entry_name.c_str()).data(), -1, Widen(name).data(), -1, TRUE) ==
             CSTR_EQUAL;
}

bool IsEntryOfFolderAt(HANDLE entry, const std::string& folder_path, const char* name) {
  const OwnedHandle folder = OpenFolder(folder_path);
  return folder.Valid() && IsEntryOf(entry, FinalPathOf(folder.Get()), name);
}

OwnedHandle OpenPlainFileForReading(const std::string& folder_path, const char* name) {
  // A link is opened itself, not what it names, so that it shows as one. Without backup
  // semantics a folder does not open.
  OwnedHandle file(CreateFileA((folder_path + "\\" + name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                               nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.Valid() || !IsEntryOfFolderAt(file.Get(), folder_path, name)) return OwnedHandle();
  return file;
}

bool HoldForStart(HeldFile* file) {
  // The bridge must share writing, as the handle it replaces writes.
  OwnedHandle bridge(
      ReOpenFile(file->handle.Get(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0));
  file->handle.Reset();
  if (!bridge.Valid()) return false;
  // Reading is all the start needs: the system opens the image with a handle of its own.
  file->handle.Reset(ReOpenFile(bridge.Get(), GENERIC_READ, FILE_SHARE_READ, 0));
  return file->handle.Valid();
}

std::FILE* ReadStreamOf(HANDLE file) {
  HANDLE duplicate = nullptr;
  const HANDLE process = GetCurrentProcess();
  if (!DuplicateHandle(process, file, process, &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    return nullptr;
  }
  // From here the C runtime owns the duplicate: fclose (or _close) closes it.
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(duplicate), _O_RDONLY);
  if (descriptor == -1) {
    CloseHandle(duplicate);
    return nullptr;
  }
  std::FILE* stream = _fdopen(descriptor, "rb");
  if (stream == nullptr) {
    _close(descriptor);
    return nullptr;
  }
  // The duplicate shares the original's position, wherever its writes left it.
  if (std::fseek(stream, 0, SEEK_SET) != 0) {
    std::fclose(stream);
    return nullptr;
  }
  return stream;
}

bool ReadAllOf(HANDLE file, std::size_t limit, std::string* bytes) {
  bytes->clear();
  const LARGE_INTEGER start = {};
  if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return false;
  char buffer[4096];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &read, nullptr)) return false;
    if (read == 0) return true;
    if (read > limit - bytes->size()) return false;
    bytes->append(buffer, read);
  }
}

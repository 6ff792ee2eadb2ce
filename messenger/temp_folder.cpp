#include "messenger/temp_folder.h"

#include <windows.h>

#include <sddl.h>

#include <string>
#include <utility>
#include <vector>

#include "base/held_file.h"
#include "base/registry_key.h"
#include "base/wide_text.h"
#include "messenger/path_rules.h"
#include "messenger/registry_layout.h"
#include "messenger/remove_tree.h"

namespace {

// Memory the security functions allocate, freed with LocalFree.
class LocalMemory {
 public:
  LocalMemory() = default;
  ~LocalMemory() {
    if (memory_ != nullptr) LocalFree(memory_);
  }
  LocalMemory(const LocalMemory&) = delete;
  LocalMemory& operator=(const LocalMemory&) = delete;
  void** Receive() { return &memory_; }
  void* get() const { return memory_; }
  void* Release() { return std::exchange(memory_, nullptr); }

 private:
  void* memory_ = nullptr;
};

// The part of this process's token that class names; empty when it cannot be read.
std::vector<unsigned char> TokenPart(TOKEN_INFORMATION_CLASS part) {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
  const OwnedHandle token(raw);
  DWORD size = 0;
  GetTokenInformation(token.Get(), part, nullptr, 0, &size);
  std::vector<unsigned char> data(size);
  if (size == 0 || !GetTokenInformation(token.Get(), part, data.data(), size, &size)) return {};
  return data;
}

std::string UserSidText() {
  const std::vector<unsigned char> user = TokenPart(TokenUser);
  if (user.empty()) return std::string();
  LocalMemory text;
  const PSID sid = reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
  if (!ConvertSidToStringSidA(sid, reinterpret_cast<char**>(text.Receive()))) return std::string();
  return static_cast<const char*>(text.get());
}

// The final path of the temporary path's folder, when that is the folder the path names: an
// unelevated program can put a link in place of the user's own temporary folder (or a folder
// above it), and the old folder's removal would then reach wherever that leads. Empty when the
// folder cannot be opened or a link lies on the way.
std::string ResolvedTempPath(const char* temp_path) {
  const OwnedHandle folder(CreateFileA(
      temp_path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  const std::string final = folder.Valid() ? FinalPathOf(folder.Get()) : std::string();
  // The long form of the path as it is written (short names expanded, no link followed), to
  // compare with the final path less its "\\?\" (or "\\?\UNC\") prefix.
  char long_path[kPathBufferSize];
  const DWORD length = GetLongPathNameA(temp_path, long_path, sizeof long_path);
  if (final.empty() || length == 0 || length >= sizeof long_path) return std::string();
  std::string written(long_path, length);
  if (written.size() > 3 && written.back() == '\\') written.pop_back();
  std::string resolved = final;
  if (resolved.compare(0, 8, "\\\\?\\UNC\\") == 0) {
    resolved = "\\" + resolved.substr(7);
  } else if (resolved.compare(0, 4, "\\\\?\\") == 0) {
    resolved = resolved.substr(4);
  }
  // The wide form: the A form reads its text in the locale's code page, never in UTF-8.
  const bool same = CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, Widen(written.c_str()).data(),
                                   -1, Widen(resolved.c_str()).data(), -1) == CSTR_EQUAL;
  return same ? final : std::string();
}

// Opens the entry at path itself, a link included, for looking at it or for holding it: without
// FILE_SHARE_DELETE no one can rename or remove it while the handle is open.
OwnedHandle OpenEntry(const char* path, DWORD access, DWORD sharing) {
  return OwnedHandle(CreateFileA(path, access, sharing, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                 nullptr));
}

// Removes what an earlier run left at folder; false when something stays there, or when it is
// a link, which is left alone.
bool RemoveOldFolder(const char* folder, const std::string& parent_final, const char* name) {
  const DWORD attributes = GetFileAttributesA(folder);
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return false;
  {
    const OwnedHandle old = OpenEntry(folder, FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    // A link the file system does not mark as one still leads elsewhere.
    if (old.Valid() && !IsEntryOf(old.Get(), parent_final, name)) return false;
  }
  RemoveTree(folder);
  return GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES;
}

}  // namespace

TempFolderSecurity::TempFolderSecurity() {
  // FA: full access; 0x1200a9: reading, listing and running (FILE_GENERIC_READ and _EXECUTE).
  // OICI: inherited by files and folders in it; P: nothing inherited from the folder above.
  std::string text = "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";
  const std::string user = UserSidText();
  if (!user.empty()) text += "(A;OICI;0x1200a9;;;" + user + ")";
  // NW: no write from a lower integrity level; HI: the high level of an elevated program.
  text += "S:(ML;OICI;NW;;;HI)";
  LocalMemory descriptor;
  if (ConvertStringSecurityDescriptorToSecurityDescriptorA(text.c_str(), SDDL_REVISION_1,
                                                           descriptor.Receive(), nullptr)) {
    descriptor_ = descriptor.Release();
  }
}

TempFolderSecurity::~TempFolderSecurity() {
  if (descriptor_ != nullptr) LocalFree(descriptor_);
}

TempFolderStatus PrepareTempFolder(const char* partner_id, char (&folder)[kPathBufferSize],
                                   OwnedHandle* holder) {
  folder[0] = '\0';
  holder->Reset();

  char temp_path[kPathBufferSize] = {};
  const DWORD length = GetTempPathA(sizeof temp_path, temp_path);
  // 0 is a failure; a length of the buffer size or more is the size the path would need.
  if (length == 0 || length >= sizeof temp_path) return TempFolderStatus::Unusable;
  if (!ComposeTempFolderPath(temp_path, partner_id, folder, sizeof folder)) {
    return TempFolderStatus::Unusable;
  }
  const std::string parent_final = ResolvedTempPath(temp_path);
  const TempFolderSecurity security;
  if (parent_final.empty() || security.Descriptor() == nullptr) {
    folder[0] = '\0';
    return TempFolderStatus::Unusable;
  }

  if (!RemoveOldFolder(folder, parent_final, partner_id)) return TempFolderStatus::Taken;
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, security.Descriptor(), FALSE};
  // Someone who made a folder of that name meanwhile makes this fail: it is not used.
  if (!CreateDirectoryA(folder, &attributes)) return TempFolderStatus::Taken;
  OwnedHandle held = OpenEntry(folder, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE);
  // Between the creation and the opening the new folder could have been moved away and a link
  // put in its place. (Another plain folder put there would gain nothing: what the run uses is
  // what it holds.)
  if (!held.Valid() || !IsEntryOf(held.Get(), parent_final, partner_id)) {
    return TempFolderStatus::Taken;
  }
  *holder = std::move(held);

  RegistryKey record;
  if (!record.Create(HKEY_CURRENT_USER, kTempPartnerPathKey, KEY_SET_VALUE)) {
    return TempFolderStatus::NotRecorded;
  }
  record.SetString(nullptr, folder);
  return TempFolderStatus::Ready;
}

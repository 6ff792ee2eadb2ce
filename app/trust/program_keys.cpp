#include "app/trust/program_keys.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/inputs/program_folder.h"
#include "app/report/log_text.h"
#include "app/trust/authenticode_check.h"
#include "app/trust/program_image.h"

namespace {

// The key file beside the program of the old layout, which anyone who can write the program's
// folder could have planted.
constexpr char kOldKeyFile[] = "partner.pub";

// Up to size bytes of file from offset (fewer at its end); false when they cannot be read.
bool ReadAt(HANDLE file, std::uint64_t offset, std::size_t size, std::string* bytes) {
  bytes->assign(size, '\0');
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD read = 0;
  if (!ReadFile(file, &(*bytes)[0], static_cast<DWORD>(size), &read, &at)) return false;
  bytes->resize(read);
  return true;
}

// The block as the running program holds it in memory, read through a volatile view: so that
// the compiler keeps no copy of its mark elsewhere, where the partner tool would find it twice.
std::string OwnBlock() {
  const volatile unsigned char* block = kProgramKeyBlock;
  std::string bytes(kKeyBlockSize, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(block[i]);
  return bytes;
}

// The keys of the block as the program's file holds it where its image has the block, and
// whether the file carries a certificate table; false when they cannot be had. The block must
// be the one the running program holds: a file put in the program's place after it started
// (a running program may be renamed) is not it.
bool ReadOwnKeys(HANDLE file, std::vector<PartnerPublicKey>* keys, bool* signed_file) {
  const std::string own = OwnBlock();
  std::string headers;
  std::string block;
  const auto rva =
      static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(kProgramKeyBlock) -
                                 reinterpret_cast<std::uintptr_t>(GetModuleHandleA(nullptr)));
  const std::optional<ImagePlace> place = ReadAt(file, 0, kImageHeadersRead, &headers)
                                              ? FindInImage(headers, rva, kKeyBlockSize)
                                              : std::nullopt;
  std::optional<std::vector<PartnerPublicKey>> read;
  if (place && ReadAt(file, place->file_offset, kKeyBlockSize, &block) && block == own) {
    read = ReadKeyBlock(block, own.substr(0, kKeyBlockMarkSize));
  }
  if (!read) return false;
  *keys = std::move(*read);
  *signed_file = place->carries_certificate_table;
  return true;
}

// Why the program cannot be trusted, or null; what it carries goes into trust. The signature's
// own reason, when it is why, goes to the log.
const char* CheckOwnFile(const std::string& path, ProgramTrust* trust, RunLog& log) {
  std::vector<PartnerPublicKey> keys;
  bool signed_file = false;
  if (!trust->file.Valid()) return "its file cannot be held unchanged";
  if (!ReadOwnKeys(trust->file.Get(), &keys, &signed_file)) {
    return "its file does not hold the key block it runs with";
  }
  if (signed_file) {
    const AuthenticodeVerdict verdict = CheckAuthenticode(trust->file.Get(), path);
    if (!verdict.trusted) {
      log.Write("the program's signature does not hold: %s", verdict.reason.c_str());
      return "the signature it carries does not hold";
    }
    log.Write("the program's signature holds: signer %s",
              EscapeControlBytes(verdict.signer).c_str());
  } else {
    log.Write("the program carries no Authenticode signature");
  }
  if (keys.empty()) return nullptr;
  trust->keys = std::make_unique<PartnerKeys>(keys);
  return trust->keys->Count() == keys.size() ? nullptr : "the system refuses a key it carries";
}

}  // namespace

ProgramTrust TrustProgram(RunLog& log) {
  ProgramTrust trust;
  const std::string path = ProgramModulePath();
  trust.file.Reset(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  const DWORD open_error = GetLastError();
  if (const char* problem = CheckOwnFile(path, &trust, log)) {
    log.Write("the program %s cannot be trusted: %s (%s); nothing downloaded", path.c_str(),
              problem,
              trust.file.Valid() ? "its partner keys are not used" : ErrorText(open_error).c_str());
    trust.keys.reset();
    trust.refusal = RunResult::ProgramNotTrusted;
    return trust;
  }
  const bool old_key_file = IsBesideProgram(kOldKeyFile);
  if (trust.keys) {
    std::string ids;
    for (std::size_t i = 0; i < trust.keys->Count(); ++i) {
      if (i > 0) ids += ", ";
      ids += trust.keys->KeyId(i);
    }
    log.Write("partner keys from the program: %s", ids.c_str());
    if (old_key_file) {
      log.Write("%s beside the program ignored", kOldKeyFile);
    }
  } else if (old_key_file) {
    log.Write(
        "%s beside a program without partner keys: the old layout, never a key; nothing "
        "downloaded",
        kOldKeyFile);
    trust.refusal = RunResult::OldKeyLayout;
  } else {
    log.Write("no partner keys in the program: nothing is checked by signature");
  }
  return trust;
}

// Checks one program's Authenticode signature with the wizard's own check, as a setup's would
// be checked: authenticode_probe PATH prints "trusted: <signer>" and exits 0, or "refused:
// <why>" and exits 1 (2 when the file cannot be opened).
#include <windows.h>

#include <atomic>
#include <cstdio>

#include "app/trust/authenticode_check.h"
#include "base/owned_handle.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: authenticode_probe PATH\n");
    return 2;
  }
  const OwnedHandle file(CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    std::printf("cannot open %s, error %lu\n", argv[1], GetLastError());
    return 2;
  }
  const std::atomic<bool> never{false};
  const AuthenticodeVerdict verdict = CheckAuthenticodeLookingUp(file.Get(), argv[1], never);
  if (verdict.trusted) {
    std::printf("trusted: %s\n", verdict.signer.c_str());
    return 0;
  }
  std::printf("refused: %s%s%s\n", verdict.signer.c_str(), verdict.signer.empty() ? "" : ": ",
              verdict.reason.c_str());
  return 1;
}

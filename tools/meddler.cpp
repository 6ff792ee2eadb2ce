// Plays an unelevated program on the same desktop as the wizard, for the end-to-end scenarios:
// it tries to change what a run downloaded, to add to the run's folder, and to hold a folder
// open. One command per start; it prints one JSON line with the Windows error of each try
// (0 for a try that worked). Every wait and loop is bounded.
//
//   meddler tamper PATH            overwrite PATH with its own image, rename it, delete it
//   meddler plant PATH             create PATH new, with a few bytes
//   meddler race PATH EVENT SECS   the tamper tries over and over until the named event is set
//                                  (or SECS, at most 120, have passed); counts by error. It
//                                  prints {"racing": 1} first, when it begins
//   meddler hold PATH EVENT SECS   holds PATH open (sharing reading and writing, not deletion)
//                                  until the named event is set or SECS have passed
//   meddler                        what a replaced program would run as: records
//                                  HKLM\SOFTWARE\OrvexTest\Meddler "ReplacementRan" = 1
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "base/owned_handle.h"
#include "base/registry_key.h"

namespace {

constexpr DWORD kLongestSeconds = 120;

std::string OwnImage() {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, sizeof self - 1);
  OwnedHandle file(
      CreateFileA(self, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  std::string image;
  char buffer[64 * 1024];
  DWORD read = 0;
  while (file.Valid() && ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
    image.append(buffer, read);
  }
  return image;
}

DWORD Result(BOOL worked) {
  return worked ? ERROR_SUCCESS : GetLastError();
}

DWORD Overwrite(const char* path, const std::string& image) {
  OwnedHandle file(CreateFileA(path, GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr));
  if (!file.Valid()) return GetLastError();
  DWORD written = 0;
  if (!WriteFile(file.Get(), image.data(), static_cast<DWORD>(image.size()), &written, nullptr))
    return GetLastError();
  return SetEndOfFile(file.Get()) ? ERROR_SUCCESS : GetLastError();
}

DWORD Rename(const char* path) {
  return Result(MoveFileExA(path, (std::string(path) + ".moved").c_str(), 0));
}

DWORD Delete(const char* path) {
  return Result(DeleteFileA(path));
}

// The named manual-reset event, made here when no one has made it yet, so that whoever sets it
// later sets this one.
OwnedHandle Event(const char* name) {
  return OwnedHandle(CreateEventA(nullptr, TRUE, FALSE, name));
}

DWORD Seconds(const char* text) {
  const DWORD seconds = static_cast<DWORD>(std::strtoul(text, nullptr, 10));
  return seconds < kLongestSeconds ? seconds : kLongestSeconds;
}

std::string Counts(const std::map<DWORD, unsigned long>& counts) {
  std::string text = "{";
  for (const auto& entry : counts) {
    if (text.size() > 1) text += ", ";
    text += "\"" + std::to_string(entry.first) + "\": " + std::to_string(entry.second);
  }
  return text + "}";
}

int Tamper(const char* path) {
  const std::string image = OwnImage();
  const DWORD overwrite = Overwrite(path, image);
  const DWORD rename = Rename(path);
  const DWORD remove = Delete(path);
  std::printf("{\"overwrite\": %lu, \"rename\": %lu, \"delete\": %lu}\n", overwrite, rename,
              remove);
  return 0;
}

int Plant(const char* path) {
  OwnedHandle file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  DWORD error = file.Valid() ? ERROR_SUCCESS : GetLastError();
  DWORD written = 0;
  if (file.Valid() && !WriteFile(file.Get(), "planted", 7, &written, nullptr))
    error = GetLastError();
  std::printf("{\"plant\": %lu}\n", error);
  return 0;
}

int Race(const char* path, const char* event_name, DWORD seconds) {
  const std::string image = OwnImage();
  const OwnedHandle event = Event(event_name);
  std::map<DWORD, unsigned long> overwrite, rename, remove;
  unsigned long rounds = 0;
  std::printf("{\"racing\": 1}\n");
  std::fflush(stdout);
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < seconds * 1000) {
    // Looking at the event costs a round trip of its own: not on every round.
    if (rounds % 16 == 0 && WaitForSingleObject(event.Get(), 0) == WAIT_OBJECT_0) break;
    ++overwrite[Overwrite(path, image)];
    ++rename[Rename(path)];
    ++remove[Delete(path)];
    ++rounds;
  }
  std::printf("{\"rounds\": %lu, \"overwrite\": %s, \"rename\": %s, \"delete\": %s}\n", rounds,
              Counts(overwrite).c_str(), Counts(rename).c_str(), Counts(remove).c_str());
  return 0;
}

int Hold(const char* path, const char* event_name, DWORD seconds) {
  const OwnedHandle event = Event(event_name);
  OwnedHandle held(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  std::printf("{\"hold\": %lu}\n", held.Valid() ? ERROR_SUCCESS : GetLastError());
  std::fflush(stdout);
  WaitForSingleObject(event.Get(), seconds * 1000);
  return 0;
}

int RecordReplacementRan() {
  RegistryKey key;
  if (!key.Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\OrvexTest\\Meddler", KEY_SET_VALUE)) return 2;
  key.SetDword("ReplacementRan", 1);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 1) return RecordReplacementRan();
  const std::string command = argv[1];
  if (command == "tamper" && argc == 3) return Tamper(argv[2]);
  if (command == "plant" && argc == 3) return Plant(argv[2]);
  if (command == "race" && argc == 5) return Race(argv[2], argv[3], Seconds(argv[4]));
  if (command == "hold" && argc == 5) return Hold(argv[2], argv[3], Seconds(argv[4]));
  std::fprintf(stderr, "meddler: unknown command\n");
  return 2;
}

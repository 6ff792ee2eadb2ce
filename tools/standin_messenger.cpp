// Stand-in for the running messenger: holds its named mutex until told to stop.
//
//   standin_messenger.exe [--event] [mutex name]
//
// Creates the mutex (default "Kestrane Orvex Mutex"; with --event an event of that name, an
// object of another kind squatting on a mutex's name), prints "ready" on stdout, then holds it
// until a line "quit" or the end of stdin arrives, or at most ten minutes, so that a forgotten
// stand-in cannot outlive its test for long.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "base/owned_handle.h"

namespace {

constexpr DWORD kLongestHoldMs = 10 * 60 * 1000;

DWORD WINAPI ReadUntilQuit(void*) {
  char line[256];
  while (std::fgets(line, sizeof line, stdin) != nullptr) {
    if (std::strncmp(line, "quit", 4) == 0) break;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool event = argc > 1 && std::strcmp(argv[1], "--event") == 0;
  const int name_at = event ? 2 : 1;
  const char* name = argc > name_at ? argv[name_at] : "Kestrane Orvex Mutex";
  OwnedHandle held(event ? CreateEventA(nullptr, TRUE, FALSE, name)
                         : CreateMutexA(nullptr, TRUE, name));
  if (!held.Valid()) {
    std::printf("error creating %s %lu\n", event ? "event" : "mutex", GetLastError());
    std::fflush(stdout);
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);

  OwnedHandle reader(CreateThread(nullptr, 0, ReadUntilQuit, nullptr, 0, nullptr));
  if (reader.Valid()) {
    WaitForSingleObject(reader.Get(), kLongestHoldMs);
  } else {
    Sleep(kLongestHoldMs);
  }
  if (!event) ReleaseMutex(held.Get());
  // The reader may still block on stdin; ending the process ends it.
  ExitProcess(0);
}

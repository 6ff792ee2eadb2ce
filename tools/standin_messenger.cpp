// Stand-in for the running messenger: holds its named mutex until told to stop.
//
//   standin_messenger.exe [mutex name]
//
// Creates the mutex (default "Kestrane Orvex Mutex"), prints "ready" on stdout, then holds it
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
  const char* name = argc > 1 ? argv[1] : "Kestrane Orvex Mutex";
  OwnedHandle mutex(CreateMutexA(nullptr, TRUE, name));
  if (!mutex.valid()) {
    std::printf("error creating mutex %lu\n", GetLastError());
    std::fflush(stdout);
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);

  OwnedHandle reader(CreateThread(nullptr, 0, ReadUntilQuit, nullptr, 0, nullptr));
  if (reader.valid()) {
    WaitForSingleObject(reader.get(), kLongestHoldMs);
  } else {
    Sleep(kLongestHoldMs);
  }
  ReleaseMutex(mutex.get());
  // The reader may still block on stdin; ending the process ends it.
  ExitProcess(0);
}

#include "bench/win_measure.h"

#include <psapi.h>

#include <cstdio>
#include <memory>

#include "base/owned_handle.h"

namespace {
LONGLONG Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}
}  // namespace

Stopwatch::Stopwatch() {
  start_.QuadPart = Now();
}

double Stopwatch::Seconds() const {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(Now() - start_.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool DrainToFile(const char* path, DWORD block_size, const ReadBlock& read,
                 unsigned long long* bytes) {
  *bytes = 0;
  OwnedHandle file(
      CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return false;
  std::unique_ptr<char[]> buffer(new char[block_size]);
  for (;;) {
    DWORD got = 0;
    if (!read(buffer.get(), block_size, &got)) return false;
    if (got == 0) return true;
    DWORD written = 0;
    if (!WriteFile(file.Get(), buffer.get(), got, &written, nullptr) || written != got) {
      return false;
    }
    *bytes += written;
  }
}

double CopyThenRemove(const char* from, const char* to) {
  Stopwatch clock;
  if (!CopyFileA(from, to, FALSE)) return -1;
  // The installer's durable copy: on the disk before the download goes.
  const HANDLE copy =
      CreateFileA(to, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (copy == INVALID_HANDLE_VALUE) return -1;
  const bool flushed = FlushFileBuffers(copy) != FALSE;
  CloseHandle(copy);
  if (!flushed || !DeleteFileA(from)) return -1;
  return clock.Seconds();
}

void PrintReport(unsigned long long bytes, double seconds, double copy_seconds) {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  unsigned long long peak_kib = 0;
  if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
    peak_kib = counters.PeakWorkingSetSize / 1024;
  }
  std::printf("bytes=%llu seconds=%.6f copy_seconds=%.6f peak_kib=%llu\n", bytes, seconds,
              copy_seconds, peak_kib);
  std::fflush(stdout);
}

int RunDownloader(int argc, char** argv, const char* name, Downloader download) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: %s <url> <file> [<destination>]\n", name);
    return 2;
  }
  Stopwatch clock;
  unsigned long long bytes = 0;
  if (!download(argv[1], argv[2], &bytes)) {
    std::fprintf(stderr, "%s: failed after %llu bytes (error %lu)\n", name, bytes,
                 static_cast<unsigned long>(GetLastError()));
    return 1;
  }
  double seconds = clock.Seconds();
  double copy_seconds = argc == 4 ? CopyThenRemove(argv[2], argv[3]) : 0;
  if (copy_seconds < 0) {
    std::fprintf(stderr, "%s: copy failed\n", name);
    return 1;
  }
  PrintReport(bytes, seconds, copy_seconds);
  return 0;
}

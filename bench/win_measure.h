// What the Windows download benchmarks share: a clock, the copy step of an installer, and the
// one report line run_bench.py reads:
//   bytes=N seconds=S copy_seconds=C peak_kib=K
// seconds is the transfer until the file is closed; copy_seconds the CopyFileA and its flush (and the
// removal of the downloaded file) after it, 0 when there was none; peak_kib the process's
// peak working set.
#pragma once

#include <windows.h>

#include <functional>

class Stopwatch {
 public:
  Stopwatch();
  double Seconds() const;

 private:
  LARGE_INTEGER start_;
};

// One read of at most `capacity` bytes into `buffer`: false on failure, *got 0 at the end.
using ReadBlock = std::function<bool(char* buffer, DWORD capacity, DWORD* got)>;

// Reads blocks of `block_size` until the end and writes each with WriteFile to a new file at
// `path`; false when a read or a write failed. *bytes counts what was written.
bool DrainToFile(const char* path, DWORD block_size, const ReadBlock& read,
                 unsigned long long* bytes);

// CopyFileA from -> to, FlushFileBuffers of the copy, then DeleteFileA from (an installer's
// durable copy); the seconds taken, or -1 when a step failed.
double CopyThenRemove(const char* from, const char* to);

void PrintReport(unsigned long long bytes, double seconds, double copy_seconds);

// Downloads url into file with `download` and, when a destination is given, copies it there
// (CopyThenRemove); then prints the report. The main of the downloaders:
//   <name> <url> <file> [<destination>]
using Downloader = bool (*)(const char* url, const char* path, unsigned long long* bytes);
int RunDownloader(int argc, char** argv, const char* name, Downloader download);

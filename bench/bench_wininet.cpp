// WinINet downloader for the benchmark under Wine: InternetOpenUrlA and InternetReadFile in
// 64 KiB reads, each written to the file with WriteFile. With a destination, the file is then
// copied there with CopyFileA and removed: what an installer that downloads into a temporary
// folder does.
//   bench_wininet <url> <file> [<destination>]
// With --many, one session (WinINet keeps its connections and TLS sessions as it likes)
// fetches <base url> + each name of a list file (a name a line) into a folder; then each file
// is copied into a second folder, the copy flushed to disk and the download removed: an
// installer's work on a package of many small files. The report's seconds are the downloads',
// its copy_seconds the copies, flushes and removals.
//   bench_wininet --many <base url> <list file> <download folder> <destination folder>
#include <windows.h>

#include <wininet.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/owned_handle.h"
#include "bench/api_handle.h"
#include "bench/win_measure.h"

namespace {
using InternetHandle = ApiHandle<HINTERNET, InternetCloseHandle>;
constexpr DWORD kReadSize = 64 * 1024;

HINTERNET OpenSession() {
  return InternetOpenA("OrvexBench", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
}

bool Fetch(HINTERNET session, const char* url, const char* path, unsigned long long* bytes) {
  InternetHandle request(InternetOpenUrlA(
      session, url, nullptr, 0,
      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE, 0));
  if (!request.Valid()) return false;
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!HttpQueryInfoA(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                      &size, nullptr) ||
      status != 200) {
    std::fprintf(stderr, "bench_wininet: status %lu for %s\n", static_cast<unsigned long>(status),
                 url);
    return false;
  }
  return DrainToFile(
      path, kReadSize,
      [&request](char* buffer, DWORD capacity, DWORD* got) {
        return InternetReadFile(request.Get(), buffer, capacity, got) != FALSE;
      },
      bytes);
}

bool Download(const char* url, const char* path, unsigned long long* bytes) {
  InternetHandle session(OpenSession());
  return session.Valid() && Fetch(session.Get(), url, path, bytes);
}

std::vector<std::string> ReadNames(const char* list_path) {
  std::vector<std::string> names;
  FILE* list = std::fopen(list_path, "r");
  if (list == nullptr) return names;
  char line[MAX_PATH];
  while (std::fgets(line, sizeof line, list) != nullptr) {
    line[std::strcspn(line, "\r\n")] = '\0';
    if (line[0] != '\0') names.push_back(line);
  }
  std::fclose(list);
  return names;
}

int RunMany(const char* base_url, const char* list_path, const std::string& downloads,
            const std::string& destination) {
  std::vector<std::string> names = ReadNames(list_path);
  if (names.empty()) {
    std::fprintf(stderr, "bench_wininet: no names in %s\n", list_path);
    return 2;
  }
  Stopwatch clock;
  unsigned long long total = 0;
  InternetHandle session(OpenSession());
  for (const std::string& name : names) {
    unsigned long long bytes = 0;
    if (!session.Valid() || !Fetch(session.Get(), (base_url + name).c_str(),
                                   (downloads + "\\" + name).c_str(), &bytes)) {
      std::fprintf(stderr, "bench_wininet: %s failed (error %lu)\n", name.c_str(),
                   static_cast<unsigned long>(GetLastError()));
      return 1;
    }
    total += bytes;
  }
  double seconds = clock.Seconds();
  Stopwatch copying;
  for (const std::string& name : names) {
    if (CopyThenRemove((downloads + "\\" + name).c_str(), (destination + "\\" + name).c_str()) < 0) {
      std::fprintf(stderr, "bench_wininet: copying %s failed (error %lu)\n", name.c_str(),
                   static_cast<unsigned long>(GetLastError()));
      return 1;
    }
  }
  PrintReport(total, seconds, copying.Seconds());
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--many") == 0) {
    if (argc != 6) {
      std::fprintf(stderr,
                   "usage: bench_wininet --many <base url> <list file> <download folder> "
                   "<destination folder>\n");
      return 2;
    }
    return RunMany(argv[2], argv[3], argv[4], argv[5]);
  }
  return RunDownloader(argc, argv, "bench_wininet", Download);
}

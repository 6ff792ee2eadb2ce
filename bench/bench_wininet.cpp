// WinINet downloader for the benchmark under Wine: InternetOpenUrlA and InternetReadFile in
// 64 KiB reads, each written to the file with WriteFile. With a destination, the file is then
// copied there with CopyFileA and removed: what an installer that downloads into a temporary
// folder does.
//   bench_wininet <url> <file> [<destination>]
#include <windows.h>

#include <wininet.h>

#include <cstdio>

#include "bench/api_handle.h"
#include "bench/win_measure.h"

namespace {
using InternetHandle = ApiHandle<HINTERNET, InternetCloseHandle>;
constexpr DWORD kReadSize = 64 * 1024;

bool Download(const char* url, const char* path, unsigned long long* bytes) {
  InternetHandle session(
      InternetOpenA("OrvexBench", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  if (!session.Valid()) return false;
  InternetHandle request(InternetOpenUrlA(
      session.Get(), url, nullptr, 0,
      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE, 0));
  if (!request.Valid()) return false;
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!HttpQueryInfoA(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                      &size, nullptr) ||
      status != 200) {
    std::fprintf(stderr, "bench_wininet: status %lu\n", static_cast<unsigned long>(status));
    return false;
  }
  return DrainToFile(
      path, kReadSize,
      [&request](char* buffer, DWORD capacity, DWORD* got) {
        return InternetReadFile(request.Get(), buffer, capacity, got) != FALSE;
      },
      bytes);
}
}  // namespace

int main(int argc, char** argv) {
  return RunDownloader(argc, argv, "bench_wininet", Download);
}

// WinHTTP downloader for the benchmark under Wine: WinHttpSendRequest, then WinHttpReadData in
// 64 KiB reads, each written to the file with WriteFile; with a destination, copied there with
// CopyFileA and removed, as bench_wininet does.
//   bench_winhttp <url> <file> [<destination>]
#include <windows.h>

#include <winhttp.h>

#include <cstdio>
#include <string>

#include "bench/api_handle.h"
#include "bench/win_measure.h"

namespace {
using HttpHandle = ApiHandle<HINTERNET, WinHttpCloseHandle>;
constexpr DWORD kReadSize = 64 * 1024;

std::wstring Wide(const char* text) {
  int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  std::wstring wide(length > 0 ? length : 1, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
  wide.resize(wide.size() - 1);
  return wide;
}

bool Download(const char* url_text, const char* path, unsigned long long* bytes) {
  std::wstring url = Wide(url_text);
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) return false;
  std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  std::wstring object(parts.lpszUrlPath, parts.dwUrlPathLength);

  HttpHandle session(WinHttpOpen(L"OrvexBench", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session.Valid()) return false;
  HttpHandle connection(WinHttpConnect(session.Get(), host.c_str(), parts.nPort, 0));
  if (!connection.Valid()) return false;
  HttpHandle request(WinHttpOpenRequest(connection.Get(), L"GET", object.c_str(), nullptr,
                                        WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
  if (!request.Valid() ||
      !WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA,
                          0, 0, 0) ||
      !WinHttpReceiveResponse(request.Get(), nullptr)) {
    return false;
  }
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX) ||
      status != 200) {
    std::fprintf(stderr, "bench_winhttp: status %lu\n", static_cast<unsigned long>(status));
    return false;
  }
  return DrainToFile(
      path, kReadSize,
      [&request](char* buffer, DWORD capacity, DWORD* got) {
        return WinHttpReadData(request.Get(), buffer, capacity, got) != FALSE;
      },
      bytes);
}
}  // namespace

int main(int argc, char** argv) {
  return RunDownloader(argc, argv, "bench_winhttp", Download);
}

// Asks the system's WinHTTP which proxies a URL takes, from an auto-config script at a URL or
// from the one automatic detection (WPAD) finds; WinHTTP fetches and runs the script. winhttp.dll
// is loaded at run time from the system folder, never imported.
#pragma once

#include <windows.h>

#include <string>

class WinHttpProxyFinder {
 public:
  WinHttpProxyFinder() = default;
  ~WinHttpProxyFinder();
  WinHttpProxyFinder(const WinHttpProxyFinder&) = delete;
  WinHttpProxyFinder& operator=(const WinHttpProxyFinder&) = delete;

  // The proxy list for url ("a:1;b:2", or "DIRECT" when the script says so) from the script at
  // script_url, or from detection when script_url is null. False when no script can be found,
  // fetched or run; *error is then why (a WinHTTP code such as 12167).
  bool Find(const std::string& url, const std::string* script_url, std::string* proxy_list,
            DWORD* error);

 private:
  bool Open(DWORD* error);

  void* session_ = nullptr;  // the WinHTTP session, closed by the destructor
};

// The name of a WinHTTP error code that proxy finding gives ("ERROR_WINHTTP_..."), or "".
const char* WinHttpErrorName(DWORD error);

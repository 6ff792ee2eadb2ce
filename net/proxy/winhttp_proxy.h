// Asks the system's WinHTTP which proxies a URL takes, from an auto-config script at a URL or
// from the one automatic detection (WPAD) finds; WinHTTP fetches and runs the script. winhttp.dll
// is loaded at run time from the system folder, never imported. A lookup is bounded: each of its
// steps by the session's time limits, the whole by the lookup limit (transfer_limits.h), and its
// caller may give up on it at any moment. It never answers a script server's challenge with the
// user's logon.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

class WinHttpProxyFinder {
 public:
  WinHttpProxyFinder();
  ~WinHttpProxyFinder();
  WinHttpProxyFinder(const WinHttpProxyFinder&) = delete;
  WinHttpProxyFinder& operator=(const WinHttpProxyFinder&) = delete;

  // The proxy list for url ("a:1;b:2", or "DIRECT" when the script says so) from the script at
  // script_url, or from detection when script_url is null. False when no script can be found,
  // fetched or run; *error is then why (a WinHTTP code such as 12167, ERROR_TIMEOUT when the
  // lookup outlasted its limit, ERROR_CANCELLED when give_up was set meanwhile). A lookup given
  // up on runs on, on a thread of its own, until WinHTTP returns; it is not waited for.
  bool Find(const std::string& url, const std::string* script_url, const std::atomic<bool>* give_up,
            std::string* proxy_list, DWORD* error);

  // The WinHTTP session that lookups share: closed once the finder and every lookup still
  // running have let it go.
  struct Session;

 private:
  bool Open(DWORD* error);

  std::shared_ptr<Session> session_;
};

// The name of a WinHTTP error code that proxy finding gives ("ERROR_WINHTTP_..."), or "".
const char* WinHttpErrorName(DWORD error);

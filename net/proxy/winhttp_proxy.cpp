#include "net/proxy/winhttp_proxy.h"

#include <winhttp.h>

#include <vector>

#include "base/system_library.h"
#include "base/wide_text.h"

namespace {
struct WinHttpFunctions {
  bool loaded = false;
  decltype(&::WinHttpOpen) Open = nullptr;
  decltype(&::WinHttpGetProxyForUrl) GetProxyForUrl = nullptr;
  decltype(&::WinHttpCloseHandle) CloseHandle = nullptr;
};

const WinHttpFunctions& WinHttp() {
  static const WinHttpFunctions functions = [] {
    WinHttpFunctions loaded;
    const HMODULE library = LoadSystemLibrary("winhttp.dll");
    loaded.loaded = library != nullptr && FindFunction(library, "WinHttpOpen", &loaded.Open) &&
                    FindFunction(library, "WinHttpGetProxyForUrl", &loaded.GetProxyForUrl) &&
                    FindFunction(library, "WinHttpCloseHandle", &loaded.CloseHandle);
    return loaded;
  }();
  return functions;
}

// The strings WinHTTP hands out belong to the caller.
class GlobalText {
 public:
  explicit GlobalText(wchar_t* text) : text_(text) {}
  ~GlobalText() {
    if (text_ != nullptr) GlobalFree(text_);
  }
  GlobalText(const GlobalText&) = delete;
  GlobalText& operator=(const GlobalText&) = delete;

 private:
  wchar_t* text_;
};
}  // namespace

WinHttpProxyFinder::~WinHttpProxyFinder() {
  if (session_ != nullptr) WinHttp().CloseHandle(session_);
}

bool WinHttpProxyFinder::Open(DWORD* error) {
  if (session_ != nullptr) return true;
  if (!WinHttp().loaded) {
    *error = ERROR_MOD_NOT_FOUND;
    return false;
  }
  session_ = WinHttp().Open(L"OrvexDownload", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                            WINHTTP_NO_PROXY_BYPASS, 0);
  if (session_ == nullptr) *error = GetLastError();
  return session_ != nullptr;
}

bool WinHttpProxyFinder::Find(const std::string& url, const std::string* script_url,
                              std::string* proxy_list, DWORD* error) {
  *error = 0;
  if (!Open(error)) return false;
  const WideText wide_url = Widen(url.c_str());
  const WideText wide_script = Widen(script_url != nullptr ? script_url->c_str() : "");
  WINHTTP_AUTOPROXY_OPTIONS options{};
  if (script_url != nullptr) {
    options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
    options.lpszAutoConfigUrl = wide_script.data();
  } else {
    options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
  }
  options.fAutoLogonIfChallenged = TRUE;
  WINHTTP_PROXY_INFO info{};
  if (!WinHttp().GetProxyForUrl(session_, wide_url.data(), &options, &info)) {
    *error = GetLastError();
    return false;
  }
  const GlobalText proxy(info.lpszProxy);
  const GlobalText bypass(info.lpszProxyBypass);
  if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && info.lpszProxy != nullptr) {
    *proxy_list = Narrow(info.lpszProxy);
  } else {
    *proxy_list = "DIRECT";
  }
  return true;
}

const char* WinHttpErrorName(DWORD error) {
  switch (error) {
    case ERROR_WINHTTP_UNABLE_TO_DOWNLOAD_SCRIPT:
      return "ERROR_WINHTTP_UNABLE_TO_DOWNLOAD_SCRIPT";
    case ERROR_WINHTTP_BAD_AUTO_PROXY_SCRIPT:
      return "ERROR_WINHTTP_BAD_AUTO_PROXY_SCRIPT";
    case ERROR_WINHTTP_AUTODETECTION_FAILED:
      return "ERROR_WINHTTP_AUTODETECTION_FAILED";
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
      return "ERROR_WINHTTP_UNRECOGNIZED_SCHEME";
    case ERROR_WINHTTP_INVALID_URL:
      return "ERROR_WINHTTP_INVALID_URL";
    case ERROR_WINHTTP_TIMEOUT:
      return "ERROR_WINHTTP_TIMEOUT";
    case ERROR_MOD_NOT_FOUND:
      return "winhttp.dll not loaded";
  }
  return "";
}

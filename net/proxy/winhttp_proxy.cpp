#include "net/proxy/winhttp_proxy.h"

#include <winhttp.h>

#include "base/owned_handle.h"
#include "base/system_library.h"
#include "base/thread.h"
#include "base/wide_text.h"
#include "net/socket/transfer_limits.h"

namespace {
struct WinHttpFunctions {
  bool loaded = false;
  decltype(&::WinHttpOpen) Open = nullptr;
  decltype(&::WinHttpSetTimeouts) SetTimeouts = nullptr;
  decltype(&::WinHttpGetProxyForUrl) GetProxyForUrl = nullptr;
  decltype(&::WinHttpCloseHandle) CloseHandle = nullptr;
};

const WinHttpFunctions& WinHttp() {
  static const WinHttpFunctions functions = [] {
    WinHttpFunctions loaded;
    const HMODULE library = LoadSystemLibrary("winhttp.dll");
    loaded.loaded = library != nullptr && FindFunction(library, "WinHttpOpen", &loaded.Open) &&
                    FindFunction(library, "WinHttpSetTimeouts", &loaded.SetTimeouts) &&
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

// A wait for a lookup is cut into slices this short, so that a cancel ends it at once to the
// user's eye.
constexpr DWORD kWaitSliceMs = 20;
}  // namespace

struct WinHttpProxyFinder::Session {
  explicit Session(void* opened) : handle(opened) {}
  ~Session() { WinHttp().CloseHandle(handle); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  void* const handle;
};

namespace {
// One lookup, shared by the thread that runs it and the caller that waits for it: whichever
// lets go last frees it, and with it perhaps the session.
struct Lookup {
  std::shared_ptr<WinHttpProxyFinder::Session> session;
  std::string url;
  std::string script_url;  // empty: detection
  OwnedHandle done;        // set once the results below are final
  bool found = false;
  std::string proxy_list;
  DWORD error = 0;
};

void RunLookup(void* argument) {
  const std::unique_ptr<std::shared_ptr<Lookup>> held(
      static_cast<std::shared_ptr<Lookup>*>(argument));
  Lookup& lookup = **held;
  const WideText wide_url = Widen(lookup.url.c_str());
  const WideText wide_script = Widen(lookup.script_url.c_str());
  WINHTTP_AUTOPROXY_OPTIONS options{};
  if (!lookup.script_url.empty()) {
    options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
    options.lpszAutoConfigUrl = wide_script.data();
  } else {
    options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
  }
  // Whoever answers the script's URL (anyone on the LAN, for detection) must not get the
  // user's logon: a script server that asks for credentials ends the lookup with an error.
  options.fAutoLogonIfChallenged = FALSE;
  WINHTTP_PROXY_INFO info{};
  if (WinHttp().GetProxyForUrl(lookup.session->handle, wide_url.data(), &options, &info)) {
    const GlobalText proxy(info.lpszProxy);
    const GlobalText bypass(info.lpszProxyBypass);
    lookup.found = true;
    lookup.proxy_list =
        info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && info.lpszProxy != nullptr
            ? Narrow(info.lpszProxy)
            : "DIRECT";
  } else {
    lookup.error = GetLastError();
  }
  SetEvent(lookup.done.Get());
}
}  // namespace

WinHttpProxyFinder::WinHttpProxyFinder() = default;
WinHttpProxyFinder::~WinHttpProxyFinder() = default;

bool WinHttpProxyFinder::Open(DWORD* error) {
  if (session_) return true;
  if (!WinHttp().loaded) {
    *error = ERROR_MOD_NOT_FOUND;
    return false;
  }
  void* handle = WinHttp().Open(L"OrvexDownload", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  if (handle == nullptr) {
    *error = GetLastError();
    return false;
  }
  session_ = std::make_shared<Session>(handle);
  // Each step of fetching the script: the name lookup, the connect, the request, each receive.
  const int step = static_cast<int>(kProxyLookupStepMs);
  WinHttp().SetTimeouts(handle, step, step, step, step);
  return true;
}

bool WinHttpProxyFinder::Find(const std::string& url, const std::string* script_url,
                              const std::atomic<bool>* give_up, std::string* proxy_list,
                              DWORD* error) {
  *error = 0;
  if (!Open(error)) return false;
  auto lookup = std::make_shared<Lookup>();
  lookup->session = session_;
  lookup->url = url;
  if (script_url != nullptr) lookup->script_url = *script_url;
  lookup->done.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  auto* for_thread = new std::shared_ptr<Lookup>(lookup);
  if (!lookup->done.Valid() || !StartDetachedThread(RunLookup, for_thread)) {
    *error = GetLastError();
    delete for_thread;
    return false;
  }
  const DWORD began = GetTickCount();
  while (WaitForSingleObject(lookup->done.Get(), kWaitSliceMs) != WAIT_OBJECT_0) {
    if (give_up != nullptr && *give_up) {
      *error = ERROR_CANCELLED;
      return false;
    }
    if (GetTickCount() - began >= kProxyLookupLimitMs) {
      *error = ERROR_TIMEOUT;
      return false;
    }
  }
  if (!lookup->found) {
    *error = lookup->error;
    return false;
  }
  *proxy_list = lookup->proxy_list;
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
    case ERROR_WINHTTP_LOGIN_FAILURE:
      return "ERROR_WINHTTP_LOGIN_FAILURE";
    case ERROR_TIMEOUT:
      return "no answer within the lookup's limit";
    case ERROR_CANCELLED:
      return "cancelled";
    case ERROR_MOD_NOT_FOUND:
      return "winhttp.dll not loaded";
  }
  return "";
}

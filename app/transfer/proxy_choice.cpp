#include "app/transfer/proxy_choice.h"

#include <windows.h>

#include <vector>

#include "app/report/log_text.h"
#include "base/registry_key.h"
#include "net/proxy/proxy_settings.h"

namespace {
constexpr char kInternetSettingsKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr char kConnectionsKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";

std::string ReadText(const RegistryKey& key, const char* name) {
  std::vector<char> text(4096, '\0');
  DWORD size = static_cast<DWORD>(text.size() - 1);
  DWORD type = 0;
  if (!key.QueryValue(name, text.data(), &size, &type)) return "";
  if (type != REG_SZ && type != REG_EXPAND_SZ) return "";
  return std::string(text.data());
}

std::string WinHttpError(DWORD error) {
  const char* name = WinHttpErrorName(error);
  std::string text = "error " + std::to_string(error);
  if (*name != '\0') text += std::string(" (") + name + ")";
  return text;
}

ProxyRoute DirectRoute(RouteSource source) {
  ProxyRoute route;
  route.source = source;
  return route;
}
}  // namespace

ProxyChooser::ProxyChooser(RunLog& log, const CancelSignal& cancel) : log_(&log), cancel_(cancel) {
  RegistryKey settings;
  if (settings.Open(HKEY_CURRENT_USER, kInternetSettingsKey, KEY_READ)) {
    std::uint32_t enable = 0;
    enabled_ = settings.QueryNumber("ProxyEnable", &enable) && enable != 0;
    server_ = ReadText(settings, "ProxyServer");
    override_ = ReadText(settings, "ProxyOverride");
    script_url_ = ReadText(settings, "AutoConfigURL");
  }
  RegistryKey connections;
  if (connections.Open(HKEY_CURRENT_USER, kConnectionsKey, KEY_READ)) {
    unsigned char blob[1024];
    DWORD size = sizeof blob;
    detect_ = connections.QueryValue("DefaultConnectionSettings", blob, &size) &&
              ConnectionSettingsAskDetection(blob, size);
  }
  if (enabled_ || !script_url_.empty() || detect_) {
    log_->Write(
        "proxy settings: ProxyEnable %d, ProxyServer \"%s\", ProxyOverride \"%s\", "
        "AutoConfigURL \"%s\", automatic detection %s",
        enabled_ ? 1 : 0, RedactProxySetting(server_).c_str(), override_.c_str(),
        RedactUrl(script_url_).c_str(), detect_ ? "on" : "off");
  }
}

ProxyChooser::~ProxyChooser() = default;

ProxyRoute ProxyChooser::Logged(const std::string& url_text, ProxyRoute route,
                                const std::string& why) {
  if (route.IsDirect()) {
    log_->Write("route for %s: direct (%s)", RedactUrl(url_text).c_str(), why.c_str());
  } else {
    log_->Write("route for %s: proxy %s (%s)", RedactUrl(url_text).c_str(), route.Text().c_str(),
                why.c_str());
  }
  return route;
}

bool ProxyChooser::AskWinHttp(const std::string& url_text, const Url& url,
                              const std::string* script_url, ProxyRoute* route, std::string* why) {
  const std::string origin = url.Scheme + "://" + url.Host + ":" + std::to_string(url.Port);
  const std::string key = (script_url != nullptr ? "script " : "detection ") + origin;
  for (const Answer& known : answers_) {
    if (known.origin != key) continue;
    *route = known.route;
    *why = known.why + ", as for " + RedactUrl(origin) + " before";
    return true;
  }
  if (!finder_) finder_ = std::make_unique<WinHttpProxyFinder>();
  std::string list;
  DWORD error = 0;
  if (!finder_->Find(url_text, script_url, &cancel_.Flag(), &list, &error)) {
    *why = WinHttpError(error);
    return false;
  }
  route->hops = ParseProxyList(list);
  route->source = script_url != nullptr ? RouteSource::Script : RouteSource::Detection;
  *why = script_url != nullptr ? "script " + RedactUrl(*script_url) : std::string("detection");
  if (route->hops.empty()) *why += " gave no proxy this program can use";
  answers_.push_back({key, *route, *why});
  return true;
}

ProxyRoute ProxyChooser::RouteFor(const std::string& url_text, const Url& url, RunLog* log) {
  LockGuard guard(lock_);
  RunLog* const run_log = log_;
  if (log != nullptr) log_ = log;
  ProxyRoute route = Choose(url_text, url);
  log_ = run_log;
  return route;
}

ProxyRoute ProxyChooser::Choose(const std::string& url_text, const Url& url) {
  if (!enabled_ && script_url_.empty() && !detect_) {
    return Logged(url_text, DirectRoute(RouteSource::None), "no proxy set");
  }
  if (IsLoopbackHost(url.Host)) return Logged(url_text, DirectRoute(RouteSource::None), "loopback");
  ProxyRoute route;
  std::string why;
  const std::string cancelled = "cancelled during the proxy lookup";
  if (detect_ && !detection_failed_) {
    if (AskWinHttp(url_text, url, nullptr, &route, &why)) return Logged(url_text, route, why);
    if (cancel_.IsSet()) return Logged(url_text, DirectRoute(RouteSource::Detection), cancelled);
    detection_failed_ = true;
    log_->Write("automatic proxy detection found no script: %s", why.c_str());
  }
  if (!script_url_.empty()) {
    if (script_failure_.empty()) {
      if (AskWinHttp(url_text, url, &script_url_, &route, &why))
        return Logged(url_text, route, why);
      if (cancel_.IsSet()) return Logged(url_text, DirectRoute(RouteSource::Script), cancelled);
      script_failure_ = "script " + RedactUrl(script_url_) + " cannot be used: " + why;
    }
    // A script that cannot be fetched or run leaves no way but the direct one.
    return Logged(url_text, DirectRoute(RouteSource::Script), script_failure_);
  }
  if (!enabled_) return Logged(url_text, DirectRoute(RouteSource::None), "proxy not enabled");
  if (InBypassList(override_, url.Host)) {
    return Logged(url_text, DirectRoute(RouteSource::Settings), "settings: bypass list");
  }
  const bool https = url.IsHttps();
  std::string unusable;
  const std::optional<ProxyAddress> proxy = ProxyForScheme(server_, https, &unusable);
  if (!proxy) {
    // A proxy this program cannot use is named, and the way goes direct as for none.
    return Logged(
        url_text, DirectRoute(RouteSource::Settings),
        unusable.empty()
            ? std::string("settings: no proxy for ") + (https ? "https" : "http")
            : "settings: the proxy \"" + RedactProxySetting(unusable) + "\" cannot be used");
  }
  ProxyHop hop;
  hop.direct = false;
  hop.proxy = *proxy;
  route.hops = {hop};
  route.source = RouteSource::Settings;
  return Logged(url_text, route, "settings");
}

void LogHopFailed(RunLog& log, const ProxyHop& hop, const TransferResult& result) {
  const std::string way = hop.direct ? "the direct connection" : "proxy " + hop.proxy.Text();
  log.Write("%s failed (%s), %s; trying the next way", way.c_str(), TransferErrorName(result.error),
            ErrorText(static_cast<DWORD>(result.system_error)).c_str());
}

void LogProxyFailure(RunLog& log, const HttpRequest& transfer) {
  const ProxyAddress* proxy = transfer.ProxyUsed();
  if (proxy == nullptr) return;
  const TransferResult& result = transfer.Result();
  if (result.error == TransferError::ProxyAuthRequired) {
    const std::string& offered = transfer.ProxyAuthOffered();
    log.Write("proxy %s (%s) answered status %d, Proxy-Authenticate: %s", proxy->Text().c_str(),
              RouteSourceName(transfer.Route().source), result.http_status,
              offered.empty() ? "none" : offered.c_str());
  } else {
    log.Write("the transfer's way: proxy %s (%s)", proxy->Text().c_str(),
              RouteSourceName(transfer.Route().source));
  }
}

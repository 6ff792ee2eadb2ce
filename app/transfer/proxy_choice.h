// Which way each URL of a run takes, from the user's proxy settings under Internet Settings
// (read once per run), as the system's own HTTP stacks choose it: loopback names always go
// direct; then automatic detection when the connection settings ask for it, then the
// auto-config script AutoConfigURL names, then ProxyServer with its bypass list ProxyOverride
// when ProxyEnable is set. Every choice goes to the log. A script lookup that a confirmed cancel
// meets is abandoned at once. What a script or detection chose holds for the rest of the run
// for every URL of the same scheme, host and port: each file does not run the script again.
// The package's lanes ask for ways at the same time: one choice is made at a time.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/report/run_log.h"
#include "app/transfer/cancel_signal.h"
#include "net/http/url.h"
#include "net/proxy/proxy_route.h"
#include "net/proxy/winhttp_proxy.h"
#include "net/request/http_request.h"

class ProxyChooser {
 public:
  ProxyChooser(RunLog& log, const CancelSignal& cancel);
  ~ProxyChooser();
  ProxyChooser(const ProxyChooser&) = delete;
  ProxyChooser& operator=(const ProxyChooser&) = delete;

  // The way for the URL, logged with why (into log, when given: a file's own); after a cancel
  // during a script lookup, the direct way, which the caller does not take.
  ProxyRoute RouteFor(const std::string& url_text, const Url& url, RunLog* log = nullptr);

 private:
  ProxyRoute Choose(const std::string& url_text, const Url& url);
  // The script's (or detection's) route for the URL; false when there is no answer.
  bool AskWinHttp(const std::string& url_text, const Url& url, const std::string* script_url,
                  ProxyRoute* route, std::string* why);
  ProxyRoute Logged(const std::string& url_text, ProxyRoute route, const std::string& why);

  CriticalSectionLock lock_;
  RunLog* log_;  // the run's, or during a choice the log it was asked for
  const CancelSignal& cancel_;
  bool enabled_ = false;
  std::string server_;
  std::string override_;
  std::string script_url_;
  bool detect_ = false;
  std::unique_ptr<WinHttpProxyFinder> finder_;
  // A script that could not be had once is not asked for again in the same run.
  bool detection_failed_ = false;
  std::string script_failure_;
  // The script's or detection's answers so far (a run asks for a few origins).
  struct Answer {
    std::string origin;  // who answered ("script " or "detection "), scheme, host and port
    ProxyRoute route;
    std::string why;
  };
  std::vector<Answer> answers_;
};

// The log's lines for a transfer that went through a proxy: a hop that gave way to the next,
// and the end of a failed transfer (the proxy, and for a 407 its status and schemes).
void LogHopFailed(RunLog& log, const ProxyHop& hop, const TransferResult& result);
void LogProxyFailure(RunLog& log, const HttpRequest& transfer);

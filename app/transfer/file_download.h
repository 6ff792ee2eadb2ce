// The run's side of one file's transfer: stores the body in a new file of the temporary folder,
// held open for the run, follows redirects (each one a new request along its own way), tries
// again after a failure that may pass (continuing a file that was cut short where the server
// allows it), shows the transfer in the run's view (current-file line, status line, progress
// bar and the line under it) with a message for a failure that stays, and logs every request.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "app/report/outcome.h"
#include "app/report/run_view.h"
#include "app/transfer/cancel_signal.h"
#include "app/transfer/proxy_choice.h"
#include "base/held_file.h"
#include "base/output_file.h"
#include "net/request/http_request.h"
#include "net/request/redirect.h"

class FileDownload : public HttpRequest {
 public:
  // folder: where the file goes, without a trailing backslash; empty means the program's
  // folder. view and cancel outlive the transfer.
  FileDownload(const char* url_text, RunView& view, const std::string& folder,
               CancelSignal& cancel);
  ~FileDownload() override;

  // Each request's way, the first URL's and every redirect target's, from the proxy settings;
  // without a chooser every request goes direct.
  void ChooseRoutesWith(ProxyChooser& proxies);

  // The transfer, on the calling thread; a cancel meanwhile aborts it. A redirect is followed
  // with a request to its target (redirect.h says which); the file keeps the name the URL asked
  // for gives it. A transient failure is tried again, up to kTransferTries in all, from the
  // first URL, after a pause that a cancel ends at once (the transfer then counts as
  // cancelled). Returns TransferOutcome().
  Outcome Fetch();

  // The file's full path, once the transfer has begun.
  const std::string& DestinationFile() const { return DestinationPath; }
  // The downloaded file, still open as the transfer wrote it, so that what the run checks and
  // uses later is what arrived; read after a transfer that succeeded. Without a taker the file
  // is closed with this object.
  HeldFile TakeFile();
  // How the transfer ended, read after it has: a cancelled one counts as succeeded.
  Outcome TransferOutcome() const;
  // Whether the file came whole over https, every connection's certificate checked (no https
  // transfer skips the check): every request of the try that fetched it, the first URL's and
  // each redirect target's. What lets it vouch for what it says.
  bool FetchedOverHttps() const;
  // For a file that vouches for others (a signature, the sums): a reply that says it is not
  // there (404, 410) is the caller's to tell, not message 3's.
  void LeaveMissingToCaller() { missing_left_to_caller_ = true; }
  // For a file of a known kind with a limit of its size (a signature, the sums): a reply that
  // announces more is refused before its body, one that brings more as soon as it does. The
  // transfer ends, nothing more is written, and OverLimit() tells.
  void LimitSize(std::uint64_t limit) { limit_ = limit; }
  bool OverLimit() const { return over_limit_; }
  // For a package file: its handle may move it (MoveHeldFile) into the installation.
  void MakeMovable() { movable_ = true; }
  // For a file fetched beside others on a connection of its own: when the server refuses the
  // connection or answers 503, the transfer ends at once, with nothing shown, and GivenBack()
  // tells; a later Fetch fetches it again into the same file.
  void GiveBackIfRefused(bool give_back) { give_back_ = give_back; }
  bool GivenBack() const { return given_back_; }
  // The folder's final path (FinalPathOf its held handle), when the run knows it: the new file
  // is checked against it instead of the folder being looked up for each file.
  void SetFolderFinalPath(const std::string& final_path) { folder_final_ = final_path; }

 protected:
  bool OnStart() override;
  void OnFinish() override;
  void OnError(const TransferResult& result) override;
  bool OnData(const char* data, int length) override;
  void OnHopFailed(const ProxyHop& hop, const TransferResult& result) override;
  void OnServerSilent(bool silent) override { view_.ServerWaiting(silent); }
  void OnAddressTried(const std::string& host, const SocketAddress& address, long error) override;
  void OnKeptConnection(bool gave_out) override;

 private:
  // One try: the request, and one more for each redirect followed.
  void FetchFollowingRedirects();
  bool OpenDestination();
  // Empties the file for a try that fetches it whole again.
  bool StartOver();
  // After a failed try that is tried again: whether the next one asks for the rest only.
  void ChooseNextRequest();
  void ShowRetryNotice();
  void ReportUnwritableDestination();
  // Whether a reply's first block, or the next length bytes, would take the file over its limit.
  bool OverLimitWith(std::uint64_t length) const;
  void ShowFailureMessage();
  void LogTransfer();
  // DestinationPath as the log shows it.
  std::string LoggedDestination() const;

  OutputFile file_;
  RunView& view_;
  CancelSignal& cancel_;
  const std::string first_url_;  // the URL asked for; every try starts there
  const std::string file_name_;  // the name it gives the file, wherever redirects lead
  std::string url_text_;         // of the request under way, as the log shows it (RedactUrl)
  ProxyChooser* proxies_ = nullptr;
  ProxyRoute first_route_;
  int redirects_ = 0;  // followed in the running try
  // Set by a reply that is a redirect to be followed: the target.
  std::optional<std::string> next_url_;
  // A redirect that is not followed, and what the log says of it.
  std::optional<TransferResult> redirect_failure_;
  RedirectStep refused_redirect_;
  bool every_hop_https_ = false;
  bool FirstBlock = true;
  bool connected_ = false;  // the running request's connection (to the server or a proxy)
  std::string DestinationPath;
  std::chrono::steady_clock::time_point try_started_;
  std::uint64_t bytes_stored_ = 0;  // in the file, of the version being fetched
  int try_ = 0;                     // tries made so far, the running one included
  std::uint64_t try_bytes_ = 0;     // stored by the running try
  // Set when the running try failed in a way worth another: the pause before it.
  std::optional<std::uint32_t> retry_pause_ms_;
  // A cancel came between requests: in the pause before a try, or before a redirect's.
  bool cancelled_between_ = false;
  // The destination could not be created or written, and why (the system's code).
  bool store_failed_ = false;
  DWORD store_error_ = 0;
  // Why the name the URL gives is no file name; null while it is one.
  const char* name_problem_ = nullptr;
  // The message of a failure that stays (its string id), shown once the log has the
  // transfer's lines; 0 for none.
  unsigned failure_message_ = 0;
  bool missing_left_to_caller_ = false;
  std::uint64_t limit_ = 0;  // none when 0
  bool over_limit_ = false;
  bool movable_ = false;
  bool give_back_ = false;
  bool given_back_ = false;
  std::string folder_final_;
};

// The run's side of one file's transfer: stores the body in a new file of the temporary folder,
// held open for the run, tries again after a failure that may pass (continuing a file that was
// cut short where the server allows it), shows the transfer in the run's view (current-file
// line, status line, progress bar and the line under it) with a message for a failure that
// stays, and logs every try.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "app/report/outcome.h"
#include "app/report/run_view.h"
#include "app/transfer/cancel_signal.h"
#include "base/held_file.h"
#include "base/output_file.h"
#include "net/request/http_request.h"

class FileDownload : public HttpRequest {
 public:
  // folder: where the file goes, without a trailing backslash; empty means the program's
  // folder. view and cancel outlive the transfer.
  FileDownload(const char* url_text, RunView& view, const std::string& folder,
               CancelSignal& cancel);
  ~FileDownload() override;

  // Starts the transfer and waits for it; a cancel meanwhile aborts it. A transient failure is
  // tried again, up to kTransferTries in all, after a pause that a cancel ends at once (the
  // transfer then counts as cancelled). A transfer that cannot even start (no socket, no
  // thread) fetched nothing and must not pass for a completed one: it is reported like a
  // server that cannot be reached. Returns TransferOutcome().
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
  // transfer skips the check): what lets it vouch for what it says.
  bool FetchedOverHttps() const;
  // For a file that vouches for others (a signature, the sums): a reply that says it is not
  // there (404, 410) is the caller's to tell, not message 3's.
  void LeaveMissingToCaller() { missing_left_to_caller_ = true; }

 protected:
  bool OnStart() override;
  void OnFinish() override;
  void OnError(const TransferResult& result) override;
  bool OnData(const char* data, int length) override;
  void OnHopFailed(const ProxyHop& hop, const TransferResult& result) override;

 private:
  bool OpenDestination();
  // Empties the file for a try that fetches it whole again.
  bool StartOver();
  // After a failed try that is tried again: whether the next one asks for the rest only.
  void ChooseNextRequest();
  void ShowRetryNotice();
  void ReportUnwritableDestination();
  void LogTransfer();
  // DestinationPath as the log shows it.
  std::string LoggedDestination() const;

  OutputFile file_;
  RunView& view_;
  CancelSignal& cancel_;
  std::string url_text_;  // as the log shows it (RedactUrl)
  bool FirstBlock = true;
  std::string DestinationPath;
  std::chrono::steady_clock::time_point try_started_;
  std::uint64_t bytes_stored_ = 0;  // in the file, of the version being fetched
  int try_ = 0;                     // tries made so far, the running one included
  std::uint64_t try_bytes_ = 0;     // stored by the running try
  // Set when the running try failed in a way worth another: the pause before it.
  std::optional<std::uint32_t> retry_pause_ms_;
  bool cancelled_in_pause_ = false;
  // The destination could not be created or written, and why (the system's code).
  bool store_failed_ = false;
  DWORD store_error_ = 0;
  bool not_started_ = false;
  bool missing_left_to_caller_ = false;
};

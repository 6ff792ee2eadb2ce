// The run's side of one transfer: stores the body in a new file of the temporary folder, held
// open for the run, shows the transfer in the run's view (current-file line, status line,
// progress bar) with a message for each failure, and logs it.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "app/cancel_signal.h"
#include "app/run_result.h"
#include "app/run_view.h"
#include "base/held_file.h"
#include "base/output_file.h"
#include "net/http_request.h"

class FileDownload : public HttpRequest {
 public:
  // folder: where the file goes, without a trailing backslash; empty means the program's
  // folder. view and cancel outlive the transfer.
  FileDownload(const char* url_text, RunView& view, const std::string& folder,
               CancelSignal& cancel);
  ~FileDownload() override;

  // Starts the transfer and waits for it; a cancel meanwhile aborts it. A transfer that cannot
  // even start (no socket, no thread) fetched nothing and must not pass for a completed one:
  // it is reported like a server that cannot be reached. Returns GetOutcome().
  Outcome Fetch();

  const std::string& GetDestinationPath() const { return DestinationPath; }
  // The downloaded file, still open as the transfer wrote it, so that what the run checks and
  // uses later is what arrived; read after a transfer that succeeded. Without a taker the file
  // is closed with this object.
  HeldFile TakeFile();
  // How the transfer ended, read after it has: a cancelled one counts as succeeded.
  Outcome GetOutcome() const;

 protected:
  bool OnStart() override;
  void OnFinish() override;
  void OnError(const TransferResult& result) override;
  bool OnData(const char* data, int length) override;
  void OnHopFailed(const ProxyHop& hop, const TransferResult& result) override;

 private:
  bool OpenDestination();
  void ReportUnwritableDestination();
  void LogTransfer();
  // DestinationPath as the log shows it.
  std::string LoggedDestination() const;

  OutputFile file;
  RunView& view_;
  CancelSignal& cancel_;
  std::string url_text_;  // as the log shows it (RedactUrl)
  bool FirstBlock = true;
  std::string DestinationPath;
  std::chrono::steady_clock::time_point started_;
  std::uint64_t bytes_stored_ = 0;
  // The destination could not be created or written, and why (the system's code).
  bool store_failed_ = false;
  DWORD store_error_ = 0;
  bool not_started_ = false;
};

// The run's side of one transfer: stores the body in a file of the temporary folder, shows the
// transfer in the run's view (current-file line, status line, progress bar) with a message for
// each failure, and logs it.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "app/run_view.h"

#include "base/output_file.h"
#include "base/run_result.h"
#include "net/http_request.h"

class FileDownload : public HttpRequest {
 public:
  // folder: where the file goes, without a trailing backslash; empty means the program's
  // folder. view outlives the transfer.
  FileDownload(const char* url_text, RunView& view, const std::string& folder);
  ~FileDownload() override;

  const std::string& GetDestinationPath() const { return DestinationPath; }
  // How the transfer ended, read after it has.
  Outcome GetOutcome() const;

 protected:
  bool OnStart() override;
  void OnFinish() override;
  void OnError(int code) override;
  bool OnData(const char* data, int length) override;

 private:
  bool OpenDestination();
  void ReportUnwritableDestination();
  void LogTransfer();

  OutputFile file;
  RunView& View;
  std::string UrlText;
  bool FirstBlock = true;
  std::string DestinationPath;
  std::chrono::steady_clock::time_point Started;
  std::uint64_t BytesStored = 0;
  DWORD LastError = 0;  // the system's code for the failure, 0 when none is known
};

// The progress page's side of one transfer: stores the body in a file of the temporary folder
// and shows the transfer in the progress dialog (current-file line, status line, progress bar),
// with a message box for each failure.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/output_file.h"
#include "base/run_result.h"
#include "net/http_request.h"

class FileDownload : public HttpRequest {
 public:
  // folder: where the file goes, without a trailing backslash; empty means the program's
  // folder. dialog may be null: then no control is touched and message boxes have no owner.
  FileDownload(const char* url_text, HWND dialog, const std::string& folder);
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
  // Queues a message for the progress bar: the transfer never waits for the page's thread,
  // and the bar takes its messages in the order they were sent.
  void PostToBar(UINT message, WPARAM wparam, LPARAM lparam) const;
  void ShowPosition(bool final);

  OutputFile file;
  HWND DialogWindow;
  HWND ProgressBar = nullptr;
  bool FirstBlock = true;
  std::string DestinationPath;
  // Body bytes stored, and what the bar was last told and when.
  std::uint32_t Position = 0;
  std::uint32_t Range = 0;
  std::uint32_t ShownPosition = 0;
  DWORD ShownAt = 0;
};

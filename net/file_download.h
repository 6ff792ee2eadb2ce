// Downloads one URL into one file in the temporary folder and shows the transfer in the
// progress dialog: current-file line, status line and progress bar.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "net/http_request.h"

class FileDownload : public HttpRequest {
 public:
  // dialog may be null: then no control is touched and message boxes have no owner.
  FileDownload(const char* url_text, HWND dialog);
  ~FileDownload() override;

  const std::string& GetDestinationPath() const { return DestinationPath; }

 protected:
  bool OnStart() override;
  void OnFinish() override;
  void OnError(int code) override;
  bool OnData(const char* data, int length) override;

 private:
  bool OpenDestination();
  void ReportUnwritableDestination();

  std::FILE* file = nullptr;
  HWND DialogWindow;
  bool FirstBlock = true;
  std::string DestinationPath;
};

#include "app/file_download.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>

#include "app/message_texts.h"
#include "app/program_folder.h"
#include "app/resources/resource.h"
#include "app/shared_state.h"
#include "base/plain_names.h"

namespace {

constexpr const char* kErrorCaption = "Error";

}  // namespace

FileDownload::FileDownload(const char* url_text, HWND dialog, const std::string& folder)
    : HttpRequest(url_text), DialogWindow(dialog), DestinationPath(folder) {}

FileDownload::~FileDownload() {
  // The transfer thread calls this object's hooks, so it must end before the members go.
  Stop();
}

bool FileDownload::OpenDestination() {
  if (DestinationPath.empty()) DestinationPath = ProgramFolder();
  DestinationPath += '\\';
  DestinationPath += url.FileName;
  // The name comes from the server: nothing may be written outside the folder.
  if (!IsPlainName(url.FileName.c_str())) return false;
  return file.Create(DestinationPath.c_str());
}

void FileDownload::ReportUnwritableDestination() {
  ShowResMessage(DialogWindow, IDS_CANNOT_CREATE_FILE, kErrorCaption, MB_ICONSTOP);
  ResultCode = ErrorReported;
}

bool FileDownload::OnStart() {
  if (!OpenDestination()) {
    ReportUnwritableDestination();
    return false;
  }
  if (DialogWindow == nullptr) return true;

  // The line is cut to the control's buffer rather than overrun it.
  char line[kPathBufferSize];
  std::snprintf(line, sizeof line, LoadResString(IDS_CURRENTLY_DOWNLOADING).c_str(),
                url.FileName.c_str());
  SetDlgItemTextA(DialogWindow, IDC_CURRENT_FILE, line);
  SetDlgItemTextA(DialogWindow, IDC_STATUS, LoadResString(IDS_CONNECTING).c_str());
  SendDlgItemMessageA(DialogWindow, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, 0);
  SendDlgItemMessageA(DialogWindow, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
  return true;
}

bool FileDownload::OnData(const char* data, int length) {
  if (FirstBlock) {
    if (DialogWindow != nullptr) {
      SetDlgItemTextA(DialogWindow, IDC_STATUS, LoadResString(IDS_DOWNLOAD_IN_PROGRESS).c_str());
      std::string content_length = headers.Lookup("content-length");
      if (!content_length.empty()) {
        // strtol saturates where atol would overflow; the bar's range is a signed 32-bit.
        long upper = std::strtol(content_length.c_str(), nullptr, 10);
        SendDlgItemMessageA(DialogWindow, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, upper);
      }
    }
    FirstBlock = false;
  }
  if (file.IsOpen()) {
    const bool stored = file.Write(data, static_cast<std::size_t>(length));
    if (DialogWindow != nullptr) {
      LRESULT position = SendDlgItemMessageA(DialogWindow, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0);
      SendDlgItemMessageA(DialogWindow, IDC_PROGRESS_BAR, PBM_SETPOS, position + length, 0);
    }
    // A full disk must not pass for a complete download.
    if (!stored) {
      ReportUnwritableDestination();
      return false;
    }
  }
  return !CancelRequested;
}

void FileDownload::OnFinish() {
  if (file.IsOpen()) {
    // A file that does not close cleanly may not hold what was written.
    if (!file.Close() && ResultCode == 0) ReportUnwritableDestination();
  }
  if (DialogWindow != nullptr) {
    SetDlgItemTextA(DialogWindow, IDC_CURRENT_FILE, "");
    SendDlgItemMessageA(DialogWindow, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
  }
}

Outcome FileDownload::GetOutcome() const {
  switch (ResultCode) {
    case 0:
      return {RunResult::Succeeded, 0};
    case ErrorResolve:
      return {RunResult::HostNotResolved, 0};
    case ErrorConnect:
      return {RunResult::CannotConnect, 0};
    case ErrorSend:
      return {RunResult::SendFailed, 0};
    case ErrorReceive:
      return {RunResult::ReplyCutShort, 0};
    case ErrorReported:
      return {RunResult::CannotStoreFile, 0};
  }
  return {RunResult::HttpStatus, ResultCode};
}

void FileDownload::OnError(int code) {
  ShowResMessage(DialogWindow, IDS_CANNOT_CONNECT, kErrorCaption, MB_ICONSTOP);
  ResultCode = code;
}

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
// The bar moves for every hundredth of the file, or after this long.
constexpr DWORD kPositionIntervalMs = 50;

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
  ProgressBar = GetDlgItem(DialogWindow, IDC_PROGRESS_BAR);
  PostToBar(PBM_SETRANGE32, 0, 0);
  PostToBar(PBM_SETPOS, 0, 0);
  ShownAt = GetTickCount();
  return true;
}

void FileDownload::PostToBar(UINT message, WPARAM wparam, LPARAM lparam) const {
  if (ProgressBar != nullptr) PostMessageA(ProgressBar, message, wparam, lparam);
}

void FileDownload::ShowPosition(bool final) {
  if (ProgressBar == nullptr || Position == ShownPosition) return;
  const DWORD now = GetTickCount();
  const std::uint32_t step = Range / 100 > 0 ? Range / 100 : 1;
  if (!final && Position - ShownPosition < step && now - ShownAt < kPositionIntervalMs &&
      Position < Range) {
    return;
  }
  PostToBar(PBM_SETPOS, static_cast<WPARAM>(Position), 0);
  ShownPosition = Position;
  ShownAt = now;
}

bool FileDownload::OnData(const char* data, int length) {
  if (FirstBlock) {
    if (DialogWindow != nullptr) {
      SetDlgItemTextA(DialogWindow, IDC_STATUS, LoadResString(IDS_DOWNLOAD_IN_PROGRESS).c_str());
      std::string content_length = headers.Lookup("content-length");
      if (!content_length.empty()) {
        // strtol saturates where atol would overflow; the bar's range is a signed 32-bit.
        long upper = std::strtol(content_length.c_str(), nullptr, 10);
        Range = upper > 0 ? static_cast<std::uint32_t>(upper) : 0;
        PostToBar(PBM_SETRANGE32, 0, upper);
      }
    }
    FirstBlock = false;
  }
  if (file.IsOpen()) {
    const bool stored = file.Write(data, static_cast<std::size_t>(length));
    Position += static_cast<std::uint32_t>(length);
    ShowPosition(false);
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
    ShowPosition(true);
    SetDlgItemTextA(DialogWindow, IDC_CURRENT_FILE, "");
    PostToBar(PBM_SETPOS, 0, 0);
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

#include "app/file_download.h"

#include <cstdlib>

#include "app/message_texts.h"
#include "app/program_folder.h"
#include "app/resources/resource.h"
#include "app/shared_state.h"
#include "base/plain_names.h"

FileDownload::FileDownload(const char* url_text, RunView& view, const std::string& folder)
    : HttpRequest(url_text), View(view), UrlText(url_text), DestinationPath(folder) {}

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
  LastError = GetLastError();
  View.Message(IDS_CANNOT_CREATE_FILE, kErrorCaption, MB_ICONSTOP);
  ResultCode = ErrorReported;
}

bool FileDownload::OnStart() {
  Started = std::chrono::steady_clock::now();
  if (!OpenDestination()) {
    ReportUnwritableDestination();
    View.Log().Write("GET %s: %s cannot be created, %s", UrlText.c_str(), DestinationPath.c_str(),
                     ErrorText(LastError).c_str());
    return false;
  }
  View.CurrentFile(url.FileName);
  View.Status(IDS_CONNECTING);
  View.ProgressRange(0);
  View.ProgressClear();
  return true;
}

bool FileDownload::OnData(const char* data, int length) {
  if (FirstBlock) {
    View.Status(IDS_DOWNLOAD_IN_PROGRESS);
    std::string content_length = headers.Lookup("content-length");
    if (!content_length.empty()) {
      // strtol saturates where atol would overflow; the bar's range is a signed 32-bit.
      View.ProgressRange(std::strtol(content_length.c_str(), nullptr, 10));
    }
    FirstBlock = false;
  }
  if (file.IsOpen()) {
    const bool stored = file.Write(data, static_cast<std::size_t>(length));
    if (stored) BytesStored += static_cast<std::uint64_t>(length);
    View.ProgressAdvance(length);
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
  View.CurrentFile("");
  View.ProgressClear();
  LogTransfer();
}

void FileDownload::LogTransfer() {
  const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - Started)
                           .count();
  std::string content_length = headers.Lookup("content-length");
  if (content_length.empty()) content_length = "none";
  const double mib_per_s =
      ms > 0 ? static_cast<double>(BytesStored) / 1048576.0 / (static_cast<double>(ms) / 1000.0)
             : 0.0;
  RunLog& log = View.Log();
  log.Write("GET %s: status %d, Content-Length %s, %llu bytes in %lld ms, %.2f MiB/s",
            UrlText.c_str(), headers.StatusCode, content_length.c_str(),
            static_cast<unsigned long long>(BytesStored), ms, mib_per_s);
  const Outcome outcome = GetOutcome();
  if (outcome.Succeeded()) {
    log.Write("wrote %s (%llu bytes)", DestinationPath.c_str(),
              static_cast<unsigned long long>(BytesStored));
  } else if (outcome.result == RunResult::HttpStatus) {
    log.Write("failed: %s %d", RunResultName(outcome.result), outcome.http_status);
  } else {
    // A reply cut short by the server's close is no error of the system's.
    log.Write("failed: %s, %s", RunResultName(outcome.result),
              LastError != 0 ? ErrorText(LastError).c_str() : "no system error");
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
  // The socket keeps the reason of a failed connect, send or receive; a name that cannot be
  // resolved leaves its reason in the thread's last error.
  if (code == ErrorResolve) {
    LastError = GetLastError();
  } else if (code == ErrorConnect && TlsError != 0) {
    LastError = static_cast<DWORD>(TlsError);  // the handshake's, or the certificate's refusal
  } else if (code < 0) {
    LastError = static_cast<DWORD>(socket.LastError());
  }
  View.Message(IDS_CANNOT_CONNECT, kErrorCaption, MB_ICONSTOP);
  ResultCode = code;
}

#include "app/file_download.h"

#include <climits>

#include "app/log_text.h"
#include "app/message_texts.h"
#include "app/program_folder.h"
#include "app/proxy_choice.h"
#include "app/resources/resource.h"
#include "base/held_file.h"
#include "base/plain_names.h"

FileDownload::FileDownload(const char* url_text, RunView& view, const std::string& folder,
                           CancelSignal& cancel)
    : HttpRequest(url_text),
      view_(view),
      cancel_(cancel),
      url_text_(RedactUrl(url_text)),
      DestinationPath(folder) {}

FileDownload::~FileDownload() {
  // The transfer thread calls this object's hooks, so it must end before the members go.
  Stop();
}

Outcome FileDownload::Fetch() {
  if (Start(false)) {
    const CancelSignal::Watch watch(cancel_, *this);
    Wait();
  } else {
    not_started_ = true;
    view_.Log().Write("GET %s: the transfer cannot start, %s", url_text_.c_str(),
                      ErrorText(GetLastError()).c_str());
    view_.Message(IDS_CANNOT_CONNECT, kErrorCaption, MB_ICONSTOP);
  }
  return GetOutcome();
}

bool FileDownload::OpenDestination() {
  if (DestinationPath.empty()) DestinationPath = ProgramFolder();
  const std::string folder = DestinationPath;
  DestinationPath += '\\';
  DestinationPath += url.FileName;
  // The name comes from the server: nothing may be written outside the folder.
  if (!IsPlainName(url.FileName.c_str())) return false;
  if (!file.CreateNew(DestinationPath.c_str())) return false;
  // What was created must be the new file in the folder itself, not something a link led to.
  if (IsEntryOfFolderAt(file.Handle(), folder, url.FileName.c_str())) return true;
  file.Close();
  SetLastError(ERROR_CANT_ACCESS_FILE);
  return false;
}

void FileDownload::ReportUnwritableDestination() {
  store_failed_ = true;
  store_error_ = GetLastError();
  view_.Message(IDS_CANNOT_CREATE_FILE, kErrorCaption, MB_ICONSTOP);
}

bool FileDownload::OnStart() {
  started_ = std::chrono::steady_clock::now();
  if (!OpenDestination()) {
    ReportUnwritableDestination();
    view_.Log().Write("GET %s: %s cannot be created, %s", url_text_.c_str(),
                      LoggedDestination().c_str(), ErrorText(store_error_).c_str());
    return false;
  }
  view_.CurrentFile(url.FileName);
  view_.Status(IDS_CONNECTING);
  view_.ProgressRange(0);
  view_.ProgressClear();
  return true;
}

bool FileDownload::OnData(const char* data, int length) {
  if (FirstBlock) {
    view_.Status(IDS_DOWNLOAD_IN_PROGRESS);
    // The bar's range is a signed 32-bit number: a longer file fills it at LONG_MAX.
    if (const std::optional<std::uint32_t> announced = ContentLength()) {
      view_.ProgressRange(*announced > LONG_MAX ? LONG_MAX : static_cast<long>(*announced));
    }
    FirstBlock = false;
  }
  if (file.IsOpen()) {
    const bool stored = file.Write(data, static_cast<std::size_t>(length));
    if (stored) bytes_stored_ += static_cast<std::uint64_t>(length);
    view_.ProgressAdvance(length);
    // A full disk must not pass for a complete download.
    if (!stored) {
      ReportUnwritableDestination();
      return false;
    }
  }
  return !cancel_.IsSet();
}

void FileDownload::OnFinish() {
  // The file stays open, held for whoever takes it.
  view_.CurrentFile("");
  view_.ProgressClear();
  LogTransfer();
}

void FileDownload::LogTransfer() {
  const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - started_)
                           .count();
  const std::optional<std::uint32_t> announced = ContentLength();
  const std::string content_length = announced ? std::to_string(*announced) : "none";
  const double mib_per_s =
      ms > 0 ? static_cast<double>(bytes_stored_) / 1048576.0 / (static_cast<double>(ms) / 1000.0)
             : 0.0;
  RunLog& log = view_.Log();
  log.Write("GET %s: status %d, Content-Length %s, %llu bytes in %lld ms, %.2f MiB/s",
            url_text_.c_str(), headers.StatusCode, content_length.c_str(),
            static_cast<unsigned long long>(bytes_stored_), ms, mib_per_s);
  const Outcome outcome = GetOutcome();
  const TransferResult& transfer = Result();
  if (outcome.Succeeded()) {
    log.Write("wrote %s (%llu bytes)", DestinationPath.c_str(),
              static_cast<unsigned long long>(bytes_stored_));
  } else if (outcome.result == RunResult::HttpStatus) {
    log.Write("failed: %s %d", RunResultName(outcome.result), outcome.http_status);
  } else if (store_failed_) {
    log.Write("failed: %s, %s", RunResultName(outcome.result), ErrorText(store_error_).c_str());
  } else if (transfer.error == TransferError::UnsupportedScheme) {
    log.Write("failed: %s (%s), unsupported scheme \"%s\"", RunResultName(outcome.result),
              TransferErrorName(transfer.error), url.Scheme.c_str());
  } else if (transfer.error == TransferError::Resolve) {
    // Only the lookup's own codes tell why; whatever else the system left there does not.
    const long error = transfer.system_error;
    const bool lookup_code = error >= WSAHOST_NOT_FOUND && error <= WSANO_DATA;
    log.Write("failed: %s (%s), the name %s cannot be resolved%s%s", RunResultName(outcome.result),
              TransferErrorName(transfer.error), RedactUrl(url.Host).c_str(),
              lookup_code ? ", " : "",
              lookup_code ? ErrorText(static_cast<DWORD>(error)).c_str() : "");
  } else {
    // A reply cut short by the server's close is no error of the system's.
    const DWORD error = static_cast<DWORD>(transfer.system_error);
    log.Write("failed: %s (%s), %s", RunResultName(outcome.result),
              TransferErrorName(transfer.error),
              error != 0 ? ErrorText(error).c_str() : "no system error");
  }
  if (!outcome.Succeeded()) LogProxyFailure(log, *this);
}

std::string FileDownload::LoggedDestination() const {
  // The name is the URL's last part, query string and all; no folder name holds a '?'.
  const std::size_t query = DestinationPath.find('?');
  if (query == std::string::npos || query + 1 == DestinationPath.size()) return DestinationPath;
  return DestinationPath.substr(0, query + 1) + "***";
}

HeldFile FileDownload::TakeFile() {
  return HeldFile{url.FileName, file.Release()};
}

Outcome FileDownload::GetOutcome() const {
  if (not_started_) return {RunResult::CannotConnect, 0};
  if (store_failed_) return {RunResult::CannotStoreFile, 0};
  return OutcomeOf(Result());
}

void FileDownload::OnError(const TransferResult& result) {
  if (result.error == TransferError::ProxyAuthRequired && ProxyUsed() != nullptr) {
    view_.Message(IDS_PROXY_AUTH, kErrorCaption, MB_ICONSTOP, ProxyUsed()->Text());
    return;
  }
  view_.Message(IDS_CANNOT_CONNECT, kErrorCaption, MB_ICONSTOP);
}

void FileDownload::OnHopFailed(const ProxyHop& hop, const TransferResult& result) {
  LogHopFailed(view_.Log(), hop, result);
}

#include "app/transfer/file_download.h"

#include <climits>

#include "app/inputs/program_folder.h"
#include "app/report/log_text.h"
#include "app/report/message_texts.h"
#include "app/report/progress_text.h"
#include "app/resources/resource.h"
#include "app/transfer/proxy_choice.h"
#include "app/transfer/transfer_retry.h"
#include "base/held_file.h"
#include "base/plain_names.h"

FileDownload::FileDownload(const char* url_text, RunView& view, const std::string& folder,
                           CancelSignal& cancel)
    : HttpRequest(url_text),
      view_(view),
      cancel_(cancel),
      first_url_(url_text != nullptr ? url_text : ""),
      file_name_(RequestUrl().FileName),
      url_text_(RedactUrl(first_url_)),
      DestinationPath(folder) {}

void FileDownload::ChooseRoutesWith(ProxyChooser& proxies) {
  proxies_ = &proxies;
  first_route_ = proxies.RouteFor(first_url_, RequestUrl(), &view_.Log());
  SetRoute(first_route_);
}

FileDownload::~FileDownload() {
  // The transfer thread calls this object's hooks, so it must end before the members go.
  Stop();
}

Outcome FileDownload::Fetch() {
  given_back_ = false;
  for (try_ = 1;; ++try_) {
    retry_pause_ms_.reset();
    if (redirects_ > 0) {
      // A later try asks the first URL again: where it leads may have changed.
      SetUrl(first_url_.c_str());
      SetRoute(first_route_);
      url_text_ = RedactUrl(first_url_);
      redirects_ = 0;
    }
    every_hop_https_ = RequestUrl().IsHttps();
    FetchFollowingRedirects();
    if (cancelled_between_ || !retry_pause_ms_) break;
    ChooseNextRequest();
    const std::optional<ResumePoint>& resume = State().resume;
    view_.Log().Write("try %d of %d failed, trying again in %lu ms, %s", try_, kTransferTries,
                      static_cast<unsigned long>(*retry_pause_ms_),
                      resume ? ("for the rest from byte " + std::to_string(resume->offset) +
                                " (If-Range " + EscapeControlBytes(resume->validator.value) + ")")
                                   .c_str()
                             : "from the start");
    ShowRetryNotice();
    if (cancel_.WaitFor(*retry_pause_ms_)) {
      // A cancel in the pause ends the file as a cancel during its transfer would.
      cancelled_between_ = true;
      view_.Log().Write("GET %s: cancelled before try %d", url_text_.c_str(), try_ + 1);
      break;
    }
  }
  return TransferOutcome();
}

void FileDownload::FetchFollowingRedirects() {
  for (;;) {
    next_url_.reset();
    {
      // On this thread: a thread for each request would cost more than many a small file.
      const CancelSignal::Watch watch(cancel_, *this);
      Perform(false);
    }
    if (!next_url_) return;
    if (cancel_.IsSet()) {
      cancelled_between_ = true;
      return;
    }
    ++redirects_;
    const std::string target = std::move(*next_url_);
    SetUrl(target.c_str());
    every_hop_https_ = every_hop_https_ && RequestUrl().IsHttps();
    url_text_ = RedactUrl(target);
    SetRoute(proxies_ != nullptr ? proxies_->RouteFor(target, RequestUrl(), &view_.Log())
                                 : ProxyRoute{});
    // The choice of the way may have taken a while (a proxy script): a cancel meanwhile
    // starts nothing more.
    if (cancel_.IsSet()) {
      cancelled_between_ = true;
      return;
    }
  }
}

void FileDownload::ChooseNextRequest() {
  const TransferError error = Result().error;
  if (error == TransferError::RangeRefused) {
    ResumeAt(std::nullopt);
    return;
  }
  const bool cut = error == TransferError::CutShort || error == TransferError::Stalled ||
                   error == TransferError::ReceiveFailed;
  // Any other failure brought no reply about the file: what is on disk stands as it was.
  if (!cut) return;
  ResumeAfter(bytes_stored_);
}

void FileDownload::ShowRetryNotice() {
  const unsigned text_id =
      Result().error == TransferError::HttpStatus ? IDS_RETRY_BUSY : IDS_RETRY_CONNECTION;
  view_.StatusText(
      FillIn(LoadResString(text_id), {std::to_string(try_ + 1), std::to_string(kTransferTries)}));
}

bool FileDownload::StartOver() {
  if (bytes_stored_ == 0) return true;
  bytes_stored_ = 0;
  if (file_.Truncate()) return true;
  ReportUnwritableDestination();
  return false;
}

bool FileDownload::OpenDestination() {
  if (DestinationPath.empty()) DestinationPath = ProgramFolder();
  const std::string folder = DestinationPath;
  DestinationPath += '\\';
  DestinationPath += file_name_;
  // The name comes from the server: nothing may be written outside the folder.
  name_problem_ = PlainNameProblem(file_name_.c_str());
  if (name_problem_ != nullptr) return false;
  if (!file_.CreateNew(DestinationPath.c_str(), movable_)) return false;
  // What was created must be the new file in the folder itself, not something a link led to.
  const bool in_folder = folder_final_.empty()
                             ? IsEntryOfFolderAt(file_.Handle(), folder, file_name_.c_str())
                             : IsEntryOf(file_.Handle(), folder_final_, file_name_.c_str());
  if (in_folder) return true;
  file_.Close();
  SetLastError(ERROR_CANT_ACCESS_FILE);
  return false;
}

void FileDownload::ReportUnwritableDestination() {
  store_failed_ = true;
  store_error_ = GetLastError();
  failure_message_ = IDS_CANNOT_CREATE_FILE;
}

void FileDownload::ShowFailureMessage() {
  const unsigned text_id = failure_message_;
  failure_message_ = 0;
  if (text_id == IDS_PROXY_AUTH && ProxyUsed() != nullptr) {
    view_.Message(text_id, kErrorCaption, MB_ICONSTOP, ProxyUsed()->Text());
  } else if (text_id != 0) {
    view_.Message(text_id, kErrorCaption, MB_ICONSTOP);
  }
}

bool FileDownload::OnStart() {
  const auto now = std::chrono::steady_clock::now();
  try_started_ = now;
  try_bytes_ = 0;
  FirstBlock = true;
  connected_ = false;
  // A redirect's request follows one whose reply stored nothing: the file stays as it is.
  const bool first_request = redirects_ == 0;
  // A file given back is fetched again into the file already made.
  if (first_request && try_ <= 1 && !file_.IsOpen()) {
    if (!OpenDestination()) {
      ReportUnwritableDestination();
      if (name_problem_ != nullptr) {
        view_.Log().Write("GET %s: the file name \"%s\" is refused: %s", url_text_.c_str(),
                          file_name_.c_str(), name_problem_);
      } else {
        view_.Log().Write("GET %s: %s cannot be created, %s", url_text_.c_str(),
                          LoggedDestination().c_str(), ErrorText(store_error_).c_str());
      }
      ShowFailureMessage();
      return false;
    }
  } else if (first_request && !State().resume && !StartOver()) {
    // A file that cannot be emptied must not take a second version after the first.
    view_.Log().Write("GET %s: %s cannot be emptied, %s", url_text_.c_str(),
                      LoggedDestination().c_str(), ErrorText(store_error_).c_str());
    ShowFailureMessage();
    return false;
  }
  view_.CurrentFile(file_name_);
  view_.Status(IDS_CONNECTING);
  // A try that continues the file keeps the bar where the last one left it.
  if (!State().resume) {
    view_.ProgressRange(std::nullopt);
    view_.ProgressClear();
  }
  return true;
}

bool FileDownload::OverLimitWith(std::uint64_t length) const {
  if (limit_ == 0) return false;
  // A reply for the rest of the file adds to what is stored; any other replaces it.
  const std::uint64_t kept = State().resume && State().continues_file ? bytes_stored_ : 0;
  const std::optional<std::uint32_t>& announced = State().content_length;
  if (FirstBlock && announced && kept + *announced > limit_) return true;
  return (FirstBlock ? kept : bytes_stored_) + length > limit_;
}

bool FileDownload::OnData(const char* data, int length) {
  if (OverLimitWith(static_cast<std::uint64_t>(length))) {
    over_limit_ = true;
    return false;
  }
  if (FirstBlock) {
    FirstBlock = false;
    view_.Status(IDS_DOWNLOAD_IN_PROGRESS);
    if (State().resume && State().continues_file) {
      view_.ProgressRange(State().resume->total, State().resume->offset);
    } else {
      // Asked for the rest, the server sends the whole file (a new version, or no ranges):
      // it replaces what is on disk, and the bar starts again.
      const bool replaces = bytes_stored_ > 0;
      if (!StartOver()) return false;
      BeginFileVersion();
      const std::optional<std::uint32_t>& total = State().version.total;
      if (total || replaces) view_.ProgressRange(total);
    }
  }
  if (file_.IsOpen()) {
    const bool stored = file_.Write(data, static_cast<std::size_t>(length));
    if (stored) {
      bytes_stored_ += static_cast<std::uint64_t>(length);
      try_bytes_ += static_cast<std::uint64_t>(length);
    }
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
  LogTransfer();
  // The log tells the failure before the user's message does.
  ShowFailureMessage();
  // The redirect's target is asked at once, for the same file.
  if (next_url_) return;
  // Through the pause before the next try the page still shows the file and how far it got,
  // with no speed: nothing arrives meanwhile.
  if (retry_pause_ms_) {
    if (bytes_stored_ > 0) {
      const std::uint64_t shown = bytes_stored_ < UINT32_MAX ? bytes_stored_ : UINT32_MAX;
      view_.ProgressRange(State().version.total, static_cast<std::uint32_t>(shown));
    }
    return;
  }
  // The file stays open, held for whoever takes it.
  view_.CurrentFile("");
  view_.ProgressClear();
}

void FileDownload::LogTransfer() {
  const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - try_started_)
                           .count();
  // A request that never went out (no connection, or no TLS over it) has no line of its own:
  // the connect's lines and the failure's tell why.
  const bool sent = connected_ && Result().error != TransferError::TlsRefused;
  // As the reply sent it, whatever its status.
  const std::string content_length = ReplyHeaders().Contains("Content-Length")
                                         ? ReplyHeaders().Lookup("Content-Length")
                                         : std::string("none");
  const double mib_per_s =
      ms > 0 ? static_cast<double>(try_bytes_) / 1048576.0 / (static_cast<double>(ms) / 1000.0)
             : 0.0;
  RunLog& log = view_.Log();
  const std::string range = State().resume ? " (try " + std::to_string(try_) + ", from byte " +
                                                 std::to_string(State().resume->offset) + ")"
                            : try_ > 1 ? " (try " + std::to_string(try_) + ")"
                                       : "";
  if (sent) {
    log.Write("GET %s%s: status %d, Content-Length %s, %s bytes in %s ms, %.2f MiB/s",
              url_text_.c_str(), range.c_str(), ReplyHeaders().StatusCode, content_length.c_str(),
              std::to_string(try_bytes_).c_str(), std::to_string(ms).c_str(), mib_per_s);
  }
  if (next_url_) {
    log.Write("redirect %d to %s", ReplyHeaders().StatusCode, RedactUrl(*next_url_).c_str());
    return;
  }
  const Outcome outcome = TransferOutcome();
  const TransferResult& transfer = Result();
  if (over_limit_) {
    log.Write("failed: over its limit of %s bytes", std::to_string(limit_).c_str());
  } else if (redirect_failure_) {
    const std::string status = outcome.result == RunResult::HttpStatus
                                   ? " " + std::to_string(outcome.http_status)
                                   : std::string();
    const std::string target = refused_redirect_.target.empty()
                                   ? std::string()
                                   : " to " + RedactUrl(refused_redirect_.target);
    log.Write("failed: %s%s (%s), redirect %d%s refused: %s", RunResultName(outcome.result),
              status.c_str(), TransferErrorName(redirect_failure_->error),
              redirect_failure_->http_status, target.c_str(), refused_redirect_.why);
  } else if (outcome.Succeeded()) {
    log.Write("wrote %s (%s bytes)", DestinationPath.c_str(),
              std::to_string(bytes_stored_).c_str());
  } else if (outcome.result == RunResult::HttpStatus) {
    log.Write("failed: %s %d", RunResultName(outcome.result), outcome.http_status);
  } else if (store_failed_) {
    log.Write("failed: %s, %s", RunResultName(outcome.result), ErrorText(store_error_).c_str());
  } else if (transfer.error == TransferError::UnsupportedScheme) {
    log.Write("failed: %s (%s), unsupported scheme \"%s\"", RunResultName(outcome.result),
              TransferErrorName(transfer.error), RequestUrl().Scheme.c_str());
  } else if (transfer.error == TransferError::Stalled) {
    // Transfers run with the program's own limits.
    const TransferLimits limits;
    if (State().stall == Stall::TooSlow) {
      log.Write("failed: %s (Stalled), fewer than %lu bytes in %lu s",
                RunResultName(outcome.result), static_cast<unsigned long>(limits.rate_min_bytes),
                static_cast<unsigned long>(limits.rate_window_ms / 1000));
    } else if (State().stall == Stall::HeaderLate) {
      log.Write("failed: %s (Stalled), no whole header block within %lu s",
                RunResultName(outcome.result), static_cast<unsigned long>(limits.header_ms / 1000));
    } else {
      log.Write("failed: %s (Stalled), no byte for %lu s", RunResultName(outcome.result),
                static_cast<unsigned long>(limits.silence_ms / 1000));
    }
  } else if (transfer.error == TransferError::Resolve) {
    // Only the lookup's own codes tell why; whatever else the system left there does not.
    const long error = transfer.system_error;
    const bool lookup_code = error >= WSAHOST_NOT_FOUND && error <= WSANO_DATA;
    log.Write("failed: %s (%s), the name %s cannot be resolved%s%s", RunResultName(outcome.result),
              TransferErrorName(transfer.error), RedactUrl(RequestUrl().Host).c_str(),
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
  return HeldFile{file_name_, file_.Release()};
}

Outcome FileDownload::TransferOutcome() const {
  if (cancelled_between_) return {RunResult::Succeeded, 0};
  if (store_failed_) return {RunResult::CannotStoreFile, 0};
  // Only a file that vouches for others has a limit: one over it vouches for nothing.
  if (over_limit_) return {RunResult::PackageNotVerified, 0};
  if (redirect_failure_) return OutcomeOf(*redirect_failure_);
  return OutcomeOf(Result());
}

bool FileDownload::FetchedOverHttps() const {
  return every_hop_https_ && TransferOutcome().Succeeded() && !cancel_.IsSet();
}

void FileDownload::OnError(const TransferResult& result) {
  if (result.error == TransferError::HttpStatus && IsFollowedRedirect(result.http_status) &&
      ReplyHeaders().Contains("Location")) {
    RedirectStep step = NextRedirect(RequestUrl(), ReplyHeaders().Lookup("Location"), redirects_);
    if (step.refusal == TransferError::None) {
      next_url_ = std::move(step.target);
      return;
    }
    // Never tried again: the same server would send the same redirect.
    redirect_failure_ = TransferResult{step.refusal, result.http_status, 0};
    refused_redirect_ = std::move(step);
    failure_message_ = IDS_CANNOT_CONNECT;
    return;
  }
  if (give_back_ && (result.error == TransferError::Connect ||
                     (result.error == TransferError::HttpStatus && result.http_status == 503))) {
    given_back_ = true;
    view_.Log().Write("given back: the server takes no more connections at once");
    return;
  }
  // A failure that may pass is told only when no try is left.
  if (!cancel_.IsSet())
    retry_pause_ms_ = RetryPauseMs(result, ReplyHeaders().Lookup("Retry-After"), try_);
  if (retry_pause_ms_) return;
  if (missing_left_to_caller_ && result.error == TransferError::HttpStatus &&
      (result.http_status == 404 || result.http_status == 410)) {
    return;
  }
  // Shown once the transfer's lines are in the log (OnFinish).
  failure_message_ = result.error == TransferError::ProxyAuthRequired && ProxyUsed() != nullptr
                         ? IDS_PROXY_AUTH
                         : IDS_CANNOT_CONNECT;
}

void FileDownload::OnHopFailed(const ProxyHop& hop, const TransferResult& result) {
  LogHopFailed(view_.Log(), hop, result);
}

void FileDownload::OnKeptConnection(bool gave_out) {
  const std::string server = EscapeControlBytes(RequestUrl().Authority());
  if (gave_out) {
    view_.Log().Write("the kept connection to %s closed before the reply: sent again on a new one",
                      server.c_str());
  } else {
    connected_ = true;
    view_.Log().Write("on the kept connection to %s", server.c_str());
  }
}

void FileDownload::OnAddressTried(const std::string& host, const SocketAddress& address,
                                  long error) {
  // A host written as an address needs no second naming.
  const std::string name = AddressBytesOf(host).empty()
                               ? EscapeControlBytes(host) + " at " + address.Text()
                               : address.Text();
  if (error == 0) {
    connected_ = true;
    view_.Log().Write("connected to %s", name.c_str());
  } else {
    view_.Log().Write("could not connect to %s, %s", name.c_str(),
                      ErrorText(static_cast<DWORD>(error)).c_str());
  }
}

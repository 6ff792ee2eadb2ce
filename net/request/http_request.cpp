// HttpRequest's life: its thread, started, waited for, stopped; a transfer on the caller's thread;
// what a later start asks for.
#include "net/request/http_request.h"

HttpRequest::HttpRequest(const char* url_text) : state_(url_text) {}

HttpRequest::~HttpRequest() {
  Stop();
}

void HttpRequest::BeginTransfer(bool head_only) {
  state_.HeadOnly = head_only;
  // A request object may be started again: nothing of the last transfer's reply stays.
  state_.HeadersDone = false;
  state_.BytesReceived = 0;
  state_.content_length.reset();
  state_.continues_file = false;
  state_.range_refused = false;
  state_.stall = Stall::None;
  headers_.Clear();
  result_ = {};
  reply_failure_.reset();
}

bool HttpRequest::Start(bool head_only) {
  if (transfer_running_) return true;
  // A thread that has ended but was never waited for is collected first; it has already
  // cleared transfer_running_, so this returns at once.
  Wait();
  // Cleared here rather than on the new thread, so that an Abort right after Start is not lost.
  StopRequested = false;
  BeginTransfer(head_only);
  // Marked as running before the thread exists: a thread that ends at once then clears it
  // after this store, never before.
  transfer_running_ = true;
  if (!thread_.Start(TransferThread, this)) {
    transfer_running_ = false;
    return false;
  }
  return true;
}

void HttpRequest::Perform(bool head_only) {
  if (transfer_running_) return;
  Wait();
  BeginTransfer(head_only);
  transfer_running_ = true;
  Transfer();
}

void HttpRequest::Wait() {
  thread_.Join();
}

void HttpRequest::Abort() {
  // The flag goes up before the connection is aborted, so that the transfer, seeing its call
  // fail, already knows that the failure was asked for.
  StopRequested = true;
  LockGuard guard(connection_change_);
  if (connection_) connection_->socket.Abort();
}

void HttpRequest::Stop() {
  Abort();
  Wait();
  if (connection_) connection_->socket.Close();
}

void HttpRequest::InstallConnection(std::unique_ptr<Connection> next) {
  std::unique_ptr<Connection> replaced;
  {
    LockGuard guard(connection_change_);
    replaced = std::move(connection_);
    connection_ = std::move(next);
    if (StopRequested && connection_) connection_->socket.Abort();
  }
  // The one replaced closes here, outside the lock.
}

void HttpRequest::ReportError(const TransferResult& result) {
  if (StopRequested) return;
  result_ = result;
  OnError(result_);
}

void HttpRequest::BeginFileVersion() {
  state_.resume.reset();
  state_.version.total = state_.content_length;
  state_.version.validator = StrongValidatorOf(
      headers_.Lookup("ETag"), headers_.Lookup("Last-Modified"), headers_.Lookup("Date"));
}

void HttpRequest::ResumeAfter(std::uint64_t stored) {
  const FileVersion& version = state_.version;
  // Only the rest of a version the server can be asked for by a strong validator, and of a
  // known length: else the file starts over.
  if (stored > 0 && version.total && stored < *version.total && !version.validator.value.empty()) {
    state_.resume =
        ResumePoint{static_cast<std::uint32_t>(stored), *version.total, version.validator};
  } else {
    state_.resume.reset();
  }
}

void HttpRequest::Transfer() {
  if (OnStart()) {
    Run();
    OnFinish();
  }
  StopRequested = false;
  // The last touch of the object by the transfer.
  transfer_running_ = false;
}

void HttpRequest::TransferThread(void* argument) {
  static_cast<HttpRequest*>(argument)->Transfer();
}

#include "net/request/http_request.h"

HttpRequest::HttpRequest(const char* url_text) : url(url_text) {}

HttpRequest::~HttpRequest() {
  Stop();
}

bool HttpRequest::Start(bool head_only) {
  if (transfer_running_) return true;
  // A thread that has ended but was never waited for is collected first; it has already
  // cleared transfer_running_, so this returns at once.
  Wait();
  if (!socket.Create()) return false;
  HeadOnly = head_only;
  // Cleared here rather than on the new thread, so that an Abort right after Start is not lost.
  StopRequested = false;
  HeadersDone = false;
  BytesReceived = 0;
  // A request object may be started again: nothing of the last transfer's reply stays.
  headers.Clear();
  result_ = {};
  content_length_.reset();
  continues_file_ = false;
  // Marked as running before the thread exists: a thread that ends at once then clears it
  // after this store, never before.
  transfer_running_ = true;
  if (!thread_.Start(TransferThread, this)) {
    transfer_running_ = false;
    return false;
  }
  return true;
}

void HttpRequest::Wait() {
  thread_.Join();
}

void HttpRequest::Abort() {
  if (!transfer_running_) return;
  // The flag goes up before the socket is aborted, so that the transfer thread, seeing its
  // call fail, already knows that the failure was asked for.
  StopRequested = true;
  socket.Abort();
}

void HttpRequest::Stop() {
  Abort();
  Wait();
  socket.Close();
}

void HttpRequest::ReportError(const TransferResult& result) {
  if (StopRequested) return;
  result_ = result;
  OnError(result_);
}

void HttpRequest::TransferThread(void* argument) {
  HttpRequest* request = static_cast<HttpRequest*>(argument);
  if (request->OnStart()) {
    request->Run();
    request->OnFinish();
  }
  request->StopRequested = false;
  // The last touch of the object on this thread.
  request->transfer_running_ = false;
}

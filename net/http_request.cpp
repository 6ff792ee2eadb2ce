#include "net/http_request.h"

#include <system_error>

namespace {
// ThreadHandle while a transfer thread runs. The std::thread object itself is the joinable
// handle; this value only tells whether one runs.
constexpr std::uintptr_t kThreadRunning = 1;
}  // namespace

HttpRequest::HttpRequest(const char* url_text) : url(url_text) {}

HttpRequest::~HttpRequest() {
  Stop();
}

bool HttpRequest::Start(bool head_only) {
  if (ThreadHandle.load() != kNoThreadHandle) return true;
  // A thread that has ended but was never waited for is collected first; it has already
  // given up ThreadHandle, so this returns at once.
  Wait();
  if (!socket.Create()) return false;
  HeadOnly = head_only;
  // Cleared here rather than on the new thread, so that a Stop right after Start is not lost.
  StopRequested = false;
  HeadersDone = false;
  // Marked as running before the thread exists: a thread that ends at once then clears it
  // after this store, never before.
  ThreadHandle = kThreadRunning;
  try {
    thread_ = std::thread(TransferThread, this);
  } catch (const std::system_error&) {
    ThreadHandle = kNoThreadHandle;
    return false;
  }
  return true;
}

void HttpRequest::Wait() {
  if (thread_.joinable()) thread_.join();
}

void HttpRequest::Stop() {
  if (ThreadHandle.load() != kNoThreadHandle) {
    // The flag goes up before the socket is aborted, so that the transfer thread, seeing its
    // call fail, already knows that the failure was asked for.
    StopRequested = true;
    socket.Abort();
  }
  Wait();
  socket.Close();
}

void HttpRequest::ReportError(int code) {
  if (!StopRequested) OnError(code);
}

void HttpRequest::TransferThread(HttpRequest* request) {
  if (request->OnStart()) {
    request->Run();
    request->OnFinish();
  }
  request->StopRequested = false;
  // The last touch of the object on this thread.
  request->ThreadHandle = kNoThreadHandle;
}

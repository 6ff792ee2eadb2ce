#include "app/cancel_signal.h"

#include "net/http_request.h"

void CancelSignal::Set() {
  LockGuard guard(lock_);
  set_ = true;
  if (watched_ != nullptr) watched_->Abort();
}

CancelSignal::Watch::Watch(CancelSignal& signal, HttpRequest& transfer) : signal_(signal) {
  LockGuard guard(signal_.lock_);
  signal_.watched_ = &transfer;
  if (signal_.set_) transfer.Abort();
}

CancelSignal::Watch::~Watch() {
  LockGuard guard(signal_.lock_);
  signal_.watched_ = nullptr;
}

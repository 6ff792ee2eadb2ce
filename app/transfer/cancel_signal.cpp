#include "app/transfer/cancel_signal.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

#include "net/request/http_request.h"

namespace {

// A pause is cut into slices this short, so that a cancel ends it at once to the user's eye.
constexpr std::uint32_t kSliceMs = 20;

void SleepMs(std::uint32_t ms) {
#ifdef _WIN32
  Sleep(ms);
#else
  timespec pause = {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  nanosleep(&pause, nullptr);
#endif
}

}  // namespace

bool CancelSignal::WaitFor(std::uint32_t ms) const {
  while (!set_ && ms > 0) {
    const std::uint32_t slice = ms < kSliceMs ? ms : kSliceMs;
    SleepMs(slice);
    ms -= slice;
  }
  return set_;
}

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

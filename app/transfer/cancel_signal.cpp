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

CancelSignal::CancelSignal(CancelSignal* leader) : leader_(leader) {
  if (leader_ == nullptr) return;
  LockGuard guard(leader_->lock_);
  next_follower_ = leader_->first_follower_;
  leader_->first_follower_ = this;
  set_ = leader_->set_.load();
}

CancelSignal::~CancelSignal() {
  if (leader_ == nullptr) return;
  LockGuard guard(leader_->lock_);
  CancelSignal** link = &leader_->first_follower_;
  while (*link != this) link = &(*link)->next_follower_;
  *link = next_follower_;
}

void CancelSignal::Set() {
  LockGuard guard(lock_);
  set_ = true;
  if (watched_ != nullptr) watched_->Abort();
  for (CancelSignal* follower = first_follower_; follower; follower = follower->next_follower_) {
    follower->Set();
  }
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

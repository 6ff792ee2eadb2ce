#include "app/report/page_updates.h"

#include <utility>

void PageUpdates::Open(HWND page) {
  LockGuard guard(lock_);
  page_ = page;
  waiting_.clear();
}

void PageUpdates::Close() {
  LockGuard guard(lock_);
  page_ = nullptr;
  waiting_.clear();
}

void PageUpdates::Send(PageUpdate update) {
  LockGuard guard(lock_);
  if (page_ == nullptr) return;
  for (PageUpdate& waiting : waiting_) {
    if (waiting.kind == update.kind) {
      waiting = std::move(update);
      return;
    }
  }
  waiting_.push_back(std::move(update));
  // One message for whatever waits: the page takes it all at once.
  if (waiting_.size() == 1) PostMessageA(page_, kPageUpdateMessage, 0, 0);
}

std::vector<PageUpdate> PageUpdates::Take() {
  LockGuard guard(lock_);
  std::vector<PageUpdate> taken;
  taken.swap(waiting_);
  return taken;
}

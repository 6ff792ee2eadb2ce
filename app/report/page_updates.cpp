#include "app/report/page_updates.h"

#include <utility>

void PageUpdates::ClearLocked() {
  for (int kind = 0; kind < PageUpdate::kKinds; ++kind) {
    waiting_[kind] = false;
    text_[kind].clear();
  }
}

void PageUpdates::Open(HWND page) {
  LockGuard guard(lock_);
  page_ = page;
  ClearLocked();
}

void PageUpdates::Close() {
  LockGuard guard(lock_);
  page_ = nullptr;
  ClearLocked();
}

void PageUpdates::Send(PageUpdate update) {
  LockGuard guard(lock_);
  if (page_ == nullptr) return;
  bool any_waiting = false;
  for (bool waiting : waiting_) any_waiting = any_waiting || waiting;
  const int kind = static_cast<int>(update.kind);
  waiting_[kind] = true;
  text_[kind] = std::move(update.text);
  // One message for whatever waits: the page takes it all at once.
  if (!any_waiting) PostMessageA(page_, kPageUpdateMessage, 0, 0);
}

bool PageUpdates::Take(PageUpdate::Kind kind, std::string* text) {
  LockGuard guard(lock_);
  const int index = static_cast<int>(kind);
  if (!waiting_[index]) return false;
  waiting_[index] = false;
  text->swap(text_[index]);
  text_[index].clear();
  return true;
}

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
  const int kind = static_cast<int>(update.kind);
  // A kind that waits already has a message on its way; a kind that does not needs one, even
  // while others wait: the page may have taken this kind from the message now under way.
  const bool message_due = !waiting_[kind];
  waiting_[kind] = true;
  text_[kind] = std::move(update.text);
  if (message_due) PostMessageA(page_, kPageUpdateMessage, 0, 0);
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

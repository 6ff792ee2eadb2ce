#include "base/file_flusher.h"

FileFlusher::FileFlusher() : wake_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

FileFlusher::~FileFlusher() {
  Stop(true);
}

void FileFlusher::Add(HANDLE file) {
  {
    LockGuard guard(lock_);
    if (closing_) return;
    queue_.push_back(file);
  }
  // Without an event or a thread the files are simply not flushed here: the installation
  // flushes what is not on the disk.
  if (!thread_.Joinable() && wake_.Valid()) thread_.Start(Run, this);
  SetEvent(wake_.Get());
}

std::vector<bool> FileFlusher::Finish() {
  Stop(false);
  LockGuard guard(lock_);
  std::vector<bool> flushed = flushed_;
  flushed.resize(queue_.size(), false);
  return flushed;
}

void FileFlusher::Stop(bool abandon) {
  {
    LockGuard guard(lock_);
    closing_ = true;
    abandon_ = abandon_ || abandon;
  }
  SetEvent(wake_.Get());
  thread_.Join();
}

void FileFlusher::Run(void* self) {
  FileFlusher& flusher = *static_cast<FileFlusher*>(self);
  for (;;) {
    HANDLE next = nullptr;
    {
      LockGuard guard(flusher.lock_);
      if (flusher.abandon_) return;
      if (flusher.flushed_.size() < flusher.queue_.size()) {
        next = flusher.queue_[flusher.flushed_.size()];
      } else if (flusher.closing_) {
        return;
      }
    }
    if (next == nullptr) {
      WaitForSingleObject(flusher.wake_.Get(), INFINITE);
      continue;
    }
    const bool on_disk = FlushFileBuffers(next) != FALSE;
    LockGuard guard(flusher.lock_);
    flusher.flushed_.push_back(on_disk);
  }
}

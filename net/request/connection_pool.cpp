#include "net/request/connection_pool.h"

#include <utility>

ConnectionPool::~ConnectionPool() {
  {
    LockGuard guard(lock_);
    ending_ = true;
  }
  wake_.Raise();
  closer_.Join();
}

std::unique_ptr<Connection> ConnectionPool::Take(const std::string& way) {
  for (;;) {
    std::unique_ptr<Connection> found;
    {
      LockGuard guard(lock_);
      const Clock::time_point now = Clock::now();
      for (std::size_t i = kept_.size(); i-- > 0;) {
        if (kept_[i].connection->way != way) continue;
        const bool fresh = now - kept_[i].since < std::chrono::milliseconds(idle_ms_);
        found = std::move(kept_[i].connection);
        kept_.erase(kept_.begin() + static_cast<std::ptrdiff_t>(i));
        if (!fresh) found.reset();
        break;
      }
    }
    // One the server closed (or that it spoke on unasked) is closed here, outside the lock.
    if (!found || found->Quiet()) return found;
  }
}

void ConnectionPool::Keep(std::unique_ptr<Connection> connection) {
  LockGuard guard(lock_);
  if (ending_) return;
  connection->socket.WatchSilence(nullptr);
  kept_.push_back({std::move(connection), Clock::now()});
  if (!closer_.Joinable()) closer_.Start(CloseIdle, this);
  wake_.Raise();
}

std::size_t ConnectionPool::KeptCount() {
  LockGuard guard(lock_);
  return kept_.size();
}

void ConnectionPool::CloseIdle(void* argument) {
  ConnectionPool& pool = *static_cast<ConnectionPool*>(argument);
  for (;;) {
    std::vector<std::unique_ptr<Connection>> idle;
    std::uint32_t wait_ms = 0xFFFFFFFFu;  // until a connection is kept
    {
      LockGuard guard(pool.lock_);
      if (pool.ending_) {
        pool.kept_.clear();
        return;
      }
      const Clock::time_point now = Clock::now();
      for (std::size_t i = pool.kept_.size(); i-- > 0;) {
        const auto age =
            std::chrono::duration_cast<std::chrono::milliseconds>(now - pool.kept_[i].since)
                .count();
        if (age >= pool.idle_ms_) {
          idle.push_back(std::move(pool.kept_[i].connection));
          pool.kept_.erase(pool.kept_.begin() + static_cast<std::ptrdiff_t>(i));
        } else if (pool.idle_ms_ - static_cast<std::uint32_t>(age) < wait_ms) {
          wait_ms = pool.idle_ms_ - static_cast<std::uint32_t>(age);
        }
      }
    }
    idle.clear();  // closed outside the lock
    pool.wake_.WaitAndLower(wait_ms);
  }
}

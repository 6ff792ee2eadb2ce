#include "net/socket/connect_race.h"

#include <algorithm>
#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

// The attempts under way, in the order they began.
class PendingAttempts {
 public:
  ~PendingAttempts() { CloseAll(); }

  int Count() const { return count_; }
  SocketHandle Handle(int i) const { return handles_[i]; }
  std::size_t AddressIndex(int i) const { return indexes_[i]; }
  const SocketHandle* Handles() const { return handles_; }

  void Add(SocketHandle handle, std::size_t index) {
    handles_[count_] = handle;
    indexes_[count_] = index;
    ++count_;
  }
  // Takes attempt i out without closing it.
  SocketHandle Take(int i) {
    const SocketHandle handle = handles_[i];
    std::copy(handles_ + i + 1, handles_ + count_, handles_ + i);
    std::copy(indexes_ + i + 1, indexes_ + count_, indexes_ + i);
    --count_;
    return handle;
  }
  void CloseAll() {
    for (int i = 0; i < count_; ++i) CloseHandleOfSocket(handles_[i]);
    count_ = 0;
  }

 private:
  SocketHandle handles_[kMostConnectsAtOnce];
  std::size_t indexes_[kMostConnectsAtOnce];
  int count_ = 0;
};

}  // namespace

RaceOutcome RaceConnect(const std::vector<SocketAddress>& addresses,
                        const std::atomic<bool>& aborted, ConnectObserver* observer,
                        std::uint32_t limit_ms, int stagger_ms) {
  const std::size_t total =
      std::min(addresses.size(), static_cast<std::size_t>(kMostConnectsAtOnce));
  PendingAttempts pending;
  RaceOutcome outcome;
  std::size_t next = 0;
  const Clock::time_point began = Clock::now();
  const Clock::time_point deadline = began + std::chrono::milliseconds(limit_ms);
  Clock::time_point next_start = began;

  const auto failed = [&](std::size_t index, long error) {
    outcome.error = error;
    if (observer != nullptr) observer->OnAddressFailed(addresses[index], error);
  };
  const auto won = [&](SocketHandle handle, std::size_t index) {
    pending.CloseAll();
    SetBlocking(handle, true);
    if (observer != nullptr) observer->OnAddressConnected(addresses[index]);
    return RaceOutcome{handle, 0};
  };

  for (;;) {
    if (aborted) return RaceOutcome{};
    Clock::time_point now = Clock::now();
    // Nobody answered in time: the attempts still pending are given up on, and not told.
    if (now >= deadline && pending.Count() > 0) {
      outcome.error = kTimedOutError;
      return outcome;
    }
    if (next < total && (pending.Count() == 0 || now >= next_start)) {
      const std::size_t index = next++;
      const SocketAddress& address = addresses[index];
      const SocketHandle handle = OpenTcpHandle(address.Family());
      if (handle == kInvalidSocket) {
        failed(index, LastSocketError());
        continue;
      }
      long error = 0;
      const ConnectStart start = SetBlocking(handle, false)
                                     ? BeginConnect(handle, address.Get(), address.Size(), &error)
                                     : ConnectStart::Failed;
      if (start == ConnectStart::Connected) return won(handle, index);
      if (start == ConnectStart::Failed) {
        if (error == 0) error = LastSocketError();
        CloseHandleOfSocket(handle);
        failed(index, error);
        continue;  // the next address at once
      }
      pending.Add(handle, index);
      next_start = now + std::chrono::milliseconds(stagger_ms);
    }
    if (pending.Count() == 0) return outcome;  // every address failed

    int wait_ms = kAbortCheckMs;
    if (next < total) {
      const auto until_next =
          std::chrono::duration_cast<std::chrono::milliseconds>(next_start - now).count();
      wait_ms = static_cast<int>(std::max<long long>(0, std::min<long long>(wait_ms, until_next)));
    }
    const auto until_deadline =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
    wait_ms =
        static_cast<int>(std::max<long long>(0, std::min<long long>(wait_ms, until_deadline)));
    bool done[kMostConnectsAtOnce];
    const int ended = WaitForConnects(pending.Handles(), pending.Count(), wait_ms, done);
    if (ended < 0) {
      outcome.error = LastSocketError();
      return outcome;
    }
    if (ended == 0 || aborted) continue;
    // The earliest attempt that connected wins; the failed ones are told in order, then taken
    // out from the last, so that the positions of the others stay.
    // (A connect's outcome can be read once: the system clears it.)
    long errors[kMostConnectsAtOnce];
    for (int i = 0; i < pending.Count(); ++i) {
      if (!done[i]) continue;
      errors[i] = ConnectOutcome(pending.Handle(i));
      if (errors[i] == 0) {
        const std::size_t index = pending.AddressIndex(i);
        return won(pending.Take(i), index);
      }
    }
    bool gave_up = false;
    for (int i = 0; i < pending.Count(); ++i) {
      if (!done[i]) continue;
      failed(pending.AddressIndex(i), errors[i]);
      gave_up = gave_up || IsConnectTimeout(errors[i]);
    }
    for (int i = pending.Count() - 1; i >= 0; --i) {
      if (done[i]) CloseHandleOfSocket(pending.Take(i));
    }
    next_start = Clock::now();
    if (gave_up) return outcome;
  }
}

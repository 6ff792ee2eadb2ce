// Owner of one thread: started with a procedure and its argument, joined by its owner or at the
// latest by the destructor, so no thread outlives the object that started it; and threads that
// no one waits for. Native threads (CreateThread on Windows, POSIX threads elsewhere): one thread
// API for the whole program.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

class Thread {
 public:
  using Procedure = void (*)(void* argument);

  Thread() = default;
  ~Thread() { Join(); }
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Runs procedure(argument) on a new thread. False, with nothing started, when a thread is
  // still held (started and not joined) or none can be created.
  bool Start(Procedure procedure, void* argument);
  // Blocks until the thread has ended and lets it go; returns at once when none is held.
  void Join();
#ifdef _WIN32
  // Waits at most timeout_ms; true when no thread is held any more (it ended and was joined).
  bool JoinWithin(DWORD timeout_ms);
#endif
  bool Joinable() const {
    return started_;
  }

 private:
#ifdef _WIN32
  static DWORD WINAPI Trampoline(LPVOID self);
  HANDLE handle_ = nullptr;
#else
  static void* Trampoline(void* self);
  pthread_t handle_{};
#endif
  bool started_ = false;
  Procedure procedure_ = nullptr;
  void* argument_ = nullptr;
};

// Runs procedure(argument) on a thread that no one waits for or holds a handle to: a call that
// cannot be broken, abandoned by its caller. The argument must own everything the thread uses,
// and the procedure must free it. False, with nothing started, when no thread can be created.
bool StartDetachedThread(Thread::Procedure procedure, void* argument);

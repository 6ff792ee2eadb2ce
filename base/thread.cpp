#include "base/thread.h"

namespace {
struct DetachedStart {
  Thread::Procedure procedure;
  void* argument;
};

#ifdef _WIN32
DWORD WINAPI RunDetached(LPVOID start) {
#else
void* RunDetached(void* start) {
#endif
  const DetachedStart run = *static_cast<DetachedStart*>(start);
  delete static_cast<DetachedStart*>(start);
  run.procedure(run.argument);
#ifdef _WIN32
  return 0;
#else
  return nullptr;
#endif
}
}  // namespace

bool StartDetachedThread(Thread::Procedure procedure, void* argument) {
  auto* start = new DetachedStart{procedure, argument};
#ifdef _WIN32
  const HANDLE handle = CreateThread(nullptr, 0, RunDetached, start, 0, nullptr);
  if (handle != nullptr) {
    CloseHandle(handle);
    return true;
  }
#else
  pthread_t handle;
  if (pthread_create(&handle, nullptr, RunDetached, start) == 0) {
    pthread_detach(handle);
    return true;
  }
#endif
  delete start;
  return false;
}

bool Thread::Start(Procedure procedure, void* argument) {
  if (started_) return false;
  procedure_ = procedure;
  argument_ = argument;
#ifdef _WIN32
  handle_ = CreateThread(nullptr, 0, Trampoline, this, 0, nullptr);
  started_ = handle_ != nullptr;
#else
  started_ = pthread_create(&handle_, nullptr, Trampoline, this) == 0;
#endif
  return started_;
}

void Thread::Join() {
  if (!started_) return;
#ifdef _WIN32
  WaitForSingleObject(handle_, INFINITE);
  CloseHandle(handle_);
  handle_ = nullptr;
#else
  pthread_join(handle_, nullptr);
#endif
  started_ = false;
}

#ifdef _WIN32
bool Thread::JoinWithin(DWORD timeout_ms) {
  if (!started_) return true;
  if (WaitForSingleObject(handle_, timeout_ms) != WAIT_OBJECT_0) return false;
  Join();
  return true;
}

DWORD WINAPI Thread::Trampoline(LPVOID self) {
  const Thread& thread = *static_cast<Thread*>(self);
  thread.procedure_(thread.argument_);
  return 0;
}
#else
void* Thread::Trampoline(void* self) {
  const Thread& thread = *static_cast<Thread*>(self);
  thread.procedure_(thread.argument_);
  return nullptr;
}
#endif

#include "base/critical_section_lock.h"

#ifdef _WIN32
CriticalSectionLock::CriticalSectionLock() {
  InitializeCriticalSection(&section_);
}
CriticalSectionLock::~CriticalSectionLock() {
  DeleteCriticalSection(&section_);
}
void CriticalSectionLock::Lock() {
  EnterCriticalSection(&section_);
}
void CriticalSectionLock::Unlock() {
  LeaveCriticalSection(&section_);
}
#else
CriticalSectionLock::CriticalSectionLock() {
  pthread_mutex_init(&section_, nullptr);
}
CriticalSectionLock::~CriticalSectionLock() {
  pthread_mutex_destroy(&section_);
}
void CriticalSectionLock::Lock() {
  pthread_mutex_lock(&section_);
}
void CriticalSectionLock::Unlock() {
  pthread_mutex_unlock(&section_);
}
#endif

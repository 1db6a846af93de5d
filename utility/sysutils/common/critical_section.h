#pragma once

#include <pthread.h>

namespace SysUtils {

// A recursive lock: the thread that holds it may take it again and must
// release it as often as it took it.
class CriticalSection {
 public:
  CriticalSection();
  ~CriticalSection();

  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Lock();
  void Unlock();
  // False when another thread holds the lock or the attempt failed.
  bool TryLock();

 private:
  pthread_mutex_t m_critical_section;
};

// Scoped guard: locks on construction and releases, on destruction, every
// hold it took (the one of the constructor and each successful TryLock).
// A guard built on a null pointer does nothing.
class CriticalSectionLock {
 public:
  explicit CriticalSectionLock(CriticalSection* critical_section);
  ~CriticalSectionLock();

  CriticalSectionLock() = delete;
  CriticalSectionLock(const CriticalSectionLock&) = delete;
  CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

  bool TryLock();

 private:
  CriticalSection* m_critical_section;
  unsigned m_uHolds;
};

}  // namespace SysUtils

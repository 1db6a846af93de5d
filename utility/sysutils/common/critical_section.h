#pragma once

#include <pthread.h>

#include "utility/sysutils/common/thread_annotations.h"

namespace SysUtils {

// A recursive lock: the thread that holds it may take it again and must
// release it as often as it took it. The system's own code never relies on
// that: the thread-safety analysis treats a second take as a fault.
class CAPABILITY("mutex") CriticalSection {
 public:
  CriticalSection();
  ~CriticalSection();

  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Lock() ACQUIRE();
  void Unlock() RELEASE();
  // False when another thread holds the lock or the attempt failed.
  bool TryLock() TRY_ACQUIRE(true);

 private:
  pthread_mutex_t m_critical_section;
};

// Scoped guard: locks on construction and releases, on destruction, every
// hold it took (the one of the constructor and each successful TryLock).
// A guard built on a null pointer does nothing.
class SCOPED_CAPABILITY CriticalSectionLock {
 public:
  explicit CriticalSectionLock(CriticalSection* critical_section) ACQUIRE(critical_section);
  ~CriticalSectionLock() RELEASE();

  CriticalSectionLock() = delete;
  CriticalSectionLock(const CriticalSectionLock&) = delete;
  CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

  bool TryLock();

 private:
  CriticalSection* m_critical_section;
  unsigned m_uHolds;
};

}  // namespace SysUtils

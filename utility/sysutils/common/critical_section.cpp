#include "utility/sysutils/common/critical_section.h"

#include <errno.h>
#include <stdio.h>

namespace SysUtils {

namespace {

// The pthread calls return their error instead of setting errno, which is
// what perror describes.
void ReportFailure(int rc, const char* call) {
  if (rc == 0) return;
  errno = rc;
  perror(call);
}

}  // namespace

CriticalSection::CriticalSection() {
  pthread_mutexattr_t attr;
  ReportFailure(pthread_mutexattr_init(&attr), "pthread_mutexattr_init()");
  ReportFailure(pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE), "pthread_mutexattr_settype()");
  ReportFailure(pthread_mutex_init(&m_critical_section, &attr), "pthread_mutex_init()");
  ReportFailure(pthread_mutexattr_destroy(&attr), "pthread_mutexattr_destroy()");
}

CriticalSection::~CriticalSection() {
  ReportFailure(pthread_mutex_destroy(&m_critical_section), "pthread_mutex_destroy()");
}

void CriticalSection::Lock() {
  ReportFailure(pthread_mutex_lock(&m_critical_section), "pthread_mutex_lock()");
}

void CriticalSection::Unlock() {
  ReportFailure(pthread_mutex_unlock(&m_critical_section), "pthread_mutex_unlock()");
}

bool CriticalSection::TryLock() {
  int rc = pthread_mutex_trylock(&m_critical_section);
  if (rc == EBUSY) return false;
  ReportFailure(rc, "pthread_mutex_trylock()");
  return rc == 0;
}

// The guard's own bookkeeping of its holds is beyond the analysis, which
// sees only its annotations.
CriticalSectionLock::CriticalSectionLock(CriticalSection* critical_section) NO_THREAD_SAFETY_ANALYSIS
    : m_critical_section(critical_section),
      m_uHolds(0) {
  if (m_critical_section == nullptr) return;
  m_critical_section->Lock();
  m_uHolds = 1;
}

CriticalSectionLock::~CriticalSectionLock() NO_THREAD_SAFETY_ANALYSIS {
  for (; m_uHolds > 0; --m_uHolds) m_critical_section->Unlock();
}

bool CriticalSectionLock::TryLock() NO_THREAD_SAFETY_ANALYSIS {
  if (m_critical_section == nullptr) return false;
  if (!m_critical_section->TryLock()) return false;
  ++m_uHolds;
  return true;
}

}  // namespace SysUtils

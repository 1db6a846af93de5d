#include "utility/sysutils/apr/apr_cond.h"

#include <apr_errno.h>

#include "utility/sysutils/common/system.h"

namespace SysUtils {

AprCond::AprCond(bool fManualReset)
    : m_mutex(nullptr), m_cond(nullptr), m_fSingal(false), m_fManualReset(fManualReset) {
  apr_thread_mutex_create(&m_mutex, APR_THREAD_MUTEX_UNNESTED, thePool().guts());
  apr_thread_cond_create(&m_cond, thePool().guts());
}

AprCond::~AprCond() { thePool().clear(); }

void AprCond::set() {
  apr_thread_mutex_lock(m_mutex);
  m_fSingal = true;
  apr_thread_cond_signal(m_cond);
  apr_thread_mutex_unlock(m_mutex);
}

void AprCond::reset() {
  apr_thread_mutex_lock(m_mutex);
  m_fSingal = false;
  apr_thread_mutex_unlock(m_mutex);
}

bool AprCond::wait() {
  apr_thread_mutex_lock(m_mutex);
  while (!m_fSingal) apr_thread_cond_wait(m_cond, m_mutex);
  consumeFlagLocked();
  apr_thread_mutex_unlock(m_mutex);
  return true;
}

bool AprCond::timedwait(int64_t timeout) {
  apr_thread_mutex_lock(m_mutex);
  bool taken = m_fSingal || waitFlagLocked(timeout);
  if (taken) consumeFlagLocked();
  apr_thread_mutex_unlock(m_mutex);
  return taken;
}

// With m_mutex held: true once the flag is set, false when a wait times out.
// A set that races the time-out therefore reports false and leaves the flag
// set for the next wait. Each round waits the full time-out again.
bool AprCond::waitFlagLocked(int64_t timeout) {
  for (;;) {
    apr_status_t rc = apr_thread_cond_timedwait(m_cond, m_mutex, timeout * kMicrosPerMilli);
    if (APR_STATUS_IS_TIMEUP(rc)) return false;
    if (m_fSingal) return true;
  }
}

// With m_mutex held and the flag set.
void AprCond::consumeFlagLocked() {
  if (!m_fManualReset) m_fSingal = false;
}

}  // namespace SysUtils

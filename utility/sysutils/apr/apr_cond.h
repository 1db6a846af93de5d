#pragma once

#include <apr_thread_cond.h>
#include <apr_thread_mutex.h>

#include <cstdint>

#include "utility/sysutils/apr/apr_object.h"

namespace SysUtils {

// An event: a remembered flag with a condition variable. In automatic-reset
// mode a successful wait clears the flag; in manual-reset mode it stays set
// until reset(). set() wakes exactly one waiting thread in both modes.
class AprCond : public AprObject {
 public:
  explicit AprCond(bool fManualReset);
  ~AprCond() override;

  void set();
  void reset();
  // Waits without limit; always true.
  bool wait();
  // Waits up to timeout milliseconds; timeout 0 polls. False on time-out,
  // including when the event was set just as the time-out expired: the flag
  // then stays set for the next wait.
  bool timedwait(int64_t timeout);

 private:
  void consumeFlagLocked();
  bool waitFlagLocked(int64_t timeout);

  apr_thread_mutex_t* m_mutex;
  apr_thread_cond_t* m_cond;
  bool m_fSingal;
  bool m_fManualReset;
};

}  // namespace SysUtils

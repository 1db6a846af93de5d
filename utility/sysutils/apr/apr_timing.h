#pragma once

#include <cstdint>
#include <memory>

#include "utility/sysutils/apr/apr_cond.h"
#include "utility/sysutils/common/system.h"

namespace SysUtils {

// Time as the model's worker and receiver see it: the clock of every
// interval, sleeping and waiting, and every timing they keep to. The values
// below are the product's; the clock is the monotonic one. Tests substitute
// an instance of their own with shorter timings or a clock that they step.
class Timing {
 public:
  virtual ~Timing() = default;

  // Milliseconds of the clock of every interval.
  virtual int64_t NowMS() const { return GetTimeCountMS(); }
  virtual void Sleep(uint32_t ms) const { SleepMS(ms); }
  // Waits on `event` for up to timeoutMS, or without limit when negative;
  // true when it was set.
  virtual bool Wait(AprCond& event, int64_t timeoutMS) const {
    return timeoutMS < 0 ? event.wait() : event.timedwait(timeoutMS);
  }

  // The worker: its pass, and how long after the last permission it
  // reconnects by itself (more than this).
  uint32_t uiWorkerPeriodMS = 100;
  uint64_t ullReconnectIntervalMS = 10000;
  // The receiver: every connection attempt and every receive wait at most
  // this long; a failed receive and the lost state pause; more than the
  // silence limit of time-outs in a row rebuild a silent connection; failing
  // receives for longer than the failure window lead to a probe.
  int64_t llConnectTimeoutMS = 3000;
  int64_t llRecvTimeoutMS = 1000;
  uint32_t uiPauseMS = 100;
  unsigned int uiSilenceLimit = 600;
  int64_t llFailureWindowMS = 6000;
  // A peer that vanishes without closing is noticed after about a minute:
  // this many seconds of silence, then this many unanswered probes this many
  // seconds apart.
  int iKeepAliveIdleS = 30;
  int iKeepAliveIntervalS = 10;
  int iKeepAliveProbes = 3;
};

// The product's timing: shared by whoever is handed it, fixed once made.
inline std::shared_ptr<const Timing> ProductTiming() { return std::make_shared<const Timing>(); }

}  // namespace SysUtils

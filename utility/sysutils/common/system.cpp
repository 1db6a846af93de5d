#include "utility/sysutils/common/system.h"

#include <time.h>
#include <unistd.h>

namespace SysUtils {

namespace {

int64_t ClockMS(clockid_t clock) {
  const timespec ts = ReadClock(clock);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace

timespec ReadClock(clockid_t clock) {
  timespec ts = {};
  clock_gettime(clock, &ts);
  return ts;
}

void SleepMS(uint32_t ms) { usleep(static_cast<useconds_t>(ms * kMicrosPerMilli)); }

int64_t GetTimeCountMS() { return ClockMS(CLOCK_MONOTONIC); }

int64_t GetTimeMS() { return ClockMS(CLOCK_REALTIME); }

uint64_t AddEPOCHTimeMS(uint64_t ms) { return ms + kEpochDeltaMS; }

uint64_t DeleteEPOCHTimeMS(uint64_t ms) { return ms - kEpochDeltaMS; }

}  // namespace SysUtils

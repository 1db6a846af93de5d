#include "support/wait_until.h"

#include "utility/sysutils/common/system.h"

bool WaitUntil(const std::function<bool()>& done, int64_t timeoutMs) {
  const int64_t deadline = SysUtils::GetTimeCountMS() + timeoutMs;
  while (!done()) {
    if (SysUtils::GetTimeCountMS() >= deadline) return done();
    SysUtils::SleepMS(2);
  }
  return true;
}

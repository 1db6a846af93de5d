// Calendar fields read as UTC give the same instant under every process time
// zone and on every architecture, up to both ends of the 32-bit range; the
// conversion to local time still follows the zone.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "utility/sysutils/common/time.h"

namespace {

using SysUtils::UTCTime;

// The range ends 1901-12-13 20:45:52 and 2038-01-19 03:14:07, the epoch,
// 2001-09-09 01:46:40, 2024-01-15 12:00 and 2024-07-01 12:00.
const int32_t kInstants[] = {INT32_MIN, INT32_MAX, 0, 1000000000, 1705320000, 1719835200};
// Zones on both sides of Greenwich, and two whose offset is not their 1970 one.
const char* const kZones[] = {"UTC",          "America/New_York", "Europe/Berlin",
                              "Asia/Kolkata", "Asia/Singapore",   "Europe/Lisbon"};

std::string Text(const tm& fields) {
  char text[32];
  strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &fields);
  return text;
}

TEST(UtcFieldsTest, ReadAsUtcUnderEveryZone) {
  for (const char* zone : kZones) {
    setenv("TZ", zone, 1);
    tzset();
    for (const int32_t seconds : kInstants) {
      SCOPED_TRACE(std::string(zone) + " " + std::to_string(seconds));
      const time_t instant = seconds;
      const tm fields = UTCTime(instant);
      EXPECT_EQ(instant, time_t(UTCTime(fields)));
      EXPECT_EQ(instant, time_t(UTCTime(SysUtils::SYSTEMTIME(UTCTime(instant)))));
      tm local = {};
      localtime_r(&instant, &local);
      EXPECT_EQ(Text(local), Text(SysUtils::UTCTimeToLocalTime(fields)));
    }
  }
  unsetenv("TZ");
  tzset();
}

TEST(UtcFieldsTest, NanosecondsFromMillisecondsWrapTo32Bits) {
  SysUtils::SYSTEMTIME st = UTCTime();
  st.wMilliseconds = 3000;
  EXPECT_EQ(3000 * 1000000LL - (1LL << 32), timespec(UTCTime(st)).tv_nsec);
}

}  // namespace

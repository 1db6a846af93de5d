// Calendar fields read as UTC give the same instant under every process time
// zone and on every architecture, up to both ends of the 32-bit range; the
// conversions to local time still follow the zone.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "utility/sysutils/common/time.h"

namespace {

using SysUtils::UTCTime;

struct Instant {
  int year, month, day, hour, minute, second;
  int32_t seconds;
};

const Instant kInstants[] = {
    {1901, 12, 13, 20, 45, 52, INT32_MIN}, {2038, 1, 19, 3, 14, 7, INT32_MAX},
    {1970, 1, 1, 0, 0, 0, 0},              {2001, 9, 9, 1, 46, 40, 1000000000},
    {2024, 1, 15, 12, 0, 0, 1705320000},   {2024, 7, 1, 12, 0, 0, 1719835200},
};

// Zones whose offset today or in summer differs from the one they had in
// 1970 (Singapore, Lisbon), and zones on both sides of Greenwich.
const char* const kZones[] = {"UTC",          "America/New_York", "Europe/Berlin",
                              "Asia/Kolkata", "Asia/Singapore",   "Europe/Lisbon"};

std::string Text(const tm& fields) {
  char text[32];
  strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &fields);
  return text;
}

class ProcessZone {
 public:
  explicit ProcessZone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ProcessZone() {
    unsetenv("TZ");
    tzset();
  }
};

TEST(UtcFieldsTest, ReadAsUtcUnderEveryZone) {
  for (const char* zone : kZones) {
    ProcessZone processZone(zone);
    for (const Instant& instant : kInstants) {
      SCOPED_TRACE(std::string(zone) + " " + std::to_string(instant.seconds));
      tm fields = {};
      fields.tm_year = instant.year - 1900;
      fields.tm_mon = instant.month - 1;
      fields.tm_mday = instant.day;
      fields.tm_hour = instant.hour;
      fields.tm_min = instant.minute;
      fields.tm_sec = instant.second;
      EXPECT_EQ(instant.seconds, static_cast<int32_t>(time_t(UTCTime(fields))));
      UTCTime time;
      time.SetSystemTime(instant.year, instant.month, instant.day, instant.hour, instant.minute, instant.second,
                         0, 0, 0);
      EXPECT_EQ(instant.seconds, static_cast<int32_t>(time_t(time)));

      const time_t seconds = instant.seconds;
      tm local = {};
      localtime_r(&seconds, &local);
      EXPECT_EQ(Text(local), Text(SysUtils::UTCTimeToLocalTime(fields)));
    }
  }
}

TEST(UtcFieldsTest, NanosecondsFromMillisecondsWrapTo32Bits) {
  SysUtils::SYSTEMTIME st = UTCTime();
  st.wMilliseconds = 3000;
  EXPECT_EQ(3000 * 1000000LL - (1LL << 32), timespec(UTCTime(st)).tv_nsec);
}

}  // namespace

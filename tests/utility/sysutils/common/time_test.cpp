#include "utility/sysutils/common/time.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <ostream>
#include <string>

namespace {

using SysUtils::FILETIME;
using SysUtils::SYSTEMTIME;
using SysUtils::ULARGE_INTEGER;
using SysUtils::UTCTime;
using SysUtils::UTCTimeSpan;

// Instants used throughout, worked out by hand from the calendar.
const time_t kWinterInstant = 1705322096;  // Mon 2024-01-15 12:34:56 UTC
const time_t kSummerInstant = 1719873000;  // Mon 2024-07-01 22:30:00 UTC
const time_t kFirstOfFebruary2024 = 1706745600;

const int32_t kInt32Max = std::numeric_limits<int32_t>::max();
const int32_t kInt32Min = std::numeric_limits<int32_t>::min();

struct Calendar {
  int year;
  int month;  // 1-12
  int day;
  int hour;
  int minute;
  int second;
  int day_of_week;  // 0 = Sunday
};

const Calendar kWinterUtc = {2024, 1, 15, 12, 34, 56, 1};
const Calendar kSummerUtc = {2024, 7, 1, 22, 30, 0, 1};

tm MakeTm(const Calendar& c) {
  tm fields = {};
  fields.tm_year = c.year - 1900;
  fields.tm_mon = c.month - 1;
  fields.tm_mday = c.day;
  fields.tm_hour = c.hour;
  fields.tm_min = c.minute;
  fields.tm_sec = c.second;
  return fields;
}

SYSTEMTIME MakeSystemTime(const Calendar& c, uint16_t milliseconds) {
  SYSTEMTIME st = {};
  st.wYear = static_cast<uint16_t>(c.year);
  st.wMonth = static_cast<uint16_t>(c.month);
  st.wDay = static_cast<uint16_t>(c.day);
  st.wHour = static_cast<uint16_t>(c.hour);
  st.wMinute = static_cast<uint16_t>(c.minute);
  st.wSecond = static_cast<uint16_t>(c.second);
  st.wMilliseconds = milliseconds;
  return st;
}

void ExpectTm(const Calendar& expected, const tm& actual) {
  EXPECT_EQ(expected.year - 1900, actual.tm_year);
  EXPECT_EQ(expected.month - 1, actual.tm_mon);
  EXPECT_EQ(expected.day, actual.tm_mday);
  EXPECT_EQ(expected.hour, actual.tm_hour);
  EXPECT_EQ(expected.minute, actual.tm_min);
  EXPECT_EQ(expected.second, actual.tm_sec);
  EXPECT_EQ(expected.day_of_week, actual.tm_wday);
}

void ExpectSystemTime(const Calendar& expected, uint16_t milliseconds,
                      const SYSTEMTIME& actual) {
  EXPECT_EQ(expected.year, actual.wYear);
  EXPECT_EQ(expected.month, actual.wMonth);
  EXPECT_EQ(expected.day, actual.wDay);
  EXPECT_EQ(expected.hour, actual.wHour);
  EXPECT_EQ(expected.minute, actual.wMinute);
  EXPECT_EQ(expected.second, actual.wSecond);
  EXPECT_EQ(expected.day_of_week, actual.wDayOfWeek);
  EXPECT_EQ(milliseconds, actual.wMilliseconds);
}

UTCTime MakeTime(int32_t seconds, int32_t nanoseconds) {
  timespec ts = {};
  ts.tv_sec = seconds;
  ts.tv_nsec = nanoseconds;
  return UTCTime(ts);
}

void ExpectTime(int32_t seconds, int32_t nanoseconds, const UTCTime& actual) {
  const timespec ts = actual;
  EXPECT_EQ(seconds, ts.tv_sec);
  EXPECT_EQ(nanoseconds, ts.tv_nsec);
}

// ---------------------------------------------------------------------------
// UTCTimeSpan

TEST(UTCTimeSpanTest, DayHourMinuteSecondSplitsIntoParts) {
  const UTCTimeSpan span(1, 2, 3, 4);
  EXPECT_EQ(93784, span.GetSecond());
  EXPECT_EQ(1563, span.GetMinute());
  EXPECT_EQ(26, span.GetHour());
  EXPECT_EQ(1, span.GetDay());
  EXPECT_EQ(4, span.GetResidualSecond());
  EXPECT_EQ(3, span.GetResidualMinute());
  EXPECT_EQ(2, span.GetResidualHour());
}

TEST(UTCTimeSpanTest, NegativeSpanGivesNegativeParts) {
  const UTCTimeSpan span(-61);
  EXPECT_EQ(-1, span.GetMinute());
  EXPECT_EQ(-1, span.GetResidualSecond());
  EXPECT_EQ(-1, span.GetResidualMinute());
  EXPECT_EQ(0, span.GetHour());

  const UTCTimeSpan days(-1, -2, -3, -4);
  EXPECT_EQ(-93784, days.GetSecond());
  EXPECT_EQ(-1, days.GetDay());
  EXPECT_EQ(-2, days.GetResidualHour());
  EXPECT_EQ(-3, days.GetResidualMinute());
  EXPECT_EQ(-4, days.GetResidualSecond());
}

TEST(UTCTimeSpanTest, ConstructorsAndSettersAgree) {
  EXPECT_EQ(0, UTCTimeSpan().GetSecond());
  EXPECT_EQ(125, UTCTimeSpan(2, 5).GetSecond());
  EXPECT_EQ(7384, UTCTimeSpan(2, 3, 4).GetSecond());
  // Mixed signs are summed, not normalised.
  EXPECT_EQ(3600 - 60, UTCTimeSpan(1, -1, 0).GetSecond());

  UTCTimeSpan span;
  span.SetSecond(-7);
  EXPECT_EQ(-7, span.GetSecond());
  span.SetMinute(2, 5);
  EXPECT_EQ(125, span.GetSecond());
  span.SetHour(2, 3, 4);
  EXPECT_EQ(7384, span.GetSecond());
  span.SetDay(1, 2, 3, 4);
  EXPECT_EQ(93784, span.GetSecond());
}

TEST(UTCTimeSpanTest, ArithmeticWrapsIn32Bits) {
  UTCTimeSpan span(kInt32Max);
  span += UTCTimeSpan(1);
  EXPECT_EQ(kInt32Min, span.GetSecond());
  span -= UTCTimeSpan(1);
  EXPECT_EQ(kInt32Max, span.GetSecond());

  EXPECT_EQ(kInt32Min, (UTCTimeSpan(kInt32Max) + UTCTimeSpan(1)).GetSecond());
  EXPECT_EQ(kInt32Max, (UTCTimeSpan(kInt32Min) - UTCTimeSpan(1)).GetSecond());
  EXPECT_EQ(-30, (UTCTimeSpan(20) - UTCTimeSpan(50)).GetSecond());

  // 24856 days are 2,147,558,400 seconds, 2^31 + 74,752.
  EXPECT_EQ(kInt32Min + 74752, UTCTimeSpan(24856, 0, 0, 0).GetSecond());
}

TEST(UTCTimeSpanTest, ComparesSignedSeconds) {
  const UTCTimeSpan minus(-5), plus(5), same(5);
  EXPECT_TRUE(plus == same);
  EXPECT_FALSE(plus != same);
  EXPECT_TRUE(minus != plus);
  EXPECT_TRUE(minus < plus);
  EXPECT_FALSE(plus < minus);
  EXPECT_TRUE(plus > minus);
  EXPECT_FALSE(minus > plus);
  EXPECT_TRUE(plus >= same);
  EXPECT_TRUE(plus <= same);
  EXPECT_FALSE(minus >= plus);
  EXPECT_FALSE(plus <= minus);
}

// ---------------------------------------------------------------------------
// Records and repacking

TEST(TimeRecordsTest, UnionHalvesAliasTheQuadPart) {
  ULARGE_INTEGER uli;
  uli.QuadPart = 0x0123456789ABCDEFULL;
  EXPECT_EQ(0x89ABCDEFu, uli.LowPart);
  EXPECT_EQ(0x01234567u, uli.HighPart);
  EXPECT_EQ(0x89ABCDEFu, uli.u.LowPart);
  EXPECT_EQ(0x01234567u, uli.u.HighPart);
}

TEST(TimeRecordsTest, RepackingKeepsTheHalvesInPlace) {
  const uint64_t value = 0xFEDCBA9876543210ULL;
  FILETIME ft;
  ft.dwLowDateTime = 0x76543210u;
  ft.dwHighDateTime = 0xFEDCBA98u;

  EXPECT_EQ(value, SysUtils::ft_to_u64(ft));
  EXPECT_EQ(value, SysUtils::ft_to_uli(ft).QuadPart);
  EXPECT_EQ(value, SysUtils::uli_to_u64(SysUtils::u64_to_uli(value)));

  const FILETIME from_u64 = SysUtils::u64_to_ft(value);
  EXPECT_EQ(0x76543210u, from_u64.dwLowDateTime);
  EXPECT_EQ(0xFEDCBA98u, from_u64.dwHighDateTime);

  ULARGE_INTEGER uli;
  uli.LowPart = 0x76543210u;
  uli.HighPart = 0xFEDCBA98u;
  const FILETIME from_uli = SysUtils::uli_to_ft(uli);
  EXPECT_EQ(0x76543210u, from_uli.dwLowDateTime);
  EXPECT_EQ(0xFEDCBA98u, from_uli.dwHighDateTime);
  EXPECT_EQ(value, SysUtils::uli_to_u64(uli));
}

// ---------------------------------------------------------------------------
// UTCTime, independent of the time zone

TEST(UTCTimeTest, FileTimeOfTheEpochAndBack) {
  const FILETIME ft = UTCTime();
  EXPECT_EQ(3577643008u, ft.dwLowDateTime);
  EXPECT_EQ(27111902u, ft.dwHighDateTime);
  EXPECT_EQ(116444736000000000ULL, SysUtils::ft_to_u64(ft));
  ExpectTime(0, 0, UTCTime(ft));
}

TEST(UTCTimeTest, FileTimeKeepsSubSecondTicksAsNanoseconds) {
  const FILETIME ft = SysUtils::u64_to_ft(116444736000000000ULL + 12345678);
  ExpectTime(1, 234567800, UTCTime(ft));

  // Sub-tick nanoseconds are dropped on the way out.
  const FILETIME out = MakeTime(1, 234567899);
  EXPECT_EQ(116444736000000000ULL + 12345678, SysUtils::ft_to_u64(out));
}

TEST(UTCTimeTest, FileTimeOfAKnownInstant) {
  const FILETIME ft = MakeTime(static_cast<int32_t>(kWinterInstant), 0);
  EXPECT_EQ(1054300160u, ft.dwLowDateTime);
  EXPECT_EQ(31082415u, ft.dwHighDateTime);
}

TEST(UTCTimeTest, FileTimeSecondsAreKeptIn32Bits) {
  // Exactly 2^31 seconds after 1970 is one past the top of the range.
  FILETIME ft;
  ft.dwLowDateTime = 3577643008u;
  ft.dwHighDateTime = 32111902u;
  ExpectTime(kInt32Min, 0, UTCTime(ft));
}

TEST(UTCTimeTest, TimeTAndTimespecCopyTheFields) {
  const UTCTime from_time_t(kWinterInstant);
  ExpectTime(static_cast<int32_t>(kWinterInstant), 0, from_time_t);
  EXPECT_EQ(kWinterInstant, static_cast<time_t>(MakeTime(1705322096, 5)));

  UTCTime assigned = MakeTime(1, 2);
  assigned = kSummerInstant;
  ExpectTime(static_cast<int32_t>(kSummerInstant), 0, assigned);

  timespec ts = {};
  ts.tv_sec = -12;
  ts.tv_nsec = 345;
  assigned = ts;
  ExpectTime(-12, 345, assigned);
}

TEST(UTCTimeTest, TmOfTheSecondsIsUtcAndDropsNanoseconds) {
  const tm fields = MakeTime(static_cast<int32_t>(kWinterInstant), 999999999);
  ExpectTm(kWinterUtc, fields);
  EXPECT_EQ(0, fields.tm_isdst);
  EXPECT_EQ(14, fields.tm_yday);
}

TEST(UTCTimeTest, SystemTimeOfTheLastNanosecondOfTheFirstSecond) {
  const SYSTEMTIME st = MakeTime(0, 999999999);
  ExpectSystemTime({1970, 1, 1, 0, 0, 0, 4}, 999, st);
}

TEST(UTCTimeTest, OrdersBySecondsThenNanoseconds) {
  const UTCTime earlier = MakeTime(100, 5);
  const UTCTime later = MakeTime(100, 6);
  EXPECT_TRUE(earlier < later);
  EXPECT_TRUE(later > earlier);
  EXPECT_TRUE(earlier != later);
  EXPECT_FALSE(earlier == later);
  EXPECT_TRUE(earlier <= later);
  EXPECT_FALSE(earlier >= later);
  EXPECT_TRUE(later >= MakeTime(100, 6));
  EXPECT_TRUE(later <= MakeTime(100, 6));
  EXPECT_TRUE(later == MakeTime(100, 6));

  // Seconds decide first, and both fields are signed.
  EXPECT_TRUE(MakeTime(99, 999999999) < earlier);
  EXPECT_TRUE(MakeTime(-1, 0) < MakeTime(0, -5));
  EXPECT_TRUE(MakeTime(0, -5) < MakeTime(0, 0));
}

TEST(UTCTimeTest, SpanArithmeticMovesSecondsAndKeepsNanoseconds) {
  const UTCTime start = MakeTime(1000, 123456789);
  ExpectTime(999, 123456789, start + UTCTimeSpan(-1));
  ExpectTime(999, 123456789, start - UTCTimeSpan(1));
  ExpectTime(1000 + 93784, 123456789, start + UTCTimeSpan(1, 2, 3, 4));

  UTCTime moving = start;
  moving += UTCTimeSpan(0, 1, 0);
  ExpectTime(1060, 123456789, moving);
  moving -= UTCTimeSpan(2, 0);
  ExpectTime(940, 123456789, moving);
  ExpectTime(1000, 123456789, start);
}

TEST(UTCTimeTest, SpanArithmeticWrapsIn32Bits) {
  ExpectTime(kInt32Min, 7, MakeTime(kInt32Max, 7) + UTCTimeSpan(1));
  ExpectTime(kInt32Max, 7, MakeTime(kInt32Min, 7) - UTCTimeSpan(1));
  ExpectTime(kInt32Max, 0, UTCTime(time_t{kInt32Max}));
}

TEST(UTCTimeTest, CurrentReadingsAgreeWithTheSystemClock) {
  const time_t before = time(nullptr);
  const UTCTime now = UTCTime::GetCurrentTime();
  const time_t now_t = UTCTime::GetCurrentTimeT();
  const FILETIME now_ft = UTCTime::GetCurrentFileTime();
  const SYSTEMTIME now_st = UTCTime::GetCurrentSystemTime();
  const tm now_tm = UTCTime::GetCurrentTM();
  const timespec now_ts = UTCTime::GetCurrentTimeSpec();
  const time_t after = time(nullptr);

  EXPECT_GE(static_cast<time_t>(now), before);
  EXPECT_LE(static_cast<time_t>(now), after);
  EXPECT_GE(now_t, before);
  EXPECT_LE(now_t, after);
  EXPECT_GE(now_ts.tv_sec, before);
  EXPECT_LE(now_ts.tv_sec, after);
  EXPECT_GE(now_ts.tv_nsec, 0);
  EXPECT_LT(now_ts.tv_nsec, 1000000000);

  const int64_t ft_seconds =
      static_cast<int64_t>(SysUtils::ft_to_u64(now_ft) / 10000000) -
      11644473600LL;
  EXPECT_GE(ft_seconds, before);
  EXPECT_LE(ft_seconds, after);

  const tm before_tm = UTCTime(before);
  EXPECT_GE(now_st.wYear, before_tm.tm_year + 1900);
  EXPECT_GE(now_tm.tm_year, before_tm.tm_year);
  EXPECT_LT(now_st.wMilliseconds, 1000);
}

TEST(UTCTimeTest, MonotonicCountNeverGoesBack) {
  const timespec first = UTCTime::GetCurrentTimeCount();
  const timespec second = UTCTime::GetCurrentTimeCount();
  const int64_t first_ns = int64_t{first.tv_sec} * 1000000000 + first.tv_nsec;
  const int64_t second_ns =
      int64_t{second.tv_sec} * 1000000000 + second.tv_nsec;
  EXPECT_LE(first_ns, second_ns);
}

// ---------------------------------------------------------------------------
// Calendar readings, run under several process time zones. POSIX zone
// strings need no zone database.

struct Zone {
  const char* label;
  const char* tz;
  Calendar winter_local;  // of kWinterUtc
  Calendar summer_local;  // of kSummerUtc
  int summer_isdst;
};

void PrintTo(const Zone& zone, std::ostream* os) { *os << zone.tz; }

const Zone kZones[] = {
    {"Utc", "UTC0", kWinterUtc, kSummerUtc, 0},
    {"ChinaStandard", "CST-8", {2024, 1, 15, 20, 34, 56, 1},
     {2024, 7, 2, 6, 30, 0, 2}, 0},
    {"CentralEuropean", "CET-1CEST,M3.5.0,M10.5.0/3",
     {2024, 1, 15, 13, 34, 56, 1}, {2024, 7, 2, 0, 30, 0, 2}, 1},
    {"UsEastern", "EST5EDT,M3.2.0,M11.1.0", {2024, 1, 15, 7, 34, 56, 1},
     {2024, 7, 1, 18, 30, 0, 1}, 1},
};

class UTCTimeZoneTest : public ::testing::TestWithParam<Zone> {
 protected:
  void SetUp() override {
    const char* previous = getenv("TZ");
    had_tz_ = previous != nullptr;
    if (had_tz_) previous_tz_ = previous;
    setenv("TZ", GetParam().tz, 1);
    tzset();
  }

  void TearDown() override {
    if (had_tz_) {
      setenv("TZ", previous_tz_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  bool had_tz_ = false;
  std::string previous_tz_;
};

TEST_P(UTCTimeZoneTest, TmFieldsAreReadAsUtc) {
  ExpectTime(static_cast<int32_t>(kWinterInstant), 0,
             UTCTime(MakeTm(kWinterUtc)));
  ExpectTime(static_cast<int32_t>(kSummerInstant), 0,
             UTCTime(MakeTm(kSummerUtc)));
  ExpectTime(0, 0, UTCTime(MakeTm({1970, 1, 1, 0, 0, 0, 4})));

  UTCTime assigned = MakeTime(5, 5);
  assigned = MakeTm(kWinterUtc);
  ExpectTime(static_cast<int32_t>(kWinterInstant), 0, assigned);
}

TEST_P(UTCTimeZoneTest, OutOfRangeFieldsRollOver) {
  tm leap_second = MakeTm({2024, 1, 31, 23, 59, 59, 0});
  leap_second.tm_sec = 60;
  ExpectTime(static_cast<int32_t>(kFirstOfFebruary2024), 0,
             UTCTime(leap_second));

  SYSTEMTIME thirty_second_of_january =
      MakeSystemTime({2024, 1, 32, 0, 0, 0, 0}, 0);
  ExpectTime(static_cast<int32_t>(kFirstOfFebruary2024), 0,
             UTCTime(thirty_second_of_january));
}

TEST_P(UTCTimeZoneTest, SystemTimeFieldsAreReadAsUtc) {
  const SYSTEMTIME st = MakeSystemTime(kWinterUtc, 250);
  ExpectTime(static_cast<int32_t>(kWinterInstant), 250000000, UTCTime(st));

  UTCTime assigned;
  assigned = st;
  ExpectTime(static_cast<int32_t>(kWinterInstant), 250000000, assigned);
}

TEST_P(UTCTimeZoneTest, SystemTimeRoundTripKeepsMilliseconds) {
  const UTCTime original =
      MakeTime(static_cast<int32_t>(kSummerInstant), 789654321);
  const SYSTEMTIME st = original;
  ExpectSystemTime(kSummerUtc, 789, st);
  ExpectTime(static_cast<int32_t>(kSummerInstant), 789000000, UTCTime(st));
}

TEST_P(UTCTimeZoneTest, SetTmTimeAddsSubSecondParts) {
  UTCTime time;
  ExpectTime(0, 1002003, time.SetTmTime(70, 0, 1, 0, 0, 0, 1, 2, 3));
  ExpectTime(static_cast<int32_t>(kWinterInstant), 999999999,
             time.SetTmTime(124, 0, 15, 12, 34, 56, 999, 999, 999));
  // No carry into the seconds.
  ExpectTime(0, 1500000000, time.SetTmTime(70, 0, 1, 0, 0, 0, 1500, 0, 0));
}

TEST_P(UTCTimeZoneTest, SetSystemTimeAddsSubSecondParts) {
  UTCTime time;
  ExpectTime(static_cast<int32_t>(kWinterInstant), 123456789,
             time.SetSystemTime(2024, 1, 15, 12, 34, 56, 123, 456, 789));
  ExpectTime(0, 65535000 + 65535,
             time.SetSystemTime(1970, 1, 1, 0, 0, 0, 0, 65535, 65535));
}

TEST_P(UTCTimeZoneTest, UtcTmToLocalByTheProcessZone) {
  const Zone& zone = GetParam();
  ExpectTm(zone.winter_local, SysUtils::UTCTimeToLocalTime(MakeTm(kWinterUtc)));
  const tm summer = SysUtils::UTCTimeToLocalTime(MakeTm(kSummerUtc));
  ExpectTm(zone.summer_local, summer);
  EXPECT_EQ(zone.summer_isdst, summer.tm_isdst);
}

TEST_P(UTCTimeZoneTest, LocalTmToUtcByTheProcessZone) {
  const Zone& zone = GetParam();
  tm winter = MakeTm(zone.winter_local);
  winter.tm_isdst = 0;
  ExpectTm(kWinterUtc, SysUtils::LocalTimeToUTCTime(winter));

  // The caller's daylight-saving flag is honoured; -1 lets the zone decide.
  tm summer = MakeTm(zone.summer_local);
  summer.tm_isdst = zone.summer_isdst;
  ExpectTm(kSummerUtc, SysUtils::LocalTimeToUTCTime(summer));
  summer.tm_isdst = -1;
  ExpectTm(kSummerUtc, SysUtils::LocalTimeToUTCTime(summer));
}

TEST_P(UTCTimeZoneTest, SystemTimeConversionsByTheProcessZone) {
  const Zone& zone = GetParam();
  // Summer covers daylight-saving time: the local result must not be read
  // back an hour off, and a local summer time must not be taken as standard.
  ExpectSystemTime(zone.winter_local, 250,
                   SysUtils::UTCTimeToLocalTime(MakeSystemTime(kWinterUtc, 250)));
  ExpectSystemTime(zone.summer_local, 999,
                   SysUtils::UTCTimeToLocalTime(MakeSystemTime(kSummerUtc, 999)));
  ExpectSystemTime(kWinterUtc, 1,
                   SysUtils::LocalTimeToUTCTime(
                       MakeSystemTime(zone.winter_local, 1)));
  ExpectSystemTime(kSummerUtc, 0,
                   SysUtils::LocalTimeToUTCTime(
                       MakeSystemTime(zone.summer_local, 0)));
}

TEST_P(UTCTimeZoneTest, ExplicitOffsetsIgnoreTheProcessZone) {
  const tm late_evening = MakeTm({1970, 1, 1, 23, 30, 0, 4});
  ExpectTm({1970, 1, 2, 0, 30, 0, 5},
           SysUtils::UTCTimeToLocalTime(late_evening, 3600, 0));
  ExpectTm({1970, 1, 2, 1, 30, 0, 5},
           SysUtils::UTCTimeToLocalTime(late_evening, 3600, 3600));
  ExpectTm({1970, 1, 1, 23, 30, 0, 4},
           SysUtils::LocalTimeToUTCTime(MakeTm({1970, 1, 2, 0, 30, 0, 5}),
                                        3600, 0));
  // West of Greenwich, back across midnight and a month.
  ExpectTm({2024, 1, 31, 19, 0, 0, 3},
           SysUtils::UTCTimeToLocalTime(MakeTm({2024, 2, 1, 0, 0, 0, 4}),
                                        -18000, 0));
}

TEST_P(UTCTimeZoneTest, ExplicitOffsetsOnSystemTime) {
  ExpectSystemTime(
      {1970, 1, 2, 0, 30, 0, 5}, 456,
      SysUtils::UTCTimeToLocalTime(
          MakeSystemTime({1970, 1, 1, 23, 30, 0, 4}, 456), 3600, 0));
  ExpectSystemTime(
      {2024, 7, 1, 22, 30, 0, 1}, 7,
      SysUtils::LocalTimeToUTCTime(
          MakeSystemTime({2024, 7, 2, 6, 30, 0, 2}, 7), 28800, 0));
  ExpectSystemTime(
      {2024, 7, 1, 21, 30, 0, 1}, 7,
      SysUtils::LocalTimeToUTCTime(
          MakeSystemTime({2024, 7, 2, 0, 30, 0, 2}, 7), 3600, 7200));
}

INSTANTIATE_TEST_SUITE_P(ProcessZones, UTCTimeZoneTest,
                         ::testing::ValuesIn(kZones),
                         [](const ::testing::TestParamInfo<Zone>& info) {
                           return std::string(info.param.label);
                         });

}  // namespace

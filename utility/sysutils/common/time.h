#pragma once

// Calendar time values: a span in seconds, a UTC point in time with
// nanosecond resolution, and conversions between time_t, tm, timespec and the
// Windows-style records SYSTEMTIME, FILETIME and ULARGE_INTEGER.
//
// Seconds are kept in 32 bits on every architecture, so the 64-bit build
// wraps exactly as the 32-bit one does.

#include <cstddef>
#include <cstdint>
#include <ctime>

namespace SysUtils {

typedef struct _SYSTEMTIME {
  uint16_t wYear;
  uint16_t wMonth;
  uint16_t wDayOfWeek;  // 0 = Sunday
  uint16_t wDay;
  uint16_t wHour;
  uint16_t wMinute;
  uint16_t wSecond;
  uint16_t wMilliseconds;
} SYSTEMTIME;

// 100-nanosecond ticks since 1601-01-01 00:00:00 UTC, split in halves.
typedef struct _FILETIME {
  uint32_t dwLowDateTime;
  uint32_t dwHighDateTime;
} FILETIME;

typedef union _ULARGE_INTEGER {
  struct {
    uint32_t LowPart;
    uint32_t HighPart;
  };
  struct {
    uint32_t LowPart;
    uint32_t HighPart;
  } u;
  uint64_t QuadPart;
} ULARGE_INTEGER;

static_assert(sizeof(SYSTEMTIME) == 16, "SYSTEMTIME is eight 16-bit fields");
static_assert(offsetof(SYSTEMTIME, wYear) == 0, "SYSTEMTIME layout");
static_assert(offsetof(SYSTEMTIME, wMonth) == 2, "SYSTEMTIME layout");
static_assert(offsetof(SYSTEMTIME, wDayOfWeek) == 4, "SYSTEMTIME layout");
static_assert(offsetof(SYSTEMTIME, wDay) == 6, "SYSTEMTIME layout");
static_assert(offsetof(SYSTEMTIME, wHour) == 8, "SYSTEMTIME layout");
static_assert(offsetof(SYSTEMTIME, wMinute) == 10, "SYSTEMTIME layout");
static_assert(offsetof(SYSTEMTIME, wSecond) == 12, "SYSTEMTIME layout");
static_assert(offsetof(SYSTEMTIME, wMilliseconds) == 14, "SYSTEMTIME layout");
static_assert(sizeof(FILETIME) == 8, "FILETIME is two 32-bit halves");
static_assert(offsetof(FILETIME, dwLowDateTime) == 0, "FILETIME layout");
static_assert(offsetof(FILETIME, dwHighDateTime) == 4, "FILETIME layout");
static_assert(sizeof(ULARGE_INTEGER) == 8, "ULARGE_INTEGER is 64 bits");
static_assert(offsetof(ULARGE_INTEGER, LowPart) == 0, "ULARGE_INTEGER layout");
static_assert(offsetof(ULARGE_INTEGER, HighPart) == 4, "ULARGE_INTEGER layout");
static_assert(offsetof(ULARGE_INTEGER, u) == 0, "ULARGE_INTEGER layout");
static_assert(offsetof(ULARGE_INTEGER, QuadPart) == 0, "ULARGE_INTEGER layout");

// A signed span in whole seconds. Arithmetic is 32-bit and wraps.
class UTCTimeSpan {
 public:
  UTCTimeSpan();
  UTCTimeSpan(int32_t second);
  UTCTimeSpan(int32_t minute, int32_t second);
  UTCTimeSpan(int32_t hour, int32_t minute, int32_t second);
  UTCTimeSpan(int32_t day, int32_t hour, int32_t minute, int32_t second);

  void SetSecond(int32_t second);
  void SetMinute(int32_t minute, int32_t second);
  void SetHour(int32_t hour, int32_t minute, int32_t second);
  void SetDay(int32_t day, int32_t hour, int32_t minute, int32_t second);

  // Whole units truncated toward zero; a negative span has negative parts.
  int32_t GetSecond() const;
  int32_t GetMinute() const;
  int32_t GetHour() const;
  int32_t GetDay() const;

  int32_t GetResidualSecond() const;
  int32_t GetResidualMinute() const;
  int32_t GetResidualHour() const;

  UTCTimeSpan(const UTCTimeSpan& other) = default;
  UTCTimeSpan& operator=(const UTCTimeSpan& other) = default;
  UTCTimeSpan& operator+=(const UTCTimeSpan& other);
  UTCTimeSpan& operator-=(const UTCTimeSpan& other);
  UTCTimeSpan operator+(const UTCTimeSpan& other) const;
  UTCTimeSpan operator-(const UTCTimeSpan& other) const;

  bool operator==(const UTCTimeSpan& other) const;
  bool operator!=(const UTCTimeSpan& other) const;
  bool operator>(const UTCTimeSpan& other) const;
  bool operator<(const UTCTimeSpan& other) const;
  bool operator>=(const UTCTimeSpan& other) const;
  bool operator<=(const UTCTimeSpan& other) const;

 private:
  int32_t m_second;
};

// A point in time in UTC: 32-bit seconds since 1970-01-01 00:00:00 UTC and
// nanoseconds within the second. The nanoseconds are not normalised: adding
// sub-second parts never carries into the seconds.
class UTCTime {
 public:
  UTCTime();
  UTCTime(const time_t& t);
  UTCTime(const timespec& ts);
  UTCTime(const tm& t_tm);        // fields read as UTC calendar time
  UTCTime(const SYSTEMTIME& st);  // fields read as UTC calendar time
  UTCTime(const FILETIME& ft);

  UTCTime(const UTCTime& other) = default;
  UTCTime& operator=(const UTCTime& other) = default;
  UTCTime& operator=(const time_t& t);
  UTCTime& operator=(const timespec& ts);
  UTCTime& operator=(const tm& t_tm);
  UTCTime& operator=(const SYSTEMTIME& st);
  UTCTime& operator=(const FILETIME& ft);

  operator time_t() const;
  operator timespec() const;
  operator tm() const;          // UTC calendar fields
  operator SYSTEMTIME() const;  // UTC calendar fields
  operator FILETIME() const;

  // Calendar fields in tm conventions (years since 1900, months 0-11).
  UTCTime& SetTmTime(int tm_year, int tm_mon, int tm_mday, int tm_hour, int tm_min, int tm_sec,
                     int tm_milli_sec, int tm_micro_sec, int tm_nano_sec);
  UTCTime& SetSystemTime(uint16_t wYear, uint16_t wMonth, uint16_t wDay, uint16_t wHour, uint16_t wMinute,
                         uint16_t wSecond, uint16_t wMilliseconds, uint16_t wMicroseconds,
                         uint16_t wNanoseconds);

  bool operator==(const UTCTime& other) const;
  bool operator!=(const UTCTime& other) const;
  bool operator>(const UTCTime& other) const;
  bool operator<(const UTCTime& other) const;
  bool operator>=(const UTCTime& other) const;
  bool operator<=(const UTCTime& other) const;

  // Seconds only, 32-bit and wrapping; the nanoseconds are kept.
  UTCTime& operator+=(const UTCTimeSpan& span);
  UTCTime& operator-=(const UTCTimeSpan& span);
  UTCTime operator+(const UTCTimeSpan& span) const;
  UTCTime operator-(const UTCTimeSpan& span) const;

  static UTCTime GetCurrentTime();
  static time_t GetCurrentTimeT();
  static tm GetCurrentTM();
  static timespec GetCurrentTimeSpec();
  // Monotonic clock of an arbitrary epoch: for intervals only.
  static timespec GetCurrentTimeCount();
  static SYSTEMTIME GetCurrentSystemTime();
  static FILETIME GetCurrentFileTime();

 private:
  void SetSeconds(int64_t seconds);
  void AddNanoseconds(int64_t nanoseconds);
  int32_t Seconds() const;
  int32_t Nanoseconds() const;

  timespec m_ts;
};

// Between UTC and local calendar time by the process's time zone.
tm UTCTimeToLocalTime(const tm& t_tm);
tm LocalTimeToUTCTime(const tm& t_tm);
SYSTEMTIME UTCTimeToLocalTime(const SYSTEMTIME& st);
SYSTEMTIME LocalTimeToUTCTime(const SYSTEMTIME& st);

// The same with an explicit zone offset and daylight-saving offset, both in
// seconds east of UTC.
tm UTCTimeToLocalTime(const tm& t_tm, int32_t tz_sec, int32_t dst_sec);
tm LocalTimeToUTCTime(const tm& t_tm, int32_t tz_sec, int32_t dst_sec);
SYSTEMTIME UTCTimeToLocalTime(const SYSTEMTIME& st, int32_t tz_sec, int32_t dst_sec);
SYSTEMTIME LocalTimeToUTCTime(const SYSTEMTIME& st, int32_t tz_sec, int32_t dst_sec);

ULARGE_INTEGER ft_to_uli(const FILETIME& ft);
uint64_t ft_to_u64(const FILETIME& ft);
FILETIME uli_to_ft(const ULARGE_INTEGER& uli);
uint64_t uli_to_u64(const ULARGE_INTEGER& uli);
FILETIME u64_to_ft(const uint64_t& u64);
ULARGE_INTEGER u64_to_uli(const uint64_t& u64);

}  // namespace SysUtils

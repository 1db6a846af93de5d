#include "utility/sysutils/common/time.h"

#include "utility/sysutils/common/system.h"

namespace SysUtils {

namespace {

// Seconds between 1601-01-01 and 1970-01-01 UTC.
const int64_t kFileTimeEpochOffsetSeconds = static_cast<int64_t>(kEpochDeltaMS / 1000);
const int64_t kFileTimeTicksPerSecond = 10000000;
const int64_t kNanosecondsPerFileTimeTick = 100;
const int64_t kNanosecondsPerMillisecond = 1000000;
const int64_t kNanosecondsPerMicrosecond = 1000;

// Reduces a value modulo 2^32 into the signed 32-bit range, the way 32-bit
// arithmetic wraps, without signed overflow.
int32_t Wrap32(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)); }

int64_t FloorDiv(int64_t value, int64_t divisor) {
  const int64_t quotient = value / divisor;
  return value % divisor < 0 ? quotient - 1 : quotient;
}

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar
// (month 1 to 12). Years are counted from 1 March, so that the leap day ends
// them, in eras of 400 years of 146097 days each.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = FloorDiv(year, 400);
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

// The fields read as a UTC calendar time, with no zone and in 64 bits, so
// that no reading depends on the process's zone or fails near the ends of
// the 32-bit range. Fields out of their range roll over as mktime's do: the
// months carry into the years, everything else simply adds up. UTC knows no
// daylight-saving time, so tm_isdst is not read.
int64_t SecondsOfUtcFields(const tm& fields) {
  const int64_t yearsCarried = FloorDiv(fields.tm_mon, 12);
  const int64_t year = int64_t{fields.tm_year} + 1900 + yearsCarried;
  const int64_t month = fields.tm_mon - yearsCarried * 12 + 1;
  const int64_t days = DaysFromCivil(year, month, 1) + fields.tm_mday - 1;
  return ((days * 24 + fields.tm_hour) * 60 + fields.tm_min) * 60 + fields.tm_sec;
}

tm TmFromSystemTime(const SYSTEMTIME& st) {
  tm fields = {};
  fields.tm_sec = st.wSecond;
  fields.tm_min = st.wMinute;
  fields.tm_hour = st.wHour;
  fields.tm_mday = st.wDay;
  fields.tm_mon = st.wMonth - 1;
  fields.tm_year = st.wYear - 1900;
  fields.tm_wday = st.wDayOfWeek;
  return fields;
}

SYSTEMTIME SystemTimeFromTm(const tm& fields, uint16_t milliseconds) {
  SYSTEMTIME st;
  st.wYear = static_cast<uint16_t>(fields.tm_year + 1900);
  st.wMonth = static_cast<uint16_t>(fields.tm_mon + 1);
  st.wDayOfWeek = static_cast<uint16_t>(fields.tm_wday);
  st.wDay = static_cast<uint16_t>(fields.tm_mday);
  st.wHour = static_cast<uint16_t>(fields.tm_hour);
  st.wMinute = static_cast<uint16_t>(fields.tm_min);
  st.wSecond = static_cast<uint16_t>(fields.tm_sec);
  st.wMilliseconds = milliseconds;
  return st;
}

tm UtcFields(time_t seconds) {
  tm fields = {};
  gmtime_r(&seconds, &fields);
  return fields;
}

}  // namespace

// ---------------------------------------------------------------------------
// UTCTimeSpan

UTCTimeSpan::UTCTimeSpan() : m_second(0) {}

UTCTimeSpan::UTCTimeSpan(int32_t second) { SetSecond(second); }

UTCTimeSpan::UTCTimeSpan(int32_t minute, int32_t second) { SetMinute(minute, second); }

UTCTimeSpan::UTCTimeSpan(int32_t hour, int32_t minute, int32_t second) { SetHour(hour, minute, second); }

UTCTimeSpan::UTCTimeSpan(int32_t day, int32_t hour, int32_t minute, int32_t second) {
  SetDay(day, hour, minute, second);
}

void UTCTimeSpan::SetSecond(int32_t second) { m_second = second; }

void UTCTimeSpan::SetMinute(int32_t minute, int32_t second) { SetDay(0, 0, minute, second); }

void UTCTimeSpan::SetHour(int32_t hour, int32_t minute, int32_t second) { SetDay(0, hour, minute, second); }

void UTCTimeSpan::SetDay(int32_t day, int32_t hour, int32_t minute, int32_t second) {
  m_second = Wrap32(int64_t{day} * 86400 + int64_t{hour} * 3600 + int64_t{minute} * 60 + second);
}

int32_t UTCTimeSpan::GetSecond() const { return m_second; }
int32_t UTCTimeSpan::GetMinute() const { return m_second / 60; }
int32_t UTCTimeSpan::GetHour() const { return m_second / 3600; }
int32_t UTCTimeSpan::GetDay() const { return m_second / 86400; }

int32_t UTCTimeSpan::GetResidualSecond() const { return m_second % 60; }
int32_t UTCTimeSpan::GetResidualMinute() const { return GetMinute() % 60; }
int32_t UTCTimeSpan::GetResidualHour() const { return GetHour() % 24; }

UTCTimeSpan& UTCTimeSpan::operator+=(const UTCTimeSpan& other) {
  m_second = Wrap32(int64_t{m_second} + other.m_second);
  return *this;
}

UTCTimeSpan& UTCTimeSpan::operator-=(const UTCTimeSpan& other) {
  m_second = Wrap32(int64_t{m_second} - other.m_second);
  return *this;
}

UTCTimeSpan UTCTimeSpan::operator+(const UTCTimeSpan& other) const {
  UTCTimeSpan sum(*this);
  return sum += other;
}

UTCTimeSpan UTCTimeSpan::operator-(const UTCTimeSpan& other) const {
  UTCTimeSpan difference(*this);
  return difference -= other;
}

bool UTCTimeSpan::operator==(const UTCTimeSpan& other) const { return m_second == other.m_second; }
bool UTCTimeSpan::operator!=(const UTCTimeSpan& other) const { return m_second != other.m_second; }
bool UTCTimeSpan::operator>(const UTCTimeSpan& other) const { return m_second > other.m_second; }
bool UTCTimeSpan::operator<(const UTCTimeSpan& other) const { return m_second < other.m_second; }
bool UTCTimeSpan::operator>=(const UTCTimeSpan& other) const { return m_second >= other.m_second; }
bool UTCTimeSpan::operator<=(const UTCTimeSpan& other) const { return m_second <= other.m_second; }

// ---------------------------------------------------------------------------
// UTCTime

UTCTime::UTCTime() : m_ts() {}
UTCTime::UTCTime(const time_t& t) : m_ts() { *this = t; }
UTCTime::UTCTime(const timespec& ts) : m_ts() { *this = ts; }
UTCTime::UTCTime(const tm& t_tm) : m_ts() { *this = t_tm; }
UTCTime::UTCTime(const SYSTEMTIME& st) : m_ts() { *this = st; }
UTCTime::UTCTime(const FILETIME& ft) : m_ts() { *this = ft; }

UTCTime& UTCTime::operator=(const time_t& t) {
  SetSeconds(t);
  m_ts.tv_nsec = 0;
  return *this;
}

UTCTime& UTCTime::operator=(const timespec& ts) {
  SetSeconds(ts.tv_sec);
  m_ts.tv_nsec = Wrap32(ts.tv_nsec);
  return *this;
}

UTCTime& UTCTime::operator=(const tm& t_tm) {
  SetSeconds(SecondsOfUtcFields(t_tm));
  m_ts.tv_nsec = 0;
  return *this;
}

UTCTime& UTCTime::operator=(const SYSTEMTIME& st) {
  *this = TmFromSystemTime(st);
  m_ts.tv_nsec = Wrap32(st.wMilliseconds * kNanosecondsPerMillisecond);
  return *this;
}

UTCTime& UTCTime::operator=(const FILETIME& ft) {
  const uint64_t ticks = ft_to_u64(ft);
  const uint64_t ticks_per_second = kFileTimeTicksPerSecond;
  SetSeconds(static_cast<int64_t>(ticks / ticks_per_second) - kFileTimeEpochOffsetSeconds);
  m_ts.tv_nsec = static_cast<long>((ticks % ticks_per_second) * kNanosecondsPerFileTimeTick);
  return *this;
}

UTCTime::operator time_t() const { return Seconds(); }

UTCTime::operator timespec() const { return m_ts; }

UTCTime::operator tm() const { return UtcFields(Seconds()); }

UTCTime::operator SYSTEMTIME() const {
  const uint16_t milliseconds = static_cast<uint16_t>(Nanoseconds() / kNanosecondsPerMillisecond);
  return SystemTimeFromTm(*this, milliseconds);
}

UTCTime::operator FILETIME() const {
  const int64_t ticks = (int64_t{Seconds()} + kFileTimeEpochOffsetSeconds) * kFileTimeTicksPerSecond +
                        Nanoseconds() / kNanosecondsPerFileTimeTick;
  return u64_to_ft(static_cast<uint64_t>(ticks));
}

UTCTime& UTCTime::SetTmTime(int tm_year, int tm_mon, int tm_mday, int tm_hour, int tm_min, int tm_sec,
                            int tm_milli_sec, int tm_micro_sec, int tm_nano_sec) {
  tm fields = {};
  fields.tm_year = tm_year;
  fields.tm_mon = tm_mon;
  fields.tm_mday = tm_mday;
  fields.tm_hour = tm_hour;
  fields.tm_min = tm_min;
  fields.tm_sec = tm_sec;
  *this = fields;
  AddNanoseconds(tm_milli_sec * kNanosecondsPerMillisecond + tm_micro_sec * kNanosecondsPerMicrosecond +
                 tm_nano_sec);
  return *this;
}

UTCTime& UTCTime::SetSystemTime(uint16_t wYear, uint16_t wMonth, uint16_t wDay, uint16_t wHour,
                                uint16_t wMinute, uint16_t wSecond, uint16_t wMilliseconds,
                                uint16_t wMicroseconds, uint16_t wNanoseconds) {
  SYSTEMTIME st = {};
  st.wYear = wYear;
  st.wMonth = wMonth;
  st.wDay = wDay;
  st.wHour = wHour;
  st.wMinute = wMinute;
  st.wSecond = wSecond;
  st.wMilliseconds = wMilliseconds;
  *this = st;
  AddNanoseconds(wMicroseconds * kNanosecondsPerMicrosecond + wNanoseconds);
  return *this;
}

bool UTCTime::operator==(const UTCTime& other) const {
  return Seconds() == other.Seconds() && Nanoseconds() == other.Nanoseconds();
}

bool UTCTime::operator!=(const UTCTime& other) const { return !(*this == other); }

bool UTCTime::operator<(const UTCTime& other) const {
  if (Seconds() != other.Seconds()) return Seconds() < other.Seconds();
  return Nanoseconds() < other.Nanoseconds();
}

bool UTCTime::operator>(const UTCTime& other) const { return other < *this; }
bool UTCTime::operator>=(const UTCTime& other) const { return !(*this < other); }
bool UTCTime::operator<=(const UTCTime& other) const { return !(other < *this); }

UTCTime& UTCTime::operator+=(const UTCTimeSpan& span) {
  SetSeconds(int64_t{Seconds()} + span.GetSecond());
  return *this;
}

UTCTime& UTCTime::operator-=(const UTCTimeSpan& span) {
  SetSeconds(int64_t{Seconds()} - span.GetSecond());
  return *this;
}

UTCTime UTCTime::operator+(const UTCTimeSpan& span) const {
  UTCTime sum(*this);
  return sum += span;
}

UTCTime UTCTime::operator-(const UTCTimeSpan& span) const {
  UTCTime difference(*this);
  return difference -= span;
}

UTCTime UTCTime::GetCurrentTime() { return UTCTime(GetCurrentTimeSpec()); }

time_t UTCTime::GetCurrentTimeT() { return time(nullptr); }

tm UTCTime::GetCurrentTM() { return UtcFields(time(nullptr)); }

timespec UTCTime::GetCurrentTimeSpec() { return ReadClock(CLOCK_REALTIME); }

timespec UTCTime::GetCurrentTimeCount() { return ReadClock(CLOCK_MONOTONIC); }

SYSTEMTIME UTCTime::GetCurrentSystemTime() { return GetCurrentTime(); }

FILETIME UTCTime::GetCurrentFileTime() { return GetCurrentTime(); }

void UTCTime::SetSeconds(int64_t seconds) { m_ts.tv_sec = Wrap32(seconds); }

void UTCTime::AddNanoseconds(int64_t nanoseconds) {
  m_ts.tv_nsec = Wrap32(int64_t{Nanoseconds()} + nanoseconds);
}

int32_t UTCTime::Seconds() const { return Wrap32(m_ts.tv_sec); }

int32_t UTCTime::Nanoseconds() const { return Wrap32(m_ts.tv_nsec); }

// ---------------------------------------------------------------------------
// Between UTC and local calendar time

tm UTCTimeToLocalTime(const tm& t_tm) {
  const time_t seconds = UTCTime(t_tm);
  tm local = {};
  localtime_r(&seconds, &local);
  return local;
}

tm LocalTimeToUTCTime(const tm& t_tm) {
  tm local = t_tm;
  return UtcFields(mktime(&local));
}

tm UTCTimeToLocalTime(const tm& t_tm, int32_t tz_sec, int32_t dst_sec) {
  const UTCTime local = UTCTime(t_tm) + UTCTimeSpan(tz_sec) + UTCTimeSpan(dst_sec);
  return local;
}

tm LocalTimeToUTCTime(const tm& t_tm, int32_t tz_sec, int32_t dst_sec) {
  const UTCTime utc = UTCTime(t_tm) - UTCTimeSpan(tz_sec) - UTCTimeSpan(dst_sec);
  return utc;
}

// The SYSTEMTIME forms take the converted calendar fields as they stand:
// gmtime_r and localtime_r have already normalised them and set the day of
// the week. Reading a local result back through UTCTime would shift it by an
// hour whenever localtime_r flags daylight-saving time.

SYSTEMTIME UTCTimeToLocalTime(const SYSTEMTIME& st) {
  return SystemTimeFromTm(UTCTimeToLocalTime(tm(UTCTime(st))), st.wMilliseconds);
}

SYSTEMTIME LocalTimeToUTCTime(const SYSTEMTIME& st) {
  tm local = UTCTime(st);
  // A SYSTEMTIME carries no daylight-saving flag: let the zone's rules decide
  // instead of reading a summer time as standard time.
  local.tm_isdst = -1;
  return SystemTimeFromTm(LocalTimeToUTCTime(local), st.wMilliseconds);
}

SYSTEMTIME UTCTimeToLocalTime(const SYSTEMTIME& st, int32_t tz_sec, int32_t dst_sec) {
  return SystemTimeFromTm(UTCTimeToLocalTime(tm(UTCTime(st)), tz_sec, dst_sec), st.wMilliseconds);
}

SYSTEMTIME LocalTimeToUTCTime(const SYSTEMTIME& st, int32_t tz_sec, int32_t dst_sec) {
  return SystemTimeFromTm(LocalTimeToUTCTime(tm(UTCTime(st)), tz_sec, dst_sec), st.wMilliseconds);
}

// ---------------------------------------------------------------------------
// Repacking a 64-bit count

ULARGE_INTEGER ft_to_uli(const FILETIME& ft) {
  ULARGE_INTEGER uli;
  uli.LowPart = ft.dwLowDateTime;
  uli.HighPart = ft.dwHighDateTime;
  return uli;
}

uint64_t ft_to_u64(const FILETIME& ft) { return (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime; }

FILETIME uli_to_ft(const ULARGE_INTEGER& uli) {
  FILETIME ft;
  ft.dwLowDateTime = uli.LowPart;
  ft.dwHighDateTime = uli.HighPart;
  return ft;
}

uint64_t uli_to_u64(const ULARGE_INTEGER& uli) { return uli.QuadPart; }

FILETIME u64_to_ft(const uint64_t& u64) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<uint32_t>(u64);
  ft.dwHighDateTime = static_cast<uint32_t>(u64 >> 32);
  return ft;
}

ULARGE_INTEGER u64_to_uli(const uint64_t& u64) {
  ULARGE_INTEGER uli;
  uli.QuadPart = u64;
  return uli;
}

}  // namespace SysUtils

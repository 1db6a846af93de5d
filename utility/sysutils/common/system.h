#pragma once

#include <time.h>

#include <cstdint>

namespace SysUtils {

// Time-outs and sleeps are given in milliseconds and reach the system and the
// portable runtime in microseconds.
constexpr int64_t kMicrosPerMilli = 1000;

// Suspends the calling thread; ms is at most 4,294,967 (its microseconds must
// fit in 32 bits).
void SleepMS(uint32_t ms);

// The system clock `clock` now.
timespec ReadClock(clockid_t clock);

// Milliseconds of the monotonic clock: the clock of every interval.
int64_t GetTimeCountMS();

// Milliseconds of the wall clock since 1970-01-01 00:00:00 UTC.
int64_t GetTimeMS();

// Milliseconds between 1601-01-01 and 1970-01-01.
constexpr uint64_t kEpochDeltaMS = 11644473600000ULL;

// Converts milliseconds since 1970 to milliseconds since 1601.
uint64_t AddEPOCHTimeMS(uint64_t ms);

// Converts milliseconds since 1601 to milliseconds since 1970 (wraps below
// zero).
uint64_t DeleteEPOCHTimeMS(uint64_t ms);

}  // namespace SysUtils

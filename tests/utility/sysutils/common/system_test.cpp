#include "utility/sysutils/common/system.h"

#include <gtest/gtest.h>
#include <time.h>

#include <cstdint>

namespace {

using namespace SysUtils;

int64_t RawClockMS(clockid_t clock) {
  struct timespec ts;
  clock_gettime(clock, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

TEST(SleepTest, ZeroReturnsAtOnce) {
  int64_t before = GetTimeCountMS();
  SleepMS(0);
  EXPECT_LT(GetTimeCountMS() - before, 50);
}

TEST(SleepTest, SleepsAtLeastTheGivenTime) {
  int64_t before = GetTimeCountMS();
  SleepMS(30);
  EXPECT_GE(GetTimeCountMS() - before, 30);
}

// Setting the wall clock back needs privileges; reading the monotonic clock
// itself is what keeps the count from moving backwards then.
TEST(ClockTest, CountFollowsTheMonotonicClock) {
  int64_t before = RawClockMS(CLOCK_MONOTONIC);
  int64_t count = GetTimeCountMS();
  int64_t after = RawClockMS(CLOCK_MONOTONIC);
  EXPECT_LE(before, count);
  EXPECT_LE(count, after);
}

TEST(ClockTest, CountNeverMovesBackwards) {
  int64_t last = GetTimeCountMS();
  for (int i = 0; i < 10000; ++i) {
    int64_t now = GetTimeCountMS();
    ASSERT_GE(now, last);
    last = now;
  }
}

TEST(ClockTest, TimeIsMillisecondsSince1970) {
  int64_t before = static_cast<int64_t>(time(nullptr)) * 1000;
  int64_t now = GetTimeMS();
  int64_t after = static_cast<int64_t>(time(nullptr)) * 1000 + 1000;
  EXPECT_LE(before, now);
  EXPECT_LT(now, after);
}

TEST(EpochTest, OffsetIsTheMillisecondsFrom1601To1970) {
  EXPECT_EQ(11644473600000ULL, AddEPOCHTimeMS(0));
  EXPECT_EQ(0ULL, DeleteEPOCHTimeMS(11644473600000ULL));
}

TEST(EpochTest, DeleteUndoesAdd) {
  for (uint64_t ms : {uint64_t{0}, uint64_t{1}, uint64_t{1700000000123}, UINT64_MAX}) {
    EXPECT_EQ(ms, DeleteEPOCHTimeMS(AddEPOCHTimeMS(ms))) << ms;
  }
}

TEST(EpochTest, DeleteWrapsBelowZero) {
  EXPECT_EQ(UINT64_MAX, DeleteEPOCHTimeMS(11644473600000ULL - 1));
}

}  // namespace

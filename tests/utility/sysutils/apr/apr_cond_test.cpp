#include "utility/sysutils/apr/apr_cond.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/wait_until.h"
#include "utility/sysutils/common/system.h"

namespace {

using SysUtils::AprCond;
using SysUtils::GetTimeCountMS;
using SysUtils::SleepMS;

// Long enough for a started thread to have reached its wait, also under
// emulation.
const uint32_t kSettleMS = 300;

TEST(AprCondTest, TimedWaitZeroPolls) {
  AprCond event(false);
  int64_t before = GetTimeCountMS();
  EXPECT_FALSE(event.timedwait(0));
  EXPECT_LT(GetTimeCountMS() - before, 100);
  event.set();
  EXPECT_TRUE(event.timedwait(0));
}

TEST(AprCondTest, TimedWaitOnAClearEventWaitsTheTimeOut) {
  AprCond event(false);
  int64_t before = GetTimeCountMS();
  EXPECT_FALSE(event.timedwait(50));
  EXPECT_GE(GetTimeCountMS() - before, 45);
}

TEST(AprCondTest, AutomaticResetLetsOneWaitThroughPerSet) {
  AprCond event(false);
  event.set();
  event.set();
  EXPECT_TRUE(event.wait());
  EXPECT_FALSE(event.timedwait(0));
}

TEST(AprCondTest, ManualResetStaysSetUntilReset) {
  AprCond event(true);
  event.set();
  EXPECT_TRUE(event.wait());
  EXPECT_TRUE(event.timedwait(0));
  EXPECT_TRUE(event.timedwait(10));
  EXPECT_TRUE(event.wait());
  event.reset();
  EXPECT_FALSE(event.timedwait(0));
}

TEST(AprCondTest, ResetForgetsAnUnconsumedSet) {
  AprCond event(false);
  event.set();
  event.reset();
  EXPECT_FALSE(event.timedwait(0));
}

TEST(AprCondTest, SetAfterATimeOutIsRemembered) {
  AprCond event(false);
  EXPECT_FALSE(event.timedwait(10));
  event.set();
  EXPECT_TRUE(event.timedwait(0));
}

TEST(AprCondTest, SetWakesAWaiterBeforeItsTimeOut) {
  AprCond event(false);
  std::atomic<bool> woken{false};
  int64_t before = GetTimeCountMS();
  std::thread waiter([&] { woken = event.timedwait(20000); });
  SleepMS(50);
  event.set();
  ASSERT_TRUE(WaitUntil([&] { return woken.load(); }, 10000));
  waiter.join();
  EXPECT_LT(GetTimeCountMS() - before, 10000);
  EXPECT_FALSE(event.timedwait(0));
}

// Two threads wait; each set lets exactly one of them through.
TEST(AprCondTest, AutomaticResetSetReleasesOneWaiter) {
  AprCond event(false);
  std::atomic<int> through{0};
  auto waitOnce = [&] {
    if (event.timedwait(20000)) ++through;
  };
  std::thread a(waitOnce), b(waitOnce);
  SleepMS(kSettleMS);
  event.set();
  ASSERT_TRUE(WaitUntil([&] { return through.load() >= 1; }, 10000));
  SleepMS(100);
  EXPECT_EQ(1, through.load());
  event.set();
  ASSERT_TRUE(WaitUntil([&] { return through.load() == 2; }, 10000));
  a.join();
  b.join();
}

// A set wakes one waiter also in manual-reset mode; a thread that comes to
// wait while the event is set returns at once.
TEST(AprCondTest, ManualResetSetWakesOneWaiterAndAdmitsLateComers) {
  AprCond event(true);
  std::atomic<int> through{0};
  auto waitOnce = [&] {
    if (event.wait()) ++through;
  };
  std::thread a(waitOnce), b(waitOnce);
  SleepMS(kSettleMS);
  event.set();
  ASSERT_TRUE(WaitUntil([&] { return through.load() >= 1; }, 10000));
  SleepMS(100);
  EXPECT_EQ(1, through.load());
  EXPECT_TRUE(event.timedwait(0));
  event.set();
  ASSERT_TRUE(WaitUntil([&] { return through.load() == 2; }, 10000));
  a.join();
  b.join();
}

}  // namespace

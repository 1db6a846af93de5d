#include "utility/sysutils/common/critical_section.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using SysUtils::CriticalSection;
using SysUtils::CriticalSectionLock;

// Whether a thread other than the caller could take the section right now.
bool FreeForOtherThread(CriticalSection& cs) {
  bool taken = false;
  std::thread other([&] {
    taken = cs.TryLock();
    if (taken) cs.Unlock();
  });
  other.join();
  return taken;
}

TEST(CriticalSectionTest, OwnerMayLockAgainAndMustUnlockAsOften) {
  CriticalSection cs;
  cs.Lock();
  cs.Lock();
  EXPECT_TRUE(cs.TryLock());
  EXPECT_FALSE(FreeForOtherThread(cs));
  cs.Unlock();
  cs.Unlock();
  EXPECT_FALSE(FreeForOtherThread(cs));
  cs.Unlock();
  EXPECT_TRUE(FreeForOtherThread(cs));
}

TEST(CriticalSectionTest, ExcludesOtherThreads) {
  CriticalSection cs;
  int counter = 0;
  auto add = [&] {
    for (int i = 0; i < 20000; ++i) {
      CriticalSectionLock lock(&cs);
      counter = counter + 1;
    }
  };
  std::thread a(add), b(add);
  a.join();
  b.join();
  EXPECT_EQ(40000, counter);
}

TEST(CriticalSectionLockTest, HoldsForItsScope) {
  CriticalSection cs;
  {
    CriticalSectionLock lock(&cs);
    EXPECT_FALSE(FreeForOtherThread(cs));
  }
  EXPECT_TRUE(FreeForOtherThread(cs));
}

TEST(CriticalSectionLockTest, ReleasesTheHoldsOfItsTryLock) {
  CriticalSection cs;
  {
    CriticalSectionLock lock(&cs);
    EXPECT_TRUE(lock.TryLock());
    EXPECT_TRUE(lock.TryLock());
  }
  EXPECT_TRUE(FreeForOtherThread(cs));
}

TEST(CriticalSectionLockTest, NullGuardDoesNothing) {
  CriticalSection cs;
  {
    CriticalSectionLock lock(nullptr);
    EXPECT_FALSE(lock.TryLock());
    EXPECT_TRUE(FreeForOtherThread(cs));
  }
  EXPECT_TRUE(FreeForOtherThread(cs));
}

}  // namespace

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/wait_until.h"
#include "utility/sysutils/apr/apr_root.h"
#include "utility/sysutils/apr/apr_thread_worker.h"
#include "utility/sysutils/common/system.h"
#include "utility/sysutils/common/time.h"

namespace {

using namespace SysUtils;

const int64_t kDeadlineMS = 10000;

// First in this program, since it makes the first use of the root.
TEST(AprRootTest, AnnouncesItselfOnceAndTracksObjects) {
  testing::internal::CaptureStdout();
  AprRoot* root = AprRoot::instance();
  EXPECT_EQ("APR Application Instance initiating ...\nAPR Application Instance init done ...\n",
            testing::internal::GetCapturedStdout());
  int object = 0;
  root->trackObject(&object);
  EXPECT_TRUE(root->untrackObject(&object));
  EXPECT_FALSE(root->untrackObject(&object));
}

// The guard gives back every hold it took: only the last unlock is too many.
TEST(CriticalSectionTest, OwnerLocksAgainAndOthersWaitForItsLastUnlock) {
  CriticalSection cs;
  auto freeForOthers = [&cs] {
    bool taken = false;
    std::thread([&] {
      if ((taken = cs.TryLock())) cs.Unlock();
    }).join();
    return taken;
  };
  {
    CriticalSectionLock guard(&cs);
    EXPECT_TRUE(guard.TryLock());
    EXPECT_FALSE(freeForOthers());
  }
  EXPECT_TRUE(freeForOthers());
  EXPECT_FALSE(CriticalSectionLock(nullptr).TryLock());
#if !defined(__SANITIZE_THREAD__)  // which stops the process at an unlock by a non-owner
  testing::internal::CaptureStderr();
  cs.Unlock();
  EXPECT_EQ(std::string("pthread_mutex_unlock(): ") + strerror(EPERM) + "\n",
            testing::internal::GetCapturedStderr());
#endif
}

// Bracketed by the same clock: time() would keep a coarser one.
TEST(ClockTest, WallClocksAndSleeps) {
  timespec before = {}, after = {};
  clock_gettime(CLOCK_REALTIME, &before);
  const int64_t count = GetTimeCountMS(), wall = GetTimeMS();
  const UTCTime now = UTCTime::GetCurrentTime();
  clock_gettime(CLOCK_REALTIME, &after);
  EXPECT_TRUE(UTCTime(before) <= now && now <= UTCTime(after));
  EXPECT_TRUE(before.tv_sec * 1000LL + before.tv_nsec / 1000000 <= wall &&
              wall <= after.tv_sec * 1000LL + after.tv_nsec / 1000000)
      << wall;
  SleepMS(30);
  EXPECT_GE(GetTimeCountMS() - count, 30);
}

TEST(AprCondTest, WaitsPollsAndTimeOutsInBothResetModes) {
  for (bool manual : {false, true}) {
    AprCond event(manual);
    const int64_t before = GetTimeCountMS();
    EXPECT_FALSE(event.timedwait(50));
    EXPECT_GE(GetTimeCountMS() - before, 45);
    event.set();
    event.set();
    EXPECT_TRUE(event.wait());
    EXPECT_EQ(manual, event.timedwait(0));
    event.set();
    EXPECT_TRUE(event.timedwait(0));
    EXPECT_EQ(manual, event.timedwait(10));
    event.set();
    event.reset();
    EXPECT_FALSE(event.timedwait(0));
  }
  AprCond event(false);
  std::atomic<int> woken{-1};
  std::thread waiter([&] { woken = event.timedwait(20000); });
  SleepMS(50);
  event.set();
  EXPECT_TRUE(WaitUntil([&] { return woken == 1; }, kDeadlineMS));
  waiter.join();
}

const uint32_t kStop = 0, kSlow = 77, kUntouched = 0xDEADBEEF;

class ScriptedWorker : public AprThreadWorker {
 public:
  explicit ScriptedWorker(std::function<void(ScriptedWorker&)> body) : m_body(std::move(body)) {}
  ~ScriptedWorker() override {
    if (ThreadExists()) CallWorker(kStop, nullptr);
    CloseThread();
  }
  bool Finishes() {
    return WaitUntil([this] { return isFinished(); }, kDeadlineMS);
  }
  using AprThreadWorker::CheckRequest;
  using AprThreadWorker::GetRequest;
  using AprThreadWorker::Reply;
  using AprThreadWorker::StopRequested;

 protected:
  void ThreadProc() override { m_body(*this); }

 private:
  std::function<void(ScriptedWorker&)> m_body;
};

std::string PrintedBy(AprThread::Policy policy, priority_t priority) {
  ScriptedWorker thread([](ScriptedWorker&) {});
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const bool ran = thread.start(policy, priority) && thread.Finishes() && thread.wait();
  const std::string printed = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
  return ran ? printed : "did not run";
}

TEST(AprThreadTest, SchedulingIsAppliedOnlyWhenPolicyAndPriorityAreGiven) {
  EXPECT_EQ("", PrintedBy(AprThread::POLI_INHERIT, 50));
  EXPECT_EQ("", PrintedBy(AprThread::POLI_FIFO, AprThread::PRIO_INHERIT));
  // The normal policy needs no privileges; the message names the percentage.
  EXPECT_EQ("Thread has been set to policy: 0 priority: 50\n", PrintedBy(AprThread::POLI_OTHER, 50));
  EXPECT_EQ(50, AprThread::schedulerPriority(1, 99, 50));
  EXPECT_EQ(99, AprThread::schedulerPriority(1, 99, 100));
}

// The workers' loop, answering request + 1: each request is taken once.
void Serve(ScriptedWorker& w) {
  for (const int64_t end = GetTimeCountMS() + kDeadlineMS; GetTimeCountMS() < end; SleepMS(2)) {
    uint32_t request = kUntouched;
    EXPECT_FALSE(w.CheckRequest(nullptr));
    if (!w.CheckRequest(&request)) continue;
    EXPECT_FALSE(w.CheckRequest(&request));
    if (request == kStop) return w.Reply(0);
    if (request == kSlow) SleepMS(3 * AprThreadWorker::kLivenessSliceMS);
    w.Reply(request + 1);
  }
}

// A call returns when its thread ends, and every thread here ends in time.
uint32_t Call(ScriptedWorker& worker, uint32_t param) {
  uint32_t result = kUntouched;
  return worker.CallWorker(param, &result) ? result : kUntouched;
}

TEST(AprThreadWorkerTest, AnswersWhileItsThreadRuns) {
  ScriptedWorker worker(Serve);
  const int64_t before = GetTimeCountMS();
  EXPECT_EQ(kUntouched, Call(worker, 1));
  EXPECT_LT(GetTimeCountMS() - before, 50);
  ASSERT_TRUE(worker.CreateThread());
  EXPECT_TRUE(worker.ThreadExists() && !worker.isFinished());
  EXPECT_FALSE(worker.CreateThread());
  EXPECT_TRUE(worker.CallWorker(kSlow, nullptr));  // or the next call collects its reply
  EXPECT_EQ((std::vector<uint32_t>{8, kSlow + 1, 0xFFFFFFFF, 0}),
            (std::vector<uint32_t>{Call(worker, 7), Call(worker, kSlow), Call(worker, 0xFFFFFFFE),
                                   Call(worker, kStop)}));
  ASSERT_TRUE(worker.Finishes());
  EXPECT_EQ(kUntouched, Call(worker, 1));
  EXPECT_TRUE(worker.CloseThread());
  EXPECT_TRUE(!worker.ThreadExists() && worker.isFinished());
}

// The handshake every worker loop uses: only the stop ends it.
TEST(AprThreadWorkerTest, StopRequestedAnswersUnknownRequestsAndEndsOnTheStop) {
  ScriptedWorker worker([](ScriptedWorker& w) {
    while (!w.StopRequested()) SleepMS(2);
  });
  ASSERT_TRUE(worker.CreateThread());
  EXPECT_EQ(AprThreadWorker::kUnknownRequestReply, Call(worker, 5));
  EXPECT_EQ(0u, Call(worker, AprThreadWorker::kStopRequest));
  EXPECT_TRUE(worker.Finishes());
}

// The reply races the end of the thread; every other start joins it itself.
TEST(AprThreadWorkerTest, RestartedThreadsDeliverTheirLastReply) {
  ScriptedWorker worker([](ScriptedWorker& w) { w.Reply(w.GetRequest() + 1); });
  for (uint32_t round = 1; round <= 20; ++round) {
    ASSERT_TRUE(worker.CreateThread());
    EXPECT_EQ(round + 1, Call(worker, round));
    ASSERT_TRUE(round % 2 ? worker.Finishes() : worker.CloseThread());
  }
}

// A request nobody took is withdrawn, or a restarted thread would take it.
TEST(AprThreadWorkerTest, ThreadEndingWithoutAReplyFailsTheCall) {
  ScriptedWorker taker([](ScriptedWorker& w) { w.GetRequest(); });
  ASSERT_TRUE(taker.CreateThread());
  EXPECT_EQ(kUntouched, Call(taker, 1));
  ScriptedWorker quitter([](ScriptedWorker&) { SleepMS(50); });
  ASSERT_TRUE(quitter.CreateThread());
  EXPECT_EQ(kUntouched, Call(quitter, 2));
  uint32_t request = kUntouched;
  EXPECT_FALSE(quitter.CheckRequest(&request));
}

UTCTime At(int32_t seconds, int32_t nanoseconds) { return UTCTime(timespec{seconds, nanoseconds}); }
std::vector<int64_t> Parts(const timespec& ts) { return {ts.tv_sec, ts.tv_nsec}; }

std::vector<int> Fields(const SYSTEMTIME& st) {
  return {st.wYear, st.wMonth, st.wDayOfWeek, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

// Both ends of the range, either side of 1970, and the present.
const struct {
  int32_t seconds, nanoseconds;
  uint64_t ticks;
  SYSTEMTIME calendar;
} kInstants[] = {
    {INT32_MIN, 0, 94969899520000000, {1901, 12, 5, 13, 20, 45, 52, 0}},
    {-1, 999999900, 116444735999999999, {1969, 12, 3, 31, 23, 59, 59, 999}},
    {0, 0, 116444736000000000, {1970, 1, 4, 1, 0, 0, 0, 0}},
    {1705322096, 250000000, 133497956962500000, {2024, 1, 1, 15, 12, 34, 56, 250}},
    {INT32_MAX, 5000000, 137919572470050000, {2038, 1, 2, 19, 3, 14, 7, 5}},
};

TEST(UTCTimeTest, ConvertsEachInstantToEveryFormAndBack) {
  for (const auto& in : kInstants) {
    const UTCTime time = At(in.seconds, in.nanoseconds);
    EXPECT_EQ(in.ticks, ft_to_u64(time));
    EXPECT_EQ(Parts(time), Parts(UTCTime(u64_to_ft(in.ticks))));
    EXPECT_EQ(Fields(in.calendar), Fields(static_cast<SYSTEMTIME>(time)));
    EXPECT_EQ(Parts(At(in.seconds, in.calendar.wMilliseconds * 1000000)), Parts(UTCTime(in.calendar)));
    EXPECT_EQ(Parts(At(in.seconds, 0)), Parts(UTCTime(static_cast<tm>(time))));
    EXPECT_EQ(Parts(At(in.seconds, 0)), Parts(UTCTime(time_t{in.seconds})));
    EXPECT_EQ(in.seconds, static_cast<time_t>(time));
  }
  // One past the top of the range, and less than a 100 ns tick.
  EXPECT_EQ(Parts(At(INT32_MIN, 0)), Parts(UTCTime(u64_to_ft(137919572480000000))));
  EXPECT_EQ(116444736000000001u, ft_to_u64(At(0, 199)));
}

TEST(UTCTimeTest, SettersAddSubSecondPartsWithoutCarry) {
  UTCTime time;
  EXPECT_EQ(Parts(At(0, 1002003)), Parts(time.SetTmTime(70, 0, 1, 0, 0, 0, 1, 2, 3)));
  time.SetSystemTime(2024, 1, 15, 12, 34, 56, 123, 456, 789);
  EXPECT_EQ(Parts(At(1705322096, 123456789)), Parts(time));
  SYSTEMTIME st = time;
  st.wMilliseconds = 3000;  // the nanoseconds wrap in 32 bits
  EXPECT_EQ(3000 * 1000000LL - (1LL << 32), timespec(UTCTime(st)).tv_nsec);
}

// Asks every operator about every pair, equal ones included.
template <typename T, size_t N>
void ExpectAscending(const T (&values)[N]) {
  for (size_t i = 0; i < N; ++i) {
    for (size_t j = 0; j < N; ++j) {
      const T &a = values[i], &b = values[j];
      EXPECT_EQ((std::vector<bool>{i == j, i != j, i<j, i> j, i <= j, i >= j}),
                (std::vector<bool>{a == b, a != b, a<b, a> b, a <= b, a >= b}));
    }
  }
}

TEST(UTCTimeTest, OrdersBySignedSecondsThenSignedNanoseconds) {
  ExpectAscending({At(-1, 9), At(0, -5), At(0, 0), At(99, 999999999), At(100, 0), At(100, 5), At(100, 6)});
  ExpectAscending({UTCTimeSpan(-5), UTCTimeSpan(0, 5), UTCTimeSpan(0, 1, 0)});
}

TEST(UTCTimeTest, SpansSplitTowardZeroAndWrapIn32Bits) {
  const struct {
    UTCTimeSpan span;
    std::vector<int32_t> parts;  // seconds, days, hours, minutes, residual hours, minutes, seconds
  } kSpans[] = {
      {UTCTimeSpan(), {0, 0, 0, 0, 0, 0, 0}},
      {UTCTimeSpan(2, 5), {125, 0, 0, 2, 0, 2, 5}},
      {UTCTimeSpan(2, 3, 4), {7384, 0, 2, 123, 2, 3, 4}},
      {UTCTimeSpan(1, 2, 3, 4), {93784, 1, 26, 1563, 2, 3, 4}},
      {UTCTimeSpan(INT32_MAX) + UTCTimeSpan(1), {INT32_MIN, -24855, -596523, -35791394, -3, -14, -8}},
      {UTCTimeSpan(INT32_MIN) - UTCTimeSpan(1), {INT32_MAX, 24855, 596523, 35791394, 3, 14, 7}},
  };
  for (const auto& row : kSpans) {
    const UTCTimeSpan& s = row.span;
    EXPECT_EQ(row.parts,
              (std::vector<int32_t>{s.GetSecond(), s.GetDay(), s.GetHour(), s.GetMinute(),
                                    s.GetResidualHour(), s.GetResidualMinute(), s.GetResidualSecond()}));
  }
  EXPECT_EQ(Parts(At(999, 123456789)), Parts(At(1000, 123456789) + UTCTimeSpan(-1)));
  EXPECT_EQ(Parts(At(INT32_MAX, 7)), Parts(At(INT32_MIN, 7) - UTCTimeSpan(1)));
}

TEST(UTCTimeTest, LocalTimeByExplicitOffsets) {
  const SYSTEMTIME evening = {1970, 1, 4, 1, 23, 30, 0, 456}, morning = {1970, 1, 5, 2, 1, 30, 0, 456};
  EXPECT_EQ(Fields(morning), Fields(UTCTimeToLocalTime(evening, 3600, 3600)));
  EXPECT_EQ(Fields(evening), Fields(LocalTimeToUTCTime(morning, -3600, 10800)));
}

// Calendar fields read as UTC give the same instant under every process zone
// and on every architecture; the conversion to local time follows the zone.
// The range ends 1901-12-13 20:45:52 and 2038-01-19 03:14:07, the epoch,
// 2001-09-09 01:46:40, 2024-01-15 12:00 and 2024-07-01 12:00.
const int32_t kZoneInstants[] = {INT32_MIN, INT32_MAX, 0, 1000000000, 1705320000, 1719835200};
// Zones on both sides of Greenwich, and two whose offset is not their 1970 one.
const char* const kZones[] = {"UTC",          "America/New_York", "Europe/Berlin",
                              "Asia/Kolkata", "Asia/Singapore",   "Europe/Lisbon"};

TEST(UtcFieldsTest, ReadAsUtcUnderEveryZone) {
  for (const char* zone : kZones) {
    setenv("TZ", zone, 1);
    tzset();
    for (const int32_t seconds : kZoneInstants) {
      SCOPED_TRACE(std::string(zone) + " " + std::to_string(seconds));
      const time_t instant = seconds;
      const tm fields = UTCTime(instant);
      EXPECT_EQ(instant, time_t(UTCTime(fields)));
      EXPECT_EQ(instant, time_t(UTCTime(SYSTEMTIME(UTCTime(instant)))));
      tm local = {};
      localtime_r(&instant, &local);
      // Compared as read as UTC, which wraps both sides alike; back only inside the range.
      const time_t localFields = UTCTime(local);
      const SYSTEMTIME localTime = UTCTimeToLocalTime(SYSTEMTIME(UTCTime(instant)));
      EXPECT_EQ(localFields, time_t(UTCTime(UTCTimeToLocalTime(fields))));
      EXPECT_EQ(localFields, time_t(UTCTime(localTime)));
      if (seconds != INT32_MIN && seconds != INT32_MAX) {
        EXPECT_EQ(instant, time_t(UTCTime(LocalTimeToUTCTime(localTime))));
      }
    }
  }
  unsetenv("TZ");
  tzset();
}

}  // namespace

#include "utility/sysutils/apr/apr_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "support/wait_until.h"
#include "utility/sysutils/apr/apr_cond.h"

namespace {

using SysUtils::AprCond;
using SysUtils::AprThread;

// A thread whose body runs until the test opens its gate.
class GatedThread : public AprThread {
 public:
  GatedThread() : AprThread(POLI_INHERIT, PRIO_INHERIT), m_gate(true) {}
  ~GatedThread() override {
    m_gate.set();
    wait();
  }

  void Open() { m_gate.set(); }
  int Runs() const { return m_runs; }
  bool FinishSoon() {
    return WaitUntil([this] { return isFinished(); }, 10000);
  }

  // Counts the clean-ups of the thread's pool: a join clears it.
  int PoolClears() const { return m_poolClears; }
  void WatchPool() {
    apr_pool_cleanup_register(thePool().guts(), this, CountClear,
                              apr_pool_cleanup_null);
  }

 protected:
  void run() override {
    m_gate.wait();
    ++m_runs;
  }

 private:
  static apr_status_t CountClear(void* self) {
    ++static_cast<GatedThread*>(self)->m_poolClears;
    return APR_SUCCESS;
  }

  AprCond m_gate;
  std::atomic<int> m_runs{0};
  int m_poolClears = 0;
};

TEST(AprThreadTest, NeverStartedIsIdleAndJoinsTrivially) {
  GatedThread thread;
  EXPECT_FALSE(thread.isRunning());
  EXPECT_FALSE(thread.isFinished());
  EXPECT_TRUE(thread.wait());
}

TEST(AprThreadTest, RunsUntilItsBodyReturns) {
  GatedThread thread;
  ASSERT_TRUE(thread.start(AprThread::POLI_INHERIT, AprThread::PRIO_INHERIT));
  EXPECT_TRUE(thread.isRunning());
  EXPECT_FALSE(thread.isFinished());

  thread.Open();
  ASSERT_TRUE(thread.FinishSoon());
  EXPECT_FALSE(thread.isRunning());
  EXPECT_TRUE(thread.wait());
  EXPECT_TRUE(thread.isFinished());
  EXPECT_EQ(1, thread.Runs());
}

TEST(AprThreadTest, StartIsRefusedWhileRunning) {
  GatedThread thread;
  ASSERT_TRUE(thread.start(AprThread::POLI_INHERIT, AprThread::PRIO_INHERIT));
  EXPECT_FALSE(thread.start(AprThread::POLI_INHERIT, AprThread::PRIO_INHERIT));
  EXPECT_TRUE(thread.isRunning());
  thread.Open();
  ASSERT_TRUE(thread.FinishSoon());
  EXPECT_TRUE(thread.wait());
  EXPECT_EQ(1, thread.Runs());
}

TEST(AprThreadTest, StartsAgainAfterJoin) {
  GatedThread thread;
  thread.Open();
  for (int round = 1; round <= 3; ++round) {
    ASSERT_TRUE(thread.start(AprThread::POLI_INHERIT, AprThread::PRIO_INHERIT));
    ASSERT_TRUE(thread.FinishSoon());
    ASSERT_TRUE(thread.wait());
    EXPECT_EQ(round, thread.Runs());
  }
}

TEST(AprThreadTest, StartJoinsAFinishedThreadThatWasNotJoined) {
  GatedThread thread;
  thread.Open();
  ASSERT_TRUE(thread.start(AprThread::POLI_INHERIT, AprThread::PRIO_INHERIT));
  ASSERT_TRUE(thread.FinishSoon());

  thread.WatchPool();
  ASSERT_TRUE(thread.start(AprThread::POLI_INHERIT, AprThread::PRIO_INHERIT));
  EXPECT_EQ(1, thread.PoolClears()) << "the old thread was not joined";
  ASSERT_TRUE(WaitUntil([&] { return thread.Runs() == 2; }, 10000));
  ASSERT_TRUE(thread.FinishSoon());
  EXPECT_TRUE(thread.wait());
}

TEST(AprThreadTest, SchedulerPriorityIsAPercentOfTheRange) {
  EXPECT_EQ(1, AprThread::schedulerPriority(1, 99, 0));
  EXPECT_EQ(50, AprThread::schedulerPriority(1, 99, 50));
  EXPECT_EQ(99, AprThread::schedulerPriority(1, 99, 100));
  EXPECT_EQ(25, AprThread::schedulerPriority(1, 99, 25));  // 1 + 2450 / 100
  EXPECT_EQ(0, AprThread::schedulerPriority(0, 0, 70));
}

struct Printed {
  std::string out;
  std::string err;
};

// Runs one thread to its end with the given scheduling and returns what it
// printed.
Printed RunWithScheduling(AprThread::Policy policy, SysUtils::priority_t priority) {
  GatedThread thread;
  thread.Open();
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  bool started = thread.start(policy, priority);
  bool finished = started && thread.FinishSoon() && thread.wait();
  Printed printed;
  printed.out = testing::internal::GetCapturedStdout();
  printed.err = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(finished);
  EXPECT_EQ(1, thread.Runs());
  return printed;
}

TEST(AprThreadTest, InheritedSchedulingPrintsNothing) {
  for (auto [policy, priority] :
       {std::pair<AprThread::Policy, int>(AprThread::POLI_INHERIT, 50),
        std::pair<AprThread::Policy, int>(AprThread::POLI_FIFO, AprThread::PRIO_INHERIT),
        std::pair<AprThread::Policy, int>(AprThread::POLI_INHERIT, AprThread::PRIO_INHERIT)}) {
    Printed printed = RunWithScheduling(policy, priority);
    EXPECT_EQ("", printed.out) << policy << " " << priority;
    EXPECT_EQ("", printed.err) << policy << " " << priority;
  }
}

// The normal policy needs no privileges; the message names the percentage.
TEST(AprThreadTest, AppliedSchedulingIsReported) {
  Printed printed = RunWithScheduling(AprThread::POLI_OTHER, 50);
  EXPECT_EQ("Thread has been set to policy: 0 priority: 50\n", printed.out);
  EXPECT_EQ("", printed.err);
}

}  // namespace

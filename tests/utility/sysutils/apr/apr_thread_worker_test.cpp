#include "utility/sysutils/apr/apr_thread_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <mutex>
#include <vector>

#include "support/wait_until.h"
#include "utility/sysutils/common/system.h"

namespace {

using SysUtils::AprThreadWorker;
using SysUtils::GetTimeCountMS;
using SysUtils::SleepMS;

const uint32_t kStop = 0;
const uint32_t kUntouched = 0xDEADBEEF;
// No loop or wait of a test runs longer than this.
const int64_t kDeadlineMS = 10000;

// A worker whose loop is given by the test.
class ScriptedWorker : public AprThreadWorker {
 public:
  using Body = std::function<void(ScriptedWorker&)>;

  explicit ScriptedWorker(Body body) : m_body(std::move(body)) {}
  ~ScriptedWorker() override {
    if (ThreadExists()) CallWorker(kStop, nullptr);
    CloseThread();
  }

  // Only while no thread runs.
  void SetBody(Body body) { m_body = std::move(body); }

  using AprThreadWorker::CheckRequest;
  using AprThreadWorker::GetRequest;
  using AprThreadWorker::Reply;

 protected:
  void ThreadProc() override { m_body(*this); }

 private:
  Body m_body;
};

// The loop convention of the system's workers: poll once per round, 0 stops
// the loop, any other request is answered with answer(request).
ScriptedWorker::Body Serve(std::function<uint32_t(ScriptedWorker&, uint32_t)> answer) {
  return [answer](ScriptedWorker& w) {
    const int64_t deadline = GetTimeCountMS() + kDeadlineMS;
    while (GetTimeCountMS() < deadline) {
      uint32_t request;
      if (w.CheckRequest(&request)) {
        if (request == kStop) {
          w.Reply(0);
          return;
        }
        w.Reply(answer(w, request));
      }
      SleepMS(2);
    }
  };
}

ScriptedWorker::Body Echo() {
  return Serve([](ScriptedWorker&, uint32_t request) { return request + 1; });
}

// Calls the worker on another thread and insists on an answer within the
// deadline; a hung call ends the program rather than the test run.
bool CallWithDeadline(ScriptedWorker& worker, uint32_t param, uint32_t* pResult) {
  auto call = std::async(std::launch::async, [&] {
    return worker.CallWorker(param, pResult);
  });
  if (call.wait_for(std::chrono::milliseconds(kDeadlineMS)) !=
      std::future_status::ready) {
    fprintf(stderr, "CallWorker(%u) did not return\n", param);
    std::_Exit(1);
  }
  return call.get();
}

TEST(AprThreadWorkerTest, RequestAndReplyRoundTrip) {
  ScriptedWorker worker(Echo());
  ASSERT_TRUE(worker.CreateThread());
  EXPECT_TRUE(worker.ThreadExists());
  for (uint32_t v : {7u, 8u, 0xFFFFFFFEu}) {
    uint32_t result = kUntouched;
    EXPECT_TRUE(CallWithDeadline(worker, v, &result));
    EXPECT_EQ(v + 1, result);
  }
}

TEST(AprThreadWorkerTest, StopRequestEndsTheThread) {
  ScriptedWorker worker(Echo());
  ASSERT_TRUE(worker.CreateThread());
  uint32_t result = kUntouched;
  EXPECT_TRUE(CallWithDeadline(worker, kStop, &result));
  EXPECT_EQ(0u, result);
  ASSERT_TRUE(WaitUntil([&] { return worker.isFinished(); }, kDeadlineMS));
  EXPECT_FALSE(worker.ThreadExists());
  EXPECT_TRUE(worker.CloseThread());
}

TEST(AprThreadWorkerTest, EachRequestIsSeenOnce) {
  std::vector<uint32_t> seen;  // written by the worker, read after the replies
  std::vector<bool> secondPoll;
  ScriptedWorker worker(Serve([&](ScriptedWorker& w, uint32_t request) {
    seen.push_back(request);
    uint32_t again;
    secondPoll.push_back(w.CheckRequest(&again));
    return request;
  }));
  ASSERT_TRUE(worker.CreateThread());
  for (uint32_t v : {3u, 4u, 5u}) ASSERT_TRUE(CallWithDeadline(worker, v, nullptr));
  EXPECT_EQ((std::vector<uint32_t>{3, 4, 5}), seen);
  EXPECT_EQ((std::vector<bool>{false, false, false}), secondPoll);
}

TEST(AprThreadWorkerTest, NullDestinationLeavesTheRequestPending) {
  std::atomic<int> nullHits{0};
  ScriptedWorker worker([&](ScriptedWorker& w) {
    const int64_t deadline = GetTimeCountMS() + kDeadlineMS;
    while (GetTimeCountMS() < deadline) {
      SleepMS(5);
      if (w.CheckRequest(nullptr)) ++nullHits;
      uint32_t request;
      if (w.CheckRequest(&request)) {
        w.Reply(request * 2);
        return;
      }
    }
  });
  ASSERT_TRUE(worker.CreateThread());
  uint32_t result = kUntouched;
  EXPECT_TRUE(CallWithDeadline(worker, 21, &result));
  EXPECT_EQ(42u, result);
  EXPECT_EQ(0, nullHits.load());
}

TEST(AprThreadWorkerTest, BlockingGetRequestTakesThePostedValue) {
  ScriptedWorker worker([](ScriptedWorker& w) { w.Reply(w.GetRequest() + 100); });
  ASSERT_TRUE(worker.CreateThread());
  uint32_t result = kUntouched;
  EXPECT_TRUE(CallWithDeadline(worker, 5, &result));
  EXPECT_EQ(105u, result);
}

TEST(AprThreadWorkerTest, NullResultStillWaitsForTheReply) {
  std::atomic<bool> replied{false};
  ScriptedWorker worker(Serve([&](ScriptedWorker&, uint32_t request) {
    SleepMS(100);
    replied = true;
    return request;
  }));
  ASSERT_TRUE(worker.CreateThread());
  EXPECT_TRUE(CallWithDeadline(worker, 9, nullptr));
  EXPECT_TRUE(replied.load());
}

TEST(AprThreadWorkerTest, NeverStartedWorkerRefusesAtOnce) {
  ScriptedWorker worker(Echo());
  uint32_t result = kUntouched;
  int64_t before = GetTimeCountMS();
  EXPECT_FALSE(worker.CallWorker(1, &result));
  EXPECT_LT(GetTimeCountMS() - before, 50);
  EXPECT_EQ(kUntouched, result);
  EXPECT_FALSE(worker.ThreadExists());
  EXPECT_TRUE(worker.CloseThread());
}

TEST(AprThreadWorkerTest, FinishedWorkerRefusesAtOnce) {
  ScriptedWorker worker([](ScriptedWorker&) {});
  ASSERT_TRUE(worker.CreateThread());
  ASSERT_TRUE(WaitUntil([&] { return worker.isFinished(); }, kDeadlineMS));
  uint32_t result = kUntouched;
  int64_t before = GetTimeCountMS();
  EXPECT_FALSE(worker.CallWorker(1, &result));
  EXPECT_LT(GetTimeCountMS() - before, 50);
  EXPECT_EQ(kUntouched, result);
}

// The thread takes the request and ends without replying: the caller gives
// up after about one reply slice instead of waiting for ever.
TEST(AprThreadWorkerTest, ThreadEndingWithoutReplyFailsTheCall) {
  ScriptedWorker worker([](ScriptedWorker& w) { w.GetRequest(); });
  ASSERT_TRUE(worker.CreateThread());
  uint32_t result = kUntouched;
  int64_t before = GetTimeCountMS();
  EXPECT_FALSE(CallWithDeadline(worker, 1, &result));
  EXPECT_LT(GetTimeCountMS() - before, 5000);
  EXPECT_EQ(kUntouched, result);
}

// The thread ends before it takes the request; a restarted thread must not
// see the request that nobody answered.
TEST(AprThreadWorkerTest, UntakenRequestIsWithdrawnWhenTheThreadEnds) {
  ScriptedWorker worker([](ScriptedWorker&) { SleepMS(50); });
  ASSERT_TRUE(worker.CreateThread());
  uint32_t result = kUntouched;
  EXPECT_FALSE(CallWithDeadline(worker, 1, &result));
  EXPECT_EQ(kUntouched, result);
  ASSERT_TRUE(worker.CloseThread());

  std::vector<uint32_t> seen;
  worker.SetBody(Serve([&](ScriptedWorker&, uint32_t request) {
    seen.push_back(request);
    return request;
  }));
  ASSERT_TRUE(worker.CreateThread());
  EXPECT_TRUE(CallWithDeadline(worker, 2, &result));
  EXPECT_EQ(2u, result);
  EXPECT_EQ(std::vector<uint32_t>{2}, seen);
}

// A reply given just before the thread ends is still delivered.
TEST(AprThreadWorkerTest, ReplyJustBeforeTheThreadEndsIsDelivered) {
  ScriptedWorker worker([](ScriptedWorker& w) { w.Reply(w.GetRequest() + 1); });
  for (uint32_t round = 1; round <= 20; ++round) {
    ASSERT_TRUE(worker.CreateThread());
    uint32_t result = kUntouched;
    EXPECT_TRUE(CallWithDeadline(worker, round, &result));
    EXPECT_EQ(round + 1, result);
    ASSERT_TRUE(worker.CloseThread());
  }
}

// The second caller's request is posted only after the first reply has been
// collected, so each caller gets the answer to its own request.
TEST(AprThreadWorkerTest, ConcurrentCallersAreServedOneAtATime) {
  std::atomic<int> overlaps{0};
  ScriptedWorker worker(Serve([&](ScriptedWorker& w, uint32_t request) {
    SleepMS(50);
    uint32_t other;
    if (w.CheckRequest(&other)) {
      ++overlaps;
      w.Reply(other);  // keep the other caller from waiting in vain
    }
    return request + 1000;
  }));
  ASSERT_TRUE(worker.CreateThread());

  auto caller = [&](uint32_t first) {
    bool allOwn = true;
    for (uint32_t v = first; v < first + 5; ++v) {
      uint32_t result = kUntouched;
      allOwn = worker.CallWorker(v, &result) && result == v + 1000 && allOwn;
    }
    return allOwn;
  };
  auto a = std::async(std::launch::async, caller, 10u);
  auto b = std::async(std::launch::async, caller, 20u);
  ASSERT_EQ(std::future_status::ready,
            a.wait_for(std::chrono::milliseconds(kDeadlineMS)));
  ASSERT_EQ(std::future_status::ready,
            b.wait_for(std::chrono::milliseconds(kDeadlineMS)));
  EXPECT_TRUE(a.get());
  EXPECT_TRUE(b.get());
  EXPECT_EQ(0, overlaps.load());
}

TEST(AprThreadWorkerTest, SecondCreateThreadLeavesTheRunningThreadAlone) {
  ScriptedWorker worker(Echo());
  ASSERT_TRUE(worker.CreateThread());
  EXPECT_FALSE(worker.CreateThread());
  uint32_t result = kUntouched;
  EXPECT_TRUE(CallWithDeadline(worker, 30, &result));
  EXPECT_EQ(31u, result);
}

TEST(AprThreadWorkerTest, RestartsAfterStopAndClose) {
  ScriptedWorker worker(Echo());
  for (uint32_t round = 1; round <= 3; ++round) {
    ASSERT_TRUE(worker.CreateThread());
    uint32_t result = kUntouched;
    EXPECT_TRUE(CallWithDeadline(worker, round, &result));
    EXPECT_EQ(round + 1, result);
    ASSERT_TRUE(CallWithDeadline(worker, kStop, nullptr));
    ASSERT_TRUE(worker.CloseThread());
    EXPECT_FALSE(worker.ThreadExists());
  }
}

}  // namespace

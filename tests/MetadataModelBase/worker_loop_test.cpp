// The model base's lifecycle and connection road, driven through a model
// whose hooks the tests script.

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "support/host_recorder.h"
#include "support/scripted_model.h"
#include "support/stream_capture.h"

using namespace std::chrono_literals;
using vantix_test::EventRecorder;
using vantix_test::ScriptedModel;
using vantix_test::StreamCapture;
using vantix_test::WaitUntil;

namespace {

const unsigned int kLost = 3600;
const unsigned int kMade = 3601;
const char kAssertLine[] = "## ASSERT fail: file=MetadataModelBase/PluginModelBase line=";

// How often the process's other threads have given up or lost the processor:
// a thread that polls adds to it on every pass.
long OtherThreadsContextSwitches() {
  const std::string self = std::to_string(static_cast<long>(syscall(SYS_gettid)));
  long total = 0;
  DIR* pTasks = opendir("/proc/self/task");
  if (pTasks == nullptr) return -1;
  while (const dirent* pEntry = readdir(pTasks)) {
    const std::string name = pEntry->d_name;
    if (name == "." || name == ".." || name == self) continue;
    std::ifstream status("/proc/self/task/" + name + "/status");
    std::string key;
    long value = 0;
    while (status >> key) {
      if ((key == "voluntary_ctxt_switches:" || key == "nonvoluntary_ctxt_switches:") && status >> value) {
        total += value;
      }
    }
  }
  closedir(pTasks);
  return total;
}

// A model with a fast worker: 10 ms passes, 300 ms reconnect interval.
class WorkerLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model.SetWorkerTiming(10, 300);
    model.SetDeviceID(0x1A);
    model.RegisterEventCallbackFunc(&EventRecorder::Callback, &events);
  }
  void TearDown() override {
    model.Disconnect(true);
    model.Uninitialize();
  }

  E_METADATA_STATUS Status() {
    E_METADATA_STATUS eStatus = eMETADATA_STATUS_CONNECTING;
    model.GetStatus(&eStatus);
    return eStatus;
  }

  EventRecorder events;
  ScriptedModel model;
};

TEST_F(WorkerLoopTest, SyncConnectReportsTheOutcomeAndRaisesConnectedOnce) {
  ASSERT_TRUE(model.Initialize());
  EXPECT_TRUE(model.Connect(true));
  EXPECT_EQ(eMETADATA_STATUS_CONNECTED, Status());
  ASSERT_TRUE(events.WaitForCount(1, 2s));
  EXPECT_EQ(std::vector<unsigned int>{kMade}, events.Codes());
  EXPECT_EQ(0x1Au, events.Events()[0].ullDeviceID);
  EXPECT_NE(std::this_thread::get_id(), model.HookThread()) << "hooks run on the worker thread";

  // Connecting again changes nothing and reports nothing.
  EXPECT_TRUE(model.Connect(true));
  EXPECT_EQ(1, model.iConnectCalls.load());
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(1u, events.Codes().size());
}

TEST_F(WorkerLoopTest, SyncConnectFailureLeavesDisconnectedWithoutEvent) {
  model.bConnectSucceeds = false;
  ASSERT_TRUE(model.Initialize());
  EXPECT_FALSE(model.Connect(true));
  EXPECT_EQ(eMETADATA_STATUS_DISCONNECT, Status());
  std::this_thread::sleep_for(50ms);
  EXPECT_TRUE(events.Codes().empty());
}

TEST_F(WorkerLoopTest, AsyncConnectReturnsAtOnceWhateverTheOutcome) {
  model.bConnectSucceeds = false;
  model.iConnectDelayMS = 300;
  ASSERT_TRUE(model.Initialize());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(model.Connect(false));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
  EXPECT_TRUE(WaitUntil([&] { return model.iConnectCalls >= 1; }, 2s));
  EXPECT_TRUE(WaitUntil([&] { return Status() == eMETADATA_STATUS_DISCONNECT; }, 2s));
}

TEST_F(WorkerLoopTest, ConnectingStatusIsVisibleWhileTheHookRuns) {
  model.iConnectDelayMS = 300;
  ASSERT_TRUE(model.Initialize());
  model.Connect(false);
  EXPECT_TRUE(WaitUntil([&] { return Status() == eMETADATA_STATUS_CONNECTING; }, 2s));
  EXPECT_TRUE(WaitUntil([&] { return Status() == eMETADATA_STATUS_CONNECTED; }, 2s));
}

TEST_F(WorkerLoopTest, HostDisconnectRaisesLostAndReconnectRaisesMadeAgain) {
  ASSERT_TRUE(model.Initialize());
  ASSERT_TRUE(model.Connect(true));
  EXPECT_TRUE(model.Disconnect(true));
  EXPECT_EQ(eMETADATA_STATUS_DISCONNECT, Status());
  EXPECT_EQ(1, model.iDisconnectCalls.load());
  EXPECT_TRUE(model.Connect(true));
  ASSERT_TRUE(events.WaitForCount(3, 2s));
  EXPECT_EQ((std::vector<unsigned int>{kMade, kLost, kMade}), events.Codes());
}

TEST_F(WorkerLoopTest, DisconnectWhenDisconnectedCallsNoHookAndStopsReconnecting) {
  model.bConnectSucceeds = false;
  ASSERT_TRUE(model.Initialize());
  EXPECT_FALSE(model.Connect(true));
  EXPECT_TRUE(model.Disconnect(true));
  EXPECT_EQ(0, model.iDisconnectCalls.load());
  const int iCalls = model.iConnectCalls;
  std::this_thread::sleep_for(700ms);  // more than two reconnect intervals
  EXPECT_EQ(iCalls, model.iConnectCalls.load());
}

TEST_F(WorkerLoopTest, StatusChangesHappenSilentlyWithoutEventCallback) {
  model.RegisterEventCallbackFunc(nullptr, nullptr);
  ASSERT_TRUE(model.Initialize());
  EXPECT_TRUE(model.Connect(true));
  EXPECT_TRUE(model.Disconnect(true));
  EXPECT_TRUE(events.Codes().empty());
}

TEST_F(WorkerLoopTest, FailedConnectIsRetriedAfterTheIntervalOnly) {
  model.bConnectSucceeds = false;
  ASSERT_TRUE(model.Initialize());
  EXPECT_FALSE(model.Connect(true));
  const auto failedAt = std::chrono::steady_clock::now();
  ASSERT_TRUE(WaitUntil([&] { return model.iConnectCalls >= 2; }, 3s));
  EXPECT_GE(std::chrono::steady_clock::now() - failedAt, 280ms);
  model.bConnectSucceeds = true;
  ASSERT_TRUE(events.WaitForCount(1, 3s)) << "a later attempt succeeds";
  EXPECT_EQ(std::vector<unsigned int>{kMade}, events.Codes());
}

TEST_F(WorkerLoopTest, ConnectionLostMarkerDisconnectsAndArmsReconnection) {
  ASSERT_TRUE(model.Initialize());
  ASSERT_TRUE(model.Connect(true));
  CMetadataModelBase1::DataCallback("##CONNECTION_LOST##", 19, &model);
  ASSERT_TRUE(events.WaitForCount(2, 2s));
  EXPECT_EQ(1, model.iDisconnectCalls.load());
  ASSERT_TRUE(events.WaitForCount(3, 3s)) << "the worker reconnects by itself";
  EXPECT_EQ((std::vector<unsigned int>{kMade, kLost, kMade}), events.Codes());
  EXPECT_TRUE(model.Distributed().empty()) << "the marker is not a record";
}

TEST_F(WorkerLoopTest, MarkerWithExtraTextIsDistributedLikeAnyRecord) {
  ASSERT_TRUE(model.Initialize());
  ASSERT_TRUE(model.Connect(true));
  CMetadataModelBase1::DataCallback("##CONNECTION_LOST##\r\n", 21, &model);
  CMetadataModelBase1::DataCallback("x##CONNECTION_LOST##", 20, &model);
  EXPECT_EQ((std::vector<std::string>{"##CONNECTION_LOST##\r\n", "x##CONNECTION_LOST##"}), model.Distributed());
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(eMETADATA_STATUS_CONNECTED, Status());
}

TEST_F(WorkerLoopTest, DataCallbackWithoutModelReportsAnAssertion) {
  StreamCapture err(stderr);
  CMetadataModelBase1::DataCallback("text", 4, nullptr);
  EXPECT_EQ(1u, vantix_test::CountOccurrences(err.Stop(), kAssertLine));
}

TEST_F(WorkerLoopTest, EventCallbackMapsBothMarkersWithoutChangingStatus) {
  CMetadataModelBase1::EventCallback("##CONNECTION_LOST##", 19, &model);
  CMetadataModelBase1::EventCallback("##CONNECTION_RESTORE##", 22, &model);
  CMetadataModelBase1::EventCallback("##CONNECTION_RESTORE## ", 23, &model);
  CMetadataModelBase1::EventCallback("##CONNECTION_LOST##", 19, nullptr);
  EXPECT_EQ((std::vector<unsigned int>{kLost, kMade}), events.Codes());
  EXPECT_EQ(eMETADATA_STATUS_DISCONNECT, Status());
}

TEST_F(WorkerLoopTest, QueuedMessagesAreHandledOnePerPassInOrder) {
  model.SetWorkerTiming(200, 100000);
  ASSERT_TRUE(model.Initialize());
  model.Connect(false);
  model.Disconnect(false);
  ASSERT_TRUE(events.WaitForCount(2, 3s));
  EXPECT_EQ((std::vector<unsigned int>{kMade, kLost}), events.Codes());
  EXPECT_EQ(1, model.iConnectCalls.load());
  EXPECT_EQ(1, model.iDisconnectCalls.load());
}

TEST_F(WorkerLoopTest, StopRequestLeavesQueuedMessagesUnhandled) {
  model.SetWorkerTiming(1000, 100000);
  ASSERT_TRUE(model.Initialize());
  std::this_thread::sleep_for(150ms);  // the first pass is over; the worker sleeps
  model.Connect(false);
  EXPECT_TRUE(model.Uninitialize());
  EXPECT_EQ(0, model.iConnectCalls.load());
}

TEST_F(WorkerLoopTest, ConnectedWorkerSleepsUntilThereIsSomethingToDo) {
  ASSERT_TRUE(model.Initialize());
  ASSERT_TRUE(model.Connect(true));
  std::this_thread::sleep_for(50ms);
  const long before = OtherThreadsContextSwitches();
  ASSERT_GE(before, 0);
  std::this_thread::sleep_for(500ms);  // fifty passes of a polling worker
  EXPECT_LT(OtherThreadsContextSwitches() - before, 10);

  // Still answers at once: a disconnect, then a connect, each in a pass.
  ASSERT_TRUE(model.Disconnect(true));
  ASSERT_TRUE(model.Connect(true));
  EXPECT_EQ((std::vector<unsigned int>{kMade, kLost, kMade}), events.Codes());
}

TEST_F(WorkerLoopTest, IdleWorkerTakesAMessageAndAStopWithinAboutAPass) {
  model.SetWorkerTiming(200, 100000);
  ASSERT_TRUE(model.Initialize());
  std::this_thread::sleep_for(300ms);  // idle since its first pass
  auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(model.Connect(true));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);

  std::this_thread::sleep_for(300ms);  // connected and idle again
  start = std::chrono::steady_clock::now();
  ASSERT_TRUE(model.Disconnect(true));
  EXPECT_TRUE(model.Uninitialize());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

TEST_F(WorkerLoopTest, UninitializeWhileConnectedReportsLossBeforeTheWorkerStops) {
  ASSERT_TRUE(model.Initialize());
  ASSERT_TRUE(model.Connect(true));
  EXPECT_TRUE(model.Uninitialize());
  EXPECT_EQ(1, model.iDisconnectCalls.load());
  EXPECT_EQ((std::vector<unsigned int>{kMade, kLost}), events.Codes());
  EXPECT_EQ(eMETADATA_STATUS_DISCONNECT, Status());
}

TEST_F(WorkerLoopTest, SlowConnectHoldsNoLockThatHostCallsNeed) {
  model.iConnectDelayMS = 800;
  ASSERT_TRUE(model.Initialize());
  model.Connect(false);
  ASSERT_TRUE(WaitUntil([&] { return Status() == eMETADATA_STATUS_CONNECTING; }, 2s));
  const auto start = std::chrono::steady_clock::now();
  T_PLUGIN_ERROR_MESSAGE error;
  EXPECT_TRUE(model.GetLastErrorMessage(&error));
  EXPECT_TRUE(model.Disconnect(false));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 300ms);
}

TEST_F(WorkerLoopTest, SyncCallWithoutWorkerGivesUpAndLeavesTheMessageQueued) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(model.Connect(true));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  // A worker started later carries the request out.
  ASSERT_TRUE(model.Initialize());
  EXPECT_TRUE(WaitUntil([&] { return Status() == eMETADATA_STATUS_CONNECTED; }, 2s));
}

TEST_F(WorkerLoopTest, ManyHostThreadsEndInAConsistentState) {
  ASSERT_TRUE(model.Initialize());
  std::vector<std::future<void>> hosts;
  for (int t = 0; t < 4; ++t) {
    hosts.push_back(std::async(std::launch::async, [this, t] {
      for (int i = 0; i < 25; ++i) {
        const bool bSync = (i + t) % 3 == 0;
        if ((i + t) % 2 == 0) model.Connect(bSync); else model.Disconnect(bSync);
        E_METADATA_STATUS eStatus;
        model.GetStatus(&eStatus);
      }
    }));
  }
  for (auto& host : hosts) ASSERT_EQ(std::future_status::ready, host.wait_for(30s)) << "deadlock";
  EXPECT_TRUE(model.Disconnect(true));
  EXPECT_EQ(eMETADATA_STATUS_DISCONNECT, Status());
  // Events alternate, starting with a connection.
  const std::vector<unsigned int> codes = events.Codes();
  for (size_t i = 0; i < codes.size(); ++i) EXPECT_EQ(i % 2 == 0 ? kMade : kLost, codes[i]) << i;
}

// --- Lifecycle -------------------------------------------------------------

TEST(ModelLifecycleTest, SecondInitializeReportsAssertionAndStartsNothing) {
  ScriptedModel model;
  ASSERT_TRUE(model.Initialize());
  StreamCapture err(stderr);
  EXPECT_TRUE(model.Initialize());
  EXPECT_EQ(1u, vantix_test::CountOccurrences(err.Stop(), kAssertLine));
  EXPECT_EQ(1, model.iInitialModelCalls.load());
  EXPECT_TRUE(model.Uninitialize());
}

TEST(ModelLifecycleTest, UninitializeWithoutInitializeReportsAssertion) {
  ScriptedModel model;
  StreamCapture err(stderr);
  EXPECT_TRUE(model.Uninitialize());
  EXPECT_EQ(1u, vantix_test::CountOccurrences(err.Stop(), kAssertLine));
  EXPECT_EQ(0, model.iUninitialModelCalls.load());
}

TEST(ModelLifecycleTest, InitializeAndUninitializeRepeat) {
  ScriptedModel model;
  EXPECT_TRUE(model.Initialize());
  EXPECT_TRUE(model.Uninitialize());
  EXPECT_TRUE(model.Initialize());
  EXPECT_TRUE(model.Uninitialize());
  EXPECT_EQ(2, model.iInitialModelCalls.load());
  EXPECT_EQ(2, model.iUninitialModelCalls.load());
}

TEST(ModelLifecycleTest, FailedInitialModelLeavesTheModelUninitialised) {
  ScriptedModel model;
  model.bInitialModelSucceeds = false;
  EXPECT_FALSE(model.Initialize());
  StreamCapture err(stderr);
  EXPECT_TRUE(model.Uninitialize());
  EXPECT_EQ(1u, vantix_test::CountOccurrences(err.Stop(), kAssertLine)) << "still uninitialised";
  model.bInitialModelSucceeds = true;
  EXPECT_TRUE(model.Initialize());
  EXPECT_TRUE(model.Uninitialize());
}

TEST(ModelLifecycleTest, FailedUninitialModelKeepsTheModelInitialised) {
  ScriptedModel model;
  ASSERT_TRUE(model.Initialize());
  model.bUninitialModelSucceeds = false;
  EXPECT_FALSE(model.Uninitialize());
  model.bUninitialModelSucceeds = true;
  EXPECT_TRUE(model.Uninitialize()) << "the sequence runs again";
  EXPECT_EQ(2, model.iUninitialModelCalls.load());
}

TEST(ModelLifecycleTest, ReleasingAConnectedModelWithoutUninitializeStopsEverything) {
  EventRecorder events;
  auto* pModel = new ScriptedModel();
  pModel->SetWorkerTiming(10, 300);
  pModel->RegisterEventCallbackFunc(&EventRecorder::Callback, &events);
  ASSERT_TRUE(pModel->Initialize());
  ASSERT_TRUE(pModel->Connect(true));
  delete pModel;  // the host forgot Disconnect and Uninitialize
  EXPECT_EQ((std::vector<unsigned int>{kMade, kLost}), events.Codes());
}

// --- The reconnect interval, on a clock the test steps -------------------------

std::atomic<int64_t> g_fakeNowMS{1000};
int64_t FakeNowMS() { return g_fakeNowMS; }

TEST(ReconnectIntervalTest, TenThousandMillisecondsAreNotEnoughTenThousandAndOneAre) {
  ScriptedModel model;
  model.SetWorkerTiming(5, 10000);
  model.SetWorkerClock(&FakeNowMS);
  model.bConnectSucceeds = false;
  ASSERT_TRUE(model.Initialize());
  g_fakeNowMS = 1000;
  EXPECT_FALSE(model.Connect(true));  // stamps the interval's start at 1000
  EXPECT_EQ(1, model.iConnectCalls.load());

  g_fakeNowMS = 11000;
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(1, model.iConnectCalls.load()) << "exactly 10000 ms is not yet enough";

  g_fakeNowMS = 11001;
  EXPECT_TRUE(WaitUntil([&] { return model.iConnectCalls >= 2; }, 2s)) << "10001 ms is";
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(2, model.iConnectCalls.load()) << "the retry restarted the interval";
  model.Disconnect(true);
  EXPECT_TRUE(model.Uninitialize());
}

}  // namespace

// The model base's lifecycle and its worker: connect and disconnect requests,
// the events they raise, reconnection and the connection-lost marker.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstring>

#include "support/host_recorder.h"
#include "support/scripted_model.h"
#include "support/stream_capture.h"
#include "support/wait_until.h"
#include "utility/sysutils/apr/apr_cond.h"
#include "utility/sysutils/common/system.h"

using namespace vantix_test;
typedef std::vector<unsigned int> Codes;

namespace {

const unsigned int kLost = 3600;
const unsigned int kMade = 3601;
const char kAssertLine[] = "## ASSERT fail: file=MetadataModelBase/PluginModelBase line=";

// A fast worker: 10 ms passes, 300 ms reconnect interval.
class WorkerLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseWorkerTiming(model, 10, 300);
    ASSERT_TRUE(model.SetDeviceID(0x1A));
    ASSERT_TRUE(model.RegisterEventCallbackFunc(&EventRecorder::Callback, &events));
  }
  Codes EventsOnceThereAre(size_t count) {
    WaitUntil([&] { return events.Codes().size() >= count; }, 3000);
    return events.Codes();
  }

  EventRecorder events;
  ScriptedModel model;
};

TEST_F(WorkerLoopTest, HostCallsAreCarriedOutOnTheWorkerAndEveryChangeIsReported) {
  ASSERT_TRUE(model.Initialize());
  EXPECT_TRUE(model.Connect(true));
  EXPECT_TRUE(model.Connect(true));  // already connected: no hook, no event
  EXPECT_TRUE(model.Disconnect(true));
  E_METADATA_STATUS eStatus = eMETADATA_STATUS_CONNECTED;
  EXPECT_TRUE(model.GetStatus(&eStatus) && eStatus == eMETADATA_STATUS_DISCONNECT);
  EXPECT_TRUE(model.Disconnect(true));  // already disconnected: no hook, no event
  EXPECT_TRUE(model.Connect(true));
  EXPECT_TRUE(model.Uninitialize());  // connected: disconnects first, on the worker
  EXPECT_NE(std::this_thread::get_id(), model.hookThread.load());
  EXPECT_EQ((Codes{kMade, kLost, kMade, kLost}), events.Codes());
  EXPECT_TRUE(model.iConnectCalls == 2 && model.iDisconnectCalls == 2);
}

TEST_F(WorkerLoopTest, SyncCallsWithoutAWorkerFailAndTheirMessagesWaitForOne) {
  EXPECT_FALSE(model.Disconnect(true)) << "not carried out, though the status is disconnected";
  EXPECT_FALSE(model.Connect(true));
  ASSERT_TRUE(model.Initialize());
  EXPECT_EQ(Codes{kMade}, EventsOnceThereAre(1));
}

TEST_F(WorkerLoopTest, MarkersReportConnectionChangesAndOnlyTheLossMarkerDisconnects) {
  CMetadataModelBase1::EventCallback("##CONNECTION_LOST##", 19, &model);
  CMetadataModelBase1::EventCallback("##CONNECTION_RESTORE##", 22, &model);
  CMetadataModelBase1::EventCallback("##CONNECTION_LOST##", 19, nullptr);
  CMetadataModelBase1::EventCallback(nullptr, 0, &model);
  ASSERT_TRUE(model.Initialize());
  ASSERT_TRUE(model.Connect(true));
  for (const char* sText : {"##CONNECTION_LOST##\r\n", "x##CONNECTION_LOST##", "##CONNECTION_LOST##"}) {
    CMetadataModelBase1::DataCallback(sText, static_cast<int>(strlen(sText)), &model);
  }
  EXPECT_EQ((Codes{kLost, kMade, kMade, kLost, kMade}), EventsOnceThereAre(5)) << "and the worker reconnects";
  EXPECT_EQ(1, model.iDisconnectCalls.load());
  EXPECT_EQ(2, model.iDistributeCalls.load()) << "any other text is a record";
  StreamCapture err(stderr);
  CMetadataModelBase1::DataCallback("text", 4, nullptr);
  EXPECT_EQ(1u, CountOccurrences(err.Stop(), kAssertLine)) << "no model to hand the text to";
}

TEST_F(WorkerLoopTest, ConnectedWorkerSleepsUntilThereIsSomethingToDo) {
  ASSERT_TRUE(model.Initialize() && model.Connect(true));
  rusage at[2];  // the process's context switches before and after
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  getrusage(RUSAGE_SELF, &at[0]);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // fifty passes of a polling worker
  getrusage(RUSAGE_SELF, &at[1]);
  EXPECT_LT(at[1].ru_nvcsw + at[1].ru_nivcsw - at[0].ru_nvcsw - at[0].ru_nivcsw, 10);
}

TEST(ModelLifecycleTest, RepeatedMissingAndFailedCallsChangeNothing) {
  ScriptedModel model;
  StreamCapture err(stderr);
  EXPECT_TRUE(model.Uninitialize());
  model.bInitialModelSucceeds = false;
  EXPECT_FALSE(model.Initialize());
  model.bInitialModelSucceeds = true;
  EXPECT_TRUE(model.Initialize() && model.Initialize());
  EXPECT_EQ(2u, CountOccurrences(err.Stop(), kAssertLine)) << "once not initialised, once initialised";
  EXPECT_EQ(2, model.iInitialModelCalls.load());
  model.bUninitialModelSucceeds = false;
  EXPECT_FALSE(model.Uninitialize());
  model.bUninitialModelSucceeds = true;
  EXPECT_TRUE(model.Uninitialize() && model.iUninitialModelCalls == 2) << "still initialised: it runs again";
}

TEST(MetadataMessageTest, HandlingWakesTheWaiterAndReportsAParameter) {
  SysUtils::AprCond event(false);
  int iParam = 0;
  CMetadataMessage msg;
  msg.SetMessage(eMETADATA_MSG_CONNECT, &iParam, &event);
  StreamCapture err(stderr);
  msg.MessageProcessed();
  msg.MessageProcessed();  // a no-operation now: nothing to report
  EXPECT_EQ(1u, CountOccurrences(err.Stop(), "## ASSERT fail: file=MetadataModelBase/MetadataMessageQueue"));
  EXPECT_TRUE(msg.GetMessageType() == eMETADATA_MSG_NOOPERATION && event.timedwait(0));
}

// A flood of loss reports, from a server that sends the loss text or from a
// flapping link, must not bury the host's own requests behind it.
TEST(LossFloodTest, ThousandLossReportsHoldUpNeitherDisconnectNorConnect) {
  ScriptedModel model;
  UseWorkerTiming(model, 10, 300);
  ASSERT_TRUE(model.Initialize());
  ASSERT_TRUE(model.Connect(true));
  for (int i = 0; i < 1000; ++i) CMetadataModelBase1::DataCallback("##CONNECTION_LOST##", 19, &model);
  int64_t start = SysUtils::GetTimeCountMS();
  EXPECT_TRUE(model.Disconnect(true));
  EXPECT_LT(SysUtils::GetTimeCountMS() - start, 2000);
  start = SysUtils::GetTimeCountMS();
  EXPECT_TRUE(model.Connect(true));
  EXPECT_LT(SysUtils::GetTimeCountMS() - start, 3000);
}

}  // namespace

// A host's Disconnect is final until its next Connect: neither a loss report
// nor the worker's own reconnection may undo it, however they interleave.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "support/scripted_model.h"
#include "support/wait_until.h"

using namespace std::chrono_literals;

namespace {

const int64_t kIntervalMS = 300;

// The worker's clock, stepped by the test. Armed with a model, its next
// reading is where a road has read the reconnect permission and not yet acted
// on it: there the host calls Disconnect(true) on a thread of its own, and the
// clock moves past the reconnect interval.
std::atomic<int64_t> s_nowMS{0};
std::atomic<CMetadataModelBase1*> s_pArmed{nullptr};
std::atomic<bool> s_bInterposed{false};
std::thread s_host;

int64_t InterposingClock() {
  if (CMetadataModelBase1* pModel = s_pArmed.exchange(nullptr)) {
    s_host = std::thread([pModel] { pModel->Disconnect(true); });
    // Time for the host to get through, unless the road keeps it waiting.
    std::this_thread::sleep_for(100ms);
    s_nowMS += 2 * kIntervalMS;
    s_bInterposed = true;
  }
  return s_nowMS;
}

class HostDisconnectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    s_nowMS = 0;
    s_bInterposed = false;
    vantix_test::UseWorkerTiming(model, 10, kIntervalMS, &InterposingClock);
    ASSERT_TRUE(model.Initialize());
  }

  // Once the host's Disconnect(true) has returned, the model stays
  // disconnected, however long the clock runs; so it does after the host's
  // Uninitialize, and Initialize again.
  void ExpectFinalDisconnect(bool bInitializeAgain = false) {
    ASSERT_TRUE(WaitUntil([] { return s_bInterposed.load(); }, 5000));
    s_host.join();
    ASSERT_TRUE(!bInitializeAgain || model.Initialize());
    const int iConnects = model.iConnectCalls;
    s_nowMS += 2 * kIntervalMS;
    std::this_thread::sleep_for(200ms);
    E_METADATA_STATUS eStatus = eMETADATA_STATUS_CONNECTING;
    model.GetStatus(&eStatus);
    EXPECT_EQ(eMETADATA_STATUS_DISCONNECT, eStatus);
    EXPECT_EQ(iConnects, model.iConnectCalls.load());
  }

  vantix_test::ScriptedModel model;
};

// The worker reconnects by itself only once more than the interval has passed; a host Disconnect made as
// it is about to, or as a loss is reported, stays final.
TEST_F(HostDisconnectTest, DisconnectAsARoadReadsThePermission) {
  model.bConnectSucceeds = false;
  EXPECT_FALSE(model.Connect(true));  // the interval starts at 0
  s_nowMS = kIntervalMS;
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(1, model.iConnectCalls.load()) << "exactly the interval is not enough";
  s_nowMS = kIntervalMS + 1;
  EXPECT_TRUE(WaitUntil([&] { return model.iConnectCalls == 2; }, 2000));
  s_pArmed = &model;
  ExpectFinalDisconnect();
  model.bConnectSucceeds = true;
  ASSERT_TRUE(model.Connect(true));
  s_bInterposed = false;
  s_pArmed = &model;
  CMetadataModelBase1::DataCallback("##CONNECTION_LOST##", 19, &model);
  ExpectFinalDisconnect();
}

// Made on another host thread while the worker carries out the host's
// Connect(true): the Connect that returns afterwards leaves it final.
TEST_F(HostDisconnectTest, StopMadeWhileTheHostsConnectIsCarriedOut) {
  for (const bool bUninitialize : {false, true}) {
    std::atomic<bool> bArmed{true};
    model.onConnectModel = [&] {
      if (!bArmed.exchange(false)) return;
      s_host = std::thread([&] { bUninitialize ? model.Uninitialize() : model.Disconnect(true); });
      std::this_thread::sleep_for(100ms);  // time for it to reach its wait
      s_bInterposed = true;
    };
    EXPECT_TRUE(model.Connect(true));
    ExpectFinalDisconnect(bUninitialize);
    s_bInterposed = false;
  }
}

// Uninitialize leaves a model that does nothing until the host's next
// Connect, whether it was retrying against a refusing server or about to
// reconnect after a loss.
TEST_F(HostDisconnectTest, UninitializeEndsTheRetries) {
  for (const bool bLost : {false, true}) {
    model.bConnectSucceeds = bLost;
    EXPECT_EQ(bLost, model.Connect(true));
    if (bLost) CMetadataModelBase1::DataCallback("##CONNECTION_LOST##", 19, &model);
    ASSERT_TRUE(WaitUntil([&] { return model.iDisconnectCalls == (bLost ? 1 : 0); }, 5000));
    s_host = std::thread([&] { EXPECT_TRUE(model.Uninitialize()); });
    s_bInterposed = true;
    ExpectFinalDisconnect(true);
  }
}

}  // namespace

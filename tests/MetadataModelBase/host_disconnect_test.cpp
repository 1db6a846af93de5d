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
    model.SetWorkerTiming(10, kIntervalMS);
    model.SetWorkerClock(&InterposingClock);
    ASSERT_TRUE(model.Initialize());
  }

  // Once the host's Disconnect(true) has returned, the model stays
  // disconnected, however long the clock runs.
  void ExpectFinalDisconnect() {
    ASSERT_TRUE(WaitUntil([] { return s_bInterposed.load(); }, 5000));
    s_host.join();
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

TEST_F(HostDisconnectTest, ReconnectionDueAsTheHostDisconnects) {
  model.bConnectSucceeds = false;
  EXPECT_FALSE(model.Connect(true));
  model.bConnectSucceeds = true;
  s_pArmed = &model;
  ExpectFinalDisconnect();
}

TEST_F(HostDisconnectTest, LossReportedAsTheHostDisconnects) {
  ASSERT_TRUE(model.Connect(true));
  s_pArmed = &model;
  CMetadataModelBase1::DataCallback("##CONNECTION_LOST##", 19, &model);
  ExpectFinalDisconnect();
}

}  // namespace

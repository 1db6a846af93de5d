// A server that sends the loss text itself, in many separate writes, while
// the host disconnects: the host's Disconnect stays final.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "support/hosted_model.h"
#include "support/loopback_server.h"

using namespace std::chrono_literals;
using vantix_test::HostedModel;
using vantix_test::LoopbackServer;

namespace {

TEST(LossReportTest, HostDisconnectDuringLossReportsIsFinal) {
  LoopbackServer server;
  HostedModel model;
  ASSERT_TRUE(server.IsListening() && model.IsReady());
  // The worker's own period: several reports arrive before its next pass.
  model.Model().SetWorkerTiming(100, HostedModel::kReconnectIntervalMS);
  ASSERT_TRUE(model.SetServer("127.0.0.1", server.Port()));
  ASSERT_TRUE(model.Host().Connect(true));
  ASSERT_TRUE(server.AcceptClient(5000));

  std::atomic<bool> bDisconnected{false};
  std::thread reports([&] {
    while (!bDisconnected && server.Write("##CONNECTION_LOST##")) std::this_thread::sleep_for(5ms);
  });
  EXPECT_TRUE(model.Host().Disconnect(true));
  bDisconnected = true;
  reports.join();
  EXPECT_FALSE(model.events.WaitForCount(3, 3s)) << "connected again by itself";
  EXPECT_EQ(eMETADATA_STATUS_DISCONNECT, model.Status());
}

}  // namespace

// A flood of loss reports, from a server that sends the loss text itself or
// from a flapping link, must not bury the host's own requests.

#include <gtest/gtest.h>

#include <chrono>

#include "support/scripted_model.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

TEST(LossFloodTest, ThousandLossReportsHoldUpNeitherDisconnectNorConnect) {
  vantix_test::ScriptedModel model;
  model.SetWorkerTiming(10, 300);
  ASSERT_TRUE(model.Initialize());
  ASSERT_TRUE(model.Connect(true));
  for (int i = 0; i < 1000; ++i) CMetadataModelBase1::DataCallback("##CONNECTION_LOST##", 19, &model);

  Clock::time_point start = Clock::now();
  EXPECT_TRUE(model.Disconnect(true));
  EXPECT_LT(Clock::now() - start, 2s);
  start = Clock::now();
  EXPECT_TRUE(model.Connect(true));
  EXPECT_LT(Clock::now() - start, 3s);
}

}  // namespace

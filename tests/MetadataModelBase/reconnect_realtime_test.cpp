// The reconnect interval with the product's real timing: a failed connection
// is retried by the worker on its own a little over ten seconds later.

#include <gtest/gtest.h>

#include <chrono>

#include "support/host_recorder.h"
#include "support/scripted_model.h"

using namespace std::chrono_literals;

namespace {

TEST(ReconnectRealtimeTest, FailedConnectIsRetriedAfterTenSeconds) {
  vantix_test::ScriptedModel model;  // default timing: 100 ms passes, 10000 ms interval
  model.bConnectSucceeds = false;
  ASSERT_TRUE(model.Initialize());
  ASSERT_FALSE(model.Connect(true));
  const auto failedAt = std::chrono::steady_clock::now();
  ASSERT_EQ(1, model.iConnectCalls.load());

  std::this_thread::sleep_for(9500ms);
  EXPECT_EQ(1, model.iConnectCalls.load()) << "no retry before the interval";
  ASSERT_TRUE(vantix_test::WaitUntil([&] { return model.iConnectCalls >= 2; }, 3s));
  const auto retryAfter = std::chrono::steady_clock::now() - failedAt;
  EXPECT_GE(retryAfter, 10000ms);
  EXPECT_LE(retryAfter, 11500ms);

  EXPECT_TRUE(model.Disconnect(true));
  EXPECT_TRUE(model.Uninitialize());
}

}  // namespace

// Records that arrive just after a receive has timed out, a group of faces
// after a quiet spell, must each be read on their own like any others.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "MetadataModelVantix/VantixReceiver.h"
#include "support/loopback_server.h"
#include "support/receiver_timing.h"
#include "support/wait_until.h"

namespace {

void CountBlock(const char* /*sText*/, int /*iLength*/, void* pData) { ++*static_cast<std::atomic<int>*>(pData); }

void SleepMS(int64_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

TEST(BurstAfterTimeoutTest, ThreeRecordsJustAfterATimeOutAreAllDelivered) {
  // Declared before the receiver, so they outlive its thread.
  vantix_test::LoopbackServer server;
  std::atomic<int> blocks{0};
  CVantixReceiver receiver;
  // The product's pause, so records 15 ms apart would all meet in a pause
  // after the time-out, while a busy machine still reads each on its own.
  CVantixReceiver::Timing timing = vantix_test::QuickReceiverTiming();
  timing.uiPauseMS = 100;
  receiver.SetTiming(timing);
  receiver.RegisterMetadataCallbackFunc(&CountBlock, &blocks);
  ASSERT_EQ(0, receiver.Connect("127.0.0.1", server.Port()));
  ASSERT_TRUE(server.AcceptClient(5000));

  for (int trial = 0; trial < 20; ++trial) {
    // The receive after the last record times out llRecvTimeoutMS after it.
    SleepMS(timing.llRecvTimeoutMS + 3);
    for (int i = 0; i < 3; ++i) {
      if (i > 0) SleepMS(15);
      ASSERT_TRUE(server.Write("CamID:1 Event:face\r\n"));
    }
    ASSERT_TRUE(WaitUntil([&] { return blocks == 3 * (trial + 1); }, 1000)) << "trial " << trial;
  }
}

}  // namespace

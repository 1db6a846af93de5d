// The real model against a server that goes away or reports its own loss,
// and a host that ends or lingers at the wrong moment.

#include <gtest/gtest.h>

#include <atomic>

#include "support/hosted_model.h"
#include "support/signals.h"

namespace {

using namespace vantix_test;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const int kCamera = 7;
const unsigned long long kChannel = 0x0FEDCBA987654321ull;

class FaultInjectionTest : public ::testing::Test {
 protected:
  explicit FaultInjectionTest(std::shared_ptr<const SysUtils::Timing> pTiming = QuickTiming())
      : m_host(std::move(pTiming)) {}
  void SetUp() override { ASSERT_TRUE(m_host.AddCameraChannel(kChannel, kCamera)); }

  // Declared before the model, so the server outlives the model's threads.
  LoopbackServer m_server;
  HostedModel m_host;
};

class ProductTimingTest : public FaultInjectionTest {
 protected:
  ProductTimingTest() : FaultInjectionTest(SysUtils::ProductTiming()) {}
};

// With the product's own timing: the loss is reported about six seconds after
// the last contact, the reconnection about ten seconds after that.
TEST_F(ProductTimingTest, ServerGoesAwayAndComesBack) {
  ASSERT_TRUE(m_host.ConnectTo(m_server));
  m_server.CloseClient();
  m_server.StopListening();
  Clock::time_point since = Clock::now();
  ASSERT_TRUE(m_host.events.WaitForCount(2, milliseconds(15000)));
  EXPECT_NEAR(std::chrono::duration<double>(Clock::now() - since).count(), 7.5, 2.5);
  since = Clock::now();
  ASSERT_TRUE(m_server.StartListening() && m_server.AcceptClient(20000));
  EXPECT_NEAR(std::chrono::duration<double>(Clock::now() - since).count(), 11.0, 2.0);
  ASSERT_TRUE(m_server.Write(CameraRecord(kCamera, 2)));
  ASSERT_TRUE(m_host.records.WaitForCount(1, milliseconds(kDeadlineMS)));
  EXPECT_EQ(HostText(kCamera, 2), m_host.records.Items()[0].strText);
  EXPECT_EQ((std::vector<unsigned int>{3601, 3600, 3601}), m_host.events.Codes());
}

// Each way a host ends while records flow returns promptly, reports 3600
// once, and no record arrives after it returned.
TEST_F(FaultInjectionTest, HostEndsWhileRecordsFlow) {
  for (int end = 0; end < 3; ++end) {
    HostedModel host;
    ASSERT_TRUE(host.AddCameraChannel(kChannel, kCamera) && host.ConnectTo(m_server));
    std::atomic<bool> bStop{false};
    std::thread stream([&] {
      for (int sequence = 1; !bStop; std::this_thread::sleep_for(milliseconds(1))) {
        m_server.WriteWithin(CameraRecord(kCamera, sequence++), 50);
      }
    });
    ASSERT_TRUE(host.records.WaitForCount(20, milliseconds(kDeadlineMS)));
    FinishWithin("ending the host", kDeadlineMS, [&] {
      EXPECT_TRUE(end == 0   ? host.Host().Disconnect(true)
                  : end == 1 ? host.Host().Uninitialize()
                             : host.Release());
    });
    const size_t delivered = host.records.Count();
    std::this_thread::sleep_for(milliseconds(200));
    bStop = true;
    stream.join();
    EXPECT_EQ(delivered, host.records.Count()) << "end " << end;
    EXPECT_EQ((std::vector<unsigned int>{3601, 3600}), host.events.Codes()) << "end " << end;
    EXPECT_TRUE(end != 1 || CModelTestDoor::Receiver(host.Model()) == nullptr);
  }
}

// No lock is held across the host's callback: the host's own calls answer
// at once meanwhile, and Disconnect(true) returns once the callback is done.
TEST_F(FaultInjectionTest, SlowHostCallback) {
  struct SlowHost {
    static void Callback(unsigned long long, unsigned long long, const char*, int, void* pData) {
      SlowHost* pHost = static_cast<SlowHost*>(pData);
      pHost->bInside = true;
      std::this_thread::sleep_for(milliseconds(300));
      pHost->bInside = false;
    }
    std::atomic<bool> bInside{false};
  } slow;
  ASSERT_TRUE(m_host.Host().RegisterMetadataCallbackFunc(&SlowHost::Callback, &slow));
  ASSERT_TRUE(m_host.ConnectTo(m_server) && m_server.Write(CameraRecord(kCamera, 1)));
  ASSERT_TRUE(WaitUntil([&] { return slow.bInside.load(); }, kDeadlineMS));
  const Clock::time_point start = Clock::now();
  EXPECT_TRUE(m_host.Host().SetChannelEnable(kChannel, true) && m_host.SetCamera(kChannel, kCamera));
  EXPECT_EQ(eMETADATA_STATUS_CONNECTED, m_host.Status());
  EXPECT_LT((Clock::now() - start) / milliseconds(1), 100);
  EXPECT_TRUE(slow.bInside.load());
  FinishWithin("Disconnect(true)", kDeadlineMS, [&] { EXPECT_TRUE(m_host.Host().Disconnect(true)); });
  EXPECT_FALSE(slow.bInside.load());
}

// The host's Disconnect stays final end to end: made while the server sends the loss text itself, again
// and again (several reports between two of the worker's passes), and made on another host thread while
// a Connect(true) waits out its attempt on a server that does not answer, until the server answers again.
TEST_F(FaultInjectionTest, HostsDisconnectStaysFinalAgainstLossReportsAndAConnectUnderWay) {
  ASSERT_TRUE(m_host.ConnectTo(m_server));
  std::atomic<bool> bDisconnected{false};
  std::thread reports([&] {
    while (!bDisconnected && m_server.Write("##CONNECTION_LOST##"))
      std::this_thread::sleep_for(milliseconds(5));
  });
  EXPECT_TRUE(m_host.Host().Disconnect(true));
  bDisconnected = true;
  reports.join();
  m_server.StopListening();
  ASSERT_TRUE(m_server.StartListeningUnresponsive());
  std::thread connect([&] { EXPECT_FALSE(m_host.Host().Connect(true)); });
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_TRUE(m_host.Host().Disconnect(true));
  connect.join();
  m_server.StopListening();
  ASSERT_TRUE(m_server.StartListening());
  EXPECT_FALSE(m_host.events.WaitForCount(3, milliseconds(2000))) << "connected again by itself";
  EXPECT_EQ(eMETADATA_STATUS_DISCONNECT, m_host.Status());
}

// A host that handles a signal: delivered every 300 ms to any thread that takes it, it must not keep
// the receiver from the host's stop, which it answers after at most one receive time-out.
TEST_F(ProductTimingTest, HostSignalsDoNotHoldUpDisconnect) {
  ASSERT_TRUE(m_host.ConnectTo(m_server));
  const HandledSignals signals(300, 50);
  std::this_thread::sleep_for(milliseconds(1000));
  const Clock::time_point start = Clock::now();
  FinishWithin("Disconnect(true)", kDeadlineMS, [&] { EXPECT_TRUE(m_host.Host().Disconnect(true)); });
  EXPECT_LT((Clock::now() - start) / milliseconds(1), 2000);
}

}  // namespace

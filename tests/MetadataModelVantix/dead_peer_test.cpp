// A server that vanishes without closing: no FIN, no reset, no answer to
// anything. Without help the model would only notice after the silence limit
// (about eleven minutes). The keepalive on the receiver's connection (30 s
// idle, then three unanswered probes 10 s apart) ends the connection after
// about a minute; the failing receives then lead, after the failure window,
// to a probe that gets no answer either, and the model reports the loss
// (3600). When the server's network returns, the model reconnects by itself
// (3601) and reads again.
//
// The vanishing is real: the test moves itself into a network namespace of
// its own, puts the server into a second one joined to it by a veth pair,
// and takes the server's end of the link down. That needs root, network
// namespaces and the ip tool; elsewhere the test is skipped. It takes a
// little over a minute, the product's keepalive timing.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "support/hosted_model.h"
#include "support/loopback_server.h"
#include "support/stream_capture.h"

namespace {

using vantix_test::CameraRecord;
using vantix_test::HostedModel;
using vantix_test::LoopbackServer;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

const char kModelAddress[] = "192.0.2.1";
const char kServerAddress[] = "192.0.2.2";
const int kCamera = 7;
const unsigned long long kChannel = 0x1000;
const int kDeadlineMS = 5000;

bool Run(const std::string& command) { return system((command + " >/dev/null 2>&1").c_str()) == 0; }

// Runs `work` on a thread that has entered the network namespace `nsFd`;
// what it creates there (sockets, processes) belongs to that namespace.
void InNamespace(int nsFd, const std::function<void()>& work) {
  std::thread([&] {
    if (setns(nsFd, CLONE_NEWNET) == 0) work();
  }).join();
}

// Two network namespaces joined by a veth pair: this process's own, with the
// model's end, and the server's, which is reached only through the link.
class VethNetwork {
 public:
  ~VethNetwork() {
    if (m_serverNsFd >= 0) close(m_serverNsFd);
  }

  // Empty on success, else what is missing.
  std::string Build() {
    if (geteuid() != 0) return "root";
    if (!Run("ip -V")) return "the ip tool";
    if (unshare(CLONE_NEWNET) != 0) return "a network namespace of its own";
    std::thread([&] {
      if (unshare(CLONE_NEWNET) == 0) m_serverNsFd = open("/proc/thread-self/ns/net", O_RDONLY);
    }).join();
    if (m_serverNsFd < 0) return "a namespace for the server";
    const std::string serverNs = "/proc/" + std::to_string(getpid()) + "/fd/" + std::to_string(m_serverNsFd);
    if (!Run("ip link add vx0 type veth peer name vx1") || !Run("ip link set vx1 netns " + serverNs) ||
        !Run(std::string("ip addr add ") + kModelAddress + "/24 dev vx0") || !Run("ip link set vx0 up")) {
      return "a veth pair";
    }
    bool bServerSide = false;
    InNamespace(m_serverNsFd, [&] {
      bServerSide = Run(std::string("ip addr add ") + kServerAddress + "/24 dev vx1") && Run("ip link set vx1 up");
    });
    return bServerSide ? std::string() : "the server's end of the veth pair";
  }

  std::unique_ptr<LoopbackServer> StartServer() {
    std::unique_ptr<LoopbackServer> pServer;
    InNamespace(m_serverNsFd, [&] { pServer.reset(new LoopbackServer(kServerAddress)); });
    return pServer;
  }

  // The server's end of the link goes down or up; nothing is sent either way.
  bool SetServerLink(bool bUp) {
    bool bDone = false;
    InNamespace(m_serverNsFd, [&] { bDone = Run(std::string("ip link set vx1 ") + (bUp ? "up" : "down")); });
    return bDone;
  }

 private:
  int m_serverNsFd = -1;
};

TEST(DeadPeerTest, AVanishedServerIsReportedWithinAboutAMinuteAndFoundAgain) {
  VethNetwork network;
  const std::string missing = network.Build();
  if (!missing.empty()) GTEST_SKIP() << "needs " << missing << " to make a server vanish";
  std::unique_ptr<LoopbackServer> pServer = network.StartServer();
  ASSERT_TRUE(pServer && pServer->IsListening());

  HostedModel host;
  ASSERT_TRUE(host.IsReady());
  // The product's receiver timing, but a shorter failure window and probe.
  CVantixReceiver::Timing timing;
  timing.llFailureWindowMS = 2000;
  timing.llConnectTimeoutMS = 1000;
  host.Model().Receiver()->SetTiming(timing);
  ASSERT_TRUE(host.SetServer(kServerAddress, pServer->Port()));
  {
    vantix_test::StreamCapture quiet(stdout);
    ASSERT_TRUE(host.AddCameraChannel(kChannel, kCamera));
  }
  ASSERT_TRUE(host.Host().Connect(true));
  ASSERT_TRUE(pServer->AcceptClient(kDeadlineMS));
  ASSERT_TRUE(pServer->Write(CameraRecord(kCamera, 1)));
  ASSERT_TRUE(host.records.WaitForCount(1, milliseconds(kDeadlineMS)));

  const Clock::time_point vanished = Clock::now();
  ASSERT_TRUE(network.SetServerLink(false));
  ASSERT_TRUE(host.events.WaitForCount(2, seconds(120)));
  const auto detectedAfter = std::chrono::duration_cast<seconds>(Clock::now() - vanished).count();
  printf("dead peer: loss reported %lld s after the server vanished\n", static_cast<long long>(detectedAfter));
  // Keepalive: 30 s idle and three probes 10 s apart; then the window and
  // the probe. Anything much earlier would not be the keepalive at work.
  EXPECT_GE(detectedAfter, 55);
  EXPECT_LE(detectedAfter, 80);
  EXPECT_EQ(eMETADATA_STATUS_DISCONNECT, host.Status());

  // A connection attempt that timed out while the link was down is still
  // being made when it returns, and may complete before the model's next
  // attempt succeeds; the model closes it at once. The connection that
  // stays is the last one the server is offered.
  const int acceptedBefore = pServer->AcceptedCount();
  ASSERT_TRUE(network.SetServerLink(true));
  ASSERT_TRUE(host.events.WaitForCount(3, seconds(10)));
  while (pServer->AcceptClient(200)) {
  }
  ASSERT_GT(pServer->AcceptedCount(), acceptedBefore);
  ASSERT_TRUE(pServer->Write(CameraRecord(kCamera, 2)));
  ASSERT_TRUE(host.records.WaitForCount(2, milliseconds(kDeadlineMS)));
  EXPECT_EQ(2, vantix_test::SequenceOf(host.records.Records()[1].strText));
  EXPECT_EQ((std::vector<unsigned int>{3601, 3600, 3601}), host.events.Codes());
  vantix_test::FinishWithin("ReleasePluginModel", kDeadlineMS, [&] { EXPECT_TRUE(host.Release()); });
}

}  // namespace

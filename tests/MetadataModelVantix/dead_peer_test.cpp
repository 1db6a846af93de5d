// A server that vanishes without a FIN, a reset or any answer: the keepalive ends the connection once
// its silence and its unanswered probes have passed, and the failed probe makes the model report the
// loss. The server's network namespace is joined to the test's by a veth pair whose far end is taken
// down; without root, namespaces and the ip tool the test is skipped.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <unistd.h>

#include <cstdlib>

#include "support/hosted_model.h"

namespace {

using namespace vantix_test;

bool Shell(const std::string& command) { return system((command + " >/dev/null 2>&1").c_str()) == 0; }

// Runs `work` on a thread inside the network namespace `nsFd`, where what it creates belongs.
void InNamespace(int nsFd, const std::function<void()>& work) {
  std::thread([&] {
    if (setns(nsFd, CLONE_NEWNET) == 0) work();
  }).join();
}

// The server's namespace, linked to a fresh one of this process; -1 if not.
int BuildNetwork() {
  int serverNs = -1;
  if (geteuid() != 0 || !Shell("ip -V") || unshare(CLONE_NEWNET) != 0) return -1;
  std::thread([&] {
    if (unshare(CLONE_NEWNET) == 0) serverNs = open("/proc/thread-self/ns/net", O_RDONLY);
  }).join();
  const std::string path = "/proc/" + std::to_string(getpid()) + "/fd/" + std::to_string(serverNs);
  bool bBuilt = serverNs >= 0 && Shell("ip link add vx0 type veth peer name vx1 && ip link set vx1 netns " +
                                       path + " && ip addr add 192.0.2.1/24 dev vx0 && ip link set vx0 up");
  InNamespace(serverNs, [&] { bBuilt &= Shell("ip addr add 192.0.2.2/24 dev vx1 && ip link set vx1 up"); });
  return bBuilt ? serverNs : -1;
}

TEST(DeadPeer, AVanishedServerIsReportedOnceTheKeepaliveGivesUp) {
  const int serverNs = BuildNetwork();
  if (serverNs < 0) GTEST_SKIP() << "needs root, network namespaces and the ip tool";
  std::unique_ptr<LoopbackServer> pServer;
  InNamespace(serverNs, [&] { pServer.reset(new LoopbackServer("192.0.2.2")); });
  // The product's receiver, but for a shorter keepalive (5 s in all, against the product's minute),
  // failure window and probe; a quick worker.
  std::shared_ptr<SysUtils::Timing> pTiming = std::make_shared<SysUtils::Timing>();
  pTiming->uiWorkerPeriodMS = 20;
  pTiming->ullReconnectIntervalMS = 300;
  pTiming->llFailureWindowMS = 2000;
  pTiming->llConnectTimeoutMS = 1000;
  pTiming->iKeepAliveIdleS = 2;
  pTiming->iKeepAliveIntervalS = 1;
  pTiming->iKeepAliveProbes = 3;
  HostedModel host(pTiming);
  ASSERT_TRUE(host.SetServer("192.0.2.2", pServer->Port()));
  host.Host().Connect(true);  // a fresh link may take a moment: the model tries again by itself
  ASSERT_TRUE(pServer->AcceptClient(kDeadlineMS) && host.events.WaitForCount(1, std::chrono::seconds(5)));

  const auto vanished = std::chrono::steady_clock::now();
  InNamespace(serverNs, [&] { ASSERT_TRUE(Shell("ip link set vx1 down")); });
  ASSERT_TRUE(host.events.WaitForCount(2, std::chrono::seconds(30)));
  // Earlier would not be the keepalive at work; later, not the failure window after it.
  EXPECT_NEAR(std::chrono::duration<double>(std::chrono::steady_clock::now() - vanished).count(), 8.5, 2.5);
  EXPECT_EQ((std::vector<unsigned int>{3601, 3600}), host.events.Codes());
  FinishWithin("ReleasePluginModel", kDeadlineMS, [&] { EXPECT_TRUE(host.Release()); });
  close(serverNs);
}

}  // namespace

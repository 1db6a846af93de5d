#include "utility/sysutils/apr/apr_socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>

#include "support/loopback.h"
#include "utility/sysutils/apr/apr_pool.h"
#include "utility/sysutils/common/system.h"

namespace {

using SysUtils::AprMCastSocket;
using SysUtils::AprPool;
using SysUtils::AprSocket;
using SysUtils::AprUdpSocket;
using SysUtils::GetTimeCountMS;
using vantix_test::BindLoopback;
using vantix_test::CreateWithoutDescriptors;
using vantix_test::kLoopbackIP;
using vantix_test::LocalPort;

// Bounds every receive that is expected to succeed.
const int64_t kDeadlineMS = 5000;
const apr_uint32_t kPoolMaxFree = 1048576;
const char kUnresolvable[] = "no-such-host.invalid";
const char kNoMulticastRoute[] =
    "this machine offers no multicast on the loopback interface";
const char kNoMulticastInterfaceOption[] =
    "the system does not implement IP_MULTICAST_IF (as under qemu-user)";

// A UDP socket bound to 127.0.0.1 whose receives end after the deadline.
template <class Socket>
struct BoundSocket {
  BoundSocket() {
    port = BindLoopback(socket);
    socket.setTimeOut(kDeadlineMS);
  }
  Socket socket;
  uint16_t port = 0;
};

// A received datagram and its sender.
struct Datagram {
  apr_status_t status = APR_EGENERAL;
  std::string text;
  apr_sockaddr_t from;
};

Datagram ReceiveFrom(AprUdpSocket& socket) {
  Datagram datagram;
  std::memset(&datagram.from, 0, sizeof(datagram.from));
  char buf[256];
  apr_size_t size = sizeof(buf);
  datagram.status = socket.recvfrom(buf, &size, &datagram.from);
  if (datagram.status == APR_SUCCESS) datagram.text.assign(buf, size);
  return datagram;
}

std::string Receive(AprUdpSocket& socket) {
  char buf[256];
  apr_size_t size = sizeof(buf);
  if (socket.recv(buf, &size) != APR_SUCCESS) return "<nothing>";
  return std::string(buf, size);
}

apr_status_t SendTo(AprUdpSocket& socket, const std::string& text,
                    apr_sockaddr_t* to) {
  apr_size_t size = text.size();
  apr_status_t status = socket.sendto(text.data(), &size, to);
  return status == APR_SUCCESS && size != text.size() ? APR_EGENERAL : status;
}

apr_status_t Send(AprUdpSocket& socket, const std::string& text) {
  apr_size_t size = text.size();
  apr_status_t status = socket.send(text.data(), &size);
  return status == APR_SUCCESS && size != text.size() ? APR_EGENERAL : status;
}

std::string IPOf(apr_sockaddr_t* addr) {
  char ip[32] = {};
  if (!AprSocket::getSockAddrIP(addr, ip, sizeof(ip))) return "<none>";
  return ip;
}

class AprUdpSocketTest : public ::testing::Test {
 protected:
  apr_sockaddr_t* Address(const char* host, uint16_t port) {
    apr_sockaddr_t* addr = nullptr;
    AprSocket::createSockAddrInfo(&addr, host, port, m_pool.guts());
    return addr;
  }

  AprPool m_pool{kPoolMaxFree};
};

TEST_F(AprUdpSocketTest, DatagramsTravelBothWaysWithTheirSender) {
  BoundSocket<AprUdpSocket> a;
  BoundSocket<AprUdpSocket> b;
  ASSERT_NE(0, a.port);
  ASSERT_NE(0, b.port);
  EXPECT_EQ(APR_PROTO_UDP, a.socket.getProto());

  ASSERT_EQ(APR_SUCCESS,
            SendTo(a.socket, "ping", Address(kLoopbackIP, b.port)));
  Datagram atB = ReceiveFrom(b.socket);
  ASSERT_EQ(APR_SUCCESS, atB.status);
  EXPECT_EQ("ping", atB.text);
  EXPECT_EQ(a.port, atB.from.port);
  EXPECT_EQ(kLoopbackIP, IPOf(&atB.from));

  ASSERT_EQ(APR_SUCCESS, SendTo(b.socket, "pong!", &atB.from));
  Datagram atA = ReceiveFrom(a.socket);
  ASSERT_EQ(APR_SUCCESS, atA.status);
  EXPECT_EQ("pong!", atA.text);
  EXPECT_EQ(b.port, atA.from.port);
}

TEST_F(AprUdpSocketTest, RecvTimesOutWithoutDatagram) {
  BoundSocket<AprUdpSocket> a;
  ASSERT_NE(0, a.port);
  ASSERT_TRUE(a.socket.setTimeOut(200));
  const int64_t before = GetTimeCountMS();
  EXPECT_EQ(APR_TIMEUP, ReceiveFrom(a.socket).status);
  EXPECT_GE(GetTimeCountMS() - before, 150);
}

TEST_F(AprUdpSocketTest, ConnectedPeerExchangesAndFiltersDatagrams) {
  BoundSocket<AprUdpSocket> a;
  BoundSocket<AprUdpSocket> b;
  BoundSocket<AprUdpSocket> stranger;
  ASSERT_NE(0, a.port);
  ASSERT_NE(0, b.port);
  ASSERT_NE(0, stranger.port);
  ASSERT_EQ(APR_SUCCESS, a.socket.connect(kLoopbackIP, b.port));

  ASSERT_EQ(APR_SUCCESS, Send(a.socket, "to b"));
  Datagram atB = ReceiveFrom(b.socket);
  EXPECT_EQ("to b", atB.text);
  EXPECT_EQ(a.port, atB.from.port);

  // Only the default peer's datagrams reach a connected socket.
  apr_sockaddr_t* toA = Address(kLoopbackIP, a.port);
  ASSERT_EQ(APR_SUCCESS, SendTo(stranger.socket, "from stranger", toA));
  ASSERT_EQ(APR_SUCCESS, SendTo(b.socket, "from b", toA));
  EXPECT_EQ("from b", Receive(a.socket));
}

TEST_F(AprUdpSocketTest, ConnectResolvesOncePerHostAndPortAndFollowsAPortChange) {
  BoundSocket<AprUdpSocket> a;
  BoundSocket<AprUdpSocket> b;
  BoundSocket<AprUdpSocket> c;
  ASSERT_NE(0, b.port);
  ASSERT_NE(0, c.port);

  ASSERT_EQ(APR_SUCCESS, a.socket.connect(kLoopbackIP, b.port));
  const apr_sockaddr_t* first = a.socket.cachedConnectAddr();
  ASSERT_NE(nullptr, first);
  ASSERT_EQ(APR_SUCCESS, a.socket.connect(kLoopbackIP, b.port));
  EXPECT_EQ(first, a.socket.cachedConnectAddr());

  ASSERT_EQ(APR_SUCCESS, a.socket.connect(kLoopbackIP, c.port));
  EXPECT_NE(first, a.socket.cachedConnectAddr());
  ASSERT_EQ(APR_SUCCESS, Send(a.socket, "to c"));
  EXPECT_EQ("to c", Receive(c.socket));
}

TEST_F(AprUdpSocketTest, ConnectRefusalsLeaveTheCacheUntouched) {
  BoundSocket<AprUdpSocket> a;
  BoundSocket<AprUdpSocket> b;
  ASSERT_NE(0, b.port);
  EXPECT_EQ(-1, a.socket.connect("", b.port));
  EXPECT_EQ(-1, a.socket.connect(kLoopbackIP, 0));
  EXPECT_EQ(nullptr, a.socket.cachedConnectAddr());

  ASSERT_EQ(APR_SUCCESS, a.socket.connect(kLoopbackIP, b.port));
  const apr_sockaddr_t* cached = a.socket.cachedConnectAddr();
  EXPECT_EQ(-1, a.socket.connect("", b.port));
  EXPECT_EQ(-1, a.socket.connect(kLoopbackIP, 0));
  EXPECT_EQ(cached, a.socket.cachedConnectAddr());
  // The default peer is still b.
  ASSERT_EQ(APR_SUCCESS, Send(a.socket, "still b"));
  EXPECT_EQ("still b", Receive(b.socket));

  EXPECT_NE(APR_SUCCESS, a.socket.connect(kUnresolvable, b.port));
  EXPECT_EQ(nullptr, a.socket.cachedConnectAddr());
}

TEST_F(AprUdpSocketTest, WrapsAnExistingDescriptor) {
  BoundSocket<AprUdpSocket> b;
  ASSERT_NE(0, b.port);
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_GE(fd, 0);
  AprUdpSocket wrapped(fd);  // owns and closes the descriptor from here
  ASSERT_EQ(APR_SUCCESS, wrapped.connect(kLoopbackIP, b.port));
  ASSERT_EQ(APR_SUCCESS, Send(wrapped, "wrapped"));
  EXPECT_EQ("wrapped", Receive(b.socket));
}

TEST_F(AprUdpSocketTest, OperationsFailOnSocketsThatWereNeverCreated) {
  std::unique_ptr<AprUdpSocket> udp = CreateWithoutDescriptors<AprUdpSocket>();
  std::unique_ptr<AprMCastSocket> mcast = CreateWithoutDescriptors<AprMCastSocket>();
  ASSERT_EQ(nullptr, udp->guts());
  ASSERT_EQ(nullptr, mcast->guts());
  char buf[4] = "abc";
  apr_size_t size = sizeof(buf);
  apr_sockaddr_t* to = Address(kLoopbackIP, 9);
  EXPECT_NE(APR_SUCCESS, udp->connect(kLoopbackIP, 9));
  EXPECT_NE(APR_SUCCESS, udp->send(buf, &size));
  EXPECT_NE(APR_SUCCESS, udp->sendto(buf, &size, to));
  EXPECT_NE(APR_SUCCESS, udp->recv(buf, &size));
  EXPECT_NE(APR_SUCCESS, udp->recvfrom(buf, &size, to));
  EXPECT_FALSE(mcast->join("239.192.0.10", nullptr, nullptr));
  EXPECT_FALSE(mcast->leave());
  EXPECT_FALSE(mcast->hops(1));
  EXPECT_FALSE(mcast->setLoopback(1));
  EXPECT_FALSE(mcast->setInterface(kLoopbackIP));
  EXPECT_FALSE(mcast->setInterface(nullptr));
}

// --- multicast ----------------------------------------------------------------

// Asks the system directly whether it lets a socket choose its outgoing
// multicast interface; emulators may lack the option altogether.
bool SystemChoosesMulticastInterface() {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) return false;
  in_addr loopback = {};
  loopback.s_addr = inet_addr(kLoopbackIP);
  const bool chosen = setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &loopback,
                                 sizeof(loopback)) == 0;
  close(fd);
  return chosen;
}

// A multicast socket bound to its group on an ephemeral port, so that it
// receives only that group's datagrams.
struct GroupReceiver {
  explicit GroupReceiver(const char* group) {
    if (socket.bind(group, 0)) port = LocalPort(socket);
    socket.setTimeOut(kDeadlineMS);
  }
  AprMCastSocket socket;
  uint16_t port = 0;
};

TEST_F(AprUdpSocketTest, MulticastJoinAndLeaveOnTheLoopbackInterface) {
  GroupReceiver receiver("239.192.0.11");
  ASSERT_NE(0, receiver.port);
  if (!receiver.socket.join("239.192.0.11", kLoopbackIP, nullptr)) {
    GTEST_SKIP() << kNoMulticastRoute;
  }
  EXPECT_TRUE(receiver.socket.leave());
  // The membership is over: the system knows no second one to end.
  EXPECT_FALSE(receiver.socket.leave());
  EXPECT_TRUE(receiver.socket.join("239.192.0.11", nullptr, nullptr));
  EXPECT_TRUE(receiver.socket.leave());
}

TEST_F(AprUdpSocketTest, MulticastDatagramIsDeliveredBackOverLoopback) {
  const char kGroup[] = "239.192.0.12";
  GroupReceiver receiver(kGroup);
  ASSERT_NE(0, receiver.port);
  if (!receiver.socket.join(kGroup, kLoopbackIP, nullptr)) {
    GTEST_SKIP() << kNoMulticastRoute;
  }
  if (!SystemChoosesMulticastInterface()) {
    GTEST_SKIP() << kNoMulticastInterfaceOption;
  }
  AprMCastSocket sender;
  ASSERT_TRUE(sender.setInterface(kLoopbackIP));
  ASSERT_TRUE(sender.setLoopback(1));
  ASSERT_TRUE(sender.hops(1));
  if (SendTo(sender, "to the group", Address(kGroup, receiver.port)) !=
      APR_SUCCESS) {
    GTEST_SKIP() << kNoMulticastRoute;
  }
  Datagram datagram = ReceiveFrom(receiver.socket);
  ASSERT_EQ(APR_SUCCESS, datagram.status);
  EXPECT_EQ("to the group", datagram.text);
  EXPECT_EQ(kLoopbackIP, IPOf(&datagram.from));
  EXPECT_TRUE(receiver.socket.leave());
}

TEST_F(AprUdpSocketTest, FailedJoinKeepsNoAddressesAndALaterJoinWorks) {
  GroupReceiver receiver("239.192.0.13");
  ASSERT_NE(0, receiver.port);
  EXPECT_FALSE(receiver.socket.join(kUnresolvable, kLoopbackIP, nullptr));
  // Nothing was kept for leave to hand to the system.
  EXPECT_FALSE(receiver.socket.leave());
  EXPECT_FALSE(receiver.socket.join("239.192.0.13", kUnresolvable, nullptr));
  EXPECT_FALSE(receiver.socket.leave());
  if (!receiver.socket.join("239.192.0.13", kLoopbackIP, nullptr)) {
    GTEST_SKIP() << kNoMulticastRoute;
  }
  EXPECT_TRUE(receiver.socket.leave());
}

// A second join replaces the addresses of the first without leaving its
// group: joining that group again is then refused as a duplicate.
TEST_F(AprUdpSocketTest, SecondJoinDoesNotLeaveTheFirstGroup) {
  AprMCastSocket socket;
  ASSERT_NE(0, BindLoopback(socket));
  if (!socket.join("239.192.0.14", kLoopbackIP, nullptr)) {
    GTEST_SKIP() << kNoMulticastRoute;
  }
  ASSERT_TRUE(socket.join("239.192.0.15", kLoopbackIP, nullptr));
  EXPECT_TRUE(socket.leave());  // leaves 239.192.0.15
  EXPECT_FALSE(socket.join("239.192.0.14", kLoopbackIP, nullptr));
}

TEST_F(AprUdpSocketTest, LeaveWithoutMembershipFails) {
  AprMCastSocket socket;
  ASSERT_NE(0, BindLoopback(socket));
  EXPECT_FALSE(socket.leave());
  // An interface alone is no membership, whether the system took it or not.
  socket.setInterface(kLoopbackIP);
  EXPECT_FALSE(socket.leave());
}

TEST_F(AprUdpSocketTest, SetInterfaceRefusesAnUnresolvableName) {
  AprMCastSocket socket;
  EXPECT_FALSE(socket.setInterface(kUnresolvable));
  EXPECT_TRUE(socket.hops(4));
  EXPECT_TRUE(socket.setLoopback(0));
}

TEST_F(AprUdpSocketTest, SetInterfaceChoosesAndRestoresTheDefault) {
  if (!SystemChoosesMulticastInterface()) {
    GTEST_SKIP() << kNoMulticastInterfaceOption;
  }
  AprMCastSocket socket;
  EXPECT_TRUE(socket.setInterface(kLoopbackIP));
  EXPECT_TRUE(socket.setInterface(nullptr));
}

}  // namespace

#include "utility/sysutils/apr/apr_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "support/loopback.h"
#include "support/signals.h"
#include "utility/sysutils/common/system.h"

namespace {

using namespace SysUtils;
using namespace vantix_test;

const int64_t kDeadlineMS = 5000;
const char kNoHost[] = "no-such-host.invalid";

template <class Socket>
struct Bound {
  Bound() { socket.setTimeOut(kDeadlineMS); }
  Socket socket;
  uint16_t port = BindLoopback(socket);
};

using Received = std::pair<apr_status_t, std::string>;

template <class Socket>
apr_status_t Send(Socket& socket, const std::string& text) {
  apr_size_t size = text.size();
  return socket.send(text.data(), &size);
}

template <class Socket>
Received Receive(Socket& socket) {
  char buf[64];
  apr_size_t size = sizeof(buf);
  const apr_status_t status = socket.recv(buf, &size);
  return {status, std::string(buf, size)};
}

// A new host or port is looked up anew. With a time-out the system would abort
// every second attempt after a refusal; on 127.0.0.1 none blocks.
TEST(AprTcpSocketTest, ConnectRefusesEmptyHostOrPortAndFollowsANewHostOrPort) {
  Bound<AprTcpSocket> listener, unused;
  const uint16_t live = listener.port, dead = unused.port;  // nobody listens on dead
  ASSERT_TRUE(listener.socket.listen(8) && dead != 0);
  const apr_status_t noHost = AprTcpSocket().connect(kNoHost, dead);
  EXPECT_FALSE(noHost == APR_SUCCESS || APR_STATUS_IS_ECONNREFUSED(noHost));
  AprTcpSocket client;
  EXPECT_EQ(
      (std::vector<apr_status_t>{-1, -1, -1, ECONNREFUSED, ECONNREFUSED, noHost, ECONNREFUSED, 0}),
      (std::vector<apr_status_t>{client.connect("", live), client.connect(nullptr, live),
                                 client.connect(kLoopbackIP, 0), client.connect(kLoopbackIP, dead),
                                 client.connect(kLoopbackIP, dead), client.connect(kNoHost, dead),
                                 client.connect(kLoopbackIP, dead), client.connect(kLoopbackIP, live)}));
}

TEST(AprTcpSocketTest, TimeOutsOptionsAndAddresses) {
  AprTcpSocket socket;
  EXPECT_EQ(-1, socket.getTimeOut());
  ASSERT_TRUE(socket.setOption(APR_SO_NONBLOCK, 1) && socket.setKeepAlive(30, 5, 4) && BindLoopback(socket));
  EXPECT_EQ((std::vector<int>{APR_PROTO_TCP, 1, 1, 1}),
            (std::vector<int>{socket.getProto(), socket.getOption(APR_SO_NONBLOCK),
                              socket.getOption(APR_SO_KEEPALIVE), socket.getOption(APR_SO_REUSEADDR)}));
  EXPECT_FALSE(socket.setKeepAlive(0, 5, 4));
  apr_interval_time_t micros = 0;
  ASSERT_TRUE(socket.setTimeOut(3000));
  apr_socket_timeout_get(socket.guts(), &micros);
  EXPECT_EQ((std::vector<int64_t>{3000, 3000000}), (std::vector<int64_t>{socket.getTimeOut(), micros}));
  EXPECT_TRUE(socket.setTimeOut(0) && socket.getTimeOut() == 0);
  char ip[16] = {};
  ASSERT_TRUE(AprSocket::getSockAddrIP(socket.bindAddr(), ip, sizeof(ip)));
  EXPECT_STREQ(kLoopbackIP, ip);
  EXPECT_FALSE(AprSocket::getSockAddrIP(socket.bindAddr(), ip, 4) ||
               AprSocket::getSockAddrIP(nullptr, ip, 9));
  EXPECT_FALSE(AprTcpSocket().bind(kNoHost, 0));
}

// After readselect a receive waits for its time-out, also on a socket that was
// non-blocking; the runtime times out only on a non-blocking descriptor.
TEST(AprTcpSocketTest, SendRecvReadSelectAndEndOfFile) {
  Bound<AprTcpSocket> listener;
  AprTcpSocket client(::socket(AF_INET, SOCK_STREAM, 0));
  ASSERT_TRUE(listener.socket.listen(8) && client.connect(kLoopbackIP, listener.port) == APR_SUCCESS);
  std::unique_ptr<AprTcpSocket> server(listener.socket.accept());
  ASSERT_NE(nullptr, server);
  ASSERT_EQ(APR_SUCCESS, Send(client, "CamID:7 Event face\n"));
  EXPECT_EQ(Received(APR_SUCCESS, "CamID:7 Event face\n"), Receive(*server));

  ASSERT_TRUE(client.setOption(APR_SO_NONBLOCK, 1) && client.setTimeOut(0));
  EXPECT_FALSE(client.readselect(300));
  EXPECT_EQ(300, client.getTimeOut());
  apr_os_sock_t fd = -1;
  ASSERT_TRUE(apr_os_sock_get(&fd, client.guts()) == APR_SUCCESS && (fcntl(fd, F_GETFL) & O_NONBLOCK));
  const int64_t before = GetTimeCountMS();
  {
    const HandledSignals signals(100, 10);  // each would restart a wait of 300 ms
    EXPECT_EQ(Received(APR_TIMEUP, ""), Receive(client));
  }
  EXPECT_GE(GetTimeCountMS() - before, 250);
  EXPECT_LT(GetTimeCountMS() - before, 800) << "the time-out is a deadline that a signal does not extend";

  ASSERT_EQ(APR_SUCCESS, Send(*server, "reply"));
  EXPECT_TRUE(client.readselect(kDeadlineMS));
  EXPECT_EQ(Received(APR_SUCCESS, "reply"), Receive(client));
  server.reset();
  EXPECT_EQ(Received(APR_EOF, ""), Receive(client));
}

TEST(AprSocketTest, EveryOperationFailsWithoutARuntimeHandle) {
  const std::unique_ptr<AprTcpSocket> tcp = CreateWithoutDescriptors<AprTcpSocket>();
  const std::unique_ptr<AprUdpSocket> udp = CreateWithoutDescriptors<AprUdpSocket>();
  const std::unique_ptr<AprMCastSocket> mcast = CreateWithoutDescriptors<AprMCastSocket>();
  ASSERT_TRUE(tcp->guts() == nullptr && udp->guts() == nullptr && mcast->guts() == nullptr);
  char buf[4] = "abc";
  apr_size_t size = sizeof(buf);
  apr_sockaddr_t* addr = nullptr;
  EXPECT_EQ(
      std::vector<bool>(14),
      (std::vector<bool>{tcp->readselect(10), tcp->bind(kLoopbackIP, 0), tcp->listen(1), tcp->setTimeOut(1),
                         tcp->setOption(APR_SO_NONBLOCK, 1), tcp->setKeepAlive(30, 5, 4),
                         tcp->getLocalSockAddr(addr), tcp->getRemoteSockAddr(addr), mcast->leave(),
                         mcast->hops(1), mcast->join("239.1.1.1", nullptr, nullptr), mcast->setLoopback(1),
                         mcast->setInterface(kLoopbackIP), mcast->setInterface(nullptr)}));
  EXPECT_EQ((std::vector<int64_t>{-1, -1, -1}),
            (std::vector<int64_t>{tcp->getTimeOut(), tcp->getOption(APR_SO_NONBLOCK), tcp->getProto()}));
  EXPECT_EQ(std::vector<apr_status_t>(8, APR_ENOTSOCK),
            (std::vector<apr_status_t>{tcp->connect(kLoopbackIP, 9), tcp->send(buf, &size),
                                       tcp->recv(buf, &size), udp->connect(kLoopbackIP, 9),
                                       udp->send(buf, &size), udp->sendto(buf, &size, nullptr),
                                       udp->recv(buf, &size), udp->recvfrom(buf, &size, nullptr)}));
}

TEST(AprUdpSocketTest, DatagramsNameTheirSenderAndGoToTheConnectedPeer) {
  Bound<AprUdpSocket> a;
  AprUdpSocket b(::socket(AF_INET, SOCK_DGRAM, 0));
  ASSERT_TRUE(a.port != 0 && BindLoopback(b) != 0 && b.setTimeOut(kDeadlineMS));
  apr_size_t size = 4;
  ASSERT_EQ(APR_SUCCESS, a.socket.sendto("ping", &size, b.bindAddr()));
  apr_sockaddr_t from = {};
  char buf[64];
  size = sizeof(buf);
  ASSERT_EQ(APR_SUCCESS, b.recvfrom(buf, &size, &from));
  EXPECT_EQ("ping", std::string(buf, size));
  EXPECT_EQ(a.port, from.port);
  ASSERT_TRUE(b.connect(kLoopbackIP, a.port) == APR_SUCCESS && Send(b, "pong") == APR_SUCCESS);
  EXPECT_EQ(Received(APR_SUCCESS, "pong"), Receive(a.socket));
}

bool SystemTakes(int option, const void* value, socklen_t size) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  const bool taken = setsockopt(fd, IPPROTO_IP, option, value, size) == 0;
  close(fd);
  return taken;
}

TEST(AprMCastSocketTest, JoinsLeavesAndSetsItsOptionsOnTheLoopbackInterface) {
  const char kGroup[] = "239.192.0.11";
  const ip_mreq membership = {{inet_addr(kGroup)}, {inet_addr(kLoopbackIP)}};
  if (!SystemTakes(IP_ADD_MEMBERSHIP, &membership, sizeof(membership))) GTEST_SKIP() << "no group on lo";
  AprMCastSocket socket;
  ASSERT_NE(0, BindLoopback(socket));
  EXPECT_FALSE(socket.leave());
  EXPECT_FALSE(socket.join(kNoHost, kLoopbackIP, nullptr) || socket.join(kGroup, kNoHost, nullptr));
  ASSERT_TRUE(socket.join(kGroup, kLoopbackIP, nullptr));
  EXPECT_TRUE(socket.leave());
  EXPECT_TRUE(socket.hops(4) && socket.setLoopback(0));
  EXPECT_FALSE(socket.setInterface(kNoHost));
  const in_addr loopback = {inet_addr(kLoopbackIP)};
  if (!SystemTakes(IP_MULTICAST_IF, &loopback, sizeof(loopback))) GTEST_SKIP() << "no IP_MULTICAST_IF";
  EXPECT_TRUE(socket.setInterface(kLoopbackIP) && socket.setInterface(nullptr));
}

// A null interface is the default one, the wildcard address, whatever the
// system grants a source-specific membership.
TEST(AprMCastSocketTest, NullInterfaceIsTheWildcardInSourceSpecificMemberships) {
  AprMCastSocket wildcard, defaulted;
  const bool joined = wildcard.join("232.1.2.3", "0.0.0.0", kLoopbackIP);
  EXPECT_EQ(joined, defaulted.join("232.1.2.3", nullptr, kLoopbackIP));
  EXPECT_EQ(wildcard.leave(), defaulted.leave());
}

}  // namespace

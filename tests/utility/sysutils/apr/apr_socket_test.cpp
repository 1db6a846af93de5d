#include "utility/sysutils/apr/apr_socket.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "support/loopback.h"
#include "utility/sysutils/apr/apr_pool.h"
#include "utility/sysutils/common/system.h"

namespace {

using SysUtils::AprSocket;
using SysUtils::AprTcpSocket;
using SysUtils::GetTimeCountMS;
using vantix_test::BindLoopback;
using vantix_test::CreateWithoutDescriptors;
using vantix_test::kLoopbackIP;
using vantix_test::LocalPort;

// Bounds every wait of these tests that is not itself under test.
const int64_t kDeadlineMS = 5000;

struct Listener {
  Listener() {
    port = BindLoopback(socket);
    socket.setTimeOut(kDeadlineMS);
    listening = port != 0 && socket.listen(8);
  }
  AprTcpSocket socket;
  uint16_t port = 0;
  bool listening = false;
};

// A connected client and the server side that accepted it.
struct ConnectedPair {
  ConnectedPair() {
    client.setTimeOut(kDeadlineMS);
    if (!listener.listening) return;
    if (client.connect(kLoopbackIP, listener.port) != APR_SUCCESS) return;
    server.reset(listener.socket.accept());
    if (server) server->setTimeOut(kDeadlineMS);
  }
  Listener listener;
  AprTcpSocket client;
  std::unique_ptr<AprTcpSocket> server;
};

// A port on which a socket is bound but nobody listens, kept so while the
// object lives.
struct DeadPort {
  DeadPort() { port = BindLoopback(socket); }
  AprTcpSocket socket;
  uint16_t port = 0;
};

apr_status_t SendAll(AprTcpSocket& socket, const std::string& text) {
  apr_size_t size = text.size();
  apr_status_t status = socket.send(text.data(), &size);
  return status == APR_SUCCESS && size != text.size() ? APR_EGENERAL : status;
}

// Reads until `expected` bytes have arrived, the peer stops or time runs out.
std::string ReceiveBytes(AprTcpSocket& socket, size_t expected) {
  std::string received;
  const int64_t deadline = GetTimeCountMS() + kDeadlineMS;
  while (received.size() < expected && GetTimeCountMS() < deadline) {
    char buf[256];
    apr_size_t size = sizeof(buf);
    if (socket.recv(buf, &size) != APR_SUCCESS) break;
    received.append(buf, size);
  }
  return received;
}

int TcpOptionOf(AprTcpSocket& socket, int option) {
  apr_os_sock_t fd = -1;
  apr_os_sock_get(&fd, socket.guts());
  int value = -1;
  socklen_t length = sizeof(value);
  if (getsockopt(fd, IPPROTO_TCP, option, &value, &length) != 0) return -1;
  return value;
}

TEST(AprTcpSocketTest, ConnectRefusesEmptyHostAndPortZeroWithoutTouchingCache) {
  Listener listener;
  ASSERT_TRUE(listener.listening);
  AprTcpSocket client;
  EXPECT_EQ(-1, client.connect("", listener.port));
  EXPECT_EQ(-1, client.connect(nullptr, listener.port));
  EXPECT_EQ(-1, client.connect(kLoopbackIP, 0));
  EXPECT_EQ(nullptr, client.cachedConnectAddr());

  DeadPort dead;
  ASSERT_NE(0, dead.port);
  EXPECT_NE(APR_SUCCESS, client.connect(kLoopbackIP, dead.port));
  const apr_sockaddr_t* cached = client.cachedConnectAddr();
  ASSERT_NE(nullptr, cached);
  EXPECT_EQ(-1, client.connect("", dead.port));
  EXPECT_EQ(-1, client.connect(kLoopbackIP, 0));
  EXPECT_EQ(cached, client.cachedConnectAddr());
  EXPECT_EQ(dead.port, cached->port);
}

TEST(AprTcpSocketTest, ConnectResolvesOncePerHostAndPortAndFollowsAPortChange) {
  DeadPort dead;
  Listener listener;
  ASSERT_NE(0, dead.port);
  ASSERT_TRUE(listener.listening);
  AprTcpSocket client;
  client.setTimeOut(kDeadlineMS);

  EXPECT_NE(APR_SUCCESS, client.connect(kLoopbackIP, dead.port));
  const apr_sockaddr_t* first = client.cachedConnectAddr();
  ASSERT_NE(nullptr, first);
  EXPECT_NE(APR_SUCCESS, client.connect(kLoopbackIP, dead.port));
  EXPECT_EQ(first, client.cachedConnectAddr());

  ASSERT_EQ(APR_SUCCESS, client.connect(kLoopbackIP, listener.port));
  EXPECT_NE(first, client.cachedConnectAddr());
  std::unique_ptr<AprTcpSocket> server(listener.socket.accept());
  ASSERT_NE(nullptr, server);
  apr_sockaddr_t* remote = nullptr;
  ASSERT_TRUE(client.getRemoteSockAddr(remote));
  EXPECT_EQ(listener.port, remote->port);
}

TEST(AprTcpSocketTest, UnresolvableHostLeavesTheCacheEmpty) {
  AprTcpSocket client;
  EXPECT_NE(APR_SUCCESS, client.connect("no-such-host.invalid", 80));
  EXPECT_EQ(nullptr, client.cachedConnectAddr());
}

TEST(AprTcpSocketTest, ConnectWithoutListenerFails) {
  DeadPort dead;
  ASSERT_NE(0, dead.port);
  AprTcpSocket client;
  client.setTimeOut(kDeadlineMS);
  EXPECT_NE(APR_SUCCESS, client.connect(kLoopbackIP, dead.port));
}

TEST(AprTcpSocketTest, TimeOutRoundTripsInMilliseconds) {
  AprTcpSocket socket;
  EXPECT_EQ(-1, socket.getTimeOut());
  EXPECT_TRUE(socket.setTimeOut(3000));
  EXPECT_EQ(3000, socket.getTimeOut());
  EXPECT_TRUE(socket.setTimeOut(0));
  EXPECT_EQ(0, socket.getTimeOut());
  EXPECT_TRUE(socket.setTimeOut(-1));
  EXPECT_EQ(-1, socket.getTimeOut());
}

TEST(AprTcpSocketTest, OptionsAndProtocol) {
  AprTcpSocket socket;
  EXPECT_EQ(APR_PROTO_TCP, socket.getProto());
  EXPECT_TRUE(socket.setOption(APR_SO_NONBLOCK, 1));
  EXPECT_EQ(1, socket.getOption(APR_SO_NONBLOCK));
  EXPECT_TRUE(socket.setOption(APR_SO_NONBLOCK, 0));
  EXPECT_EQ(0, socket.getOption(APR_SO_NONBLOCK));
}

TEST(AprTcpSocketTest, BindKeepsTheAddressAndAllowsReuse) {
  AprTcpSocket socket;
  uint16_t port = BindLoopback(socket);
  ASSERT_NE(0, port);
  ASSERT_NE(nullptr, socket.bindAddr());
  EXPECT_EQ(1, socket.getOption(APR_SO_REUSEADDR));
  char ip[32] = {};
  ASSERT_TRUE(AprSocket::getSockAddrIP(socket.bindAddr(), ip, sizeof(ip)));
  EXPECT_STREQ(kLoopbackIP, ip);

  AprTcpSocket second;
  EXPECT_FALSE(second.bind("no-such-host.invalid", 0));
}

TEST(AprTcpSocketTest, SendAndRecvBothWays) {
  ConnectedPair pair;
  ASSERT_NE(nullptr, pair.server);
  ASSERT_EQ(APR_SUCCESS, SendAll(pair.client, "CamID:7 Event face\n"));
  EXPECT_EQ("CamID:7 Event face\n", ReceiveBytes(*pair.server, 19));
  ASSERT_EQ(APR_SUCCESS, SendAll(*pair.server, "reply"));
  EXPECT_EQ("reply", ReceiveBytes(pair.client, 5));
}

TEST(AprTcpSocketTest, RecvTimesOutAfterASecondOfSilence) {
  ConnectedPair pair;
  ASSERT_NE(nullptr, pair.server);
  ASSERT_TRUE(pair.client.setTimeOut(1000));
  char buf[16];
  apr_size_t size = sizeof(buf);
  const int64_t before = GetTimeCountMS();
  EXPECT_EQ(APR_TIMEUP, pair.client.recv(buf, &size));
  const int64_t elapsed = GetTimeCountMS() - before;
  EXPECT_GE(elapsed, 900);
  EXPECT_LT(elapsed, kDeadlineMS);
}

TEST(AprTcpSocketTest, RecvReportsEndOfFileOnceThePeerHasClosed) {
  ConnectedPair pair;
  ASSERT_NE(nullptr, pair.server);
  pair.server.reset();
  char buf[16];
  apr_size_t size = sizeof(buf);
  EXPECT_EQ(APR_EOF, pair.client.recv(buf, &size));
  EXPECT_EQ(0u, size);
}

TEST(AprTcpSocketTest, AcceptOnANonListeningSocketReturnsNull) {
  AprTcpSocket socket;
  ASSERT_NE(0, BindLoopback(socket));
  socket.setTimeOut(200);
  EXPECT_EQ(nullptr, socket.accept());
}

TEST(AprTcpSocketTest, AcceptedSocketKnowsItsPeer) {
  ConnectedPair pair;
  ASSERT_NE(nullptr, pair.server);
  apr_sockaddr_t* peer = nullptr;
  ASSERT_TRUE(pair.server->getRemoteSockAddr(peer));
  EXPECT_EQ(LocalPort(pair.client), peer->port);
}

TEST(AprTcpSocketTest, ReadSelectReportsReadyData) {
  ConnectedPair pair;
  ASSERT_NE(nullptr, pair.server);
  EXPECT_FALSE(pair.client.readselect(100));
  ASSERT_EQ(APR_SUCCESS, SendAll(*pair.server, "x"));
  EXPECT_TRUE(pair.client.readselect(kDeadlineMS));
  EXPECT_TRUE(pair.client.readselect(kDeadlineMS));  // still unread
  EXPECT_EQ("x", ReceiveBytes(pair.client, 1));
}

// A socket that never waited must, after readselect, wait for the given
// time-out and then report it, instead of failing at once or blocking.
TEST(AprTcpSocketTest, ReadSelectLeavesTheSocketBlockingWithItsTimeOut) {
  ConnectedPair pair;
  ASSERT_NE(nullptr, pair.server);
  ASSERT_TRUE(pair.client.setOption(APR_SO_NONBLOCK, 1));
  ASSERT_TRUE(pair.client.setTimeOut(0));
  char buf[16];
  apr_size_t size = sizeof(buf);
  EXPECT_TRUE(APR_STATUS_IS_EAGAIN(pair.client.recv(buf, &size)));

  EXPECT_FALSE(pair.client.readselect(300));
  EXPECT_EQ(300, pair.client.getTimeOut());

  // Should recv block for good, the peer's shutdown ends it after the
  // deadline and the status check below fails.
  std::promise<void> done;
  std::thread watchdog([&pair, finished = done.get_future()] {
    if (finished.wait_for(std::chrono::milliseconds(kDeadlineMS)) !=
        std::future_status::ready) {
      apr_socket_shutdown(pair.server->guts(), APR_SHUTDOWN_WRITE);
    }
  });
  size = sizeof(buf);
  const int64_t before = GetTimeCountMS();
  const apr_status_t status = pair.client.recv(buf, &size);
  const int64_t elapsed = GetTimeCountMS() - before;
  done.set_value();
  watchdog.join();
  EXPECT_EQ(APR_TIMEUP, status);
  EXPECT_GE(elapsed, 250);
}

TEST(AprTcpSocketTest, KeepAliveOptionsReadBack) {
  ConnectedPair pair;
  ASSERT_NE(nullptr, pair.server);
  ASSERT_TRUE(pair.client.setKeepAlive(30, 5, 4));
  EXPECT_EQ(1, pair.client.getOption(APR_SO_KEEPALIVE));
  apr_os_sock_t fd = -1;
  ASSERT_EQ(APR_SUCCESS, apr_os_sock_get(&fd, pair.client.guts()));
  int keepAlive = 0;
  socklen_t length = sizeof(keepAlive);
  ASSERT_EQ(0, getsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &keepAlive, &length));
  EXPECT_NE(0, keepAlive);
  EXPECT_EQ(30, TcpOptionOf(pair.client, TCP_KEEPIDLE));
  EXPECT_EQ(5, TcpOptionOf(pair.client, TCP_KEEPINTVL));
  EXPECT_EQ(4, TcpOptionOf(pair.client, TCP_KEEPCNT));
  EXPECT_FALSE(pair.client.setKeepAlive(0, 5, 4));
}

TEST(AprTcpSocketTest, WrapsAnExistingDescriptor) {
  Listener listener;
  ASSERT_TRUE(listener.listening);
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  AprTcpSocket wrapped(fd);  // owns and closes the descriptor from here
  wrapped.setTimeOut(kDeadlineMS);
  ASSERT_EQ(APR_SUCCESS, wrapped.connect(kLoopbackIP, listener.port));
  std::unique_ptr<AprTcpSocket> server(listener.socket.accept());
  ASSERT_NE(nullptr, server);
  ASSERT_EQ(APR_SUCCESS, SendAll(wrapped, "hi"));
  EXPECT_EQ("hi", ReceiveBytes(*server, 2));
}

// Without a runtime handle every operation fails instead of handing null to
// the runtime.
TEST(AprTcpSocketTest, OperationsFailOnASocketThatWasNeverCreated) {
  std::unique_ptr<AprTcpSocket> socket = CreateWithoutDescriptors<AprTcpSocket>();
  ASSERT_EQ(nullptr, socket->guts());
  EXPECT_FALSE(socket->readselect(10));
  EXPECT_FALSE(socket->bind(kLoopbackIP, 0));
  EXPECT_FALSE(socket->listen(1));
  EXPECT_EQ(nullptr, socket->accept());
  EXPECT_NE(APR_SUCCESS, socket->connect(kLoopbackIP, 80));
  EXPECT_EQ(nullptr, socket->cachedConnectAddr());
  char buf[4] = "abc";
  apr_size_t size = sizeof(buf);
  EXPECT_NE(APR_SUCCESS, socket->send(buf, &size));
  EXPECT_NE(APR_SUCCESS, socket->recv(buf, &size));
  EXPECT_FALSE(socket->setTimeOut(10));
  EXPECT_EQ(-1, socket->getTimeOut());
  EXPECT_FALSE(socket->setOption(APR_SO_NONBLOCK, 1));
  EXPECT_EQ(-1, socket->getOption(APR_SO_NONBLOCK));
  EXPECT_EQ(-1, socket->getProto());
  EXPECT_FALSE(socket->setKeepAlive(30, 5, 4));
  apr_sockaddr_t* addr = nullptr;
  EXPECT_FALSE(socket->getLocalSockAddr(addr));
  EXPECT_FALSE(socket->getRemoteSockAddr(addr));
}

TEST(AprSocketTest, UnsupportedFamilyLeavesNoHandle) {
  AprSocket socket(-1, SOCK_STREAM, APR_PROTO_TCP);
  EXPECT_EQ(nullptr, socket.guts());
  EXPECT_FALSE(socket.bind(kLoopbackIP, 0));
  EXPECT_EQ(nullptr, socket.bindAddr());
}

TEST(AprSocketTest, CreateSockAddrInfoResolvesDottedAddresses) {
  SysUtils::AprPool pool(1048576);
  apr_sockaddr_t* addr = nullptr;
  ASSERT_TRUE(
      AprSocket::createSockAddrInfo(&addr, "127.0.0.2", 4242, pool.guts()));
  char ip[32] = {};
  ASSERT_TRUE(AprSocket::getSockAddrIP(addr, ip, sizeof(ip)));
  EXPECT_STREQ("127.0.0.2", ip);
  EXPECT_EQ(4242, addr->port);
  EXPECT_FALSE(AprSocket::getSockAddrIP(addr, ip, 4));  // too small
  EXPECT_FALSE(AprSocket::getSockAddrIP(nullptr, ip, sizeof(ip)));
}

}  // namespace

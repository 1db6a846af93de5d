#include "support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "support/loopback.h"
#include "support/wait_until.h"

namespace vantix_test {

namespace {

sockaddr_in SocketAddress(uint32_t address, uint16_t port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = address;
  return addr;
}

bool WaitFor(int fd, short events, int timeoutMS) {
  pollfd entry{fd, events, 0};
  int ready;
  do {
    ready = poll(&entry, 1, timeoutMS);
  } while (ready < 0 && errno == EINTR);
  return ready > 0;
}

void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

}  // namespace

LoopbackServer::LoopbackServer(const std::string& strAddress) : m_address(inet_addr(strAddress.c_str())) {
  sockaddr_in bound{};
  socklen_t len = sizeof(bound);
  if (Listen(8) && getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&bound), &len) == 0) {
    m_port = ntohs(bound.sin_port);
  }
}

LoopbackServer::~LoopbackServer() {
  CloseClient();
  StopListening();
}

bool LoopbackServer::Listen(int backlog) {
  m_listenFd = socket(AF_INET, SOCK_STREAM, 0);
  const int on = 1;
  setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
  const sockaddr_in addr = SocketAddress(m_address, m_port);
  if (bind(m_listenFd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0 ||
      listen(m_listenFd, backlog) != 0) {
    CloseFd(m_listenFd);
  }
  return m_listenFd >= 0;
}

bool LoopbackServer::AcceptClient(int timeoutMS) {
  if (m_listenFd < 0 || !WaitFor(m_listenFd, POLLIN, timeoutMS)) return false;
  sockaddr_in peer{};
  socklen_t len = sizeof(peer);
  const int fd = accept(m_listenFd, reinterpret_cast<sockaddr*>(&peer), &len);
  if (fd < 0) return false;
  CloseClient();
  m_clientFd = fd;
  const int on = 1;
  setsockopt(m_clientFd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
  m_clientPort = ntohs(peer.sin_port);
  ++m_acceptedCount;
  return true;
}

bool LoopbackServer::WriteWithin(const std::string& text, int timeoutMS) {
  for (size_t sent = 0; sent < text.size();) {
    if (m_clientFd < 0 || !WaitFor(m_clientFd, POLLOUT, timeoutMS)) return false;
    const ssize_t n = send(m_clientFd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return m_clientFd >= 0;
}

void LoopbackServer::CloseClient() {
  CloseFd(m_clientFd);
  m_clientPort = 0;
}

void LoopbackServer::ResetClient() {
  const linger abort{1, 0};
  if (m_clientFd >= 0) setsockopt(m_clientFd, SOL_SOCKET, SO_LINGER, &abort, sizeof(abort));
  CloseClient();
}

void LoopbackServer::StopListening() {
  CloseFd(m_queueFillerFd);
  CloseFd(m_listenFd);
}

bool LoopbackServer::StartListening() { return m_listenFd >= 0 || (m_port != 0 && Listen(8)); }

// A backlog of 0 leaves room for exactly one connection that nobody accepts;
// with that place taken the kernel drops every further handshake.
bool LoopbackServer::StartListeningUnresponsive() {
  if (m_listenFd >= 0 || m_port == 0 || !Listen(0)) return false;
  m_queueFillerFd = socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in addr = SocketAddress(m_address, m_port);
  return connect(m_queueFillerFd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) == 0;
}

// Nothing listens on the port once the server is gone.
uint16_t UnusedLoopbackPort() { return LoopbackServer().Port(); }

bool WaitUntilAllRead(uint16_t clientPort, int timeoutMS) {
  return WaitUntil([&] { return UnreadBytes(clientPort) == 0; }, timeoutMS);
}

}  // namespace vantix_test

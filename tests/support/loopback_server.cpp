#include "support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace vantix_test {

namespace {

const int kBacklog = 8;

sockaddr_in LoopbackAddress(uint16_t port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return addr;
}

uint16_t LocalPort(int fd) {
  sockaddr_in addr{};
  socklen_t len = sizeof(addr);
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
  return ntohs(addr.sin_port);
}

bool WaitReadable(int fd, int timeoutMS) {
  pollfd entry{fd, POLLIN, 0};
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

LoopbackServer::LoopbackServer()
    : m_listenFd(-1), m_clientFd(-1), m_queueFillerFd(-1), m_port(0), m_clientPort(0), m_acceptedCount(0) {
  if (Listen(0, kBacklog)) m_port = LocalPort(m_listenFd);
}

LoopbackServer::~LoopbackServer() {
  CloseClient();
  StopListening();
}

bool LoopbackServer::Listen(uint16_t port, int backlog) {
  m_listenFd = socket(AF_INET, SOCK_STREAM, 0);
  if (m_listenFd < 0) return false;
  const int on = 1;
  setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
  const sockaddr_in addr = LoopbackAddress(port);
  if (bind(m_listenFd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0 ||
      listen(m_listenFd, backlog) != 0) {
    CloseFd(m_listenFd);
    return false;
  }
  return true;
}

bool LoopbackServer::AcceptClient(int timeoutMS) {
  if (m_listenFd < 0 || !WaitReadable(m_listenFd, timeoutMS)) return false;
  const int fd = accept(m_listenFd, nullptr, nullptr);
  if (fd < 0) return false;
  CloseClient();
  m_clientFd = fd;
  const int on = 1;
  setsockopt(m_clientFd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
  sockaddr_in peer{};
  socklen_t len = sizeof(peer);
  getpeername(m_clientFd, reinterpret_cast<sockaddr*>(&peer), &len);
  m_clientPort = ntohs(peer.sin_port);
  ++m_acceptedCount;
  return true;
}

bool LoopbackServer::Write(const std::string& text) {
  size_t sent = 0;
  while (m_clientFd >= 0 && sent < text.size()) {
    const ssize_t n = send(m_clientFd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return m_clientFd >= 0;
}

void LoopbackServer::CloseClient() {
  CloseFd(m_clientFd);
  m_clientPort = 0;
}

void LoopbackServer::StopListening() {
  CloseFd(m_queueFillerFd);
  CloseFd(m_listenFd);
}

bool LoopbackServer::StartListening() {
  if (m_listenFd >= 0) return true;
  return m_port != 0 && Listen(m_port, kBacklog);
}

// A backlog of 0 leaves room for exactly one connection that nobody accepts;
// with that place taken the kernel drops every further handshake.
bool LoopbackServer::StartListeningUnresponsive() {
  if (m_listenFd >= 0 || m_port == 0 || !Listen(m_port, 0)) return false;
  m_queueFillerFd = socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in addr = LoopbackAddress(m_port);
  return m_queueFillerFd >= 0 &&
         connect(m_queueFillerFd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) == 0;
}

uint16_t UnusedLoopbackPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return 0;
  const sockaddr_in addr = LoopbackAddress(0);
  uint16_t port = 0;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) == 0) port = LocalPort(fd);
  CloseFd(fd);
  return port;
}

int FindLoopbackClientFd(uint16_t port) {
  for (int fd = 0; fd < 1024; ++fd) {
    sockaddr_in addr{};
    socklen_t len = sizeof(addr);
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) continue;
    if (addr.sin_family == AF_INET && ntohs(addr.sin_port) == port) return fd;
  }
  return -1;
}

bool WaitUntilAllRead(uint16_t clientPort, int timeoutMS) {
  const int fd = FindLoopbackClientFd(clientPort);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMS);
  int unread = -1;
  while (fd >= 0 && ioctl(fd, FIONREAD, &unread) == 0 && unread > 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return unread == 0;
}

}  // namespace vantix_test

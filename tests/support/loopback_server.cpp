#include "support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/loopback.h"
#include "support/wait_until.h"

namespace vantix_test {

static const int kOn = 1;

static void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

LoopbackServer::LoopbackServer(const std::string& strAddress) {
  m_address.sin_family = AF_INET;
  m_address.sin_addr.s_addr = inet_addr(strAddress.c_str());
  socklen_t len = sizeof(m_address);
  if (Listen(8)) getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&m_address), &len);
}

bool LoopbackServer::Listen(int backlog) {
  m_listenFd = socket(AF_INET, SOCK_STREAM, 0);
  setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &kOn, sizeof(kOn));
  if (bind(m_listenFd, Address(), sizeof(m_address)) == 0 && listen(m_listenFd, backlog) == 0) return true;
  CloseFd(m_listenFd);
  return false;
}

bool LoopbackServer::AcceptClient(int timeoutMS) {
  pollfd entry{m_listenFd, POLLIN, 0};
  const int fd =
      m_listenFd >= 0 && poll(&entry, 1, timeoutMS) == 1 ? accept(m_listenFd, nullptr, nullptr) : -1;
  if (fd < 0) return false;
  CloseClient();
  m_clientFd = fd;
  return setsockopt(m_clientFd, IPPROTO_TCP, TCP_NODELAY, &kOn, sizeof(kOn)) == 0;
}

uint16_t LoopbackServer::ClientPort() const {
  sockaddr_in peer{};
  socklen_t len = sizeof(peer);
  return getpeername(m_clientFd, reinterpret_cast<sockaddr*>(&peer), &len) == 0 ? ntohs(peer.sin_port) : 0;
}

bool LoopbackServer::WriteWithin(const std::string& text, int timeoutMS) {
  const timeval limit{timeoutMS > 0 ? timeoutMS / 1000 : 0, timeoutMS > 0 ? timeoutMS % 1000 * 1000 : 0};
  setsockopt(m_clientFd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
  return send(m_clientFd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

void LoopbackServer::CloseClient() { CloseFd(m_clientFd); }

void LoopbackServer::ResetClient() {
  const linger abort{1, 0};
  setsockopt(m_clientFd, SOL_SOCKET, SO_LINGER, &abort, sizeof(abort));
  CloseClient();
}

void LoopbackServer::StopListening() {
  CloseFd(m_queueFillerFd);
  CloseFd(m_listenFd);
}

// A backlog of 0 leaves room for one connection nobody accepts; with it taken, no handshake is answered.
bool LoopbackServer::StartListeningUnresponsive() {
  if (m_listenFd >= 0 || Port() == 0 || !Listen(0)) return false;
  m_queueFillerFd = socket(AF_INET, SOCK_STREAM, 0);
  return connect(m_queueFillerFd, Address(), sizeof(m_address)) == 0;
}

uint16_t UnusedLoopbackPort() { return LoopbackServer().Port(); }

bool WaitUntilAllRead(uint16_t clientPort, int timeoutMS) {
  return WaitUntil([&] { return UnreadBytes(clientPort) == 0; }, timeoutMS);
}

}  // namespace vantix_test

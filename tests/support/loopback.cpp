#include "support/loopback.h"

#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vantix_test {

const char kLoopbackIP[] = "127.0.0.1";

uint16_t BindLoopback(SysUtils::AprSocket& socket) {
  return socket.bind(kLoopbackIP, 0) ? LocalPort(socket) : 0;
}

uint16_t LocalPort(SysUtils::AprSocket& socket) {
  apr_sockaddr_t* local = nullptr;
  return socket.getLocalSockAddr(local) ? local->port : 0;
}

int FindLocalTcpSocket(uint16_t port) {
  for (int fd = 0; fd < 1024; ++fd) {
    sockaddr_in addr{};
    socklen_t len = sizeof(addr);
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) continue;
    if (addr.sin_family == AF_INET && ntohs(addr.sin_port) == port) return fd;
  }
  return -1;
}

int UnreadBytes(uint16_t port) {
  const int fd = FindLocalTcpSocket(port);
  int unread = -1;
  return fd >= 0 && ioctl(fd, FIONREAD, &unread) == 0 ? unread : -1;
}

// Low enough that filling it is quick, high enough for what the test process
// already holds.
DescriptorsExhausted::DescriptorsExhausted() {
  rlimit limit = {};
  getrlimit(RLIMIT_NOFILE, &limit);
  m_savedSoftLimit = limit.rlim_cur;
  if (limit.rlim_cur > 256) {
    limit.rlim_cur = 256;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
  for (int fd = dup(STDERR_FILENO); fd >= 0; fd = dup(STDERR_FILENO)) m_taken.push_back(fd);
}

DescriptorsExhausted::~DescriptorsExhausted() {
  for (int fd : m_taken) close(fd);
  rlimit limit = {};
  getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = static_cast<rlim_t>(m_savedSoftLimit);
  setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace vantix_test

#include "support/loopback.h"

#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace vantix_test {

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
    const bool bNamed = getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0;
    if (bNamed && addr.sin_family == AF_INET && ntohs(addr.sin_port) == port) return fd;
  }
  return -1;
}

int UnreadBytes(uint16_t port) {
  const int fd = FindLocalTcpSocket(port);
  int unread = -1;
  return fd >= 0 && ioctl(fd, FIONREAD, &unread) == 0 ? unread : -1;
}

}  // namespace vantix_test

#include "support/loopback.h"

#include <sys/resource.h>
#include <unistd.h>

namespace vantix_test {

const char kLoopbackIP[] = "127.0.0.1";

namespace {

// Low enough that filling it is quick, high enough for what the test
// process already holds.
const rlim_t kExhaustedLimit = 256;

}  // namespace

uint16_t BindLoopback(SysUtils::AprSocket& socket) {
  if (!socket.bind(kLoopbackIP, 0)) return 0;
  return LocalPort(socket);
}

uint16_t LocalPort(SysUtils::AprSocket& socket) {
  apr_sockaddr_t* local = nullptr;
  if (!socket.getLocalSockAddr(local)) return 0;
  return local->port;
}

DescriptorsExhausted::DescriptorsExhausted() {
  rlimit limit = {};
  getrlimit(RLIMIT_NOFILE, &limit);
  m_savedSoftLimit = limit.rlim_cur;
  if (limit.rlim_cur > kExhaustedLimit) {
    limit.rlim_cur = kExhaustedLimit;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
  for (int fd = dup(STDERR_FILENO); fd >= 0; fd = dup(STDERR_FILENO)) {
    m_taken.push_back(fd);
  }
}

DescriptorsExhausted::~DescriptorsExhausted() {
  for (int fd : m_taken) close(fd);
  rlimit limit = {};
  getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = static_cast<rlim_t>(m_savedSoftLimit);
  setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace vantix_test

#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "utility/sysutils/apr/apr_socket.h"

namespace vantix_test {

inline constexpr char kLoopbackIP[] = "127.0.0.1";

// Binds to 127.0.0.1 on an ephemeral port; the port bound to, or 0.
uint16_t BindLoopback(SysUtils::AprSocket& socket);
uint16_t LocalPort(SysUtils::AprSocket& socket);

// This process's end of the loopback connection from `port`, and the bytes it has not read; -1 if none.
int FindLocalTcpSocket(uint16_t port);
int UnreadBytes(uint16_t port);

// While it lives, every descriptor the process may open (under a limit of 256) is taken.
class DescriptorsExhausted {
 public:
  DescriptorsExhausted() {
    getrlimit(RLIMIT_NOFILE, &m_saved);
    rlimit lowered = m_saved;
    if (lowered.rlim_cur > 256) lowered.rlim_cur = 256;
    setrlimit(RLIMIT_NOFILE, &lowered);
    for (int fd = dup(STDERR_FILENO); fd >= 0; fd = dup(STDERR_FILENO)) m_taken.push_back(fd);
  }
  ~DescriptorsExhausted() {
    for (int fd : m_taken) close(fd);
    setrlimit(RLIMIT_NOFILE, &m_saved);
  }
  DescriptorsExhausted(const DescriptorsExhausted&) = delete;
  DescriptorsExhausted& operator=(const DescriptorsExhausted&) = delete;

 private:
  std::vector<int> m_taken;
  rlimit m_saved;
};

// A new T made while every descriptor is taken. One is made before: the
// undefined-behaviour sanitizer opens a pipe when it first checks a class.
template <typename T>
std::unique_ptr<T> CreateWithoutDescriptors() {
  std::unique_ptr<T>(new T());
  DescriptorsExhausted exhausted;
  return std::unique_ptr<T>(new T());
}

}  // namespace vantix_test

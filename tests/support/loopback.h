#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "utility/sysutils/apr/apr_socket.h"

namespace vantix_test {

extern const char kLoopbackIP[];

// Binds to 127.0.0.1 on an ephemeral port; 0 on failure.
uint16_t BindLoopback(SysUtils::AprSocket& socket);
// The port the socket is bound to, or 0.
uint16_t LocalPort(SysUtils::AprSocket& socket);

// The descriptor of this process's end of a loopback connection whose local
// port is `port`, or -1.
int FindLocalTcpSocket(uint16_t port);
// Bytes that reached that end and have not been read yet; -1 without it.
int UnreadBytes(uint16_t port);

// While it lives, every descriptor the process may open is taken, so that a
// socket created meanwhile has no runtime handle.
class DescriptorsExhausted {
 public:
  DescriptorsExhausted();
  ~DescriptorsExhausted();
  DescriptorsExhausted(const DescriptorsExhausted&) = delete;
  DescriptorsExhausted& operator=(const DescriptorsExhausted&) = delete;

 private:
  std::vector<int> m_taken;
  uint64_t m_savedSoftLimit;
};

// A new T made while every descriptor is taken. One T is made first with
// descriptors to spare: UndefinedBehaviorSanitizer probes a class's type
// information through a pipe the first time it checks an object of it.
template <typename T>
std::unique_ptr<T> CreateWithoutDescriptors() {
  std::unique_ptr<T>(new T());
  DescriptorsExhausted exhausted;
  return std::unique_ptr<T>(new T());
}

}  // namespace vantix_test

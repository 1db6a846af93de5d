#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

// Polls `done` until it is true or the deadline passed on the monotonic clock; its last answer.
inline bool WaitUntil(const std::function<bool()>& done, int64_t timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (; !done(); std::this_thread::sleep_for(std::chrono::milliseconds(2))) {
    if (std::chrono::steady_clock::now() >= deadline) return done();
  }
  return true;
}

inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  return WaitUntil(done, static_cast<int64_t>(timeout.count()));
}

namespace vantix_test {
using ::WaitUntil;
}

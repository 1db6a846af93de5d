#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

// Polls `done` every few milliseconds until it is true or the deadline has
// passed on the monotonic clock; returns its last answer.
inline bool WaitUntil(const std::function<bool()>& done, int64_t timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

template <typename Rep, typename Period>
bool WaitUntil(const std::function<bool()>& done, std::chrono::duration<Rep, Period> timeout) {
  return WaitUntil(done, std::chrono::duration_cast<std::chrono::milliseconds>(timeout).count());
}

namespace vantix_test {
using ::WaitUntil;
}  // namespace vantix_test

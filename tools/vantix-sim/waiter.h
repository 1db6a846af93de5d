#pragma once

#include <poll.h>

#include <chrono>
#include <optional>

// A file descriptor closed when it goes out of scope.
class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : m_fd(fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return m_fd; }
  bool valid() const { return m_fd >= 0; }
  void reset(int fd = -1);
  int release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
  }

 private:
  int m_fd;
};

// The simulator's one way to wait: for a descriptor, a time, the end of the
// run's duration, or SIGINT and SIGTERM, which arrive through a descriptor
// too, so nothing runs in a signal handler. Logs the reason a run stops.
class Waiter {
 public:
  using Clock = std::chrono::steady_clock;

  // Blocks the stop signals; the run ends after `durationSeconds` when given.
  explicit Waiter(std::optional<double> durationSeconds);

  // False, after a message, when the signals cannot be taken over.
  bool Ready() const { return m_signals.valid(); }

  // Waits until `until` (or without end when absent), the end of the
  // duration, a stop signal, or `fd` becoming ready for `events` or failing
  // (never for a negative fd). True when `fd` is ready; a signal or the end
  // of the duration sets Stopped().
  bool WaitFor(int fd, std::optional<Clock::time_point> until, short events = POLLIN);

  bool Stopped() const { return m_stop; }

 private:
  UniqueFd m_signals;
  std::optional<Clock::time_point> m_deadline;
  bool m_stop = false;
};

#pragma once

#include <poll.h>
#include <signal.h>

#include <chrono>
#include <functional>
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

// The tools' one way to wait: for a descriptor, a time, the end of the run's
// duration, or SIGINT and SIGTERM. The signals stay blocked and arrive
// through a descriptor too, so nothing runs in a signal handler and no other
// call is interrupted. Create it before any thread is started (a plug-in's
// included): threads inherit the blocked signals, so they reach only this.
class Waiter {
 public:
  using Clock = std::chrono::steady_clock;
  // Told once why the wait stopped: "SIGINT", "SIGTERM", or null at the end
  // of the duration.
  using OnStop = std::function<void(const char* signal)>;

  // Blocks the stop signals; the run ends after `durationSeconds` when given.
  explicit Waiter(std::optional<double> durationSeconds = std::nullopt, OnStop onStop = nullptr);
  ~Waiter() { Unblock(); }
  Waiter(const Waiter&) = delete;
  Waiter& operator=(const Waiter&) = delete;

  // False when the signals cannot be taken over; Error() is the errno then,
  // and the signals are left as they were.
  bool Ready() const { return m_signals.valid(); }
  int Error() const { return m_error; }

  // Waits until `until` (or without end when absent), the end of the
  // duration, a stop signal, or `fd` becoming ready for `events` or failing
  // (never for a negative fd). True when `fd` is ready; a signal or the end
  // of the duration sets Stopped().
  bool WaitFor(int fd, std::optional<Clock::time_point> until, short events = POLLIN);

  bool Stopped() const { return m_stopped; }
  // The stop signal's name; null before one, or when the duration ended.
  const char* StopSignal() const { return m_signal; }

  // Gives the signals back the handling they had, for instance so that a
  // second Ctrl-C ends a shutdown that hangs. Unblocked, they stop no wait.
  void Unblock();

  static Clock::time_point After(double seconds);

 private:
  void Stop(const char* signal);

  UniqueFd m_signals;
  sigset_t m_previous;
  bool m_blocking = false;
  int m_error = 0;
  std::optional<Clock::time_point> m_deadline;
  OnStop m_onStop;
  bool m_stopped = false;
  const char* m_signal = nullptr;
};

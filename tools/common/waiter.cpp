#include "tools/common/waiter.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

void UniqueFd::reset(int fd) {
  if (m_fd >= 0) close(m_fd);
  m_fd = fd;
}

Waiter::Waiter(std::optional<double> durationSeconds, OnStop onStop) : m_onStop(std::move(onStop)) {
  if (durationSeconds) m_deadline = After(*durationSeconds);
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  m_error = pthread_sigmask(SIG_BLOCK, &signals, &m_previous);
  if (m_error != 0) return;
  m_blocking = true;
  m_signals.reset(signalfd(-1, &signals, SFD_CLOEXEC));
  if (!m_signals.valid()) {
    m_error = errno;
    Unblock();
  }
}

Waiter::Clock::time_point Waiter::After(double seconds) {
  return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

bool Waiter::WaitFor(int fd, std::optional<Clock::time_point> until, short events) {
  if (m_deadline && (!until || *m_deadline < *until)) until = m_deadline;
  int timeoutMs = -1;
  if (until) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*until - Clock::now()).count();
    timeoutMs = static_cast<int>(std::min<long long>(std::max<long long>(left, 0), 60 * 60 * 1000));
  }
  pollfd fds[2] = {{m_signals.get(), POLLIN, 0}, {fd, events, 0}};
  const int ready = poll(fds, fd >= 0 ? 2 : 1, timeoutMs);
  if (ready < 0) return false;
  if ((fds[0].revents & POLLIN) != 0) {
    signalfd_siginfo info;
    const ssize_t got = read(m_signals.get(), &info, sizeof(info));
    Stop(got == sizeof(info) && info.ssi_signo == SIGTERM ? "SIGTERM" : "SIGINT");
    return false;
  }
  if (m_deadline && Clock::now() >= *m_deadline) {
    Stop(nullptr);
    return false;
  }
  return fd >= 0 && (fds[1].revents & (events | POLLHUP | POLLERR)) != 0;
}

void Waiter::Stop(const char* signal) {
  if (m_stopped) return;
  m_stopped = true;
  m_signal = signal;
  if (m_onStop) m_onStop(signal);
}

void Waiter::Unblock() {
  if (m_blocking) pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
  m_blocking = false;
}

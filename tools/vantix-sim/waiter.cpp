#include "tools/vantix-sim/waiter.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

void UniqueFd::reset(int fd) {
  if (m_fd >= 0) close(m_fd);
  m_fd = fd;
}

Waiter::Waiter(std::optional<double> durationSeconds) {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  if (sigprocmask(SIG_BLOCK, &signals, nullptr) == 0) m_signals.reset(signalfd(-1, &signals, SFD_CLOEXEC));
  if (!m_signals.valid())
    fprintf(stderr, "vantix-sim: cannot take over SIGINT and SIGTERM: %s\n", strerror(errno));
  if (durationSeconds) {
    m_deadline = Clock::now() +
                 std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(*durationSeconds));
  }
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
    fprintf(stderr, "vantix-sim: stopping on %s\n",
            got == sizeof(info) && info.ssi_signo == SIGTERM ? "SIGTERM" : "SIGINT");
    m_stop = true;
    return false;
  }
  if (m_deadline && Clock::now() >= *m_deadline) {
    fprintf(stderr, "vantix-sim: duration over; stopping\n");
    m_stop = true;
    return false;
  }
  return fd >= 0 && (fds[1].revents & (events | POLLHUP | POLLERR)) != 0;
}

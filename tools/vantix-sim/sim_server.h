#pragma once

#include <netinet/in.h>

#include <chrono>
#include <optional>
#include <string>

#include "tools/vantix-sim/record_source.h"
#include "tools/vantix-sim/sim_options.h"

// A file descriptor closed when it goes out of scope.
class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : m_fd(fd) {}
  ~UniqueFd() { reset(); }
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

// The simulator's one thread: listens, serves one client after another with
// records from the source, plays the fault scenarios and ends on SIGINT,
// SIGTERM, the duration or the last record. Logs to standard error.
class SimServer {
 public:
  SimServer(const SimOptions& options, RecordSource& source);

  // The process exit status: 0 after a clean end, 1 when the server cannot
  // listen or wait.
  int Run();

 private:
  using Clock = std::chrono::steady_clock;

  // How the service of one connection ended.
  enum class End { kClientGone, kDropped, kPause, kFinished, kStop };

  bool BlockStopSignals();
  // Binds and listens on m_address; `verb` starts the log line.
  bool Listen(const char* verb);
  bool AcceptNext(UniqueFd* client, std::string* peer);
  End Serve(int client, const std::string& peer);
  // Sends one record; an end when the connection's service is over.
  std::optional<End> SendNext(int client, const std::string& peer, unsigned long long* sentHere);
  bool PauseListening();

  // Waits until `until` (or forever when absent), the deadline, a stop
  // signal, or `fd` becoming readable. Returns true when `fd` is readable;
  // sets m_stop on a signal or the deadline.
  bool WaitFor(int fd, std::optional<Clock::time_point> until);
  bool ClientClosed(int client);

  const SimOptions& m_options;
  RecordSource& m_source;
  const std::chrono::nanoseconds m_interval;
  std::optional<Clock::time_point> m_deadline;
  sockaddr_in m_address;
  UniqueFd m_listener;
  UniqueFd m_signals;
  bool m_stop = false;
  bool m_paused = false;
  unsigned long long m_sent = 0;
  unsigned long long m_clients = 0;
};

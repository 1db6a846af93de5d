#pragma once

#include <netinet/in.h>

#include <chrono>
#include <optional>
#include <string>

#include "tools/common/waiter.h"
#include "tools/vantix-sim/record_source.h"
#include "tools/vantix-sim/sim_options.h"

// The simulator's one thread: listens, serves one client after another with
// records from the source, plays the fault scenarios and ends when the waiter
// stops it or after the last record. Logs to standard error.
class SimServer {
 public:
  SimServer(const SimOptions& options, RecordSource& source, Waiter& waiter);

  // The process exit status: 0 after a clean end, 1 when the server cannot
  // listen or wait.
  int Run();

 private:
  using Clock = Waiter::Clock;

  // How the service of one connection ended.
  enum class End { kClientGone, kDropped, kPause, kFinished, kStop };

  // Binds and listens on m_address; `verb` starts the log line.
  bool Listen(const char* verb);
  bool AcceptNext(UniqueFd* client, std::string* peer);
  End Serve(int client, const std::string& peer);
  // Waits until `due` (without end for a silent server), reading and
  // ignoring whatever the client writes; an end when the service of the
  // connection is over first.
  std::optional<End> WaitUntilDue(int client, const std::string& peer, Clock::time_point due,
                                  unsigned long long sentHere);
  // Sends one chunk; an end when the connection's service is over.
  std::optional<End> Send(int client, const std::string& peer, const Chunk& chunk,
                          unsigned long long* sentHere);
  bool PauseListening();
  bool ClientClosed(int client);

  const SimOptions& m_options;
  RecordSource& m_source;
  Waiter& m_waiter;
  const std::chrono::nanoseconds m_interval;
  sockaddr_in m_address;
  UniqueFd m_listener;
  bool m_paused = false;
  unsigned long long m_sent = 0;
  unsigned long long m_clients = 0;
};

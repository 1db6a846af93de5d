#include "tools/vantix-sim/sim_server.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>

namespace {

// A client that stops reading gets this long to take a record before it is
// given up, so a full send buffer cannot hang the simulator.
const int kSendTimeoutSeconds = 5;
const int kListenBacklog = 8;

std::string AddressText(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN] = "?";
  inet_ntop(AF_INET, &address.sin_addr, text, sizeof(text));
  return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

bool Resolve(const std::string& host, unsigned short port, sockaddr_in* address) {
  addrinfo hints;
  memset(&hints, 0, sizeof(hints));
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* found = nullptr;
  const int status = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (status != 0) {
    fprintf(stderr, "vantix-sim: cannot resolve %s: %s\n", host.c_str(), gai_strerror(status));
    return false;
  }
  memcpy(address, found->ai_addr, sizeof(*address));
  address->sin_port = htons(port);
  freeaddrinfo(found);
  return true;
}

std::chrono::nanoseconds IntervalOf(double rate) {
  return std::chrono::nanoseconds(static_cast<long long>(1e9 / rate));
}

void SetOption(int fd, int level, int name, const void* value, socklen_t size) {
  if (setsockopt(fd, level, name, value, size) != 0) {
    fprintf(stderr, "vantix-sim: setsockopt %d: %s\n", name, strerror(errno));
  }
}

// One record in one write; MSG_NOSIGNAL turns a vanished client into an
// error instead of SIGPIPE.
bool SendAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t sent = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    done += static_cast<size_t>(sent);
  }
  return true;
}

}  // namespace

void UniqueFd::reset(int fd) {
  if (m_fd >= 0) close(m_fd);
  m_fd = fd;
}

SimServer::SimServer(const SimOptions& options, RecordSource& source)
    : m_options(options), m_source(source), m_interval(IntervalOf(options.rate)) {
  memset(&m_address, 0, sizeof(m_address));
  if (options.durationSeconds) {
    m_deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                    std::chrono::duration<double>(*options.durationSeconds));
  }
}

int SimServer::Run() {
  if (!BlockStopSignals() || !Resolve(m_options.host, m_options.port, &m_address) || !Listen("listening on")) {
    return 1;
  }
  while (!m_stop) {
    UniqueFd client;
    std::string peer;
    if (!AcceptNext(&client, &peer)) break;
    const End end = Serve(client.get(), peer);
    // The listener closes before the client does, so a client that sees its
    // connection end already finds nobody listening.
    if (end == End::kPause) m_listener.reset();
    client.reset();
    if (end == End::kFinished) break;
    if (end == End::kPause && !PauseListening() && !m_stop) return 1;
  }
  fprintf(stderr, "vantix-sim: done: %llu records sent to %llu clients\n", m_sent, m_clients);
  return 0;
}

// The signals arrive through a descriptor that the waits poll: nothing runs
// in a signal handler.
bool SimServer::BlockStopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  if (sigprocmask(SIG_BLOCK, &signals, nullptr) != 0) return false;
  m_signals.reset(signalfd(-1, &signals, SFD_CLOEXEC));
  if (!m_signals.valid()) fprintf(stderr, "vantix-sim: signalfd: %s\n", strerror(errno));
  return m_signals.valid();
}

bool SimServer::Listen(const char* verb) {
  UniqueFd listener(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!listener.valid()) {
    fprintf(stderr, "vantix-sim: socket: %s\n", strerror(errno));
    return false;
  }
  const int on = 1;
  SetOption(listener.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
  if (bind(listener.get(), reinterpret_cast<const sockaddr*>(&m_address), sizeof(m_address)) != 0 ||
      listen(listener.get(), kListenBacklog) != 0) {
    fprintf(stderr, "vantix-sim: cannot listen on %s: %s\n", AddressText(m_address).c_str(), strerror(errno));
    return false;
  }
  // Remember the port actually bound, so a pause resumes on the same one.
  socklen_t size = sizeof(m_address);
  getsockname(listener.get(), reinterpret_cast<sockaddr*>(&m_address), &size);
  m_listener.reset(listener.release());
  fprintf(stderr, "vantix-sim: %s %s\n", verb, AddressText(m_address).c_str());
  return true;
}

bool SimServer::AcceptNext(UniqueFd* client, std::string* peer) {
  while (!m_stop) {
    if (!WaitFor(m_listener.get(), std::nullopt)) continue;
    sockaddr_in address;
    socklen_t size = sizeof(address);
    const int fd = accept4(m_listener.get(), reinterpret_cast<sockaddr*>(&address), &size, SOCK_CLOEXEC);
    if (fd < 0) continue;  // the client gave up before being accepted
    client->reset(fd);
    *peer = AddressText(address);
    ++m_clients;
    fprintf(stderr, "vantix-sim: accepted %s%s\n", peer->c_str(), m_options.silent ? " (silent)" : "");
    return true;
  }
  return false;
}

SimServer::End SimServer::Serve(int client, const std::string& peer) {
  const int on = 1;
  SetOption(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
  timeval timeout = {kSendTimeoutSeconds, 0};
  SetOption(client, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));

  unsigned long long sentHere = 0;
  Clock::time_point next = Clock::now();
  for (;;) {
    const bool readable = WaitFor(client, m_options.silent ? std::nullopt : std::optional<Clock::time_point>(next));
    if (m_stop) {
      fprintf(stderr, "vantix-sim: closing %s; sent %llu records\n", peer.c_str(), sentHere);
      return End::kStop;
    }
    if (readable) {
      if (!ClientClosed(client)) continue;
      fprintf(stderr, "vantix-sim: %s closed the connection; sent %llu records\n", peer.c_str(), sentHere);
      return End::kClientGone;
    }
    const std::optional<End> end = SendNext(client, peer, &sentHere);
    if (end) return *end;
    // After a slow send the schedule restarts from now instead of bursting.
    next = std::max(next + m_interval, Clock::now());
  }
}

std::optional<SimServer::End> SimServer::SendNext(int client, const std::string& peer,
                                                  unsigned long long* sentHere) {
  std::string record;
  if (!m_source.Next(&record)) {
    fprintf(stderr, "vantix-sim: no more records; closing %s; sent %llu records\n", peer.c_str(), *sentHere);
    return End::kFinished;
  }
  if (!SendAll(client, record + "\r\n")) {
    fprintf(stderr, "vantix-sim: sending to %s failed (%s); sent %llu records\n", peer.c_str(), strerror(errno),
            *sentHere);
    return End::kClientGone;
  }
  ++*sentHere;
  ++m_sent;
  if (m_options.count && m_sent >= *m_options.count) {
    fprintf(stderr, "vantix-sim: sent all %llu records; closing %s\n", m_sent, peer.c_str());
    return End::kFinished;
  }
  if (m_options.dropAfter && *sentHere >= *m_options.dropAfter) {
    fprintf(stderr, "vantix-sim: dropped %s after %llu records\n", peer.c_str(), *sentHere);
    return End::kDropped;
  }
  if (m_options.pauseListenAfter && !m_paused && m_sent >= *m_options.pauseListenAfter) {
    fprintf(stderr, "vantix-sim: closing %s after %llu records\n", peer.c_str(), *sentHere);
    return End::kPause;
  }
  return std::nullopt;
}

bool SimServer::PauseListening() {
  m_paused = true;
  fprintf(stderr, "vantix-sim: paused listening for %g seconds\n", m_options.pauseSeconds);
  const Clock::time_point until = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                     std::chrono::duration<double>(m_options.pauseSeconds));
  while (!m_stop && Clock::now() < until) WaitFor(-1, until);
  return !m_stop && Listen("resumed listening on");
}

bool SimServer::WaitFor(int fd, std::optional<Clock::time_point> until) {
  if (m_deadline && (!until || *m_deadline < *until)) until = m_deadline;
  int timeoutMs = -1;
  if (until) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*until - Clock::now()).count();
    timeoutMs = static_cast<int>(std::min<long long>(std::max<long long>(left, 0), 60 * 60 * 1000));
  }
  pollfd fds[2] = {{m_signals.get(), POLLIN, 0}, {fd, POLLIN, 0}};
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
  return fd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

// Whatever a client writes is read and ignored; an end of stream or an
// error means it is gone.
bool SimServer::ClientClosed(int client) {
  char buffer[512];
  const ssize_t got = recv(client, buffer, sizeof(buffer), MSG_DONTWAIT);
  if (got > 0) return false;
  return got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

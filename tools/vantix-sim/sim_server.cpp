#include "tools/vantix-sim/sim_server.h"

#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/vantix-sim/address.h"

namespace {

// A client that stops reading gets this long to take a record before it is
// given up, so a full send buffer cannot hang the simulator.
const int kSendTimeoutSeconds = 5;
const int kListenBacklog = 8;

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

SimServer::SimServer(const SimOptions& options, RecordSource& source, Waiter& waiter)
    : m_options(options), m_source(source), m_waiter(waiter), m_interval(IntervalOf(options.rate)) {
  memset(&m_address, 0, sizeof(m_address));
}

int SimServer::Run() {
  if (!Resolve(m_options.host, static_cast<unsigned short>(m_options.port), &m_address) ||
      !Listen("listening on")) {
    return 1;
  }
  while (!m_waiter.Stopped()) {
    UniqueFd client;
    std::string peer;
    if (!AcceptNext(&client, &peer)) break;
    const End end = Serve(client.get(), peer);
    // The listener closes before the client does, so a client that sees its
    // connection end already finds nobody listening.
    if (end == End::kPause) m_listener.reset();
    client.reset();
    if (end == End::kFinished) break;
    if (end == End::kPause && !PauseListening() && !m_waiter.Stopped()) return 1;
  }
  fprintf(stderr, "vantix-sim: done: %llu records sent to %llu clients\n", m_sent, m_clients);
  return 0;
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
  while (!m_waiter.Stopped()) {
    if (!m_waiter.WaitFor(m_listener.get(), std::nullopt)) continue;
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
  const Clock::time_point accepted = Clock::now();
  Clock::time_point due = accepted;
  for (Chunk chunk; m_source.Next(&chunk);) {
    // A capture keeps its own timing; records are paced by the rate, and
    // after a slow send the pace restarts from now instead of bursting.
    if (chunk.offset) due = accepted + std::chrono::duration_cast<Clock::duration>(*chunk.offset);
    const std::optional<End> early = WaitUntilDue(client, peer, due, sentHere);
    if (early) return *early;
    const std::optional<End> end = Send(client, peer, chunk, &sentHere);
    if (end) return *end;
    if (!chunk.offset) due = std::max(due + m_interval, Clock::now());
  }
  fprintf(stderr, "vantix-sim: no more records; closing %s; sent %llu records\n", peer.c_str(), sentHere);
  return End::kFinished;
}

std::optional<SimServer::End> SimServer::WaitUntilDue(int client, const std::string& peer,
                                                      Clock::time_point due, unsigned long long sentHere) {
  for (;;) {
    const bool readable =
        m_waiter.WaitFor(client, m_options.silent ? std::nullopt : std::optional<Clock::time_point>(due));
    if (m_waiter.Stopped()) {
      fprintf(stderr, "vantix-sim: closing %s; sent %llu records\n", peer.c_str(), sentHere);
      return End::kStop;
    }
    if (!readable) return std::nullopt;
    if (ClientClosed(client)) {
      fprintf(stderr, "vantix-sim: %s closed the connection; sent %llu records\n", peer.c_str(), sentHere);
      return End::kClientGone;
    }
  }
}

std::optional<SimServer::End> SimServer::Send(int client, const std::string& peer, const Chunk& chunk,
                                              unsigned long long* sentHere) {
  if (!SendAll(client, chunk.bytes)) {
    fprintf(stderr, "vantix-sim: sending to %s failed (%s); sent %llu records\n", peer.c_str(),
            strerror(errno), *sentHere);
    return End::kClientGone;
  }
  ++*sentHere;
  ++m_sent;
  if (m_options.count && m_sent >= m_options.count) {
    fprintf(stderr, "vantix-sim: sent all %llu records; closing %s\n", m_sent, peer.c_str());
    return End::kFinished;
  }
  if (m_options.dropAfter && *sentHere >= m_options.dropAfter) {
    fprintf(stderr, "vantix-sim: dropped %s after %llu records\n", peer.c_str(), *sentHere);
    return End::kDropped;
  }
  if (m_options.pauseListenAfter && !m_paused && m_sent >= m_options.pauseListenAfter) {
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
  while (!m_waiter.Stopped() && Clock::now() < until) m_waiter.WaitFor(-1, until);
  return !m_waiter.Stopped() && Listen("resumed listening on");
}

// Whatever a client writes is read and ignored; an end of stream or an
// error means it is gone.
bool SimServer::ClientClosed(int client) {
  char buffer[512];
  const ssize_t got = recv(client, buffer, sizeof(buffer), MSG_DONTWAIT);
  if (got > 0) return false;
  return got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

#include "tools/vantix-sim/capture.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/common/command_line.h"
#include "tools/vantix-sim/address.h"
#include "tools/vantix-sim/capture_file.h"

namespace {

using Clock = Waiter::Clock;

// As long as the plug-in waits for the server's handshake.
const std::chrono::seconds kConnectTimeout(3);
// Far more than one receive of the plug-in takes, so a chunk is what arrived
// together and not a cut of this buffer.
const size_t kReceiveBuffer = 65536;

struct Seen {
  unsigned long long bytes = 0;
  unsigned long long chunks = 0;
  unsigned long long records = 0;      // line feeds
  unsigned long long runTogether = 0;  // chunks with a line feed before their last byte
};

void Count(const char* data, size_t length, Seen* seen) {
  const auto lineFeeds = static_cast<unsigned long long>(std::count(data, data + length, '\n'));
  seen->bytes += length;
  seen->chunks += 1;
  seen->records += lineFeeds;
  if (lineFeeds > 1 || (lineFeeds == 1 && data[length - 1] != '\n')) seen->runTogether += 1;
}

// A connected socket, or an invalid one after a message. The wait is the
// waiter's, so Ctrl-C ends it too.
UniqueFd ConnectTo(const std::string& server, Waiter& waiter) {
  const size_t colon = server.rfind(':');
  sockaddr_in address;
  if (!Resolve(server.substr(0, colon), static_cast<unsigned short>(DecimalValue(server.substr(colon + 1))),
               &address)) {
    return UniqueFd();
  }
  UniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  int error = errno;
  if (fd.valid() && connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    error = errno;
    if (error == EINPROGRESS) {
      error = ETIMEDOUT;
      socklen_t size = sizeof(error);
      if (waiter.WaitFor(fd.get(), Clock::now() + kConnectTimeout, POLLOUT) &&
          getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
        error = errno;
      }
    }
    if (error != 0) fd.reset();
  }
  if (!fd.valid() && !waiter.Stopped()) {
    fprintf(stderr, "vantix-sim: cannot connect to %s: %s\n", server.c_str(), strerror(error));
  }
  return fd;
}

}  // namespace

int RunCapture(const SimOptions& options, Waiter& waiter) {
  const auto file = CaptureWriter::Create(options.outputFile);
  if (!file) return 1;
  const UniqueFd server = ConnectTo(options.captureServer, waiter);
  if (!server.valid()) return waiter.Stopped() ? 0 : 1;
  fprintf(stderr, "vantix-sim: capturing %s into %s\n", options.captureServer.c_str(),
          options.outputFile.c_str());
  const Clock::time_point connected = Clock::now();
  std::string buffer(kReceiveBuffer, '\0');
  Seen seen;
  int status = 0;
  while (waiter.WaitFor(server.get(), std::nullopt)) {
    const ssize_t got = recv(server.get(), &buffer[0], buffer.size(), MSG_DONTWAIT);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (got == 0) {
      fprintf(stderr, "vantix-sim: %s closed the connection\n", options.captureServer.c_str());
      break;
    }
    if (got < 0) {
      fprintf(stderr, "vantix-sim: reading from %s failed: %s\n", options.captureServer.c_str(),
              strerror(errno));
      status = 1;
      break;
    }
    const auto offset =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - connected).count();
    if (!file->Append(static_cast<unsigned long long>(offset), buffer.data(), static_cast<size_t>(got)))
      return 1;
    Count(buffer.data(), static_cast<size_t>(got), &seen);
  }
  if (!file->Close()) return 1;
  fprintf(stderr,
          "vantix-sim: captured %llu bytes in %llu chunks: %llu records (line feeds), %llu chunks holding "
          "more than "
          "one record or the start of the next\n",
          seen.bytes, seen.chunks, seen.records, seen.runTogether);
  return status;
}

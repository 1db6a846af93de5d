#include "bench/bare_reader.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vantix_bench {

BareReader::BareReader(uint16_t port) : m_fd(socket(AF_INET, SOCK_STREAM, 0)), m_bConnected(false) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  m_bConnected = m_fd >= 0 && connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
}

BareReader::~BareReader() {
  // The blocked read returns 0 and the thread ends.
  if (m_fd >= 0) shutdown(m_fd, SHUT_RDWR);
  if (m_reader.joinable()) m_reader.join();
  if (m_fd >= 0) close(m_fd);
}

void BareReader::Start(BlockHandler onBlock) {
  m_reader = std::thread([this, onBlock] {
    char buffer[1025];
    for (;;) {
      const ssize_t n = read(m_fd, buffer, 1024);
      if (n <= 0) return;
      buffer[n] = '\0';
      onBlock(buffer, static_cast<size_t>(n));
    }
  });
}

}  // namespace vantix_bench

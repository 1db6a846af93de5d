#pragma once

#include <netinet/in.h>

#include <string>

namespace vantix_test {

// A TCP server on an ephemeral port, driven by the test: it accepts one client at a time, writes on
// command (each write a segment of its own), else stays silent, closes or resets it, stops listening.
class LoopbackServer {
 public:
  explicit LoopbackServer(const std::string& strAddress = "127.0.0.1");
  ~LoopbackServer() {
    CloseClient();
    StopListening();
  }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  bool IsListening() const { return m_listenFd >= 0; }
  uint16_t Port() const { return ntohs(m_address.sin_port); }

  bool AcceptClient(int timeoutMS);
  // The client's own (local) port.
  uint16_t ClientPort() const;

  bool Write(const std::string& text) { return WriteWithin(text, -1); }
  // Gives up once the client has taken nothing for timeoutMS (-1: never).
  bool WriteWithin(const std::string& text, int timeoutMS);
  void CloseClient();
  void ResetClient();  // with a reset instead of an orderly close

  void StopListening();
  // Listens again on its port; ...Unresponsive with the accept queue full, so
  // that a connection attempt gets no answer to its handshake.
  bool StartListening() { return m_listenFd >= 0 || (Port() != 0 && Listen(8)); }
  bool StartListeningUnresponsive();

 private:
  bool Listen(int backlog);
  const sockaddr* Address() const { return reinterpret_cast<const sockaddr*>(&m_address); }

  sockaddr_in m_address{};
  int m_listenFd = -1;
  int m_clientFd = -1;
  int m_queueFillerFd = -1;
};

// A port on 127.0.0.1 with no listener behind it (bound, then released).
uint16_t UnusedLoopbackPort();

// True once this process's end of the connection from `clientPort` has read all that reached it:
// waiting for it between writes makes every write a receive of its own.
bool WaitUntilAllRead(uint16_t clientPort, int timeoutMS);

}  // namespace vantix_test

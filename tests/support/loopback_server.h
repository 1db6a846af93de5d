#pragma once

#include <cstdint>
#include <string>

namespace vantix_test {

// A TCP server on 127.0.0.1 with an ephemeral port, driven step by step from
// the test thread: it accepts one client at a time, writes to it on command
// (TCP_NODELAY, so every write leaves as its own segment), stays silent
// otherwise, closes or resets it, and stops and starts listening on its port.
class LoopbackServer {
 public:
  LoopbackServer() : LoopbackServer("127.0.0.1") {}
  // Listens on another address of the calling thread's network namespace.
  explicit LoopbackServer(const std::string& strAddress);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  bool IsListening() const { return m_listenFd >= 0; }
  uint16_t Port() const { return m_port; }

  // Waits up to timeoutMS for a connection and makes it the current client,
  // closing the previous one. False when none arrived in time.
  bool AcceptClient(int timeoutMS);
  bool HasClient() const { return m_clientFd >= 0; }
  int AcceptedCount() const { return m_acceptedCount; }
  // The client's port as the server sees it (the client's local port).
  uint16_t ClientPort() const { return m_clientPort; }

  bool Write(const std::string& text) { return WriteWithin(text, -1); }
  // Gives up once the client has taken nothing for timeoutMS (-1: never).
  bool WriteWithin(const std::string& text, int timeoutMS);
  void CloseClient();
  // Ends the connection with a reset instead of an orderly close.
  void ResetClient();

  void StopListening();
  // Listens again on the port of the first listen.
  bool StartListening();
  // Listens again on that port with its accept queue already full, so that
  // a further connection attempt gets no answer to its handshake.
  bool StartListeningUnresponsive();

 private:
  bool Listen(int backlog);

  uint32_t m_address;  // network byte order
  int m_listenFd = -1;
  int m_clientFd = -1;
  // Holds the one place in the accept queue of an unresponsive listener.
  int m_queueFillerFd = -1;
  uint16_t m_port = 0;
  uint16_t m_clientPort = 0;
  int m_acceptedCount = 0;
};

// A port on 127.0.0.1 with no listener behind it (bound, then released).
uint16_t UnusedLoopbackPort();

// True once this process's end of the connection with local port `clientPort`
// has read everything that reached it: a writer that waits for this between
// writes makes every write a receive of its own.
bool WaitUntilAllRead(uint16_t clientPort, int timeoutMS);

}  // namespace vantix_test

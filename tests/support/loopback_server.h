#pragma once

#include <cstdint>
#include <string>

namespace vantix_test {

// A TCP server on 127.0.0.1 with an ephemeral port, driven step by step from
// the test thread: it accepts one client at a time, writes text to it on
// command (TCP_NODELAY, so every write leaves as its own segment), closes it,
// and can stop and start listening again on the same port.
class LoopbackServer {
 public:
  LoopbackServer();
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

  // Writes all of text to the current client.
  bool Write(const std::string& text);
  void CloseClient();

  void StopListening();
  // Listens again on the port of the first listen.
  bool StartListening();
  // Listens again on that port with its accept queue already full, so that
  // a further connection attempt gets no answer to its handshake.
  bool StartListeningUnresponsive();

 private:
  bool Listen(uint16_t port, int backlog);

  int m_listenFd;
  int m_clientFd;
  // Holds the one place in the accept queue of an unresponsive listener.
  int m_queueFillerFd;
  uint16_t m_port;
  uint16_t m_clientPort;
  int m_acceptedCount;
};

// A port on 127.0.0.1 with no listener behind it (bound, then released).
uint16_t UnusedLoopbackPort();

// The descriptor of this process's end of a loopback connection whose local
// port is `port`, or -1.
int FindLoopbackClientFd(uint16_t port);

// True once this process's end of the loopback connection with local port
// `clientPort` has taken everything that reached it. A writer that waits for
// this between writes makes every write a receive of its own.
bool WaitUntilAllRead(uint16_t clientPort, int timeoutMS);

}  // namespace vantix_test

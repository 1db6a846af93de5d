#pragma once

#include <apr_network_io.h>
#include <apr_poll.h>
#include <apr_portable.h>

#include <cstdint>
#include <string>

#include "utility/sysutils/apr/apr_object.h"
#include "utility/sysutils/apr/apr_pool.h"

namespace SysUtils {

// One runtime socket and the pool that holds it and every address resolved
// for it. Operations return the runtime's status or a truth value derived
// from it; on an object whose socket could not be created they fail without
// calling the runtime (APR_ENOTSOCK, false or -1).
class AprSocket : public AprObject {
 public:
  AprSocket(int family, int type, int protocol);
  // Adopts a handle and address that live in this object's pool.
  AprSocket(apr_socket_t* socket, apr_sockaddr_t* addr);
  // Shuts the connection down both ways and closes the socket.
  ~AprSocket() override;

  // Resolves hostname:port (IPv4), allows address reuse and binds.
  bool bind(const char* hostname, uint16_t port);
  // The option's value, or -1 when it cannot be read.
  int32_t getOption(int32_t opt);
  bool setOption(int32_t opt, int32_t value);
  // Milliseconds; negative blocks without limit, 0 never waits.
  bool setTimeOut(int64_t t);
  // Milliseconds, or -1 for a blocking socket (and for no socket at all).
  int64_t getTimeOut();
  // The protocol number, or -1 without a socket.
  int32_t getProto();
  apr_socket_t* guts();
  apr_sockaddr_t* bindAddr();
  bool getRemoteSockAddr(apr_sockaddr_t*& saddr);
  bool getLocalSockAddr(apr_sockaddr_t*& saddr);

  static bool createSockAddrInfo(apr_sockaddr_t** saddr, const char* hostname, apr_port_t port,
                                 apr_pool_t* pool);
  // The dotted address text into buf of len bytes.
  static bool getSockAddrIP(apr_sockaddr_t* saddr, char* buf, apr_size_t len);

 protected:
  // Takes over an existing IPv4 descriptor; no handle when that fails.
  void wrapDescriptor(apr_os_sock_t os_socket, int type, int protocol);

  apr_socket_t* m_socket;
  apr_sockaddr_t* m_bindAddr;

 private:
  AprSocket() = delete;
};

// The peer address a connect() resolved, kept while host and port stay the
// same. Superseded addresses stay in the owner's pool until it goes.
class AprPeerCache {
 public:
  AprPeerCache();

  // Resolves hostname:port unless it is the cached pair. On failure the
  // cache is left empty and the resolver's status returned.
  apr_status_t resolve(const char* hostname, uint16_t port, apr_pool_t* pool);
  apr_sockaddr_t* addr() const { return m_connectAddr; }

 private:
  apr_sockaddr_t* m_connectAddr;
  std::string m_connectHostName;
  uint16_t m_connectPort;
};

class AprTcpSocket : public AprSocket {
 public:
  AprTcpSocket();
  // Wraps an existing operating-system descriptor.
  explicit AprTcpSocket(apr_os_sock_t os_socket);
  ~AprTcpSocket() override;

  bool listen(int backLog);
  // The accepted connection, owned by the caller; null on failure.
  AprTcpSocket* accept();
  // 0 when connected, -1 for an empty host or port 0, otherwise the
  // resolver's or the connection attempt's status.
  apr_status_t connect(const char* hostname, uint16_t port);
  // *size: room in buf on entry, bytes received on return.
  apr_status_t recv(char* buf, apr_size_t* size);
  // *size: bytes to send on entry, bytes sent on return.
  apr_status_t send(const char* buf, apr_size_t* size);
  // Makes the socket blocking with a time-out of `time` milliseconds (both
  // settings remain) and waits that long for data; true when data is ready.
  bool readselect(int time);
  // Turns on keep-alive probes: the first after idleSeconds of silence, then
  // every intervalSeconds, giving up after `probes` unanswered ones.
  bool setKeepAlive(int idleSeconds, int intervalSeconds, int probes);

 private:
  AprTcpSocket(apr_socket_t* guts, apr_sockaddr_t* addr);
  void createPollset();
  // A receive on the socket without the runtime's time-out, waiting for
  // data until the monotonic clock reaches deadlineMS.
  apr_status_t recvBefore(int64_t deadlineMS, char* buf, apr_size_t* size);

  apr_pollset_t* m_pollset;
  AprPeerCache m_peer;
};

class AprUdpSocket : public AprSocket {
 public:
  AprUdpSocket();
  // Wraps an existing operating-system descriptor.
  explicit AprUdpSocket(apr_os_sock_t os_socket);
  ~AprUdpSocket() override;

  // Sets the default peer for send() and recv(); results as
  // AprTcpSocket::connect.
  apr_status_t connect(const char* hostname, uint16_t port);
  apr_status_t send(const char* buf, apr_size_t* size);
  // One datagram to addr.
  apr_status_t sendto(const char* buf, apr_size_t* size, apr_sockaddr_t* addr);
  apr_status_t recv(char* buf, apr_size_t* size);
  // One datagram; the sender's address is written into *addr.
  apr_status_t recvfrom(char* buf, apr_size_t* size, apr_sockaddr_t* addr);

 private:
  AprUdpSocket(apr_socket_t* guts, apr_sockaddr_t* addr);

  AprPeerCache m_peer;
};

class AprMCastSocket : public AprUdpSocket {
 public:
  AprMCastSocket();
  // Closing the socket ends a membership that was not left.
  ~AprMCastSocket() override;

  // Joins group `join` on interface `iface` (null: default) from source
  // `src` (null: any source). On failure no addresses are kept.
  bool join(const char* join, const char* iface, const char* src);
  // Ends the membership of the last successful join; false without one.
  bool leave();
  bool hops(apr_byte_t ttl);
  bool setLoopback(apr_byte_t opt);
  // The interface for outgoing multicast; null restores the default.
  bool setInterface(const char* iface);

 private:
  bool resolveInContext(apr_sockaddr_t** addr, const char* hostname);
  void forgetAddresses();

  apr_sockaddr_t* m_join;
  apr_sockaddr_t* m_iface;
  apr_sockaddr_t* m_src;
  // Holds only the three addresses above.
  AprPool m_inctx;
};

}  // namespace SysUtils

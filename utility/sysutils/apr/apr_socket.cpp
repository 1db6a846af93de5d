#include "utility/sysutils/apr/apr_socket.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include "utility/sysutils/common/system.h"

namespace SysUtils {

namespace {

// Handed to the runtime in place of "no interface", which it reads
// unconditionally: the system's default interface, for outgoing multicast
// and for memberships alike.
const char kAnyInterface[] = "0.0.0.0";

bool IsEmpty(const char* text) { return text == nullptr || text[0] == '\0'; }

bool SetTcpOption(apr_os_sock_t fd, int option, int value) {
  return setsockopt(fd, IPPROTO_TCP, option, &value, sizeof(value)) == 0;
}

}  // namespace

// --- AprSocket ---------------------------------------------------------------

AprSocket::AprSocket(int family, int type, int protocol) : m_socket(nullptr), m_bindAddr(nullptr) {
  // The runtime hands back a half-made handle when the system refuses.
  if (apr_socket_create(&m_socket, family, type, protocol, thePool().guts()) != APR_SUCCESS) {
    m_socket = nullptr;
  }
}

AprSocket::AprSocket(apr_socket_t* socket, apr_sockaddr_t* addr) : m_socket(socket), m_bindAddr(addr) {}

AprSocket::~AprSocket() {
  if (m_socket == nullptr) return;
  apr_socket_shutdown(m_socket, APR_SHUTDOWN_READWRITE);
  apr_socket_close(m_socket);
  m_socket = nullptr;
}

bool AprSocket::bind(const char* hostname, uint16_t port) {
  if (m_socket == nullptr) return false;
  return createSockAddrInfo(&m_bindAddr, hostname, port, thePool().guts()) &&
         setOption(APR_SO_REUSEADDR, 1) && apr_socket_bind(m_socket, m_bindAddr) == APR_SUCCESS;
}

int32_t AprSocket::getOption(int32_t opt) {
  apr_int32_t on = 0;
  if (m_socket == nullptr || apr_socket_opt_get(m_socket, opt, &on) != APR_SUCCESS) {
    return -1;
  }
  return on;
}

bool AprSocket::setOption(int32_t opt, int32_t value) {
  return m_socket != nullptr && apr_socket_opt_set(m_socket, opt, value) == APR_SUCCESS;
}

bool AprSocket::setTimeOut(int64_t t) {
  return m_socket != nullptr && apr_socket_timeout_set(m_socket, t * kMicrosPerMilli) == APR_SUCCESS;
}

int64_t AprSocket::getTimeOut() {
  apr_interval_time_t t = -1;
  if (m_socket != nullptr) apr_socket_timeout_get(m_socket, &t);
  return t < 0 ? -1 : t / kMicrosPerMilli;
}

int32_t AprSocket::getProto() {
  int proto = -1;
  if (m_socket != nullptr) apr_socket_protocol_get(m_socket, &proto);
  return proto;
}

void AprSocket::wrapDescriptor(apr_os_sock_t os_socket, int type, int protocol) {
  apr_os_sock_info_t info = {};
  info.os_sock = &os_socket;
  info.family = APR_INET;
  info.type = type;
  info.protocol = protocol;
  if (apr_os_sock_make(&m_socket, &info, thePool().guts()) != APR_SUCCESS) {
    m_socket = nullptr;
  }
}

apr_socket_t* AprSocket::guts() { return m_socket; }

apr_sockaddr_t* AprSocket::bindAddr() { return m_bindAddr; }

bool AprSocket::getRemoteSockAddr(apr_sockaddr_t*& saddr) {
  return m_socket != nullptr && apr_socket_addr_get(&saddr, APR_REMOTE, m_socket) == APR_SUCCESS;
}

bool AprSocket::getLocalSockAddr(apr_sockaddr_t*& saddr) {
  return m_socket != nullptr && apr_socket_addr_get(&saddr, APR_LOCAL, m_socket) == APR_SUCCESS;
}

bool AprSocket::createSockAddrInfo(apr_sockaddr_t** saddr, const char* hostname, apr_port_t port,
                                   apr_pool_t* pool) {
  return apr_sockaddr_info_get(saddr, hostname, APR_INET, port, 0, pool) == APR_SUCCESS;
}

bool AprSocket::getSockAddrIP(apr_sockaddr_t* saddr, char* buf, apr_size_t len) {
  return saddr != nullptr && apr_sockaddr_ip_getbuf(buf, len, saddr) == APR_SUCCESS;
}

// --- AprPeerCache ------------------------------------------------------------

AprPeerCache::AprPeerCache() : m_connectAddr(nullptr), m_connectPort(0) {}

apr_status_t AprPeerCache::resolve(const char* hostname, uint16_t port, apr_pool_t* pool) {
  if (m_connectAddr != nullptr && m_connectHostName == hostname && m_connectPort == port) {
    return APR_SUCCESS;
  }
  m_connectAddr = nullptr;
  m_connectHostName.clear();
  m_connectPort = 0;
  apr_status_t status = apr_sockaddr_info_get(&m_connectAddr, hostname, APR_INET, port, 0, pool);
  if (status != APR_SUCCESS) {
    m_connectAddr = nullptr;
    return status;
  }
  m_connectHostName = hostname;
  m_connectPort = port;
  return APR_SUCCESS;
}

namespace {

// Shared by the stream and datagram connect: refuse, resolve once per host
// and port, connect.
apr_status_t ConnectThroughCache(apr_socket_t* socket, AprPeerCache& peer, const char* hostname,
                                 uint16_t port, apr_pool_t* pool) {
  if (IsEmpty(hostname) || port == 0) return -1;
  if (socket == nullptr) return APR_ENOTSOCK;
  apr_status_t status = peer.resolve(hostname, port, pool);
  if (status != APR_SUCCESS) return status;
  return apr_socket_connect(socket, peer.addr());
}

}  // namespace

// --- AprTcpSocket ------------------------------------------------------------

AprTcpSocket::AprTcpSocket() : AprSocket(APR_INET, SOCK_STREAM, APR_PROTO_TCP), m_pollset(nullptr) {
  createPollset();
}

AprTcpSocket::AprTcpSocket(apr_os_sock_t os_socket) : AprSocket(nullptr, nullptr), m_pollset(nullptr) {
  wrapDescriptor(os_socket, SOCK_STREAM, APR_PROTO_TCP);
  createPollset();
}

AprTcpSocket::AprTcpSocket(apr_socket_t* guts, apr_sockaddr_t* addr)
    : AprSocket(guts, addr), m_pollset(nullptr) {
  createPollset();
}

AprTcpSocket::~AprTcpSocket() {
  if (m_pollset != nullptr) apr_pollset_destroy(m_pollset);
}

void AprTcpSocket::createPollset() {
  if (apr_pollset_create(&m_pollset, 1, thePool().guts(), 0) != APR_SUCCESS) {
    m_pollset = nullptr;
  }
}

bool AprTcpSocket::listen(int backLog) {
  return m_socket != nullptr && apr_socket_listen(m_socket, backLog) == APR_SUCCESS;
}

AprTcpSocket* AprTcpSocket::accept() {
  if (m_socket == nullptr) return nullptr;
  AprTcpSocket* accepted = new AprTcpSocket(nullptr, nullptr);
  apr_socket_t* client = nullptr;
  if (apr_socket_accept(&client, m_socket, accepted->thePool().guts()) != APR_SUCCESS) {
    delete accepted;
    return nullptr;
  }
  accepted->m_socket = client;
  return accepted;
}

apr_status_t AprTcpSocket::connect(const char* hostname, uint16_t port) {
  return ConnectThroughCache(m_socket, m_peer, hostname, port, thePool().guts());
}

// The runtime waits out a time-out afresh after every interruption by a
// signal, so a thread that keeps being interrupted would never see it end.
// With a time-out, the wait is done here, against a deadline.
apr_status_t AprTcpSocket::recv(char* buf, apr_size_t* size) {
  if (m_socket == nullptr) return APR_ENOTSOCK;
  apr_interval_time_t timeout = -1;
  apr_socket_timeout_get(m_socket, &timeout);
  if (timeout <= 0) return apr_socket_recv(m_socket, buf, size);
  // A time-out of 0 keeps the descriptor non-blocking and only turns the
  // runtime's own wait off.
  apr_socket_timeout_set(m_socket, 0);
  const apr_status_t status = recvBefore(GetTimeCountMS() + timeout / kMicrosPerMilli, buf, size);
  apr_socket_timeout_set(m_socket, timeout);
  return status;
}

apr_status_t AprTcpSocket::recvBefore(int64_t deadlineMS, char* buf, apr_size_t* size) {
  apr_os_sock_t fd = -1;
  apr_os_sock_get(&fd, m_socket);
  const apr_size_t room = *size;
  for (;;) {
    *size = room;
    const apr_status_t status = apr_socket_recv(m_socket, buf, size);
    // Without a time-out of its own the runtime reports "nothing yet" either way.
    if (!APR_STATUS_IS_EAGAIN(status) && !APR_STATUS_IS_TIMEUP(status)) return status;
    const int64_t remainingMS = deadlineMS - GetTimeCountMS();
    if (remainingMS <= 0) return APR_TIMEUP;
    pollfd readable = {fd, POLLIN, 0};
    poll(&readable, 1, static_cast<int>(remainingMS));
  }
}

apr_status_t AprTcpSocket::send(const char* buf, apr_size_t* size) {
  if (m_socket == nullptr) return APR_ENOTSOCK;
  return apr_socket_send(m_socket, buf, size);
}

bool AprTcpSocket::readselect(int time) {
  if (m_socket == nullptr || m_pollset == nullptr) return false;
  setOption(APR_SO_NONBLOCK, 0);
  // The runtime makes the descriptor wait internally only when a time-out
  // follows a socket without one; passing through "no time-out" keeps a
  // socket that had a time-out before from blocking past the new one.
  setTimeOut(-1);
  setTimeOut(time);

  apr_pollfd_t entry = {};
  entry.p = thePool().guts();
  entry.desc_type = APR_POLL_SOCKET;
  entry.reqevents = APR_POLLIN;
  entry.desc.s = m_socket;
  // The set holds one descriptor: after the first call this registration is
  // refused and the first one stays in force.
  apr_pollset_add(m_pollset, &entry);

  apr_int32_t num = 0;
  const apr_pollfd_t* ready = nullptr;
  if (apr_pollset_poll(m_pollset, time * kMicrosPerMilli, &num, &ready) != APR_SUCCESS) {
    return false;
  }
  for (apr_int32_t i = 0; i < num; ++i) {
    if ((ready[i].rtnevents & APR_POLLIN) && ready[i].desc.s == m_socket) {
      return true;
    }
  }
  return false;
}

bool AprTcpSocket::setKeepAlive(int idleSeconds, int intervalSeconds, int probes) {
  apr_os_sock_t fd = -1;
  if (!setOption(APR_SO_KEEPALIVE, 1) || apr_os_sock_get(&fd, m_socket) != APR_SUCCESS) {
    return false;
  }
  return SetTcpOption(fd, TCP_KEEPIDLE, idleSeconds) && SetTcpOption(fd, TCP_KEEPINTVL, intervalSeconds) &&
         SetTcpOption(fd, TCP_KEEPCNT, probes);
}

// --- AprUdpSocket ------------------------------------------------------------

AprUdpSocket::AprUdpSocket() : AprSocket(APR_INET, SOCK_DGRAM, APR_PROTO_UDP) {}

AprUdpSocket::AprUdpSocket(apr_os_sock_t os_socket) : AprSocket(nullptr, nullptr) {
  wrapDescriptor(os_socket, SOCK_DGRAM, APR_PROTO_UDP);
}

AprUdpSocket::AprUdpSocket(apr_socket_t* guts, apr_sockaddr_t* addr) : AprSocket(guts, addr) {}

AprUdpSocket::~AprUdpSocket() {}

apr_status_t AprUdpSocket::connect(const char* hostname, uint16_t port) {
  return ConnectThroughCache(m_socket, m_peer, hostname, port, thePool().guts());
}

apr_status_t AprUdpSocket::send(const char* buf, apr_size_t* size) {
  if (m_socket == nullptr) return APR_ENOTSOCK;
  return apr_socket_send(m_socket, buf, size);
}

apr_status_t AprUdpSocket::sendto(const char* buf, apr_size_t* size, apr_sockaddr_t* addr) {
  if (m_socket == nullptr) return APR_ENOTSOCK;
  return apr_socket_sendto(m_socket, addr, 0, buf, size);
}

apr_status_t AprUdpSocket::recv(char* buf, apr_size_t* size) {
  if (m_socket == nullptr) return APR_ENOTSOCK;
  return apr_socket_recv(m_socket, buf, size);
}

apr_status_t AprUdpSocket::recvfrom(char* buf, apr_size_t* size, apr_sockaddr_t* addr) {
  if (m_socket == nullptr) return APR_ENOTSOCK;
  return apr_socket_recvfrom(addr, m_socket, 0, buf, size);
}

// --- AprMCastSocket ----------------------------------------------------------

AprMCastSocket::AprMCastSocket()
    : m_join(nullptr), m_iface(nullptr), m_src(nullptr), m_inctx(kObjectPoolMaxFree) {}

AprMCastSocket::~AprMCastSocket() {}

bool AprMCastSocket::join(const char* join, const char* iface, const char* src) {
  if (m_join != nullptr || m_iface != nullptr || m_src != nullptr) {
    forgetAddresses();
  }
  bool joined = m_socket != nullptr && resolveInContext(&m_join, join) &&
                resolveInContext(&m_iface, iface != nullptr ? iface : kAnyInterface) &&
                (src == nullptr || resolveInContext(&m_src, src)) &&
                apr_mcast_join(m_socket, m_join, m_iface, m_src) == APR_SUCCESS;
  if (!joined) forgetAddresses();
  return joined;
}

bool AprMCastSocket::leave() {
  // The runtime reads the group address unconditionally.
  if (m_socket == nullptr || m_join == nullptr) return false;
  return apr_mcast_leave(m_socket, m_join, m_iface, m_src) == APR_SUCCESS;
}

bool AprMCastSocket::hops(apr_byte_t ttl) {
  return m_socket != nullptr && apr_mcast_hops(m_socket, ttl) == APR_SUCCESS;
}

bool AprMCastSocket::setLoopback(apr_byte_t opt) {
  return m_socket != nullptr && apr_mcast_loopback(m_socket, opt) == APR_SUCCESS;
}

bool AprMCastSocket::setInterface(const char* iface) {
  if (m_socket == nullptr) return false;
  m_iface = nullptr;
  if (iface != nullptr) {
    if (!resolveInContext(&m_iface, iface)) {
      m_iface = nullptr;
      return false;
    }
    return apr_mcast_interface(m_socket, m_iface) == APR_SUCCESS;
  }
  // The runtime reads the interface address unconditionally; the wildcard
  // address tells the system to choose again.
  apr_sockaddr_t* any = nullptr;
  return resolveInContext(&any, kAnyInterface) && apr_mcast_interface(m_socket, any) == APR_SUCCESS;
}

bool AprMCastSocket::resolveInContext(apr_sockaddr_t** addr, const char* hostname) {
  return createSockAddrInfo(addr, hostname, 0, m_inctx.guts());
}

void AprMCastSocket::forgetAddresses() {
  m_inctx.clear();
  m_join = nullptr;
  m_iface = nullptr;
  m_src = nullptr;
}

}  // namespace SysUtils

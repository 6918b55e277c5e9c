#include "platform/engines/WinSock.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace {

thread_local int LastError = 0;

int Fail(int err) {
  LastError = WsaErrorFromErrno(err);
  return SOCKET_ERROR;
}

constexpr std::pair<int, int> ErrnoTable[] = {
    {EINTR, WSAEINTR},
    {EBADF, WSAEBADF},
    {EACCES, WSAEACCES},
    {EPERM, WSAEACCES},
    {EFAULT, WSAEFAULT},
    {EINVAL, WSAEINVAL},
    {EMFILE, WSAEMFILE},
    {ENFILE, WSAEMFILE},
    {EWOULDBLOCK, WSAEWOULDBLOCK},
    {EINPROGRESS, WSAEINPROGRESS},
    {EALREADY, WSAEALREADY},
    {ENOTSOCK, WSAENOTSOCK},
    {EDESTADDRREQ, WSAEDESTADDRREQ},
    {EMSGSIZE, WSAEMSGSIZE},
    {EPROTOTYPE, WSAEPROTOTYPE},
    {ENOPROTOOPT, WSAENOPROTOOPT},
    {EPROTONOSUPPORT, WSAEPROTONOSUPPORT},
    {ESOCKTNOSUPPORT, WSAESOCKTNOSUPPORT},
    {EOPNOTSUPP, WSAEOPNOTSUPP},
    {EPFNOSUPPORT, WSAEPFNOSUPPORT},
    {EAFNOSUPPORT, WSAEAFNOSUPPORT},
    {EADDRINUSE, WSAEADDRINUSE},
    {EADDRNOTAVAIL, WSAEADDRNOTAVAIL},
    {ENETDOWN, WSAENETDOWN},
    {ENETUNREACH, WSAENETUNREACH},
    {ENETRESET, WSAENETRESET},
    {ECONNABORTED, WSAECONNABORTED},
    {ECONNRESET, WSAECONNRESET},
    {EPIPE, WSAESHUTDOWN},
    {ENOBUFS, WSAENOBUFS},
    {ENOMEM, WSAENOBUFS},
    {EISCONN, WSAEISCONN},
    {ENOTCONN, WSAENOTCONN},
    {ESHUTDOWN, WSAESHUTDOWN},
    {ETOOMANYREFS, WSAETOOMANYREFS},
    {ETIMEDOUT, WSAETIMEDOUT},
    {ECONNREFUSED, WSAECONNREFUSED},
    {ELOOP, WSAELOOP},
    {ENAMETOOLONG, WSAENAMETOOLONG},
    {EHOSTDOWN, WSAEHOSTDOWN},
    {EHOSTUNREACH, WSAEHOSTUNREACH},
    {ENOTEMPTY, WSAENOTEMPTY},
    {EUSERS, WSAEUSERS},
    {EDQUOT, WSAEDQUOT},
    {ESTALE, WSAESTALE},
    {EREMOTE, WSAEREMOTE},
};

}  // namespace

int WsaErrorFromErrno(int err) {
  for (auto [sys, wsa] : ErrnoTable)
    if (sys == err) return wsa;
  return WSAEINVAL;
}

int WSAStartup(uint16_t version, TWSAData& data) {
  if (version != WinSockVersion11) return WSAVERNOTSUPPORTED;
  data.Version = version;
  data.Description = "BSD sockets";
  data.MaxSockets = 1024;
  data.MaxUdpDg = 65467;
  return 0;
}

int WSACleanup() { return 0; }
int WSAGetLastError() { return LastError; }

TSocket WsSocket() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    Fail(errno);
    return INVALID_SOCKET;
  }
  // Requests are short and answered one at a time: waiting to coalesce them only adds delay.
  int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

int WsConnect(TSocket s, uint32_t address, uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = port;
  sa.sin_addr.s_addr = address;
  int r;
  do r = ::connect(static_cast<int>(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  while (r < 0 && errno == EINTR);
  return r < 0 ? Fail(errno) : 0;
}

int WsConnectTimed(TSocket s, uint32_t address, uint16_t port, int ms) {
  if (ms < 0) return WsConnect(s, address, port);
  int fd = static_cast<int>(s);
  int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return Fail(errno);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = port;
  sa.sin_addr.s_addr = address;
  int err = 0;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) < 0) {
    err = errno;
    if (err == EINPROGRESS || err == EINTR) {
      pollfd p{fd, POLLOUT, 0};
      int r;
      do r = ::poll(&p, 1, ms);
      while (r < 0 && errno == EINTR);
      socklen_t len = sizeof err;
      if (r < 0) err = errno;
      else if (r == 0) err = ETIMEDOUT;
      else if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) < 0) err = errno;
    }
  }
  fcntl(fd, F_SETFL, flags);
  return err ? Fail(err) : 0;
}

int WsSendNow(TSocket s, const void* data, int count) {
  ssize_t n;
  do n = ::send(static_cast<int>(s), data, static_cast<size_t>(count), MSG_NOSIGNAL | MSG_DONTWAIT);
  while (n < 0 && errno == EINTR);
  return n < 0 ? Fail(errno) : static_cast<int>(n);
}

int WsWaitWritable(TSocket s, int ms) {
  pollfd p{static_cast<int>(s), POLLOUT, 0};
  int r = ::poll(&p, 1, ms < 0 ? -1 : ms);
  if (r < 0) return Fail(errno);
  return r > 0 ? 1 : 0;
}

int WsSend(TSocket s, const void* data, int count) {
  ssize_t n;
  do n = ::send(static_cast<int>(s), data, static_cast<size_t>(count), MSG_NOSIGNAL);
  while (n < 0 && errno == EINTR);
  return n < 0 ? Fail(errno) : static_cast<int>(n);
}

int WsRecv(TSocket s, void* data, int count) {
  ssize_t n;
  do n = ::recv(static_cast<int>(s), data, static_cast<size_t>(count), 0);
  while (n < 0 && errno == EINTR);
  return n < 0 ? Fail(errno) : static_cast<int>(n);
}

int WsCloseSocket(TSocket s) { return ::close(static_cast<int>(s)) < 0 ? Fail(errno) : 0; }

int WsWaitReadable(TSocket s, int ms) {
  pollfd p{static_cast<int>(s), POLLIN, 0};
  int r = ::poll(&p, 1, ms < 0 ? -1 : ms);
  if (r < 0) return Fail(errno);
  return r > 0 ? 1 : 0;
}

uint32_t WsInetAddr(const AnsiString& dotted) {
  in_addr a{};
  return inet_pton(AF_INET, dotted.c_str(), &a) == 1 ? a.s_addr : WsNoAddress;
}

AnsiString WsInetNtoa(uint32_t address) {
  char buf[INET_ADDRSTRLEN] = {};
  in_addr a{};
  a.s_addr = address;
  inet_ntop(AF_INET, &a, buf, sizeof buf);
  return buf;
}

bool WsGetHostByName(const AnsiString& host, uint32_t& address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  int r = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (r != 0 || !found) {
    LastError = r == EAI_AGAIN ? WSATRY_AGAIN : r == EAI_FAIL ? WSANO_RECOVERY : WSAHOST_NOT_FOUND;
    return false;
  }
  address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  freeaddrinfo(found);
  return true;
}

uint16_t WsHtons(uint16_t v) { return htons(v); }

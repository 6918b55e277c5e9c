// Blocking TCP sockets for the table layer's server client, in the shape its code expects:
// socket handles, a start-up and clean-up pair, and error numbers from the system's table.
#pragma once

#include <cstdint>

#include "platform/rtl/AnsiString.h"

using TSocket = intptr_t;
constexpr TSocket INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;
constexpr uint16_t WinSockVersion11 = 0x0101;

// Socket error numbers as the system publishes them.
constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEACCES = 10013;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAEALREADY = 10037;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEDESTADDRREQ = 10039;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAEPROTOTYPE = 10041;
constexpr int WSAENOPROTOOPT = 10042;
constexpr int WSAEPROTONOSUPPORT = 10043;
constexpr int WSAESOCKTNOSUPPORT = 10044;
constexpr int WSAEOPNOTSUPP = 10045;
constexpr int WSAEPFNOSUPPORT = 10046;
constexpr int WSAEAFNOSUPPORT = 10047;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETDOWN = 10050;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAENETRESET = 10052;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAEISCONN = 10056;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAESHUTDOWN = 10058;
constexpr int WSAETOOMANYREFS = 10059;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAELOOP = 10062;
constexpr int WSAENAMETOOLONG = 10063;
constexpr int WSAEHOSTDOWN = 10064;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSAENOTEMPTY = 10066;
constexpr int WSAEPROCLIM = 10067;
constexpr int WSAEUSERS = 10068;
constexpr int WSAEDQUOT = 10069;
constexpr int WSAESTALE = 10070;
constexpr int WSAEREMOTE = 10071;
constexpr int WSASYSNOTREADY = 10091;
constexpr int WSAVERNOTSUPPORTED = 10092;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;
constexpr int WSANO_RECOVERY = 11003;
constexpr int WSANO_DATA = 11004;

struct TWSAData {
  uint16_t Version = 0;
  AnsiString Description;
  uint16_t MaxSockets = 0;
  uint16_t MaxUdpDg = 0;
};

// 0 on success, else WSAVERNOTSUPPORTED for a version other than 1.1.
int WSAStartup(uint16_t version, TWSAData& data);
int WSACleanup();
// The error of the calling thread's last failed socket call.
int WSAGetLastError();
// The socket error number for a system error number (WSAEINVAL for those without one).
int WsaErrorFromErrno(int err);

// A stream socket of the Internet family, or INVALID_SOCKET.
TSocket WsSocket();
// Address and port in network byte order.
int WsConnect(TSocket s, uint32_t address, uint16_t port);
// Waits at most ms (-1: no limit) for the connection to be made; a connection not made in time
// fails with WSAETIMEDOUT. The socket blocks again afterwards.
int WsConnectTimed(TSocket s, uint32_t address, uint16_t port, int ms);
// Sends never raise a signal on a closed peer; the result is the count or SOCKET_ERROR.
int WsSend(TSocket s, const void* data, int count);
// As WsSend, but fails with WSAEWOULDBLOCK instead of waiting for room.
int WsSendNow(TSocket s, const void* data, int count);
// 1 when writable within ms (-1: no limit), 0 on time-out, SOCKET_ERROR on failure.
int WsWaitWritable(TSocket s, int ms);
int WsRecv(TSocket s, void* data, int count);
int WsCloseSocket(TSocket s);
// 1 when readable within ms (-1: no limit), 0 on time-out, SOCKET_ERROR on failure.
int WsWaitReadable(TSocket s, int ms);

// A dotted address in network byte order, or WsNoAddress.
constexpr uint32_t WsNoAddress = 0xFFFFFFFF;
uint32_t WsInetAddr(const AnsiString& dotted);
AnsiString WsInetNtoa(uint32_t address);
// The first address of a host-name look-up; false with the error set when there is none.
bool WsGetHostByName(const AnsiString& host, uint32_t& address);
uint16_t WsHtons(uint16_t v);

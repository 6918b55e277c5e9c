#include "tables/XbNet.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/rtl/Ticks.h"
#include "tables/TickClock.h"

namespace {

constexpr std::pair<int, const char*> SocketErrorTexts[] = {
    {WSAEINTR, "Interrupted system call."},
    {WSAEBADF, "Bad file number."},
    {WSAEACCES, "Access denied."},
    {WSAEFAULT, "Bad address."},
    {WSAEINVAL, "Invalid argument."},
    {WSAEMFILE, "Too many open files."},
    {WSAEWOULDBLOCK, "Operation would block. "},
    {WSAEINPROGRESS, "Operation now in progress."},
    {WSAEALREADY, "Operation already in progress."},
    {WSAENOTSOCK, "Socket operation on non-socket."},
    {WSAEDESTADDRREQ, "Destination address required."},
    {WSAEMSGSIZE, "Message too long."},
    {WSAEPROTOTYPE, "Protocol wrong type for socket."},
    {WSAENOPROTOOPT, "Bad protocol option."},
    {WSAEPROTONOSUPPORT, "Protocol not supported."},
    {WSAESOCKTNOSUPPORT, "Socket type not supported."},
    {WSAEOPNOTSUPP, "Operation not supported on socket."},
    {WSAEPFNOSUPPORT, "Protocol family not supported."},
    {WSAEAFNOSUPPORT, "Address family not supported by protocol family."},
    {WSAEADDRINUSE, "Address already in use."},
    {WSAEADDRNOTAVAIL, "Can't assign requested address."},
    {WSAENETDOWN, "Network is down."},
    {WSAENETUNREACH, "Network is unreachable."},
    {WSAENETRESET, "Net dropped connection or reset."},
    {WSAECONNABORTED, "Software caused connection abort."},
    {WSAECONNRESET, "Connection reset by peer."},
    {WSAENOBUFS, "No buffer space available."},
    {WSAEISCONN, "Socket is already connected."},
    {WSAENOTCONN, "Socket is not connected."},
    {WSAESHUTDOWN, "Cannot send or receive after socket is closed."},
    {WSAETOOMANYREFS, "Too many references, can't splice."},
    {WSAETIMEDOUT, "Connection timed out."},
    {WSAECONNREFUSED, "Connection refused."},
    {WSAELOOP, "Too many levels of symbolic links."},
    {WSAENAMETOOLONG, "File name too long."},
    {WSAEHOSTDOWN, "Host is down."},
    {WSAEHOSTUNREACH, "No route to host."},
    {WSAENOTEMPTY, "Directory not empty"},
    {WSAEPROCLIM, "Too many processes."},
    {WSAEUSERS, "Too many users."},
    {WSAEDQUOT, "Disk Quota Exceeded."},
    {WSAESTALE, "Stale NFS file handle."},
    {WSAEREMOTE, "Too many levels of remote in path."},
    {WSASYSNOTREADY, "Network subsystem is unavailable."},
    {WSAVERNOTSUPPORTED, "WINSOCK DLL Version out of range."},
    {WSANOTINITIALISED, "Winsock not loaded yet."},
    {WSAHOST_NOT_FOUND, "Host not found."},
    {WSATRY_AGAIN, "Non-authoritative response (try again or check DNS setup)."},
    {WSANO_RECOVERY, "Non-recoverable errors: FORMERR, REFUSED, NOTIMP."},
    {WSANO_DATA, "Valid name, no data record (check DNS setup)."},
};

constexpr int32_t StreamPiece = 8192;

int WinSockUsers = 0;
TWSAData WinSock;

// A reset or a shut-down socket is gone for good; the caller sees it inactive.
bool Disconnects(int code) { return code == WSAECONNRESET || code == WSAESHUTDOWN; }

}  // namespace

AnsiString SocketErrorDescription(int code) {
  for (auto [c, text] : SocketErrorTexts)
    if (c == code) return text;
  return {};
}

EXbNetSocketError::EXbNetSocketError(int code)
    : EXbNetException("Socket Error #" + IntToStr(code) + "\r\n" + SocketErrorDescription(code)), FErrorCode(code) {}

void XbNetStartup() {
  if (WinSockUsers++ > 0) return;
  if (WSAStartup(WinSockVersion11, WinSock) != 0) {
    WinSockUsers = 0;
    throw EXbNetException("Winsock Initialization Error.");
  }
}

void XbNetShutdown() {
  if (WinSockUsers == 0 || --WinSockUsers > 0) return;
  WSACleanup();
  WinSock.Description.clear();
}

const TWSAData& XbNetWinSockData() { return WinSock; }

// --- TXbNet

TXbNet::TXbNet(TComponent* owner) : TComponent(owner) { XbNetStartup(); }

TXbNet::~TXbNet() {
  CloseSocket();
  XbNetShutdown();
}

void TXbNet::AllocateSocket() {
  FSocket = WsSocket();
  if (FSocket == INVALID_SOCKET) throw EXbNetInvalidSocket("Cannot allocate socket.");
}

void TXbNet::CloseSocket() {
  if (FSocket == INVALID_SOCKET) return;
  WsCloseSocket(FSocket);
  FSocket = INVALID_SOCKET;
  FSession = "0000";
}

bool TXbNet::GetActive() { return FSocket != INVALID_SOCKET; }

// --- TXbNetSocket

TXbNetSocket::TXbNetSocket(TComponent* owner) : TXbNet(owner) {}

TXbNetSocket::~TXbNetSocket() {
  FTraceFile.reset();
}

void TXbNetSocket::SetBufferSize(int32_t n) {
  if (GetActive() || HasState(csLoading) || HasState(csDesigning) || n < 1) return;
  FBufferStep = n;
  FBuffer.resize(static_cast<size_t>(n));
}

void TXbNetSocket::DoStatus(const AnsiString& text) {
  if (!OnStatus) return;
  try {
    OnStatus(this, text);
  } catch (Exception& e) {
    e.SetMessage(e.Message() + " occurred in user's OnStatus Event.");
    throw;
  }
}

void TXbNetSocket::Disconnect() {
  try {
    DoStatus("Disconnecting");
  } catch (...) {
  }
  FTraceFile.reset();
  FFillPos = 1;
  FResolvedAddress.clear();
  CloseSocket();
  try {
    DoStatus("Disconnected");
  } catch (...) {
  }
}

void TXbNetSocket::RaiseSocketError(int code) {
  if (Disconnects(code)) Disconnect();
  throw EXbNetSocketError(code);
}

void TXbNetSocket::ReportProgress(int32_t received) {
  int32_t before = FTransferCount / 1024;
  FTransferCount = received;
  if (received / 1024 != before && OnTransferProgress) OnTransferProgress(received / 1024, FTransferTotal);
}

void TXbNetSocket::FillBuffer() {
  int32_t held = FFillPos - 1;
  int32_t length = static_cast<int32_t>(FBuffer.size());
  int32_t free = length - held;
  if (free < held / 2 || free <= 0)
    FBuffer.resize(static_cast<size_t>(length + FBufferStep));
  else if (free > 2 * FBufferStep && length > 2 * FBufferStep)
    FBuffer.resize(static_cast<size_t>(length - FBufferStep));
  free = static_cast<int32_t>(FBuffer.size()) - held;
  int n = WsRecv(FSocket, FBuffer.data() + held, free);
  if (n == SOCKET_ERROR) RaiseSocketError(WSAGetLastError());
  if (n == 0) FClosedByPeer = true;
  ReportProgress(held + n);
  FFillPos += n;
  if (FClosedByPeer) {
    Disconnect();
    throw EXbNetConnClosedGraceful("Connection Closed Gracefully.");
  }
}

AnsiString TXbNetSocket::TakeBytes(int32_t count) {
  if (count < 0 || count >= FFillPos) throw Exception("Not enough data in buffer.");
  AnsiString taken = FBuffer.substr(0, static_cast<size_t>(count));
  FBuffer.erase(0, static_cast<size_t>(count));
  FBuffer.resize(FBuffer.size() + static_cast<size_t>(count));
  FFillPos -= count;
  return taken;
}

int32_t TXbNetSocket::TakeInto(void* dst, int32_t count) {
  int32_t n = std::min(std::max(0, count), BufferedCount());
  if (n == 0) return 0;
  std::memcpy(dst, FBuffer.data(), static_cast<size_t>(n));
  std::memmove(FBuffer.data(), FBuffer.data() + n, static_cast<size_t>(BufferedCount() - n));
  FFillPos -= n;
  return n;
}

AnsiString TXbNetSocket::ReadBytes(int32_t count) {
  if (count == 0) FillBuffer();
  while (BufferedCount() < count) FillBuffer();
  return TakeBytes(count);
}

AnsiString TXbNetSocket::ReadBytesTimed(int32_t count, uint32_t ms) {
  TTickClock clock;
  while (BufferedCount() < count || count == 0) {
    uint32_t waited = clock.ElapsedMs();
    if (waited >= ms) break;
    int32_t left = static_cast<int32_t>(ms - waited);
    int r = WsWaitReadable(FSocket, left);
    if (r == SOCKET_ERROR) RaiseSocketError(WSAGetLastError());
    if (r == 0) break;
    FillBuffer();
    if (count == 0) break;
  }
  return TakeBytes(count);
}

bool TXbNetSocket::WaitReadable(int32_t ms) {
  if (BufferedCount() > 0) return true;
  if (!GetActive()) return false;
  int r = WsWaitReadable(FSocket, ms);
  if (r == SOCKET_ERROR) RaiseSocketError(WSAGetLastError());
  return r == 1;
}

AnsiString TXbNetSocket::ReadLine() {
  size_t at;
  while ((at = std::string_view(FBuffer.data(), static_cast<size_t>(BufferedCount())).find(FLineTerm)) ==
         std::string_view::npos)
    FillBuffer();
  AnsiString line = TakeBytes(static_cast<int32_t>(at));
  TakeBytes(static_cast<int32_t>(FLineTerm.size()));
  return line;
}

AnsiString TXbNetSocket::ReadNonEmptyLine() {
  for (;;) {
    AnsiString line = Trim(ReadLine());
    if (!line.empty()) return line;
  }
}

void TXbNetSocket::TraceLine(const AnsiString& text) {
  if (FTraceFile) WriteTraceLine(*FTraceFile, text);
}

int32_t TXbNetSocket::ReadReply() {
  FReplyLines.Clear();
  AnsiString line = ReadNonEmptyLine();
  TraceLine("I: " + line + "\r\n");
  if (line.size() > 3 && line[3] == '-') {
    AnsiString closing = line.substr(0, 3) + " ";
    FReplyLines.Add(line);
    do {
      line = ReadNonEmptyLine();
      TraceLine("I: " + line + "\r\n");
      FReplyLines.Add(line);
    } while (line.compare(0, closing.size(), closing) != 0);
  }
  FLastReply = line;
  if (line.compare(0, 3, "+OK") == 0)
    FReplyCode = 1;
  else if (line.compare(0, 4, "-ERR") == 0)
    FReplyCode = 0;
  else
    FReplyCode = static_cast<int16_t>(StrToIntDef(line.substr(0, 3), 0));
  return FReplyCode;
}

int32_t TXbNetSocket::SendCommand(const AnsiString& command, int32_t expected, const AnsiString& status,
                                  int32_t indent) {
  if (!command.empty()) {
    TraceLine("O: " + command);
    SendLine(command);
  }
  ReadReply();
  if (expected >= 0 && expected != FReplyCode) throw EXbNetResponseError(FLastReply);
  AnsiString pad = StringOfChar(' ', static_cast<size_t>(std::max(0, indent) * 2));
  if (status == "*")
    DoStatus(pad + FLastReply);
  else if (!status.empty())
    DoStatus(pad + status);
  return FReplyCode;
}

int32_t TXbNetSocket::SendText(const AnsiString& text) {
  return sendAll(text.data(), static_cast<int32_t>(text.size()));
}

int TXbNetSocket::waitBudget() const {
  int64_t budget = FWaitLimit > 0 ? FWaitLimit : -1;
  if (FDeadline != 0) {
    uint64_t now = GetTickCount64();
    int64_t left = now >= FDeadline ? 0 : static_cast<int64_t>(FDeadline - now);
    budget = budget < 0 ? left : std::min(budget, left);
  }
  return static_cast<int>(std::min<int64_t>(budget, INT32_MAX));
}

int32_t TXbNetSocket::sendAll(const char* data, int32_t total) {
  if (!GetActive()) throw EXbNetClosedSocket("Socket is closed, cannot write");
  bool bounded = FWaitLimit > 0 || FDeadline != 0;
  int32_t sent = 0;
  while (sent < total) {
    int n = bounded ? WsSendNow(FSocket, data + sent, total - sent) : WsSend(FSocket, data + sent, total - sent);
    if (n == SOCKET_ERROR && bounded && WSAGetLastError() == WSAEWOULDBLOCK) {
      int budget = waitBudget();
      int r = budget == 0 ? 0 : WsWaitWritable(FSocket, budget);
      if (r == SOCKET_ERROR) RaiseSocketError(WSAGetLastError());
      if (r == 0) throw EXbNetSocketError(WSAETIMEDOUT);
      continue;
    }
    if (n == SOCKET_ERROR) RaiseSocketError(WSAGetLastError());
    if (n == 0) {
      FClosedByPeer = true;
      Disconnect();
      throw EXbNetConnClosedGraceful("Connection Closed Gracefully.");
    }
    sent += n;
  }
  return sent;
}

int64_t TXbNetSocket::SendStream(const AnsiString& header, TStream& stream) {
  if (SendText(header) <= 0) return 0;
  stream.SetPosition(0);
  int64_t size = stream.Size();
  FTransferTotal = static_cast<int32_t>(size);
  if (OnWriteProgress) OnWriteProgress(this, 0, static_cast<int32_t>(size), 0);
  int64_t sent = 0;
  AnsiString piece;
  while (sent < size) {
    piece.resize(static_cast<size_t>(std::min<int64_t>(StreamPiece, size - sent)));
    int64_t n = stream.Read(piece.data(), static_cast<int64_t>(piece.size()));
    if (n <= 0) break;
    piece.resize(static_cast<size_t>(n));
    sent += SendText(piece);
    if (OnWriteProgress) OnWriteProgress(this, 0, 0, static_cast<int32_t>(sent));
  }
  if (OnWriteProgress) OnWriteProgress(this, 0, 0, 0);
  return sent;
}

int64_t TXbNetSocket::SendBytes(const AnsiString& header, std::string_view data) {
  if (SendText(header) <= 0) return 0;
  int64_t size = static_cast<int64_t>(data.size());
  FTransferTotal = static_cast<int32_t>(size);
  if (OnWriteProgress) OnWriteProgress(this, 0, static_cast<int32_t>(size), 0);
  int64_t sent = 0;
  while (sent < size) {
    int64_t piece = std::min<int64_t>(StreamPiece, size - sent);
    sent += sendAll(data.data() + sent, static_cast<int32_t>(piece));
    if (OnWriteProgress) OnWriteProgress(this, 0, 0, static_cast<int32_t>(sent));
  }
  if (OnWriteProgress) OnWriteProgress(this, 0, 0, 0);
  return sent;
}

void TXbNetSocket::ReadStream(TStream& target, int64_t n) {
  target.SetPosition(0);
  if (OnReadProgress) OnReadProgress(this, 0, static_cast<int32_t>(n), 0);
  int64_t done = 0;
  while (done < n) {
    AnsiString piece = ReadBytes(static_cast<int32_t>(std::min<int64_t>(FBufferStep, n - done)));
    target.WriteBuffer(piece.data(), static_cast<int64_t>(piece.size()));
    done += static_cast<int64_t>(piece.size());
    if (OnReadProgress) OnReadProgress(this, 0, 0, static_cast<int32_t>(done));
  }
  if (OnReadProgress) OnReadProgress(this, 0, 0, 0);
  target.SetPosition(0);
}

// --- TXbNetClient

TXbNetClient::~TXbNetClient() {
  Disconnect();
  OnStatus = nullptr;
}

uint32_t TXbNetClient::resolveHost() {
  if (SameText(FHost, "LOCALHOST")) {
    FResolvedAddress = "127.0.0.1";
    return WsInetAddr(FResolvedAddress);
  }
  uint32_t address = WsInetAddr(FHost);
  if (address == WsNoAddress) {
    if (!WsGetHostByName(FHost, address)) throw EXbNetSocketError(WSAGetLastError());
    FResolvedAddress = WsInetNtoa(address);
  } else {
    FResolvedAddress = FHost;
  }
  return address;
}

void TXbNetClient::Connect() {
  if (GetActive()) throw EXbNetAlreadyConnected("Already connected.");
  DoStatus("Connecting to " + FHost);
  FBuffer.assign(static_cast<size_t>(FBufferStep), '\0');
  FFillPos = 1;
  AllocateSocket();
  try {
    uint32_t address = resolveHost();
    if (WsConnectTimed(FSocket, address, WsHtons(static_cast<uint16_t>(FPort)), FWaitLimit > 0 ? FWaitLimit : -1) ==
        SOCKET_ERROR)
      throw EXbNetSocketError(WSAGetLastError());
    if (!FTraceFileName.empty()) FTraceFile = std::make_unique<TFileStream>(FTraceFileName, fmCreate);
    DoStatus("Socket Connected");
    FClosedByPeer = false;
  } catch (...) {
    Disconnect();
    throw;
  }
}

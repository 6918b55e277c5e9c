// The server client's TCP transport: a socket component, a buffered socket with exact-length and
// line reads, whole sends, line-protocol replies and progress, and a client that connects to a
// host. Everything blocks the calling thread while it waits.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "platform/classlib/Classes.h"
#include "platform/engines/WinSock.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/Streams.h"

QUORVEX_EXCEPTION(EXbNetException, Exception);
QUORVEX_EXCEPTION(EXbNetResponseError, EXbNetException);
QUORVEX_EXCEPTION(EXbNetClosedSocket, EXbNetException);
QUORVEX_EXCEPTION(EXbNetInvalidSocket, EXbNetException);
QUORVEX_EXCEPTION(EXbNetConnClosedGraceful, EXbNetException);
QUORVEX_EXCEPTION(EXbNetAlreadyConnected, EXbNetException);

class EXbNetSocketError : public EXbNetException {
public:
  explicit EXbNetSocketError(int code);
  int ErrorCode() const { return FErrorCode; }

private:
  int FErrorCode;
};

// The description of a socket error number; empty for numbers without one.
AnsiString SocketErrorDescription(int code);

// Socket start-up for the process, counted so that it runs once; raises EXbNetException
// "Winsock Initialization Error." when it fails.
void XbNetStartup();
void XbNetShutdown();
const TWSAData& XbNetWinSockData();

using TStringEvent = std::function<void(TObject* Sender, const AnsiString& sOut)>;
using TReadProgressEvent = std::function<void(TObject* Sender, int32_t Min, int32_t Max, int32_t Position)>;
using TWriteProgressEvent = TReadProgressEvent;
using TxProgressEvent = std::function<void(TObject* Sender, int32_t Status, int32_t Min, int32_t Max, int32_t Position)>;

class TXbNet : public TComponent {
public:
  explicit TXbNet(TComponent* owner);
  ~TXbNet() override;
  AnsiString ClassName() const override { return "TXbNet"; }

  int32_t Port() const { return FPort; }
  void SetPort(int32_t v) { FPort = v; }
  TSocket Handle() const { return FSocket; }
  const AnsiString& Session() const { return FSession; }
  bool Active() { return GetActive(); }

  virtual void CloseSocket();
  virtual bool GetActive();

protected:
  virtual void AllocateSocket();
  TSocket FSocket = INVALID_SOCKET;
  int32_t FPort = 0;
  AnsiString FSession = "0000";
};

class TXbNetSocket : public TXbNet {
public:
  explicit TXbNetSocket(TComponent* owner);
  ~TXbNetSocket() override;
  AnsiString ClassName() const override { return "TXbNetSocket"; }

  virtual void Disconnect();
  virtual int32_t SendCommand(const AnsiString& command, int32_t expected, const AnsiString& status, int32_t indent);
  virtual void ReportProgress(int32_t received);
  virtual AnsiString ReadBytes(int32_t count);
  virtual AnsiString ReadBytesTimed(int32_t count, uint32_t ms);

  AnsiString ReadLine();
  AnsiString ReadNonEmptyLine();
  int32_t ReadReply();
  int32_t SendText(const AnsiString& text);
  int32_t SendLine(const AnsiString& text) { return SendText(text + FLineTerm); }
  // Sends the header, then the stream in 8192-byte pieces; answers the stream bytes sent.
  int64_t SendStream(const AnsiString& header, TStream& stream);
  // The same for bytes held in memory, sent from where they are.
  int64_t SendBytes(const AnsiString& header, std::string_view data);
  // Reads n bytes into the target, from its start, and rewinds it.
  void ReadStream(TStream& target, int64_t n);
  bool WaitReadable(int32_t ms);

  // The longest a connect, or a send that makes no progress, waits for the peer (0: no limit).
  // Sends also stop at the deadline, a tick of the monotonic clock (0: none). Either way out
  // raises EXbNetSocketError WSAETIMEDOUT.
  int32_t WaitLimit() const { return FWaitLimit; }
  void SetWaitLimit(int32_t ms) { FWaitLimit = ms < 0 ? 0 : ms; }
  uint64_t Deadline() const { return FDeadline; }
  void SetDeadline(uint64_t tick) { FDeadline = tick; }

  int32_t BufferSize() const { return FBufferStep; }
  void SetBufferSize(int32_t n);
  int32_t BufferedCount() const { return FFillPos - 1; }
  const TStringList& ReplyLines() const { return FReplyLines; }
  const AnsiString& LastReply() const { return FLastReply; }
  int16_t ReplyCode() const { return FReplyCode; }
  bool ClosedByPeer() const { return FClosedByPeer; }
  const AnsiString& ResolvedAddress() const { return FResolvedAddress; }
  // The trace file is made at each connect when a name is set.
  const AnsiString& TraceFileName() const { return FTraceFileName; }
  void SetTraceFileName(const AnsiString& v) { FTraceFileName = v; }

  TStringEvent OnStatus;
  TReadProgressEvent OnReadProgress;
  TWriteProgressEvent OnWriteProgress;
  TxProgressEvent OnServerProgress;
  // The internal progress hook (bytes so far, total); nothing in the program attaches to it.
  std::function<void(int32_t kilobytes, int32_t total)> OnTransferProgress;

protected:
  virtual void DoStatus(const AnsiString& text);
  void FillBuffer();
  AnsiString TakeBytes(int32_t count);
  // Moves up to count held bytes into dst; answers how many.
  int32_t TakeInto(void* dst, int32_t count);
  void RaiseSocketError(int code);
  void TraceLine(const AnsiString& text);
  int32_t sendAll(const char* data, int32_t count);
  // Milliseconds a wait may take now: the wait limit cut at the deadline; -1 for no limit.
  int waitBudget() const;

  AnsiString FBuffer;
  int32_t FFillPos = 1;
  int32_t FBufferStep = 8192;
  AnsiString FLineTerm = "\r\n";
  TStringList FReplyLines;
  AnsiString FLastReply;
  int16_t FReplyCode = 0;
  bool FClosedByPeer = false;
  AnsiString FTraceFileName;
  std::unique_ptr<TFileStream> FTraceFile;
  AnsiString FResolvedAddress;
  int32_t FTransferCount = 0;
  int32_t FTransferTotal = 0;
  int32_t FWaitLimit = 0;
  uint64_t FDeadline = 0;
};

class TXbNetClient : public TXbNetSocket {
public:
  explicit TXbNetClient(TComponent* owner) : TXbNetSocket(owner) {}
  ~TXbNetClient() override;
  AnsiString ClassName() const override { return "TXbNetClient"; }

  const AnsiString& Host() const { return FHost; }
  void SetHost(const AnsiString& v) { FHost = v; }
  const AnsiString& User() const { return FUser; }
  void SetUser(const AnsiString& v) { FUser = AnsiUpperCase(v); }
  const AnsiString& Password() const { return FPassword; }
  void SetPassword(const AnsiString& v) { FPassword = v; }

  virtual void Connect();

protected:
  AnsiString FHost;
  AnsiString FUser;
  AnsiString FPassword;

private:
  uint32_t resolveHost();
};

// The server connection's frames: requests out, answers and notices in, each wait held to the
// time-out of its frame and the deadline of its command, each answer read once into the answer
// stream and checked against what it claims.
#include <algorithm>

#include "platform/rtl/Ticks.h"
#include "tables/TickClock.h"
#include "tables/XbConnection.h"
#include "tables/intCrypt.h"

namespace {

constexpr int32_t BodyPiece = 8192;
constexpr size_t ProgressBodySize = 24;
constexpr uint32_t ShutdownWaitMs = 5000;
// The time-out restarts with every frame, so notices could hold a command without end; a whole
// command ends after this many time-outs at the latest.
constexpr uint64_t CommandTimeOuts = 5;

const char* const KindProgress = "0300";
const char* const KindMessage = "0301";
const char* const KindShutdown = "0302";
const char* const KindStream = "0303";
const char* const KindAnswer = "0000";

// The frame cannot be trusted; the connection is dropped.
QUORVEX_EXCEPTION(EXbBadFrame, Exception);
QUORVEX_EXCEPTION(EXbTimeOut, Exception);
QUORVEX_EXCEPTION(EXbWrongAnswer, Exception);

AnsiString StreamText(TMemoryStream* s) {
  if (!s) return {};
  return AnsiString(reinterpret_cast<const char*>(s->Memory()), static_cast<size_t>(s->Size()));
}

std::string_view StreamBytes(TMemoryStream* s) {
  if (!s) return {};
  return {reinterpret_cast<const char*>(s->Memory()), static_cast<size_t>(s->Size())};
}

}  // namespace

void TXbConnection::dropConnection() {
  stopTimer();
  Disconnect();
  FActive = false;
  FLoggedIn = false;
  FCurrentWorkArea = 0;
}

void TXbConnection::lostConnection(const AnsiString& where, const AnsiString& what) {
  dropConnection();
  ReportError(where, what);
}

bool TXbConnection::sendFrame(const AnsiString& code, std::string_view payload, bool asStream,
                             const AnsiString& where) {
  bool compressed = FCompression && !payload.empty();
  TMemoryStream packed;
  if (compressed) {
    if (!LoadCompressionEngine()) throw Exception("Compression engine missing");
    TMemoryStream source;
    source.WriteBuffer(payload.data(), static_cast<int64_t>(payload.size()));
    CompressStream(&source, &packed);
    payload = StreamBytes(&packed);
    asStream = true;
  }
  AnsiString header = RequestHeader(static_cast<int64_t>(payload.size()), compressed, FSession, code);
  try {
    if (asStream) {
      if (SendBytes(header, payload) != static_cast<int64_t>(payload.size())) throw Exception("Short send");
    } else {
      SendText(header + AnsiString(payload));
    }
  } catch (EXbNetSocketError& e) {
    lostConnection(where, e.ErrorCode() == WSAETIMEDOUT ? "Time out" : "Connection lost");
    return false;
  } catch (Exception&) {
    lostConnection(where, "Connection lost");
    return false;
  }
  return true;
}

int TXbConnection::frameWait(const TTickClock& clock) const {
  int64_t left = static_cast<int64_t>(FTimeOut) - clock.ElapsedMs();
  if (FCommandDeadline != 0) {
    uint64_t now = GetTickCount64();
    left = std::min<int64_t>(left, now >= FCommandDeadline ? 0 : static_cast<int64_t>(FCommandDeadline - now));
  }
  if (left <= 0) throw EXbTimeOut("Time out");
  return static_cast<int>(left);
}

void TXbConnection::readExact(uint8_t* dst, int64_t n, const TTickClock& clock) {
  while (n > 0) {
    if (BufferedCount() == 0) {
      if (FTimeOut != 0) {
        int r = WsWaitReadable(FSocket, frameWait(clock));
        if (r == SOCKET_ERROR) RaiseSocketError(WSAGetLastError());
        if (r == 0) throw EXbTimeOut("Time out");
      }
      FillBuffer();
    }
    int32_t k = TakeInto(dst, static_cast<int32_t>(std::min<int64_t>(n, BodyPiece)));
    dst += k;
    n -= k;
  }
}

void TXbConnection::readBody(TMemoryStream& target, int64_t length, const TTickClock& clock) {
  // The buffer grows with what arrives, so a length the server does not back costs nothing.
  int64_t done = 0;
  while (done < length) {
    int64_t piece = std::min<int64_t>(BodyPiece, length - done);
    target.SetSize(done + piece);
    readExact(target.Memory() + done, piece, clock);
    done += piece;
  }
  target.SetPosition(0);
}

void TXbConnection::handleNotice(const AnsiString& kind, TMemoryStream& body) {
  std::string_view bytes(reinterpret_cast<const char*>(body.Memory()), static_cast<size_t>(body.Size()));
  if (kind == KindStream) {
    body.SetPosition(0);
    if (OnServerStream) OnServerStream(this, body);
  } else if (kind == KindMessage) {
    if (OnServerMessage) OnServerMessage(this, AnsiString(bytes));
  } else if (kind == KindProgress && bytes.size() >= ProgressBodySize) {
    TXbWireReader r(bytes);
    try {
      int32_t mn = r.Hex(8), mx = r.Hex(8), pos = r.Hex(8);
      if (OnServerProgress) OnServerProgress(this, 1, mn, mx, pos);
    } catch (EXbMalformed&) {
      // A notice that does not read as one is skipped like a short one.
    }
  }
}

int32_t TXbConnection::FillReadStream(bool polling) {
  try {
    return fill(polling);
  } catch (EXbReported&) {
    return 0;
  }
}

int32_t TXbConnection::fill(bool polling) {
  stopTimer();
  if (!GetActive()) return 0;
  if (polling && !WaitReadable(1)) {
    restartTimer();
    return 0;
  }
  int32_t result = 0;
  try {
    for (;;) {
      FAnswerStream.Clear();
      TTickClock clock;
      if (FTimeOut != 0 && !WaitReadable(frameWait(clock))) throw EXbTimeOut("Time out");
      uint8_t header[XbWire::FrameHeaderSize];
      readExact(header, XbWire::FrameHeaderSize, clock);
      TXbReplyHeader head;
      if (!ReadReplyHeader({reinterpret_cast<const char*>(header), XbWire::FrameHeaderSize}, head))
        throw EXbBadFrame("Malformed length");
      // The length field holds up to 4 GiB; only what the answer buffer is meant to hold is read.
      int64_t bodyLength = head.Length;
      if (bodyLength > XbWire::MaxAnswerBytes) throw EXbBadFrame("Answer too long");
      if (FCompression && bodyLength > 0) {
        TMemoryStream packed;
        readBody(packed, bodyLength, clock);
        FAnswerStream.SetLimit(XbWire::MaxExpandedBytes);
        if (!ExpandStream(packed, FAnswerStream)) throw EXbBadFrame("Malformed compressed body");
      } else {
        readBody(FAnswerStream, bodyLength, clock);
      }
      const AnsiString& kind = head.Kind;
      if (kind == KindShutdown) {
        FAnswerStream.Clear();
        Sleep(ShutdownWaitMs);
        dropConnection();
        if (OnServerMessage) OnServerMessage(this, "Server shutdown");
        return -1;
      }
      bool notice = kind == KindStream || kind == KindMessage || kind == KindProgress;
      // An answer must be this command's: a server out of step would shift every later answer.
      if (!notice && !polling && kind != KindAnswer && kind != FCommandCode)
        throw EXbWrongAnswer("Unexpected answer " + kind + " to command " + FCommandCode);
      result = static_cast<int32_t>(FAnswerStream.Size());
      if (notice) {
        handleNotice(kind, FAnswerStream);
        FAnswerStream.Clear();
      }
      FAnswerStream.SetPosition(0);
      if (!notice || polling) break;
    }
  } catch (EXbConnectionError&) {
    throw;
  } catch (EXbTimeOut&) {
    FAnswerStream.Clear();
    lostConnection("XbConnection.FillReadStream", "Time out");
    throw EXbReported("Time out");
  } catch (EXbWrongAnswer& e) {
    FAnswerStream.Clear();
    lostConnection("XbConnection.FillReadStream", e.Message());
    throw EXbReported("Wrong answer");
  } catch (Exception&) {
    FAnswerStream.Clear();
    lostConnection("XbConnection.FillReadStream", "Connection lost");
    throw EXbReported("Connection lost");
  }
  restartTimer();
  return result;
}

void TXbConnection::readOffWaiting() {
  while (GetActive() && WaitReadable(0))
    if (fill(true) < 0) throw EXbReported("Server shutdown");
  stopTimer();
  if (!GetActive()) throw EXbReported("Connection lost");
}

void TXbConnection::requireOpen(const AnsiString& code) {
  stopTimer();
  if (GetActive()) return;
  ReportError("XbConection.ClientXmit(" + code + ")", "Not connected");
  throw EXbReported("Not connected");
}

TXbConnection::TRunningCommand::TRunningCommand(TXbConnection& c, const AnsiString& code) : FConnection(c) {
  c.FCommandCode = code;
  if (c.FTimeOut == 0) return;
  c.FCommandDeadline = GetTickCount64() + uint64_t(c.FTimeOut) * CommandTimeOuts;
  c.SetDeadline(c.FCommandDeadline);
}

TXbConnection::TRunningCommand::~TRunningCommand() {
  FConnection.FCommandCode.clear();
  FConnection.FCommandDeadline = 0;
  FConnection.SetDeadline(0);
}

AnsiString TXbConnection::transmit(const AnsiString& code, const AnsiString& payload, bool awaitAnswer) {
  requireOpen(code);
  TRunningCommand running(*this, code);
  readOffWaiting();
  FAnswer.clear();
  if (!sendFrame(code, payload, false, "XbConnection.ClientXmit")) throw EXbReported("Connection lost");
  if (awaitAnswer) {
    if (fill(false) < 0) throw EXbReported("Server shutdown");
    FAnswer = StreamText(&FAnswerStream);
  }
  restartTimer();
  return FAnswer;
}

TMemoryStream* TXbConnection::receive(const AnsiString& code, const AnsiString& payload, bool sendStream) {
  requireOpen(code);
  TRunningCommand running(*this, code);
  readOffWaiting();
  AnsiString where = sendStream ? "XbConnection.ClientStreamSendReceive" : "XbConnection.ClientStreamReceive";
  if (!sendFrame(code, sendStream ? StreamBytes(&FSendStream) : std::string_view(payload), sendStream, where))
    throw EXbReported("Connection lost");
  int32_t n = fill(false);
  if (n < 0) throw EXbReported("Server shutdown");
  restartTimer();
  return n > 0 ? &FAnswerStream : nullptr;
}

AnsiString TXbConnection::ClientXmit(const AnsiString& code, const AnsiString& payload, bool awaitAnswer) {
  try {
    return transmit(code, payload, awaitAnswer);
  } catch (EXbReported&) {
    return {};
  }
}

TMemoryStream* TXbConnection::ClientStreamReceive(const AnsiString& code, const AnsiString& payload) {
  try {
    return receive(code, payload, false);
  } catch (EXbReported&) {
    return nullptr;
  }
}

TMemoryStream* TXbConnection::ClientStreamSendReceive(const AnsiString& code) {
  try {
    return receive(code, {}, true);
  } catch (EXbReported&) {
    return nullptr;
  }
}

std::string_view TXbConnection::streamBytes(const AnsiString& code, const AnsiString& payload, bool sendStream) {
  return StreamBytes(receive(code, payload, sendStream));
}

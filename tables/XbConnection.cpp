#include "tables/XbConnection.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/engines/XbeEntries.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Regional.h"
#include "platform/rtl/Ticks.h"
#include "tables/TickClock.h"
#include "tables/intCrypt.h"
#include "tables/intSql.h"

namespace {

constexpr int32_t kTrue = -1;
constexpr int32_t kFalse = 0;
constexpr int32_t HeaderSize = 20;
constexpr int32_t BodyPiece = 8192;
constexpr size_t ProgressBodySize = 24;
// An answer body is read only up to this size, and expanded only up to the second; a server that
// claims more loses the connection before anything of that size is allocated.
constexpr int64_t MaxAnswerBytes = 64 << 20;
constexpr int64_t MaxExpandedBytes = 64 << 20;
constexpr int32_t IndexEntrySize = 1026;
constexpr uint32_t ShutdownWaitMs = 5000;
// The time-out restarts with every frame, so notices could hold a command without end; a whole
// command ends after this many time-outs at the latest.
constexpr uint64_t CommandTimeOuts = 5;
constexpr unsigned PollIntervalMs = 1000;

const char* const KindProgress = "0300";
const char* const KindMessage = "0301";
const char* const KindShutdown = "0302";
const char* const KindStream = "0303";
const char* const KindAnswer = "0000";

// A text field wider than its slot would shift every later field; the command fails instead.
QUORVEX_EXCEPTION(EXbFieldWidth, Exception);
// The failure was reported where it happened; the command only answers its empty result.
QUORVEX_EXCEPTION(EXbReported, Exception);
// The frame cannot be trusted; the connection is dropped.
QUORVEX_EXCEPTION(EXbBadFrame, Exception);
QUORVEX_EXCEPTION(EXbTimeOut, Exception);
QUORVEX_EXCEPTION(EXbWrongAnswer, Exception);

AnsiString T(const AnsiString& text, size_t width, const char* field) {
  if (text.size() > width)
    throw EXbFieldWidth(AnsiString(field) + " is longer than " + IntToStr(static_cast<int64_t>(width)) + " characters");
  return text + AnsiString(width - text.size(), ' ');
}

// A text padded to its width, or sent whole when longer, as the protocol gives some fields.
AnsiString TWhole(const AnsiString& text, size_t width) {
  return text.size() >= width ? text : text + AnsiString(width - text.size(), ' ');
}

AnsiString H(int64_t v, int digits) {
  if (v < 0) return IntToHex(static_cast<uint32_t>(static_cast<int32_t>(v)), 8);
  return UpperCase(IntToHex(v, digits));
}

AnsiString D(int64_t v) { return IntToStr(v); }
AnsiString YN(bool b) { return b ? "Y" : "N"; }
AnsiString F(double v) { return FloatToStr(v); }

// Exactly the given number of hexadecimal digits, as a 32-bit value.
bool ParseHexStrict(std::string_view s, int32_t& out) {
  if (s.empty() || s.size() > 8) return false;
  uint32_t v = 0;
  for (char c : s) {
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (d < 0) return false;
    v = v * 16 + static_cast<uint32_t>(d);
  }
  out = static_cast<int32_t>(v);
  return true;
}

int32_t Hex(const AnsiString& reply) {
  int32_t v;
  if (!ParseHexStrict(Trim(reply), v)) throw EConvertError("'" + reply + "' is not a hexadecimal value");
  return v;
}

int32_t Dec(const AnsiString& reply) { return static_cast<int32_t>(StrToInt(reply)); }
int32_t Bool(const AnsiString& reply) { return reply == "Y" ? kTrue : kFalse; }

double Float(const AnsiString& reply) {
  AnsiString t = Trim(reply);
  char sep = FormatSettings().DecimalSeparator;
  for (char& c : t)
    if (c == sep) c = '.';
  char* end = nullptr;
  double v = std::strtod(t.c_str(), &end);
  if (t.empty() || *end) throw EConvertError("'" + reply + "' is not a valid floating point value");
  return v;
}

AnsiString StreamText(TMemoryStream* s) {
  if (!s) return {};
  return AnsiString(reinterpret_cast<const char*>(s->Memory()), static_cast<size_t>(s->Size()));
}

std::string_view StreamBytes(TMemoryStream* s) {
  if (!s) return {};
  return {reinterpret_cast<const char*>(s->Memory()), static_cast<size_t>(s->Size())};
}

// Reads fields off an answer, each checked against the bytes left.
class TAnswerReader {
public:
  explicit TAnswerReader(AnsiString text) : FText(std::move(text)) {}
  AnsiString Take(size_t n) {
    if (n > FText.size() - FPos) throw EXbBadFrame("Answer too short");
    AnsiString s = FText.substr(FPos, n);
    FPos += n;
    return s;
  }
  int32_t HexField(size_t n) { return Hex(Take(n)); }
  AnsiString Rest() { return FText.substr(FPos); }
  size_t Left() const { return FText.size() - FPos; }

private:
  AnsiString FText;
  size_t FPos = 0;
};

// The value bytes of a replace, by the engine's kind; the wire code says how many follow.
AnsiString ReplaceValue(int32_t kind, const void* value, int32_t& wireCode) {
  const char* p = static_cast<const char*>(value);
  switch (kind) {
    case xbReplaceText: wireCode = 1024; return p ? AnsiString(p) : AnsiString();
    case xbReplaceDate: wireCode = 1025; return p ? AnsiString(p) : AnsiString();
    case xbReplaceInteger: wireCode = 2; return p ? AnsiString(p, 4) : AnsiString(4, '\0');
    case xbReplaceLogical: wireCode = 1; return p ? AnsiString(p, 4) : AnsiString(4, '\0');
    case xbReplaceDouble: wireCode = 8; return p ? AnsiString(p, 8) : AnsiString(8, '\0');
    default: wireCode = kind; return {};
  }
}

AnsiString SysPropValue(int32_t property, int32_t value) {
  switch (property) {
    case 1001: case 1003: case 1009: case 1303: return YN(value != 0);
    case 1107: case 1305: return value == 1 ? "1" : "0";
    case 1302: return "0";
    case 2000: case 3002: case 3004: return H(value, 8);
    default: return {};
  }
}

}  // namespace

AnsiString EncodeLoginText(const AnsiString& text) {
  AnsiString out = text;
  for (char& ch : out) {
    int c = static_cast<unsigned char>(ch);
    if (c >= 30 && c <= 39) c -= 25;
    else if (c >= 40 && c <= 49) c -= 15;
    else if (c >= 50 && c <= 59) c -= 35;
    else if (c >= 60 && c <= 69) c += 5;
    else if (c >= 70 && c <= 79) c += 25;
    else if (c >= 80 && c <= 89) c += 45;
    else if (c >= 90 && c <= 99) c += 65;
    else if (c >= 100 && c <= 109) c += 85;
    else if (c >= 110 && c <= 119) c += 105;
    else if (c >= 120 && c <= 129) c += 125;
    ch = static_cast<char>(c);
  }
  return out;
}

int32_t MachineVolumeSerial() {
  struct statvfs st{};
  if (statvfs("/", &st) != 0) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(st.f_fsid));
}

void XbServerSetting(TXbConnection* c, TXbEnvSetting setting, int32_t value) {
  if (!c || !c->Active()) return;  // a closed connection takes the settings at its next open table
  switch (setting) {
    case TXbEnvSetting::Century: c->SetCentury(value != 0); break;
    case TXbEnvSetting::DateFormat: c->SetDateFormat(value); break;
    case TXbEnvSetting::Deleted: c->SetDeleted(value != 0); break;
    case TXbEnvSetting::Epoch: c->SetEpoch(value); break;
    case TXbEnvSetting::Exact: c->SetExact(value != 0); break;
    case TXbEnvSetting::LockTimeOut: c->SetLockTimeOut(value); break;
    case TXbEnvSetting::MemoBlockSize: c->SetMemoBlockSize(value); break;
    case TXbEnvSetting::SoftSeek: c->SetSoftSeek(value != 0); break;
  }
}

// --- life

TXbConnection::TXbConnection(TComponent* owner) : TXbNetClient(owner) {
  FHost = "127.0.0.1";
  FPort = 8121;
  SetWaitLimit(FTimeOut);
  FTimer = new TTimer(this);
  FTimer->SetInterval(PollIntervalMs);
  FTimer->OnTimer = [this](TObject*) { pollTick(); };
}

TXbConnection::~TXbConnection() {
  for (TDataSet* ds : std::vector<TDataSet*>(FDataSets)) {
    try {
      if (ds->Active()) ds->Close();
    } catch (...) {
    }
  }
  OnError = nullptr;
  try {
    SetActive(false);
  } catch (...) {
  }
  stopTimer();
  FDataSets.clear();
}

void TXbConnection::Notification(TComponent* component, TOperation operation) {
  TXbNetClient::Notification(component, operation);
  if (operation != opRemove) return;
  FDataSets.erase(std::remove(FDataSets.begin(), FDataSets.end(), component), FDataSets.end());
  if (component == FTimer) FTimer = nullptr;
}

void TXbConnection::RegisterDataSet(TDataSet* dataSet) {
  if (!dataSet || std::find(FDataSets.begin(), FDataSets.end(), dataSet) != FDataSets.end()) return;
  FDataSets.push_back(dataSet);
  dataSet->FreeNotification(this);
  FreeNotification(dataSet);
}

void TXbConnection::UnregisterDataSet(TDataSet* dataSet) {
  FDataSets.erase(std::remove(FDataSets.begin(), FDataSets.end(), dataSet), FDataSets.end());
}

AnsiString TXbConnection::DataDirectory() const {
  AnsiString dir;
  if (!FDatabaseAlias.empty() && FDatabaseAlias.find_first_of("\\:./") != AnsiString::npos)
    dir = FDatabaseAlias;
  else if (!FQueryDataPath.empty())
    dir = FQueryDataPath;
  else
    dir = GetCurrentDir();
  if (dir.empty() || dir.back() != PathDelim) dir += PathDelim;
  return dir;
}

void TXbConnection::SetTimeOut(int32_t v) {
  FTimeOut = v < 0 ? 0 : v;
  SetWaitLimit(FTimeOut);  // connects and sends wait as long as answers do
}

void TXbConnection::SetPolling(bool v) {
  FPolling = v;
  if (v) restartTimer();
  else stopTimer();
}

void TXbConnection::stopTimer() {
  if (FTimer) FTimer->SetEnabled(false);
}

void TXbConnection::restartTimer() {
  if (FTimer && !FClosing && FPolling && GetActive() && !HasState(csDesigning)) FTimer->SetEnabled(true);
}

void TXbConnection::pollTick() {
  if (!GetActive()) {
    stopTimer();
    return;
  }
  try {
    FillReadStream(true);
  } catch (EXbConnectionError&) {
    // Reported already; a timer tick has no caller to hand it to.
  }
}

void TXbConnection::ReportError(const AnsiString& where, const AnsiString& what) {
  if (OnError) {
    OnError(this, where, what);
    return;
  }
  throw EXbConnectionError("[" + where + "]" + what);
}

// --- open and close

void TXbConnection::SetActive(bool value) {
  if (value == FActive) return;
  if (!value) {
    // However the logout ends, the connection closes and the timer stays off.
    FClosing = true;
    stopTimer();
    struct TClose {
      TXbConnection& C;
      ~TClose() {
        C.dropConnection();
        C.FClosing = false;
      }
    } close{*this};
    if (FLoggedIn) Logout();
    return;
  }
  FCurrentWorkArea = 0;
  const AnsiString notFound = "No Xb Database Server found at " + FHost;
  try {
    Connect();
  } catch (Exception&) {
    ReportError("XbConnection.SetActive", notFound);
    return;
  }
  FActive = true;
  if (!FUser.empty()) {
    bool accepted = false;
    FLoginDropped = false;
    try {
      accepted = Login();
    } catch (EXbConnectionError&) {
      Disconnect();
      FActive = false;
      throw;
    } catch (EXbFieldWidth& e) {
      Disconnect();
      FActive = false;
      ReportError("XbConnection.Login", "Login: " + e.Message());
      return;
    } catch (Exception&) {
      Disconnect();
      FActive = false;
      ReportError("XbConnection.SetActive", notFound);
      return;
    }
    if (!accepted) {
      Disconnect();
      FActive = false;
      if (FLoginDropped) return;  // what happened was reported where it happened
      bool quiet = HasState(csLoading) || HasState(csDesigning);
      ReportError("XbConnection.SetActive",
                  quiet ? "Login not accepted" : "Login not accepted. Maximum user count may have been exceeded");
      return;
    }
  }
  restartTimer();
}

bool TXbConnection::Login() {
  FLoggedIn = false;
  if (!GetActive()) return false;
  AnsiString payload = T(FPassword, 255, "Password") + T(FUser, 255, "User") +
                       T(IntToStr(MachineVolumeSerial()), 255, "Machine") + T("", 255, "") +
                       T("Default", 255, "") + D(6) + YN(FCompression) + D(0) + T(FServerName, 255, "ServerName") +
                       T(FGroupName, 255, "GroupName");
  AnsiString answer;
  try {
    answer = transmit("0464", EncodeLoginText(payload), true);
  } catch (EXbReported&) {
    FLoginDropped = true;
    return false;
  }
  if (!answer.empty() && answer[0] == 'Y') {
    FLoggedIn = true;
    if (OnLogin) OnLogin(this, true, "");
  } else {
    Logout();
    if (OnLogin) OnLogin(this, false, Trim(answer.size() > 1 ? answer.substr(1) : AnsiString()));
  }
  return FLoggedIn;
}

void TXbConnection::Logout() {
  if (GetActive()) {
    ClientXmit("0465", TWhole(FUser, 10), true);
  }
  if (OnLogout) OnLogout(this);
  FLoggedIn = false;
}

// --- frames

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
  AnsiString flag = "0000";
  TMemoryStream packed;
  if (FCompression && !payload.empty()) {
    if (!LoadCompressionEngine()) throw Exception("Compression engine missing");
    TMemoryStream source;
    source.WriteBuffer(payload.data(), static_cast<int64_t>(payload.size()));
    CompressStream(&source, &packed);
    payload = StreamBytes(&packed);
    flag = "0001";
    asStream = true;
  }
  AnsiString header = H(static_cast<int64_t>(payload.size()), 8) + flag + FSession + code;
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
    int32_t mn, mx, pos;
    if (ParseHexStrict(bytes.substr(0, 8), mn) && ParseHexStrict(bytes.substr(8, 8), mx) &&
        ParseHexStrict(bytes.substr(16, 8), pos) && OnServerProgress)
      OnServerProgress(this, 1, mn, mx, pos);
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
      uint8_t header[HeaderSize];
      readExact(header, HeaderSize, clock);
      std::string_view head(reinterpret_cast<const char*>(header), HeaderSize);
      int32_t length;
      if (!ParseHexStrict(head.substr(0, 8), length)) throw EXbBadFrame("Malformed length");
      // The length field holds up to 4 GiB; only what the answer buffer is meant to hold is read.
      int64_t bodyLength = static_cast<uint32_t>(length);
      if (bodyLength > MaxAnswerBytes) throw EXbBadFrame("Answer too long");
      if (FCompression && bodyLength > 0) {
        TMemoryStream packed;
        readBody(packed, bodyLength, clock);
        FAnswerStream.SetLimit(MaxExpandedBytes);
        if (!ExpandStream(packed, FAnswerStream)) throw EXbBadFrame("Malformed compressed body");
      } else {
        readBody(FAnswerStream, bodyLength, clock);
      }
      AnsiString kind(head.substr(16, 4));
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

TXbConnection::TCommandClock::TCommandClock(TXbConnection& c, const AnsiString& code) : FConnection(c) {
  c.FCommandCode = code;
  if (c.FTimeOut == 0) return;
  c.FCommandDeadline = GetTickCount64() + uint64_t(c.FTimeOut) * CommandTimeOuts;
  c.SetDeadline(c.FCommandDeadline);
}

TXbConnection::TCommandClock::~TCommandClock() {
  FConnection.FCommandCode.clear();
  FConnection.FCommandDeadline = 0;
  FConnection.SetDeadline(0);
}

AnsiString TXbConnection::transmit(const AnsiString& code, const AnsiString& payload, bool awaitAnswer) {
  requireOpen(code);
  TCommandClock clock(*this, code);
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
  TCommandClock clock(*this, code);
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

// --- commands

template <class R, class Body>
R TXbConnection::guard(const AnsiString& op, R fallback, Body body, bool quiet, const AnsiString& where,
                        const AnsiString& what) {
  try {
    return body();
  } catch (EXbConnectionError&) {
    if (quiet) return fallback;
    throw;
  } catch (EXbReported&) {
    return fallback;
  } catch (EXbFieldWidth& e) {
    if (!quiet) ReportError(where.empty() ? "XbConnection." + op : where, op + ": " + e.Message());
  } catch (Exception&) {
    if (!quiet) ReportError(where.empty() ? "XbConnection." + op : where, what.empty() ? op : what);
  }
  return fallback;
}

template <class Body>
void TXbConnection::guardVoid(const AnsiString& op, Body body, const AnsiString& where) {
  guard<int32_t>(op, 0, [&] { return body(), 0; }, false, where);
}

std::string_view TXbConnection::streamBytes(const AnsiString& code, const AnsiString& payload, bool sendStream) {
  return StreamBytes(receive(code, payload, sendStream));
}

AnsiString TXbConnection::Alias(int32_t wa) { return guard<AnsiString>("Alias", {}, [&] { return xmit("0530", D(wa)); }); }
void TXbConnection::AppendBlank() { guardVoid("AppendBlank", [&] { xmit("0473"); }); }
int32_t TXbConnection::Bof() { return guard("Bof", kFalse, [&] { return Bool(xmit("0476")); }); }
void TXbConnection::Close() { guardVoid("Close", [&] { xmit("0523"); }); }
void TXbConnection::CloseIndexes() { guardVoid("CloseIndexes", [&] { xmit("0533"); }, "CloseIndexes"); }
void TXbConnection::Commit() { guardVoid("Commit", [&] { xmit("0511"); }); }
int32_t TXbConnection::Count() { return guard("Count", 0, [&] { return Dec(xmit("0516")); }); }
AnsiString TXbConnection::DBFilter() { return guard<AnsiString>("DBFilter", {}, [&] { return xmit("0539"); }); }
void TXbConnection::Delete() { guardVoid("Delete", [&] { xmit("0477"); }); }
int32_t TXbConnection::Deleted() { return guard("Deleted", kFalse, [&] { return Bool(xmit("0478")); }); }
int32_t TXbConnection::Eof() { return guard("Eof", kFalse, [&] { return Bool(xmit("0479")); }, true); }

int32_t TXbConnection::EvalLogical(const AnsiString& e) {
  return guard("EvalLogical", kFalse, [&] { return Bool(xmit("0543", e)); });
}
double TXbConnection::EvalNumeric(const AnsiString& e) {
  return guard("EvalNumeric", 0.0, [&] { return Float(xmit("0544", e)); });
}
AnsiString TXbConnection::EvalString(const AnsiString& e) {
  return guard<AnsiString>("EvalString", {}, [&] { return xmit("0545", e); });
}
int32_t TXbConnection::EvalTest(const AnsiString& e) {
  return guard("EvalTest", 0, [&] { return Dec(xmit("0546", Trim(e))); });
}

int32_t TXbConnection::FieldDecimals(const AnsiString& f) {
  return guard("FieldDecimals", 0, [&] { return Dec(xmit("0611", f)); });
}
AnsiString TXbConnection::FieldName(int32_t n) {
  return guard<AnsiString>("FieldName", {}, [&] { return xmit("0612", D(n)); });
}
int32_t TXbConnection::FieldOffset(const AnsiString& f) {
  return guard("FieldOffset", 0, [&] { return Dec(xmit("0614", f)); });
}
AnsiString TXbConnection::FieldType(const AnsiString& f) {
  return guard<AnsiString>("FieldType", {}, [&] { return xmit("0615", f); });
}
int32_t TXbConnection::FieldWidth(const AnsiString& f) {
  return guard("FieldWidth", 0, [&] { return Dec(xmit("0616", f)); });
}

int32_t TXbConnection::FileExists(const AnsiString& db, const AnsiString& file) {
  return guard("FileExists", kFalse, [&] {
    return Bool(xmit("0054", T(db, 255, "DatabaseName") + T(ExtractFileName(file), 255, "FileName")));
  });
}

int32_t TXbConnection::Found() { return guard("Found", kFalse, [&] { return Bool(xmit("0548")); }); }

int32_t TXbConnection::GetBlob(const AnsiString& f, void* buffer, int32_t size) {
  return guard("GetBlob", 0, [&] {
    std::string_view bytes = streamBytes("0480", f);
    int32_t n = std::min(static_cast<int32_t>(bytes.size()), std::max(0, size));
    if (n > 0) std::memcpy(buffer, bytes.data(), static_cast<size_t>(n));
    return n;
  });
}

int32_t TXbConnection::GetBlobLength(const AnsiString& f) {
  return guard("GetBlobLength", 0, [&] { return Dec(xmit("0481", f)); });
}
AnsiString TXbConnection::GetDateString(const AnsiString& f) {
  return guard<AnsiString>("GetDateString", {}, [&] { return xmit("0484", f); });
}
double TXbConnection::GetDouble(const AnsiString& f) {
  return guard("GetDouble", 0.0, [&] { return Float(xmit("0485", f)); });
}
int32_t TXbConnection::GetInteger(const AnsiString& f) {
  return guard("GetInteger", 0, [&] { return Dec(xmit("0486", f)); });
}

char* TXbConnection::GetMemo(const AnsiString& f, int32_t width) {
  guard<AnsiString>("GetMemo", {}, [&] { return xmit("0489", H(0, 8) + H(width, 8) + f); });
  return FAnswer.data();
}

void TXbConnection::GetRecord(char* buffer, int32_t size) {
  guardVoid("GetRecord", [&] {
    std::string_view bytes = streamBytes("0515");
    size_t n = std::min(bytes.size(), static_cast<size_t>(std::max(0, size)));
    if (n > 0) std::memcpy(buffer, bytes.data(), n);
  });
}

AnsiString TXbConnection::GetScope(int32_t which) {
  return guard<AnsiString>("GetScope", {}, [&] { return xmit("0550", D(which)); });
}
AnsiString TXbConnection::GetStructure() {
  return guard<AnsiString>("GetStructure", {}, [&] { return streamText("0581"); });
}
AnsiString TXbConnection::GetTrimString(const AnsiString& f) {
  return guard<AnsiString>("GetTrimString", {}, [&] { return xmit("0492", f); });
}
int32_t TXbConnection::Go(int32_t recNo) { return guard("Go", 0, [&] { return Hex(xmit("0493", H(recNo, 8))); }); }
void TXbConnection::GoBottom() { guardVoid("GoBottom", [&] { xmit("0494"); }); }
void TXbConnection::GoTop() { guardVoid("GoTop", [&] { xmit("0495"); }); }

AnsiString TXbConnection::IndexCondition() {
  return guard<AnsiString>("IndexCondition", {}, [&] { return xmit("0552"); }, true);
}
AnsiString TXbConnection::IndexKey() { return guard<AnsiString>("IndexKey", {}, [&] { return xmit("0554"); }); }
AnsiString TXbConnection::IndexKeyField() {
  return guard<AnsiString>("IndexKeyField", {}, [&] { return xmit("0555"); });
}
AnsiString TXbConnection::IndexName(int32_t tag) {
  return guard<AnsiString>("IndexName", {}, [&] { return xmit("0525", D(tag)); });
}
int32_t TXbConnection::IndexOpen(const AnsiString& file) {
  return guard("IndexOpen", 0, [&] {
    return Dec(Trim(xmit("0620", T(FDatabaseAlias, 255, "DatabaseName") + T(file, 255, "IndexFile"))));
  });
}
int32_t TXbConnection::IndexOrd() { return guard("IndexOrd", 0, [&] { return Dec(Trim(xmit("0526"))); }); }
int32_t TXbConnection::IndexType() { return guard("IndexType", 0, [&] { return Dec(Trim(xmit("0553"))); }); }
int32_t TXbConnection::IsEncrypted(int32_t v) {
  return guard("IsEncrypted", kFalse, [&] { return Bool(xmit("0578", D(v))); });
}
void TXbConnection::OrderPosSet(double position) { guardVoid("OrderPosSet", [&] { xmit("0558", F(position)); }); }

int32_t TXbConnection::PutBlob(const AnsiString& f, const void* data, int32_t length) {
  return guard("PutBlob", 0, [&] {
    int32_t n = std::max(0, length);
    FSendStream.Clear();
    AnsiString head = T(f, 10, "FieldName") + H(n, 8);
    FSendStream.WriteBuffer(head.data(), static_cast<int64_t>(head.size()));
    if (n > 0) FSendStream.WriteBuffer(data, n);
    streamText("0498", {}, true);
    return Hex(xmit("0624"));
  });
}

void TXbConnection::PutRecord(const char* buffer, int32_t size) {
  guardVoid("PutRecord", [&] {
    FSendStream.Clear();
    if (size > 0) FSendStream.WriteBuffer(buffer, size);
    streamText("0499", {}, true);
  });
}

int32_t TXbConnection::QueryRecCount() { return guard("QueryRecCount", 0, [&] { return Dec(xmit("0519")); }); }

int32_t TXbConnection::QueryRowCount(const AnsiString& expr, int32_t& recordCount) {
  recordCount = 0;
  return guard("QueryRowCount", 0, [&] {
    AnsiString a = Trim(xmit("0646", expr));
    TAnswerReader r(a);
    int32_t first = r.HexField(8);
    recordCount = r.HexField(8);
    return first;
  });
}

int32_t TXbConnection::QueryTest(const AnsiString& e) {
  return guard("QueryTest", 0, [&] { return Dec(Trim(xmit("0570", e))); });
}
int32_t TXbConnection::RecCount() { return guard("RecCount", 0, [&] { return Dec(Trim(xmit("0470"))); }); }
int32_t TXbConnection::RecNo() { return guard("RecNo", 0, [&] { return Dec(xmit("0500")); }); }

void TXbConnection::Replace(const AnsiString& f, int32_t kind, const void* value) {
  guardVoid("Replace", [&] {
    int32_t code = 0;
    AnsiString bytes = ReplaceValue(kind, value, code);
    AnsiString payload = T(f, 10, "FieldName") + H(code, 4) + bytes;
    FSendStream.Clear();
    FSendStream.WriteBuffer(payload.data(), static_cast<int64_t>(payload.size()));
    streamText("0501", {}, true);
  });
}

int32_t TXbConnection::Rlock(int32_t recNo) { return guard("Rlock", kFalse, [&] { return Bool(xmit("0502", D(recNo))); }); }

int32_t TXbConnection::Seek(const AnsiString& key) {
  return guard("Seek", kFalse, [&] {
    AnsiString a = xmit("0503", key);
    return !a.empty() && a[0] == 'Y' ? kTrue : kFalse;
  }, true);
}

int32_t TXbConnection::Select(int32_t wa) {
  int32_t previous = FCurrentWorkArea;
  if (wa == FCurrentWorkArea) return previous;
  guardVoid("Select", [&] {
    xmit("0504", H(wa, 4));
    FCurrentWorkArea = wa;
  });
  return previous;
}

int32_t TXbConnection::SetCentury(bool on) {
  return GetActive() ? guard("SetCentury", 0, [&] { return xmit("0556", YN(on)), 0; }) : 0;
}
int32_t TXbConnection::SetDateFormat(int32_t code) {
  return guard("SetDateFormat", 0, [&] { return xmit("0557", H(code, 8)), 0; });
}
int32_t TXbConnection::SetDeleted(bool on) {
  return GetActive() ? guard("SetDeleted", 0, [&] { return xmit("0508", YN(on)), 0; }) : 0;
}
int32_t TXbConnection::SetEpoch(int32_t year) {
  return GetActive() ? guard("SetEpoch", 0, [&] { return Dec(Trim(xmit("0593", H(year, 8)))); }) : 0;
}
int32_t TXbConnection::SetExact(bool on) {
  return GetActive() ? guard("SetExact", 0, [&] { return xmit("0506", YN(on)), 0; }) : 0;
}
void TXbConnection::SetLockTimeOut(int32_t seconds) {
  guardVoid("SetLockTimeOut", [&] { transmit("0577", D(seconds), false); });
}
int32_t TXbConnection::SetMemoBlockSize(int32_t size) {
  return GetActive() ? guard("SetMemoBlockSize", 0, [&] { return Hex(xmit("0594", T(D(size), 10, "BlockSize"))); })
                     : 0;
}
int32_t TXbConnection::SetOrder(int32_t order) {
  return guard("SetOrder", 0, [&] { return Dec(Trim(xmit("0507", H(order, 4)))); });
}
void TXbConnection::SetTablePassword(const AnsiString& password) {
  guardVoid("SetPassword", [&] { transmit("0566", password, false); });
}

int32_t TXbConnection::SetScope(const AnsiString& low, const AnsiString& high) {
  return guard("SetScope", kFalse, [&] {
    return Bool(xmit("0567", H(static_cast<int64_t>(low.size()), 4) + H(static_cast<int64_t>(high.size()), 4) +
                                 T(low, 255, "ScopeBegin") + T(high, 255, "ScopeEnd")));
  });
}

int32_t TXbConnection::SetSoftSeek(bool on) {
  return GetActive() ? guard("SetSoftSeek", 0, [&] { return xmit("0505", YN(on)), 0; }) : 0;
}
void TXbConnection::SetTranslate(bool on) { guardVoid("SetTranslate", [&] { transmit("0587", YN(on), false); }); }
int32_t TXbConnection::SetTurboRead(bool on) {
  return GetActive() ? guard("SetTurboRead", 0, [&] { return xmit("0576", YN(on)), 0; }) : 0;
}
void TXbConnection::Skip(int32_t count) { guardVoid("Skip", [&] { xmit("0509", H(count, 8)); }); }

int32_t TXbConnection::SysProp(int32_t property, int32_t value) {
  if (!GetActive()) return 0;
  AnsiString answer;
  if (!guard("SysProp", false, [&] { return answer = xmit("0563", H(property, 8) + SysPropValue(property, value)), true; }))
    return 0;
  int32_t result;
  if (ParseHexStrict(Trim(answer), result)) return result;
  ReportError("XbConnection.SysProp", "Converting data");
  return 0;
}

int32_t TXbConnection::TagArea(const AnsiString& tag) {
  return guard("TagArea", 0, [&] { return Dec(Trim(xmit("0517", tag))); });
}
AnsiString TXbConnection::TagName(int32_t tag) {
  return guard<AnsiString>("TagName", {}, [&] { return xmit("0518", H(tag, 4)); });
}

int32_t TXbConnection::TraverseTable(const TXbTraverseRequest& q, int32_t recordSize,
                                     std::vector<TXbTraverseEntry>& entries) {
  entries.clear();
  return guard("TraverseTable", -1, [&] {
    AnsiString payload = YN(q.Forward) + YN(q.Inclusive) + D(q.Order) + D(q.AtFirst) + D(q.AtLast) +
                         H(q.Count, 8) + H(q.RecNo, 8);
    AnsiString answer = streamText("0626", payload);
    TAnswerReader r(answer);
    int32_t n = r.HexField(8);
    if (n < 0 || recordSize < 0) throw EXbBadFrame("Bad count");
    int32_t status = -1;
    for (int32_t i = 0; i < n; ++i) {
      TXbTraverseEntry e;
      AnsiString digit = r.Take(1);
      if (digit[0] < '0' || digit[0] > '9') throw EXbBadFrame("Bad status");
      e.Status = status = digit[0] - '0';
      e.RecNo = r.HexField(8);
      e.PositionedRecNo = r.HexField(8);
      e.Record = r.Take(static_cast<size_t>(recordSize));
      entries.push_back(std::move(e));
    }
    return status;
  }, false, {}, "Make sure DatabaseName is set to a valid alias.");
}

void TXbConnection::Unlock(int32_t recNo) { guardVoid("Unlock", [&] { xmit("0510", H(recNo, 8)); }); }

void TXbConnection::Use(const TXbServerOpenRequest& q, TXbServerOpenResult& out) {
  out = TXbServerOpenResult{};
  AnsiString answer;
  bool answered = false;
  guardVoid("Use", [&] {
    AnsiString payload = T(q.DatabaseName, 255, "DatabaseName") + T(ExtractFileName(q.TableName), 255, "TableName") +
                         D(q.OpenMode) + D(q.TableType) + T(q.Password, 255, "Password") + YN(q.TurboRead) +
                         T(q.IndexName, 255, "IndexName") + H(q.Epoch, 4) + H(q.DateFormat, 4) +
                         H(q.MemoBlockSize, 4) + YN(q.Deleted) + YN(q.Century) + YN(q.SoftSeek) + YN(q.Exact) +
                         YN(q.OEMTranslate) + YN(q.ApplySettings) + D(q.CommitLevel);
    FDatabaseAlias = q.DatabaseName;
    answer = xmit("0469", payload);
    answered = true;
  });
  if (!answered) return;
  guardVoid("UseEx", [&] {
    TXbServerOpenResult res;
    TAnswerReader r(answer);
    res.WorkArea = r.HexField(4);
    res.RecordCount = r.HexField(8);
    res.FieldCount = r.HexField(8);
    res.RecordSize = r.HexField(8);
    res.Encrypted = r.Take(1) == "Y";
    res.IndexCondition = Trim(r.Take(55));
    r.Take(200);
    res.CurrentOrder = r.HexField(4);
    int32_t n = r.HexField(4);
    int32_t blockLength = r.HexField(8);
    if (n < 0 || blockLength < 0 || static_cast<int64_t>(n) * IndexEntrySize > blockLength ||
        static_cast<size_t>(blockLength) > r.Left())
      throw EXbBadFrame("Bad index block");
    TAnswerReader block(r.Take(static_cast<size_t>(blockLength)));
    for (int32_t i = 0; i < n; ++i) {
      TXbServerIndexDef d;
      d.Name = Trim(block.Take(255));
      d.Fields = Trim(block.Take(255));
      d.Source = Trim(block.Take(255));
      d.Expression = Trim(block.Take(255));
      AnsiString flags = block.Take(6);
      d.Primary = flags[0] == '1';
      d.Unique = flags[1] == '1';
      d.Descending = flags[2] == '1';
      d.CaseInsensitive = flags[3] == '1';
      d.IsExpression = flags[4] == '1';
      d.NonMaintained = flags[5] == '1';
      res.Indexes.push_back(std::move(d));
    }
    res.ErrorCode = r.HexField(8);
    res.ErrorMessage = r.Rest();
    out = std::move(res);
    if (out.WorkArea > 0 && out.ErrorCode <= 0) FCurrentWorkArea = out.WorkArea;
  });
}

int32_t TXbConnection::UseEx(const AnsiString& file, const AnsiString& alias, int32_t mode, int32_t kind,
                             int32_t commitLevel) {
  return guard("UseEx", 0, [&] {
    int32_t wa = Hex(xmit("0467", T(file, 255, "FileName") + T(alias, 255, "Alias") + D(mode) + D(kind) + D(commitLevel)));
    if (wa > 0) FCurrentWorkArea = wa;
    return wa;
  });
}

AnsiString TXbConnection::EngineVersion() { return guard<AnsiString>("Version", {}, [&] { return xmit("0618"); }); }
int32_t TXbConnection::WorkArea(const AnsiString& alias) {
  return guard("WorkArea", 0, [&] { return Dec(Trim(xmit("0571", alias))); });
}

// --- SQL statements and server procedures

namespace {

constexpr const char* SqlEngineMissing = "Missing required file xbesql7.DLL";

AnsiString SqlMessage(const char* buffer) { return AnsiString(buffer, strnlen(buffer, xbSqlMessageSize)); }

}  // namespace

int32_t TXbConnection::sql_Prepare(TAccessMethod method, const TXbSqlPrepareRequest& r, AnsiString& message) {
  message.clear();
  if (method == amLocal) {
    if (!LoadSqlEngine()) return message = SqlEngineMissing, 0;
    char buffer[xbSqlMessageSize] = {};
    int32_t handle = dll_sql_Prepare(r.DatabaseAlias.c_str(), r.Century ? -1 : 0, r.DateFormat.c_str(),
                                     r.Deleted ? -1 : 0, r.ReadOnly ? -1 : 0, r.MemoBlockSize, r.TableType,
                                     r.Password.c_str(), r.OEMTranslate ? -1 : 0, r.CommitLevel, r.TableList.data(),
                                     static_cast<int32_t>(r.TableList.size()), r.Params.data(),
                                     static_cast<int32_t>(r.Params.size()), buffer);
    message = SqlMessage(buffer);
    return handle;
  }
  return guard("sql_Prepare", 0, [&] {
    AnsiString payload = T(r.DatabaseAlias, 255, "DatabaseName") + YN(r.Century) + T(r.DateFormat, 10, "DateFormat") +
                         YN(r.Deleted) + YN(r.ReadOnly) + H(r.MemoBlockSize, 8) + H(r.TableType, 1) +
                         T(r.Password, 255, "Password") + YN(r.OEMTranslate) + H(r.CommitLevel, 1) + r.TableList +
                         r.Params;
    FSendStream.SetSize(0);
    FSendStream.Write(payload.data(), static_cast<int64_t>(payload.size()));
    AnsiString answer = streamText("0800", {}, true);
    if (answer.size() < 16) throw EConvertError("short answer");
    int32_t handle = Hex(answer.substr(0, 8));
    Hex(answer.substr(8, 8));
    message = answer.substr(16);
    return handle;
  });
}

TXbSqlOpenResult TXbConnection::sql_OpenSQL(TAccessMethod method, int32_t handle, const AnsiString& sql) {
  TXbSqlOpenResult result;
  if (method == amLocal) {
    if (!LoadSqlEngine()) return result.ErrorCode = 1, result.Message = SqlEngineMissing, result;
    char buffer[xbSqlMessageSize] = {};
    result.ErrorCode =
        dll_sql_OpenSQL(handle, sql.c_str(), &result.RecordCount, &result.FieldCount, &result.RecordSize, buffer);
    result.Message = SqlMessage(buffer);
    return result;
  }
  return guard("sql_OpenSQL", result, [&] {
    AnsiString answer = xmit("0802", H(handle, 8) + Trim(sql));
    if (answer.size() < 32) throw EConvertError("short answer");
    TXbSqlOpenResult r;
    r.RecordCount = Hex(answer.substr(0, 8));
    r.FieldCount = Hex(answer.substr(8, 8));
    r.RecordSize = Hex(answer.substr(16, 8));
    r.ErrorCode = Hex(answer.substr(24, 8));
    r.Message = answer.substr(32);
    return r;
  });
}

void TXbConnection::sql_CloseSQL(TAccessMethod method, int32_t handle) {
  if (method == amLocal) {
    if (LoadSqlEngine()) dll_sql_CloseSQL(handle);
    return;
  }
  guardVoid("sql_CloseSQL", [&] { xmit("0804", H(handle, 8)); });
}

void TXbConnection::sql_UnPrepare(TAccessMethod method, int32_t handle) {
  if (method == amLocal) {
    if (LoadSqlEngine()) dll_sql_UnPrepareSQL(handle);
    return;
  }
  guardVoid("sql_UnPrepare", [&] { xmit("0801", H(handle, 8)); });
}

AnsiString TXbConnection::sql_GetStructure(TAccessMethod method, int32_t handle) {
  if (method == amLocal) {
    if (!LoadSqlEngine()) return {};
    AnsiString text(static_cast<size_t>(std::max(0, dll_sql_GetStructure(handle, nullptr, 0))), '\0');
    dll_sql_GetStructure(handle, text.data(), static_cast<int32_t>(text.size()));
    return text;
  }
  return guard<AnsiString>("sql_GetStructure", {}, [&] { return streamText("0806", H(handle, 8)); });
}

AnsiString TXbConnection::sql_GetRecord(TAccessMethod method, int32_t handle, int32_t first, int32_t count,
                                        int32_t bufferSize) {
  if (method == amLocal) {
    if (!LoadSqlEngine() || bufferSize <= 0) return {};
    AnsiString block(static_cast<size_t>(bufferSize), '\0');
    block.resize(static_cast<size_t>(std::max(0, dll_sql_GetRecord(handle, first, count, block.data(), bufferSize))));
    return block;
  }
  return guard<AnsiString>("sql_GetRecord", {}, [&] {
    return streamText("0807", H(handle, 8) + H(first, 8) + H(count, 8) + H(bufferSize, 8));
  });
}

AnsiString TXbConnection::sql_ReadBlobData(TAccessMethod method, int32_t handle, int32_t recordId, int32_t fieldNo) {
  if (method == amLocal) {
    if (!LoadSqlEngine()) return {};
    int32_t n = dll_sql_ReadBlobData(handle, recordId, fieldNo, nullptr, 0);
    AnsiString blob(static_cast<size_t>(std::max(0, n)), '\0');
    if (n > 0) dll_sql_ReadBlobData(handle, recordId, fieldNo, blob.data(), n);
    return blob;
  }
  return guard<AnsiString>("sql_ReadBlobData", {}, [&] {
    return streamText("0808", H(handle, 8) + H(recordId, 8) + H(fieldNo, 8));
  });
}

TMemoryStream* TXbConnection::ExecProc() {
  if (!FActive) {
    ReportError("XbConnection.ExecProc", "XbConnection not connected");
    return nullptr;
  }
  return guard<TMemoryStream*>("ExecProc", nullptr, [&] { return receive("0042", {}, true); });
}

TMemoryStream* TXbConnection::SetDLLProcName(const AnsiString& databaseName, const AnsiString& procName) {
  return guard<TMemoryStream*>("SetDLLProcName", nullptr, [&] {
    return receive("0044", T(databaseName, 255, "DatabaseName") + T(procName, 255, "ProcName"), false);
  });
}

#include "tables/XbConnection.h"

#include <sys/statvfs.h>

#include <algorithm>

#include "platform/rtl/Files.h"

namespace {

constexpr unsigned PollIntervalMs = 1000;

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

void ForgetRemovedConnection(TDataSet& dataSet, TXbConnection*& connection, TComponent* component,
                             TOperation operation) {
  // Compared as addresses: the connection's own destructor may be what sends the notice.
  if (operation != opRemove || !connection || static_cast<void*>(component) != static_cast<void*>(connection))
    return;
  try {
    dataSet.Close();
  } catch (...) {
  }
  connection = nullptr;
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
  TXbWireWriter w;
  w.Text(FPassword, 255, "Password").Text(FUser, 255, "User").Text(IntToStr(MachineVolumeSerial()), 255, "Machine");
  w.Text("", 255, "").Text("Default", 255, "").Decimal(6).YesNo(FCompression).Decimal(0);
  w.Text(FServerName, 255, "ServerName").Text(FGroupName, 255, "GroupName");
  const AnsiString& payload = w.Bytes();
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
    ClientXmit("0465", TXbWireWriter().TextOrWhole(FUser, 10).Take(), true);
  }
  if (OnLogout) OnLogout(this);
  FLoggedIn = false;
}

#include "office/OxOffice.h"

TCoCreateInstanceEx OxCoCreateInstanceEx =
    reinterpret_cast<TCoCreateInstanceEx>(GetOleProcAddress("ole32.dll", "CoCreateInstanceEx"));

TOxOfficeComponent::TOxOfficeComponent(TComponent* owner) : TOxBaseComponent(owner) {}

TOxOfficeComponent::~TOxOfficeComponent() = default;

void TOxOfficeComponent::Loaded() {
  TOxBaseComponent::Loaded();
  SetConnected(FStreamedConnected);
}

void TOxOfficeComponent::SetConnected(bool value) {
  if (HasState(csLoading)) {
    FStreamedConnected = value;
    return;
  }
  if (value == GetConnected()) return;
  TOxComponentStateFlag flag = value ? oxsConnecting : oxsDisconnecting;
  SetOxState(flag, true);
  try {
    if (value) {
      try {
        Connect();
        SyncProperties();
        DoConnect();
      } catch (...) {
        AbandonConnect();
        throw;
      }
    } else {
      DoDisconnect();
      Disconnect();
      FOfficeVersion = 0;
    }
  } catch (...) {
    SetOxState(flag, false);
    throw;
  }
  SetOxState(flag, false);
  for (auto& listener : FListeners)
    if (*listener) (*listener)(this, value);
}

void TOxOfficeComponent::SetMachineName(const WideString& value) {
  if (SameText(WideToAnsi(value), WideToAnsi(FMachineName))) return;
  if (Connected()) throw EOxOfficeError("This property cannot be set while the server is connected.");
  FMachineName = value;
}

bool TOxOfficeComponent::CheckConnected(bool raise, bool property) {
  bool connected = Connected();
  if (!connected && raise)
    throw EOxOfficeError(property ? "You must be connected in order to access this property."
                                  : "You must be connected in order to call this method.");
  return connected;
}

uint8_t TOxOfficeComponent::GetOfficeVersion() {
  if (Connected() && FOfficeVersion == 0) FOfficeVersion = ParseOfficeVersion(GetServerVersion());
  return FOfficeVersion;
}

uint8_t TOxOfficeComponent::ParseOfficeVersion(const AnsiString& version) {
  if (version.empty()) return 0;
  size_t dot = version.find('.');
  AnsiString major = dot != AnsiString::npos && dot > 0 ? version.substr(0, dot) : version;
  int64_t v = 0;
  if (!TryStrToInt(major, v)) return 1;
  return v == 9 ? 3 : v == 10 ? 4 : 1;
}

void TOxOfficeComponent::GetFileFilter(AnsiString& filter, AnsiString& defaultExt) const {
  filter = "All Files|*.*";
  defaultExt = "";
}

void TOxOfficeComponent::AddConnectListener(TOxConnectListener listener) {
  FListeners.push_back(std::make_unique<TOxConnectListener>(std::move(listener)));
}

void TOxOfficeComponent::DoConnect() {
  if (OnOxConnect) OnOxConnect(this);
}

void TOxOfficeComponent::DoDisconnect() {
  if (OnOxDisconnect) OnOxDisconnect(this);
}

void TOxOfficeComponent::DoGetInstance(TComPtr<IDispatch>& instance, const CLSID& clsid, const IID& iid) {
  if (OnGetInstance) OnGetInstance(this, instance, clsid, iid);
}

HRESULT TOxOfficeComponent::CreateServer(const CLSID& clsid, const IID& iid, TComPtr<IDispatch>& instance, bool* created) {
  instance.Reset();
  if (created) *created = false;
  DoGetInstance(instance, clsid, iid);
  if (instance) return S_OK;
  HRESULT hr;
  if (FMachineName.empty()) {
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, iid, instance.PutVoid());
  } else {
    if (!OxCoCreateInstanceEx) throw EOxOfficeError("You must install DCOM in order to run objects remotely.");
    char name[16];
    uint32_t size = sizeof name;
    bool here = !GetComputerName(name, size) || SameText(name, WideToAnsi(FMachineName));
    uint32_t context = here ? CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER : CLSCTX_REMOTE_SERVER;
    COSERVERINFO server{FMachineName};
    MULTI_QI request{&iid, nullptr, S_OK};
    hr = OxCoCreateInstanceEx(clsid, nullptr, context, &server, 1, &request);
    if (SUCCEEDED(hr)) hr = request.hr;
    if (SUCCEEDED(hr)) instance = TComPtr<IDispatch>::Attach(reinterpret_cast<IDispatch*>(request.pItf));
    else if (request.pItf) request.pItf->Release();
  }
  if (FAILED(hr)) instance.Reset();
  else if (created) *created = true;
  return hr;
}

void TOxOfficeComponent::AdviseEvents(IUnknown* server, const IID& iid) {
  FAdapter = std::make_unique<TOxEventAdapter>(
      server, [this](const IID& i, DISPID d, std::vector<OleVariant>& args) { DispatchEvent(i, d, args); });
  FAdapter->AddSink(iid);
}

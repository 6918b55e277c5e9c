// The generic part of the automation-server components: connecting and disconnecting, server
// creation on this or another machine, event advising, and the office generation of the server.
#pragma once

#include <memory>
#include <vector>

#include "office/OxEvents.h"
#include "platform/classlib/Classes.h"
#include "platform/rtl/StringList.h"

QUORVEX_EXCEPTION(EOxOfficeError, Exception);

class TOxBaseComponent : public TComponent {
public:
  explicit TOxBaseComponent(TComponent* owner) : TComponent(owner) {}
  AnsiString Version() const { return "1.63"; }
  void SetVersion(const AnsiString&) {}
};

enum TOxPropDirection { pdToServer, pdFromServer };

enum TOxComponentStateFlag : uint8_t { oxsConnecting = 1, oxsDisconnecting = 2, oxsDispatching = 4 };

class TOxOfficeComponent;
using TOxConnectListener = std::function<void(TOxOfficeComponent* component, bool connected)>;
using TOxGetInstanceEvent =
    std::function<void(TObject* Sender, TComPtr<IDispatch>& Instance, const CLSID& clsid, const IID& iid)>;

class TOxOfficeComponent : public TOxBaseComponent {
public:
  explicit TOxOfficeComponent(TComponent* owner);
  ~TOxOfficeComponent() override;

  bool Connected() { return GetConnected(); }
  void SetConnected(bool value);
  const WideString& MachineName() const { return FMachineName; }
  void SetMachineName(const WideString& value);
  TOxPropDirection PropDirection() const { return FPropDirection; }
  void SetPropDirection(TOxPropDirection d) { FPropDirection = d; }
  uint8_t OxState() const { return FState; }
  bool HasOxState(TOxComponentStateFlag f) const { return (FState & f) != 0; }

  // Raises EOxOfficeError when not connected and raise is set; property chooses the message.
  bool CheckConnected(bool raise, bool property);
  uint8_t GetOfficeVersion();
  static uint8_t ParseOfficeVersion(const AnsiString& version);
  virtual void GetFileFilter(AnsiString& filter, AnsiString& defaultExt) const;
  virtual void GetServerInfo(TStringList* list) = 0;
  virtual AnsiString GetServerVersion() { return ""; }
  // Tells a form designer that the owner changed; this platform has none.
  void NotifyDesigner() {}

  void AddConnectListener(TOxConnectListener listener);

  TNotifyEvent OnOxConnect;
  TNotifyEvent OnOxDisconnect;
  TOxGetInstanceEvent OnGetInstance;

protected:
  void Loaded() override;
  virtual void Connect() = 0;
  virtual void Disconnect() = 0;
  // Undoes a connect that failed half way; the exception then goes on.
  virtual void AbandonConnect() = 0;
  virtual void DoConnect();
  virtual void DoDisconnect();
  virtual void DoGetInstance(TComPtr<IDispatch>& instance, const CLSID& clsid, const IID& iid);
  virtual void SyncProperties() {}
  virtual bool GetConnected() = 0;
  virtual void DispatchEvent(const IID& iid, DISPID dispid, std::vector<OleVariant>& args) = 0;
  // Answers the server's result code; created tells whether this call made the server (rather
  // than an OnGetInstance handler supplying it).
  virtual HRESULT CreateServer(const CLSID& clsid, const IID& iid, TComPtr<IDispatch>& instance, bool* created = nullptr);
  void AdviseEvents(IUnknown* server, const IID& iid);
  void FreeAdapter() { FAdapter.reset(); }
  void SetOxState(TOxComponentStateFlag f, bool on) { FState = on ? (FState | f) : (FState & ~f); }

private:
  uint8_t FState = 0;
  std::vector<std::unique_ptr<TOxConnectListener>> FListeners;
  std::unique_ptr<TOxEventAdapter> FAdapter;
  WideString FMachineName;
  TOxPropDirection FPropDirection = pdToServer;
  bool FStreamedConnected = false;
  uint8_t FOfficeVersion = 0;
};

// The remote creation entry, looked up at start-up; tests clear it to stand for a machine without it.
extern TCoCreateInstanceEx OxCoCreateInstanceEx;

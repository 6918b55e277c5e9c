// The spreadsheet server for tests: its application also answers for what a person at the
// server's window would do.
#pragma once

#include <algorithm>

#include "platform/com/XlApplication.h"
#include "platform/com/XlServer.h"

constexpr IID IID_XlUserActions = StringToGUID("{6F1C3A52-8D0B-4E27-9A3C-51D2E0B7C410}");
class IXlUserActions : public IUnknown {
public:
  // Raises an application event as the server would (arguments left to right); true when a
  // by-reference Cancel came back set.
  virtual bool RaiseEvent(DISPID dispid, const std::vector<OleVariant>& args) = 0;
  // Makes a member of the application fail from now on (DISPID_UNKNOWN: none).
  virtual void FailMember(DISPID dispid) = 0;
  // Makes the application's event connection point refuse sinks.
  virtual void RefuseEvents(bool refuse) = 0;

protected:
  ~IXlUserActions() = default;
};

class TXlTestApplication final : public TXlApplication {
protected:
  HRESULT QueryMore(const IID& iid, void** obj) override {
    if (iid != IID_XlUserActions) return TXlApplication::QueryMore(iid, obj);
    *obj = static_cast<IXlUserActions*>(&FUser);
    AddRef();
    return S_OK;
  }

private:
  class TUser final : public IXlUserActions {
  public:
    explicit TUser(TXlTestApplication& app) : FApp(app) {}
    HRESULT QueryInterface(const IID& iid, void** obj) override { return FApp.QueryInterface(iid, obj); }
    ULONG AddRef() override { return FApp.AddRef(); }
    ULONG Release() override { return FApp.Release(); }
    bool RaiseEvent(DISPID dispid, const std::vector<OleVariant>& args) override {
      bool cancellable = std::any_of(args.begin(), args.end(), [](const OleVariant& a) { return a.IsByRef(); });
      return FApp.Fire(dispid, args, cancellable);
    }
    void FailMember(DISPID dispid) override { FApp.FFailing = dispid; }
    void RefuseEvents(bool refuse) override { FApp.FRefuseEvents = refuse; }

  private:
    TXlTestApplication& FApp;
  };
  TUser FUser{*this};
};

inline HRESULT CreateTestExcelServer(const IID& iid, void** obj) {
  TComPtr<TXlTestApplication> app = MakeAuto<TXlTestApplication>();
  return app->QueryInterface(iid, obj);
}

// Registers the test server in place of the plain one.
inline void RegisterTestExcelServer() {
  if (IsComClassRegistered(CLASS_ExcelApplication)) UnregisterComClass(CLASS_ExcelApplication);
  RegisterComClass(CLASS_ExcelApplication, CreateTestExcelServer);
}

// The application object of the spreadsheet server: its workbooks, its settings and its events.
#pragma once

#include "platform/com/ConnectionPoints.h"
#include "platform/com/XlWorkbook.h"

// Not final: tests stand in for a person at the server through a subclass.
class TXlApplication : public TXlObject<_Application> {
public:
  TXlApplication();
  ~TXlApplication() override;

  // Raises an event to the advised sinks while events are enabled; true when Cancel came back set.
  bool Fire(DISPID dispid, std::vector<OleVariant> args, bool cancellable = false);
  TXlWorkbook* ActiveBook() const { return FActiveBook; }
  void ActivateBook(TXlWorkbook* book);
  TComPtr<TXlWorkbook> AddBook(const WideString& name, int sheets);
  void CloseBook(TXlWorkbook* book);
  std::vector<TComPtr<TXlWorkbook>>& Books() { return FBooks; }
  int SheetsInNewWorkbook = 3;
  int NextBook = 1;
  bool DisplayAlerts = true;
  bool ScreenUpdating = true;
  void CheckMember(DISPID id) const {
    if (id == FFailing) XlServerError("The server refused the call.");
  }

#define QX_PROP(Name, Type)                                                                     \
  HRESULT Get_##Name(LCID, Type* v) override { return get(DISPID_##Name, v); }                  \
  HRESULT Set_##Name(LCID, Type v) override { return DualPut(DISPID_##Name, OleVariant(v)); }
#define QX_GET(Name, Type) \
  HRESULT Get_##Name(LCID, Type* v) override { return get(DISPID_##Name, v); }
  HRESULT Get_Workbooks(LCID, Workbooks** r) override { return GetIntf(DISPID_Workbooks, IID_Workbooks, r); }
  HRESULT Get_ActiveWindow(LCID, Window** r) override { return GetIntf(DISPID_ActiveWindow, IID_Window, r); }
  QX_PROP(Left, double)
  QX_PROP(Top, double)
  QX_PROP(Width, double)
  QX_PROP(Height, double)
  QX_PROP(Visible, VARIANT_BOOL)
  QX_PROP(Interactive, VARIANT_BOOL)
  QX_PROP(WindowState, int32_t)
  QX_PROP(Caption, WideString)
  QX_PROP(EnableAnimations, VARIANT_BOOL)
  QX_PROP(EnableAutoComplete, VARIANT_BOOL)
  QX_PROP(EnableCancelKey, int32_t)
  QX_PROP(LargeButtons, VARIANT_BOOL)
  QX_PROP(UserName, WideString)
  QX_GET(OrganizationName, WideString)
  QX_GET(OperatingSystem, WideString)
  QX_GET(Version, WideString)
  QX_GET(Build, int32_t)
  QX_GET(MemoryTotal, int32_t)
  QX_GET(MemoryFree, int32_t)
  QX_GET(MemoryUsed, int32_t)
  QX_GET(MathCoprocessorAvailable, VARIANT_BOOL)
  QX_PROP(ScreenUpdating, VARIANT_BOOL)
  QX_PROP(SheetsInNewWorkbook, int32_t)
  QX_PROP(DisplayAlerts, VARIANT_BOOL)
  QX_PROP(EnableEvents, VARIANT_BOOL)
#undef QX_PROP
#undef QX_GET
  HRESULT Quit() override { return CallMethod(DISPID_Quit); }

protected:
  HRESULT QueryMore(const IID& iid, void** obj) override;
  // A member that fails from now on (DISPID_UNKNOWN: none), and an event source that refuses sinks.
  DISPID FFailing = DISPID_UNKNOWN;
  bool FRefuseEvents = false;

private:
  static void convert(const OleVariant& v, double* out) { *out = v.AsDouble(); }
  static void convert(const OleVariant& v, int32_t* out) { *out = v.AsInteger(); }
  static void convert(const OleVariant& v, VARIANT_BOOL* out) { *out = v.AsBool() ? VARIANT_TRUE : VARIANT_FALSE; }
  static void convert(const OleVariant& v, WideString* out) { *out = v.AsWide(); }
  template <class T>
  HRESULT get(DISPID id, T* v) {
    if (!v) return E_POINTER;
    OleVariant out;
    HRESULT hr = DualGet(id, out);
    if (SUCCEEDED(hr)) {
      try {
        convert(out, v);
      } catch (const EVariantError&) {
        return DISP_E_TYPEMISMATCH;
      }
    }
    return hr;
  }
  void quit();

  // The event source; lives inside the application and shares its count.
  class TContainer final : public IConnectionPointContainer {
  public:
    explicit TContainer(TXlApplication& app) : FApp(app) {}
    HRESULT QueryInterface(const IID& iid, void** obj) override { return FApp.QueryInterface(iid, obj); }
    ULONG AddRef() override { return FApp.AddRef(); }
    ULONG Release() override { return FApp.Release(); }
    HRESULT FindConnectionPoint(const IID& iid, IConnectionPoint** point) override;

  private:
    TXlApplication& FApp;
  };
  TContainer FContainer{*this};
  TConnectionPoint FEvents{*this, IID_AppEvents};
  std::vector<TComPtr<TXlWorkbook>> FBooks;
  TXlWorkbook* FActiveBook = nullptr;
  double FLeft = 0, FTop = 0, FWidth = 480, FHeight = 360;
  bool FVisible = false, FInteractive = true, FEnableEvents = true;
  int FWindowState = xlNormal;
  WideString FCaption = L"Microsoft Excel";
  bool FEnableAnimations = true, FEnableAutoComplete = true, FLargeButtons = false;
  int FEnableCancelKey = xlInterrupt;
  WideString FUserName;
};

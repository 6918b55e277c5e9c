#include "office/OxExcel.h"

#include <cmath>

#include "office/OxDataSetModel.h"
#include "office/OxExcelItems.h"
#include "platform/gdi/GdiConsts.h"
#include "platform/win/PaintContext.h"
#include "platform/win/Windows.h"

namespace {

int screenPixelsPerInch() {
  HDC dc = GetDC(0);
  TDeviceContext* context = DeviceContextOf(dc);
  int ppi = context ? context->GetDeviceCaps(LOGPIXELSY) : ScreenPixelsPerInch;
  if (dc) ReleaseDC(0, dc);
  return ppi > 0 ? ppi : ScreenPixelsPerInch;
}

struct TWindowStateValue {
  TOxXlWindowState State;
  int32_t Server;
};
constexpr TWindowStateValue WindowStates[] = {{xlwsNormal, xlNormal}, {xlwsMinimized, xlMinimized}, {xlwsMaximized, xlMaximized}};

struct TCancelKeyValue {
  TOxXlCancelKey Key;
  int32_t Server;
};
constexpr TCancelKeyValue CancelKeys[] = {{xlckDisabled, xlDisabled}, {xlckInterrupt, xlInterrupt}, {xlckErrorHandler, xlErrorHandler}};

template <class T>
TComPtr<T> argAs(const std::vector<OleVariant>& args, size_t i, const IID& iid) {
  return i < args.size() && args[i].IsInterface() ? args[i].AsDispatch().Query<T>(iid) : TComPtr<T>();
}

// A by-reference Cancel flag read into a handler's variable and written back after it.
class TCancelArg {
public:
  TCancelArg(std::vector<OleVariant>& args, size_t i) : FArg(i < args.size() ? &args[i] : nullptr) {
    if (FArg && !FArg->Deref().IsMissing()) Value = FArg->AsBool() ? VARIANT_TRUE : VARIANT_FALSE;
  }
  void Commit() {
    if (FArg && FArg->IsByRef()) FArg->SetRef(OleVariant(Value != VARIANT_FALSE));
  }
  VARIANT_BOOL Value = VARIANT_FALSE;

private:
  OleVariant* FArg;
};

}  // namespace

double PixelsToPoints(int pixels) { return double(pixels) / screenPixelsPerInch() * 72; }
int PointsToPixels(double points) { return int(std::nearbyint(points * screenPixelsPerInch() / 72)); }

TOxExcel::TOxExcel(TComponent* owner) : TOxExcelBase(owner), FWorkbooks(std::make_unique<TOxExcelWorkbooks>(this)) {}

TOxExcel::~TOxExcel() {
  try {
    SetConnected(false);
  } catch (...) {
    // A server that fails while we let it go is let go all the same.
    FreeAdapter();
    FApplication.Reset();
  }
  FWorkbooks.reset();
}

TComPtr<IDispatch> TOxExcel::CreateItem(TOxNestedCollectionItem* item) { return OxExcelCreateItem(*this, item); }

void TOxExcel::Notification(TComponent* component, TOperation operation) {
  TOxExcelBase::Notification(component, operation);
  // The model is part way through its destruction here: only its address can be compared.
  if (operation != opRemove || !FWorkbooks) return;
  FWorkbooks->ForEachItem([component](TOxNestedCollectionItem* item) {
    auto* range = dynamic_cast<TOxExcelRange*>(item);
    if (range && range->OfficeModel() && static_cast<TComponent*>(range->OfficeModel()) == component)
      range->SetOfficeModel(nullptr);
  });
}

// The server closes a workbook: its items go, and their destructors leave the server alone.
void TOxExcel::closeWorkbookItems(IDispatch* book) {
  std::vector<TOxExcelWorkbook*> closing;
  for (int i = 0; i < FWorkbooks->Count(); ++i) {
    TComPtr<IDispatch> bound(FWorkbooks->Items(i)->ServerObject());
    if (book && bound && bound.Get() == book) closing.push_back(FWorkbooks->Items(i));
  }
  for (TOxExcelWorkbook* item : closing) delete item;
  if (!closing.empty()) NotifyDesigner();
}

void TOxExcel::Connect() {
  FApplication.Reset();
  TComPtr<IDispatch> instance;
  bool created = false;
  OleCheck(CreateServer(CLASS_ExcelApplication, IID__Application, instance, &created));
  FApplication = instance.Query<_Application>(IID__Application);
  FCreatedServer = created;
  if (!FApplication) OleCheck(E_NOINTERFACE);
  OleCheck(FApplication->Set_SheetsInNewWorkbook(0, 1));
  OleCheck(FApplication->Set_DisplayAlerts(0, VARIANT_FALSE));
  AdviseEvents(FApplication.Get(), IID_AppEvents);
  OleCheck(FApplication->Set_EnableEvents(0, VARIANT_TRUE));
}

void TOxExcel::AbandonConnect() {
  FreeAdapter();
  if (FApplication && FCreatedServer) FApplication->Quit();
  FApplication.Reset();
  FCreatedServer = false;
}

void TOxExcel::Disconnect() {
  FreeAdapter();
  FWorkbooks->ForEachItem([](TOxNestedCollectionItem* item) { item->Unbind(); });
  if (FApplication) {
    TComPtr<_Application> app = std::move(FApplication);
    OleCheck(app->Quit());
  }
}

void TOxExcel::SyncProperties() {
  if (PropDirection() == pdToServer) {
    SetWindowState(FWindowState);
    SetInteractive(FInteractive);
    SetVisible(FVisible);
    SetServerLeft(FServerLeft);
    SetServerTop(FServerTop);
    SetServerWidth(FServerWidth);
    SetServerHeight(FServerHeight);
    SetCaption(FCaption);
    SetEnableAnimations(FEnableAnimations);
    SetEnableAutoComplete(FEnableAutoComplete);
    SetEnableCancelKey(FEnableCancelKey);
    SetLargeButtons(FLargeButtons);
    SetUserName(FUserName);
  } else {
    WindowState();
    Interactive();
    SetVisible(FVisible);
    ServerLeft();
    ServerTop();
    ServerWidth();
    ServerHeight();
    Caption();
    EnableAnimations();
    EnableAutoComplete();
    EnableCancelKey();
    LargeButtons();
    UserName();
  }
  FWorkbooks->ForEachItem([](TOxNestedCollectionItem* item) { item->Connect(); });
}

bool TOxExcel::Interactive() {
  if (Connected()) {
    VARIANT_BOOL v;
    OleCheck(FApplication->Get_Interactive(0, &v));
    FInteractive = v != VARIANT_FALSE;
  }
  return FInteractive;
}

void TOxExcel::SetInteractive(bool v) {
  if (Connected()) OleCheck(FApplication->Set_Interactive(0, v ? VARIANT_TRUE : VARIANT_FALSE));
  FInteractive = v;
}

TOxXlWindowState TOxExcel::WindowState() {
  if (Connected()) {
    int32_t v;
    OleCheck(FApplication->Get_WindowState(0, &v));
    FWindowState = xlwsNormal;
    for (auto& e : WindowStates)
      if (e.Server == v) FWindowState = e.State;
  }
  return FWindowState;
}

void TOxExcel::SetWindowState(TOxXlWindowState v) {
  if (Connected())
    for (auto& e : WindowStates)
      if (e.State == v) OleCheck(FApplication->Set_WindowState(0, e.Server));
  FWindowState = v;
}

AnsiString TOxExcel::Caption() {
  if (Connected()) {
    WideString w;
    OleCheck(FApplication->Get_Caption(0, &w));
    FCaption = WideToAnsi(w);
  }
  return FCaption;
}

void TOxExcel::SetCaption(const AnsiString& v) {
  if (Connected()) OleCheck(FApplication->Set_Caption(0, AnsiToWide(v)));
  FCaption = v;
}

bool TOxExcel::Visible() {
  if (Connected()) {
    VARIANT_BOOL v;
    OleCheck(FApplication->Get_Visible(0, &v));
    FVisible = v != VARIANT_FALSE;
  }
  return FVisible;
}

void TOxExcel::SetVisible(bool v) {
  if (Connected()) {
    OleCheck(FApplication->Set_Visible(0, v ? VARIANT_TRUE : VARIANT_FALSE));
    OleCheck(FApplication->Set_ScreenUpdating(0, VARIANT_TRUE));
  }
  FVisible = v;
}

int TOxExcel::serverPos(int& field, TGetDouble get) {
  if (Connected()) {
    double points;
    OleCheck((FApplication.Get()->*get)(0, &points));
    field = PointsToPixels(points);
  }
  return field;
}

void TOxExcel::setServerPos(int& field, int v, TSetDouble set) {
  // A maximised or minimised window keeps the value for the next time it is normal.
  if (Connected() && WindowState() == xlwsNormal) OleCheck((FApplication.Get()->*set)(0, PixelsToPoints(v)));
  field = v;
}

VARIANT_BOOL TOxExcel::flag(VARIANT_BOOL& field, TGetFlag get) {
  if (Connected()) OleCheck((FApplication.Get()->*get)(0, &field));
  return field;
}

void TOxExcel::setFlag(VARIANT_BOOL& field, VARIANT_BOOL v, TSetFlag set) {
  if (Connected()) OleCheck((FApplication.Get()->*set)(0, v));
  field = v;
}

TOxXlCancelKey TOxExcel::EnableCancelKey() {
  if (Connected()) {
    int32_t v;
    OleCheck(FApplication->Get_EnableCancelKey(0, &v));
    for (auto& e : CancelKeys)
      if (e.Server == v) FEnableCancelKey = e.Key;
  }
  return FEnableCancelKey;
}

void TOxExcel::SetEnableCancelKey(TOxXlCancelKey v) {
  if (Connected())
    for (auto& e : CancelKeys)
      if (e.Key == v) OleCheck(FApplication->Set_EnableCancelKey(0, e.Server));
  FEnableCancelKey = v;
}

WideString TOxExcel::UserName() {
  if (Connected()) OleCheck(FApplication->Get_UserName(0, &FUserName));
  return FUserName;
}

void TOxExcel::SetUserName(const WideString& v) {
  if (Connected()) {
    TComPtr<::Workbooks> books;
    OleCheck(FApplication->Get_Workbooks(0, books.Put()));
    int32_t count = 0;
    OleCheck(books->Get_Count(0, &count));
    if (count > 0) OleCheck(FApplication->Set_UserName(0, v));
  }
  FUserName = v;
}

AnsiString TOxExcel::GetServerVersion() {
  if (!FApplication) return "";  // as the base answers: no server, no version
  WideString v;
  OleCheck(FApplication->Get_Version(0, &v));
  return WideToAnsi(v);
}

void TOxExcel::GetFileFilter(AnsiString& filter, AnsiString& defaultExt) const {
  filter = "Excel Workbooks *.xls|*.xls|Excel Templates *.xlt|*.xlt|All Files *.*|*.*";
  defaultExt = "*.xls";
}

void TOxExcel::GetServerInfo(TStringList* list) {
  TComPtr<_Application> app = FApplication;
  if (!app) {
    // A server made just for the answer is released, not quit.
    TComPtr<IDispatch> instance;
    OleCheck(CreateServer(CLASS_ExcelApplication, IID__Application, instance));
    app = instance.Query<_Application>(IID__Application);
    if (!app) OleCheck(E_NOINTERFACE);
  }
  if (!list) return;
  WideString user, org, os, version;
  int32_t build = 0, total = 0, free = 0, used = 0;
  VARIANT_BOOL math = VARIANT_FALSE;
  OleCheck(app->Get_UserName(0, &user));
  OleCheck(app->Get_OrganizationName(0, &org));
  OleCheck(app->Get_OperatingSystem(0, &os));
  OleCheck(app->Get_Version(0, &version));
  OleCheck(app->Get_Build(0, &build));
  OleCheck(app->Get_MemoryTotal(0, &total));
  OleCheck(app->Get_MemoryFree(0, &free));
  OleCheck(app->Get_MemoryUsed(0, &used));
  OleCheck(app->Get_MathCoprocessorAvailable(0, &math));
  list->Clear();
  list->Add("User Name=" + WideToAnsi(user));
  list->Add("Organization Name=" + WideToAnsi(org));
  list->Add("Operating System=" + WideToAnsi(os));
  list->Add("Version=" + WideToAnsi(version));
  list->Add("Build=" + IntToStr(build));
  list->Add("Memory Total=" + IntToStr(total));
  list->Add("Memory Free=" + IntToStr(free));
  list->Add("Memory Used=" + IntToStr(used));
  list->Add(AnsiString("Math CoProcessorAvailable=") + (math ? "Yes" : "No"));
}

void TOxExcel::DispatchEvent(const IID& iid, DISPID dispid, std::vector<OleVariant>& args) {
  if (!IsEqualGUID(iid, IID_AppEvents)) return;
  SetOxState(oxsDispatching, true);
  try {
    dispatchApplicationEvent(dispid, args);
  } catch (...) {
    SetOxState(oxsDispatching, false);
    throw;
  }
  SetOxState(oxsDispatching, false);
}

void TOxExcel::dispatchApplicationEvent(DISPID dispid, std::vector<OleVariant>& args) {
  auto wb = [&](size_t i) { return argAs<_Workbook>(args, i, IID__Workbook); };
  auto sh = [&](size_t i) { return argAs<IDispatch>(args, i, IID_IDispatch); };
  auto range = [&](size_t i) { return argAs<ExcelRange>(args, i, IID_Range); };
  auto window = [&](size_t i) { return argAs<ExcelWindow>(args, i, IID_Window); };
  auto windowEvent = [&](const TOnWindowResize& handler) {
    if (handler) handler(this, wb(0).Get(), window(1).Get());
  };
  auto sheetEvent = [&](const TOnSheetActivate& handler) {
    if (handler) handler(this, sh(0).Get());
  };
  auto bookEvent = [&](const TOnWorkbookOpen& handler) {
    if (handler) handler(this, wb(0).Get());
  };
  auto clickEvent = [&](const TBeforeSheetDoubleClick& handler) {
    if (!handler) return;
    TCancelArg cancel(args, 2);
    handler(this, sh(0).Get(), range(1).Get(), cancel.Value);
    cancel.Commit();
  };
  auto cancelEvent = [&](const TBeforeWorkbookClose& handler) {
    if (!handler) return;
    TCancelArg cancel(args, 1);
    handler(this, wb(0).Get(), cancel.Value);
    cancel.Commit();
  };
  switch (dispid) {
    case DISPID_WindowResize: windowEvent(OnWindowResize); break;
    case DISPID_WindowActivate: windowEvent(OnWindowActivate); break;
    case DISPID_WindowDeactivate: windowEvent(OnWindowDeactivate); break;
    case DISPID_SheetSelectionChange:
      if (OnSheetSelectionChange) OnSheetSelectionChange(this, sh(0).Get(), range(1).Get());
      break;
    case DISPID_SheetBeforeDoubleClick: clickEvent(BeforeSheetDoubleClick); break;
    case DISPID_SheetBeforeRightClick: clickEvent(BeforeSheetRightClick); break;
    case DISPID_SheetActivate: sheetEvent(OnSheetActivate); break;
    case DISPID_SheetDeactivate: sheetEvent(OnSheetDeactivate); break;
    case DISPID_SheetCalculate: sheetEvent(OnSheetCalculate); break;
    case DISPID_SheetChange:
      if (OnSheetChange) OnSheetChange(this, sh(0).Get(), range(1).Get());
      break;
    case DISPID_NewWorkbook:
      if (OnNewWorkbook) OnNewWorkbook(this, wb(0).Get());
      break;
    case DISPID_WorkbookOpen: bookEvent(OnWorkbookOpen); break;
    case DISPID_WorkbookActivate: bookEvent(OnWorkbookActivate); break;
    case DISPID_WorkbookDeactivate: bookEvent(OnWorkbookDeactivate); break;
    case DISPID_WorkbookBeforeClose: {
      cancelEvent(BeforeWorkbookClose);
      bool cancelled = args.size() > 1 && !args[1].Deref().IsMissing() && args[1].AsBool();
      if (!cancelled) closeWorkbookItems(wb(0).Get());
      break;
    }
    case DISPID_WorkbookBeforeSave:
      if (BeforeWorkbookSave) {
        TCancelArg cancel(args, 2);
        VARIANT_BOOL saveAsUI = args.size() > 1 && args[1].AsBool() ? VARIANT_TRUE : VARIANT_FALSE;
        BeforeWorkbookSave(this, wb(0).Get(), saveAsUI, cancel.Value);
        cancel.Commit();
      }
      break;
    case DISPID_WorkbookBeforePrint: cancelEvent(BeforeWorkbookPrint); break;
    case DISPID_WorkbookNewSheet:
      if (OnWorkbookNewSheet) OnWorkbookNewSheet(this, wb(0).Get(), sh(1).Get());
      break;
    case DISPID_WorkbookAddinInstall: bookEvent(OnWorkbookAddinInstall); break;
    case DISPID_WorkbookAddinUninstall: bookEvent(OnWorkbookAddinUninstall); break;
    default: break;
  }
}

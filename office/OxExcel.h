// The spreadsheet component: starts or attaches to the spreadsheet application, mirrors its
// application properties and turns its application events into published events.
#pragma once

#include "office/OxOffice.h"
#include "platform/com/ExcelTlb.h"

enum TOxXlWindowState { xlwsNormal, xlwsMinimized, xlwsMaximized };
enum TOxXlCancelKey { xlckDisabled, xlckErrorHandler, xlckInterrupt };

using TOnNewWorkBook = std::function<void(TObject* Sender, _Workbook* WorkBook)>;
using TOnSheetSelectionChange = std::function<void(TObject* Sender, IDispatch* Sh, ExcelRange* Target)>;
using TOnSheetChange = TOnSheetSelectionChange;
using TBeforeSheetDoubleClick =
    std::function<void(TObject* Sender, IDispatch* Sh, ExcelRange* Target, VARIANT_BOOL& Cancel)>;
using TBeforeSheetRightClick = TBeforeSheetDoubleClick;
using TOnSheetActivate = std::function<void(TObject* Sender, IDispatch* Sh)>;
using TOnSheetDeactivate = TOnSheetActivate;
using TOnSheetCalculate = TOnSheetActivate;
using TOnWorkbookOpen = std::function<void(TObject* Sender, _Workbook* Wb)>;
using TOnWorkbookActivate = TOnWorkbookOpen;
using TOnWorkbookDeactivate = TOnWorkbookOpen;
using TOnWorkbookAddinInstall = TOnWorkbookOpen;
using TOnWorkbookAddinUninstall = TOnWorkbookOpen;
using TBeforeWorkbookClose = std::function<void(TObject* Sender, _Workbook* Wb, VARIANT_BOOL& Cancel)>;
using TBeforeWorkbookPrint = TBeforeWorkbookClose;
using TBeforeWorkbookSave =
    std::function<void(TObject* Sender, _Workbook* Wb, VARIANT_BOOL SaveAsUI, VARIANT_BOOL& Cancel)>;
using TOnWorkbookNewSheet = std::function<void(TObject* Sender, _Workbook* Wb, IDispatch* Sh)>;
using TOnWindowResize = std::function<void(TObject* Sender, _Workbook* Wb, ExcelWindow* Wn)>;
using TOnWindowActivate = TOnWindowResize;
using TOnWindowDeactivate = TOnWindowResize;

class TOxExcelBase : public TOxOfficeComponent {
public:
  explicit TOxExcelBase(TComponent* owner) : TOxOfficeComponent(owner) {}
};

class TOxExcel : public TOxExcelBase {
public:
  explicit TOxExcel(TComponent* owner);
  ~TOxExcel() override;
  AnsiString ClassName() const override { return "TOxExcel"; }

  // The server while connected.
  _Application* Application() const { return FApplication.Get(); }

  bool Interactive();
  void SetInteractive(bool v);
  TOxXlWindowState WindowState();
  void SetWindowState(TOxXlWindowState v);
  AnsiString Caption();
  void SetCaption(const AnsiString& v);
  bool Visible();
  void SetVisible(bool v);
  int ServerLeft() { return serverPos(FServerLeft, &_Application::Get_Left); }
  void SetServerLeft(int v) { setServerPos(FServerLeft, v, &_Application::Set_Left); }
  int ServerTop() { return serverPos(FServerTop, &_Application::Get_Top); }
  void SetServerTop(int v) { setServerPos(FServerTop, v, &_Application::Set_Top); }
  int ServerWidth() { return serverPos(FServerWidth, &_Application::Get_Width); }
  void SetServerWidth(int v) { setServerPos(FServerWidth, v, &_Application::Set_Width); }
  int ServerHeight() { return serverPos(FServerHeight, &_Application::Get_Height); }
  void SetServerHeight(int v) { setServerPos(FServerHeight, v, &_Application::Set_Height); }
  VARIANT_BOOL EnableAutoComplete() { return flag(FEnableAutoComplete, &_Application::Get_EnableAutoComplete); }
  void SetEnableAutoComplete(VARIANT_BOOL v) { setFlag(FEnableAutoComplete, v, &_Application::Set_EnableAutoComplete); }
  VARIANT_BOOL EnableAnimations() { return flag(FEnableAnimations, &_Application::Get_EnableAnimations); }
  void SetEnableAnimations(VARIANT_BOOL v) { setFlag(FEnableAnimations, v, &_Application::Set_EnableAnimations); }
  VARIANT_BOOL LargeButtons() { return flag(FLargeButtons, &_Application::Get_LargeButtons); }
  void SetLargeButtons(VARIANT_BOOL v) { setFlag(FLargeButtons, v, &_Application::Set_LargeButtons); }
  TOxXlCancelKey EnableCancelKey();
  void SetEnableCancelKey(TOxXlCancelKey v);
  WideString UserName();
  void SetUserName(const WideString& v);

  AnsiString GetServerVersion() override;
  void GetFileFilter(AnsiString& filter, AnsiString& defaultExt) const override;
  void GetServerInfo(TStringList* list) override;

  TOnNewWorkBook OnNewWorkbook;
  TOnSheetActivate OnSheetActivate;
  TBeforeSheetDoubleClick BeforeSheetDoubleClick;
  TBeforeSheetRightClick BeforeSheetRightClick;
  TOnSheetCalculate OnSheetCalculate;
  TOnSheetChange OnSheetChange;
  TOnSheetDeactivate OnSheetDeactivate;
  TOnSheetSelectionChange OnSheetSelectionChange;
  TOnWindowActivate OnWindowActivate;
  TOnWindowDeactivate OnWindowDeactivate;
  TOnWindowResize OnWindowResize;
  TOnWorkbookActivate OnWorkbookActivate;
  TOnWorkbookAddinInstall OnWorkbookAddinInstall;
  TOnWorkbookAddinUninstall OnWorkbookAddinUninstall;
  TBeforeWorkbookClose BeforeWorkbookClose;
  TBeforeWorkbookPrint BeforeWorkbookPrint;
  TBeforeWorkbookSave BeforeWorkbookSave;
  TOnWorkbookDeactivate OnWorkbookDeactivate;
  TOnWorkbookNewSheet OnWorkbookNewSheet;
  TOnWorkbookOpen OnWorkbookOpen;

protected:
  void Connect() override;
  void Disconnect() override;
  void AbandonConnect() override;
  void SyncProperties() override;
  bool GetConnected() override { return static_cast<bool>(FApplication); }
  void DispatchEvent(const IID& iid, DISPID dispid, std::vector<OleVariant>& args) override;

private:
  using TGetDouble = HRESULT (_Application::*)(LCID, double*);
  using TSetDouble = HRESULT (_Application::*)(LCID, double);
  using TGetFlag = HRESULT (_Application::*)(LCID, VARIANT_BOOL*);
  using TSetFlag = HRESULT (_Application::*)(LCID, VARIANT_BOOL);
  int serverPos(int& field, TGetDouble get);
  void setServerPos(int& field, int v, TSetDouble set);
  VARIANT_BOOL flag(VARIANT_BOOL& field, TGetFlag get);
  void setFlag(VARIANT_BOOL& field, VARIANT_BOOL v, TSetFlag set);
  void dispatchApplicationEvent(DISPID dispid, std::vector<OleVariant>& args);

  TComPtr<_Application> FApplication;
  bool FCreatedServer = false;
  bool FInteractive = true;
  TOxXlWindowState FWindowState = xlwsNormal;
  AnsiString FCaption;
  bool FVisible = false;
  int FServerHeight = 480;
  int FServerTop = 0;
  int FServerWidth = 640;
  int FServerLeft = 0;
  VARIANT_BOOL FEnableAutoComplete = VARIANT_FALSE;
  VARIANT_BOOL FEnableAnimations = VARIANT_FALSE;
  TOxXlCancelKey FEnableCancelKey = xlckDisabled;
  VARIANT_BOOL FLargeButtons = VARIANT_FALSE;
  WideString FUserName;
};

// Screen pixels and the server's points, at the screen's vertical resolution.
double PixelsToPoints(int pixels);
int PointsToPixels(double points);

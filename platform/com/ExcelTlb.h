// The spreadsheet application's automation interfaces: class and interface identifiers, member
// dispatch ids, the dual interfaces and the server's constants.
#pragma once

#include "platform/com/AutoObject.h"

constexpr CLSID CLASS_ExcelApplication = StringToGUID("{00024500-0000-0000-C000-000000000046}");
constexpr IID IID__Application = StringToGUID("{000208D5-0000-0000-C000-000000000046}");
constexpr IID IID__Workbook = StringToGUID("{000208DA-0000-0000-C000-000000000046}");
constexpr IID IID__Worksheet = StringToGUID("{000208D8-0000-0000-C000-000000000046}");
constexpr IID IID_Range = StringToGUID("{00020846-0000-0000-C000-000000000046}");
constexpr IID IID__Chart = StringToGUID("{000208D6-0000-0000-C000-000000000046}");
constexpr IID IID_ChartObjects = StringToGUID("{000208D0-0000-0000-C000-000000000046}");
constexpr IID IID_ChartObject = StringToGUID("{000208CF-0000-0000-C000-000000000046}");
constexpr IID IID_Hyperlink = StringToGUID("{00024431-0000-0000-C000-000000000046}");
constexpr IID IID_AppEvents = StringToGUID("{00024413-0000-0000-C000-000000000046}");
constexpr IID IID_Workbooks = StringToGUID("{000208DB-0000-0000-C000-000000000046}");
constexpr IID IID_Sheets = StringToGUID("{000208D7-0000-0000-C000-000000000046}");
constexpr IID IID_Window = StringToGUID("{00020893-0000-0000-C000-000000000046}");
constexpr IID IID_Hyperlinks = StringToGUID("{00024430-0000-0000-C000-000000000046}");
constexpr IID IID_Font = StringToGUID("{0002084D-0000-0000-C000-000000000046}");
constexpr IID IID_Interior = StringToGUID("{00020870-0000-0000-C000-000000000046}");
constexpr IID IID_Borders = StringToGUID("{00020855-0000-0000-C000-000000000046}");
constexpr IID IID_Border = StringToGUID("{00020854-0000-0000-C000-000000000046}");
constexpr IID IID_Outline = StringToGUID("{000208AB-0000-0000-C000-000000000046}");
constexpr IID IID_Shape = StringToGUID("{000C031C-0000-0000-C000-000000000046}");

// Member dispatch ids: one per name across every object of the server.
#define QX_XL_MEMBERS(X)                                                                             \
  X(Value) X(Workbooks) X(ActiveWindow) X(Left) X(Top) X(Width) X(Height) X(Visible) X(Interactive)   \
  X(WindowState) X(Caption) X(EnableAnimations) X(EnableAutoComplete) X(EnableCancelKey)            \
  X(LargeButtons) X(UserName) X(OrganizationName) X(OperatingSystem) X(Version) X(Build)             \
  X(MemoryTotal) X(MemoryFree) X(MemoryUsed) X(MathCoprocessorAvailable) X(ScreenUpdating)           \
  X(SheetsInNewWorkbook) X(DisplayAlerts) X(EnableEvents) X(Quit) X(Add) X(Open) X(Count) X(Item)   \
  X(Worksheets) X(Sheets) X(Close) X(Save) X(SaveAs) X(Activate) X(Name) X(FullName) X(Saved)         \
  X(Range) X(Cells) X(Hyperlinks) X(ChartObjects) X(Outline) X(Parent) X(Delete) X(Address) X(Text)  \
  X(Offset) X(Resize) X(EntireRow) X(EntireColumn) X(OutlineLevel) X(AutoFit) X(ClearContents)       \
  X(Select) X(Font) X(Interior) X(Borders) X(IndentLevel) X(Orientation) X(ShrinkToFit)              \
  X(HorizontalAlignment) X(VerticalAlignment) X(ColumnWidth) X(RowHeight) X(WrapText) X(Row)         \
  X(Column) X(Worksheet) X(RangeSelection) X(SubAddress) X(Type) X(Shape) X(Follow) X(Chart)        \
  X(ChartType) X(ChartWizard) X(Bold) X(Italic) X(Underline) X(Strikethrough) X(Size) X(Color)       \
  X(Pattern) X(PatternColor) X(LineStyle) X(Weight) X(SummaryRow) X(Application) X(Index)            \
  X(ActiveWorkbook) X(ActiveSheet) X(Path)

enum : DISPID {
  DISPID_XlFirst = 0x1000 - 1,
#define QX_XL_ENUM(n) DISPID_##n,
  QX_XL_MEMBERS(QX_XL_ENUM)
#undef QX_XL_ENUM
};

// The names of the members above, for dispatch by name.
const TDispNames& ExcelDispNames();

// Dispatch ids of the application events.
constexpr DISPID DISPID_WindowResize = 1554;
constexpr DISPID DISPID_WindowActivate = 1556;
constexpr DISPID DISPID_WindowDeactivate = 1557;
constexpr DISPID DISPID_SheetSelectionChange = 1558;
constexpr DISPID DISPID_SheetBeforeDoubleClick = 1559;
constexpr DISPID DISPID_SheetBeforeRightClick = 1560;
constexpr DISPID DISPID_SheetActivate = 1561;
constexpr DISPID DISPID_SheetDeactivate = 1562;
constexpr DISPID DISPID_SheetCalculate = 1563;
constexpr DISPID DISPID_SheetChange = 1564;
constexpr DISPID DISPID_NewWorkbook = 1565;
constexpr DISPID DISPID_WorkbookOpen = 1567;
constexpr DISPID DISPID_WorkbookActivate = 1568;
constexpr DISPID DISPID_WorkbookDeactivate = 1569;
constexpr DISPID DISPID_WorkbookBeforeClose = 1570;
constexpr DISPID DISPID_WorkbookBeforeSave = 1571;
constexpr DISPID DISPID_WorkbookBeforePrint = 1572;
constexpr DISPID DISPID_WorkbookNewSheet = 1573;
constexpr DISPID DISPID_WorkbookAddinInstall = 1574;
constexpr DISPID DISPID_WorkbookAddinUninstall = 1575;

// Server constants.
constexpr int xlNormal = -4143;
constexpr int xlMinimized = -4140;
constexpr int xlMaximized = -4137;
constexpr int xlDisabled = 0;
constexpr int xlInterrupt = 1;
constexpr int xlErrorHandler = 2;
constexpr int xlA1 = 1;
constexpr int xlNone = -4142;
constexpr int xlEdgeLeft = 7;
constexpr int xlEdgeTop = 8;
constexpr int xlEdgeBottom = 9;
constexpr int xlEdgeRight = 10;
constexpr int xlContinuous = 1;
constexpr int xlHairline = 1;
constexpr int xlHAlignGeneral = 1;
constexpr int xlHAlignCenter = -4108;
constexpr int xlVAlignBottom = -4107;
constexpr int xlHorizontal = -4128;
constexpr int xlUpward = -4171;
constexpr int xlDownward = -4170;
constexpr int xlVertical = -4166;
constexpr int xlPatternAutomatic = -4105;
constexpr int xlArea = 1;
constexpr int xlSummaryAbove = 0;
constexpr int xlSummaryBelow = 1;
constexpr int msoHyperlinkRange = 0;
constexpr int msoHyperlinkShape = 1;

// Dispatch interfaces, reached by dispatch id only; the types name what a reference stands for.
class Range : public IDispatch {};
class Window : public IDispatch {};
class ExcelChart : public IDispatch {};
using ExcelRange = Range;
using ExcelWindow = Window;

class _Workbook;
class _Worksheet;
class Sheets;

// Dual interfaces: typed members, each also reachable through Invoke.
#define QX_DUAL_PROP(Name, Type)                              \
  virtual HRESULT Get_##Name(LCID lcid, Type* value) = 0;     \
  virtual HRESULT Set_##Name(LCID lcid, Type value) = 0;
#define QX_DUAL_GET(Name, Type) virtual HRESULT Get_##Name(LCID lcid, Type* value) = 0;

class Workbooks : public IDispatch {
public:
  virtual HRESULT Add(const OleVariant& templ, LCID lcid, _Workbook** result) = 0;
  virtual HRESULT Open(const WideString& fileName, LCID lcid, _Workbook** result) = 0;
  QX_DUAL_GET(Count, int32_t)
  virtual HRESULT Get_Item(const OleVariant& index, LCID lcid, _Workbook** result) = 0;
};

class _Application : public IDispatch {
public:
  QX_DUAL_GET(Workbooks, Workbooks*)
  QX_DUAL_GET(ActiveWindow, Window*)
  QX_DUAL_PROP(Left, double)
  QX_DUAL_PROP(Top, double)
  QX_DUAL_PROP(Width, double)
  QX_DUAL_PROP(Height, double)
  QX_DUAL_PROP(Visible, VARIANT_BOOL)
  QX_DUAL_PROP(Interactive, VARIANT_BOOL)
  QX_DUAL_PROP(WindowState, int32_t)
  QX_DUAL_PROP(Caption, WideString)
  QX_DUAL_PROP(EnableAnimations, VARIANT_BOOL)
  QX_DUAL_PROP(EnableAutoComplete, VARIANT_BOOL)
  QX_DUAL_PROP(EnableCancelKey, int32_t)
  QX_DUAL_PROP(LargeButtons, VARIANT_BOOL)
  QX_DUAL_PROP(UserName, WideString)
  QX_DUAL_GET(OrganizationName, WideString)
  QX_DUAL_GET(OperatingSystem, WideString)
  QX_DUAL_GET(Version, WideString)
  QX_DUAL_GET(Build, int32_t)
  QX_DUAL_GET(MemoryTotal, int32_t)
  QX_DUAL_GET(MemoryFree, int32_t)
  QX_DUAL_GET(MemoryUsed, int32_t)
  QX_DUAL_GET(MathCoprocessorAvailable, VARIANT_BOOL)
  QX_DUAL_PROP(ScreenUpdating, VARIANT_BOOL)
  QX_DUAL_PROP(SheetsInNewWorkbook, int32_t)
  QX_DUAL_PROP(DisplayAlerts, VARIANT_BOOL)
  QX_DUAL_PROP(EnableEvents, VARIANT_BOOL)
  virtual HRESULT Quit() = 0;
};

class _Workbook : public IDispatch {
public:
  QX_DUAL_GET(Worksheets, Sheets*)
  QX_DUAL_GET(Sheets, Sheets*)
  QX_DUAL_GET(Name, WideString)
  QX_DUAL_GET(FullName, WideString)
  virtual HRESULT Close(const OleVariant& saveChanges, const OleVariant& fileName, const OleVariant& routeWorkbook,
                        LCID lcid) = 0;
  virtual HRESULT Save(LCID lcid) = 0;
  virtual HRESULT SaveAs(const WideString& fileName, LCID lcid) = 0;
  virtual HRESULT Activate(LCID lcid) = 0;
};

class Sheets : public IDispatch {
public:
  QX_DUAL_GET(Count, int32_t)
  virtual HRESULT Get_Item(const OleVariant& index, IDispatch** result) = 0;
  virtual HRESULT Add(const OleVariant& before, const OleVariant& after, const OleVariant& count,
                      const OleVariant& type, LCID lcid, IDispatch** result) = 0;
};

class _Worksheet : public IDispatch {
public:
  QX_DUAL_PROP(Name, WideString)
  virtual HRESULT Get_Range(const OleVariant& cell1, const OleVariant& cell2, Range** result) = 0;
  QX_DUAL_GET(Cells, Range*)
  QX_DUAL_GET(Parent, IDispatch*)
  virtual HRESULT Hyperlinks(IDispatch** result) = 0;
  virtual HRESULT ChartObjects(const OleVariant& index, LCID lcid, IDispatch** result) = 0;
  QX_DUAL_GET(Outline, IDispatch*)
  virtual HRESULT Activate(LCID lcid) = 0;
  virtual HRESULT Delete(LCID lcid) = 0;
};

#undef QX_DUAL_PROP
#undef QX_DUAL_GET

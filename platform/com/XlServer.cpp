#include "platform/com/XlServer.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <unordered_map>

#include "platform/com/ConnectionPoints.h"
#include "platform/com/XlFile.h"
#include "platform/com/XlFileNames.h"

namespace {

int gInstances = 0;
int gQuits = 0;

[[noreturn]] void serverError(const AnsiString& text) { throw EAutoServerError(DISP_E_EXCEPTION, text); }

const TDispNames& names() { return ExcelDispNames(); }

class TXlApplication;
class TXlWorkbook;
class TXlWorksheet;
class TXlChartObject;

// A block of cells, rows and columns from 1, both ends included.
struct TArea {
  int R1 = 1, C1 = 1, R2 = 1, C2 = 1;
  int Rows() const { return R2 - R1 + 1; }
  int Columns() const { return C2 - C1 + 1; }
  long long CellCount() const { return static_cast<long long>(Rows()) * Columns(); }
  bool Contains(int r, int c) const { return r >= R1 && r <= R2 && c >= C1 && c <= C2; }
};

AnsiString columnName(int c) {
  AnsiString s;
  for (; c > 0; c = (c - 1) / 26) s.insert(s.begin(), char('A' + (c - 1) % 26));
  return s;
}

AnsiString cellAddress(int r, int c, bool rowAbs, bool colAbs) {
  return AnsiString(colAbs ? "$" : "") + columnName(c) + (rowAbs ? "$" : "") + IntToStr(r);
}

// "A1", "$B$2", "A1:C3"; false for anything else.
bool parseCell(std::string_view s, int& r, int& c) {
  size_t i = 0;
  if (i < s.size() && s[i] == '$') ++i;
  long col = 0;
  size_t letters = i;
  while (i < s.size() && IsAnsiAlpha(s[i]) && (s[i] & 0x80) == 0) col = col * 26 + (AnsiUpperChar(s[i++]) - 'A' + 1);
  if (i == letters || i - letters > 3) return false;
  if (i < s.size() && s[i] == '$') ++i;
  size_t digits = i;
  long row = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9' && row <= XlMaxRows) row = row * 10 + (s[i++] - '0');
  if (i == digits || i != s.size()) return false;
  if (row < 1 || row > XlMaxRows || col < 1 || col > XlMaxColumns) return false;
  r = static_cast<int>(row);
  c = static_cast<int>(col);
  return true;
}

bool parseArea(const AnsiString& text, TArea& a) {
  AnsiString s = Trim(text);
  size_t colon = s.find(':');
  int r1, c1, r2, c2;
  if (!parseCell(std::string_view(s).substr(0, colon), r1, c1)) return false;
  r2 = r1;
  c2 = c1;
  if (colon != AnsiString::npos && !parseCell(std::string_view(s).substr(colon + 1), r2, c2)) return false;
  a = TArea{std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2)};
  return true;
}

TArea unite(const TArea& a, const TArea& b) {
  return TArea{std::min(a.R1, b.R1), std::min(a.C1, b.C1), std::max(a.R2, b.R2), std::max(a.C2, b.C2)};
}

OleVariant boolV(bool b) { return OleVariant(b); }

// The most cells one write of a value or a format makes: one whole column. Larger blocks take a
// format only as whole rows or columns, and a value not at all.
constexpr long long MaxCellsMadeByOneWrite = XlMaxRows;

// Changes the format of every cell of a block, and of whole rows and columns for the cells made later.
void formatBlock(TXlSheetData& d, const TArea& a, const std::function<void(TXlStyle&)>& f) {
  auto change = [&](uint32_t& index) {
    TXlStyle s = d.Styles[index];
    f(s);
    index = d.Styles.Intern(s);
  };
  bool columns = a.R1 == 1 && a.R2 == XlMaxRows, rows = a.C1 == 1 && a.C2 == XlMaxColumns;
  if (!columns && !rows) {
    if (a.CellCount() > MaxCellsMadeByOneWrite)
      serverError("A block of more than " + IntToStr(int(MaxCellsMadeByOneWrite)) +
                  " cells takes a format only as whole rows or columns.");
    for (int r = a.R1; r <= a.R2; ++r)
      for (int c = a.C1; c <= a.C2; ++c) change(d.CellAt(r, c).Style);
    return;
  }
  for (auto it = d.Cells.lower_bound({a.R1, 0}); it != d.Cells.end() && it->first.first <= a.R2; ++it)
    if (a.Contains(it->first.first, it->first.second)) change(it->second.Style);
  if (columns) {
    for (int c = a.C1; c <= a.C2; ++c) change(d.ColumnStyles.try_emplace(c, 0).first->second);
    // A row's own format comes before its columns': it takes the change too.
    if (rows) for (auto& [r, style] : d.RowStyles) change(style);
  } else {
    for (int r = a.R1; r <= a.R2; ++r) change(d.RowStyles.try_emplace(r, 0).first->second);
  }
}

// ---------------------------------------------------------------------------------------------

class TXlWorksheet final : public TAutoObject<_Worksheet> {
public:
  TXlWorksheet(TXlWorkbook* book, const WideString& name);
  TXlWorkbook* Book() const { return FBook; }
  void Detach();
  TXlSheetData& Data() { return FData; }
  void CheckAlive() const {
    if (!FBook) serverError("The worksheet has been deleted.");
  }
  std::vector<TComPtr<IDispatch>> HyperlinkObjects;  // TXlHyperlink
  std::vector<TComPtr<TXlChartObject>> ChartObjectList;
  int SummaryRow = xlSummaryBelow;
  int NextChartNumber = 1;

  HRESULT Get_Name(LCID, WideString* v) override { return getText(DISPID_Name, v); }
  HRESULT Set_Name(LCID, WideString v) override { return DualPut(DISPID_Name, v); }
  HRESULT Get_Range(const OleVariant& a, const OleVariant& b, Range** r) override {
    OleVariant out;
    HRESULT hr = DualGet(DISPID_Range, out, {a, b});
    return QueryResult(hr, out, IID_Range, reinterpret_cast<void**>(r));
  }
  HRESULT Get_Cells(LCID, Range** r) override { return getIntf(DISPID_Cells, IID_Range, r); }
  HRESULT Get_Parent(LCID, IDispatch** r) override { return getIntf(DISPID_Parent, IID_IDispatch, r); }
  HRESULT Hyperlinks(IDispatch** r) override { return getIntf(DISPID_Hyperlinks, IID_IDispatch, r); }
  HRESULT ChartObjects(const OleVariant& index, LCID, IDispatch** r) override {
    OleVariant out;
    HRESULT hr = DualCall(DISPID_ChartObjects, DISPATCH_METHOD, {index}, &out);
    return QueryResult(hr, out, IID_IDispatch, reinterpret_cast<void**>(r));
  }
  HRESULT Get_Outline(LCID, IDispatch** r) override { return getIntf(DISPID_Outline, IID_IDispatch, r); }
  HRESULT Activate(LCID) override { return DualCall(DISPID_Activate, DISPATCH_METHOD, {}, nullptr); }
  HRESULT Delete(LCID) override { return DualCall(DISPID_Delete, DISPATCH_METHOD, {}, nullptr); }

private:
  HRESULT getText(DISPID id, WideString* v) {
    OleVariant out;
    HRESULT hr = DualGet(id, out);
    if (SUCCEEDED(hr) && v) *v = out.AsWide();
    return hr;
  }
  template <class T>
  HRESULT getIntf(DISPID id, const IID& iid, T** r) {
    OleVariant out;
    return QueryResult(DualGet(id, out), out, iid, reinterpret_cast<void**>(r));
  }
  TXlWorkbook* FBook;
  TXlSheetData FData;
};

TComPtr<IDispatch> makeRange(TXlWorksheet* sheet, const TArea& a);

// ---------------------------------------------------------------------------------------------

class TXlWindow final : public TAutoObject<Window> {
public:
  explicit TXlWindow(TXlWorkbook* book);
  void Detach() { FBook = nullptr; }
  TArea Selection;

private:
  TXlWorkbook* FBook;
};

class TXlWorkbook final : public TAutoObject<_Workbook> {
public:
  TXlWorkbook(TXlApplication* app, const WideString& name, int sheets);
  TXlApplication* App() const { return FApp; }
  void CheckAlive() const {
    if (!FApp) serverError("The workbook has been closed.");
  }
  // Drops everything below, as when the workbook closes.
  void Detach();
  TXlWorksheet* ActiveSheet() const {
    return FSheets.empty() ? nullptr : FSheets[size_t(std::clamp(FActive, 0, int(FSheets.size()) - 1))].Get();
  }
  void ActivateSheet(TXlWorksheet* sheet);
  TComPtr<TXlWorksheet> AddSheet(int position);
  // A sheet read from a file, placed last.
  TComPtr<TXlWorksheet> AddLoadedSheet(TXlSheetData&& data);
  void DeleteSheet(TXlWorksheet* sheet);
  TXlWorksheet* SheetNamed(const WideString& name) const;
  void RenameSheet(TXlWorksheet* sheet, const WideString& name);
  std::vector<TComPtr<TXlWorksheet>>& SheetList() { return FSheets; }
  TComPtr<TXlWindow> WindowObject;
  WideString Name;
  WideString FullName;
  void SaveTo(const AnsiString& fileName);

  HRESULT Get_Worksheets(LCID, Sheets** r) override { return getIntf(DISPID_Worksheets, r); }
  HRESULT Get_Sheets(LCID, Sheets** r) override { return getIntf(DISPID_Sheets, r); }
  HRESULT Get_Name(LCID, WideString* v) override { return getText(DISPID_Name, v); }
  HRESULT Get_FullName(LCID, WideString* v) override { return getText(DISPID_FullName, v); }
  HRESULT Close(const OleVariant& saveChanges, const OleVariant& fileName, const OleVariant& route, LCID) override {
    return DualCall(DISPID_Close, DISPATCH_METHOD, {saveChanges, fileName, route}, nullptr);
  }
  HRESULT Save(LCID) override { return DualCall(DISPID_Save, DISPATCH_METHOD, {}, nullptr); }
  HRESULT SaveAs(const WideString& fileName, LCID) override {
    return DualCall(DISPID_SaveAs, DISPATCH_METHOD, {fileName}, nullptr);
  }
  HRESULT Activate(LCID) override { return DualCall(DISPID_Activate, DISPATCH_METHOD, {}, nullptr); }

private:
  HRESULT getText(DISPID id, WideString* v) {
    OleVariant out;
    HRESULT hr = DualGet(id, out);
    if (SUCCEEDED(hr) && v) *v = out.AsWide();
    return hr;
  }
  HRESULT getIntf(DISPID id, Sheets** r) {
    OleVariant out;
    return QueryResult(DualGet(id, out), out, IID_Sheets, reinterpret_cast<void**>(r));
  }
  TXlApplication* FApp;
  std::vector<TComPtr<TXlWorksheet>> FSheets;
  std::unordered_map<AnsiString, TXlWorksheet*> FNames;  // by XlSheetNameKey
  int FActive = 0;
  int FNextSheet = 1;
  friend class TXlWorksheet;
};

// ---------------------------------------------------------------------------------------------

class TXlApplication final : public TAutoObject<_Application> {
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
    if (id == FFailing) serverError("The server refused the call.");
  }

#define QX_PROP(Name, Type)                                                                     \
  HRESULT Get_##Name(LCID, Type* v) override { return get(DISPID_##Name, v); }                  \
  HRESULT Set_##Name(LCID, Type v) override { return DualPut(DISPID_##Name, OleVariant(v)); }
#define QX_GET(Name, Type) \
  HRESULT Get_##Name(LCID, Type* v) override { return get(DISPID_##Name, v); }
  HRESULT Get_Workbooks(LCID, Workbooks** r) override {
    OleVariant out;
    return QueryResult(DualGet(DISPID_Workbooks, out), out, IID_Workbooks, reinterpret_cast<void**>(r));
  }
  HRESULT Get_ActiveWindow(LCID, Window** r) override {
    OleVariant out;
    return QueryResult(DualGet(DISPID_ActiveWindow, out), out, IID_Window, reinterpret_cast<void**>(r));
  }
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
  HRESULT Quit() override { return DualCall(DISPID_Quit, DISPATCH_METHOD, {}, nullptr); }

protected:
  HRESULT QueryMore(const IID& iid, void** obj) override;

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
  class TUser final : public IXlUserActions {
  public:
    explicit TUser(TXlApplication& app) : FApp(app) {}
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
    TXlApplication& FApp;
  };

  TContainer FContainer{*this};
  TUser FUser{*this};
  TConnectionPoint FEvents{*this, IID_AppEvents};
  std::vector<TComPtr<TXlWorkbook>> FBooks;
  TXlWorkbook* FActiveBook = nullptr;
  DISPID FFailing = DISPID_UNKNOWN;
  bool FRefuseEvents = false;
  double FLeft = 0, FTop = 0, FWidth = 480, FHeight = 360;
  bool FVisible = false, FInteractive = true, FEnableEvents = true;
  int FWindowState = xlNormal;
  WideString FCaption = L"Microsoft Excel";
  bool FEnableAnimations = true, FEnableAutoComplete = true, FLargeButtons = false;
  int FEnableCancelKey = xlInterrupt;
  WideString FUserName;
};

// ---------------------------------------------------------------------------------------------
// Views over a block of cells.

class TXlRange;

// Font, interior, one border or all four: reads from the block's first cell, writes to every cell.
class TXlStyleView final : public TAutoObject<IDispatch> {
public:
  using TGet = std::function<OleVariant(const TXlStyle&)>;
  using TSet = std::function<void(TXlStyle&, const OleVariant&)>;
  TXlStyleView(const IID& iid, TComPtr<TXlWorksheet> sheet, TArea area)
      : TAutoObject(names(), iid), FSheet(std::move(sheet)), FArea(area) {}
  void Field(DISPID id, TGet get, TSet set) {
    Property(
        id, [this, get](const TInvokeArgs&) { return get(first()); },
        [this, set](const TInvokeArgs& a) {
          forEach([&](TXlStyle& s) { set(s, a.PutValue.Deref()); });
          return OleVariant();
        });
  }
  TComPtr<TXlWorksheet> Sheet() const { return FSheet; }
  TArea Area() const { return FArea; }

private:
  TXlStyle first() {
    FSheet->CheckAlive();
    TXlSheetData& d = FSheet->Data();
    return d.Styles[d.StyleAt(FArea.R1, FArea.C1)];
  }
  template <class F>
  void forEach(F f) {
    FSheet->CheckAlive();
    formatBlock(FSheet->Data(), FArea, f);
  }
  TComPtr<TXlWorksheet> FSheet;
  TArea FArea;
};

template <class T, class Field>
TXlStyleView::TGet getField(Field T::*field) {
  return [field](const TXlStyle& s) { return OleVariant(s.*field); };
}

TComPtr<IDispatch> makeFont(TComPtr<TXlWorksheet> sheet, TArea a) {
  auto v = MakeAuto<TXlStyleView>(IID_Font, std::move(sheet), a);
  v->Field(DISPID_Name, [](const TXlStyle& s) { return OleVariant(s.FontName); },
           [](TXlStyle& s, const OleVariant& x) { s.FontName = x.AsWide(); });
  v->Field(DISPID_Size, [](const TXlStyle& s) { return OleVariant(s.FontSize); },
           [](TXlStyle& s, const OleVariant& x) {
             double d = x.AsDouble();
             if (!(d >= 1 && d <= 409)) serverError("Unable to set the Size property of the Font class");
             s.FontSize = d;
           });
  v->Field(DISPID_Bold, getField(&TXlStyle::Bold), [](TXlStyle& s, const OleVariant& x) { s.Bold = x.AsBool(); });
  v->Field(DISPID_Italic, getField(&TXlStyle::Italic), [](TXlStyle& s, const OleVariant& x) { s.Italic = x.AsBool(); });
  v->Field(DISPID_Underline, getField(&TXlStyle::Underline),
           [](TXlStyle& s, const OleVariant& x) { s.Underline = x.AsBool(); });
  v->Field(DISPID_Strikethrough, getField(&TXlStyle::Strikethrough),
           [](TXlStyle& s, const OleVariant& x) { s.Strikethrough = x.AsBool(); });
  v->Field(DISPID_Color, getField(&TXlStyle::FontColor),
           [](TXlStyle& s, const OleVariant& x) { s.FontColor = x.AsInteger() & 0xFFFFFF; });
  return TComPtr<IDispatch>(v.Get());
}

TComPtr<IDispatch> makeInterior(TComPtr<TXlWorksheet> sheet, TArea a) {
  auto v = MakeAuto<TXlStyleView>(IID_Interior, std::move(sheet), a);
  v->Field(DISPID_Color, getField(&TXlStyle::InteriorColor),
           [](TXlStyle& s, const OleVariant& x) { s.InteriorColor = x.AsInteger() & 0xFFFFFF; });
  v->Field(DISPID_Pattern, getField(&TXlStyle::Pattern), [](TXlStyle& s, const OleVariant& x) {
    int pattern = x.AsInteger();
    if (!XlNameOf(XlPatternNames, pattern)) serverError("Unable to set the Pattern property of the Interior class");
    s.Pattern = pattern;
  });
  v->Field(DISPID_PatternColor, getField(&TXlStyle::PatternColor),
           [](TXlStyle& s, const OleVariant& x) { s.PatternColor = x.AsInteger() & 0xFFFFFF; });
  return TComPtr<IDispatch>(v.Get());
}

int edgeSlot(int edge) {
  if (edge < xlEdgeLeft || edge > xlEdgeRight) serverError("Unable to get the Item property of the Borders class");
  return edge - xlEdgeLeft;
}

// One edge, or every edge when edge is 0.
TComPtr<IDispatch> makeBorder(TComPtr<TXlWorksheet> sheet, TArea a, int edge) {
  auto v = MakeAuto<TXlStyleView>(edge ? IID_Border : IID_Borders, sheet, a);
  int first = edge ? edgeSlot(edge) : 0, last = edge ? first : 3;
  v->Field(DISPID_LineStyle, [first](const TXlStyle& s) { return OleVariant(s.Borders[first].LineStyle); },
           [first, last](TXlStyle& s, const OleVariant& x) {
             for (int i = first; i <= last; ++i) s.Borders[i].LineStyle = x.AsInteger();
           });
  v->Field(DISPID_Weight, [first](const TXlStyle& s) { return OleVariant(s.Borders[first].Weight); },
           [first, last](TXlStyle& s, const OleVariant& x) {
             int w = x.AsInteger();
             if (w != 1 && w != 2 && w != 4 && w != -4138) serverError("Unable to set the Weight property of the Border class");
             for (int i = first; i <= last; ++i) s.Borders[i].Weight = w;
           });
  if (!edge) {
    TXlStyleView* raw = v.Get();
    v->Method(DISPID_Item, [raw](const TInvokeArgs& args) {
      return OleVariant(makeBorder(raw->Sheet(), raw->Area(), args.Required(0).AsInteger()));
    });
    v->Property(DISPID_Count, [](const TInvokeArgs&) { return OleVariant(4); });
  }
  return TComPtr<IDispatch>(v.Get());
}

class TXlRange final : public TAutoObject<Range> {
public:
  TXlRange(TComPtr<TXlWorksheet> sheet, TArea area);
  TXlWorksheet* Sheet() const { return FSheet.Get(); }
  const TArea& Area() const { return FArea; }

private:
  // Every cell that exists in the block.
  template <class F>
  void forEachCell(F f) {
    auto& cells = FSheet->Data().Cells;
    for (auto it = cells.lower_bound({FArea.R1, 0}); it != cells.end() && it->first.first <= FArea.R2; ++it)
      if (FArea.Contains(it->first.first, it->first.second)) f(it->first.first, it->first.second, it->second);
  }
  OleVariant text();
  OleVariant value();
  void setValue(const OleVariant& v);
  void tooLargeForValues() const;
  void changed();
  // Offsets and sizes come from callers: the corners are computed wide, then checked.
  OleVariant sub(long long r1, long long c1, long long r2, long long c2) {
    if (r1 < 1 || c1 < 1 || r2 > XlMaxRows || c2 > XlMaxColumns || r2 < r1 || c2 < c1)
      serverError("Application-defined or object-defined error");
    return OleVariant(makeRange(FSheet.Get(), TArea{int(r1), int(c1), int(r2), int(c2)}));
  }
  template <class T>
  OleVariant styleGet(T TXlStyle::*field) {
    TXlSheetData& d = FSheet->Data();
    return OleVariant(d.Styles[d.StyleAt(FArea.R1, FArea.C1)].*field);
  }
  template <class T, class Conv>
  void styleField(DISPID id, T TXlStyle::*field, Conv conv) {
    Property(
        id, [this, field](const TInvokeArgs&) { FSheet->CheckAlive(); return styleGet(field); },
        [this, field, conv](const TInvokeArgs& a) {
          FSheet->CheckAlive();
          T v = conv(a.PutValue.Deref());
          formatBlock(FSheet->Data(), FArea, [&](TXlStyle& s) { s.*field = v; });
          return OleVariant();
        });
  }
  TComPtr<TXlWorksheet> FSheet;
  TArea FArea;
};

TComPtr<IDispatch> makeRange(TXlWorksheet* sheet, const TArea& a) {
  return TComPtr<IDispatch>(MakeAuto<TXlRange>(TComPtr<TXlWorksheet>(sheet), a).Get());
}

// A cell argument: an address text or a range of the same sheet.
TArea areaOf(const OleVariant& v, TXlWorksheet* sheet) {
  if (v.IsInterface()) {
    TComPtr<IDispatch> d = v.AsDispatch();
    TComPtr<IDispatch> r = d.Query<IDispatch>(IID_Range);
    auto* range = r ? static_cast<TXlRange*>(static_cast<Range*>(r.Get())) : nullptr;
    if (!range || range->Sheet() != sheet) serverError("Method 'Range' of object '_Worksheet' failed");
    return range->Area();
  }
  TArea a;
  if (!v.IsText() || !parseArea(v.AsAnsi(), a)) serverError("Method 'Range' of object '_Worksheet' failed");
  return a;
}

TArea areaOf(const TInvokeArgs& args, TXlWorksheet* sheet) {
  TArea a = areaOf(args.Required(0), sheet);
  if (args.Has(1)) a = unite(a, areaOf(args.Arg(1), sheet));
  return a;
}

class TXlShape final : public TAutoObject<IDispatch> {
public:
  explicit TXlShape(const WideString& name) : TAutoObject(names(), IID_Shape) {
    Property(DISPID_Name, [name](const TInvokeArgs&) { return OleVariant(name); });
  }
};

class TXlChart final : public TAutoObject<ExcelChart> {
public:
  explicit TXlChart(TXlChartObject* parent);
  void Detach() { FParent = nullptr; }
  int ChartType = xlArea;
  WideString Source;

private:
  TXlChartObject* FParent;
};

class TXlChartObject final : public TAutoObject<IDispatch> {
public:
  TXlChartObject(TXlWorksheet* sheet, WideString name, double l, double t, double w, double h);
  void Detach() {
    FSheet = nullptr;
    FChart->Detach();
  }
  void CheckAlive() const {
    if (!FSheet) serverError("The chart object has been deleted.");
  }
  WideString Name;
  double Left, Top, Width, Height;
  TComPtr<TXlChart> FChart;

private:
  TXlWorksheet* FSheet;
};

class TXlHyperlink final : public TAutoObject<IDispatch> {
public:
  TXlHyperlink(TXlWorksheet* sheet, TArea anchor, TXlChartObject* shape, WideString address, WideString sub);
  void Detach() { FSheet = nullptr; }
  TArea Anchor;
  TComPtr<TXlChartObject> ShapeAnchor;
  WideString Address, SubAddress;
  int FollowCount = 0;

private:
  void checkAlive() const {
    if (!FSheet) serverError("The hyperlink has been deleted.");
  }
  TXlWorksheet* FSheet;
};

IDispatch* dispatchOf(IDispatch* d) { return d; }
template <class T>
IDispatch* dispatchOf(T* object) { return object->AsDispatch(); }

template <class T>
OleVariant itemAt(std::vector<TComPtr<T>>& list, const OleVariant& index) {
  int i = index.AsInteger();
  if (i < 1 || i > int(list.size())) serverError("Subscript out of range");
  return OleVariant(TComPtr<IDispatch>(dispatchOf(list[size_t(i - 1)].Get())));
}

// The sheet's hyperlinks, its chart objects and its outline settings.
TComPtr<IDispatch> makeHyperlinks(TComPtr<TXlWorksheet> sheet) {
  auto v = MakeAuto<TAutoObject<IDispatch>>(names(), IID_Hyperlinks);
  TXlWorksheet* s = sheet.Get();
  auto keep = std::make_shared<TComPtr<TXlWorksheet>>(sheet);
  v->Property(DISPID_Count, [s, keep](const TInvokeArgs&) { s->CheckAlive(); return OleVariant(int(s->HyperlinkObjects.size())); });
  v->Method(DISPID_Item, [s, keep](const TInvokeArgs& a) { s->CheckAlive(); return itemAt(s->HyperlinkObjects, a.Required(0)); });
  v->Method(DISPID_Add, [s, keep](const TInvokeArgs& a) {
    s->CheckAlive();
    const OleVariant& anchor = a.Required(0);
    TArea area{};
    TXlChartObject* shape = nullptr;
    TComPtr<IDispatch> d = anchor.IsInterface() ? anchor.AsDispatch() : TComPtr<IDispatch>();
    if (TComPtr<IDispatch> co = d.Query<IDispatch>(IID_ChartObject)) {
      shape = static_cast<TXlChartObject*>(co.Get());
    } else {
      area = areaOf(anchor, s);
    }
    WideString address = a.Has(1) ? a.Arg(1).AsWide() : WideString();
    WideString sub = a.Has(2) ? a.Arg(2).AsWide() : WideString();
    if (address.empty() && sub.empty()) serverError("Cannot open the specified file.");
    auto link = MakeAuto<TXlHyperlink>(s, area, shape, address, sub);
    s->HyperlinkObjects.push_back(TComPtr<IDispatch>(link->AsDispatch()));
    return OleVariant(TComPtr<IDispatch>(link->AsDispatch()));
  });
  return TComPtr<IDispatch>(v.Get());
}

TComPtr<IDispatch> makeChartObjects(TComPtr<TXlWorksheet> sheet) {
  auto v = MakeAuto<TAutoObject<IDispatch>>(names(), IID_ChartObjects);
  TXlWorksheet* s = sheet.Get();
  auto keep = std::make_shared<TComPtr<TXlWorksheet>>(sheet);
  v->Property(DISPID_Count, [s, keep](const TInvokeArgs&) { s->CheckAlive(); return OleVariant(int(s->ChartObjectList.size())); });
  v->Method(DISPID_Item, [s, keep](const TInvokeArgs& a) { s->CheckAlive(); return itemAt(s->ChartObjectList, a.Required(0)); });
  v->Method(DISPID_Add, [s, keep](const TInvokeArgs& a) {
    s->CheckAlive();
    double w = a.Required(2).AsDouble(), h = a.Required(3).AsDouble();
    if (w < 0 || h < 0) serverError("Add method of ChartObjects class failed");
    auto co = MakeAuto<TXlChartObject>(s, L"Chart " + std::to_wstring(s->NextChartNumber++), a.Required(0).AsDouble(),
                                       a.Required(1).AsDouble(), w, h);
    s->ChartObjectList.push_back(co);
    return OleVariant(TComPtr<IDispatch>(co->AsDispatch()));
  });
  return TComPtr<IDispatch>(v.Get());
}

TComPtr<IDispatch> makeOutline(TComPtr<TXlWorksheet> sheet) {
  auto v = MakeAuto<TAutoObject<IDispatch>>(names(), IID_Outline);
  TXlWorksheet* s = sheet.Get();
  auto keep = std::make_shared<TComPtr<TXlWorksheet>>(sheet);
  v->Property(
      DISPID_SummaryRow, [s, keep](const TInvokeArgs&) { return OleVariant(s->SummaryRow); },
      [s, keep](const TInvokeArgs& a) {
        int v = a.PutValue.AsInteger();
        if (v != xlSummaryAbove && v != xlSummaryBelow) serverError("Unable to set the SummaryRow property of the Outline class");
        s->SummaryRow = v;
        return OleVariant();
      });
  return TComPtr<IDispatch>(v.Get());
}

// ---------------------------------------------------------------------------------------------

TXlRange::TXlRange(TComPtr<TXlWorksheet> sheet, TArea area)
    : TAutoObject(names(), IID_Range), FSheet(std::move(sheet)), FArea(area) {
  auto alive = [this] { FSheet->CheckAlive(); };
  Property(DISPID_Address, [this, alive](const TInvokeArgs& a) {
    alive();
    bool rowAbs = a.Has(0) ? a.Arg(0).AsBool() : true;
    bool colAbs = a.Has(1) ? a.Arg(1).AsBool() : true;
    if (a.Has(2) && a.Arg(2).AsInteger() != xlA1) serverError("Only the A1 reference style is served.");
    AnsiString s = cellAddress(FArea.R1, FArea.C1, rowAbs, colAbs);
    if (FArea.CellCount() > 1) s += ":" + cellAddress(FArea.R2, FArea.C2, rowAbs, colAbs);
    return OleVariant(s);
  });
  Property(DISPID_Text, [this, alive](const TInvokeArgs&) { alive(); return text(); });
  Property(
      DISPID_Value, [this, alive](const TInvokeArgs&) { alive(); return value(); },
      [this, alive](const TInvokeArgs& a) {
        alive();
        setValue(a.PutValue.Deref());
        return OleVariant();
      });
  Property(DISPID_Offset, [this](const TInvokeArgs& a) {
    long long dr = a.Has(0) ? a.Arg(0).AsInteger() : 0, dc = a.Has(1) ? a.Arg(1).AsInteger() : 0;
    return sub(FArea.R1 + dr, FArea.C1 + dc, FArea.R2 + dr, FArea.C2 + dc);
  });
  Property(DISPID_Resize, [this](const TInvokeArgs& a) {
    long long rows = a.Has(0) ? a.Arg(0).AsInteger() : FArea.Rows(), cols = a.Has(1) ? a.Arg(1).AsInteger() : FArea.Columns();
    if (rows < 1 || cols < 1) serverError("Application-defined or object-defined error");
    return sub(FArea.R1, FArea.C1, FArea.R1 + rows - 1, FArea.C1 + cols - 1);
  });
  Property(DISPID_Item, [this](const TInvokeArgs& a) {
    long long r = a.Required(0).AsInteger(), c = a.Has(1) ? a.Arg(1).AsInteger() : 1;
    return sub(FArea.R1 + r - 1, FArea.C1 + c - 1, FArea.R1 + r - 1, FArea.C1 + c - 1);
  });
  Property(DISPID_Range, [this](const TInvokeArgs& a) {
    TArea rel = areaOf(a, FSheet.Get());
    return sub(FArea.R1 + rel.R1 - 1LL, FArea.C1 + rel.C1 - 1LL, FArea.R1 + rel.R2 - 1LL, FArea.C1 + rel.C2 - 1LL);
  });
  Property(DISPID_EntireRow, [this](const TInvokeArgs&) { return sub(FArea.R1, 1, FArea.R2, XlMaxColumns); });
  Property(DISPID_EntireColumn, [this](const TInvokeArgs&) { return sub(1, FArea.C1, XlMaxRows, FArea.C2); });
  Property(DISPID_Row, [this](const TInvokeArgs&) { return OleVariant(FArea.R1); });
  Property(DISPID_Column, [this](const TInvokeArgs&) { return OleVariant(FArea.C1); });
  Property(DISPID_Count, [this](const TInvokeArgs&) { return OleVariant(double(FArea.CellCount())); });
  Property(DISPID_Worksheet, [this](const TInvokeArgs&) { return OleVariant(FSheet->AsDispatch()); });
  Property(DISPID_Parent, [this](const TInvokeArgs&) { return OleVariant(FSheet->AsDispatch()); });
  Property(
      DISPID_OutlineLevel,
      [this, alive](const TInvokeArgs&) {
        alive();
        auto& levels = FSheet->Data().RowLevels;
        auto it = levels.find(FArea.R1);
        return OleVariant(it == levels.end() ? 1 : it->second);
      },
      [this, alive](const TInvokeArgs& a) {
        alive();
        int level = a.PutValue.AsInteger();
        if (level < 1 || level > 8) serverError("Unable to set the OutlineLevel property of the Range class");
        auto& levels = FSheet->Data().RowLevels;
        for (int r = FArea.R1; r <= FArea.R2; ++r) {
          if (level == 1) levels.erase(r); else levels[r] = level;
        }
        return OleVariant();
      });
  Method(DISPID_AutoFit, [this, alive](const TInvokeArgs&) {
    alive();
    // A column fits its longest text; an empty one keeps the standard width.
    std::map<int, size_t> longest;
    forEachCell([&](int, int c, TXlCell& cell) {
      longest[c] = std::max(longest[c], XlCellText(cell.Value).size());
    });
    for (int c = FArea.C1; c <= FArea.C2; ++c) {
      auto it = longest.find(c);
      if (it == longest.end() || it->second == 0) FSheet->Data().ColumnWidths.erase(c);
      else FSheet->Data().ColumnWidths[c] = std::min<double>(255, double(it->second) + 1);
    }
    return OleVariant(true);
  });
  Method(DISPID_ClearContents, [this, alive](const TInvokeArgs&) {
    alive();
    forEachCell([](int, int, TXlCell& c) { c.Value = OleVariant(); });
    changed();
    return OleVariant(true);
  });
  Method(DISPID_Select, [this, alive](const TInvokeArgs&) {
    alive();
    TXlWorkbook* book = FSheet->Book();
    if (book->ActiveSheet() != FSheet.Get()) serverError("Select method of Range class failed");
    book->WindowObject->Selection = FArea;
    book->App()->Fire(DISPID_SheetSelectionChange, {FSheet->AsDispatch(), OleVariant(AsDispatch())});
    return OleVariant(true);
  });
  Property(DISPID_Font, [this](const TInvokeArgs&) { return OleVariant(makeFont(FSheet, FArea)); });
  Property(DISPID_Interior, [this](const TInvokeArgs&) { return OleVariant(makeInterior(FSheet, FArea)); });
  Property(DISPID_Borders, [this](const TInvokeArgs& a) {
    TComPtr<IDispatch> all = makeBorder(FSheet, FArea, 0);
    return a.Has(0) ? OleVariant(makeBorder(FSheet, FArea, a.Arg(0).AsInteger())) : OleVariant(all);
  });
  auto toInt = [](const OleVariant& v) { return v.AsInteger(); };
  auto toBool = [](const OleVariant& v) { return v.AsBool(); };
  styleField(DISPID_IndentLevel, &TXlStyle::IndentLevel, [](const OleVariant& v) {
    int i = v.AsInteger();
    if (i < 0 || i > 15) serverError("Unable to set the IndentLevel property of the Range class");
    return i;
  });
  styleField(DISPID_Orientation, &TXlStyle::Orientation, [](const OleVariant& v) {
    int o = v.AsInteger();
    bool named = o == -4170 || o == -4128 || o == -4171 || o == -4166;
    if (!named && (o < -90 || o > 90)) serverError("Unable to set the Orientation property of the Range class");
    return o;
  });
  styleField(DISPID_ShrinkToFit, &TXlStyle::ShrinkToFit, toBool);
  styleField(DISPID_HorizontalAlignment, &TXlStyle::HorizontalAlignment, toInt);
  styleField(DISPID_VerticalAlignment, &TXlStyle::VerticalAlignment, toInt);
  styleField(DISPID_WrapText, &TXlStyle::WrapText, toBool);
  Property(
      DISPID_ColumnWidth,
      [this](const TInvokeArgs&) {
        auto& w = FSheet->Data().ColumnWidths;
        auto it = w.find(FArea.C1);
        return OleVariant(it == w.end() ? 8.43 : it->second);
      },
      [this](const TInvokeArgs& a) {
        double v = a.PutValue.AsDouble();
        if (!(v >= 0 && v <= 255)) serverError("Unable to set the ColumnWidth property of the Range class");
        for (int c = FArea.C1; c <= FArea.C2; ++c) FSheet->Data().ColumnWidths[c] = v;
        return OleVariant();
      });
  Property(
      DISPID_RowHeight,
      [this](const TInvokeArgs&) {
        auto& h = FSheet->Data().RowHeights;
        auto it = h.find(FArea.R1);
        return OleVariant(it == h.end() ? 12.75 : it->second);
      },
      [this](const TInvokeArgs& a) {
        double v = a.PutValue.AsDouble();
        if (!(v >= 0 && v <= 409)) serverError("Unable to set the RowHeight property of the Range class");
        for (int r = FArea.R1; r <= FArea.R2; ++r) FSheet->Data().RowHeights[r] = v;
        return OleVariant();
      });
}

OleVariant TXlRange::text() {
  auto& cells = FSheet->Data().Cells;
  if (FArea.CellCount() == 1) {
    auto it = cells.find({FArea.R1, FArea.C1});
    return OleVariant(it == cells.end() ? WideString() : XlCellText(it->second.Value));
  }
  // Cells that differ have no one text.
  long long seen = 0;
  std::optional<WideString> common;
  bool same = true;
  forEachCell([&](int, int, TXlCell& c) {
    WideString t = XlCellText(c.Value);
    ++seen;
    if (!common) common = t; else if (*common != t) same = false;
  });
  if (seen < FArea.CellCount()) {
    if (common && !common->empty()) same = false;
    common = WideString();
  }
  return same ? OleVariant(*common) : OleVariant::Null();
}

OleVariant TXlRange::value() {
  auto& cells = FSheet->Data().Cells;
  auto at = [&](int r, int c) {
    auto it = cells.find({r, c});
    return it == cells.end() ? OleVariant() : it->second.Value;
  };
  if (FArea.CellCount() == 1) return at(FArea.R1, FArea.C1);
  if (FArea.Rows() != 1 || FArea.Columns() > XlMaxColumns) serverError("Only one-row blocks give their values.");
  std::vector<OleVariant> row;
  for (int c = FArea.C1; c <= FArea.C2; ++c) row.push_back(at(FArea.R1, c));
  return OleVariant::Array(std::move(row), 1);
}

void TXlRange::setValue(const OleVariant& v) {
  if (v.IsInterface()) serverError("An object is not a cell value.");
  if (v.IsArray()) {
    const auto& items = v.Elements();
    tooLargeForValues();
    for (int r = FArea.R1; r <= FArea.R2; ++r)
      for (int c = FArea.C1; c <= FArea.C2; ++c) {
        size_t i = size_t(c - FArea.C1);
        TXlCell& cell = FSheet->Data().CellAt(r, c);
        cell.Value = i < items.size() ? items[i].Deref() : OleVariant::Error(static_cast<HRESULT>(0x800A07FA));
        if (cell.Value.IsArray() || cell.Value.IsInterface()) serverError("An array element is not a cell value.");
      }
  } else {
    OleVariant value = v.IsNull() ? OleVariant() : v;
    if (value.IsEmpty()) {
      forEachCell([](int, int, TXlCell& c) { c.Value = OleVariant(); });  // emptying makes no cells
    } else {
      tooLargeForValues();
      for (int r = FArea.R1; r <= FArea.R2; ++r)
        for (int c = FArea.C1; c <= FArea.C2; ++c) FSheet->Data().CellAt(r, c).Value = value;
    }
  }
  changed();
}

void TXlRange::tooLargeForValues() const {
  if (FArea.CellCount() > MaxCellsMadeByOneWrite)
    serverError("A block of more than " + IntToStr(int(MaxCellsMadeByOneWrite)) + " cells cannot take a value at once.");
}

void TXlRange::changed() {
  TComPtr<IDispatch> app(FSheet->Book()->App()->AsDispatch());
  FSheet->Book()->App()->Fire(DISPID_SheetChange, {FSheet->AsDispatch(), OleVariant(AsDispatch())});
  // A handler may have closed the workbook.
  if (FSheet->Book()) FSheet->Book()->App()->Fire(DISPID_SheetCalculate, {FSheet->AsDispatch()});
}

// ---------------------------------------------------------------------------------------------

TXlChart::TXlChart(TXlChartObject* parent) : TAutoObject(names(), IID__Chart), FParent(parent) {
  auto alive = [this] {
    if (!FParent) serverError("The chart has been deleted.");
  };
  Property(
      DISPID_ChartType, [this, alive](const TInvokeArgs&) { alive(); return OleVariant(ChartType); },
      [this, alive](const TInvokeArgs& a) {
        alive();
        ChartType = a.PutValue.AsInteger();
        return OleVariant();
      });
  Property(DISPID_Parent, [this, alive](const TInvokeArgs&) { alive(); return OleVariant(FParent->AsDispatch()); });
  Method(DISPID_ChartWizard, [this, alive](const TInvokeArgs& a) {
    alive();
    if (a.Has(0)) {
      TComPtr<IDispatch> r = a.Arg(0).AsDispatch().Query<IDispatch>(IID_Range);
      if (!r) serverError("ChartWizard method of Chart class failed");
      Source = DispGet(r.Get(), DISPID_Address).AsWide();
    }
    return OleVariant();
  });
}

TXlChartObject::TXlChartObject(TXlWorksheet* sheet, WideString name, double l, double t, double w, double h)
    : TAutoObject(names(), IID_ChartObject), Name(std::move(name)), Left(l), Top(t), Width(w), Height(h),
      FChart(MakeAuto<TXlChart>(this)), FSheet(sheet) {
  auto geometry = [this](DISPID id, double TXlChartObject::*field) {
    Property(
        id, [this, field](const TInvokeArgs&) { CheckAlive(); return OleVariant(this->*field); },
        [this, field](const TInvokeArgs& a) {
          CheckAlive();
          this->*field = a.PutValue.AsDouble();
          return OleVariant();
        });
  };
  geometry(DISPID_Left, &TXlChartObject::Left);
  geometry(DISPID_Top, &TXlChartObject::Top);
  geometry(DISPID_Width, &TXlChartObject::Width);
  geometry(DISPID_Height, &TXlChartObject::Height);
  Property(DISPID_Name, [this](const TInvokeArgs&) { return OleVariant(Name); });
  Property(DISPID_Chart, [this](const TInvokeArgs&) { CheckAlive(); return OleVariant(FChart->AsDispatch()); });
  Method(DISPID_Activate, [this](const TInvokeArgs&) { CheckAlive(); return OleVariant(true); });
  Method(DISPID_Delete, [this](const TInvokeArgs&) {
    CheckAlive();
    auto& list = FSheet->ChartObjectList;
    TComPtr<TXlChartObject> self(this);
    list.erase(std::remove(list.begin(), list.end(), self), list.end());
    Detach();
    return OleVariant(true);
  });
}

TXlHyperlink::TXlHyperlink(TXlWorksheet* sheet, TArea anchor, TXlChartObject* shape, WideString address, WideString sub)
    : TAutoObject(names(), IID_Hyperlink), Anchor(anchor), ShapeAnchor(shape), Address(std::move(address)),
      SubAddress(std::move(sub)), FSheet(sheet) {
  auto text = [this](DISPID id, WideString TXlHyperlink::*field) {
    Property(
        id, [this, field](const TInvokeArgs&) { checkAlive(); return OleVariant(this->*field); },
        [this, field](const TInvokeArgs& a) {
          checkAlive();
          this->*field = a.PutValue.AsWide();
          return OleVariant();
        });
  };
  text(DISPID_Address, &TXlHyperlink::Address);
  text(DISPID_SubAddress, &TXlHyperlink::SubAddress);
  Property(DISPID_Type, [this](const TInvokeArgs&) {
    checkAlive();
    return OleVariant(ShapeAnchor ? msoHyperlinkShape : msoHyperlinkRange);
  });
  Property(DISPID_Range, [this](const TInvokeArgs&) {
    checkAlive();
    if (ShapeAnchor) serverError("The hyperlink is on a shape.");
    return OleVariant(makeRange(FSheet, Anchor));
  });
  Property(DISPID_Shape, [this](const TInvokeArgs&) {
    checkAlive();
    if (!ShapeAnchor) serverError("The hyperlink is on a range.");
    return OleVariant(TComPtr<IDispatch>(MakeAuto<TXlShape>(ShapeAnchor->Name).Get()));
  });
  Method(DISPID_Follow, [this](const TInvokeArgs&) {
    checkAlive();
    ++FollowCount;
    return OleVariant();
  });
  Method(DISPID_Delete, [this](const TInvokeArgs&) {
    checkAlive();
    auto& list = FSheet->HyperlinkObjects;
    TComPtr<IDispatch> self(AsDispatch());
    list.erase(std::remove(list.begin(), list.end(), self), list.end());
    Detach();
    return OleVariant();
  });
}

TXlWindow::TXlWindow(TXlWorkbook* book) : TAutoObject(names(), IID_Window), FBook(book) {
  auto alive = [this] {
    if (!FBook) serverError("The window has been closed.");
  };
  Property(DISPID_RangeSelection, [this, alive](const TInvokeArgs&) {
    alive();
    TXlWorksheet* sheet = FBook->ActiveSheet();
    return sheet ? OleVariant(makeRange(sheet, Selection)) : OleVariant();
  });
  Method(DISPID_Activate, [this, alive](const TInvokeArgs&) {
    alive();
    FBook->App()->ActivateBook(FBook);
    return OleVariant(true);
  });
  Property(DISPID_Caption, [this, alive](const TInvokeArgs&) { alive(); return OleVariant(FBook->Name); });
}

// ---------------------------------------------------------------------------------------------

TXlWorksheet::TXlWorksheet(TXlWorkbook* book, const WideString& name) : TAutoObject(names(), IID__Worksheet), FBook(book) {
  FData.Name = name;
  Property(
      DISPID_Name, [this](const TInvokeArgs&) { CheckAlive(); return OleVariant(FData.Name); },
      [this](const TInvokeArgs& a) {
        CheckAlive();
        FBook->RenameSheet(this, a.PutValue.AsWide());
        return OleVariant();
      });
  Property(DISPID_Range, [this](const TInvokeArgs& a) {
    CheckAlive();
    return OleVariant(makeRange(this, areaOf(a, this)));
  });
  Property(DISPID_Cells, [this](const TInvokeArgs&) {
    CheckAlive();
    return OleVariant(makeRange(this, TArea{1, 1, XlMaxRows, XlMaxColumns}));
  });
  Property(DISPID_Hyperlinks, [this](const TInvokeArgs&) { CheckAlive(); return OleVariant(makeHyperlinks(TComPtr<TXlWorksheet>(this))); });
  Method(DISPID_ChartObjects, [this](const TInvokeArgs& a) {
    CheckAlive();
    TComPtr<IDispatch> all = makeChartObjects(TComPtr<TXlWorksheet>(this));
    return a.Has(0) ? itemAt(ChartObjectList, a.Arg(0)) : OleVariant(all);
  });
  Property(DISPID_Outline, [this](const TInvokeArgs&) { CheckAlive(); return OleVariant(makeOutline(TComPtr<TXlWorksheet>(this))); });
  Property(DISPID_Parent, [this](const TInvokeArgs&) { CheckAlive(); return OleVariant(FBook->AsDispatch()); });
  Property(DISPID_Index, [this](const TInvokeArgs&) {
    CheckAlive();
    auto& list = FBook->SheetList();
    return OleVariant(int(std::find(list.begin(), list.end(), TComPtr<TXlWorksheet>(this)) - list.begin()) + 1);
  });
  Method(DISPID_Activate, [this](const TInvokeArgs&) {
    CheckAlive();
    FBook->App()->ActivateBook(FBook);
    CheckAlive();
    FBook->ActivateSheet(this);
    return OleVariant(true);
  });
  Method(DISPID_Delete, [this](const TInvokeArgs&) {
    CheckAlive();
    FBook->DeleteSheet(this);
    return OleVariant(true);
  });
}

void TXlWorksheet::Detach() {
  FBook = nullptr;
  for (auto& h : HyperlinkObjects) static_cast<TXlHyperlink*>(h.Get())->Detach();
  for (auto& c : ChartObjectList) c->Detach();
  HyperlinkObjects.clear();
  ChartObjectList.clear();
}

TComPtr<IDispatch> makeSheets(TComPtr<TXlWorkbook> book) {
  class TXlSheets final : public TAutoObject<Sheets> {
  public:
    explicit TXlSheets(TComPtr<TXlWorkbook> book) : TAutoObject(names(), IID_Sheets), FBook(std::move(book)) {
      Property(DISPID_Count, [this](const TInvokeArgs&) { FBook->CheckAlive(); return OleVariant(int(FBook->SheetList().size())); });
      Property(DISPID_Item, [this](const TInvokeArgs& a) {
        FBook->CheckAlive();
        const OleVariant& index = a.Required(0);
        if (index.IsText()) {
          if (TXlWorksheet* s = FBook->SheetNamed(index.AsWide())) return OleVariant(s->AsDispatch());
          serverError("Subscript out of range");
        }
        return itemAt(FBook->SheetList(), index);
      });
      Method(DISPID_Add, [this](const TInvokeArgs& a) {
        FBook->CheckAlive();
        auto& list = FBook->SheetList();
        auto positionOf = [&](const OleVariant& v) {
          TComPtr<IDispatch> d = v.AsDispatch();
          for (size_t i = 0; i < list.size(); ++i)
            if (list[i]->AsDispatch() == d.Get()) return int(i);
          serverError("Add method of Sheets class failed");
        };
        int count = a.Has(2) ? a.Arg(2).AsInteger() : 1;
        if (count < 1 || count > 255) serverError("Add method of Sheets class failed");
        int at = a.Has(0) ? positionOf(a.Arg(0)) : a.Has(1) ? positionOf(a.Arg(1)) + 1 : FBook->ActiveSheet() ? positionOf(OleVariant(FBook->ActiveSheet()->AsDispatch())) : 0;
        TComPtr<TXlWorksheet> last;
        for (int i = 0; i < count; ++i) last = FBook->AddSheet(at + i);
        return OleVariant(last->AsDispatch());
      });
    }
    HRESULT Get_Count(LCID, int32_t* v) override {
      OleVariant out;
      HRESULT hr = DualGet(DISPID_Count, out);
      if (SUCCEEDED(hr) && v) *v = out.AsInteger();
      return hr;
    }
    HRESULT Get_Item(const OleVariant& index, IDispatch** r) override {
      OleVariant out;
      return QueryResult(DualGet(DISPID_Item, out, {index}), out, IID_IDispatch, reinterpret_cast<void**>(r));
    }
    HRESULT Add(const OleVariant& before, const OleVariant& after, const OleVariant& count, const OleVariant& type,
                LCID, IDispatch** r) override {
      OleVariant out;
      HRESULT hr = DualCall(DISPID_Add, DISPATCH_METHOD, {before, after, count, type}, &out);
      return QueryResult(hr, out, IID_IDispatch, reinterpret_cast<void**>(r));
    }

  private:
    TComPtr<TXlWorkbook> FBook;
  };
  return TComPtr<IDispatch>(MakeAuto<TXlSheets>(std::move(book))->AsDispatch());
}

TXlWorkbook::TXlWorkbook(TXlApplication* app, const WideString& name, int sheets)
    : TAutoObject(names(), IID__Workbook), WindowObject(MakeAuto<TXlWindow>(this)), Name(name), FApp(app) {
  for (int i = 0; i < sheets; ++i) AddSheet(i);
  Property(DISPID_Worksheets, [this](const TInvokeArgs&) { CheckAlive(); return OleVariant(makeSheets(TComPtr<TXlWorkbook>(this))); });
  Property(DISPID_Sheets, [this](const TInvokeArgs&) { CheckAlive(); return OleVariant(makeSheets(TComPtr<TXlWorkbook>(this))); });
  Property(DISPID_Name, [this](const TInvokeArgs&) { return OleVariant(Name); });
  Property(DISPID_FullName, [this](const TInvokeArgs&) { return OleVariant(FullName.empty() ? Name : FullName); });
  Property(DISPID_ActiveSheet, [this](const TInvokeArgs&) {
    CheckAlive();
    return ActiveSheet() ? OleVariant(ActiveSheet()->AsDispatch()) : OleVariant();
  });
  Property(DISPID_Application, [this](const TInvokeArgs&) { CheckAlive(); return OleVariant(FApp->AsDispatch()); });
  Method(DISPID_Close, [this](const TInvokeArgs& a) {
    CheckAlive();
    // A close the handler cancels writes nothing.
    if (FApp->Fire(DISPID_WorkbookBeforeClose, {AsDispatch(), OleVariant()}, true)) return OleVariant(false);
    if (!FApp) return OleVariant(true);  // a handler closed it already
    if (a.Has(0) && a.Arg(0).AsBool()) {
      if (a.Has(1)) SaveTo(a.Arg(1).AsAnsi());
      else if (!FullName.empty()) SaveTo(WideToAnsi(FullName));
    }
    FApp->CloseBook(this);
    return OleVariant(true);
  });
  Method(DISPID_Save, [this](const TInvokeArgs&) {
    CheckAlive();
    if (FApp->Fire(DISPID_WorkbookBeforeSave, {AsDispatch(), OleVariant(false), OleVariant()}, true)) return OleVariant(false);
    CheckAlive();
    // A workbook never saved goes to the current folder under its name.
    SaveTo(FullName.empty() ? WideToAnsi(Name) + ".xml" : WideToAnsi(FullName));
    return OleVariant(true);
  });
  Method(DISPID_SaveAs, [this](const TInvokeArgs& a) {
    CheckAlive();
    if (FApp->Fire(DISPID_WorkbookBeforeSave, {AsDispatch(), OleVariant(true), OleVariant()}, true)) return OleVariant(false);
    CheckAlive();
    SaveTo(a.Required(0).AsAnsi());
    return OleVariant(true);
  });
  Method(DISPID_Activate, [this](const TInvokeArgs&) {
    CheckAlive();
    FApp->ActivateBook(this);
    return OleVariant(true);
  });
}

void TXlWorkbook::SaveTo(const AnsiString& fileName) {
  std::vector<const TXlSheetData*> data;
  for (auto& s : FSheets) {
    TXlSheetData& d = s->Data();
    d.Links.clear();
    for (auto& h : s->HyperlinkObjects) {
      auto* link = static_cast<TXlHyperlink*>(h.Get());
      if (!link->ShapeAnchor) d.Links[{link->Anchor.R1, link->Anchor.C1}] = TXlLink{link->Address, link->SubAddress};
    }
    data.push_back(&d);
  }
  SaveSpreadsheetML(fileName, data);
  char full[4096];
  AnsiString path = fileName;
  if (!path.empty() && path[0] != '/' && getcwd(full, sizeof full)) path = AnsiString(full) + "/" + path;
  FullName = AnsiToWide(path);
  Name = AnsiToWide(path.substr(path.rfind('/') + 1));
}

void TXlWorkbook::Detach() {
  for (auto& s : FSheets) s->Detach();
  FSheets.clear();
  FNames.clear();
  WindowObject->Detach();
  FApp = nullptr;
}

void TXlWorkbook::ActivateSheet(TXlWorksheet* sheet) {
  TComPtr<TXlWorksheet> old(ActiveSheet()), keep(sheet);
  if (old.Get() == sheet) return;
  for (size_t i = 0; i < FSheets.size(); ++i)
    if (FSheets[i].Get() == sheet) FActive = int(i);
  WindowObject->Selection = TArea{};
  TComPtr<IDispatch> self(AsDispatch());
  if (old) FApp->Fire(DISPID_SheetDeactivate, {old->AsDispatch()});
  // A handler may have closed the workbook or deleted the sheet.
  if (FApp && sheet->Book()) FApp->Fire(DISPID_SheetActivate, {sheet->AsDispatch()});
}

TXlWorksheet* TXlWorkbook::SheetNamed(const WideString& name) const {
  auto it = FNames.find(XlSheetNameKey(name));
  return it == FNames.end() ? nullptr : it->second;
}

void TXlWorkbook::RenameSheet(TXlWorksheet* sheet, const WideString& name) {
  TXlWorksheet* holder = SheetNamed(name);
  if (!XlValidSheetName(name) || (holder && holder != sheet))
    serverError("Cannot rename a sheet to the same name as another sheet, or to a name that is not valid.");
  FNames.erase(XlSheetNameKey(sheet->Data().Name));
  sheet->Data().Name = name;
  FNames[XlSheetNameKey(name)] = sheet;
}

TComPtr<TXlWorksheet> TXlWorkbook::AddLoadedSheet(TXlSheetData&& data) {
  if (FSheets.size() >= size_t(XlMaxSheets) || !XlValidSheetName(data.Name) || SheetNamed(data.Name))
    serverError("The sheet '" + WideToAnsi(data.Name) + "' cannot be added to the workbook.");
  auto sheet = MakeAuto<TXlWorksheet>(this, data.Name);
  sheet->Data() = std::move(data);
  FNames[XlSheetNameKey(sheet->Data().Name)] = sheet.Get();
  FSheets.push_back(sheet);
  return sheet;
}

TComPtr<TXlWorksheet> TXlWorkbook::AddSheet(int position) {
  if (FSheets.size() >= size_t(XlMaxSheets)) serverError("A workbook holds at most " + IntToStr(XlMaxSheets) + " sheets.");
  WideString name;
  do name = L"Sheet" + std::to_wstring(FNextSheet++); while (SheetNamed(name));
  auto sheet = MakeAuto<TXlWorksheet>(this, name);
  FNames[XlSheetNameKey(name)] = sheet.Get();
  position = std::clamp(position, 0, int(FSheets.size()));
  FSheets.insert(FSheets.begin() + position, sheet);
  if (FApp && FApp->ActiveBook() == this) {
    TComPtr<IDispatch> self(AsDispatch());
    FApp->Fire(DISPID_WorkbookNewSheet, {AsDispatch(), OleVariant(sheet->AsDispatch())});
    if (FApp && sheet->Book()) ActivateSheet(sheet.Get());
  } else {
    FActive = position;
  }
  return sheet;
}

void TXlWorkbook::DeleteSheet(TXlWorksheet* sheet) {
  if (FSheets.size() <= 1) serverError("A workbook must contain at least one visible sheet.");
  TComPtr<TXlWorksheet> keep(sheet);
  bool wasActive = ActiveSheet() == sheet;
  FSheets.erase(std::remove(FSheets.begin(), FSheets.end(), keep), FSheets.end());
  FNames.erase(XlSheetNameKey(sheet->Data().Name));
  sheet->Detach();
  FActive = std::min(FActive, int(FSheets.size()) - 1);
  if (wasActive && FApp) FApp->Fire(DISPID_SheetActivate, {ActiveSheet()->AsDispatch()});
}

class TXlWorkbooks final : public TAutoObject<Workbooks> {
public:
  explicit TXlWorkbooks(TComPtr<TXlApplication> app) : TAutoObject(names(), IID_Workbooks), FApp(std::move(app)) {
    Method(DISPID_Add, [this](const TInvokeArgs& a) {
      FApp->CheckMember(DISPID_Add);
      if (a.Has(0)) serverError("Templates are not served.");
      auto book = FApp->AddBook(L"Book" + std::to_wstring(FApp->NextBook++), FApp->SheetsInNewWorkbook);
      FApp->Fire(DISPID_NewWorkbook, {book->AsDispatch()});
      FApp->ActivateBook(book.Get());
      return OleVariant(book->AsDispatch());
    });
    Method(DISPID_Open, [this](const TInvokeArgs& a) {
      AnsiString file = a.Required(0).AsAnsi();
      std::vector<TXlSheetData> sheets = LoadSpreadsheetML(file);
      auto book = FApp->AddBook(AnsiToWide(file.substr(file.rfind('/') + 1)), 0);
      for (auto& data : sheets) {
        auto sheet = book->AddLoadedSheet(std::move(data));
        for (auto& [cell, link] : sheet->Data().Links)
          sheet->HyperlinkObjects.push_back(TComPtr<IDispatch>(
              MakeAuto<TXlHyperlink>(sheet.Get(), TArea{cell.first, cell.second, cell.first, cell.second}, nullptr,
                                     link.Address, link.SubAddress)->AsDispatch()));
      }
      char full[4096];
      book->FullName = AnsiToWide(!file.empty() && file[0] != '/' && getcwd(full, sizeof full) ? AnsiString(full) + "/" + file : file);
      FApp->Fire(DISPID_WorkbookOpen, {book->AsDispatch()});
      FApp->ActivateBook(book.Get());
      return OleVariant(book->AsDispatch());
    });
    Property(DISPID_Count, [this](const TInvokeArgs&) { return OleVariant(int(FApp->Books().size())); });
    Property(DISPID_Item, [this](const TInvokeArgs& a) {
      const OleVariant& index = a.Required(0);
      if (index.IsText()) {
        for (auto& b : FApp->Books())
          if (SameText(WideToAnsi(b->Name), index.AsAnsi())) return OleVariant(b->AsDispatch());
        serverError("Subscript out of range");
      }
      return itemAt(FApp->Books(), index);
    });
  }
  HRESULT Add(const OleVariant& templ, LCID, _Workbook** r) override {
    OleVariant out;
    return QueryResult(DualCall(DISPID_Add, DISPATCH_METHOD, {templ}, &out), out, IID__Workbook, reinterpret_cast<void**>(r));
  }
  HRESULT Open(const WideString& fileName, LCID, _Workbook** r) override {
    OleVariant out;
    return QueryResult(DualCall(DISPID_Open, DISPATCH_METHOD, {fileName}, &out), out, IID__Workbook, reinterpret_cast<void**>(r));
  }
  HRESULT Get_Count(LCID, int32_t* v) override {
    OleVariant out;
    HRESULT hr = DualGet(DISPID_Count, out);
    if (SUCCEEDED(hr) && v) *v = out.AsInteger();
    return hr;
  }
  HRESULT Get_Item(const OleVariant& index, LCID, _Workbook** r) override {
    OleVariant out;
    return QueryResult(DualGet(DISPID_Item, out, {index}), out, IID__Workbook, reinterpret_cast<void**>(r));
  }

private:
  TComPtr<TXlApplication> FApp;
};

// ---------------------------------------------------------------------------------------------

int memoryKiB(int name) {
  long pages = sysconf(name), size = sysconf(_SC_PAGESIZE);
  double kib = pages > 0 && size > 0 ? double(pages) * double(size) / 1024 : 0;
  return int(std::min(kib, 2147483647.0));
}

TXlApplication::TXlApplication() : TAutoObject(names(), IID__Application) {
  ++gInstances;
  if (const char* user = std::getenv("USER")) FUserName = AnsiToWide(user);
  auto number = [this](DISPID id, double& field, double low) {
    Property(
        id, [this, &field, id](const TInvokeArgs&) { CheckMember(id); return OleVariant(field); },
        [this, &field, id, low](const TInvokeArgs& a) {
          CheckMember(id);
          double v = a.PutValue.AsDouble();
          if (!(v >= low && v <= 32767)) serverError("Unable to set the property of the Application class");
          if (FWindowState != xlNormal) serverError("Cannot change the size or position of a maximized or minimized window.");
          field = v;
          if ((id == DISPID_Width || id == DISPID_Height) && FActiveBook)
            Fire(DISPID_WindowResize, {FActiveBook->AsDispatch(), OleVariant(FActiveBook->WindowObject->AsDispatch())});
          return OleVariant();
        });
  };
  number(DISPID_Left, FLeft, -32767);
  number(DISPID_Top, FTop, -32767);
  number(DISPID_Width, FWidth, 0);
  number(DISPID_Height, FHeight, 0);
  auto flag = [this](DISPID id, bool& field) {
    Property(
        id, [this, &field, id](const TInvokeArgs&) { CheckMember(id); return boolV(field); },
        [this, &field, id](const TInvokeArgs& a) {
          CheckMember(id);
          field = a.PutValue.AsBool();
          return OleVariant();
        });
  };
  flag(DISPID_Visible, FVisible);
  flag(DISPID_Interactive, FInteractive);
  flag(DISPID_EnableAnimations, FEnableAnimations);
  flag(DISPID_EnableAutoComplete, FEnableAutoComplete);
  flag(DISPID_LargeButtons, FLargeButtons);
  flag(DISPID_ScreenUpdating, ScreenUpdating);
  flag(DISPID_DisplayAlerts, DisplayAlerts);
  flag(DISPID_EnableEvents, FEnableEvents);
  auto choice = [this](DISPID id, int& field, std::vector<int> allowed) {
    Property(
        id, [this, &field, id](const TInvokeArgs&) { CheckMember(id); return OleVariant(field); },
        [this, &field, id, allowed](const TInvokeArgs& a) {
          CheckMember(id);
          int v = a.PutValue.AsInteger();
          if (std::find(allowed.begin(), allowed.end(), v) == allowed.end())
            serverError("Unable to set the property of the Application class");
          field = v;
          return OleVariant();
        });
  };
  choice(DISPID_WindowState, FWindowState, {xlNormal, xlMinimized, xlMaximized});
  choice(DISPID_EnableCancelKey, FEnableCancelKey, {xlDisabled, xlInterrupt, xlErrorHandler});
  auto text = [this](DISPID id, WideString& field) {
    Property(
        id, [this, &field, id](const TInvokeArgs&) { CheckMember(id); return OleVariant(field); },
        [this, &field, id](const TInvokeArgs& a) {
          CheckMember(id);
          field = a.PutValue.AsWide();
          return OleVariant();
        });
  };
  text(DISPID_Caption, FCaption);
  text(DISPID_UserName, FUserName);
  Property(
      DISPID_SheetsInNewWorkbook, [this](const TInvokeArgs&) { CheckMember(DISPID_SheetsInNewWorkbook); return OleVariant(SheetsInNewWorkbook); },
      [this](const TInvokeArgs& a) {
        CheckMember(DISPID_SheetsInNewWorkbook);
        int n = a.PutValue.AsInteger();
        if (n < 1 || n > 255) serverError("The number must be between 1 and 255.");
        SheetsInNewWorkbook = n;
        return OleVariant();
      });
  auto fixed = [this](DISPID id, OleVariant v) {
    Property(id, [this, id, v](const TInvokeArgs&) { CheckMember(id); return v; });
  };
  struct utsname u{};
  fixed(DISPID_OrganizationName, OleVariant(L""));
  fixed(DISPID_OperatingSystem, OleVariant(uname(&u) == 0 ? AnsiString(u.sysname) + " " + u.release : AnsiString("Linux")));
  fixed(DISPID_Version, OleVariant(L"9.0"));
  fixed(DISPID_Build, OleVariant(3821));
  fixed(DISPID_MathCoprocessorAvailable, boolV(true));
  Property(DISPID_MemoryTotal, [](const TInvokeArgs&) { return OleVariant(memoryKiB(_SC_PHYS_PAGES)); });
  Property(DISPID_MemoryFree, [](const TInvokeArgs&) { return OleVariant(memoryKiB(_SC_AVPHYS_PAGES)); });
  Property(DISPID_MemoryUsed, [](const TInvokeArgs&) {
    return OleVariant(memoryKiB(_SC_PHYS_PAGES) - memoryKiB(_SC_AVPHYS_PAGES));
  });
  Property(DISPID_Workbooks, [this](const TInvokeArgs&) {
    CheckMember(DISPID_Workbooks);
    return OleVariant(TComPtr<IDispatch>(MakeAuto<TXlWorkbooks>(TComPtr<TXlApplication>(this))->AsDispatch()));
  });
  Property(DISPID_ActiveWindow, [this](const TInvokeArgs&) {
    return FActiveBook ? OleVariant(FActiveBook->WindowObject->AsDispatch()) : OleVariant();
  });
  Property(DISPID_ActiveWorkbook, [this](const TInvokeArgs&) {
    return FActiveBook ? OleVariant(FActiveBook->AsDispatch()) : OleVariant();
  });
  Method(DISPID_Quit, [this](const TInvokeArgs&) {
    CheckMember(DISPID_Quit);
    ++gQuits;
    quit();
    return OleVariant();
  });
}

TXlApplication::~TXlApplication() {
  quit();
  --gInstances;
}

void TXlApplication::quit() {
  // Quitting closes every workbook unsaved and tells no one.
  FActiveBook = nullptr;
  auto books = std::move(FBooks);
  for (auto& b : books) b->Detach();
}

HRESULT TXlApplication::QueryMore(const IID& iid, void** obj) {
  if (iid == IID_IConnectionPointContainer) {
    *obj = static_cast<IConnectionPointContainer*>(&FContainer);
  } else if (iid == IID_XlUserActions) {
    *obj = static_cast<IXlUserActions*>(&FUser);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

HRESULT TXlApplication::TContainer::FindConnectionPoint(const IID& iid, IConnectionPoint** point) {
  if (!point) return E_POINTER;
  *point = nullptr;
  if (iid != IID_AppEvents || FApp.FRefuseEvents) return CONNECT_E_NOCONNECTION;
  *point = &FApp.FEvents;
  FApp.AddRef();
  return S_OK;
}

bool TXlApplication::Fire(DISPID dispid, std::vector<OleVariant> args, bool cancellable) {
  if (!FEnableEvents || FEvents.SinkCount() == 0) return false;
  VARIANT_BOOL cancel = VARIANT_FALSE;
  if (cancellable) {
    // The Cancel flag is the last argument, passed by reference so that handlers can set it.
    if (args.empty() || !args.back().IsByRef()) {
      if (!args.empty()) args.pop_back();
      args.push_back(OleVariant::ByRef(&cancel));
    }
  }
  TComPtr<IDispatch> self(AsDispatch());
  FEvents.Fire(dispid, args);
  if (cancellable && args.back().VType() == (VT_BYREF | VT_BOOL)) return args.back().AsBool();
  return false;
}

void TXlApplication::ActivateBook(TXlWorkbook* book) {
  // A handler may have closed the workbook, or quit, before it came to be activated.
  if (FActiveBook == book || (book && book->App() != this)) return;
  // Handlers may close either workbook, or quit: everything in hand is held, and each step
  // checks that it still applies.
  TComPtr<IDispatch> self(AsDispatch());
  TComPtr<TXlWorkbook> old(FActiveBook), keep(book);
  FActiveBook = book;
  if (old) {
    Fire(DISPID_WorkbookDeactivate, {old->AsDispatch()});
    Fire(DISPID_WindowDeactivate, {old->AsDispatch(), OleVariant(old->WindowObject->AsDispatch())});
  }
  if (book && FActiveBook == book) Fire(DISPID_WorkbookActivate, {book->AsDispatch()});
  if (book && FActiveBook == book)
    Fire(DISPID_WindowActivate, {book->AsDispatch(), OleVariant(book->WindowObject->AsDispatch())});
}

TComPtr<TXlWorkbook> TXlApplication::AddBook(const WideString& name, int sheets) {
  auto book = MakeAuto<TXlWorkbook>(this, name, sheets);
  FBooks.push_back(book);
  return book;
}

void TXlApplication::CloseBook(TXlWorkbook* book) {
  TComPtr<TXlWorkbook> keep(book);
  FBooks.erase(std::remove(FBooks.begin(), FBooks.end(), keep), FBooks.end());
  if (FActiveBook == book) ActivateBook(FBooks.empty() ? nullptr : FBooks.back().Get());
  book->Detach();
}

}  // namespace

HRESULT CreateExcelServer(const IID& iid, void** obj) {
  TComPtr<TXlApplication> app = MakeAuto<TXlApplication>();
  return app->QueryInterface(iid, obj);
}

void RegisterExcelServer() {
  if (!IsComClassRegistered(CLASS_ExcelApplication)) RegisterComClass(CLASS_ExcelApplication, CreateExcelServer);
}

int XlServerInstances() { return gInstances; }
int XlServerQuitCount() { return gQuits; }

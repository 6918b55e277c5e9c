#include "office/OxExcelItems.h"

#include <algorithm>

#include "framework/base/uMessageDialog.h"
#include "office/OxDataSetModel.h"
#include "office/OxExcel.h"
#include "platform/classlib/DialogConsts.h"

namespace {

const OleVariant Missing = OleVariant::Missing();

// Follows a chain of properties from obj: each step's result is the next object.
TComPtr<IDispatch> walk(IDispatch* obj, std::initializer_list<DISPID> path) {
  TComPtr<IDispatch> at(obj);
  for (DISPID id : path) at = DispGet(at.Get(), id).AsDispatch();
  return at;
}

int32_t count(IDispatch* collection) { return DispGet(collection, DISPID_Count).AsInteger(); }

// Address text as the items keep it: relative, A1 style.
AnsiString relativeAddress(IDispatch* range) {
  return DispGet(range, DISPID_Address, {false, false, xlA1}).AsAnsi();
}

void showError(const AnsiString& text) { ShowMessageDialog(text, TMsgDlgType::mtError, mbOKOnly); }

constexpr TOxXlChartType ChartTypes[] = {xlctArea, xlctBar,    xlctLine,   xlctPie,      xlctRadar,
                                         xlctXYScatter, xlct3DArea, xlct3DBar, xlct3DLine, xlct3DPie,
                                         xlct3DColumn,  xlctDoughnut};

struct TEdge {
  TOxXlBorders Member;
  int Server;
};
constexpr TEdge Edges[] = {{xlbLeft, xlEdgeLeft}, {xlbRight, xlEdgeRight}, {xlbTop, xlEdgeTop}, {xlbBottom, xlEdgeBottom}};

}  // namespace

TOxXlChartType ChartTypeFromServer(int32_t value) {
  for (TOxXlChartType t : ChartTypes)
    if (t == value) return t;
  return xlctUnknown;
}

// ---- collections -------------------------------------------------------------------------------

TOxExcelWorkbooks::TOxExcelWorkbooks(TOxExcel* root) : TOxExcelCollection(root, root, "Workbook") {}
TOxExcelWorksheets::TOxExcelWorksheets(TOxExcelWorkbook* owner)
    : TOxExcelCollection(owner, owner->RootComponent(), "Worksheet") {}
TOxExcelRanges::TOxExcelRanges(TOxExcelWorksheet* owner) : TOxExcelCollection(owner, owner->RootComponent(), "Range") {}
TOxExcelHyperlinks::TOxExcelHyperlinks(TOxExcelWorksheet* owner)
    : TOxExcelCollection(owner, owner->RootComponent(), "Hyperlink") {}
TOxExcelCharts::TOxExcelCharts(TOxExcelWorksheet* owner) : TOxExcelCollection(owner, owner->RootComponent(), "Chart") {}

// ---- common ------------------------------------------------------------------------------------

TOxExcel* TOxExcelItem::Excel() const { return dynamic_cast<TOxExcel*>(RootComponent()); }

TOxExcelWorkbook* TOxExcelItem::Workbook() const {
  for (const TOxNestedCollectionItem* at = this; at; at = at->ParentItem())
    if (auto* book = dynamic_cast<const TOxExcelWorkbook*>(at)) return const_cast<TOxExcelWorkbook*>(book);
  return nullptr;
}

TOxExcelWorksheet* TOxExcelItem::Worksheet() const {
  for (const TOxNestedCollectionItem* at = this; at; at = at->ParentItem())
    if (auto* sheet = dynamic_cast<const TOxExcelWorksheet*>(at)) return const_cast<TOxExcelWorksheet*>(sheet);
  return nullptr;
}

bool TOxExcelItem::Pushing() const {
  TOxExcelWorkbook* book = Workbook();
  return !book || book->Filename().empty();
}

IDispatch* TOxExcelItem::ApplicationDispatch() const {
  CheckConnected(true, false);
  return Excel()->Application();
}

TComPtr<IDispatch> TOxExcelItem::SelectedRange() const {
  IDispatch* app = ApplicationDispatch();
  if (TOxExcelWorksheet* sheet = Worksheet()) sheet->Activate();
  TComPtr<IDispatch> window = DispGet(app, DISPID_ActiveWindow).AsDispatch();
  TComPtr<IDispatch> selection = window ? DispGet(window.Get(), DISPID_RangeSelection).AsDispatch() : TComPtr<IDispatch>();
  if (!selection) throw ERangeException("A Range must be selected in the current Worksheet.");
  return selection;
}

// ---- binding -----------------------------------------------------------------------------------

TComPtr<IDispatch> OxExcelCreateItem(TOxExcel& excel, TOxNestedCollectionItem* item) {
  IDispatch* app = excel.Application();
  if (!app) return {};
  int index = item->Index();
  if (auto* book = dynamic_cast<TOxExcelWorkbook*>(item)) {
    if (!book->Filename().empty()) return {};
    return DispCall(walk(app, {DISPID_Workbooks}).Get(), DISPID_Add, {Missing}).AsDispatch();
  }
  auto* excelItem = dynamic_cast<TOxExcelItem*>(item);
  if (!excelItem) return {};
  if (dynamic_cast<TOxExcelWorksheet*>(item)) {
    TOxExcelWorkbook* book = excelItem->Workbook();
    if (!book || !book->ServerObject()) return {};
    TComPtr<IDispatch> sheets = walk(book->ServerObject(), {DISPID_Worksheets});
    int32_t n = count(sheets.Get());
    if (index < n) return DispGet(sheets.Get(), DISPID_Item, {index + 1}).AsDispatch();
    TComPtr<IDispatch> last = DispGet(sheets.Get(), DISPID_Item, {n}).AsDispatch();
    return DispCall(walk(book->ServerObject(), {DISPID_Sheets}).Get(), DISPID_Add, {Missing, OleVariant(last), 1})
        .AsDispatch();
  }
  TOxExcelWorksheet* sheetItem = excelItem->Worksheet();
  IDispatch* sheet = sheetItem ? sheetItem->ServerObject() : nullptr;
  if (!sheet) return {};
  if (dynamic_cast<TOxExcelRange*>(item)) return DispGet(walk(sheet, {DISPID_Cells}).Get(), DISPID_Item, {1, 1}).AsDispatch();
  if (dynamic_cast<TOxExcelHyperlink*>(item)) {
    // Only links that came with a file exist before the item makes one.
    if (excelItem->Workbook()->Filename().empty()) return {};
    TComPtr<IDispatch> links = walk(sheet, {DISPID_Hyperlinks});
    return index < count(links.Get()) ? DispCall(links.Get(), DISPID_Item, {index + 1}).AsDispatch() : TComPtr<IDispatch>();
  }
  if (dynamic_cast<TOxExcelChart*>(item)) {
    TComPtr<IDispatch> charts = DispCall(sheet, DISPID_ChartObjects, {Missing}).AsDispatch();
    TComPtr<IDispatch> holder = index < count(charts.Get())
                                    ? DispCall(charts.Get(), DISPID_Item, {index + 1}).AsDispatch()
                                    : DispCall(charts.Get(), DISPID_Add, {0, 0, 296, 296}).AsDispatch();
    return DispGet(holder.Get(), DISPID_Chart).AsDispatch();
  }
  return {};
}

// ---- workbook ----------------------------------------------------------------------------------

void TOxExcelWorkbook::CreateSubCollections() { FWorksheets = std::make_unique<TOxExcelWorksheets>(this); }

TOxNestedCollection* TOxExcelWorkbook::GetSubCollection(int index) const {
  return index == 0 ? FWorksheets.get() : nullptr;
}

AnsiString TOxExcelWorkbook::GetVerb(int index) const { return index == 0 ? "Save Workbook" : ""; }

TOxExcelWorkbook::~TOxExcelWorkbook() {
  FWorksheets.reset();
  if (!FServerObject || Dispatching() || !CheckConnected(false, false)) return;
  IDispatch* app = Excel()->Application();
  try {
    DispPut(app, DISPID_EnableEvents, false);
    DispCall(FServerObject.Get(), DISPID_Close, {false});
  } catch (...) {
    // The workbook goes from the tree whatever the server says.
  }
  Unbind();
  try {
    DispPut(app, DISPID_EnableEvents, true);
  } catch (...) {
  }
}

void TOxExcelWorkbook::Connect() {
  TOxExcelItem::Connect();
  if (!FFilename.empty()) openFile();
}

void TOxExcelWorkbook::SetFilename(const AnsiString& name) {
  FFilename = name;
  if (!name.empty() && CheckConnected(false, true)) openFile();
}

void TOxExcelWorkbook::openFile() {
  FWorksheets->Clear();
  IDispatch* app = Excel()->Application();
  if (FServerObject) {
    DispPut(app, DISPID_EnableEvents, false);
    try {
      DispCall(FServerObject.Get(), DISPID_Close, {Missing, Missing, Missing});
    } catch (...) {
      DispPut(app, DISPID_EnableEvents, true);
      throw;
    }
    Unbind();
    DispPut(app, DISPID_EnableEvents, true);
  }
  FServerObject = DispCall(walk(app, {DISPID_Workbooks}).Get(), DISPID_Open, {FFilename}).AsDispatch();
  TComPtr<IDispatch> sheets = walk(FServerObject.Get(), {DISPID_Worksheets});
  int32_t n = count(sheets.Get());
  for (int i = 0; i < n; ++i) {
    TOxExcelWorksheet* sheetItem = FWorksheets->Add();
    IDispatch* sheet = sheetItem->ServerObject();
    if (!sheet) continue;
    int32_t links = count(walk(sheet, {DISPID_Hyperlinks}).Get());
    int32_t charts = count(DispCall(sheet, DISPID_ChartObjects, {Missing}).AsDispatch().Get());
    for (int k = 0; k < links; ++k) sheetItem->Hyperlinks()->Add();
    for (int k = 0; k < charts; ++k) sheetItem->Charts()->Add();
  }
}

void TOxExcelWorkbook::ExecuteVerb(int index) {
  if (index != 0) return;
  CheckConnected(true, false);
  if (FServerObject) DispCall(FServerObject.Get(), DISPID_Save);
}

void TOxExcelWorkbook::Activate() {
  if (Live()) DispCall(FServerObject.Get(), DISPID_Activate);
}

// ---- worksheet ---------------------------------------------------------------------------------

void TOxExcelWorksheet::CreateSubCollections() {
  FRanges = std::make_unique<TOxExcelRanges>(this);
  FHyperlinks = std::make_unique<TOxExcelHyperlinks>(this);
  FCharts = std::make_unique<TOxExcelCharts>(this);
}

TOxNestedCollection* TOxExcelWorksheet::GetSubCollection(int index) const {
  switch (index) {
    case 0: return FRanges.get();
    case 1: return FHyperlinks.get();
    case 2: return FCharts.get();
    default: return nullptr;
  }
}

TOxExcelWorksheet::~TOxExcelWorksheet() {
  if (FServerObject && !Dispatching() && CheckConnected(false, false)) {
    try {
      TOxExcelWorkbook* book = Workbook();
      // A workbook keeps at least one sheet: the last one stays on the server.
      if (book && book->ServerObject() && count(walk(book->ServerObject(), {DISPID_Worksheets}).Get()) > 1)
        DispCall(FServerObject.Get(), DISPID_Delete);
    } catch (...) {
    }
  }
  Unbind();
  FCharts.reset();
  FHyperlinks.reset();
  FRanges.reset();
}

WideString TOxExcelWorksheet::Name() {
  if (Live()) FName = DispGet(FServerObject.Get(), DISPID_Name).AsWide();
  return FName;
}

void TOxExcelWorksheet::SetName(const WideString& name) {
  FName = name;
  if (Live()) DispPut(FServerObject.Get(), DISPID_Name, name);
}

void TOxExcelWorksheet::Connect() {
  TOxExcelItem::Connect();
  if (!FServerObject) return;
  if (Pushing() && !FName.empty()) SetName(FName);
  else Name();
}

void TOxExcelWorksheet::Activate() {
  if (Live()) DispCall(FServerObject.Get(), DISPID_Activate);
}

// ---- range -------------------------------------------------------------------------------------

AnsiString TOxExcelRange::GetVerb(int index) const {
  switch (index) {
    case 0: return "Populate Range";
    case 1: return "Select Range";
    case 2: return "Set From Selection";
    default: return "";
  }
}

void TOxExcelRange::Connect() {
  TOxExcelItem::Connect();
  if (!FServerObject) return;
  // Binding is no move: the cell the server object first stood on keeps its contents.
  bool addressless = FAddress.empty();
  applyAddress(addressless ? AnsiString("A1") : FAddress, false);
  // With no address of its own the item has nothing of its own to write: it reads.
  if (Pushing() && !addressless) SetSimpleText(FSimpleText);
  else SimpleText();
}

AnsiString TOxExcelRange::Address() {
  if (Live()) FAddress = relativeAddress(FServerObject.Get());
  return FAddress;
}

void TOxExcelRange::SetAddress(const AnsiString& address) { applyAddress(address, true); }

void TOxExcelRange::applyAddress(const AnsiString& address, bool clearOld) {
  TOxExcelWorksheet* sheet = Worksheet();
  if (CheckConnected(false, true) && sheet && sheet->ServerObject()) {
    TComPtr<IDispatch> old = FServerObject;
    try {
      FServerObject = DispGet(sheet->ServerObject(), DISPID_Range, {address, address}).AsDispatch();
    } catch (const EOleError&) {
      showError("Invalid Range Address.");
      return;
    }
    if (FClearOnMove && clearOld && old) DispCall(old.Get(), DISPID_ClearContents);
    NotifyDesigner();
  }
  FAddress = address;
}

AnsiString TOxExcelRange::SimpleText() {
  if (Live()) {
    OleVariant text = DispGet(FServerObject.Get(), DISPID_Text);
    try {
      FSimpleText = text.IsNull() ? AnsiString(NotAvailable) : text.AsAnsi();
    } catch (const EVariantError&) {
      FSimpleText = NotAvailable;
    }
  }
  return FSimpleText;
}

void TOxExcelRange::SetSimpleText(const AnsiString& text) {
  if (Live() && text != NotAvailable) DispPut(FServerObject.Get(), DISPID_Value, text);
  FSimpleText = text;
}

void TOxExcelRange::SetOfficeModel(TOxUnknownComponent* model) {
  FOfficeModel = model;
  if (model && RootComponent()) model->FreeNotification(RootComponent());
}

void TOxExcelRange::put(const std::vector<DISPID>& path, const OleVariant& value, const std::vector<OleVariant>& args) {
  if (!Live()) return;
  TComPtr<IDispatch> at = FServerObject;
  for (size_t i = 0; i + 1 < path.size(); ++i) at = DispGet(at.Get(), path[i], i == 0 ? args : std::vector<OleVariant>{}).AsDispatch();
  DispPut(at.Get(), path.back(), value);
}

void TOxExcelRange::SetFontName(const AnsiString& v) {
  if (v == FFontName) return;
  FFontName = v;
  put({DISPID_Font, DISPID_Name}, v);
}

void TOxExcelRange::SetFontColor(TColor v) {
  if (v == FFontColor) return;
  FFontColor = v;
  put({DISPID_Font, DISPID_Color}, int(ColorToRGB(v)));
}

void TOxExcelRange::SetFontSize(int v) {
  if (v == FFontSize || v <= 0) return;
  FFontSize = v;
  put({DISPID_Font, DISPID_Size}, v);
}

void TOxExcelRange::SetFontAttributes(TOxXlRangeFontAttributes v) {
  FFontAttributes = v;
  put({DISPID_Font, DISPID_Bold}, (v & xlfaBold) != 0);
  put({DISPID_Font, DISPID_Italic}, (v & xlfaItalic) != 0);
  put({DISPID_Font, DISPID_Underline}, (v & xlfaUnderline) != 0);
  put({DISPID_Font, DISPID_Strikethrough}, (v & xlfaStrikethrough) != 0);
}

void TOxExcelRange::SetIndentLevel(int v) {
  if (v == FIndentLevel) return;
  v = v <= 0 ? 1 : std::min(v, 15);
  FIndentLevel = v;
  put({DISPID_IndentLevel}, v);
}

void TOxExcelRange::SetOrientation(TOxXlCellOrientation v) {
  if (v == FOrientation) return;
  FOrientation = v;
  put({DISPID_Orientation}, v == xlcoRotated ? FRotateDegrees : int(v));
}

void TOxExcelRange::SetShrinkToFit(bool v) {
  if (v == FShrinkToFit) return;
  FShrinkToFit = v;
  put({DISPID_ShrinkToFit}, v);
}

void TOxExcelRange::SetRotateDegrees(int v) {
  v = std::clamp(v, -90, 90);
  if (v == FRotateDegrees) return;
  FRotateDegrees = v;
  if (FOrientation == xlcoRotated) put({DISPID_Orientation}, v);
}

void TOxExcelRange::SetHorizontalAlignment(TOxXlCellHorizAlign v) {
  if (v == FHorizontalAlignment) return;
  FHorizontalAlignment = v;
  put({DISPID_HorizontalAlignment}, int(v));
}

void TOxExcelRange::SetVerticalAlignment(TOxXlCellVertAlign v) {
  if (v == FVerticalAlignment) return;
  FVerticalAlignment = v;
  put({DISPID_VerticalAlignment}, int(v));
}

void TOxExcelRange::SetColumnWidth(int v) {
  if (v == FColumnWidth || v <= 0) return;
  FColumnWidth = v;
  put({DISPID_ColumnWidth}, v);
}

void TOxExcelRange::SetRowHeight(int v) {
  if (v == FRowHeight || v <= 0) return;
  FRowHeight = v;
  put({DISPID_RowHeight}, v);
}

// Interior colours go out as RGB like the font's: a system colour means nothing to the server.
void TOxExcelRange::SetColor(TColor v) {
  if (v == FColor) return;
  FColor = v;
  put({DISPID_Interior, DISPID_Color}, int(ColorToRGB(v)));
}

void TOxExcelRange::SetPattern(TOxXlInteriorPatterns v) {
  if (v == FPattern) return;
  FPattern = v;
  put({DISPID_Interior, DISPID_Pattern}, int(v));
}

void TOxExcelRange::SetPatternColor(TColor v) {
  if (v == FPatternColor) return;
  FPatternColor = v;
  put({DISPID_Interior, DISPID_PatternColor}, int(ColorToRGB(v)));
}

void TOxExcelRange::applyBorderStyle() {
  for (const TEdge& e : Edges)
    put({DISPID_Borders, DISPID_LineStyle}, (FBorders & e.Member) ? int(FBorderStyle) : xlNone, {e.Server});
}

void TOxExcelRange::applyBorderWeight() {
  for (const TEdge& e : Edges)
    if (FBorders & e.Member) put({DISPID_Borders, DISPID_Weight}, int(FBorderLineWeight), {e.Server});
}

void TOxExcelRange::SetBorderStyle(TOxXlBorderLineStyles v) {
  FBorderStyle = v;
  applyBorderStyle();
}

void TOxExcelRange::SetBorderLineWeight(TOxXlBorderWeights v) {
  FBorderLineWeight = v;
  applyBorderWeight();
}

void TOxExcelRange::SetBorders(TOxXlRangeBorders v) {
  FBorders = v;
  applyBorderWeight();
  applyBorderStyle();
}

void TOxExcelRange::SetWrapText(bool v) {
  FWrapText = v;
  put({DISPID_WrapText}, v);
}

void TOxExcelRange::ExecuteVerb(int index) {
  switch (index) {
    case 0: Populate(); break;
    case 1: {
      IDispatch* app = ApplicationDispatch();
      DispCall(FServerObject.Get(), DISPID_Select);
      if (DispGet(app, DISPID_Visible).AsBool()) DispPut(app, DISPID_Visible, true);
      break;
    }
    case 2:
      FServerObject = SelectedRange();
      NotifyDesigner();
      break;
    default: break;
  }
}

void TOxExcelRange::Populate() { PopulateRange(*this); }

void TOxExcelRange::Activate() {
  if (TOxExcelWorksheet* sheet = Worksheet(); sheet && CheckConnected(false, false)) sheet->Activate();
}

// ---- hyperlink ---------------------------------------------------------------------------------

AnsiString TOxExcelHyperlink::GetVerb(int index) const { return index == 0 ? "Follow" : ""; }

TOxExcelHyperlink::~TOxExcelHyperlink() {
  if (FServerObject && !Dispatching()) {
    try {
      DispCall(FServerObject.Get(), DISPID_Delete);
    } catch (...) {
    }
  }
}

AnsiString TOxExcelHyperlink::text(AnsiString& field, DISPID dispid) {
  if (Live()) field = DispGet(FServerObject.Get(), dispid).AsAnsi();
  return field;
}

void TOxExcelHyperlink::setText(AnsiString& field, DISPID dispid, const AnsiString& v) {
  field = v;
  if (Live()) DispPut(FServerObject.Get(), dispid, v);
}

AnsiString TOxExcelHyperlink::Address() { return text(FAddress, DISPID_Address); }
void TOxExcelHyperlink::SetAddress(const AnsiString& v) { setText(FAddress, DISPID_Address, v); }
AnsiString TOxExcelHyperlink::SubAddress() { return text(FSubAddress, DISPID_SubAddress); }
void TOxExcelHyperlink::SetSubAddress(const AnsiString& v) { setText(FSubAddress, DISPID_SubAddress, v); }

AnsiString TOxExcelHyperlink::AnchorCell() {
  if (Live()) {
    int type = DispGet(FServerObject.Get(), DISPID_Type).AsInteger();
    if (type == msoHyperlinkRange)
      FAnchorCell = relativeAddress(DispGet(FServerObject.Get(), DISPID_Range).AsDispatch().Get());
    else if (type == msoHyperlinkShape || type == 2)
      FAnchorCell = DispGet(DispGet(FServerObject.Get(), DISPID_Shape).AsDispatch().Get(), DISPID_Name).AsAnsi();
  }
  return FAnchorCell;
}

void TOxExcelHyperlink::SetAnchorCell(const AnsiString& v) {
  FAnchorCell = v;
  if (FVisible) recreate();
}

void TOxExcelHyperlink::SetNewWindow(bool v) {
  FNewWindow = v;
  if (FVisible) recreate();
}

void TOxExcelHyperlink::SetVisible(bool v) {
  if (v == FVisible) return;
  FVisible = v;
  if (v) recreate();
  else deleteOnServer();
}

void TOxExcelHyperlink::deleteOnServer() {
  if (FServerObject && CheckConnected(false, false)) DispCall(FServerObject.Get(), DISPID_Delete);
  Unbind();
}

void TOxExcelHyperlink::recreate() {
  if (RootLoading()) return;
  TOxOfficeComponent* root = RootComponent();
  try {
    deleteOnServer();
    TOxExcelWorksheet* sheet = Worksheet();
    if (!CheckConnected(false, false) || !sheet || !sheet->ServerObject()) return;
    TComPtr<IDispatch> anchor = DispGet(sheet->ServerObject(), DISPID_Range, {FAnchorCell, FAnchorCell}).AsDispatch();
    FServerObject = DispCall(walk(sheet->ServerObject(), {DISPID_Hyperlinks}).Get(), DISPID_Add,
                             {OleVariant(anchor), FAddress, FSubAddress})
                        .AsDispatch();
  } catch (const Exception&) {
    if (!root || !root->HasOxState(oxsConnecting)) showError("Error creating Hyperlink, Check Cell and Address");
  }
}

void TOxExcelHyperlink::Connect() {
  TOxExcelItem::Connect();
  if (Pushing()) {
    // The setters make the link on the server once it is visible.
    bool visible = FVisible;
    FVisible = false;
    SetAddress(FAddress);
    SetSubAddress(FSubAddress);
    SetAnchorCell(FAnchorCell);
    SetNewWindow(FNewWindow);
    SetVisible(visible);
  } else if (FServerObject) {
    Address();
    SubAddress();
    AnchorCell();
    FVisible = true;
  }
}

void TOxExcelHyperlink::ExecuteVerb(int index) {
  if (index != 0) return;
  IDispatch* app = ApplicationDispatch();
  if (!FServerObject) return;
  DispCall(FServerObject.Get(), DISPID_Follow, {FNewWindow, false});
  if (TComPtr<IDispatch> window = DispGet(app, DISPID_ActiveWindow).AsDispatch()) DispCall(window.Get(), DISPID_Activate);
}

// ---- chart -------------------------------------------------------------------------------------

AnsiString TOxExcelChart::GetVerb(int index) const { return index == 0 ? "Set Range from Selection" : ""; }

TOxExcelChart::~TOxExcelChart() {
  if (FServerObject && !Dispatching() && CheckConnected(false, false)) {
    try {
      DispCall(chartObject().Get(), DISPID_Delete);
    } catch (...) {
    }
  }
}

TComPtr<IDispatch> TOxExcelChart::chartObject() const { return DispGet(FServerObject.Get(), DISPID_Parent).AsDispatch(); }

int TOxExcelChart::geometry(int& field, DISPID dispid) {
  if (Live()) field = PointsToPixels(DispGet(chartObject().Get(), dispid).AsDouble());
  return field;
}

void TOxExcelChart::setGeometry(int& field, DISPID dispid, int v) {
  if (Live()) DispPut(chartObject().Get(), dispid, PixelsToPoints(v));
  field = v;
}

TOxXlChartType TOxExcelChart::ChartType() {
  if (Live()) FChartType = ChartTypeFromServer(DispGet(FServerObject.Get(), DISPID_ChartType).AsInteger());
  return FChartType;
}

void TOxExcelChart::SetChartType(TOxXlChartType v) {
  if (Live() && v != xlctUnknown) DispPut(FServerObject.Get(), DISPID_ChartType, int(v));
  FChartType = v;
}

void TOxExcelChart::SetDataRange(const AnsiString& v) {
  FDataRange = v;
  TOxExcelWorksheet* sheet = Worksheet();
  if (!Live() || !sheet || !sheet->ServerObject()) return;
  TComPtr<IDispatch> source = DispGet(sheet->ServerObject(), DISPID_Range, {v, v}).AsDispatch();
  // Source, then the chart's own type as gallery; format, plot-by and the rest left to the server.
  DispCall(FServerObject.Get(), DISPID_ChartWizard, {OleVariant(source), int(FChartType), Missing, Missing});
}

void TOxExcelChart::Connect() {
  TOxExcelItem::Connect();
  if (!FServerObject) return;
  // A chart never given a size keeps the one the server made rather than shrinking to nothing.
  bool sized = FWidth != 0 || FHeight != 0;
  if (Pushing()) {
    if (sized) {
      SetTop(FTop);
      SetLeft(FLeft);
      SetWidth(FWidth);
      SetHeight(FHeight);
    } else {
      Top();
      Left();
      Width();
      Height();
    }
    SetChartType(FChartType);
    if (!FDataRange.empty()) SetDataRange(FDataRange);
  } else {
    Top();
    Left();
    Width();
    Height();
    ChartType();
    FDataRange.clear();
  }
}

void TOxExcelChart::ExecuteVerb(int index) {
  if (index != 0) return;
  SetDataRange(relativeAddress(SelectedRange().Get()));
}

void TOxExcelChart::Activate() {
  if (Live()) DispCall(chartObject().Get(), DISPID_Activate);
}

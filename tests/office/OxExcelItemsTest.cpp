#include <gtest/gtest.h>

#include "core/TempDir.h"
#include "framework/base/uMessageDialog.h"
#include "office/OxExcel.h"
#include "office/OxExcelItems.h"
#include "platform/com/XlServer.h"

namespace {

struct OxItemsTest : ::testing::Test {
  void SetUp() override {
    OleInitialize();
    RegisterExcelServer();
    SetMessageBoxHook([this](const AnsiString& text, TMsgDlgType kind, TMsgDlgButtons, int32_t) {
      shown.push_back(text + (kind == TMsgDlgType::mtError ? " [error]" : ""));
      return mrOk;
    });
  }
  void TearDown() override {
    xl.reset();
    SetMessageBoxHook(nullptr);
    EXPECT_EQ(XlServerInstances(), 0);
    OleUninitialize();
  }
  IDispatch* app() const { return xl->Application(); }
  TComPtr<IDispatch> get(IDispatch* on, std::initializer_list<DISPID> path) const {
    TComPtr<IDispatch> at(on);
    for (DISPID id : path) at = DispGet(at.Get(), id).AsDispatch();
    return at;
  }
  TComPtr<IDispatch> cell(IDispatch* sheet, const char* address) const {
    return DispGet(sheet, DISPID_Range, {address, address}).AsDispatch();
  }
  OleVariant edge(IDispatch* range, int edge, DISPID what) const {
    return DispGet(DispGet(range, DISPID_Borders, {edge}).AsDispatch().Get(), what);
  }

  std::unique_ptr<TOxExcel> xl = std::make_unique<TOxExcel>(nullptr);
  std::vector<AnsiString> shown;
};

TEST_F(OxItemsTest, ItemsDesignedOfflineBindOnConnectAndPushTheirValues) {
  TOxExcelWorkbook* book = xl->Workbooks()->Add();
  TOxExcelWorksheet* sheet = book->Worksheets()->Add();
  sheet->SetName(L"Report");
  TOxExcelRange* range = sheet->Ranges()->Add();
  range->SetAddress("B2");
  range->SetSimpleText("Hello");
  TOxExcelRange* plain = sheet->Ranges()->Add();  // no address: binds to A1
  TOxExcelHyperlink* link = sheet->Hyperlinks()->Add();
  link->SetAnchorCell("C3");
  link->SetAddress("http://example.com/");
  link->SetVisible(true);
  TOxExcelChart* chart = sheet->Charts()->Add();
  chart->SetWidth(200);
  chart->SetChartType(xlctBar);
  EXPECT_EQ(sheet->ServerObject(), nullptr);

  xl->SetConnected(true);
  IDispatch* ws = sheet->ServerObject();
  ASSERT_NE(ws, nullptr);
  EXPECT_EQ(DispGet(ws, DISPID_Name).AsAnsi(), "Report");
  EXPECT_EQ(DispGet(cell(ws, "B2").Get(), DISPID_Value).AsAnsi(), "Hello");
  EXPECT_EQ(range->Address(), "B2");
  EXPECT_EQ(plain->Address(), "A1");
  TComPtr<IDispatch> links = get(ws, {DISPID_Hyperlinks});
  ASSERT_EQ(DispGet(links.Get(), DISPID_Count).AsInteger(), 1);
  EXPECT_EQ(link->AnchorCell(), "C3");
  EXPECT_EQ(link->Address(), "http://example.com/");
  TComPtr<IDispatch> charts = DispCall(ws, DISPID_ChartObjects, {OleVariant::Missing()}).AsDispatch();
  ASSERT_EQ(DispGet(charts.Get(), DISPID_Count).AsInteger(), 1);
  TComPtr<IDispatch> holder = DispCall(charts.Get(), DISPID_Item, {1}).AsDispatch();
  EXPECT_DOUBLE_EQ(DispGet(holder.Get(), DISPID_Width).AsDouble(), PixelsToPoints(200));
  EXPECT_EQ(chart->ChartType(), xlctBar);
  EXPECT_EQ(chart->Width(), 200);

  // A second chart beyond the sheet's objects makes one at the origin, 296 points square.
  TOxExcelChart* second = sheet->Charts()->Add();
  EXPECT_EQ(DispGet(charts.Get(), DISPID_Count).AsInteger(), 2);
  EXPECT_EQ(second->Left(), 0);
  EXPECT_EQ(second->Height(), PointsToPixels(296));

  // The only sheet of a workbook stays when its item goes; the link goes with its item.
  delete link;
  EXPECT_EQ(DispGet(links.Get(), DISPID_Count).AsInteger(), 0);
  TComPtr<IDispatch> bookObject(book->ServerObject());
  delete sheet;
  EXPECT_EQ(DispGet(get(bookObject.Get(), {DISPID_Worksheets}).Get(), DISPID_Count).AsInteger(), 1);

  xl->SetConnected(false);
  EXPECT_EQ(book->ServerObject(), nullptr);
  EXPECT_TRUE(shown.empty());
}

TEST_F(OxItemsTest, RangeFormattingReachesTheServerWithItsRules) {
  xl->SetConnected(true);
  TOxExcelRange* range = xl->Workbooks()->Add()->Worksheets()->Add()->Ranges()->Add();
  IDispatch* ws = range->Worksheet()->ServerObject();
  range->SetAddress("A1:B2");
  IDispatch* r = range->ServerObject();
  range->SetFontAttributes(xlfaBold | xlfaStrikethrough);
  TComPtr<IDispatch> font = get(r, {DISPID_Font});
  EXPECT_TRUE(DispGet(font.Get(), DISPID_Bold).AsBool());
  EXPECT_FALSE(DispGet(font.Get(), DISPID_Italic).AsBool());
  EXPECT_TRUE(DispGet(font.Get(), DISPID_Strikethrough).AsBool());
  // System colours go out as RGB, the interior's as well as the font's.
  range->SetFontColor(clHighlight);
  range->SetColor(clBtnFace);
  range->SetPatternColor(clWindowText);
  EXPECT_EQ(DispGet(font.Get(), DISPID_Color).AsInteger(), int(ColorToRGB(clHighlight)));
  EXPECT_EQ(DispGet(get(r, {DISPID_Interior}).Get(), DISPID_Color).AsInteger(), int(ColorToRGB(clBtnFace)));
  EXPECT_EQ(DispGet(get(r, {DISPID_Interior}).Get(), DISPID_PatternColor).AsInteger(), 0);

  struct Clamp {
    int given, kept;
  } indents[] = {{20, 15}, {-3, 1}, {7, 7}};
  for (const Clamp& c : indents) {
    range->SetIndentLevel(c.given);
    EXPECT_EQ(range->IndentLevel(), c.kept);
    EXPECT_EQ(DispGet(r, DISPID_IndentLevel).AsInteger(), c.kept);
  }
  range->SetRotateDegrees(120);  // kept, sent only once the orientation is rotated
  EXPECT_EQ(DispGet(r, DISPID_Orientation).AsInteger(), xlHorizontal);
  range->SetOrientation(xlcoRotated);
  EXPECT_EQ(range->RotateDegrees(), 90);
  EXPECT_EQ(DispGet(r, DISPID_Orientation).AsInteger(), 90);
  range->SetHorizontalAlignment(xlchaRight);
  range->SetVerticalAlignment(xlcvaTop);
  EXPECT_EQ(DispGet(r, DISPID_HorizontalAlignment).AsInteger(), -4152);
  EXPECT_EQ(DispGet(r, DISPID_VerticalAlignment).AsInteger(), -4160);

  range->SetBorderStyle(xlblsDouble);
  range->SetBorderLineWeight(xlbwThick);
  range->SetBorders(xlbLeft);
  range->SetBorders(xlbLeft | xlbTop);
  for (int e : {xlEdgeLeft, xlEdgeTop}) {
    EXPECT_EQ(edge(r, e, DISPID_LineStyle).AsInteger(), xlblsDouble);
    EXPECT_EQ(edge(r, e, DISPID_Weight).AsInteger(), xlbwThick);
  }
  for (int e : {xlEdgeRight, xlEdgeBottom}) EXPECT_EQ(edge(r, e, DISPID_LineStyle).AsInteger(), xlNone);

  // Cells that differ have no one text; it is neither sent nor kept with the form.
  DispPut(cell(ws, "A1").Get(), DISPID_Value, "x");
  EXPECT_EQ(range->SimpleText(), "(N/A)");
  EXPECT_FALSE(range->StoresSimpleText());
  range->SetSimpleText("(N/A)");
  EXPECT_EQ(DispGet(cell(ws, "A1").Get(), DISPID_Value).AsAnsi(), "x");

  // A rejected address shows one error box and changes nothing; moving clears the old place.
  range->SetAddress("not an address");
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].substr(0, 22), "Invalid Range Address.");
  EXPECT_EQ(shown[0].substr(shown[0].size() - 7), "[error]");
  EXPECT_EQ(range->Address(), "A1:B2");
  range->SetClearOnMove(true);
  range->SetAddress("D4");
  EXPECT_TRUE(DispGet(cell(ws, "A1").Get(), DISPID_Value).IsEmpty());
  EXPECT_EQ(range->Address(), "D4");
}

TEST_F(OxItemsTest, WorkbookFromAFileReadsItsSheetsAndLinksAndServerClosingFreesItsItem) {
  TempDir dir;
  std::string file = dir.path + "links.xml";
  xl->SetConnected(true);
  {
    TOxExcelWorkbook* made = xl->Workbooks()->Add();
    TOxExcelWorksheet* first = made->Worksheets()->Add();
    first->SetName(L"One");
    TOxExcelWorksheet* second = made->Worksheets()->Add();
    second->SetName(L"Two");
    TOxExcelHyperlink* link = second->Hyperlinks()->Add();
    link->SetAnchorCell("B5");
    link->SetAddress("http://example.org/");
    link->SetVisible(true);
    DispPut(cell(second->ServerObject(), "B5").Get(), DISPID_Value, "site");
    DispCall(made->ServerObject(), DISPID_SaveAs, {file});
    delete made;
  }
  EXPECT_EQ(DispGet(get(app(), {DISPID_Workbooks}).Get(), DISPID_Count).AsInteger(), 0);

  TOxExcelWorkbook* book = xl->Workbooks()->Add();
  book->SetFilename(file);
  EXPECT_FALSE(book->StoresWorksheets());
  ASSERT_EQ(book->Worksheets()->Count(), 2);
  EXPECT_EQ(book->Worksheets()->Items(1)->Name(), L"Two");
  TOxExcelWorksheet* two = book->Worksheets()->Items(1);
  ASSERT_EQ(two->Hyperlinks()->Count(), 1);
  EXPECT_TRUE(two->Hyperlinks()->Items(0)->Visible());
  EXPECT_EQ(two->Hyperlinks()->Items(0)->Address(), "http://example.org/");
  EXPECT_EQ(two->Hyperlinks()->Items(0)->AnchorCell(), "B5");

  // The server closes the workbook itself: the item goes and leaves the server alone.
  DispCall(book->ServerObject(), DISPID_Close, {false});
  EXPECT_EQ(xl->Workbooks()->Count(), 0);
  EXPECT_TRUE(shown.empty());
}

TEST_F(OxItemsTest, VerbsNeedTheConnectionAndSelectionFeedsThem) {
  TOxExcelRange* range = xl->Workbooks()->Add()->Worksheets()->Add()->Ranges()->Add();
  EXPECT_EQ(range->GetVerb(2), "Set From Selection");
  try {
    range->ExecuteVerb(2);
    FAIL();
  } catch (const EOxOfficeError& e) {
    EXPECT_EQ(e.Message(), "You must be connected in order to call this method.");
  }
  xl->SetConnected(true);
  TOxExcelWorksheet* sheet = range->Worksheet();
  TOxExcelChart* chart = sheet->Charts()->Add();
  range->SetAddress("B3:C4");
  range->ExecuteVerb(1);  // Select Range
  chart->ExecuteVerb(0);  // Set Range from Selection
  EXPECT_EQ(chart->DataRange(), "B3:C4");
  range->SetAddress("E1");
  range->ExecuteVerb(2);
  EXPECT_EQ(range->Address(), "B3:C4");
}

}  // namespace

TEST_F(OxItemsTest, BindingIsNoMoveAndARangeWithoutAddressReads) {
  EXPECT_EQ(xl->GetServerVersion(), "");  // disconnected: no server to ask
  TOxExcelWorkbook* book = xl->Workbooks()->Add();
  TOxExcelWorksheet* sheet = book->Worksheets()->Add();
  TOxExcelRange* title = sheet->Ranges()->Add();
  title->SetAddress("A1");
  title->SetSimpleText("Title");
  TOxExcelRange* mover = sheet->Ranges()->Add();
  mover->SetClearOnMove(true);
  mover->SetAddress("B2");
  mover->SetSimpleText("x");
  TOxExcelRange* plain = sheet->Ranges()->Add();

  xl->SetConnected(true);
  EXPECT_EQ(xl->GetServerVersion(), "9.0");
  IDispatch* s = sheet->ServerObject();
  EXPECT_EQ(DispGet(cell(s, "A1").Get(), DISPID_Text).AsAnsi(), "Title");
  EXPECT_EQ(plain->SimpleText(), "Title");
  EXPECT_EQ(DispGet(cell(s, "B2").Get(), DISPID_Text).AsAnsi(), "x");
  // A move after binding does clear what it leaves.
  mover->SetAddress("C3");
  EXPECT_EQ(DispGet(cell(s, "B2").Get(), DISPID_Text).AsAnsi(), "");
  EXPECT_EQ(DispGet(cell(s, "A1").Get(), DISPID_Text).AsAnsi(), "Title");
}

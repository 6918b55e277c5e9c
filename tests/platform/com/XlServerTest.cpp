#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/com/ConnectionPoints.h"
#include "platform/com/XlServer.h"

namespace {

struct XlServerTest : ::testing::Test {
  void SetUp() override {
    OleInitialize();
    RegisterExcelServer();
    OleCheck(CoCreateInstance(CLASS_ExcelApplication, nullptr, CLSCTX_INPROC_SERVER, IID__Application, app.PutVoid()));
    OleCheck(app->Set_SheetsInNewWorkbook(0, 1));
    OleCheck(app->Get_Workbooks(0, books.Put()));
    OleCheck(books->Add(OleVariant::Missing(), 0, book.Put()));
    TComPtr<Sheets> sheets;
    OleCheck(book->Get_Worksheets(0, sheets.Put()));
    TComPtr<IDispatch> first;
    OleCheck(sheets->Get_Item(OleVariant(1), first.Put()));
    sheet = first.Query<_Worksheet>(IID__Worksheet);
  }
  void TearDown() override {
    sheet.Reset();
    book.Reset();
    books.Reset();
    if (app) app->Quit();
    app.Reset();
    OleUninitialize();
  }
  TComPtr<IDispatch> range(const char* a) { return DispGet(sheet.Get(), DISPID_Range, {a}).AsDispatch(); }

  TComPtr<_Application> app;
  TComPtr<Workbooks> books;
  TComPtr<_Workbook> book;
  TComPtr<_Worksheet> sheet;
  std::filesystem::path dir = std::filesystem::temp_directory_path() / ("xlsrv_" + std::to_string(::getpid()));
};

TEST_F(XlServerTest, RangesAddressOffsetResizeAndValuesByIdAndByName) {
  TComPtr<IDispatch> a1 = range("A1");
  TComPtr<IDispatch> block = DispGet(DispGet(a1.Get(), "Offset", {1, 1}).AsDispatch().Get(), "Resize", {2, 3}).AsDispatch();
  EXPECT_EQ(DispGet(block.Get(), DISPID_Address).AsAnsi(), "$B$2:$D$3");
  EXPECT_EQ(DispGet(block.Get(), DISPID_Address, {false, false, xlA1}).AsAnsi(), "B2:D3");
  // A one-row block takes an array, cell by cell.
  TComPtr<IDispatch> row = DispGet(block.Get(), "Resize", {1, 3}).AsDispatch();
  DispPut(row.Get(), "Value", OleVariant::Array({"x", 2.5, true}));
  EXPECT_EQ(DispGet(range("C2").Get(), DISPID_Value).AsDouble(), 2.5);
  EXPECT_EQ(DispGet(range("D2").Get(), DISPID_Text).AsAnsi(), "TRUE");
  // Cells that differ have no one text.
  EXPECT_TRUE(DispGet(row.Get(), DISPID_Text).IsNull());
  DispPut(DispGet(row.Get(), "Font").AsDispatch().Get(), "Bold", true);
  EXPECT_TRUE(DispGet(DispGet(range("D2").Get(), "Font").AsDispatch().Get(), "Bold").AsBool());
}

TEST_F(XlServerTest, FailuresReachTheCallerAsTheirKindOfError) {
  // Late bound: the server's description and code.
  try {
    DispGet(range("A1").Get(), DISPID_Resize, {0, 0});
    FAIL();
  } catch (const EOleException& e) {
    EXPECT_EQ(e.Source(), "Microsoft Excel");
    EXPECT_FALSE(e.Message().empty());
  }
  EXPECT_THROW(DispGet(sheet.Get(), DISPID_Range, {"not an address"}), EOleException);
  EXPECT_THROW(DispGet(sheet.Get(), "NoSuchMember"), EOleSysError);
  // Dual: a bare failure code.
  EXPECT_TRUE(FAILED(app->Set_SheetsInNewWorkbook(0, 0)));
  EXPECT_TRUE(FAILED(sheet->Delete(0)));  // the only sheet of its workbook stays
}

TEST_F(XlServerTest, SavedWorkbookOpensAgainWithTheSameCells) {
  std::filesystem::create_directories(dir);
  DispPut(range("A1").Get(), DISPID_Value, "Name & <kind>");
  DispPut(range("B1").Get(), DISPID_Value, 42);
  DispPut(range("B2").Get(), DISPID_Value, -0.125);
  DispPut(range("C3").Get(), DISPID_Value, AnsiString("caf\xE9"));
  AnsiString file = (dir / "book.xml").string();
  OleCheck(book->SaveAs(AnsiToWide(file), 0));
  TComPtr<_Workbook> again;
  OleCheck(books->Open(AnsiToWide(file), 0, again.Put()));
  TComPtr<IDispatch> s = DispGet(DispGet(again.Get(), "Worksheets").AsDispatch().Get(), "Item", {1}).AsDispatch();
  auto text = [&](const char* a) { return DispGet(DispGet(s.Get(), "Range", {a}).AsDispatch().Get(), "Text").AsAnsi(); };
  EXPECT_EQ(text("A1"), "Name & <kind>");
  EXPECT_EQ(text("B1"), "42");
  EXPECT_EQ(text("B2"), "-0.125");
  EXPECT_EQ(text("C3"), "caf\xE9");

  // Damaged files are refused with a message, not read half way.
  for (const char* bad : {"<Workbook><Worksheet><Table><Row ss:Index=\"0\"/></Table></Worksheet></Workbook>",
                          "<Workbook><Worksheet>", "<!DOCTYPE x><Workbook/>", "plain text"}) {
    std::ofstream(dir / "bad.xml") << bad;
    TComPtr<_Workbook> none;
    EXPECT_TRUE(FAILED(books->Open(AnsiToWide((dir / "bad.xml").string()), 0, none.Put()))) << bad;
  }
  std::filesystem::remove_all(dir);
}

TEST_F(XlServerTest, SheetsComeAndGoAndStaleReferencesFailCleanly) {
  TComPtr<Sheets> sheets;
  OleCheck(book->Get_Sheets(0, sheets.Put()));
  TComPtr<IDispatch> added;
  OleCheck(sheets->Add(OleVariant::Missing(), OleVariant(sheet.Get()), 1, OleVariant::Missing(), 0, added.Put()));
  int32_t count = 0;
  sheets->Get_Count(0, &count);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(DispGet(added.Get(), DISPID_Index).AsInteger(), 2);
  EXPECT_EQ(DispGet(added.Get(), DISPID_Name).AsAnsi(), "Sheet2");
  // Names stay unique and valid.
  EXPECT_THROW(DispPut(added.Get(), DISPID_Name, "sheet1"), EOleException);
  EXPECT_THROW(DispPut(added.Get(), DISPID_Name, "a/b"), EOleException);
  DispPut(added.Get(), DISPID_Name, "Totals");
  EXPECT_EQ(DispGet(sheets.Get(), DISPID_Item, {"TOTALS"}).AsDispatch().Get(), added.Get());

  TComPtr<IDispatch> cell = DispGet(added.Get(), DISPID_Range, {"A1"}).AsDispatch();
  OleCheck(added.Query<_Worksheet>(IID__Worksheet)->Delete(0));
  EXPECT_THROW(DispGet(added.Get(), DISPID_Name), EOleException);
  EXPECT_THROW(DispPut(cell.Get(), DISPID_Value, 1), EOleException);

  // Closing a workbook, or quitting, leaves every reference into it failing, not dangling.
  TComPtr<IDispatch> a1 = range("A1");
  OleCheck(book->Close(false, OleVariant::Missing(), OleVariant::Missing(), 0));
  EXPECT_THROW(DispGet(a1.Get(), DISPID_Text), EOleException);
  EXPECT_TRUE(FAILED(book->Save(0)));
  TComPtr<_Workbook> other;
  OleCheck(books->Add(OleVariant::Missing(), 0, other.Put()));
  OleCheck(app->Quit());
  EXPECT_TRUE(FAILED(other->Activate(0)));
  books->Get_Count(0, &count);
  EXPECT_EQ(count, 0);
}

TEST_F(XlServerTest, HyperlinksChartsSelectionAndOutline) {
  TComPtr<IDispatch> links, charts;
  OleCheck(sheet->Hyperlinks(links.Put()));
  OleCheck(sheet->ChartObjects(OleVariant::Missing(), 0, charts.Put()));
  TComPtr<IDispatch> link = DispCall(links.Get(), DISPID_Add, {range("B3"), "http://example.com", "Sheet1!A1"}).AsDispatch();
  EXPECT_EQ(DispGet(link.Get(), DISPID_Type).AsInteger(), msoHyperlinkRange);
  EXPECT_EQ(DispGet(DispGet(link.Get(), DISPID_Range).AsDispatch().Get(), DISPID_Address, {false, false}).AsAnsi(), "B3");
  EXPECT_THROW(DispGet(link.Get(), DISPID_Shape), EOleException);

  TComPtr<IDispatch> co = DispCall(charts.Get(), DISPID_Add, {0, 0, 296, 296}).AsDispatch();
  TComPtr<IDispatch> chart = DispGet(co.Get(), DISPID_Chart).AsDispatch();
  EXPECT_EQ(DispGet(chart.Get(), DISPID_Parent).AsDispatch().Get(), co.Get());
  DispPut(chart.Get(), DISPID_ChartType, 4);
  DispCall(chart.Get(), DISPID_ChartWizard, {range("A1:B4"), 4});
  EXPECT_EQ(DispGet(DispGet(charts.Get(), DISPID_Item, {1}).AsDispatch().Get(), DISPID_Width).AsDouble(), 296);
  TComPtr<IDispatch> onShape = DispCall(links.Get(), DISPID_Add, {co, "http://example.com"}).AsDispatch();
  EXPECT_EQ(DispGet(onShape.Get(), DISPID_Type).AsInteger(), msoHyperlinkShape);
  EXPECT_EQ(DispGet(DispGet(onShape.Get(), DISPID_Shape).AsDispatch().Get(), DISPID_Name).AsAnsi(), "Chart 1");
  EXPECT_EQ(DispGet(links.Get(), DISPID_Count).AsInteger(), 2);
  DispCall(link.Get(), DISPID_Delete);
  DispCall(co.Get(), DISPID_Delete);
  EXPECT_EQ(DispGet(links.Get(), DISPID_Count).AsInteger(), 1);
  EXPECT_EQ(DispGet(charts.Get(), DISPID_Count).AsInteger(), 0);
  EXPECT_THROW(DispGet(chart.Get(), DISPID_ChartType), EOleException);

  DispCall(range("C2:D5").Get(), DISPID_Select);
  TComPtr<Window> window;
  OleCheck(app->Get_ActiveWindow(0, window.Put()));
  TComPtr<IDispatch> selection = DispGet(window.Get(), DISPID_RangeSelection).AsDispatch();
  EXPECT_EQ(DispGet(selection.Get(), DISPID_Address).AsAnsi(), "$C$2:$D$5");

  TComPtr<IDispatch> outline;
  OleCheck(sheet->Get_Outline(0, outline.Put()));
  DispPut(outline.Get(), DISPID_SummaryRow, xlSummaryAbove);
  EXPECT_EQ(DispGet(outline.Get(), DISPID_SummaryRow).AsInteger(), xlSummaryAbove);
  TComPtr<IDispatch> row = DispGet(range("A7").Get(), DISPID_EntireRow).AsDispatch();
  DispPut(row.Get(), DISPID_OutlineLevel, 2);
  EXPECT_EQ(DispGet(range("Q7").Get(), DISPID_OutlineLevel).AsInteger(), 2);
  EXPECT_EQ(DispGet(row.Get(), DISPID_Address, {false, false}).AsAnsi(), "A7:XFD7");
}

TEST_F(XlServerTest, FormattingTravelsThroughAFile) {
  std::filesystem::create_directories(dir);
  TComPtr<IDispatch> block = range("A1:B2");
  DispPut(block.Get(), DISPID_Value, "x");
  DispPut(DispGet(block.Get(), DISPID_Font).AsDispatch().Get(), DISPID_Bold, true);
  DispPut(DispGet(block.Get(), DISPID_Font).AsDispatch().Get(), DISPID_Color, 0x0000FF);
  DispPut(block.Get(), DISPID_HorizontalAlignment, xlHAlignCenter);
  TComPtr<IDispatch> left = DispGet(DispGet(block.Get(), DISPID_Borders).AsDispatch().Get(), DISPID_Item, {xlEdgeLeft}).AsDispatch();
  DispPut(left.Get(), DISPID_LineStyle, xlContinuous);
  DispPut(left.Get(), DISPID_Weight, 4);
  EXPECT_THROW(DispPut(left.Get(), DISPID_Weight, 3), EOleException);
  DispPut(DispGet(block.Get(), DISPID_Interior).AsDispatch().Get(), DISPID_Pattern, 1);
  DispPut(DispGet(block.Get(), DISPID_Interior).AsDispatch().Get(), DISPID_Color, 0x00FFFF);
  DispPut(range("A1").Get(), DISPID_Value, "a longer text");
  // Whole columns are formatted where cells exist, without touching a million of them.
  TComPtr<IDispatch> column = DispGet(range("A1").Get(), DISPID_EntireColumn).AsDispatch();
  DispPut(column.Get(), DISPID_VerticalAlignment, -4160);
  DispCall(column.Get(), DISPID_AutoFit);
  EXPECT_DOUBLE_EQ(DispGet(range("A9").Get(), DISPID_ColumnWidth).AsDouble(), 14);
  DispPut(range("B1").Get(), DISPID_RowHeight, 30);

  AnsiString file = (dir / "styled.xml").string();
  OleCheck(book->SaveAs(AnsiToWide(file), 0));
  TComPtr<_Workbook> again;
  OleCheck(books->Open(AnsiToWide(file), 0, again.Put()));
  TComPtr<IDispatch> s = DispGet(DispGet(again.Get(), "Sheets").AsDispatch().Get(), "Item", {1}).AsDispatch();
  TComPtr<IDispatch> b2 = DispGet(s.Get(), DISPID_Range, {"B2"}).AsDispatch();
  TComPtr<IDispatch> font = DispGet(b2.Get(), DISPID_Font).AsDispatch();
  EXPECT_TRUE(DispGet(font.Get(), DISPID_Bold).AsBool());
  EXPECT_EQ(DispGet(font.Get(), DISPID_Color).AsInteger(), 0x0000FF);
  EXPECT_EQ(DispGet(b2.Get(), DISPID_HorizontalAlignment).AsInteger(), xlHAlignCenter);
  TComPtr<IDispatch> a2 = DispGet(s.Get(), DISPID_Range, {"A2"}).AsDispatch();
  EXPECT_EQ(DispGet(a2.Get(), DISPID_VerticalAlignment).AsInteger(), -4160);
  EXPECT_EQ(DispGet(DispGet(b2.Get(), DISPID_Interior).AsDispatch().Get(), DISPID_Color).AsInteger(), 0x00FFFF);
  TComPtr<IDispatch> edge = DispGet(DispGet(b2.Get(), DISPID_Borders).AsDispatch().Get(), DISPID_Item, {xlEdgeLeft}).AsDispatch();
  EXPECT_EQ(DispGet(edge.Get(), DISPID_LineStyle).AsInteger(), xlContinuous);
  EXPECT_EQ(DispGet(edge.Get(), DISPID_Weight).AsInteger(), 4);
  EXPECT_NEAR(DispGet(b2.Get(), DISPID_ColumnWidth).AsDouble(), 8.43, 1e-9);
  EXPECT_NEAR(DispGet(a2.Get(), DISPID_ColumnWidth).AsDouble(), 14, 1e-6);
  EXPECT_DOUBLE_EQ(DispGet(DispGet(s.Get(), DISPID_Range, {"C1"}).AsDispatch().Get(), DISPID_RowHeight).AsDouble(), 30);

  EXPECT_TRUE(FAILED(book->SaveAs(AnsiToWide((dir / "no" / "such" / "folder.xml").string()), 0)));
  std::filesystem::remove_all(dir);
}

TEST_F(XlServerTest, LibreOfficeReadsTheSavedCells) {
  if (std::system("command -v soffice >/dev/null 2>&1") != 0) GTEST_SKIP() << "LibreOffice is not installed";
  std::filesystem::create_directories(dir);
  DispPut(DispGet(range("A1").Get(), "Resize", {1, 3}).AsDispatch().Get(), "Value", OleVariant::Array({"Agent", "Plate", 7}));
  DispPut(range("A2").Get(), DISPID_Value, "1234567");
  DispPut(range("C2").Get(), DISPID_Value, 2.5);
  OleCheck(book->SaveAs(AnsiToWide((dir / "peer.xml").string()), 0));
  std::string cmd = "cd '" + dir.string() + "' && HOME='" + dir.string() +
                    "' timeout 120 soffice --headless --convert-to csv --outdir out peer.xml >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::ifstream csv(dir / "out" / "peer.csv");
  std::stringstream got;
  got << csv.rdbuf();
  EXPECT_EQ(got.str(), "Agent,Plate,7\n1234567,,2.5\n");
  std::filesystem::remove_all(dir);
}

}  // namespace

namespace {

// Hears the application's events; a handler may set the last argument, the Cancel flag.
class TEventSink final : public TAutoObject<IDispatch> {
public:
  TEventSink() : TAutoObject(ExcelDispNames(), IID_AppEvents) {}
  HRESULT Invoke(DISPID dispid, const IID&, LCID, uint16_t, DISPPARAMS* p, OleVariant*, EXCEPINFO*, uint32_t*) override {
    Heard.push_back(dispid);
    if (dispid == CancelOn && p->cArgs) p->rgvarg[0].SetRef(OleVariant(true));
    return S_OK;
  }
  std::vector<DISPID> Heard;
  DISPID CancelOn = DISPID_UNKNOWN;
};

}  // namespace

TEST_F(XlServerTest, ACancelledCloseWritesNothing) {
  std::filesystem::create_directories(dir);
  TComPtr<TEventSink> sink = MakeAuto<TEventSink>();
  TComPtr<IConnectionPoint> point;
  OleCheck(app.Query<IConnectionPointContainer>(IID_IConnectionPointContainer)->FindConnectionPoint(IID_AppEvents, point.Put()));
  uint32_t cookie = 0;
  OleCheck(point->Advise(sink.Get(), &cookie));
  DispPut(range("A1").Get(), DISPID_Value, "kept");
  AnsiString file = (dir / "closed.xml").string();
  sink->CancelOn = DISPID_WorkbookBeforeClose;
  EXPECT_FALSE(DispCall(book.Get(), DISPID_Close, {true, file}).AsBool());
  EXPECT_FALSE(std::filesystem::exists(file.c_str()));
  sink->CancelOn = DISPID_UNKNOWN;
  EXPECT_TRUE(DispCall(book.Get(), DISPID_Close, {true, file}).AsBool());
  EXPECT_TRUE(std::filesystem::exists(file.c_str()));
  point->Unadvise(cookie);
  std::filesystem::remove_all(dir);
}

TEST_F(XlServerTest, BlockWritesReachEveryCellOrFail) {
  // More cells than writes once reached, each of them.
  TComPtr<IDispatch> block = range("A1:B60000");
  DispPut(block.Get(), DISPID_Value, 7);
  DispPut(block.Get(), DISPID_HorizontalAlignment, xlHAlignCenter);
  for (const char* a : {"A1", "B60000", "A54321"}) {
    EXPECT_EQ(DispGet(range(a).Get(), DISPID_Value).AsInteger(), 7) << a;
    EXPECT_EQ(DispGet(range(a).Get(), DISPID_HorizontalAlignment).AsInteger(), xlHAlignCenter) << a;
  }
  EXPECT_EQ(DispGet(range("C1").Get(), DISPID_Value).VType(), VT_EMPTY);
  // Whole columns and rows take a format that reaches the cells made later.
  TComPtr<IDispatch> column = DispGet(range("D1").Get(), DISPID_EntireColumn).AsDispatch();
  DispPut(DispGet(column.Get(), DISPID_Font).AsDispatch().Get(), DISPID_Bold, true);
  DispPut(DispGet(range("A9").Get(), DISPID_EntireRow).AsDispatch().Get(), DISPID_WrapText, true);
  DispPut(range("D777777").Get(), DISPID_Value, "late");
  EXPECT_TRUE(DispGet(DispGet(range("D777777").Get(), DISPID_Font).AsDispatch().Get(), DISPID_Bold).AsBool());
  EXPECT_TRUE(DispGet(range("XFD9").Get(), DISPID_WrapText).AsBool());
  EXPECT_FALSE(DispGet(range("XFD10").Get(), DISPID_WrapText).AsBool());
  // Row heights and outline levels reach every row.
  TComPtr<IDispatch> rows = DispGet(range("A1:A150000").Get(), DISPID_EntireRow).AsDispatch();
  DispPut(rows.Get(), DISPID_RowHeight, 20);
  DispPut(rows.Get(), DISPID_OutlineLevel, 3);
  EXPECT_EQ(DispGet(range("Z149999").Get(), DISPID_RowHeight).AsDouble(), 20);
  EXPECT_EQ(DispGet(range("Z149999").Get(), DISPID_OutlineLevel).AsInteger(), 3);
  // A value for more cells than one write makes, or a format for a block that is not whole rows or
  // columns, is refused and changes nothing.
  TComPtr<IDispatch> all = DispGet(sheet.Get(), DISPID_Cells).AsDispatch();
  EXPECT_THROW(DispPut(all.Get(), DISPID_Value, 1), EOleException);
  EXPECT_EQ(DispGet(range("E5").Get(), DISPID_Value).VType(), VT_EMPTY);
  EXPECT_THROW(DispPut(range("A1:Z100000").Get(), DISPID_WrapText, true), EOleException);
  // Emptying makes no cells, so any block may be emptied.
  DispPut(all.Get(), DISPID_Value, OleVariant());
  EXPECT_EQ(DispGet(range("B60000").Get(), DISPID_Value).VType(), VT_EMPTY);
}

TEST_F(XlServerTest, OffsetsAndSizesFarOutsideTheSheetAreRefused) {
  TComPtr<IDispatch> b2 = range("B2");
  for (auto [member, args] : std::vector<std::pair<DISPID, std::vector<OleVariant>>>{
           {DISPID_Offset, {2147483647, 0}}, {DISPID_Offset, {0, 2147483647}}, {DISPID_Offset, {-2147483647, 0}},
           {DISPID_Resize, {2147483647, 1}}, {DISPID_Resize, {1, 2147483647}},
           {DISPID_Item, {2147483647, 1}}, {DISPID_Item, {1, -2147483647}}})
    EXPECT_THROW(DispGet(b2.Get(), member, args), EOleException) << member;
  EXPECT_EQ(DispGet(DispGet(b2.Get(), DISPID_Offset, {-1, -1}).AsDispatch().Get(), DISPID_Address).AsAnsi(), "$A$1");
}

TEST_F(XlServerTest, WhatTheServerHoldsIsWhatItSaves) {
  std::filesystem::create_directories(dir);
  TComPtr<IDispatch> interior = DispGet(range("A1").Get(), DISPID_Interior).AsDispatch();
  DispPut(interior.Get(), DISPID_Pattern, -4125);  // gray 50%
  DispPut(interior.Get(), DISPID_Color, 0x00FFFF);
  DispPut(interior.Get(), DISPID_PatternColor, 0xFF0000);
  // What no file could name is refused.
  EXPECT_THROW(DispPut(interior.Get(), DISPID_Pattern, 99), EOleException);
  EXPECT_THROW(DispPut(range("A1").Get(), DISPID_HorizontalAlignment, 99), EOleException);
  EXPECT_THROW(DispPut(range("A1").Get(), DISPID_VerticalAlignment, 99), EOleException);
  EXPECT_THROW(DispPut(DispGet(range("A1").Get(), DISPID_Borders).AsDispatch().Get(), DISPID_LineStyle, 99), EOleException);
  DispPut(range("B1").Get(), DISPID_Orientation, xlVertical);
  DispPut(range("C1").Get(), DISPID_Orientation, 45);
  DispPut(range("A5").Get(), DISPID_RowHeight, 33);  // a row without cells
  DispPut(range("D1").Get(), DISPID_Value, 0.1 + 0.2);
  TComPtr<IDispatch> links;
  OleCheck(sheet->Hyperlinks(links.Put()));
  DispCall(links.Get(), DISPID_Add, {range("A2"), "", "Sheet1!C3"});
  DispCall(links.Get(), DISPID_Add, {range("A3"), "http://example.com/", "part"});
  AnsiString file = (dir / "kept.xml").string();
  OleCheck(book->SaveAs(AnsiToWide(file), 0));

  TComPtr<_Workbook> again;
  OleCheck(books->Open(AnsiToWide(file), 0, again.Put()));
  TComPtr<IDispatch> s = DispGet(DispGet(again.Get(), "Worksheets").AsDispatch().Get(), "Item", {1}).AsDispatch();
  auto at = [&](const char* a) { return DispGet(s.Get(), DISPID_Range, {a}).AsDispatch(); };
  TComPtr<IDispatch> in = DispGet(at("A1").Get(), DISPID_Interior).AsDispatch();
  EXPECT_EQ(DispGet(in.Get(), DISPID_Pattern).AsInteger(), -4125);
  EXPECT_EQ(DispGet(in.Get(), DISPID_Color).AsInteger(), 0x00FFFF);
  EXPECT_EQ(DispGet(in.Get(), DISPID_PatternColor).AsInteger(), 0xFF0000);
  EXPECT_EQ(DispGet(at("B1").Get(), DISPID_Orientation).AsInteger(), xlVertical);
  EXPECT_EQ(DispGet(at("C1").Get(), DISPID_Orientation).AsInteger(), 45);
  EXPECT_EQ(DispGet(at("A5").Get(), DISPID_RowHeight).AsDouble(), 33);
  EXPECT_EQ(DispGet(at("D1").Get(), DISPID_Value).AsDouble(), 0.1 + 0.2);  // every digit
  TComPtr<IDispatch> read;
  OleCheck(s.Query<_Worksheet>(IID__Worksheet)->Hyperlinks(read.Put()));
  ASSERT_EQ(DispGet(read.Get(), DISPID_Count).AsInteger(), 2);
  TComPtr<IDispatch> inside = DispGet(read.Get(), DISPID_Item, {1}).AsDispatch();
  EXPECT_EQ(DispGet(inside.Get(), DISPID_Address).AsAnsi(), "");
  EXPECT_EQ(DispGet(inside.Get(), DISPID_SubAddress).AsAnsi(), "Sheet1!C3");
  TComPtr<IDispatch> outside = DispGet(read.Get(), DISPID_Item, {2}).AsDispatch();
  EXPECT_EQ(DispGet(outside.Get(), DISPID_Address).AsAnsi(), "http://example.com/");
  EXPECT_EQ(DispGet(outside.Get(), DISPID_SubAddress).AsAnsi(), "part");

  // Values no file could keep are refused as they come.
  for (const OleVariant& v : {OleVariant(std::nan("")), OleVariant::Date(-5), OleVariant::Error(DISP_E_PARAMNOTFOUND)})
    EXPECT_THROW(DispPut(range("E1").Get(), DISPID_Value, v), EOleException);
  EXPECT_THROW(DispPut(range("E1:F1").Get(), DISPID_Value, OleVariant::Array({1, OleVariant(HUGE_VAL)})), EOleException);
  EXPECT_EQ(DispGet(range("E1").Get(), DISPID_Value).VType(), VT_EMPTY);
  // What the format cannot hold is refused by name, and the file already there stays.
  DispPut(range("B7").Get(), DISPID_Value, "bell\a");
  try {
    DispCall(book.Get(), DISPID_SaveAs, {file});
    FAIL();
  } catch (const EOleException& e) {
    EXPECT_NE(e.Message().find("cell B7 of sheet 'Sheet1'"), std::string::npos) << e.Message();
  }
  TComPtr<_Workbook> third;
  OleCheck(books->Open(AnsiToWide(file), 0, third.Put()));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);
  std::filesystem::remove_all(dir);
}

TEST_F(XlServerTest, ThePlainServerAnswersOnlyForItsOwnInterfaces) {
  constexpr IID testHooks = StringToGUID("{6F1C3A52-8D0B-4E27-9A3C-51D2E0B7C410}");
  void* obj = nullptr;
  EXPECT_EQ(app->QueryInterface(testHooks, &obj), E_NOINTERFACE);
  EXPECT_EQ(obj, nullptr);
  TComPtr<IConnectionPointContainer> events = app.Query<IConnectionPointContainer>(IID_IConnectionPointContainer);
  EXPECT_TRUE(events);
}

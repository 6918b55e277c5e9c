#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "RaisedMessage.h"
#include "framework/base/uMessageDialog.h"
#include "office/OxDataSetModel.h"
#include "office/OxExcel.h"
#include "office/OxExcelItems.h"
#include "platform/com/XlServer.h"
#include "platform/engines/DbfPeer.h"
#include "tables/XBE7.h"
#include "tables/XbDSet.h"

namespace {

// Customers and their orders in real DBF tables; Bob has no orders.
struct OxDataSetModelTest : ::testing::Test {
  void SetUp() override {
    RunDbfPython(dir,
                 "c = dbf.Table('cust.dbf', 'name C(8); city C(8)', dbf_type='db3')\n"
                 "c.open(dbf.READ_WRITE)\n"
                 "for r in (('Ann', 'Oslo'), ('Bob', 'Rome'), ('Cyd', 'Lima')): c.append(r)\n"
                 "c.close()\n"
                 "o = dbf.Table('orders.dbf', 'cust C(8); item C(8); qty N(3,0)', dbf_type='db3')\n"
                 "o.open(dbf.READ_WRITE)\n"
                 "for r in (('Cyd', 'owl', 1), ('Ann', 'pen', 2), ('Ann', 'ink', 30)): o.append(r)\n"
                 "o.close()\n");
    dir.Write("orders.cdx", "XBEINDEX 1\nCUST\tCUST\t\t0\t0\n");
    EnsureTableEngine();
    xb_SetDeleted(-1);
    AnsiString folder = dir.path.substr(0, dir.path.size() - 1);
    customers.SetDatabaseName(folder);
    customers.SetTableName("cust");
    source.SetDataSet(&customers);
    orders.SetDatabaseName(folder);
    orders.SetTableName("orders");
    orders.SetIndexName("CUST");
    orders.SetMasterSource(&source);
    orders.SetMasterFields("NAME");
    customers.Open();
    orders.Open();
    master.SetDataset(&customers);
    detail.SetDataset(&orders);
    OleInitialize();
    RegisterExcelServer();
  }
  void TearDown() override {
    xl.reset();
    OleUninitialize();
  }
  TOxExcelRange* connectedRange(const char* address) {
    xl->SetConnected(true);
    TOxExcelRange* range = xl->Workbooks()->Add()->Worksheets()->Add()->Ranges()->Add();
    range->SetAddress(address);
    return range;
  }
  OleVariant cell(TOxExcelRange* range, int row, int column) const {
    TComPtr<IDispatch> at = DispGet(range->ServerObject(), DISPID_Item, {row, column}).AsDispatch();
    return DispGet(at.Get(), DISPID_Value);
  }

  TempDir dir;
  TXbTable customers{nullptr};
  TDataSource source{nullptr};
  TXbTable orders{nullptr};
  TOxDataSetModel master{nullptr};
  TOxDataSetModel detail{nullptr};
  std::unique_ptr<TOxExcel> xl = std::make_unique<TOxExcel>(nullptr);
};

TEST_F(OxDataSetModelTest, MasterAndDetailFillTheRangeAndLibreOfficeReadsTheSameCells) {
  master.SetDetailModel(&detail);
  TOxExcelRange* range = connectedRange("B2");
  range->SetOfficeModel(&master);
  customers.Next();  // the population leaves the master where it stood
  EXPECT_EQ(range->GetVerb(0), "Populate Range");
  range->ExecuteVerb(0);

  EXPECT_EQ(range->Address(), "B2:D8");  // header, Ann and two orders, Bob, Cyd and one order
  EXPECT_EQ(customers.FieldByName("NAME")->AsString(), "Bob");
  EXPECT_FALSE(customers.ControlsDisabled());
  const char* rows[][3] = {{"NAME", "CITY", ""}, {"Ann", "Oslo", ""}, {"Ann", "pen", "2"}, {"Ann", "ink", "30"},
                           {"Bob", "Rome", ""}, {"Cyd", "Lima", ""}};
  for (int r = 0; r < 6; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(cell(range, r + 1, c + 1).AsAnsi(), rows[r][c]) << r << "," << c;
  const int levels[] = {1, 1, 2, 2, 1, 1, 2};
  for (int r = 0; r < 7; ++r) {
    TComPtr<IDispatch> row = DispGet(range->ServerObject(), DISPID_Item, {r + 1, 1}).AsDispatch();
    EXPECT_EQ(DispGet(DispGet(row.Get(), DISPID_EntireRow).AsDispatch().Get(), DISPID_OutlineLevel).AsInteger(), levels[r]);
  }
  TComPtr<IDispatch> header = DispGet(range->ServerObject(), DISPID_Item, {1, 1}).AsDispatch();
  EXPECT_TRUE(DispGet(DispGet(header.Get(), DISPID_Font).AsDispatch().Get(), DISPID_Bold).AsBool());

  if (std::system("command -v soffice >/dev/null 2>&1") != 0) GTEST_SKIP() << "LibreOffice is not installed";
  DispCall(range->Workbook()->ServerObject(), DISPID_SaveAs, {dir.path + "orders.xml"});
  std::string cmd = "cd '" + dir.path + "' && HOME='" + dir.path +
                    "' timeout 120 soffice --headless --convert-to csv --outdir out orders.xml >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  EXPECT_EQ(TempDir::Read(dir.path + "out/orders.csv"),
            ",,,\n,NAME,CITY,\n,Ann,Oslo,\n,Ann,pen,2\n,Ann,ink,30\n,Bob,Rome,\n,Cyd,Lima,\n,Cyd,owl,1\n");
}

TEST_F(OxDataSetModelTest, AFailedPopulationStillEndsTheRead) {
  TOxExcelRange* range = connectedRange("A1");
  range->SetOfficeModel(&master);
  customers.Last();
  customers.FieldByName("CITY")->OnGetText = [](TField* f, AnsiString& text, bool) {
    if (f->DataSet()->RecNo() == 2) throw Exception("unreadable");
    text = f->AsString();
  };
  EXPECT_EQ(RaisedMessage([&] { range->ExecuteVerb(0); }), "unreadable");
  EXPECT_FALSE(customers.ControlsDisabled());
  EXPECT_EQ(customers.FieldByName("NAME")->AsString(), "Cyd");

  // A model without rows leaves the header row as the range.
  RunDbfPython(dir, "dbf.Table('none.dbf', 'a C(3); b C(3)', dbf_type='db3').open(dbf.READ_WRITE).close()\n");
  TXbTable none(nullptr);
  none.SetDatabaseName(customers.DatabaseName());
  none.SetTableName("none");
  none.Open();
  master.SetDataset(&none);
  range->SetAddress("F1");
  range->ExecuteVerb(0);
  EXPECT_EQ(range->Address(), "F1:G1");
}

TEST_F(OxDataSetModelTest, ModelRulesAndErrors) {
  OleVariant value;
  int kind = -1;
  EXPECT_EQ(RaisedMessage([&] { master.GetData(0, 2, value, kind); }), "Model does not support requested mode.");
  master.GetData(1, dmmColumnText, value, kind);
  EXPECT_EQ(value.AsAnsi(), "Oslo");
  EXPECT_EQ(RaisedMessage([&] { master.SetDetailModel(&master); }), "Circular Model link not allowed.");
  master.SetDetailModel(&detail);
  EXPECT_EQ(RaisedMessage([&] { detail.SetDetailModel(&master); }), "Circular Model link not allowed.");
  EXPECT_EQ(master.DetailModel(), &detail);
  EXPECT_EQ(RaisedMessage([] {
              TOxExcel excel(nullptr);
              excel.Workbooks()->Add()->Worksheets()->Add()->Ranges()->Add()->ExecuteVerb(0);
            }),
            "You must be connected in order to call this method.");

  // Freed components leave no dangling links behind.
  auto* table = new TXbTable(nullptr);
  auto* model = new TOxDataSetModel(nullptr);
  model->SetDataset(table);
  TOxExcelRange* range = connectedRange("A1");
  range->SetOfficeModel(model);
  delete table;
  EXPECT_EQ(model->Dataset(), nullptr);
  EXPECT_EQ(RaisedMessage([&] { model->BeginRead(); }), "Model Dataset must be assigned first.");
  delete model;
  EXPECT_EQ(range->OfficeModel(), nullptr);
  EXPECT_EQ(RaisedMessage([&] { range->ExecuteVerb(0); }), "A Model must be assigned in order to populate");
}

}  // namespace

// SQL over xBase tables made by Python's dbf package: joins with parameters and memos, locally
// and through the loopback server, each row held against SQLite's own shell on the same data;
// the data-set operations on the rows; server procedures and their malformed answers.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "RaisedMessage.h"
#include "LoopbackServer.h"
#include "platform/classlib/MessageBox.h"
#include "platform/engines/DbfPeer.h"
#include "platform/rtl/DateTime.h"
#include "tables/XbConnection.h"
#include "tables/XbQuery.h"
#include "tables/XbServerDLL.h"
#include "tables/intCrypt.h"
#include "tables/intSql.h"

namespace {

constexpr const char* JoinSql =
    "SELECT c.name, c.city, o.amount, o.placed, c.vip FROM orders o JOIN customers c ON c.id = o.cust\n"
    "WHERE o.amount > :minimum AND c.city <> :skip ORDER BY o.id";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (std::size_t nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1) lines.push_back(text.substr(at, nl - at));
  return lines;
}

class XbQueryTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    Dir = new TempDir;
    // The same rows go into the DBF tables and into a script for SQLite's shell.
    RunDbfPython(*Dir,
                 "cities = ['Oslo', 'Lima', 'Pune', 'Kyiv', 'Quito']\n"
                 "c = dbf.Table('customers.dbf', 'id N(5,0); name C(12); city C(10); since D; vip L; notes M', dbf_type='db3')\n"
                 "o = dbf.Table('orders.dbf', 'id N(6,0); cust N(5,0); amount N(9,2); placed D', dbf_type='db3')\n"
                 "c.open(dbf.READ_WRITE); o.open(dbf.READ_WRITE)\n"
                 "sql = ['CREATE TABLE customers(id INTEGER, name TEXT, city TEXT, since TEXT, vip INTEGER, notes TEXT);',\n"
                 "       'CREATE TABLE orders(id INTEGER, cust INTEGER, amount REAL, placed TEXT);', 'BEGIN;']\n"
                 "for i in range(1, 241):\n"
                 "    d = datetime.date(2000 + i % 20, 1 + i % 12, 1 + i % 28)\n"
                 "    notes = 'memo of %d' % i if i % 4 else ''\n"
                 "    c.append((i, 'Cust%03d' % i, cities[i % 5], d, i % 3 == 0, notes))\n"
                 "    sql.append(\"INSERT INTO customers VALUES(%d,'Cust%03d','%s','%s',%d,'%s');\" % (i, i, cities[i % 5], d.isoformat(), i % 3 == 0, notes))\n"
                 "for i in range(1, 601):\n"
                 "    d = datetime.date(2010 + i % 9, 1 + i % 12, 1 + i % 27)\n"
                 "    amount = round((i * 7.13) % 500, 2)\n"
                 "    o.append((i, 1 + (i * 37) % 240, amount, d))\n"
                 "    sql.append(\"INSERT INTO orders VALUES(%d,%d,%.2f,'%s');\" % (i, 1 + (i * 37) % 240, amount, d.isoformat()))\n"
                 "c.close(); o.close()\n"
                 "open('data.sql', 'w').write('\\n'.join(sql) + '\\nCOMMIT;\\n')\n");
    ShellOutput("cd " + Dir->path + " && sqlite3 data.db < data.sql");
    SetMessageBoxesReachUser(false);
  }
  static void TearDownTestSuite() {
    delete Dir;
    Dir = nullptr;
  }

  void SetUp() override { Query = std::make_unique<TXbQuery>(nullptr); }

  void PrepareJoin(TXbQuery& q, int fetchCount) {
    q.SetDatabaseName(Dir->path.substr(0, Dir->path.size() - 1));
    q.SetSQL(JoinSql);
    q.SetFetchCount(fetchCount);
    q.Params().CreateParam(ftFloat, "minimum", ptInput)->SetValue(Variant(100.0));
    q.Params().CreateParam(ftString, "skip", ptInput)->SetAsString("Lima");
    for (const char* t : {"customers", "orders"}) q.TableList().Add()->SetTableName(t);
  }

  static std::string Row(TXbQuery& q) {
    char amount[32];
    std::snprintf(amount, sizeof amount, "%.2f", q.FieldByName("AMOUNT")->AsFloat());
    return q.FieldByName("NAME")->AsString() + "|" + q.FieldByName("CITY")->AsString() + "|" + amount + "|" +
           FormatDateTime("yyyy-mm-dd", q.FieldByName("PLACED")->AsDateTime()) + "|" +
           (q.FieldByName("VIP")->AsBoolean() ? "1" : "0");
  }
  static std::vector<std::string> Rows(TXbQuery& q) {
    std::vector<std::string> rows;
    for (q.First(); !q.Eof(); q.Next()) rows.push_back(Row(q));
    return rows;
  }
  // SQLite's shell on the same data and statement, rows in the same form.
  static std::vector<std::string> ShellRows() {
    std::ofstream(Dir->path + "join.cmd") << ".parameter init\n.parameter set :minimum 100\n"
                                             ".parameter set :skip \"'Lima'\"\n"
                                          << JoinSql << ";\n";
    std::vector<std::string> rows;
    for (const std::string& line : Lines(ShellOutput("cd " + Dir->path + " && sqlite3 -batch data.db < join.cmd"))) {
      std::vector<std::string> cols;
      std::size_t at = 0;
      for (std::size_t bar; (bar = line.find('|', at)) != std::string::npos; at = bar + 1) cols.push_back(line.substr(at, bar - at));
      cols.push_back(line.substr(at));
      if (cols.size() != 5) return {"bad shell line: " + line};
      char amount[32];
      std::snprintf(amount, sizeof amount, "%.2f", std::stod(cols[2]));
      rows.push_back(cols[0] + "|" + cols[1] + "|" + amount + "|" + cols[3] + "|" + cols[4]);
    }
    return rows;
  }

  static TempDir* Dir;
  std::unique_ptr<TXbQuery> Query;
};

TempDir* XbQueryTest::Dir = nullptr;

// The loopback server over both engines, and a connection to it.
struct TServerSide {
  explicit TServerSide(const std::string& faults = "")
      : Server({"sql", LibraryFolders().back() + "/XBE7.so", LibraryFolders().back() + "/xbesql7.so", Log.path + "log",
                faults}) {
    Connection.SetPort(Server.Port());
    Connection.SetPolling(false);
    Connection.SetActive(true);
  }
  int Commands(const std::string& code) {
    std::ifstream in(Log.path + "log");
    int n = 0;
    for (std::string line; std::getline(in, line);) n += line.rfind(code, 0) == 0;
    return n;
  }
  TempDir Log;
  TLoopbackServer Server;
  TXbConnection Connection{nullptr};
};

TEST_F(XbQueryTest, LocalJoinWithParametersMatchesSqliteShellAndFetchesInBlocks) {
  PrepareJoin(*Query, 7);
  Query->Open();
  EXPECT_EQ(Query->FetchedRows(), 7);
  Query->SetRecNo(7);
  EXPECT_EQ(Query->FetchedRows(), 7);
  Query->Next();
  EXPECT_EQ(Query->FetchedRows(), 14);
  std::vector<std::string> expected = ShellRows();
  ASSERT_GT(expected.size(), 100u);
  EXPECT_EQ(Rows(*Query), expected);
  EXPECT_EQ(Query->RecordCount(), int(expected.size()));
  EXPECT_EQ(Query->FieldByName("NAME")->ClassName(), "TStringField");
  EXPECT_EQ(Query->FieldByName("NAME")->Size(), 12);
  EXPECT_EQ(Query->FieldByName("PLACED")->ClassName(), "TDateField");
  EXPECT_EQ(Query->FieldByName("VIP")->ClassName(), "TBooleanField");
  Query->Close();
  EXPECT_EQ(Query->Handle(), 0);
}

TEST_F(XbQueryTest, ServerJoinAndMemosMatchTheLocalAnswer) {
  TServerSide side;
  ASSERT_TRUE(side.Connection.Active());
  PrepareJoin(*Query, 50);
  Query->SetXbConnection(&side.Connection);
  Query->SetAccessMethod(amServer);
  Query->Open();
  EXPECT_EQ(Rows(*Query), ShellRows());
  Query->Close();

  // Memos come by row identifier, also after the first row has gone.
  for (TAccessMethod m : {amLocal, amServer}) {
    TXbQuery q(nullptr);
    q.SetDatabaseName(Dir->path.substr(0, Dir->path.size() - 1));
    if (m == amServer) {
      q.SetXbConnection(&side.Connection);
      q.SetAccessMethod(amServer);
    }
    q.SetSQL("SELECT id, notes FROM customers WHERE id BETWEEN 5 AND 9 ORDER BY id");
    q.TableList().Add()->SetTableName("customers.dbf");
    q.Open();
    EXPECT_EQ(q.FieldByName("NOTES")->ClassName(), "TMemoField");
    EXPECT_EQ(q.FieldByName("NOTES")->AsString(), "memo of 5");
    q.Delete();
    EXPECT_EQ(q.FieldByName("ID")->AsInteger(), 6);
    EXPECT_EQ(q.FieldByName("NOTES")->AsString(), "memo of 6");
    q.Last();
    EXPECT_EQ(q.FieldByName("NOTES")->AsString(), "memo of 9");
    q.Prior();
    EXPECT_EQ(q.FieldByName("NOTES")->AsString(), "");  // 8 has none
  }
}

TEST_F(XbQueryTest, NavigationBookmarksDeleteEditAndLocateOnTheRows) {
  Query->SetDatabaseName(Dir->path);
  Query->SetSQL("SELECT id, name, city FROM customers WHERE id <= 10 ORDER BY id");
  Query->TableList().Add()->SetTableName("customers");
  Query->SetFetchCount(0);
  EXPECT_EQ(Query->FetchCount(), 1);
  Query->Open();
  EXPECT_EQ(Query->RecordCount(), 10);
  Query->Last();
  EXPECT_EQ(Query->RecNo(), 10);
  Query->Next();
  EXPECT_TRUE(Query->Eof());
  Query->SetRecNo(4);
  EXPECT_EQ(Query->FieldByName("ID")->AsInteger(), 4);
  TBookmark four = Query->Bookmark();
  Query->First();
  EXPECT_TRUE(Query->Bof());
  EXPECT_EQ(Query->CompareBookmarks(Query->Bookmark(), four), -1);
  EXPECT_EQ(Query->CompareBookmarks(four, {}), 2);
  Query->GotoBookmark(four);
  EXPECT_EQ(Query->FieldByName("ID")->AsInteger(), 4);

  // The first row deletes like any other.
  Query->First();
  Query->Delete();
  EXPECT_EQ(Query->RecordCount(), 9);
  EXPECT_EQ(Query->FieldByName("ID")->AsInteger(), 2);
  Query->Edit();
  Query->FieldByName("NAME")->SetAsString("Renamed");
  Query->Post();
  Query->Next();
  Query->First();
  EXPECT_EQ(Query->FieldByName("NAME")->AsString(), "Renamed");

  struct {
    const char* Key;
    TLocateOptions Options;
    int Found;  // 0: none
  } cases[] = {{"cust007", loCaseInsensitive, 7}, {"Cust00", loPartialKey, 3}, {"cust007", 0, 0}, {"Cust0", 0, 0}};
  for (auto& c : cases) {
    bool found = Query->Locate("NAME", Variant(c.Key), c.Options);
    EXPECT_EQ(found, c.Found != 0) << c.Key;
    if (c.Found) {
      EXPECT_EQ(Query->FieldByName("ID")->AsInteger(), c.Found) << c.Key;
    }
  }
  EXPECT_TRUE(Query->Locate("ID;CITY", VarArrayOf({Variant(5), Variant("Oslo")}), 0));

  // Filtered counts take accepted rows only.
  Query->OnFilterRecord = [](TDataSet* d, bool& accept) { accept = d->FieldByName("ID")->AsInteger() % 2 == 0; };
  Query->SetFiltered(true);
  Query->First();
  EXPECT_EQ(Query->RecordCount(), 5);
  Query->SetRecNo(3);
  EXPECT_EQ(Query->FieldByName("ID")->AsInteger(), 6);
  EXPECT_EQ(Query->RecNo(), 3);
}

TEST_F(XbQueryTest, FailuresAndTheMissingEngineRaiseClearErrors) {
  Query->SetDatabaseName(Dir->path);
  EXPECT_EQ(RaisedMessage([&] { Query->Open(); }), "No SQL statement available");
  Query->SetSQL("SELECT * FROM nowhere");
  EXPECT_EQ(RaisedMessage([&] { Query->Open(); }), "no such table: nowhere");
  Query->SetSQL("SELECT * FROM customers a JOIN customers b ON a.id = b.id");
  Query->TableList().Add()->SetTableName("customers");
  Query->Open();
  EXPECT_EQ(Query->FieldByName("ID_1")->AsInteger(), 1);
  Query->Close();
  Query->TableList().Clear();
  Query->SetSQL("SELECT * FROM customers WHERE id < 0");
  Query->TableList().Add()->SetTableName("customers");
  Query->Open();
  EXPECT_EQ(Query->RecordCount(), 0);
  EXPECT_TRUE(Query->Eof());
  Query->Close();
  Query->TableList().Add()->SetTableName("missing");
  EXPECT_NE(RaisedMessage([&] { Query->Open(); }).find("Unable to open table missing"), std::string::npos);
  EXPECT_EQ(Query->Version(), "7.1.0.5, XbQuery 7.1.0.5, " + DateToStr(EncodeDate(2011, 11, 16)));

  TXbQuery server(nullptr);
  server.SetAccessMethod(amServer);
  server.SetSQL("SELECT 1");
  EXPECT_EQ(RaisedMessage([&] { server.Open(); }), "Missing DatabaseName property");
  server.SetDatabaseName("data");
  EXPECT_EQ(RaisedMessage([&] { server.Open(); }), "No XbConnection specified");
  TXbConnection closed(nullptr);
  server.SetXbConnection(&closed);
  EXPECT_EQ(RaisedMessage([&] { server.Open(); }), "Not connected");
  EXPECT_EQ(server.Version(), "<Server XBE>, XbQuery 7.1.0.5, " + DateToStr(EncodeDate(2011, 11, 16)));

  // A folder without the engine, then an engine without every entry: both are a missing engine.
  TempDir empty;
  std::vector<AnsiString> folders = LibraryFolders();
  for (const AnsiString& folder : {AnsiString(empty.path), AnsiString(QUORVEX_LACKING_SQL_DIR)}) {
    UnloadSqlEngine();
    SetLibraryFolders({folder});
    EXPECT_FALSE(LoadSqlEngine());
    EXPECT_EQ(dll_sql_Prepare, nullptr);
    TXbQuery q(nullptr);
    q.SetDatabaseName(Dir->path);
    q.SetSQL("SELECT 1");
    EXPECT_EQ(RaisedMessage([&] { q.Open(); }), "Missing required file xbesql7.DLL") << folder;
  }
  // The compressor without every entry is missing as well: nothing of it stays bound.
  UnloadCompressionEngine();
  EXPECT_FALSE(LoadCompressionEngine());
  EXPECT_EQ(CompressStream, nullptr);
  SetLibraryFolders(folders);
  UnloadSqlEngine();
  EXPECT_TRUE(LoadSqlEngine());
}

TEST_F(XbQueryTest, ServerRecordBlockCutShortIsAnError) {
  TServerSide side("shortrows:0807");
  Query->SetDatabaseName(Dir->path);
  Query->SetXbConnection(&side.Connection);
  Query->SetAccessMethod(amServer);
  Query->SetSQL("SELECT id, name FROM customers");
  Query->TableList().Add()->SetTableName("customers");
  EXPECT_EQ(RaisedMessage([&] { Query->Open(); }), "Error while reading stream");
}

// A table name or password too wide for the prepare request's table list, or a parameter name too
// wide for its record, fails with the width error before anything is sent.
TEST_F(XbQueryTest, FieldsTooWideForThePrepareRequestAreReportedNotSent) {
  TServerSide side;
  AnsiString longName = Dir->path + std::string(70 - Dir->path.size(), 'x') + ".dbf";
  struct Case {
    AnsiString table, password, param, error;
  } cases[] = {
      {longName, "", "P", "[XbConnection.sql_Prepare]sql_Prepare: Table name " + longName + " is longer than 64 characters"},
      {"customers", "ninechars", "P", "[XbConnection.sql_Prepare]sql_Prepare: Password of customers is longer than 8 characters"},
      {"customers", "", "A_PARAMETER_NAME_TOO_LONG",
       "Parameter name A_PARAMETER_NAME_TOO_LONG is longer than 20 characters"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    TXbQuery q(nullptr);
    q.SetDatabaseName(Dir->path);
    q.SetXbConnection(&side.Connection);
    q.SetAccessMethod(amServer);
    q.SetSQL("SELECT id FROM customers WHERE id > :" + c.param);
    TXbTableListItem* t = q.TableList().Add();
    t->SetTableName(c.table);
    t->SetPassword(c.password);
    q.Params().CreateParam(ftInteger, c.param, ptInput)->SetValue(Variant(1));
    EXPECT_EQ(RaisedMessage([&] { q.Open(); }), c.error);
    EXPECT_EQ(side.Commands("0800"), 0);
  }
  TXbServerDLL proc(nullptr);
  proc.SetXbConnection(&side.Connection);
  proc.SetProcName("ADD");
  proc.ProcParams().CreateParam(ftInteger, "A_PARAMETER_NAME_TOO_LONG", ptInput)->SetValue(Variant(1));
  EXPECT_EQ(RaisedMessage([&] { proc.ExecProc(); }), "Parameter name A_PARAMETER_NAME_TOO_LONG is longer than 20 characters");
  EXPECT_EQ(side.Commands("0042"), 0);
}

TEST(ServerParamStreamTest, RecordLayoutPerParameter) {
  TParams params;
  params.CreateParam(ftInteger, "QUANTITY", ptInput)->SetValue(Variant(0x01020304));
  params.CreateParam(ftString, "NOTE", ptOutput)->SetAsString("ab");
  TMemoryStream s;
  ServerParamStream(params, s);
  AnsiString bytes(reinterpret_cast<const char*>(s.Memory()), std::size_t(s.Size()));
  EXPECT_EQ(bytes.substr(0, 36), "000000040301QUANTITY            " + AnsiString("\x04\x03\x02\x01", 4));
  EXPECT_EQ(bytes.substr(36), "000000020102NOTE                ab");
  EXPECT_EQ(s.Position(), 0);
}

TEST_F(XbQueryTest, ServerProceduresWithEveryTypeAndTheirErrors) {
  TServerSide side;
  TXbServerDLL proc(nullptr);
  EXPECT_EQ(RaisedMessage([&] { proc.ExecProc(); }), "No XbConnection specified");
  proc.SetXbConnection(&side.Connection);
  EXPECT_EQ(RaisedMessage([&] { proc.ExecProc(); }), "ProcName is empty!");
  proc.SetDatabaseName("data");
  proc.SetProcName("ADD");
  ASSERT_EQ(proc.ProcParams().Count(), 3);
  EXPECT_EQ(proc.ProcParams().Items(2)->Name(), "SUM");
  EXPECT_EQ(proc.ProcParams().Items(2)->ParamType(), ptOutput);
  proc.SetProcName("ADD");
  EXPECT_EQ(side.Commands("0044"), 1);
  proc.ProcParams().ParamByName("A")->SetValue(Variant(2));
  proc.ProcParams().ParamByName("B")->SetValue(Variant(40));
  EXPECT_TRUE(proc.ExecProc());
  ASSERT_EQ(proc.ProcParams().Count(), 1);
  EXPECT_EQ(proc.ProcParams().ParamByName("SUM")->AsInteger(), 42);

  proc.SetProcName("ECHO");
  TDateTime when = EncodeDate(2024, 2, 29) + 0.5;
  struct {
    TFieldType Type;
    Variant Value;
  } values[] = {{ftString, Variant("text")},  {ftSmallint, Variant(-3)},        {ftInteger, Variant(123456)},
                {ftWord, Variant(65000)},     {ftBoolean, Variant(true)},       {ftFloat, Variant(2.5)},
                {ftCurrency, Variant(9.75)},  {ftDate, Variant::FromDate(when)}, {ftTime, Variant::FromDate(0.25)},
                {ftDateTime, Variant::FromDate(when)}, {ftMemo, Variant("long\r\ntext")}, {ftBlob, Variant(AnsiString("\0\1\2", 3))}};
  int n = 0;
  for (auto& v : values) proc.ProcParams().CreateParam(v.Type, "P" + IntToStr(n++), ptInputOutput)->SetValue(v.Value);
  proc.ProcParams().CreateParam(ftInteger, "EMPTY", ptInput);
  EXPECT_TRUE(proc.ExecProc());
  ASSERT_EQ(proc.ProcParams().Count(), n);  // the null one comes back as no entry
  for (int i = 0; i < n; ++i) {
    TParam* p = proc.ProcParams().Items(i);
    EXPECT_EQ(p->DataType(), values[i].Type) << i;
    if (values[i].Type == ftDate) {
      EXPECT_EQ(p->Value().AsDateTime(), EncodeDate(2024, 2, 29));
    } else {
      EXPECT_EQ(p->Value().AsString(), values[i].Value.AsString()) << i;
    }
  }

  proc.SetProcName("FAIL");
  EXPECT_EQ(RaisedMessage([&] { proc.ExecProc(); }), "Procedure failed");
  int errorNo = 0;
  proc.OnError = [&](TObject*, const AnsiString&, int32_t no) { errorNo = no; };
  EXPECT_TRUE(proc.ExecProc());
  EXPECT_EQ(errorNo, 7);
  for (const char* bad : {"BADSIZE", "SHORT", "BADHEX"}) {
    proc.SetProcName(bad);
    EXPECT_EQ(RaisedMessage([&] { proc.ExecProc(); }), "Malformed procedure answer") << bad;
  }
  side.Connection.SetActive(false);
  EXPECT_EQ(RaisedMessage([&] { proc.ExecProc(); }), "Not connected");
}

}  // namespace

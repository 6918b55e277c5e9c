#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "LoopbackServer.h"
#include "platform/engines/DbfPeer.h"
#include "platform/rtl/Ticks.h"
#include "tables/XBE7.h"
#include "tables/XbConnection.h"
#include "tables/XbDSet.h"

namespace {

struct Server : ::testing::Test {
  TempDir dir;
  std::unique_ptr<TLoopbackServer> server;
  std::unique_ptr<TXbConnection> conn;
  std::vector<std::pair<std::string, std::string>> errors;

  void Start(const std::string& faults = "") {
    server = std::make_unique<TLoopbackServer>(
        std::vector<std::string>{"table", QUORVEX_BINARY_DIR "/engines/XBE7.so", dir.path + "wire.log", faults});
    conn = std::make_unique<TXbConnection>(nullptr);
    ASSERT_GT(server->Port(), 0);
    conn->SetPort(server->Port());
    conn->SetUser("tester");
    conn->SetPassword("secret");
    conn->SetTimeOut(2000);
    conn->SetPolling(false);
    conn->OnError = [this](TObject*, const AnsiString& where, const AnsiString& what) {
      errors.emplace_back(where, what);
    };
  }
  std::string Log() { return TempDir::Read(dir.path + "wire.log"); }
  bool Sent(const std::string& code) { return Log().find(code + " ") != std::string::npos; }

  TXbServerOpenResult OpenPeople(const AnsiString& index = "") {
    TXbServerOpenRequest q;
    q.DatabaseName = dir.path;
    q.TableName = "/anywhere/people.dbf";
    q.TableType = 2;
    q.IndexName = index;
    TXbServerOpenResult r;
    conn->Use(q, r);
    return r;
  }
};

TEST_F(Server, LogsInAndOutAndRefusesWithTheServersReason) {
  Start();
  std::vector<std::string> events;
  conn->OnLogin = [&](TObject*, bool ok, const AnsiString& msg) { events.push_back((ok ? "in " : "refused ") + msg); };
  conn->OnLogout = [&](TObject*) { events.push_back("out"); };
  EXPECT_EQ(conn->Host(), "127.0.0.1");
  EXPECT_EQ(conn->User(), "TESTER");
  conn->SetVersion("other");
  EXPECT_EQ(conn->Version(), "XbConnection 7.1.0.5");

  conn->SetActive(true);
  EXPECT_TRUE(conn->Active());
  EXPECT_TRUE(conn->LoggedIn());
  conn->SetActive(false);
  EXPECT_EQ(events, (std::vector<std::string>{"in ", "out"}));
  EXPECT_TRUE(Sent("0464"));
  EXPECT_TRUE(Sent("0465"));

  conn->SetPassword("wrong");
  conn->SetActive(true);
  EXPECT_FALSE(conn->Active());
  EXPECT_EQ(events.back(), "refused Too many users");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].second, "Login not accepted. Maximum user count may have been exceeded");

  dir.Write("wire.log", "");
  conn->SetUser("");
  conn->SetActive(true);
  EXPECT_TRUE(conn->Active());
  EXPECT_FALSE(Sent("0464"));
}

// A user name wider than the logout field is sent whole; closing always disconnects and stops the
// timer; a refusal or a dropped login is reported once.
TEST_F(Server, LongUserNamesLogOutAndEveryLoginFailureIsReportedOnce) {
  Start();
  std::vector<std::string> events;
  conn->OnLogin = [&](TObject*, bool ok, const AnsiString& msg) { events.push_back((ok ? "in " : "refused ") + msg); };
  conn->SetUser("a_long_user_name");
  conn->SetPolling(true);
  conn->SetActive(true);
  ASSERT_TRUE(conn->LoggedIn());
  conn->SetActive(false);
  EXPECT_FALSE(conn->Active());
  EXPECT_EQ(conn->Handle(), INVALID_SOCKET);
  EXPECT_FALSE(conn->PollTimer().Enabled());
  EXPECT_NE(Log().find("0465 415f4c4f4e475f555345525f4e414d45\n"), std::string::npos) << Log();
  EXPECT_TRUE(errors.empty());

  conn->SetPassword("wrong");
  conn->SetActive(true);
  EXPECT_FALSE(conn->Active());
  EXPECT_EQ(events, (std::vector<std::string>{"in ", "refused Too many users"}));
  EXPECT_EQ(errors, (decltype(errors){{"XbConnection.SetActive", "Login not accepted. Maximum user count may have been exceeded"}}));

  errors.clear();
  Start("closemid:0464");
  conn->SetActive(true);
  EXPECT_FALSE(conn->Active());
  EXPECT_EQ(errors, (decltype(errors){{"XbConnection.FillReadStream", "Connection lost"}}));
}

// The server works the table in its own process over its own engine; the answers must match a
// local engine's on the same file, with the compression switch off and on.
TEST_F(Server, EveryCommandAnswersAsTheLocalEngineDoes) {
  MakePeople(dir, "db3");
  dir.Write("people.cdx", "XBEINDEX 1\nNAME\tUPPER(NAME)\t\n");
  EnsureTableEngine();
  xb_SetDeleted(0);
  int32_t local = xb_UseEx((dir.path + "people.dbf").c_str(), "LOCALP", 0, 2, 1);
  ASSERT_GT(local, 0);
  for (bool compress : {false, true}) {
    SCOPED_TRACE(compress);
    Start();
    conn->SetCompression(compress);
    conn->SetActive(true);
    ASSERT_TRUE(conn->Active()) << (errors.empty() ? "" : errors[0].first + errors[0].second);
    conn->SetDeleted(false);
    TXbServerOpenResult r = OpenPeople("NAME");
    ASSERT_GT(r.WorkArea, 0) << r.ErrorMessage << (errors.empty() ? "" : errors[0].first + errors[0].second);
    EXPECT_EQ(conn->CurrentWorkArea(), r.WorkArea);
    xb_Select(local);
    xb_SetOrder(0);
    EXPECT_EQ(r.RecordCount, xb_RecCount());
    EXPECT_EQ(r.FieldCount, xb_FieldCount());
    EXPECT_EQ(r.RecordSize, xb_RecSize());
    ASSERT_EQ(r.Indexes.size(), 1u);
    EXPECT_EQ(r.Indexes[0].Name, "NAME");
    EXPECT_EQ(r.CurrentOrder, 1);
    EXPECT_EQ(conn->SetOrder(0), 1);  // answers the order before

    for (int32_t i = 1; i <= xb_FieldCount(); ++i) {
      AnsiString name = xb_FieldName(i);
      EXPECT_EQ(conn->FieldName(i), name);
      EXPECT_EQ(conn->FieldType(name), AnsiString(xb_FieldType(name.c_str())));
      EXPECT_EQ(conn->FieldWidth(name), xb_FieldWidth(name.c_str()));
      EXPECT_EQ(conn->FieldOffset(name), xb_FieldOffset(name.c_str()));
      EXPECT_EQ(conn->FieldDecimals(name), xb_FieldDecimals(name.c_str()));
    }
    for (int32_t rec = 1; rec <= 3; ++rec) {
      xb_Go(rec);
      EXPECT_EQ(conn->Go(rec), rec);
      EXPECT_EQ(conn->RecNo(), xb_RecNo());
      EXPECT_EQ(conn->Deleted(), xb_Deleted());
      EXPECT_EQ(conn->GetTrimString("NAME"), AnsiString(xb_GetTrimString("NAME")));
      EXPECT_EQ(conn->GetDouble("SAL"), xb_GetDouble("SAL"));
      EXPECT_EQ(conn->GetInteger("AGE"), xb_GetInteger("AGE"));
      EXPECT_EQ(conn->GetDateString("BORN"), AnsiString(xb_GetDateString("BORN")));
      EXPECT_EQ(conn->GetBlobLength("NOTES"), xb_GetBlobLength("NOTES"));
      char* memo = xb_GetMemo("NOTES", 40);
      EXPECT_STREQ(conn->GetMemo("NOTES", 40), memo);
      xb_MemDealloc(memo);
      std::string mine(size_t(r.RecordSize), '?'), theirs(size_t(r.RecordSize), '!');
      conn->GetRecord(mine.data(), r.RecordSize);
      xb_GetRecord(theirs.data());
      EXPECT_EQ(mine, theirs);
    }
    EXPECT_EQ(conn->EvalString("UPPER(NAME)"), AnsiString(xb_EvalString("UPPER(NAME)")));
    EXPECT_EQ(conn->EvalNumeric("AGE * 2 + 0.5"), xb_EvalNumeric("AGE * 2 + 0.5"));
    EXPECT_EQ(conn->EvalLogical("AGE > 30"), xb_EvalLogical("AGE > 30"));
    EXPECT_EQ(conn->EvalTest("  AGE  "), xb_EvalTest("AGE"));
    EXPECT_EQ(conn->WorkArea("people"), r.WorkArea);
    EXPECT_EQ(conn->Alias(r.WorkArea), "PEOPLE");
    EXPECT_EQ(conn->EngineVersion(), AnsiString(xb_Version()));
    EXPECT_EQ(conn->FileExists(dir.path, "/x/people.dbf"), -1);
    EXPECT_EQ(conn->FileExists(dir.path, "none.dbf"), 0);

    conn->GoTop();
    conn->Skip(1);
    EXPECT_EQ(conn->RecNo(), 2);
    conn->GoBottom();
    EXPECT_EQ(conn->Eof(), 0);
    EXPECT_EQ(conn->SetOrder(1), 0);
    EXPECT_EQ(conn->Seek("CYD"), -1);
    EXPECT_EQ(conn->Found(), -1);
    EXPECT_EQ(conn->RecNo(), 3);
    EXPECT_EQ(conn->IndexKey(), "UPPER(NAME)");
    EXPECT_EQ(conn->TagName(1), "NAME");
    EXPECT_EQ(conn->TagArea("NAME"), 1);
    EXPECT_EQ(conn->IndexOrd(), 1);

    std::vector<TXbTraverseEntry> entries;
    TXbTraverseRequest q;
    q.AtFirst = 1;
    q.Count = 5;
    EXPECT_EQ(conn->TraverseTable(q, r.RecordSize, entries), xbTraverseEnd);
    ASSERT_EQ(entries.size(), 4u);
    // By name: Ann, bob, Cyd in the first round; bob, Cyd, Yan once Ann became Yan.
    EXPECT_EQ(entries[0].RecNo, compress ? 2 : 1);
    EXPECT_EQ(entries[0].Record.substr(1, 3), compress ? "bob" : "Ann");
    q = {};
    q.Forward = false;
    q.RecNo = 2;
    q.Count = 5;
    EXPECT_EQ(conn->TraverseTable(q, r.RecordSize, entries), xbTraverseBegin);
    EXPECT_EQ(entries.size(), compress ? 1u : 2u);
    q.Order = 12;  // a decimal field of two digits before two of one
    EXPECT_EQ(conn->TraverseTable(q, r.RecordSize, entries), xbTraverseBegin);

    AnsiString structure = conn->GetStructure();
    EXPECT_EQ(structure.substr(0, 15), "NAME\r\nC\r\nA\r\n0\r\n");
    int32_t count = 0;
    conn->SetOrder(0);
    EXPECT_EQ(conn->QueryRowCount("AGE > 26", count), xb_Query("AGE > 26"));
    EXPECT_EQ(conn->SysProp(1002, 0), xb_SysProp(1002, 0));

    conn->Go(1);
    conn->Replace("NAME", xbReplaceText, compress ? "Zed" : "Yan");
    int32_t age = 77;
    conn->Replace("AGE", xbReplaceInteger, &age);
    EXPECT_EQ(conn->GetTrimString("NAME"), compress ? "Zed" : "Yan");
    EXPECT_EQ(conn->GetInteger("AGE"), 77);
    std::string blob = "blob \x01\x02 bytes";
    conn->PutBlob("NOTES", blob.data(), int32_t(blob.size()));
    std::string back(64, '\0');
    back.resize(size_t(conn->GetBlob("NOTES", back.data(), 64)));
    EXPECT_EQ(back, blob);
    conn->SetOrder(1);
    EXPECT_EQ(conn->SetScope("B", "C"), -1);
    EXPECT_EQ(conn->GetScope(0), "B");
    conn->GoTop();
    EXPECT_EQ(conn->GetTrimString("NAME"), "bob");
    EXPECT_EQ(conn->Rlock(2), -1);
    conn->Unlock(2);
    if (compress) {  // last round: the first compares with a table the local engine also reads
      conn->AppendBlank();
      conn->Commit();
      EXPECT_EQ(conn->RecCount(), 4);
      EXPECT_EQ(conn->RecNo(), 4);
    }
    conn->Close();
    conn->SetActive(false);
    EXPECT_EQ(conn->CurrentWorkArea(), 0);
    EXPECT_TRUE(errors.empty()) << errors[0].first << errors[0].second;
  }
  xb_Select(local);
  xb_Close();
}

TEST_F(Server, NoticesReachTheirEventsBeforeTheAnswer) {
  Start("notices:0470,push:0566");
  std::vector<std::string> seen;
  conn->OnServerProgress = [&](TObject*, int32_t status, int32_t mn, int32_t mx, int32_t pos) {
    seen.push_back("progress " + std::to_string(status) + " " + std::to_string(mn) + " " + std::to_string(mx) + " " +
                   std::to_string(pos));
  };
  conn->OnServerMessage = [&](TObject*, const AnsiString& m) { seen.push_back("message " + m); };
  conn->OnServerStream = [&](TObject*, TMemoryStream& s) { seen.push_back("stream " + std::to_string(s.Size())); };
  conn->SetActive(true);
  EXPECT_EQ(conn->RecCount(), 0);  // no table open: the engine's count is 0, after the notices
  EXPECT_EQ(seen, (std::vector<std::string>{"progress 1 0 10 4", "message Halfway there", "stream 8"}));

  conn->SetTablePassword("x");
  usleep(50000);
  EXPECT_EQ(conn->FillReadStream(true), 6);
  EXPECT_EQ(seen.back(), "message pushed");
  EXPECT_EQ(conn->FillReadStream(true), 0);
  EXPECT_TRUE(errors.empty());
}

TEST_F(Server, EveryFaultEndsInAClearErrorAndAUsableConnection) {
  struct Case { const char* fault; const char* what; };
  for (Case c : {Case{"delay:0516:800", "Time out"}, Case{"stall:0516", "Time out"},
                 Case{"badlen:0516", "Connection lost"}, Case{"closemid:0516", "Connection lost"},
                 Case{"reset:0516", "Connection lost"}}) {
    SCOPED_TRACE(c.fault);
    errors.clear();
    Start(c.fault);
    conn->SetTimeOut(300);
    conn->SetActive(true);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(conn->Count(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(700));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], (std::pair<std::string, std::string>{"XbConnection.FillReadStream", c.what}));
    EXPECT_FALSE(conn->Active());
    EXPECT_EQ(conn->RecCount(), 0);
    EXPECT_EQ(errors.back(), (std::pair<std::string, std::string>{"XbConection.ClientXmit(0470)", "Not connected"}));
    conn->SetActive(true);
    EXPECT_TRUE(conn->Active());
    EXPECT_EQ(conn->RecCount(), 0);
    EXPECT_EQ(errors.size(), 2u);
  }
}

TEST_F(Server, OverLongAnswerAndShutdown) {
  Start("long:0545,shutdown:0548");
  conn->SetActive(true);
  EXPECT_EQ(conn->EvalString("NAME").size(), 70000u);
  TFakeClock clock;
  AnsiString said;
  conn->OnServerMessage = [&](TObject*, const AnsiString& m) { said = m; };
  EXPECT_EQ(conn->Found(), 0);
  EXPECT_EQ(said, "Server shutdown");
  EXPECT_FALSE(conn->Active());
  EXPECT_GE(clock.Now(), 6000u);
  EXPECT_TRUE(errors.empty());
}

TEST_F(Server, WireRulesOnTheClientsSide) {
  Start();
  EXPECT_EQ(conn->EvalString("1"), "");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], (std::pair<std::string, std::string>{"XbConection.ClientXmit(0545)", "Not connected"}));
  conn->OnError = nullptr;
  try {
    conn->RecCount();
    FAIL();
  } catch (EXbConnectionError& e) {
    EXPECT_EQ(e.Message(), "[XbConection.ClientXmit(0470)]Not connected");
  }
  conn->OnError = [this](TObject*, const AnsiString& w, const AnsiString& m) { errors.emplace_back(w, m); };
  errors.clear();

  conn->SetActive(true);
  MakePeople(dir, "db3");
  TXbServerOpenRequest q;
  q.DatabaseName = dir.path;
  q.TableName = "people.dbf";
  q.Password = std::string(256, 'p');
  TXbServerOpenResult r;
  conn->Use(q, r);
  EXPECT_EQ(r.WorkArea, 0);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], (std::pair<std::string, std::string>{"XbConnection.Use", "Use: Password is longer than 255 characters"}));
  EXPECT_FALSE(Sent("0469"));

  r = OpenPeople();
  ASSERT_GT(r.WorkArea, 0);
  dir.Write("wire.log", "");
  EXPECT_EQ(conn->Select(r.WorkArea), r.WorkArea);
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(conn->Select(r.WorkArea + 1), r.WorkArea);
  EXPECT_EQ(Log().substr(0, 13), "0504 30303032");
  dir.Write("wire.log", "");
  EXPECT_EQ(conn->Select(0x10000), r.WorkArea + 1);  // five digits would shift the payload
  EXPECT_EQ(errors.back(), (std::pair<std::string, std::string>{
                               "XbConnection.Select", "Select: WorkArea is longer than 4 hexadecimal digits"}));
  EXPECT_EQ(Log(), "");
  errors.pop_back();
  TXbEnv env(nullptr);
  env.SetApplyTo(atServer);
  env.SetXbConnection(conn.get());
  env.SetCentury(false);
  EXPECT_NE(Log().find("0556 4e"), std::string::npos);
  conn->SetActive(false);
  EXPECT_EQ(conn->CurrentWorkArea(), 0);

  EXPECT_EQ(EncodeLoginText("Aa 0"), "F\xA2\x07!");
  EXPECT_EQ(conn->SetCentury(true), 0);  // closed: sends nothing, answers 0
  EXPECT_EQ(errors.size(), 1u);
}

// A server-mode table over the loopback server reads and writes as a local one on the same files.
TEST_F(Server, ServerTableMatchesTheLocalTable) {
  MakePeople(dir, "db3");
  dir.Write("people.cdx", "XBEINDEX 1\nNAME\tUPPER(NAME)\t\t0\t0\nAGE\tAGE\t\t0\t0\n");
  EnsureTableEngine();
  xb_SetDeleted(-1);
  Start();
  conn->SetActive(true);
  conn->SetDeleted(true);
  auto walk = [](TXbTable& t) {
    AnsiString rows;
    for (t.First(); !t.Eof(); t.Next())
      for (TField* f : t.Fields()) rows += f->AsString() + (f == t.Fields().back() ? "\n" : "|");
    for (t.Last(); !t.Bof(); t.Prior()) rows += t.FieldByName("NAME")->AsString() + " ";
    return rows;
  };
  TXbTable local(nullptr), remote(nullptr);
  for (TXbTable* t : {&local, &remote}) {
    t->SetDatabaseName(dir.path.substr(0, dir.path.size() - 1));
    t->SetTableName("people");
  }
  remote.SetAccessMethod(amServer);
  remote.SetXbConnection(conn.get());
  remote.SetFetchCount(2);  // the walk spans batches both ways
  EXPECT_EQ(conn->DataSetCount(), 1);
  local.Open();
  remote.Open();
  ASSERT_TRUE(remote.Active());
  EXPECT_EQ(remote.RecordCount(), local.RecordCount());
  EXPECT_EQ(remote.IndexDefs().Count(), 2);
  AnsiString expected = walk(local);
  EXPECT_EQ(walk(remote), expected);
  EXPECT_TRUE(Sent("0626"));
  EXPECT_NE(expected.find("Cyd|25|100||False|third"), AnsiString::npos) << expected;
  for (TXbTable* t : {&local, &remote}) t->SetIndexName("AGE");
  EXPECT_EQ(walk(remote), walk(local));

  remote.First();
  remote.Edit();
  remote.FieldByName("NAME")->SetAsString("Abe");
  remote.Post();
  remote.Last();
  remote.Delete();  // the last by age: Ann, though a batch fetch left the server elsewhere
  local.SetIndexName("");
  local.Refresh();
  EXPECT_EQ(walk(local), "Abe|25|100||False|third\r\nmemo\nAbe ");
  local.Close();
  EXPECT_TRUE(errors.empty()) << errors[0].first << errors[0].second;
  conn.reset();  // closes its open tables first; they forget the connection that goes
  EXPECT_FALSE(remote.Active());
  EXPECT_EQ(remote.XbConnection(), nullptr);
}

}  // namespace

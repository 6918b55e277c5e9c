// The table data set over real tables made by Python's dbf package: structure, navigation,
// orders, searching, editing, memos, bookmarks, locks, and the peer reading back our writes.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "RaisedMessage.h"
#include "platform/engines/DbfPeer.h"
#include "tables/XBE7.h"
#include "platform/classlib/Forms.h"
#include "tables/XbDSet.h"
#include "tables/xbEnv.h"

namespace {

class XbDSetTest : public ::testing::Test {
protected:
  void SetUp() override {
    MakePeople(Dir, "db3");
    Dir.Write("people.cdx",
              "XBEINDEX 1\n"
              "NAME\tUPPER(NAME)\t\t0\t0\n"
              "AGE\tAGE\t\t0\t0\n");
    EnsureTableEngine();
    xb_SetDeleted(-1);  // engine-wide; earlier tests may have left it off
    xb_SetExact(0);
    Table = std::make_unique<TXbTable>(nullptr);
    Table->SetDatabaseName(Dir.path.substr(0, Dir.path.size() - 1));
    Table->SetTableName("people");
  }
  void TearDown() override { Table.reset(); }
  AnsiString Walk() {
    AnsiString names;
    for (Table->First(); !Table->Eof(); Table->Next()) names += Table->FieldByName("NAME")->AsString() + " ";
    return names;
  }

  TempDir Dir;
  std::unique_ptr<TXbTable> Table;
};

TEST_F(XbDSetTest, OpensWithTypedFieldsAndWalksBothWays) {
  Table->Open();
  struct {
    const char* Name;
    const char* Class;
  } fields[] = {{"NAME", "TStringField"}, {"AGE", "TSmallintField"}, {"SAL", "TFloatField"},
                {"BORN", "TDateField"},   {"OK", "TBooleanField"},   {"NOTES", "TMemoField"}};
  ASSERT_EQ(Table->FieldCount(), 6);
  for (auto& f : fields) EXPECT_EQ(Table->FieldByName(f.Name)->ClassName(), f.Class) << f.Name;
  EXPECT_EQ(Table->FieldByName("NAME")->Size(), 10);
  EXPECT_EQ(Table->FieldByName("SAL")->DisplayText(), "12.50");
  EXPECT_EQ(Table->FieldByName("AGE")->AsInteger(), 30);
  EXPECT_EQ(Table->FieldByName("BORN")->AsDateTime(), EncodeDate(2001, 2, 3));
  EXPECT_TRUE(Table->FieldByName("OK")->AsBoolean());
  EXPECT_EQ(Table->FieldByName("NOTES")->AsString(), "first memo");
  EXPECT_EQ(Walk(), "Ann Cyd ");  // bob is deleted and hidden
  EXPECT_TRUE(Table->FieldByName("BORN")->IsNull());
  EXPECT_FALSE(Table->FieldByName("OK")->AsBoolean());  // the peer's "?" is no true
  EXPECT_EQ(Table->FieldByName("NOTES")->AsString(), "third\r\nmemo");
  Table->Prior();
  EXPECT_EQ(Table->FieldByName("NAME")->AsString(), "Ann");
  Table->Prior();
  EXPECT_TRUE(Table->Bof());
  Table->Last();
  EXPECT_EQ(Table->PhysicalRecNo(), 3);
  EXPECT_EQ(Table->RecCount(), 3);
  EXPECT_NE(Table->Version().find("XBE"), AnsiString::npos);
  Table->Close();
  EXPECT_EQ(Table->FieldCount(), 0);  // default fields go with the close
  EXPECT_EQ(Table->WorkArea(), 0);

  // Aliases: a second open of the same file and a name that starts with digits.
  TXbTable second(nullptr);
  second.SetDatabaseName(Table->DatabaseName());
  second.SetTableName("people.dbf");
  Table->Open();
  second.Open();
  EXPECT_EQ(XbOps::Alias(*Table, Table->WorkArea()), "PEOPLE");
  EXPECT_EQ(XbOps::Alias(second, second.WorkArea()), "PEOPLE1");
}

TEST_F(XbDSetTest, OrdersSeeksScopesFiltersAndLocate) {
  Table->Open();
  Table->IndexDefs().Update();
  ASSERT_EQ(Table->IndexDefs().Count(), 2);
  EXPECT_EQ(Table->IndexDefs().Items(0)->Name(), "NAME");
  EXPECT_TRUE(Table->IndexDefs().Items(0)->Options() & ixCaseInsensitive);
  EXPECT_EQ(Table->IndexDefs().Items(1)->Fields(), "AGE");

  Table->SetIndexName("AGE");
  Table->SetSequencedCount(scAllCount);
  EXPECT_EQ(Walk(), "Cyd Ann ");
  Table->First();
  EXPECT_EQ(Table->RecNo(), 1);  // the place in the order, not the record number 3
  Table->Next();
  EXPECT_EQ(Table->RecNo(), 2);
  EXPECT_THROW(Table->SetIndexName("NOPE"), EXbError);

  // A single field with an order on it seeks; exact and partial.
  Table->SetIndexName("");
  EXPECT_TRUE(Table->Locate("NAME", Variant("cyd"), loCaseInsensitive));
  EXPECT_EQ(Table->PhysicalRecNo(), 3);
  EXPECT_TRUE(Table->Locate("NAME", Variant("an"), loCaseInsensitive | loPartialKey));
  EXPECT_EQ(Table->PhysicalRecNo(), 1);
  EXPECT_FALSE(Table->Locate("NAME", Variant("an"), loCaseInsensitive));
  EXPECT_EQ(Table->PhysicalRecNo(), 1);
  // Several fields filter, and the filter before stays.
  Table->SetFilter("AGE > 20");
  Table->SetFiltered(true);
  EXPECT_TRUE(Table->Locate("NAME;SAL", VarArrayOf({Variant("Cyd"), Variant(100.0)}), 0));
  EXPECT_EQ(Table->PhysicalRecNo(), 3);
  EXPECT_EQ(XbOps::DBFilter(*Table), "AGE > 20");
  // Quotes inside a searched text stay text.
  EXPECT_FALSE(Table->Locate("NAME;AGE", VarArrayOf({Variant("a\"b'c"), Variant(1)}), 0));
  EXPECT_THROW(Table->SetFilter("AGE +"), EXbError);
  Table->SetFilter("AGE > 26");
  EXPECT_EQ(Walk(), "Ann ");
  Table->SetFiltered(false);
  EXPECT_EQ(Walk(), "Ann Cyd ");

  Table->SetIndexName("NAME");
  Table->SetScopeBegin("C");
  Table->SetScopeEnd("C");
  Table->SetScoped(true);
  EXPECT_TRUE(Table->Scoped());
  EXPECT_EQ(Walk(), "Cyd ");
  EXPECT_TRUE(Table->Locate("NAME", Variant("cyd"), loCaseInsensitive));
  EXPECT_EQ(Walk(), "Cyd ");  // a search keeps the scope
  Table->SetScoped(false);
  EXPECT_EQ(Walk(), "Ann Cyd ");
  EXPECT_EQ(Table->Lookup("NAME", Variant("CYD"), "AGE").AsInteger(), 25);

  // Bookmarks compare by key in an order, by record number without one.
  Table->First();
  TBookmark ann = Table->Bookmark();
  Table->Next();
  TBookmark cyd = Table->Bookmark();
  EXPECT_EQ(Table->CompareBookmarks(ann, cyd), -1);
  Table->SetIndexName("AGE");
  EXPECT_EQ(Table->CompareBookmarks(ann, cyd), 1);
  EXPECT_EQ(Table->CompareBookmarks(ann, {}), 2);
  Table->GotoBookmark(ann);
  EXPECT_EQ(Table->FieldByName("NAME")->AsString(), "Ann");
}

TEST_F(XbDSetTest, EditsAppendsCancelsAndDeletesAsThePeerReadsThem) {
  Table->Open();
  Table->Edit();
  Table->FieldByName("AGE")->SetAsInteger(31);
  Table->FieldByName("NAME")->SetAsString("Annabelle Lee");  // cut to its ten characters
  Table->FieldByName("NOTES")->SetAsString("changed memo");
  Table->Post();
  EXPECT_EQ(Table->FieldByName("NAME")->AsString(), "Annabelle");

  Table->Append();
  Table->FieldByName("NAME")->SetAsString("Dee");
  Table->Cancel();
  EXPECT_EQ(Table->FieldByName("NAME")->AsString(), "Annabelle");
  Table->AppendRecord({Variant("Dee"), Variant(52), Variant(3.5), Variant::FromDate(EncodeDate(50, 6, 1)), Variant(true),
                       Variant("new")});
  EXPECT_EQ(Table->FieldByName("NAME")->AsString(), "Dee");
  EXPECT_EQ(Table->RecCount(), 4);

  // A memo the engine cannot store is an error, not a quiet loss.
  Table->Edit();
  Table->FieldByName("NOTES")->SetAsString(AnsiString("end\x1a"));
  EXPECT_EQ(RaisedMessage([&] { Table->Post(); }).substr(0, 16), "Blob Write Error");
  Table->Cancel();

  // Too wide for its field: refused, and nothing is written.
  Table->Edit();
  Table->FieldByName("AGE")->SetAsInteger(1234);
  EXPECT_EQ(RaisedMessage([&] { Table->Post(); }), "Translate error. Value out of bounds");
  Table->Cancel();
  Table->Edit();
  Table->FieldByName("SAL")->SetAsFloat(1e9);
  EXPECT_EQ(RaisedMessage([&] { Table->Post(); }), "Translate error. Value out of bounds");
  Table->Cancel();

  // Deleting with deleted records hidden leaves the cursor on the last one left.
  Table->Last();
  Table->Delete();
  EXPECT_EQ(Table->FieldByName("NAME")->AsString(), "Cyd");
  Table->Close();

  std::string out = RunDbfPython(Dir,
                                 "t = dbf.Table('people.dbf')\n"
                                 "t.open()\n"
                                 "for r in t:\n"
                                 "  print(r.name.strip(), r.age, dbf.is_deleted(r), r.born, r.notes.strip())\n");
  EXPECT_EQ(out,
            "Annabelle 31 False 2001-02-03 changed memo\n"
            "bob 41 True 1999-12-31 \n"
            "Cyd 25 False None third\r\nmemo\n"
            "Dee 52 True 2050-06-01 new\n");
}

TEST_F(XbDSetTest, ARecordFilterThatRejectsTheFirstRecordStillShowsTheRest) {
  Table->OnFilterRecord = [](TDataSet* d, bool& accept) { accept = d->FieldByName("NAME")->AsString() != "Ann"; };
  Table->SetFiltered(true);
  Table->Open();
  EXPECT_FALSE(Table->IsEmpty());
  EXPECT_EQ(Walk(), "Cyd ");
  Table->OnFilterRecord = [](TDataSet* d, bool& accept) { accept = d->FieldByName("NAME")->AsString() != "Cyd"; };
  Table->Last();
  EXPECT_EQ(Table->FieldByName("NAME")->AsString(), "Ann");
}

// A table's failing filter handler does not stop navigation, and the state comes back.
TEST_F(XbDSetTest, AFailingRecordFilterLeavesTheTableUsable) {
  bool fail = false;
  Table->OnFilterRecord = [&fail](TDataSet*, bool&) {
    if (fail) throw std::runtime_error("filter failed");
  };
  Table->SetFiltered(true);
  Table->Open();
  fail = true;
  EXPECT_NO_THROW(Table->Last());
  EXPECT_EQ(Table->State(), dsBrowse);
  fail = false;
  Table->First();
  EXPECT_EQ(Table->FieldByName("NAME")->AsString(), "Ann");
}

TEST_F(XbDSetTest, AnEditHoldsTheRecordLockAgainstAnotherProcess) {
  Table->Open();
  Table->Edit();
  auto lockedElsewhere = [&] {
    pid_t pid = fork();
    if (pid == 0) {
      int32_t area = xb_UseEx((Dir.path + "people.dbf").c_str(), "OTHER", 0, 2, 1);
      xb_Select(area);
      xb_SetLockTimeout(0);
      _exit(area > 0 && !xb_Rlock(1) ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  };
  EXPECT_TRUE(lockedElsewhere());
  Table->Cancel();
  EXPECT_FALSE(lockedElsewhere());
}

TEST_F(XbDSetTest, PropertyRulesAndMessages) {
  Table->SetFetchCount(0);
  EXPECT_EQ(Table->FetchCount(), 1);
  Table->Open();
  EXPECT_EQ(RaisedMessage([&] { Table->FieldByName("NAME")->SetAsString("x"); }), "Data set must be in Edit or Insert mode to update");
  EXPECT_EQ(RaisedMessage([&] { Table->SetTableName("other"); }), "Cannot perform this operation on an open table");
  EXPECT_EQ(RaisedMessage([&] { Table->SetExclusive(true); }), "Cannot perform this operation on an open table");
  EXPECT_EQ(RaisedMessage([&] { Table->SetAccessMethod(amServer); }), "Cannot change data access method while table is open");
  EXPECT_EQ(RaisedMessage([&] { Table->SetCommitLevel(TXbCommitLevel::clFull); }),
            "Cannot change the commit level while the table is opened");
  Table->Close();
  TXbTable missing(nullptr);
  missing.SetName("tblMissing");
  EXPECT_EQ(RaisedMessage([&] { missing.Open(); }), "tblMissing : Missing TableName property");
  missing.SetDatabaseName(Table->DatabaseName());
  missing.SetTableName("nothere");
  EXPECT_EQ(RaisedMessage([&] { missing.Open(); }), "Table, file or directory does not exist.\rFile: " + Dir.path + "nothere.DBF");
  missing.SetDatabaseName("NoSuchAlias");
  EXPECT_EQ(RaisedMessage([&] { missing.Open(); }), "Invalid DatabaseName value : NoSuchAlias");
  missing.SetDatabaseName("");
  missing.SetAccessMethod(amServer);
  EXPECT_EQ(RaisedMessage([&] { missing.Open(); }), "No XbConnection specified");
}

TEST_F(XbDSetTest, StoredDatesAliasesAndSpeedMode) {
  // A stored month 13 is a value that is no date; a name that starts with digits makes its alias.
  std::string bytes = TempDir::Read(Dir.path + "people.dbf");
  bytes.replace(bytes.find("20010203"), 8, "20011303");
  Dir.Write("2005data.dbf", bytes);
  Dir.Write("2005data.dbt", TempDir::Read(Dir.path + "people.dbt"));
  TXbTable odd(nullptr);
  odd.SetDatabaseName(Table->DatabaseName());
  odd.SetTableName("2005data.dbf");
  odd.Open();
  EXPECT_EQ(XbOps::Alias(odd, odd.WorkArea()), "____DATA");
  int32_t day = -1;
  EXPECT_TRUE(odd.FieldByName("BORN")->GetData(&day));
  EXPECT_EQ(day, 0);
  odd.Close();

  // In speed mode the engine's pointer is the cursor, and the last record can be deleted.
  Table->Open();
  Table->SetSpeedMode(true);
  Table->Next();
  EXPECT_EQ(Table->PhysicalRecNo(), 3);
  Table->Delete();
  Table->SetSpeedMode(false);
  EXPECT_EQ(Walk(), "Ann ");
}

TEST_F(XbDSetTest, ADetailFollowsItsMaster) {
  RunDbfPython(Dir,
               "t = dbf.Table('pets.dbf', 'owner C(10); pet C(10)', dbf_type='db3')\n"
               "t.open(dbf.READ_WRITE)\n"
               "for r in (('Cyd', 'cat'), ('Ann', 'dog'), ('Cyd', 'owl')): t.append(r)\n"
               "t.close()\n");
  Dir.Write("pets.cdx", "XBEINDEX 1\nOWNER\tOWNER\t\t0\t0\n");
  TDataSource source(nullptr);
  source.SetDataSet(Table.get());
  TXbTable pets(nullptr);
  pets.SetDatabaseName(Table->DatabaseName());
  pets.SetTableName("pets");
  pets.SetIndexName("OWNER");
  pets.SetMasterSource(&source);
  pets.SetMasterFields("NAME");
  EXPECT_THROW(Table->SetMasterSource(&source), EXbError);  // a table cannot be its own master
  Table->Open();
  pets.Open();
  auto petsOf = [&] {
    AnsiString seen;
    for (pets.First(); !pets.Eof(); pets.Next()) seen += pets.FieldByName("PET")->AsString() + " ";
    return seen;
  };
  EXPECT_EQ(petsOf(), "dog ");
  Table->Next();
  EXPECT_EQ(petsOf(), "cat owl ");
  pets.Append();
  EXPECT_EQ(pets.FieldByName("OWNER")->AsString(), "Cyd");
  pets.Cancel();
}

TEST_F(XbDSetTest, TheFirstEnvironmentFoundGoesToTheEngineAtOpen) {
  auto* module = new TComponent(&Application());
  auto* env = new TXbEnv(module);
  env->SetDeleted(false);
  xb_SetDeleted(-1);  // changed behind the environment's back
  Table->Open();
  EXPECT_EQ(Walk(), "Ann bob Cyd ");
  Table->Close();
  delete module;
}

TEST_F(XbDSetTest, LocateAndRecNoInAnOrderWithDeletedRecordsHidden) {
  Dir.Write("people.cdx", "XBEINDEX 1\nNAME\tUPPER(NAME)\t\t0\t0\nAGE\tAGE\t\t0\t0\nOK\tOK\t\t0\t0\n");
  Table->Open();
  Table->Append();
  Table->FieldByName("NAME")->SetAsString("Annabel");
  Table->FieldByName("AGE")->SetAsInteger(20);
  Table->FieldByName("OK")->SetAsBoolean(false);
  Table->Post();

  // A whole value is compared whole on the filter path, a part only when asked.
  EXPECT_FALSE(Table->Locate("NAME", Variant("Anna"), 0));
  EXPECT_TRUE(Table->Locate("NAME", Variant("Anna"), loPartialKey));
  EXPECT_EQ(Table->PhysicalRecNo(), 4);
  // A logical field with an order on it seeks with the language's .T. and .F.
  EXPECT_TRUE(Table->Locate("OK", Variant(true), 0));
  EXPECT_EQ(Table->PhysicalRecNo(), 1);
  EXPECT_TRUE(Table->Locate("OK", Variant(false), 0));
  EXPECT_EQ(Table->PhysicalRecNo(), 3);  // the peer's "?" files as false

  // Positions in an order count the records it shows; setting one goes where getting it says.
  Table->SetIndexName("AGE");
  AnsiString seen;
  for (Table->First(); !Table->Eof(); Table->Next())
    seen += IntToStr(int64_t(Table->RecNo())) + Table->FieldByName("NAME")->AsString() + " ";
  EXPECT_EQ(seen, "1Annabel 2Cyd 3Ann ");
  Table->SetRecNo(2);
  EXPECT_EQ(Table->FieldByName("NAME")->AsString(), "Cyd");
  EXPECT_EQ(Table->RecNo(), 2);
}

TEST_F(XbDSetTest, NumbersAreStoredAsTheFieldPrintsThemAndReadBackAsStored) {
  Table->Open();
  struct {
    double Value;
    const char* Stored;
  } cases[] = {{100, "  100.00"}, {-5, "   -5.00"}, {0, "    0.00"}, {-0.0, "   -0.00"},
               {12.5, "   12.50"}, {0.1, "    0.10"}, {-99999.99, "********"}, {99999.99, "99999.99"}};
  for (const auto& c : cases) {
    Table->First();
    Table->Edit();
    Table->FieldByName("SAL")->SetAsFloat(c.Value);
    if (c.Stored[0] == '*') {
      EXPECT_EQ(RaisedMessage([&] { Table->Post(); }), "Translate error. Value out of bounds");
      Table->Cancel();
      continue;
    }
    Table->Post();
    std::string bytes = TempDir::Read(Dir.path + "people.dbf");
    std::size_t record = std::size_t(uint8_t(bytes[8]) | uint8_t(bytes[9]) << 8);
    EXPECT_EQ(bytes.substr(record + 14, 8), c.Stored) << c.Value;  // after the mark, NAME and AGE
    Table->Refresh();
    EXPECT_EQ(Table->FieldByName("SAL")->AsFloat(), std::strtod(c.Stored, nullptr)) << c.Value;
  }
}

// Numbers as other programs store them: blanks on either side, a bare point, a sign. What is not
// a plain decimal reads as strtod reads it, and a whole value rounds half away from zero.
TEST_F(XbDSetTest, NumbersReadAsOtherProgramsStoreThem) {
  struct {
    const char* Stored;
    double Value;
    int64_t Whole;
  } cases[] = {{"   12.50", 12.5, 13}, {"12.5    ", 12.5, 13}, {"   -2.50", -2.5, -3}, {"    2.49", 2.49, 2},
               {"     -.5", -0.5, -1},  {"      7.", 7, 7},      {"  1e2   ", 100, 100}, {"   +4.25", 4.25, 4},
               {"  1 2.00", 0, 0},      {"   1,5  ", 0, 0},      {"--1.00  ", 0, 0},     {"       -", 0, 0},
               {"        ", 0, 0},      {"12345678", 12345678, 12345678}, {"     123", 123, 123},
               {"      -5", -5, -5},     {"1234    ", 1234, 1234}, {"  12 345", 0, 0},     {"00000042", 42, 42}};
  std::string path = Dir.path + "people.dbf";
  std::string bytes = TempDir::Read(path);
  std::size_t sal = std::size_t(uint8_t(bytes[8]) | uint8_t(bytes[9]) << 8) + 14;  // after the mark, NAME and AGE
  for (const auto& c : cases) {
    bytes.replace(sal, 8, c.Stored);
    Dir.Write("people.dbf", bytes);
    Table->Open();
    TField* f = Table->FieldByName("SAL");
    EXPECT_EQ(f->IsNull(), std::string(c.Stored) == "        ") << c.Stored;
    EXPECT_EQ(f->AsFloat(), c.Value) << c.Stored;
    EXPECT_EQ(f->AsInteger(), c.Whole) << c.Stored;
    Table->Close();
  }
}

// Steps in record order: over appends that a table held exclusively has not written yet, past a
// record hidden since the last step, and to an end the engine was moved to behind the table.
TEST_F(XbDSetTest, RecordOrderStepsFollowTheEngine) {
  xb_SetDeleted(0);
  Table->SetExclusive(true);
  Table->Open();
  Table->AppendRecord({Variant("Dan"), Variant(50)});
  Table->AppendRecord({Variant("Eve"), Variant(60)});
  EXPECT_EQ(Walk(), "Ann bob Cyd Dan Eve ");
  Table->First();
  Table->Next();
  EXPECT_EQ(Table->FieldByName("NAME")->AsString(), "bob");
  xb_SetDeleted(-1);
  Table->Next();
  Table->Prior();
  EXPECT_EQ(Table->FieldByName("NAME")->AsString(), "Ann");
  EXPECT_FALSE(Table->Eof());
  xb_Select(Table->WorkArea());
  xb_GoBottom();
  xb_Skip(1);
  EXPECT_TRUE(Table->Eof());
}

// A table without memos: each record's fields read as that record holds them, a shorter text and
// blank values after full ones included, in either direction.
TEST_F(XbDSetTest, EachRecordOfAPlainTableReadsAsItHolds) {
  RunDbfPython(Dir,
               "t = dbf.Table('plain.dbf', 'name C(10); age N(3,0); sal N(8,2); born D', dbf_type='db3')\n"
               "t.open(dbf.READ_WRITE)\n"
               "t.append(('Annabel', 30, 12.5, datetime.date(2001, 2, 3)))\n"
               "t.append(('Bo', None, None, None))\n"
               "t.append(('Cy', 7, -1, datetime.date(1999, 1, 1)))\n"
               "t.close()\n");
  Table->SetTableName("plain");
  Table->Open();
  auto seen = [&] {
    AnsiString s = Table->FieldByName("NAME")->AsString();
    for (const char* name : {"AGE", "SAL", "BORN"})
      s += Table->FieldByName(name)->IsNull() ? AnsiString(" -") : " " + FloatToStr(Table->FieldByName(name)->AsFloat());
    return s;
  };
  AnsiString forward, back;
  for (Table->First(); !Table->Eof(); Table->Next()) forward += seen() + ";";
  for (Table->Last(); !Table->Bof(); Table->Prior()) back += seen() + ";";
  EXPECT_EQ(forward, "Annabel 30 12.5 36925;Bo - - -;Cy 7 -1 36161;");
  EXPECT_EQ(back, "Cy 7 -1 36161;Bo - - -;Annabel 30 12.5 36925;");
}

}  // namespace

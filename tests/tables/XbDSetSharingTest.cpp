// The table data set on a table that others use too: failed posts, held records, and the
// engine's reasons in the messages.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <memory>

#include "RaisedMessage.h"
#include "platform/engines/DbfPeer.h"
#include "platform/engines/OtherProcess.h"
#include "tables/XBE7.h"
#include "tables/XbDSet.h"

namespace {

class XbDSetSharing : public ::testing::Test {
protected:
  void SetUp() override {
    MakePeople(Dir, "db3");
    EnsureTableEngine();
    xb_SetDeleted(0);
    xb_SetExact(0);
    xb_SetLockTimeout(0);
    Table = Make("people");
  }
  void TearDown() override {
    Table.reset();
    xb_SetLockTimeout(1);
  }
  std::unique_ptr<TXbTable> Make(const char* name) {
    auto t = std::make_unique<TXbTable>(nullptr);
    t->SetDatabaseName(Dir.path.substr(0, Dir.path.size() - 1));
    t->SetTableName(name);
    return t;
  }
  std::string Files() { return TempDir::Read(Dir.path + "people.dbf") + TempDir::Read(Dir.path + "people.dbt"); }

  TempDir Dir;
  std::unique_ptr<TXbTable> Table;
};

TEST_F(XbDSetSharing, AFailedPostLeavesTheFilesAsTheyWere) {
  Table->Open();
  struct TCase {
    const char* What;
    bool Insert;
    std::function<void(TXbTable&)> Change;
    const char* Message;
  } cases[] = {
      {"a number too wide in a new record", true,
       [](TXbTable& t) { t.FieldByName("AGE")->SetAsInteger(12345); }, "Translate error. Value out of bounds"},
      {"a memo that cannot be stored in an edit", false,
       [](TXbTable& t) {
         t.FieldByName("NAME")->SetAsString("Changed");
         t.FieldByName("NOTES")->SetAsString(AnsiString("end\x1a"));
       },
       "Blob Write Error"},
      {"a memo that cannot be stored in a new record", true,
       [](TXbTable& t) {
         t.FieldByName("NAME")->SetAsString("New");
         t.FieldByName("NOTES")->SetAsString(AnsiString("end\x1a"));
       },
       "Blob Write Error"},
  };
  for (const TCase& c : cases) {
    std::string before = Files();
    if (c.Insert) Table->Append();
    else Table->Edit();
    c.Change(*Table);
    EXPECT_EQ(RaisedMessage([&] { Table->Post(); }).substr(0, std::strlen(c.Message)), c.Message) << c.What;
    Table->Cancel();
    Table->First();
    EXPECT_EQ(Files(), before) << c.What;
    EXPECT_EQ(Table->RecCount(), 3) << c.What;
  }
}

TEST_F(XbDSetSharing, DeleteRefusesARecordAnotherProcessHolds) {
  std::string path = Dir.path + "people.dbf";
  TOtherProcess holder([&](TOtherProcess& self) {
    int32_t area = xb_UseEx(path.c_str(), "HOLDER", 0, 2, 1);
    xb_Select(area);
    bool locked = xb_Rlock(1) == -1;
    self.Reached();
    self.AwaitGoAhead();
    return locked;
  });
  holder.AwaitReached();
  Table->Open();
  AnsiString m = RaisedMessage([&] { Table->Delete(); });
  EXPECT_EQ(m.substr(0, 19), "Record Lock Failure");
  EXPECT_NE(m.find("locked by another"), AnsiString::npos) << m;
  Table->First();
  EXPECT_EQ(XbOps::Deleted(*Table), 0);
  holder.GoAhead();
  EXPECT_TRUE(holder.Wait());
  Table->Delete();
  EXPECT_EQ(RunDbfPython(Dir, "t = dbf.Table('people.dbf')\nt.open()\nprint(dbf.is_deleted(t[0]))\n"), "True\n");
}

TEST_F(XbDSetSharing, OpenFailuresSayWhy) {
  std::string people = TempDir::Read(Dir.path + "people.dbf");
  Dir.Write("damaged.dbf", people.substr(0, 40));
  Dir.Write("nomemo.dbf", people);
  RunDbfPython(Dir, "t = dbf.Table('wide.dbf', 'id I; name C(5)', dbf_type='vfp')\nt.open(dbf.READ_WRITE)\nt.close()\n");
  std::string path = Dir.path + "people.dbf";
  TOtherProcess holder([&](TOtherProcess& self) {
    int32_t area = xb_UseEx(path.c_str(), "HOLDER", 2, 2, 1);
    self.Reached();
    self.AwaitGoAhead();
    return area > 0;
  });
  holder.AwaitReached();
  struct TCase {
    const char* Table;
    const char* Reason;
  } cases[] = {
      {"people", "in use exclusively"},
      {"damaged", "Damaged DBF header"},
      {"nomemo", "Memo file is missing"},
      {"wide", "binary field encodings"},
  };
  for (const TCase& c : cases) {
    auto t = Make(c.Table);
    AnsiString m = RaisedMessage([&] { t->Open(); });
    EXPECT_EQ(m.substr(0, 22), "Unable to open table: ") << c.Table;
    EXPECT_NE(m.find(c.Reason), AnsiString::npos) << m;
  }
  holder.GoAhead();
  EXPECT_TRUE(holder.Wait());
}

TEST_F(XbDSetSharing, AForeignIndexBesideTheTableDoesNotStopItsOpen) {
  Dir.Write("people.cdx", std::string("\x00\x02\x00\x00 a real index's pages", 25));
  Table->Open();
  EXPECT_EQ(Table->RecCount(), 3);
  EXPECT_EQ(Table->IndexDefs().Count(), 0);
}

TEST_F(XbDSetSharing, AnOpenTableSeesWhatAnotherProcessWrote) {
  Dir.Write("people.cdx", "XBEINDEX 1\nNAME\tUPPER(NAME)\t\t0\t0\n");
  xb_SetDeleted(-1);
  Table->SetIndexName("NAME");
  Table->Open();
  auto walk = [&] {
    AnsiString names;
    for (Table->First(); !Table->Eof(); Table->Next()) names += Table->FieldByName("NAME")->AsString() + " ";
    return names;
  };
  EXPECT_EQ(walk(), "Ann Cyd ");
  EXPECT_EQ(Table->RecordCount(), 3);
  std::string path = Dir.path + "people.dbf";
  TOtherProcess other([&](TOtherProcess&) {
    int32_t area = xb_UseEx(path.c_str(), "OTHER", 0, 2, 1);
    xb_Select(area);
    xb_Go(3);
    xb_Replace("name", xbReplaceText, "Aaron");
    xb_AppendBlank();
    xb_Replace("name", xbReplaceText, "Abe");
    xb_Close();
    return area > 0;
  });
  ASSERT_TRUE(other.Wait());
  EXPECT_EQ(walk(), "Aaron Abe Ann ");
  EXPECT_EQ(Table->RecordCount(), 4);
  EXPECT_FALSE(Table->Locate("NAME", Variant("cyd"), loCaseInsensitive));
  EXPECT_TRUE(Table->Locate("NAME", Variant("aaron"), loCaseInsensitive));
  EXPECT_EQ(Table->PhysicalRecNo(), 3);
  xb_SetDeleted(0);
}

// A walk in record order: the step past the last record finds what another process appended,
// and an edit reads the record afresh; fields never read are written back as they were.
TEST_F(XbDSetSharing, AStepSeesAnotherProcessAppendAndAnEditRereads) {
  Table->Open();
  Table->Next();
  Table->Next();
  ASSERT_EQ(Table->FieldByName("NAME")->AsString(), "Cyd");
  std::string path = Dir.path + "people.dbf";
  TOtherProcess other([&](TOtherProcess&) {
    int32_t area = xb_UseEx(path.c_str(), "OTHER", 0, 2, 1);
    xb_Select(area);
    xb_AppendBlank();
    xb_Replace("name", xbReplaceText, "Dan");
    xb_Close();
    return area > 0;
  });
  ASSERT_TRUE(other.Wait());
  Table->Next();
  EXPECT_FALSE(Table->Eof());
  EXPECT_EQ(Table->FieldByName("NAME")->AsString(), "Dan");
  Table->Next();
  EXPECT_TRUE(Table->Eof());
  EXPECT_EQ(Table->PhysicalRecNo(), 4);
  Table->Prior();
  EXPECT_EQ(Table->FieldByName("NAME")->AsString(), "Cyd");
  Table->First();
  Table->Prior();
  EXPECT_TRUE(Table->Bof());
  EXPECT_EQ(Table->PhysicalRecNo(), 1);

  // Another program rewrites the name behind the header's back; the edit's lock rereads it.
  std::string bytes = TempDir::Read(path);
  std::size_t at = std::size_t(uint8_t(bytes[8]) | uint8_t(bytes[9]) << 8) + 1;
  int fd = open(path.c_str(), O_WRONLY);
  ASSERT_EQ(pwrite(fd, "Amy       ", 10, off_t(at)), 10);
  close(fd);
  Table->Edit();
  EXPECT_EQ(Table->FieldByName("NAME")->AsString(), "Amy");
  Table->FieldByName("AGE")->SetAsInteger(33);
  Table->Post();
  Table->Close();
  EXPECT_EQ(RunDbfPython(Dir,
                         "t = dbf.Table('people.dbf')\n"
                         "t.open()\n"
                         "r = t[0]\n"
                         "print(r.name.strip(), r.age, r.sal, r.born, r.ok, r.notes.strip())\n"),
            "Amy 33 12.5 2001-02-03 True first memo\n");
}

TEST_F(XbDSetSharing, ADamagedMemoIsReportedNotShownEmpty) {
  std::string bytes = TempDir::Read(Dir.path + "people.dbf");
  // Record 1's memo reference: after the header, the deletion mark and 30 bytes of fields.
  std::size_t ref = std::size_t(uint8_t(bytes[8]) | uint8_t(bytes[9]) << 8) + 31;
  bytes.replace(ref, 10, "     99999");
  Dir.Write("people.dbf", bytes);
  Table->Open();
  AnsiString m = RaisedMessage([&] { Table->FieldByName("NOTES")->AsString(); });
  EXPECT_NE(m.find("past the end"), AnsiString::npos) << m;
}

}  // namespace

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "XbeTables.h"

namespace {

class DbfPeer : public ::testing::TestWithParam<const char*> {};

TEST_P(DbfPeer, ReadsWhatThePeerWroteAndWritesWhatItReads) {
  TempDir dir;
  MakePeople(dir, GetParam());
  xb_SetDeleted(0);
  xb_SetDateFormat(4);
  xb_SetCentury(-1);
  {
    TOpenTable t(dir.path + "people.dbf");
    ASSERT_GT(t.Area, 0);
    EXPECT_EQ(xb_RecCount(), 3);
    EXPECT_EQ(xb_FieldCount(), 6);
    EXPECT_STREQ(xb_FieldType("born"), "D");
    EXPECT_EQ(xb_FieldOffset("AGE"), 12);  // deletion byte and NAME come first
    EXPECT_EQ(xb_FieldDecimals("sal"), 2);

    std::vector<char> rec(static_cast<std::size_t>(xb_RecSize()));
    xb_GetRecord(rec.data());
    EXPECT_EQ(std::string(rec.data(), 11), " Ann       ");
    EXPECT_STREQ(xb_GetTrimString("name"), "Ann");
    EXPECT_EQ(xb_GetInteger("age"), 30);
    EXPECT_DOUBLE_EQ(xb_GetDouble("sal"), 12.5);
    EXPECT_STREQ(xb_GetDateString("born"), "03.02.2001");
    EXPECT_EQ(xb_EvalLogical("OK"), -1);
    EXPECT_EQ(Memo("notes"), "first memo");
    EXPECT_EQ(xb_GetBlobLength("notes"), 10);

    xb_Skip(1);
    EXPECT_EQ(xb_RecNo(), 2);
    EXPECT_EQ(xb_Deleted(), -1);
    xb_Skip(1);
    EXPECT_EQ(Memo("notes"), "third\r\nmemo");
    EXPECT_STREQ(xb_GetDateString("born"), "  .  .    ");
    EXPECT_EQ(xb_Count(), 3);
    xb_SetDeleted(-1);
    EXPECT_EQ(xb_Count(), 2);
    xb_GoTop();
    xb_Skip(1);
    EXPECT_EQ(xb_RecNo(), 3);  // the deleted one is passed over
    xb_SetDeleted(0);

    // Our writes: a new record with a memo, a changed text, a deletion.
    xb_AppendBlank();
    EXPECT_EQ(xb_RecNo(), 4);
    int32_t age = 7;
    double sal = 1234.567;
    int32_t yes = -1;
    xb_Replace("name", xbReplaceText, "Dee");
    xb_Replace("age", xbReplaceInteger, &age);
    xb_Replace("sal", xbReplaceDouble, &sal);
    xb_Replace("born", xbReplaceDate, "20240229");
    xb_Replace("ok", xbReplaceLogical, &yes);
    std::string memo(3000, 'm');
    EXPECT_EQ(xb_PutBlob("notes", memo.data(), int32_t(memo.size())), 3000);
    xb_Go(1);
    xb_GetRecord(rec.data());
    std::memcpy(rec.data() + 1, "Anna-Maria", 10);
    xb_PutRecord(rec.data());
    xb_Go(3);
    xb_Delete();
    xb_Commit();
  }
  std::string seen = RunDbfPython(dir,
      "t = dbf.Table('people.dbf')\n"
      "t.open()\n"
      "for r in t:\n"
      "    print(dbf.is_deleted(r), r.name.strip(), r.age, r.sal, r.born, r.ok, len(r.notes or ''), (r.notes or '')[:5])\n");
  EXPECT_EQ(seen,
            "False Anna-Maria 30 12.5 2001-02-03 True 10 first\n"
            "True bob 41 7.25 1999-12-31 False 0 \n"
            "True Cyd 25 100.0 None None 11 third\n"
            "False Dee 7 1234.57 2024-02-29 True 3000 mmmmm\n");
}

INSTANTIATE_TEST_SUITE_P(MemoKinds, DbfPeer, ::testing::Values("db3", "fp"));

TEST(Dbf, RefusesWhatItCannotReadWithAClearError) {
  TempDir dir;
  TEngineErrors errors;
  RunDbfPython(dir, "t = dbf.Table('wide.dbf', 'id I; name C(5)', dbf_type='vfp')\nt.open(dbf.READ_WRITE)\nt.append((1, 'a'))\nt.close()\n");
  dir.Write("junk.dbf", "not a table at all, not at all");
  struct TCase {
    const char* File;
    const char* Message;
  } cases[] = {
      {"wide.dbf", "binary field encodings"},
      {"junk.dbf", "Not a DBF table"},
      {"missing.dbf", "does not exist"},
  };
  for (const TCase& c : cases) {
    TOpenTable t(dir.path + c.File);
    EXPECT_EQ(t.Area, 0) << c.File;
    EXPECT_NE(TEngineErrors::Last().find(c.Message), std::string::npos) << TEngineErrors::Last();
  }
}

TEST(Dbf, FindsTablesAndMemosInAnyLetterCase) {
  TempDir dir;
  MakePeople(dir, "db3", "Mixed.dbf");
  TOpenTable t(dir.path + "MIXED.DBF");
  ASSERT_GT(t.Area, 0);
  EXPECT_EQ(Memo("NOTES"), "first memo");
}

TEST(Dbf, WritesStayInsideTheirFieldAndRecord) {
  TempDir dir;
  MakePeople(dir, "db3");
  TOpenTable t(dir.path + "people.dbf");
  xb_Replace("name", xbReplaceText, "a name far longer than ten");
  int32_t big = 123456;
  xb_Replace("age", xbReplaceInteger, &big);
  std::vector<char> rec(static_cast<std::size_t>(xb_RecSize()));
  xb_GetRecord(rec.data());
  EXPECT_EQ(std::string(rec.data(), 14), " a name far***");
  xb_Skip(1);
  EXPECT_STREQ(xb_GetTrimString("name"), "bob");
  xb_GoBottom();
  xb_Skip(1);
  EXPECT_EQ(xb_Eof(), -1);
  xb_PutRecord(rec.data());  // nothing to write at the end
  EXPECT_EQ(xb_RecCount(), 3);
}

}  // namespace

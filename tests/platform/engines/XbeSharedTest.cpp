// One table file worked by two processes and by two work areas of one process at once.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "XbeTables.h"

namespace {

std::string Names() {
  std::string seen;
  for (xb_GoTop(); !xb_Eof(); xb_Skip(1)) seen += std::string(xb_GetTrimString("name")) + " ";
  return seen;
}

void AppendNamed(const std::string& name) {
  xb_AppendBlank();
  xb_Replace("name", xbReplaceText, name.c_str());
  xb_Commit();
}

class XbeShared : public ::testing::Test {
protected:
  void SetUp() override {
    MakePeople(Dir, "db3");
    Path = Dir.path + "people.dbf";
    xb_SetDeleted(0);
    xb_SetExact(0);
    xb_SetLockTimeout(0);
  }
  void TearDown() override { xb_SetLockTimeout(1); }
  TempDir Dir;
  std::string Path;
};

TEST_F(XbeShared, AppendsFromTwoProcessesAllArrive) {
  TOpenTable t(Path);
  ASSERT_GT(t.Area, 0);
  {
    // The other process appends after this one has read the count at open.
    TOtherProcess other([&](TOtherProcess&) {
      TOpenTable o(Path);
      AppendNamed("FromB");
      return xb_RecNo() == 4;
    });
    EXPECT_TRUE(other.Wait());
  }
  xb_Select(t.Area);
  AppendNamed("FromA");
  EXPECT_EQ(xb_RecNo(), 5);
  EXPECT_EQ(xb_RecCount(), 5);
  EXPECT_EQ(Names(), "Ann bob Cyd FromB FromA ");

  // Both at once, many times over.
  constexpr int kEach = 300;
  TOtherProcess other([&](TOtherProcess&) {
    TOpenTable o(Path);
    for (int i = 0; i < kEach; ++i) AppendNamed("B" + std::to_string(i));
    return true;
  });
  xb_Select(t.Area);
  for (int i = 0; i < kEach; ++i) AppendNamed("A" + std::to_string(i));
  ASSERT_TRUE(other.Wait());
  xb_Select(t.Area);
  EXPECT_EQ(xb_RecCount(), 5 + 2 * kEach);
  std::set<std::string> names;
  for (xb_GoTop(); !xb_Eof(); xb_Skip(1)) names.insert(xb_GetTrimString("name"));
  EXPECT_EQ(names.size(), std::size_t(5 + 2 * kEach));
}

TEST_F(XbeShared, MemosFromTwoProcessesUnderRecordLocksStayApart) {
  constexpr int kRecords = 120;
  {
    TOpenTable t(Path);
    for (int i = 0; i < kRecords; ++i) xb_AppendBlank();
    xb_Commit();
  }
  // Each process writes the memos of its own records, each under its record lock.
  auto writeMemos = [&](int parity, const char* who) {
    TOpenTable t(Path);
    xb_SetLockTimeout(5);
    bool ok = true;
    for (int r = 4 + parity; r < 4 + kRecords; r += 2) {
      xb_Go(r);
      ok = ok && xb_Rlock(r) == -1;
      std::string text = std::string(who) + std::to_string(r) + std::string(600, '.');
      ok = ok && xb_PutBlob("notes", text.data(), int32_t(text.size())) == int32_t(text.size());
      xb_Unlock(r);
    }
    return ok;
  };
  TOtherProcess other([&](TOtherProcess&) { return writeMemos(1, "B"); });
  EXPECT_TRUE(writeMemos(0, "A"));
  EXPECT_TRUE(other.Wait());
  TOpenTable t(Path);
  int wrong = 0;
  for (int r = 4; r < 4 + kRecords; ++r) {
    xb_Go(r);
    std::string want = std::string(r % 2 == 0 ? "A" : "B") + std::to_string(r) + std::string(600, '.');
    wrong += Memo("notes") != want;
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(XbeShared, AnOpenTableSeesWhatOthersWrote) {
  Dir.Write("people.cdx", "XBEINDEX 1\nNAME\tUPPER(NAME)\t\t0\t0\n");
  TOpenTable t(Path);
  xb_SetOrder(xb_TagArea("NAME"));
  EXPECT_EQ(Names(), "Ann bob Cyd ");
  TOtherProcess other([&](TOtherProcess&) {
    TOpenTable o(Path);
    xb_Go(3);
    xb_Replace("name", xbReplaceText, "Aaron");
    AppendNamed("Abe");
    return true;
  });
  ASSERT_TRUE(other.Wait());
  xb_Select(t.Area);
  EXPECT_EQ(xb_RecCount(), 4);
  EXPECT_EQ(Names(), "Aaron Abe Ann bob ");
  EXPECT_EQ(xb_Seek("CYD"), 0);
  EXPECT_EQ(xb_Seek("AARON"), -1);
  EXPECT_EQ(xb_RecNo(), 3);

  // Two work areas of this process share the table and its orders.
  TOpenTable second(Path);
  xb_Go(1);
  xb_Replace("name", xbReplaceText, "Zed");
  AppendNamed("Al");
  xb_Select(t.Area);
  EXPECT_EQ(xb_RecCount(), 5);
  EXPECT_EQ(Names(), "Aaron Abe Al bob Zed ");
}

TEST_F(XbeShared, DeleteRefusesARecordAnotherHoldsAndClosingACopyKeepsLocks) {
  TOtherProcess holder([&](TOtherProcess& self) {
    TOpenTable o(Path);
    bool locked = xb_Rlock(1) == -1;
    self.Reached();
    self.AwaitGoAhead();
    return locked;
  });
  holder.AwaitReached();
  {
    TEngineErrors errors;
    TOpenTable t(Path);
    xb_Go(1);
    xb_Delete();
    EXPECT_NE(TEngineErrors::Last().find("locked"), std::string::npos) << TEngineErrors::Last();
    xb_Go(1);
    EXPECT_EQ(xb_Deleted(), 0);
  }
  holder.GoAhead();
  ASSERT_TRUE(holder.Wait());

  // A lock taken through one copy of the table outlives the close of another copy.
  TOpenTable first(Path);
  ASSERT_EQ(xb_Rlock(1), -1);
  {
    TOpenTable copy(Path);
  }
  TOtherProcess other([&](TOtherProcess&) {
    TOpenTable o(Path);
    bool refused = xb_Rlock(1) == 0;
    TOpenTable exclusive(Path, 2);
    return refused && exclusive.Area == 0;
  });
  EXPECT_TRUE(other.Wait());
  // Within this process too, the open table is what holds the lock.
  TOpenTable copy(Path);
  EXPECT_EQ(xb_Rlock(1), 0);
}

}  // namespace

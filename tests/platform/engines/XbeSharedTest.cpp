// One table file worked by two processes and by two work areas of one process at once.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

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

TEST_F(XbeShared, AppendsToATableHeldExclusivelyAreSeenAtOnceAndAKilledWriterLeavesItWhole) {
  constexpr int kMany = 5000;  // several blocks of gathered records
  {
    TOpenTable t(Path, 2);
    ASSERT_GT(t.Area, 0);
    for (int i = 0; i < kMany; ++i) AppendNamed("E" + std::to_string(i));
    EXPECT_EQ(xb_RecCount(), 3 + kMany);
    xb_Go(3 + kMany);
    EXPECT_STREQ(xb_GetTrimString("name"), ("E" + std::to_string(kMany - 1)).c_str());
    xb_Replace("name", xbReplaceText, "Last");
    xb_Go(4);
    EXPECT_STREQ(xb_GetTrimString("name"), "E0");
  }
  {
    TOpenTable t(Path);
    EXPECT_EQ(xb_RecCount(), 3 + kMany);
    xb_GoBottom();
    EXPECT_STREQ(xb_GetTrimString("name"), "Last");
  }

  // A writer killed while it holds the table: what the header counts is there and whole.
  TOtherProcess killed([&](TOtherProcess&) {
    TOpenTable o(Path, 2);
    for (int i = 0; i < kMany; ++i) AppendNamed("K" + std::to_string(i));
    kill(getpid(), SIGKILL);
    return true;
  });
  EXPECT_FALSE(killed.Wait());
  TOpenTable t(Path);
  int32_t count = xb_RecCount();
  EXPECT_GT(count, 3 + kMany);
  EXPECT_LE(count, 3 + 2 * kMany);
  int wrong = 0;
  for (int32_t r = 4 + kMany; r <= count; ++r) {
    xb_Go(r);
    wrong += xb_GetTrimString("name") != "K" + std::to_string(r - 4 - kMany);
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(RunDbfPython(Dir, "t = dbf.Table('people.dbf')\nt.open()\nprint(len(t), t[-1].name.strip())\n"),
            std::to_string(count) + " K" + std::to_string(count - 4 - kMany) + "\n");
}

TEST_F(XbeShared, AStepReadsWhatOthersChangedOnceItLeavesWhatItHasRead) {
  TOpenTable t(Path);
  xb_GoTop();
  xb_Skip(1);
  xb_Skip(1);
  ASSERT_EQ(xb_RecNo(), 3);
  TOtherProcess other([&](TOtherProcess&) {
    TOpenTable o(Path);
    AppendNamed("Dan");
    return true;
  });
  ASSERT_TRUE(other.Wait());
  xb_Select(t.Area);
  xb_Skip(1);
  EXPECT_EQ(xb_Eof(), 0);
  EXPECT_STREQ(xb_GetTrimString("name"), "Dan");

  // A record another program rewrote without a word in the header: the lock reads it afresh.
  xb_Go(1);
  ASSERT_STREQ(xb_GetTrimString("name"), "Ann");
  std::string bytes = TempDir::Read(Path);
  std::size_t at = std::size_t(uint8_t(bytes[8]) | uint8_t(bytes[9]) << 8) + 1;
  int fd = open(Path.c_str(), O_WRONLY);
  ASSERT_EQ(pwrite(fd, "Amy       ", 10, off_t(at)), 10);
  close(fd);
  ASSERT_EQ(xb_Rlock(1), -1);
  EXPECT_STREQ(xb_GetTrimString("name"), "Amy");
  xb_Unlock(1);
}

}  // namespace

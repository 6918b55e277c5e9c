#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "XbeTables.h"

namespace {

// Tags of the structural index, which opens with its table.
void MakeIndexedPeople(const TempDir& dir) {
  MakePeople(dir, "db3");
  dir.Write("people.cdx",
            "XBEINDEX 1\n"
            "NAME\tUPPER(NAME)\t\t0\t0\n"
            "AGE\tAGE\t\t0\t1\n"
            "LIVE\tNAME\t.NOT. DELETED()\t0\t0\n"
            "DUP\tOK\t\t1\t0\n");
}

std::string Walk() {
  std::string seen;
  for (xb_GoTop(); !xb_Eof(); xb_Skip(1)) seen += std::to_string(xb_RecNo());
  return seen;
}

TEST(XbeOrder, NavigatesSeeksAndScopesInKeyOrder) {
  TempDir dir;
  MakeIndexedPeople(dir);
  TOpenTable t(dir.path + "people.dbf");
  ASSERT_GT(t.Area, 0);
  xb_SetDeleted(0);
  EXPECT_EQ(xb_IndexOrd(), 0);
  EXPECT_EQ(xb_SysProp(xbPropOrderCount, 0), 4);
  EXPECT_EQ(xb_TagArea("age"), 2);
  EXPECT_STREQ(xb_TagName(3), "LIVE");

  struct TCase {
    const char* Tag;
    const char* Order;
    int32_t Descending;
  } orders[] = {{"NAME", "123", 0}, {"AGE", "213", 1}, {"LIVE", "13", 0}, {"DUP", "21", 0}};
  for (const TCase& c : orders) {
    xb_SetOrder(xb_TagArea(c.Tag));
    EXPECT_EQ(Walk(), c.Order) << c.Tag;
    EXPECT_EQ(xb_SysProp(xbPropOrderDescending, 0), c.Descending) << c.Tag;
  }
  EXPECT_EQ(xb_IndexType(), 2);

  xb_SetOrder(1);
  EXPECT_STREQ(xb_IndexKey(), "UPPER(NAME)");
  EXPECT_STREQ(xb_IndexKeyField(), "NAME");
  EXPECT_NE(std::string(xb_IndexName(1)).find("people.cdx"), std::string::npos);
  struct TSeek {
    bool Exact, Soft;
    const char* Key;
    int32_t Found, RecNo;
  } seeks[] = {
      {false, false, "B", -1, 2},  {false, false, "BX", 0, 4}, {false, true, "BX", 0, 3},
      {true, false, "BOB", -1, 2}, {true, false, "BO", 0, 4},  {false, true, "ZZ", 0, 4},
  };
  for (const TSeek& s : seeks) {
    xb_SetExact(s.Exact ? -1 : 0);
    xb_SetSoftSeek(s.Soft ? -1 : 0);
    EXPECT_EQ(xb_Seek(s.Key), s.Found) << s.Key;
    EXPECT_EQ(xb_Found(), s.Found) << s.Key;
    EXPECT_EQ(xb_RecNo(), s.RecNo) << s.Key;
  }
  xb_SetExact(0);
  xb_SetSoftSeek(0);

  EXPECT_EQ(xb_SetScope("B", "C"), -1);
  EXPECT_STREQ(xb_GetScope(0), "B");
  EXPECT_EQ(Walk(), "23");
  EXPECT_EQ(xb_Count(), 2);
  xb_GoBottom();
  EXPECT_DOUBLE_EQ(xb_OrderPosGet(), 1.0);
  xb_OrderPosSet(0.5);
  EXPECT_EQ(xb_RecNo(), 2);
  xb_SetScope("", "");
  xb_SetOrder(0);
  EXPECT_EQ(xb_SetScope("A", "B"), 0);  // a scope needs an order
}

TEST(XbeOrder, KeysFollowEveryWrite) {
  TempDir dir;
  MakeIndexedPeople(dir);
  dir.Write("extra.idx", "XBEINDEX 1\nSAL\tSAL\n");
  TOpenTable t(dir.path + "people.dbf");
  EXPECT_EQ(xb_IndexOpen((dir.path + "EXTRA.IDX").c_str()), 5);
  xb_SetOrder(5);
  EXPECT_EQ(Walk(), "213");
  xb_SetOrder(xb_TagArea("NAME"));
  xb_Go(3);
  xb_Replace("name", xbReplaceText, "aaron");
  EXPECT_EQ(Walk(), "312");
  xb_AppendBlank();
  xb_Replace("name", xbReplaceText, "Abe");
  EXPECT_EQ(Walk(), "3412");
  xb_SetOrder(xb_TagArea("LIVE"));
  xb_Go(1);
  xb_Delete();
  EXPECT_EQ(Walk(), "43");
  xb_CloseIndexes();
  EXPECT_EQ(xb_SysProp(xbPropOrderCount, 0), 0);
  EXPECT_EQ(Walk(), "1234");
}

// Runs body in a child process and answers its exit status.
int InChild(const std::function<bool()>& body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body() ? 0 : 1);
  int status = -1;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(XbeLocks, AnotherProcessIsRefusedWhatThisOneHolds) {
  TempDir dir;
  MakePeople(dir, "db3");
  std::string path = dir.path + "people.dbf";
  xb_SetLockTimeout(0);
  {
    TOpenTable t(path);
    ASSERT_EQ(xb_Rlock(1), -1);
    auto tryLocks = [&] {
      TOpenTable other(path);
      return other.Area > 0 && xb_Rlock(1) == 0 && xb_Rlock(2) == -1;
    };
    EXPECT_EQ(InChild(tryLocks), 0);
    xb_Select(t.Area);
    xb_Unlock(0);
    EXPECT_EQ(InChild([&] {
                TOpenTable other(path);
                return xb_Rlock(1) == -1;
              }),
              0);
  }
  TOpenTable exclusive(path, 2);
  ASSERT_GT(exclusive.Area, 0);
  EXPECT_EQ(InChild([&] { return TOpenTable(path).Area == 0; }), 0);
  xb_SetLockTimeout(1);
}

}  // namespace

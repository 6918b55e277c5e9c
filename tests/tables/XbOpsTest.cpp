#include <gtest/gtest.h>

#include "platform/engines/DbfPeer.h"
#include "tables/XBE7.h"
#include "tables/XbOps.h"

namespace {

struct TTestTable : TXbTableCore {
  void SetIndexName(const AnsiString& v) { FIndexName = v; }
};

TEST(XbOps, KeepTheTablesCursorStateInStep) {
  TempDir dir;
  MakePeople(dir, "db3");
  dir.Write("people.cdx", "XBEINDEX 1\nNAME\tUPPER(NAME)\t.NOT. DELETED()\n");
  EnsureTableEngine();
  xb_SetDeleted(0);  // settings are the engine's, kept from earlier tests
  TTestTable t;
  int32_t area = XbOps::UseEx(t, dir.path + "people.dbf", "PEOPLE", 0, 2, 1);
  ASSERT_GT(area, 0);
  EXPECT_EQ(XbOps::WorkArea(t, "people"), area);
  EXPECT_EQ(XbOps::Alias(t, int16_t(area)), "PEOPLE");
  XbOps::Select(t, int16_t(area));

  XbOps::Go(t, 3);
  EXPECT_EQ(t.CurrentRecNo(), 3);
  EXPECT_EQ(t.PositionedRecNo(), 3);
  t.SetIndexName("NAME");
  XbOps::Go(t, 2);
  EXPECT_EQ(t.CurrentRecNo(), 2);
  EXPECT_EQ(t.PositionedRecNo(), -2);
  XbOps::GoTop(t);
  EXPECT_EQ(t.CurrentRecNo(), 1);

  EXPECT_EQ(XbOps::SetOrder(t, XbOps::TagArea(t, "name")), 0);
  EXPECT_EQ(t.CurrentOrder(), 1);
  EXPECT_EQ(XbOps::IndexCondition(t), ".NOT. DELETED()");
  EXPECT_EQ(t.IndexCondition(), ".NOT. DELETED()");
  EXPECT_EQ(XbOps::SetScope(t, "A", "B"), -1);
  EXPECT_EQ(t.ScopeBegin(), "A");
  EXPECT_EQ(t.ScopeEnd(), "B");
  EXPECT_EQ(XbOps::Count(t), 1);  // bob is deleted, so outside the order
  XbOps::SetScope(t, "", "");
  XbOps::SetOrder(t, 0);
  EXPECT_EQ(XbOps::IndexOrd(t), 0);
  EXPECT_EQ(t.CurrentOrder(), 0);

  EXPECT_EQ(XbOps::Query(t, "AGE > 26"), 1);
  EXPECT_EQ(t.RecordCountKnown(), 2);
  XbOps::Query(t, "");
  EXPECT_EQ(t.RecordCountKnown(), 3);  // no filter: the table's own count

  XbOps::AppendBlank(t);
  EXPECT_EQ(t.CurrentRecNo(), 4);
  EXPECT_EQ(t.RecordCountKnown(), 4);
  EXPECT_EQ(XbOps::Eof(t), 0);
  EXPECT_EQ(XbOps::FieldName(t, 1), "NAME");
  XbOps::Close(t);
  EXPECT_EQ(XbOps::Alias(t, int16_t(area)), "");
  EXPECT_TRUE(XbOps::TableFileExists(t, dir.path + "people.dbf"));
}

TEST(XbOps, AServerTableNeedsItsConnection) {
  TTestTable t;
  t.SetAccessMethod(amServer);
  try {
    XbOps::RecCount(t);
    FAIL();
  } catch (const EXbError& e) {
    EXPECT_EQ(e.Message(), "No XbConnection specified");
  }
}

}  // namespace

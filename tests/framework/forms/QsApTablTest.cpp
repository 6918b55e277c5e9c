// The framework's table: its messages name the table, the DBF field and index descriptions, the
// date-filter templates, and the database alias that carries its access method to its tables.
#include <gtest/gtest.h>

#include "RaisedMessage.h"
#include "framework/forms/QsApTabl.h"
#include "platform/classlib/Forms.h"
#include "platform/rtl/Format.h"
#include "tables/XBE7.h"

namespace {

TEST(QslXbTable, MessagesNameTheFolderAndTheTable) {
  TQslXbTable t(nullptr);
  EXPECT_TRUE(t.ValidateTable());
  EXPECT_FALSE(t.EmptyOnValidation || t.ForceNewFields || t.LoadedIntoMemory || t.NoBackupTable || t.Validated);
  t.SetDatabaseName("/data");
  t.SetTableName("orders");
  EXPECT_EQ(RaisedMessage([&] { t.CheckActive(); }), "Cannot perform this operation on a closed dataset\r/data/orders");
  try {
    t.HandleError("Broken");
    FAIL();
  } catch (const EXbError& e) {
    EXPECT_EQ(e.Message(), "Broken\r/data/\rorders\r");
    EXPECT_EQ(t.LastErrorMessage(), e.Message());
  }
}

TEST(QslXbTable, FieldAndIndexDescriptions) {
  TQslXbTable t(nullptr);
  auto* f = static_cast<TDBaseFieldDef*>(t.DBaseFieldDefList().Add());
  struct {
    char Type;
    int32_t Size;
  } cases[] = {{'C', 20}, {'D', 8}, {'L', 1}, {'M', 10}, {'N', 0}};
  for (auto c : cases) {
    f->SetPrecision(3);
    f->SetDataType(c.Type);
    EXPECT_EQ(f->Size(), c.Size) << c.Type;
    EXPECT_EQ(f->Precision(), 0);
  }
  f->SetDataType('X');
  EXPECT_TRUE(f->DeleteType());
  f->SetFieldName("AVERYLONGNAME");
  EXPECT_EQ(f->FieldName(), "AVERYLONGN");
  auto* copy = static_cast<TDBaseFieldDef*>(t.DBaseFieldDefList().Add());
  copy->Assign(f);
  EXPECT_EQ(copy->FieldName(), "AVERYLONGN");
  EXPECT_EQ(copy->DataType(), 'X');

  auto* i = static_cast<TDBaseIndexDef*>(t.DBaseIndexDefList().Add());
  i->SetIndexName("BYNAME");
  i->SetExpression("UPPER(NAME)");
  i->SetOptions(2);
  i->SetNoValidation(true);
  auto* j = static_cast<TDBaseIndexDef*>(t.DBaseIndexDefList().Add());
  j->Assign(i);
  EXPECT_EQ(j->Expression(), "UPPER(NAME)");
  EXPECT_EQ(j->Options(), 2);
  EXPECT_TRUE(j->NoValidation());
}

TEST(QslXbTable, DateFilterTemplatesMakeFilters) {
  const auto& f = XbDateFilters();
  EXPECT_EQ(Format(f[3], {AnsiString("BORN"), AnsiString("20240131")}), "(BORN>=stod(\"20240131\"))");
  EXPECT_EQ(Format(f[6], {AnsiString("BORN")}), "(BORN<=stod(\"19000101\"))");
  EXPECT_EQ(Format(f[8], {AnsiString("D"), AnsiString("D")}), "((D>=date()).or.(D<=stod(\"19000101\")))");
}

TEST(QslXbDatabase, AccessMethodReachesTheTablesOfItsAlias) {
  auto* module = new TComponent(&Application());
  auto* db = new TQslXbDatabase(module);
  db->SetDataPathAlias("Keldara_Inst_RS");
  auto* mine = new TQslXbTable(module);
  mine->SetDatabaseName("Keldara_Inst_RS");
  auto* other = new TQslXbTable(module);
  other->SetDatabaseName("keldara_inst_rs");  // the alias must match exactly
  EXPECT_NE(XbDatabaseRegistry().IndexOf(db), -1);
  db->SetAccessMethod(amServer);
  EXPECT_EQ(mine->AccessMethod(), amServer);
  EXPECT_EQ(other->AccessMethod(), amLocal);
  EXPECT_EQ(mine->TableFolder(), "Keldara_Inst_RS");
  delete module;
  EXPECT_EQ(XbDatabaseRegistry().IndexOf(db), -1);
}

TEST(QslXbTable, TheDialogsTableLoadsTheEngineAndStaysClosed) {
  TComponent form(nullptr);
  auto* tblSave = new TQslXbTable(&form);
  form.BeginLoading();
  tblSave->SetName("tblSave");
  tblSave->SetDatabaseName("Keldara_Inst_RS");
  tblSave->SetValidateTable(true);
  tblSave->SetOEMTranslate(false);
  form.EndLoading();
  EXPECT_TRUE(TableEngineReady());
  EXPECT_FALSE(tblSave->Active());
  EXPECT_EQ(tblSave->WorkArea(), 0);
}

}  // namespace

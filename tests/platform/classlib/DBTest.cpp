// Data access: a data set's cursor and fields, the source's events and the links that follow them,
// driven by an in-memory data set.
#include "platform/classlib/DB.h"
#include "platform/classlib/MemoryDataSet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

struct Watch {
  std::vector<AnsiString> Log;
  void Attach(TDataSource& s) {
    s.OnStateChange = [this](TObject* sender) {
      Log.push_back("state " + std::to_string(static_cast<TDataSource*>(sender)->State()));
    };
    s.OnDataChange = [this](TObject*, TField* f) { Log.push_back("data " + (f ? f->FieldName() : AnsiString("*"))); };
  }
};

TEST(DataSet, CursorAndFieldsOverTheRecords) {
  TMemoryDataSet set(nullptr);
  set.Columns = {"Code", "Name"};
  set.Rows = {{"1", "Alpha"}, {"2", "Beta"}};
  EXPECT_THROW(set.First(), EDatabaseError);
  EXPECT_TRUE(set.IsEmpty());
  set.Open();
  EXPECT_EQ(set.State(), dsBrowse);
  EXPECT_EQ(set.FieldCount(), 2);
  EXPECT_EQ(set.RecordCount(), 2);
  TField* name = set.FieldByName("NAME");
  EXPECT_EQ(name, set.FindField("name"));
  EXPECT_EQ(set.FindField("Missing"), nullptr);
  EXPECT_THROW(set.FieldByName("Missing"), EDatabaseError);

  EXPECT_EQ(name->AsString(), "Alpha");
  EXPECT_TRUE(set.Bof());
  set.Next();
  EXPECT_EQ(name->AsString(), "Beta");
  EXPECT_FALSE(set.Eof());
  set.Next();
  EXPECT_TRUE(set.Eof());
  EXPECT_EQ(name->AsString(), "Beta");  // the last record stays current
  set.First();
  EXPECT_EQ(name->AsString(), "Alpha");

  // Fields can be renamed but never to a name another field has.
  EXPECT_THROW(name->SetFieldName("code"), EDatabaseError);
  set.Close();
  EXPECT_EQ(set.State(), dsInactive);
  EXPECT_EQ(name->AsString(), "");
  EXPECT_THROW(set.Next(), EDatabaseError);

  // No records: the cursor is at both ends and nothing can be edited.
  set.Rows.clear();
  set.Open();
  EXPECT_TRUE(set.Bof() && set.Eof() && set.IsEmpty());
  EXPECT_EQ(name->AsString(), "");
  EXPECT_THROW(set.Edit(), EDatabaseError);
}

TEST(DataSet, EditingWritesThroughAndCancelRestores) {
  TMemoryDataSet set(nullptr);
  set.Columns = {"Name"};
  set.Rows = {{"Alpha"}};
  set.Open();
  TField* name = set.FieldByName("Name");
  EXPECT_THROW(name->SetAsString("X"), EDatabaseError);  // not editing
  set.Edit();
  EXPECT_EQ(set.State(), dsEdit);
  name->SetAsString("Gamma");
  EXPECT_EQ(name->AsString(), "Gamma");
  set.Cancel();
  EXPECT_EQ(name->AsString(), "Alpha");
  set.Edit();
  name->SetAsString("Delta");
  set.Post();
  EXPECT_EQ(set.State(), dsBrowse);
  EXPECT_EQ(set.Rows[0][0], "Delta");
  // Closing while editing drops the change.
  set.Edit();
  name->SetAsString("Omega");
  set.Close();
  EXPECT_EQ(set.Rows[0][0], "Delta");
  // A data set that will not open stays closed.
  set.FailOpen = true;
  EXPECT_THROW(set.Open(), EDatabaseError);
  EXPECT_FALSE(set.Active());
}

TEST(DataSet, DisplayTextComesFromOnGetText) {
  TMemoryDataSet set(nullptr);
  set.Columns = {"Amount"};
  set.Rows = {{"12"}};
  set.Open();
  TField* f = set.FieldByName("Amount");
  EXPECT_EQ(f->DisplayText(), "12");
  f->OnGetText = [](TField* s, AnsiString& text, bool display) {
    EXPECT_TRUE(display);
    text = "$" + s->AsString();
  };
  EXPECT_EQ(f->DisplayText(), "$12");
}

TEST(DataSource, TellsStateAndDataChanges) {
  TMemoryDataSet set(nullptr);
  set.Columns = {"Code", "Name"};
  set.Rows = {{"1", "Alpha"}, {"2", "Beta"}};
  TDataSource source(nullptr);
  Watch w;
  w.Attach(source);
  source.SetDataSet(&set);
  set.Open();
  set.Next();
  set.Edit();
  set.FieldByName("Name")->SetAsString("B");
  set.Post();
  source.SetEnabled(false);
  set.Next();  // a disabled source passes nothing on
  source.SetEnabled(true);
  set.Close();
  EXPECT_EQ(w.Log, (std::vector<AnsiString>{"state 1", "data *", "state 2", "data Name", "state 1", "data *",
                                            "state 0", "state 1", "state 0"}));
}

TEST(DataLink, FieldLinkFollowsOpeningMovesRenamesAndClosing) {
  TMemoryDataSet set(nullptr);
  set.Columns = {"Code", "Name"};
  set.Rows = {{"1", "Alpha"}, {"2", "Beta"}};
  TDataSource source(nullptr);
  source.SetDataSet(&set);
  TFieldDataLink link;
  int changes = 0;
  link.OnDataChange = [&](TObject* s) {
    EXPECT_EQ(s, &link);
    ++changes;
  };
  link.SetFieldName("Name");
  link.SetDataSource(&source);
  EXPECT_FALSE(link.Active());
  EXPECT_EQ(link.Field(), nullptr);

  set.Open();
  EXPECT_TRUE(link.Active());
  ASSERT_NE(link.Field(), nullptr);
  EXPECT_EQ(link.Field()->AsString(), "Alpha");
  int before = changes;
  set.Next();
  EXPECT_GT(changes, before);
  // A change of another field is not this link's news.
  before = changes;
  set.Edit();
  set.FieldByName("Code")->SetAsString("9");
  EXPECT_EQ(changes, before);
  set.FieldByName("Name")->SetAsString("Bee");
  EXPECT_EQ(changes, before + 1);
  set.Post();

  // Renamed, the field is no longer the link's; named back, it is again.
  set.FieldByName("Name")->SetFieldName("Title");
  EXPECT_EQ(link.Field(), nullptr);
  link.SetFieldName("Title");
  EXPECT_EQ(link.Field(), set.FindField("Title"));

  // Another open data set: the link finds that one's field.
  TMemoryDataSet other(nullptr);
  other.Columns = {"Title"};
  other.Rows = {{"Other"}};
  other.Open();
  source.SetDataSet(&other);
  ASSERT_NE(link.Field(), nullptr);
  EXPECT_EQ(link.Field()->AsString(), "Other");
  other.Close();
  EXPECT_FALSE(link.Active());
  EXPECT_EQ(link.Field(), nullptr);
}

TEST(DataLink, FreeingTheSourceTheSetOrTheFieldClearsTheLink) {
  auto set = std::make_unique<TMemoryDataSet>(nullptr);
  set->Columns = {"Name"};
  set->Rows = {{"Alpha"}};
  set->Open();
  auto source = std::make_unique<TDataSource>(nullptr);
  source->SetDataSet(set.get());
  TFieldDataLink link;
  link.SetFieldName("Name");
  link.SetDataSource(source.get());
  ASSERT_NE(link.Field(), nullptr);

  // A freed field leaves the open data set and the link.
  delete link.Field();
  EXPECT_EQ(link.Field(), nullptr);
  EXPECT_TRUE(link.Active());
  EXPECT_EQ(set->FindField("Name"), nullptr);

  // A freed data set leaves the source empty.
  set.reset();
  EXPECT_EQ(source->DataSet(), nullptr);
  EXPECT_FALSE(link.Active());

  // A freed source leaves the link without one.
  source.reset();
  EXPECT_EQ(link.DataSource(), nullptr);
  EXPECT_FALSE(link.Active());

  // A link freed first leaves its source.
  TDataSource kept(nullptr);
  {
    TFieldDataLink brief;
    brief.SetDataSource(&kept);
  }
  kept.SetEnabled(false);  // reaches no freed link
}

TEST(DataSet, MovesInsertsDeletesAndBookmarks) {
  TMemoryDataSet set(nullptr);
  set.Columns = {"Name"};
  set.Rows = {{"A"}, {"B"}, {"C"}};
  set.Open();
  TField* name = set.FieldByName("Name");
  set.Last();
  EXPECT_TRUE(set.Eof());
  EXPECT_EQ(name->AsString(), "C");
  EXPECT_EQ(set.MoveBy(-5), -2);
  EXPECT_TRUE(set.Bof());
  EXPECT_EQ(name->AsString(), "A");
  set.Next();
  TBookmark b = set.Bookmark();
  set.Append();
  EXPECT_EQ(set.State(), dsInsert);
  EXPECT_EQ(name->AsString(), "");
  name->SetAsString("D");
  set.Post();
  EXPECT_EQ(set.Rows.back()[0], "D");
  set.Insert();
  set.Cancel();  // back on the record shown before
  EXPECT_EQ(name->AsString(), "D");
  set.GotoBookmark(b);
  EXPECT_EQ(name->AsString(), "B");
  set.Delete();
  EXPECT_EQ(name->AsString(), "C");
  EXPECT_EQ(set.RecordCount(), 3);
}

TEST(DataSet, DisabledControlsHearOnceWhenEnabledAgain) {
  TMemoryDataSet set(nullptr);
  set.Columns = {"Name"};
  set.Rows = {{"A"}, {"B"}, {"C"}};
  TDataSource source(nullptr);
  source.SetDataSet(&set);
  int changes = 0;
  source.OnDataChange = [&](TObject*, TField*) { ++changes; };
  set.Open();
  set.DisableControls();
  set.DisableControls();
  set.Next();
  set.Next();
  set.EnableControls();
  EXPECT_EQ(changes, 0);
  set.EnableControls();
  EXPECT_EQ(changes, 1);
}

TEST(Fields, TypedValuesInTheirBuffers) {
  TMemoryDataSet set(nullptr);
  set.Columns = {"F0", "F1", "F2", "F3", "F4", "F5"};
  set.Rows = {{"", "", "", "", "", ""}};
  struct TCase {
    TFieldType Type;
    const char* In;
    const char* Out;
  } cases[] = {{ftSmallint, " 42 ", "42"}, {ftInteger, "-7", "-7"}, {ftFloat, "2.5", "2.5"},
               {ftBoolean, "yes", "True"}, {ftBoolean, "F", "False"}, {ftString, "abcdefghijkl", "abcdefghij"}};
  std::vector<TField*> fields;
  for (const TCase& c : cases) {
    TField* f = CreateFieldOfType(c.Type, &set).release();
    f->SetFieldName("F" + IntToStr(int64_t(fields.size())));
    f->SetSize(10);
    f->SetDataSet(&set);
    fields.push_back(f);
  }
  set.Open();
  set.Edit();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    fields[i]->SetAsString(cases[i].In);
    EXPECT_EQ(fields[i]->AsString(), cases[i].Out) << i;
  }
  EXPECT_THROW(fields[0]->SetAsInteger(40000), EDatabaseError);  // past a 16-bit field
  EXPECT_THROW(fields[1]->SetAsString("4x"), EConvertError);
  fields[1]->Clear();
  EXPECT_TRUE(fields[1]->IsNull());
  EXPECT_TRUE(VarIsNull(fields[1]->AsVariant()));
  EXPECT_THROW(fields[5]->AsDateTime(), EDatabaseError);
  set.Cancel();
}

TEST(Params, ByNameWithValues) {
  TParams params;
  params.CreateParam(ftInteger, "Id", ptInput)->SetAsInteger(5);
  EXPECT_EQ(params.ParamByName("ID")->AsInteger(), 5);
  EXPECT_EQ(params.FindParam("Other"), nullptr);
  EXPECT_THROW(params.ParamByName("Other"), EDatabaseError);
  EXPECT_EQ(Variant("12").AsInteger(), 12);
  EXPECT_THROW(Variant("x").AsDouble(), EConvertError);
}

}  // namespace

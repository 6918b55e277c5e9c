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

}  // namespace

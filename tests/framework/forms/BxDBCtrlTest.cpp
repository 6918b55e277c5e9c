// The data labels on a headless form: they show their field's display text and follow the data
// set through moves, changes, renames and closing, and let go of a freed source; the right-click
// help choice of speed buttons and data labels.
#include "FormsTestSupport.h"

#include <algorithm>
#include <memory>

#include "framework/forms/BxDBCtrl.h"
#include "framework/forms/QsDbCtrl.h"
#include "framework/forms/aRoot.h"
#include "platform/classlib/DB.h"
#include "platform/classlib/MemoryDataSet.h"

namespace {

class DataLabelTest : public FormsTest {
protected:
  void SetUp() override {
    FormsTest::SetUp();
    Form = new TForm(&Application());
    Form->SetBounds(10, 10, 300, 200);
    Set = new TMemoryDataSet(Form);
    Set->Columns = {"Code", "City"};
    Set->Rows = {{"1", "Oslo"}, {"2", "Lisbon"}};
    Source = new TDataSource(Form);
    Source->SetDataSet(Set);
    Label = new tQsDbBorderedLabel(Form);
    Label->SetParent(Form);
    Label->SetBounds(10, 10, 65, 17);
    Label->SetDataSource(Source);
    Label->SetDataField("City");
  }
  // Pixels of the label in colour c, as the form shows it.
  int Count(TControl* c, TColorRef colour) {
    Form->Show();
    Pump();
    RedrawWindow(Form->Handle(), nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    int n = 0;
    for (int y = 0; y < c->Height(); ++y)
      for (int x = 0; x < c->Width(); ++x) n += PixelOf(*Form, c->Left() + x, c->Top() + y) == colour;
    return n;
  }

  TForm* Form = nullptr;
  TMemoryDataSet* Set = nullptr;
  TDataSource* Source = nullptr;
  tQsDbBorderedLabel* Label = nullptr;
};

TEST_F(DataLabelTest, ShowsTheFieldThroughMovesChangesRenamesAndClosing) {
  EXPECT_EQ(Label->GetLabelText(), "");  // closed: no field
  EXPECT_EQ(Label->Field(), nullptr);
  Set->Open();
  EXPECT_EQ(Label->Field(), Set->FindField("City"));
  EXPECT_EQ(Label->GetLabelText(), "Oslo");
  int narrow = Label->Width();
  Set->Next();
  EXPECT_EQ(Label->GetLabelText(), "Lisbon");
  EXPECT_GT(Label->Width(), narrow);  // auto size follows the text
  Set->ChangeCurrent(1, "Porto");
  EXPECT_EQ(Label->GetLabelText(), "Porto");
  Set->FieldByName("City")->OnGetText = [](TField* f, AnsiString& text, bool) { text = "<" + f->AsString() + ">"; };
  Set->First();
  EXPECT_EQ(Label->GetLabelText(), "<Oslo>");

  Set->FieldByName("City")->SetFieldName("Town");
  EXPECT_EQ(Label->GetLabelText(), "");
  Label->SetDataField("town");
  EXPECT_EQ(Label->GetLabelText(), "<Oslo>");
  Label->SetDataField("Missing");
  EXPECT_EQ(Label->GetLabelText(), "");
  Label->SetDataField("Town");
  Set->Close();
  EXPECT_EQ(Label->GetLabelText(), "");
  EXPECT_EQ(Label->Field(), nullptr);
}

TEST_F(DataLabelTest, PaintsTheTextOnlyWhileThereIsOne) {
  Label->SetBorderStyle(TBxBorderStyle::None);
  Label->Font().SetColor(clBlue);
  EXPECT_EQ(Count(Label, clBlue), 0);
  Set->Open();
  EXPECT_GT(Count(Label, clBlue), 0);
  Set->Close();
  EXPECT_EQ(Count(Label, clBlue), 0);
}

TEST_F(DataLabelTest, ShowsItsNameWhileDesigning) {
  auto* plain = new TBxDBLabel(Form);
  plain->SetName("lblCity");
  plain->SetDataSource(Source);
  plain->SetDataField("City");
  Set->Open();
  EXPECT_EQ(plain->GetLabelText(), "Oslo");
  plain->SetDesigning(true);
  EXPECT_EQ(plain->GetLabelText(), "lblCity");
}

TEST_F(DataLabelTest, FreedSourceOrDataSetLeavesTheLabelEmpty) {
  Set->Open();
  auto* second = new tQsDbBorderedLabel(Form);
  second->SetParent(Form);
  second->SetDataSource(Source);
  second->SetDataField("Code");
  EXPECT_EQ(second->GetLabelText(), "1");

  delete Set;
  EXPECT_EQ(Source->DataSet(), nullptr);
  EXPECT_EQ(Label->GetLabelText(), "");
  EXPECT_EQ(second->Field(), nullptr);

  delete Source;
  EXPECT_EQ(Label->DataSource(), nullptr);
  EXPECT_EQ(second->DataSource(), nullptr);
  EXPECT_EQ(Count(Label, ColorToRGB(clWindowText)), 2 * (Label->Width() + Label->Height()) - 4);  // the border alone

  // A label freed before its source leaves no link behind.
  auto* set = new TMemoryDataSet(Form);
  set->Columns = {"City"};
  set->Rows = {{"Rome"}};
  auto* source = new TDataSource(Form);
  source->SetDataSet(set);
  second->SetDataSource(source);
  delete second;
  set->Open();
  set->ChangeCurrent(0, "Milan");
  EXPECT_EQ(Label->GetLabelText(), "");
}

TEST(RootHelpChoice, SpeedButtonsAndDataLabelsAnswerWithTheirOwnContext) {
  TForm owner(nullptr);
  auto* qsButton = new TQsSpeedButton(&owner);
  auto* plainButton = new TSpeedButton(&owner);
  auto* dbBordered = new tQsDbBorderedLabel(&owner);
  auto* dbPlain = new TBxDBLabel(&owner);
  struct Case {
    TControl* Control;
    int Own;
    int Expected;
  } cases[] = {
      {qsButton, 12, 12},   {qsButton, 0, 7},  {plainButton, 13, 7},
      {dbBordered, 14, 14}, {dbBordered, 0, 7}, {dbPlain, 15, 7},
  };
  for (const Case& c : cases) {
    c.Control->SetHelpContext(c.Own);
    EXPECT_EQ(RootHelpContextFor(c.Control, 7), c.Expected) << c.Control->ClassName() << " " << c.Own;
  }
}

}  // namespace

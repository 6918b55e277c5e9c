// The form picture field as the main window's archive password: 64 "X", password mode, trimmed.
#include "FormsTestSupport.h"

#include "controls/ctlController.h"
#include "framework/forms/QsDbCtrl.h"

namespace {

class QslPictureFieldTest : public FormsTest {
protected:
  void SetUp() override {
    FormsTest::SetUp();
    Form = new TForm(&Application());
    Form->SetBounds(10, 10, 400, 120);
    new TCtlController(Form);
    Password = new TQslPictureField(Form);
    Password->SetParent(Form);
    Password->SetBounds(10, 10, 300, 24);
    Password->SetPictureMask(AnsiString(64, 'X'));
    Password->SetMaxLength(64);
    Password->SetOptions(Password->Options().Include(efoTrimBlanks).Include(efoPasswordMode));
    Form->Show();
    Pump();
  }
  TForm* Form = nullptr;
  TQslPictureField* Password = nullptr;
};

TEST_F(QslPictureFieldTest, PasswordTextIsCutTrimmedAndShownMasked) {
  EXPECT_EQ(64, Password->MaxLength());
  EXPECT_TRUE(Password->Options().Contains(efoTrimBlanks));  // no literals in the mask
  Password->SetAsString(AnsiString(70, 'k'));
  EXPECT_EQ(AnsiString(64, 'k'), Password->AsString());
  Password->SetAsString("");
  EXPECT_EQ("", Password->AsString());

  Password->SetFocus();
  Pump();
  for (const char* k = "  ab1  "; *k; ++k) {
    const auto vk = uint16_t(*k >= 'a' && *k <= 'z' ? *k - 32 : *k);
    InjectKeyDown(vk, uint8_t(*k));
    InjectKeyUp(vk);
    Pump();
  }
  EXPECT_EQ("ab1", Password->AsString());
  // Reading leaves the text as typed, and every typed character hides behind a star, blanks too.
  EXPECT_EQ("******* ", Password->GetDisplayString().substr(0, 8));
}

TEST_F(QslPictureFieldTest, AssociatedControlsAreClearedWhenFreed) {
  auto* a = new TEdit(Form);
  auto* b = new TEdit(Form);
  Password->SetNAssocControl1(a);
  Password->SetNAssocControl2(b);
  Password->SetFieldName("Password");
  Password->SetDataFieldNumber(3);
  delete b;
  EXPECT_EQ(a, Password->NAssocControl1());
  EXPECT_EQ(nullptr, Password->NAssocControl2());
  EXPECT_EQ(3, Password->DataFieldNumber());
}

}  // namespace

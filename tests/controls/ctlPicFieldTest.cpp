// The picture field on a headless form: values per data type, typing through the keyboard,
// checks, stepping by keys and by the spin button.
#include <gtest/gtest.h>

#include "controls/ctlController.h"
#include "controls/ctlDates.h"
#include "controls/ctlPicField.h"
#include "controls/ctlSpinner.h"
#include "platform/classlib/ClassLibTestSupport.h"

namespace {

class PicFieldTest : public ClassLibTest {
protected:
  void SetUp() override {
    ClassLibTest::SetUp();
    Form = new TForm(&Application());
    Form->SetBounds(50, 50, 400, 200);
    new TCtlController(Form);
    Field = Make(10);
    Other = Make(50);
    Form->Show();
    Pump();
  }
  TCtlPictureField* Make(int top) {
    auto* f = new TCtlPictureField(Form);
    f->SetParent(Form);
    f->SetBounds(10, top, 150, 24);
    return f;
  }
  // Each character as the key that types it.
  void Type(const char* keys) {
    for (const char* k = keys; *k; ++k) {
      const auto vk = uint16_t(*k == '-' ? VK_OEM_MINUS : *k >= 'a' && *k <= 'z' ? *k - 32 : *k);
      InjectKeyDown(vk, uint8_t(*k));
      InjectKeyUp(vk);
      Pump();
    }
  }
  void Key(uint16_t vk) {
    InjectKeyPress(vk);
    Pump();
  }
  void Focus(TWinControl* c) {
    c->SetFocus();
    Pump();
  }

  TForm* Form = nullptr;
  TCtlPictureField* Field = nullptr;
  TCtlPictureField* Other = nullptr;
};

struct ValueCase {
  TPictureDataType Type;
  const char* Mask;  // empty: the type's default
  const char* Given;
  const char* Text;
  const char* Read;
};

TEST_F(PicFieldTest, ValuesOfEveryTypeGoInAndComeOut) {
  const ValueCase cases[] = {
      {pftString, "", "  hello  ", "  hello        ", "hello"},
      {pftString, "!!!-999", "abc123", "ABC-123", "ABC-123"},
      {pftChar, "", "q", "q", "q"},
      {pftBoolean, "", "t", "T", "T"},
      {pftYesNo, "", "no", "N", "N"},
      {pftLongInt, "", "-42", "-42        ", "-42        "},
      {pftWord, "", "65535", "65535", "65535"},
      {pftWord, "KKKK", "FFFF", "FFFF", "FFFF"},
      {pftByte, "", "200", "200", "200"},
      {pftShortInt, "", "-128", "-128", "-128"},
      {pftDouble, "9999.99", "12.5", "  12.50", "  12.50"},
      {pftReal, "", "-3.75", "-3.75     ", "-3.75     "},
      {pftExtended, "", "1e3", "1000      ", "1000      "},
      {pftSingle, "", "0.25", "0.25      ", "0.25      "},
      {pftComp, "", "12", "12        ", "12        "},
      {pftDate, "mm/dd/yyyy", "12/25/2026", "12/25/2026", "12/25/2026"},
      {pftTime, "hh:mm:ss", "13:05:00", "13:05:00", "13:05:00"},
  };
  for (const auto& c : cases) {
    auto* f = Make(100);
    f->SetDataType(c.Type);
    if (*c.Mask) {
      f->SetPictureMask(c.Mask);
      f->SetMaxLength(int(strlen(c.Mask)));
    }
    SCOPED_TRACE(c.Given);
    f->SetAsString(c.Given);
    EXPECT_EQ(c.Text, f->EditText()) << c.Type << " " << c.Given;
    EXPECT_EQ(c.Read, f->AsString()) << c.Type << " " << c.Given;
    EXPECT_EQ(0, f->Validate(false)) << c.Type;
    delete f;
  }
}

TEST_F(PicFieldTest, TypedKeysFollowTheMask) {
  Field->SetPictureMask("999-999");
  Field->SetMaxLength(7);
  Focus(Field);
  Type("12a34");
  EXPECT_EQ("123-4  ", Field->EditText());
  Key(VK_BACK);
  EXPECT_EQ("123-   ", Field->EditText());
  Key(VK_HOME);
  Key(VK_DELETE);
  EXPECT_EQ("23 -   ", Field->EditText());
  EXPECT_TRUE(Field->Modified());
  InjectKeyDown(VK_CONTROL);
  Key('Z');  // undo restores the text the field was entered with
  InjectKeyUp(VK_CONTROL);
  Pump();
  EXPECT_EQ("   -   ", Field->EditText());
  EXPECT_FALSE(Field->Modified());

  Other->SetDataType(pftShortInt);
  Focus(Other);  // all selected: the first character replaces it
  Type("-7x");
  EXPECT_EQ("-7  ", Other->EditText());
  EXPECT_EQ(-7, Other->AsInteger());
}

TEST_F(PicFieldTest, UserMaskCharactersComeFromTheLibrarysOneUserData) {
  TCtlCharSet digits;
  for (char c = '0'; c <= '9'; ++c) digits.set(uint8_t(c));
  CtlUserData().SetUserCharSet('7', digits);
  Field->SetPictureMask("777");
  Field->SetMaxLength(3);
  Focus(Field);
  Type("4b2");
  CtlUserData().SetUserCharSet('7', TCtlUserData().UserCharSet('7'));
  EXPECT_EQ("42 ", Field->EditText());
}

TEST_F(PicFieldTest, ChecksAndTypeChanges) {
  Field->SetDataType(pftWord);
  Field->SetPictureMask("99999");
  Field->SetAsString("12");
  Focus(Field);
  Key(VK_HOME);
  Type("700");  // 70012
  EXPECT_EQ(256, Field->Validate(false));
  // A value too wide for its mask shows as overflow and is out of range, never another number.
  Other->SetDataType(pftWord);
  Other->SetPictureMask("999");
  Other->SetMaxLength(3);
  Other->SetAsInteger(65535);
  EXPECT_EQ("***", Other->EditText());
  EXPECT_EQ(0, Other->AsInteger());
  EXPECT_EQ(256, Other->LastError());

  auto* d = Make(100);
  d->SetDataType(pftDate);
  d->SetAsString("1/2");  // shorter than the mask: no date
  EXPECT_EQ(NoDate, d->AsDate());
  EXPECT_EQ(0, d->Validate(false));
  d->SetDataType(pftInteger);
  EXPECT_EQ("iiiiii", d->PictureMask());
  EXPECT_EQ(0, d->AsInteger());
  // Equal bounds at creation mean the type's own range.
  auto* r = Make(130);
  r->SetDataType(pftByte);
  r->SetRangeLo("5");
  r->SetRangeHi("5");
  r->RecreateWnd();
  EXPECT_EQ("255", r->RangeHi());
}

TEST_F(PicFieldTest, ArrowsStepWithWrapAndPasswordsShowMasked) {
  Field->SetDataType(pftShortInt);
  Field->SetRangeLo("1");
  Field->SetRangeHi("3");
  Field->SetOptions(Field->Options().Include(efoArrowIncDec));
  Field->SetAsInteger(1);
  Focus(Field);
  Key(VK_DOWN);  // at the low bound: around to the high one
  EXPECT_EQ(3, Field->AsInteger());
  Key(VK_UP);
  EXPECT_EQ(1, Field->AsInteger());

  Other->SetOptions(Other->Options().Include(efoPasswordMode));
  Other->SetAsString("abc");
  EXPECT_EQ("***            ", Other->GetDisplayString());
  Other->SetPadChar('_');
  EXPECT_EQ("***____________", Other->GetDisplayString());
  Other->SetUninitialized(true);
  EXPECT_EQ(AnsiString(15, ' '), Other->GetDisplayString());
}

TEST_F(PicFieldTest, SpinButtonStepsTheFieldItIsAttachedTo) {
  TFakeClock clock;
  Field->SetDataType(pftShortInt);
  Field->SetPictureMask("ii");
  Field->SetMaxLength(2);
  Field->SetRangeLo("1");
  Field->SetRangeHi("99");
  Field->SetAsInteger(1);
  auto* spin = new TCtlSpinner(Form);
  spin->SetParent(Form);
  spin->SetBounds(170, 10, 16, 25);
  spin->SetFocusedControl(Field);
  Pump();
  const TPoint up = spin->ClientToScreen(TPoint{5, 3});
  const TPoint down = spin->ClientToScreen(TPoint{5, 20});
  InjectClick(TMouseButton::Left, up.X, up.Y);
  Pump();
  InjectClick(TMouseButton::Left, up.X, up.Y);
  Pump();
  EXPECT_EQ(3, Field->AsInteger());
  EXPECT_TRUE(Field->Focused());
  InjectClick(TMouseButton::Left, down.X, down.Y);
  Pump();
  EXPECT_EQ(2, Field->AsInteger());
  delete Field;  // the spinner forgets it
  Field = nullptr;
  EXPECT_EQ(nullptr, spin->FocusedControl());
}

}  // namespace

// The picture field on a headless form: values per data type, typing through the keyboard,
// checks, stepping by keys and by the spin button.
#include <gtest/gtest.h>

#include "controls/ctlController.h"
#include "controls/ctlDates.h"
#include "controls/ctlExcept.h"
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
  // Each character as the key that types it; '\b' is Backspace.
  void Type(const char* keys) {
    for (const char* k = keys; *k; ++k) {
      if (*k == '\b') {
        Key(VK_BACK);
        continue;
      }
      const char c = *k;
      const bool plain = c == ' ' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z');
      const auto vk = uint16_t(c >= 'a' && c <= 'z' ? c - 32 : plain ? c : c == '-' ? VK_OEM_MINUS
                                                                : c == '.' ? VK_OEM_PERIOD : VK_OEM_2);
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

struct RetypeCase {
  TPictureDataType Type;
  const char* Mask;
  const char* Given;
  bool ByTab;  // else Home and Shift+End
  const char* Typed;
  const char* Text;
};

// A full field entered with everything selected: what is typed replaces it, as in any entry field.
TEST_F(PicFieldTest, TypingOverASelectedFullFieldReplacesIt) {
  const RetypeCase cases[] = {
      {pftDate, "mm/dd/yyyy", "12/25/2026", true, "01/02/2027", "01/02/2027"},
      {pftDate, "mm/dd/yyyy", "12/25/2026", false, "01022027", "01/02/2027"},
      {pftString, "", "abcdefghijklmno", true, "xyz", "xyz            "},
      {pftShortInt, "ii", "1", true, "4", "4 "},
      {pftTime, "hh:mm:ss tt", "12:30:00 PM", true, "1", "1 :  :     "},
      {pftString, "", "abcdefghijklmno", false, "Q", "Q              "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Typed);
    auto* f = Make(100);
    f->SetDataType(c.Type);
    if (*c.Mask) {
      f->SetPictureMask(c.Mask);
      f->SetMaxLength(int(strlen(c.Mask)));
    }
    f->SetAsString(c.Given);
    Focus(Other);
    if (c.ByTab) {
      Key(VK_TAB);
    } else {
      Focus(f);
      Key(VK_HOME);
      InjectKeyDown(VK_SHIFT);
      Key(VK_END);
      InjectKeyUp(VK_SHIFT);
      Pump();
    }
    ASSERT_TRUE(f->Focused());
    Type(c.Typed);
    EXPECT_EQ(c.Text, f->EditText());
    delete f;
  }
  // A refused character keeps the selection, so Delete still clears it.
  Field->SetDataType(pftDate);
  Field->SetPictureMask("mm/dd/yyyy");
  Field->SetAsString("12/25/2026");
  Focus(Field);
  Type("x");
  EXPECT_EQ("12/25/2026", Field->EditText());
  Key(VK_DELETE);
  EXPECT_EQ("  /  /    ", Field->EditText());
}

// Floating currency and separators: the whole part fills from the right, so the number typed is
// the number kept, whether the field was entered by Tab or the caret put home.
TEST_F(PicFieldTest, WholeDigitsPushLeftUnderFloatingCurrency) {
  struct Case {
    TPictureDataType Type;
    const char* Mask;
    bool ByTab;
    const char* Typed;
    const char* Shown;
  };
  const Case cases[] = {
      {pftDouble, "$$,$$$,$$9.99", true, "1234.5", "    $1,234.50"},
      {pftDouble, "$$,$$$,$$9.99", false, "1234.5", "    $1,234.50"},
      {pftDouble, "$$,$$$,$$9.99", false, "7", "        $7.00"},
      {pftLongInt, "$$$,$$9", true, "12345", "$12,345"},
      {pftLongInt, "$$$,$$9", true, "12345\b\b9", " $1,239"},  // Backspace takes the last digit
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Mask);
    SCOPED_TRACE(c.Typed);
    auto* f = Make(100);
    f->SetDataType(c.Type);
    f->SetPictureMask(c.Mask);
    f->SetMaxLength(int(strlen(c.Mask)));
    Focus(Other);
    if (c.ByTab) Key(VK_TAB);
    else Focus(f), Key(VK_HOME);
    ASSERT_TRUE(f->Focused());
    Type(c.Typed);
    Focus(Other);
    EXPECT_EQ(c.Shown, f->EditText());
    delete f;
  }
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

TEST_F(PicFieldTest, RangeTextsReadBackAndSurviveAssign) {
  auto* date = Make(100);
  date->SetDataType(pftDate);
  auto* copy = Make(130);
  EXPECT_NO_THROW(copy->Assign(date));
  EXPECT_EQ(date->RangeLoValue(), copy->RangeLoValue());
  EXPECT_EQ(date->RangeHiValue(), copy->RangeHiValue());
  const TCtlRangeValue lo = date->RangeLoValue();
  EXPECT_NO_THROW(date->SetRangeLo(date->RangeLo()));
  EXPECT_EQ(lo, date->RangeLoValue());

  // Hexadecimal digits are the type's bits: one more digit than a byte holds is refused.
  Field->SetDataType(pftByte);
  Field->SetPictureMask("KK");
  Field->SetMaxLength(2);
  EXPECT_THROW(Field->SetRangeHi("1FF"), EInvalidRangeValue);
  Field->SetRangeHi("7F");
  EXPECT_EQ("7F", Field->RangeHi());
}

// Literals are no input: a required date, time or "999-999" field that shows only them is blank.
TEST_F(PicFieldTest, ARequiredFieldHoldingOnlyLiteralsIsBlank) {
  struct Case {
    TPictureDataType Type;
    const char* Mask;
  };
  for (const Case& c : {Case{pftDate, "mm/dd/yyyy"}, Case{pftTime, "hh:mm:ss"}, Case{pftString, "999-999"}}) {
    SCOPED_TRACE(c.Mask);
    auto* f = Make(100);
    f->SetDataType(c.Type);
    f->SetPictureMask(c.Mask);
    f->SetMaxLength(int(strlen(c.Mask)));
    f->SetOptions(f->Options().Include(efoInputRequired));
    f->SetModified(true);
    EXPECT_EQ(epeRequired, f->Validate(false)) << "'" << f->EditText() << "'";
    Focus(f);
    Type("1");
    EXPECT_NE(epeRequired, f->Validate(false));
    delete f;
  }
}

TEST_F(PicFieldTest, ZeroHidesUnderCurrencyAndCompIsFloatingPoint) {
  Focus(Other);
  Field->SetDataType(pftDouble);
  Field->SetPictureMask("$$$9.99");
  Field->SetMaxLength(7);
  Field->SetZeroDisplay(zdHide);
  Field->SetAsString("0");
  EXPECT_EQ("  $0.00", Field->EditText());
  EXPECT_EQ("       ", Field->GetDisplayString());
  Field->SetAsString("2");
  EXPECT_EQ("  $2.00", Field->GetDisplayString());

  Other->SetDataType(pftComp);
  Other->SetPictureMask("9999.99");
  Other->SetMaxLength(7);
  Other->SetDecimalPlaces(2);  // the mask's own decimals rule, as for every floating type
  EXPECT_EQ(0, Other->DecimalPlaces());
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

TEST_F(PicFieldTest, APasswordHidesEveryTypedCharacterBlanksIncludedButNoLiterals) {
  Field->SetPictureMask("99-99");
  Field->SetMaxLength(5);
  Field->SetOptions(Field->Options().Include(efoPasswordMode));
  Field->SetAsString("1234");
  EXPECT_EQ("12-34", Field->EditText());
  EXPECT_EQ("**-**", Field->GetDisplayString());

  Other->SetOptions(Other->Options().Include(efoPasswordMode));
  Focus(Other);
  Type("  My Pass 1  ");
  EXPECT_EQ("  My Pass 1    ", Other->EditText());
  EXPECT_EQ("*************  ", Other->GetDisplayString());
  Focus(Field);
  EXPECT_EQ("My Pass 1", Other->AsString());
  EXPECT_EQ("*********      ", Other->GetDisplayString());
}

// Tab into a long password field: the view starts at the text, not at the padded end.
TEST_F(PicFieldTest, TabIntoALongPasswordKeepsItsStarsInView) {
  Other->SetMaxLength(64);
  Other->SetPictureMask(AnsiString(64, 'X'));
  Other->SetOptions(Other->Options().Include(efoPasswordMode));
  Other->SetAsString("secret");
  Focus(Field);
  Key(VK_TAB);
  ASSERT_TRUE(Other->Focused());
  EXPECT_EQ(0, Other->SelStart());
  EXPECT_EQ(64, Other->SelEnd());
  EXPECT_EQ(0, Other->FirstVisible());
  Type("new");
  EXPECT_EQ("new", Other->AsString());
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

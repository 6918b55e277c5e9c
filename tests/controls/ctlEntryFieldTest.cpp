// The entry field on a form, driven through the picture field that every field of the program is:
// typed values of every size, keys and characters routed into editing, the clipboard, password
// mode, and the check on leaving that reaches the error event or its box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WindowSystemTest.h"
#include "controls/ctlEntryField.h"
#include "controls/ctlPicField.h"
#include "controls/ctlExcept.h"
#include "controls/ctlHelpers.h"
#include "controls/ctlMessages.h"
#include "controls/ctlMsgBox.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Menus.h"
#include "platform/win/Clipboard.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/Windows.h"

namespace {

class TTestField : public TCtlPictureField {
public:
  using TCtlPictureField::TCtlPictureField;
  void SetType(TPictureDataType t) { SetDataType(t); }
  // The text as a user leaves it: merged into the mask.
  void SetText(const AnsiString& s) { SetEditText(Picture().Merge(s, Intl(), MergeOptions())); }
  void SetMask(const AnsiString& m) { SetPictureMask(m); }
  // The edit text without the blanks of the unused positions after it.
  AnsiString Typed() const {
    AnsiString t = EditText();
    while (!t.empty() && t.back() == ' ') t.pop_back();
    return t;
  }
};

class EntryFieldTest : public WindowSystemTest {
protected:
  void SetUp() override {
    WindowSystemTest::SetUp();
    Application().CreateForm(FForm);
    FForm->SetBounds(10, 10, 300, 200);
    FController = new TCtlController(FForm);
    FFirst = Field("edtFirst", 10);
    FSecond = Field("edtSecond", 50);
    FForm->Show();
    Pump();
  }
  void TearDown() override {
    SetCtlMessageBox(nullptr);
    TPopupMenu::SetTracker(nullptr);
    Application().DestroyComponents();
    WindowSystemTest::TearDown();
  }
  TTestField* Field(const char* name, int y) {
    auto* f = new TTestField(FForm);
    f->SetName(name);
    f->SetParent(FForm);
    f->SetBounds(10, y, 150, 25);
    return f;
  }
  static void Key(uint16_t vk, std::initializer_list<uint16_t> held = {}) {
    for (uint16_t h : held) InjectKeyDown(h);
    InjectKeyPress(vk);
    for (uint16_t h : held) InjectKeyUp(h);
    Pump();
  }
  static void Type(const char* text) {
    for (const char* p = text; *p; ++p) {
      uint16_t vk = static_cast<uint16_t>(*p >= 'a' && *p <= 'z' ? *p - 32 : *p);
      InjectKeyDown(vk, static_cast<uint8_t>(*p));
      InjectKeyUp(vk);
      Pump();
    }
  }
  void Focus(TTestField* f) {
    f->SetFocus();
    Pump();
  }

  TForm* FForm = nullptr;
  TCtlController* FController = nullptr;
  TTestField* FFirst = nullptr;
  TTestField* FSecond = nullptr;
};

TEST_F(EntryFieldTest, ValuesOfEverySizeGoInAndComeBack) {
  struct Case {
    TPictureDataType type;
    int size;
    const char* written;
    const char* read;
  } cases[] = {
      {pftChar, 1, "q", "q"},           {pftBoolean, 1, "t", "T"},       {pftYesNo, 1, "n", "N"},
      {pftLongInt, 4, "-2147483648", "-2147483648"}, {pftWord, 2, "65535", "65535"},
      {pftInteger, 2, "-32768", "-32768"}, {pftByte, 1, "255", "255"},   {pftShortInt, 1, "-128", "-128"},
      {pftReal, 8, "2.5", "2.5"},       {pftDouble, 8, "-1.25", "-1.25"}, {pftSingle, 4, "0.5", "0.5"},
      {pftExtended, 10, "7", "7"},      {pftComp, 8, "9000000000", "9000000000"},
      {pftDate, 4, "12/24/2026", "12/24/2026"}, {pftTime, 4, "01:02:03 PM", "1:02:03 PM"},
  };
  for (const Case& c : cases) {
    FFirst->SetType(c.type);
    EXPECT_EQ(FFirst->ValueSize(), c.size) << int(c.type);
    FFirst->SetAsString(c.written);
    EXPECT_EQ(Trim(FFirst->AsString()), c.read) << int(c.type);
  }
  FFirst->SetType(pftShortInt);
  FFirst->SetAsInteger(-129);
  EXPECT_EQ(FFirst->AsInteger(), 127) << "narrowed to eight bits";
  EXPECT_THROW(FFirst->SetAsString("200"), EEntryFieldError);
  EXPECT_THROW(FFirst->AsDate(), EInvalidDataType);
  FFirst->SetType(pftDate);
  FFirst->SetPictureMask("mm/dd/yyyy");
  FFirst->SetAsDate(DateFromDMY(1, 2, 2003, 0));
  EXPECT_EQ(FFirst->AsDate(), DateFromDMY(1, 2, 2003, 0));
  FFirst->SetType(pftString);
  FFirst->SetMaxLength(30);
  EXPECT_THROW(FFirst->AsInteger(), EInvalidDataType);
  EXPECT_EQ(SendMessage(FFirst->Handle(), ctlm_ValueSize), 31);
}

TEST_F(EntryFieldTest, RangeTextsAndTheirLimits) {
  FFirst->SetType(pftWord);
  EXPECT_EQ(FFirst->RangeLo(), "0");
  EXPECT_EQ(FFirst->RangeHi(), "65535");
  FFirst->SetRangeHi("100");
  EXPECT_THROW(FFirst->SetRangeHi("70000"), EInvalidRangeValue);
  EXPECT_EQ(FFirst->RangeHi(), "100");
  FFirst->SetText("150");
  EXPECT_EQ(FFirst->Validate(false), epeRange);
  FFirst->SetText("1x");
  EXPECT_EQ(FFirst->Validate(false), epeInvalidType);
  FFirst->SetMask("KKKK");
  FFirst->SetRangeHi("$FF");
  EXPECT_EQ(FFirst->RangeHi(), "00FF");
  FFirst->SetType(pftChar);
  FFirst->SetRangeLo("#9");
  EXPECT_EQ(FFirst->RangeLo(), "#9");
  FFirst->SetType(pftDate);
  EXPECT_EQ(FFirst->RangeHi(), "12/31/3999");
  EXPECT_THROW(FFirst->SetRangeLo("02/30/2001"), EInvalidRangeValue);
}

TEST_F(EntryFieldTest, ThePasswordFieldOfTheMainWindow) {
  FFirst->SetMaxLength(64);
  FFirst->SetOptions(TCtlEntryFieldOptions{efoTrimBlanks, efoPasswordMode, efoCaretToEnd});
  FFirst->SetAsString(std::string(70, 'p'));
  EXPECT_EQ(FFirst->AsString(), std::string(64, 'p'));
  FFirst->SetText("  secret  ");
  EXPECT_EQ(FFirst->AsString(), "secret");
  FFirst->SetText("    ");
  EXPECT_EQ(FFirst->AsString(), "");

  // Copy and cut leave the clipboard alone; paste still works; the menu agrees.
  FFirst->SetText("secret");
  Focus(FFirst);
  OpenClipboard(0);
  EmptyClipboard();
  SetClipboardText("other");
  CloseClipboard();
  FFirst->SetSelection(0, 6);
  Key('C', {VK_CONTROL});
  Key('X', {VK_CONTROL});
  EXPECT_EQ(GetClipboardText().value_or(""), "other");
  EXPECT_EQ(FFirst->Typed(), "secret");
  std::vector<std::string> items;
  TPopupMenu::SetTracker([&](TPopupMenu& m, int, int) -> TMenuItem* {
    for (int i = 0; i < m.Items().Count(); ++i)
      items.push_back(m.Items().Items(i)->Caption() + (m.Items().Items(i)->Enabled() ? "+" : "-"));
    return nullptr;
  });
  SendMessage(FFirst->Handle(), WM_RBUTTONUP, 0, 5 | (5 << 16));
  EXPECT_EQ(items, (std::vector<std::string>{"&Restore-", "-+", "Cu&t-", "&Copy-", "&Paste+", "&Delete+", "-+",
                                              "Select &All+"}));
  Key(VK_END);
  Key('V', {VK_CONTROL});
  EXPECT_EQ(FFirst->Typed(), "secretother");
}

TEST_F(EntryFieldTest, KeysEditTheText) {
  Focus(FFirst);
  Type("hello");
  EXPECT_EQ(FFirst->Typed(), "hello");
  Key(VK_BACK);
  Key(VK_HOME);
  Type("x");
  EXPECT_EQ(FFirst->Typed(), "xhell");
  Key(VK_END);
  Key(VK_LEFT, {VK_SHIFT});
  Key(VK_LEFT, {VK_SHIFT});
  EXPECT_EQ(FFirst->SelStart(), 3);
  EXPECT_EQ(FFirst->SelEnd(), 5);
  Key('C', {VK_CONTROL});
  EXPECT_EQ(GetClipboardText().value_or(""), "ll");
  Key(VK_HOME);
  Key('V', {VK_CONTROL});
  EXPECT_EQ(FFirst->Typed(), "llxhell");
  Key(VK_INSERT);
  Type("ab");
  EXPECT_EQ(FFirst->Typed(), "llabell") << "overwrite mode";
  EXPECT_TRUE(FFirst->Modified());
  Key(VK_BACK, {VK_MENU});  // Alt+Backspace restores the text the field was entered with
  EXPECT_EQ(FFirst->Typed(), "");
  Key('Z', {VK_CONTROL});
  EXPECT_FALSE(FFirst->Modified());
}

TEST_F(EntryFieldTest, CharactersNeedTheArmAndAltKeypadArmsIt) {
  Focus(FFirst);
  HWND h = FFirst->Handle();
  SendMessage(h, WM_CHAR, 'a', 0);
  EXPECT_EQ(FFirst->Typed(), "") << "a character no key announced";
  InjectKeyDown(VK_MENU);
  Pump();
  SendMessage(h, WM_SYSKEYDOWN, VK_NUMPAD0 + 6, 0);
  SendMessage(h, WM_SYSKEYDOWN, VK_NUMPAD0 + 5, 0);
  SendMessage(h, WM_CHAR, 'A', 0);
  InjectKeyUp(VK_MENU);
  Pump();
  EXPECT_EQ(FFirst->Typed(), "A");
  FFirst->SetOptions(TCtlEntryFieldOptions{efoReadOnly});
  int beeps = 0;
  SetBeepHandler([&] { ++beeps; });
  Type("b");
  Key(VK_BACK);
  SetBeepHandler(nullptr);
  EXPECT_EQ(FFirst->Typed(), "A");
  EXPECT_EQ(beeps, 2);
}

TEST_F(EntryFieldTest, SelectionMessages) {
  FFirst->SetText("abcdef");
  HWND h = FFirst->Handle();
  SendMessage(h, EM_SETSEL, 0, 0 | (0xFFFF << 16));
  uint32_t a = 9, b = 9;
  LRESULT r = SendMessage(h, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
  EXPECT_EQ(a, 0u);
  EXPECT_EQ(b, 15u);  // every position of the mask
  EXPECT_EQ(r, 15 << 16);
  SendMessage(h, EM_SETSEL, 0, 2 | (4 << 16));
  EXPECT_EQ(FFirst->SelStart(), 2);
  SendMessage(h, EM_SETSEL, 0, 0xFFFF);
  EXPECT_EQ(FFirst->SelEnd(), FFirst->SelStart());
  SendMessage(h, EM_SETMODIFY, 1, 0);
  EXPECT_EQ(SendMessage(h, EM_GETMODIFY), 1);
  SendMessage(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("new text"));
  EXPECT_EQ(FFirst->Typed(), "new text");
}

TEST_F(EntryFieldTest, MaxLengthIsClampedAndKeepsTheMask) {
  FFirst->SetMask("XXXX");
  FFirst->SetMaxLength(300);
  EXPECT_EQ(FFirst->MaxLength(), 255);
  FFirst->SetMaxLength(3);
  EXPECT_EQ(FFirst->MaxLength(), 255) << "below the mask";
  FFirst->SetMaxLength(0);
  EXPECT_EQ(FFirst->MaxLength(), 255);
  FFirst->SetMaxLength(5);
  FFirst->SetText("123456789");
  EXPECT_EQ(FFirst->EditText(), "12345");

  auto* loaded = new TTestField(FForm);
  loaded->SetMask("XXX");
  loaded->BeginLoading();
  loaded->SetMaxLength(0);
  loaded->EndLoading();
  loaded->SetParent(FForm);
  loaded->Handle();
  EXPECT_EQ(loaded->MaxLength(), 3) << "an unset length becomes the mask's";
}

TEST_F(EntryFieldTest, LeavingABlankRequiredFieldReportsOnce) {
  std::vector<std::string> errors;
  FController->OnError = [&](TComponent* s, uint16_t code, const AnsiString& msg) {
    errors.push_back(std::string(s->Name()) + " " + std::to_string(code) + " " + msg);
  };
  FFirst->SetOptions(TCtlEntryFieldOptions{efoInputRequired});
  FSecond->SetOptions(TCtlEntryFieldOptions{efoInputRequired});
  Focus(FFirst);
  Focus(FSecond);
  EXPECT_EQ(errors, (std::vector<std::string>{"edtFirst 258 A value is required in this field"}));
  EXPECT_TRUE(FFirst->Focused()) << "the failed field takes the focus back";
  // Once the first field holds a value, the second reports for itself.
  FFirst->SetText("x");
  Focus(FSecond);
  Focus(FFirst);
  EXPECT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors.back(), "edtSecond 258 A value is required in this field");

  // A special control lets the field go without a word.
  FController->OnIsSpecialControl = [&](TCtlController*, TWinControl*, bool& special) { special = true; };
  FFirst->SetText("");
  Focus(FFirst);
  errors.clear();
  Focus(FSecond);
  EXPECT_TRUE(errors.empty());
  EXPECT_TRUE(FSecond->Focused());
}

TEST_F(EntryFieldTest, UserCodesShowTheControllersTextOrEntryError) {
  std::vector<std::string> boxes;
  SetCtlMessageBox([&](const AnsiString& text, uint32_t, int) {
    boxes.push_back(text);
    return IDOK;
  });
  uint16_t next = 0;
  AnsiString handlerText;
  FFirst->OnUserValidation = [&](TCtlBaseEntryField*, uint16_t& code) {
    code = next;
    if (!handlerText.empty()) FController->SetErrorText(handlerText);
  };
  struct Case {
    uint16_t code;
    const char* handlerText;
    const char* shown;
  } cases[] = {
      {0x8001, "Account number unknown", "Account number unknown"},
      {300, "", "Entry Error"},
      {epeInvalidDate, "", "Value is not a valid date"},
  };
  for (const Case& c : cases) {
    next = c.code;
    handlerText = c.handlerText;
    FController->SetErrorText("");
    FController->SetErrorPending(false);
    Focus(FFirst);
    Focus(FSecond);
    next = 0;
    Focus(FSecond);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back(), c.shown) << c.code;
  }
  EXPECT_EQ(boxes.size(), 3u);
  // An empty controller text falls back for user codes too.
  EXPECT_EQ(EntryErrorText(0x8000, ""), "Entry Error");

  // The field's own event comes before the controller's box.
  std::vector<uint16_t> own;
  FFirst->OnError = [&](TCtlBaseEntryField*, uint16_t code, const AnsiString&) { own.push_back(code); };
  SendMessage(FFirst->Handle(), ctlm_EntryError, epeBlanks, 0);
  EXPECT_EQ(own, std::vector<uint16_t>{epeBlanks});
  EXPECT_EQ(FController->ErrorText(), "This field should contain no blanks");
}

TEST_F(EntryFieldTest, SoftValidationLetsTheFieldGoInErrorColours) {
  FFirst->SetType(pftByte);
  FFirst->SetOptions(TCtlEntryFieldOptions{efoSoftValidation});
  FFirst->SetText("999");
  Focus(FFirst);
  Focus(FSecond);
  EXPECT_TRUE(FSecond->Focused());
  EXPECT_TRUE(FFirst->ErrorShown());
  FFirst->SetText("9");
  EXPECT_EQ(FFirst->Validate(false), 0);
  EXPECT_FALSE(FFirst->ErrorShown());
}

TEST_F(EntryFieldTest, ZeroHiddenUntilFocusedAndWideTextLeftAligned) {
  FFirst->SetType(pftLongInt);
  FFirst->SetPictureMask("iii");
  FFirst->SetMaxLength(3);
  FFirst->SetZeroDisplay(zdHide);
  FFirst->SetText("0");
  Focus(FSecond);
  EXPECT_EQ(FFirst->GetDisplayString(), "   ");
  Focus(FFirst);
  EXPECT_EQ(FFirst->GetDisplayString(), "0  ");
  FSecond->SetBounds(10, 50, 280, 25);
  FSecond->SetMaxLength(30);
  FSecond->SetOptions(TCtlEntryFieldOptions{efoRightAlign});
  FSecond->SetText("1");
  FSecond->Repaint();
  EXPECT_TRUE(FSecond->RightAligned());
  FSecond->SetText(std::string(30, 'W'));
  FSecond->Repaint();
  EXPECT_FALSE(FSecond->RightAligned());
}

TEST_F(EntryFieldTest, OptionRulesAndTheTextTop) {
  FFirst->SetOptions(TCtlEntryFieldOptions{efoForceInsert});
  FFirst->SetOptions(TCtlEntryFieldOptions{efoForceInsert, efoForceOvertype});
  EXPECT_FALSE(FFirst->Options().Contains(efoForceInsert)) << "the one added last wins";
  FFirst->SetOptions(TCtlEntryFieldOptions{efoRightJustify});
  EXPECT_TRUE(FFirst->Options().Contains(efoTrimBlanks));
  FFirst->SetOptions(TCtlEntryFieldOptions{efoPasswordMode});
  FFirst->SetPasswordChar(0);
  EXPECT_FALSE(FFirst->Options().Contains(efoPasswordMode));
  FFirst->SetTextMargin(1);
  EXPECT_EQ(FFirst->TextMargin(), 2);

  // The text sits where the library's margin rule puts it, below an enabled top border.
  int inner = FFirst->Height() - 4;
  EXPECT_EQ(FFirst->TextTop(), 2 + EntryTextTopMargin(FFirst->Font(), true, inner, true));
  FFirst->Borders().TopBorder().SetEnabled(true);
  FFirst->Borders().TopBorder().SetPenWidth(3);
  EXPECT_EQ(FFirst->TextTop(), 5 + EntryTextTopMargin(FFirst->Font(), true, inner, true));
}

}  // namespace

TEST(CtlEntryValues, IntegerTextsByRadixAndSize) {
  struct Case {
    int32_t value;
    int size;
    TCtlRadix radix;
    const char* text;
  } cases[] = {
      {-1, 1, crHex, "FF"},           {-1, 4, crHex, "FFFFFFFF"},         {8, 1, crOctal, "0010"},
      {8, 4, crOctal, "000000000010"}, {-1, 4, crOctal, "037777777777"},  {5, 1, crBinary, "00000101"},
      {5, 2, crBinary, "0000000000000101"}, {-42, 4, crDecimal, "-42"},  {0, 4, crDecimal, "0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CtlIntegerToText(c.value, c.size, c.radix), c.text) << c.text;
    int32_t back = 0;
    EXPECT_TRUE(CtlTextToInteger(c.text, c.radix, back)) << c.text;
    if (c.size == 4 || c.value >= 0) {
      EXPECT_EQ(back, c.value) << c.text;
    }
  }
  int32_t v = 0;
  EXPECT_TRUE(CtlTextToInteger("  ", crDecimal, v));
  EXPECT_EQ(v, 0);
  EXPECT_FALSE(CtlTextToInteger("102", crBinary, v));
  EXPECT_FALSE(CtlTextToInteger("8", crOctal, v));
  EXPECT_FALSE(CtlTextToInteger("77777777777", crOctal, v)) << "beyond 32 bits";
  EXPECT_FALSE(CtlTextToInteger("2147483648", crDecimal, v));
  EXPECT_TRUE(CtlTextToInteger("$7f", crHex, v));
  EXPECT_EQ(v, 127);
}

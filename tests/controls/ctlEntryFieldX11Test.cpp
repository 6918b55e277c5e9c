// Entry fields on a real X display, as the picture fields the program has: xdotool types, edits and
// selects, the X CLIPBOARD carries text both ways (read and written with xclip), and a password
// field shows only password characters.
#include <memory>

#include "controls/ctlController.h"
#include "controls/ctlPicField.h"
#include "platform/gdi/BmpFile.h"
#include "platform/classlib/Forms.h"
#include "platform/win/Caret.h"
#include "platform/win/WindowImage.h"
#include "platform/win/Windows.h"
#include "platform/x11/FormX11Fixture.h"

namespace {

class TTextField : public TCtlPictureField {
public:
  using TCtlPictureField::TCtlPictureField;
  void SetText(const AnsiString& s) { SetEditText(Picture().Merge(s, Intl(), MergeOptions())); }
  // The edit text without the blanks of the unused positions after it.
  AnsiString Typed() const {
    AnsiString t = EditText();
    while (!t.empty() && t.back() == ' ') t.pop_back();
    return t;
  }
};

class EntryFieldX11Test : public TFormX11Test<> {
protected:
  EntryFieldX11Test() : TFormX11Test({"xdotool", "xclip"}) {}
  TTextField* Field(int y, int maxLength) {
    auto* f = new TTextField(FForm.get());
    f->SetParent(FForm.get());
    f->SetBounds(10, y, 180, 25);
    f->SetMaxLength(maxLength);
    return f;
  }
  // Pixels of a field's face in the form's image.
  static std::vector<TColorRef> Face(const TGdiBitmap& image, TControl* c) {
    std::vector<TColorRef> px;
    for (int y = 3; y < c->Height() - 3; ++y)
      for (int x = 3; x < c->Width() - 3; ++x) px.push_back(image.Pixel(c->Left() + x, c->Top() + y));
    return px;
  }
};

TEST_F(EntryFieldX11Test, TypingEditingSelectingAndTheClipboard) {
  FForm = std::make_unique<TForm>(nullptr);
  FForm->SetCaption("Quorvex entry");
  FForm->SetBounds(60, 40, 260, 160);
  new TCtlController(FForm.get());
  TTextField* text = Field(10, 20);
  TTextField* password = Field(45, 20);
  password->SetOptions(TCtlEntryFieldOptions{efoPasswordMode, efoTrimBlanks});
  TTextField* stars = Field(80, 20);
  FForm->Show();
  ASSERT_TRUE(PumpUntil([&] { return Shown("Quorvex entry"); }, Pumper()));

  Click(At(text, 20, 10));
  ASSERT_TRUE(PumpUntil([&] { return text->Focused(); }, Pumper()));
  Tool("xdotool type --delay 30 hello");
  Tool("xdotool key BackSpace Home");
  Tool("xdotool type x");
  ASSERT_TRUE(PumpUntil([&] { return text->Typed() == "xhell"; }, Pumper())) << text->EditText();
  EXPECT_EQ(CaretWindow(), text->Handle());

  Tool("xdotool key End shift+Left shift+Left");
  ASSERT_TRUE(PumpUntil([&] { return text->SelStart() == 3 && text->SelEnd() == 5; }, Pumper()));
  Tool("xdotool key ctrl+c");
  std::string copied;
  PumpUntil([&] { return (copied = ClipboardText()) == "ll"; }, Pumper());
  EXPECT_EQ(copied, "ll");
  // The selection is drawn in the highlight colours while the field has the focus.
  Application().ProcessMessages();
  TGdiBitmap image = GetWindowImage(FForm->Handle());
  std::vector<TColorRef> face = Face(image, text);
  EXPECT_NE(std::count(face.begin(), face.end(), ColorToRGB(clHighlight)), 0);

  ASSERT_TRUE(OfferClipboard("ZZ"));
  PumpUntil([&] { return ClipboardText() == "ZZ"; }, Pumper());
  Tool("xdotool key Home ctrl+v");
  ASSERT_TRUE(PumpUntil([&] { return text->Typed() == "ZZxhell"; }, Pumper())) << text->EditText();

  // The password field draws exactly what a field of stars draws.
  password->SetText("secret");
  stars->SetText("******");
  password->Repaint();
  stars->Repaint();
  Application().ProcessMessages();
  image = GetWindowImage(FForm->Handle());
  EXPECT_EQ(Face(image, password), Face(image, stars));
  EXPECT_NE(Face(image, password), Face(image, text));
  SavePngFile(image, QUORVEX_BINARY_DIR "/entryfield-x11.png");
}

}  // namespace

// Picture fields on a real X display, typed by xdotool: the printer dialog's copies field with its
// spin button; a full date retyped over its selection, floating currency filled from the right,
// and passwords that hide blanks and keep literals and their stars in view after Tab. Screenshots
// are written for a look.
#include <algorithm>
#include <memory>
#include <vector>

#include "controls/ctlController.h"
#include "controls/ctlPicField.h"
#include "controls/ctlSpinner.h"
#include "platform/classlib/Forms.h"
#include "platform/gdi/BmpFile.h"
#include "platform/win/WindowImage.h"
#include "platform/win/Windows.h"
#include "platform/x11/FormX11Fixture.h"

namespace {

class PicFieldX11Test : public TFormX11Test<> {
protected:
  PicFieldX11Test() : TFormX11Test({"xdotool"}) {}
  TCtlPictureField* Field(int y, const AnsiString& mask, TPictureDataType type = pftString) {
    auto* f = new TCtlPictureField(FForm.get());
    f->SetParent(FForm.get());
    f->SetBounds(10, y, 180, 25);
    f->SetDataType(type);
    f->SetPictureMask(mask);
    f->SetMaxLength(int(mask.size()));
    return f;
  }
  // Pixels of a field's face, inside its edge.
  static std::vector<TColorRef> Face(TWinControl* c) {
    const TGdiBitmap image = GetWindowImage(c->Handle());
    std::vector<TColorRef> px;
    for (int y = 3; y < c->Height() - 3; ++y)
      for (int x = 3; x < c->Width() - 3; ++x) px.push_back(image.Pixel(x, y));
    return px;
  }
};

TEST_F(PicFieldX11Test, CopiesFieldTakesDigitsAndStepsWhileTheArrowIsHeld) {
  FForm = std::make_unique<TForm>(nullptr);
  FForm->SetCaption("Quorvex copies");
  FForm->SetBounds(60, 40, 240, 100);
  new TCtlController(FForm.get());
  auto* copies = new TCtlPictureField(FForm.get());
  copies->SetParent(FForm.get());
  copies->SetBounds(20, 20, 40, 25);
  copies->SetDataType(pftShortInt);
  copies->SetPictureMask("ii");
  copies->SetMaxLength(2);
  copies->SetRangeLo("1");
  copies->SetRangeHi("99");
  auto* spin = new TCtlSpinner(FForm.get());
  spin->SetParent(FForm.get());
  spin->SetBounds(62, 20, 16, 25);
  spin->SetFocusedControl(copies);
  FForm->Show();
  ASSERT_TRUE(PumpUntil([&] { return Shown("Quorvex copies"); }, Pumper()));

  Click(At(copies, 30, 12));
  ASSERT_TRUE(PumpUntil([&] { return copies->Focused(); }, Pumper()));
  Tool("xdotool key Home shift+End");
  Tool("xdotool type --delay 40 4x2");
  ASSERT_TRUE(PumpUntil([&] { return copies->EditText() == "42"; }, Pumper())) << "'" << copies->EditText() << "'";
  EXPECT_EQ(42, copies->AsInteger());

  // Held on the up arrow: a step at once and more as the pauses shrink.
  Tool("xdotool mousemove --sync " + At(spin, 8, 5) + " mousedown 1 sleep 1.2 mouseup 1");
  ASSERT_TRUE(PumpUntil([&] { return !spin->Pressed(); }, Pumper()));
  const int up = copies->AsInteger();
  EXPECT_GE(up, 45);
  EXPECT_LE(up, 99);
  Tool("xdotool mousemove --sync " + At(spin, 8, 20) + " mousedown 1 sleep 0.3 mouseup 1");
  ASSERT_TRUE(PumpUntil([&] { return !spin->Pressed(); }, Pumper()));
  EXPECT_EQ(up - 1, copies->AsInteger());
  EXPECT_TRUE(copies->Focused());

  Application().ProcessMessages();
  SavePngFile(GetWindowImage(FForm->Handle()), QUORVEX_BINARY_DIR "/picfield-x11.png");
}

TEST_F(PicFieldX11Test, TypedOverSelectionsFromTheRightAndBehindStars) {
  FForm = std::make_unique<TForm>(nullptr);
  FForm->SetCaption("Quorvex fields");
  FForm->SetBounds(60, 40, 220, 260);
  new TCtlController(FForm.get());
  TCtlPictureField* date = Field(10, "mm/dd/yyyy", pftDate);
  date->SetAsString("12/25/2026");
  TCtlPictureField* money = Field(40, "$$,$$$,$$9.99", pftDouble);
  TCtlPictureField* password = Field(70, AnsiString(15, 'X'));
  password->SetOptions(password->Options().Include(efoPasswordMode));
  TCtlPictureField* pin = Field(100, "99-99");
  pin->SetOptions(pin->Options().Include(efoPasswordMode));
  TCtlPictureField* longPassword = Field(130, AnsiString(64, 'X'));
  longPassword->SetOptions(longPassword->Options().Include(efoPasswordMode));
  longPassword->SetAsString("secret");
  // What the passwords must look like, drawn by fields that hold stars.
  TCtlPictureField* stars = Field(160, AnsiString(15, 'X'));
  stars->SetAsString("*********");
  TCtlPictureField* pinStars = Field(190, "XX-XX");
  pinStars->SetAsString("****");
  for (TCtlPictureField* f : {stars, pinStars}) f->SetTabStop(false);
  FForm->Show();
  ASSERT_TRUE(PumpUntil([&] { return Shown("Quorvex fields"); }, Pumper()));

  Click(At(date, 30, 12));
  ASSERT_TRUE(PumpUntil([&] { return date->Focused(); }, Pumper()));
  Tool("xdotool key Home shift+End");
  Tool("xdotool type --delay 40 01/02/2027");
  ASSERT_TRUE(PumpUntil([&] { return date->EditText() == "01/02/2027"; }, Pumper())) << date->EditText();
  Tool("xdotool key Tab");
  ASSERT_TRUE(PumpUntil([&] { return money->Focused(); }, Pumper()));
  Tool("xdotool type --delay 40 1234.5");
  Tool("xdotool key Tab");
  ASSERT_TRUE(PumpUntil([&] { return password->Focused(); }, Pumper()));
  EXPECT_EQ("    $1,234.50", money->EditText());
  Tool("xdotool type --delay 40 '  My Pass 1  '");
  Tool("xdotool key Tab");
  ASSERT_TRUE(PumpUntil([&] { return pin->Focused(); }, Pumper()));
  EXPECT_EQ("My Pass 1", password->AsString());
  Tool("xdotool type --delay 40 1234");
  Tool("xdotool key Tab");
  ASSERT_TRUE(PumpUntil([&] { return longPassword->Focused(); }, Pumper()));
  EXPECT_EQ("12-34", pin->EditText());

  // Every typed character is one star, literals stay, and the long field shows its stars after Tab.
  Application().ProcessMessages();
  EXPECT_EQ(Face(password), Face(stars));
  EXPECT_EQ(Face(pin), Face(pinStars));
  EXPECT_EQ(0, longPassword->FirstVisible());
  const std::vector<TColorRef> face = Face(longPassword);
  EXPECT_NE(0, std::count(face.begin(), face.end(), ColorToRGB(clHighlightText))) << "no stars in the highlight";
  SavePngFile(GetWindowImage(FForm->Handle()), QUORVEX_BINARY_DIR "/picfield-typed-x11.png");
}

}  // namespace

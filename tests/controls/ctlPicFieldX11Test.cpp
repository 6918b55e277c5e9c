// The printer dialog's copies field on a real X display: a short-integer picture field with a spin
// button takes digits, refuses letters, and steps while xdotool holds the arrows; a screenshot is
// written for a look.
#include <memory>

#include "controls/ctlController.h"
#include "controls/ctlPicField.h"
#include "controls/ctlSpinner.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/WindowPump.h"
#include "platform/gdi/BmpFile.h"
#include "platform/win/DisplayBackend.h"
#include "platform/win/WindowImage.h"
#include "platform/win/Windows.h"
#include "platform/win/X11Backend.h"
#include "platform/x11/XvfbSupport.h"

namespace {

class PicFieldX11Test : public ::testing::Test {
protected:
  void SetUp() override {
    if (!ToolInstalled("Xvfb") || !ToolInstalled("xdotool")) GTEST_SKIP() << "Xvfb and xdotool are needed";
    FServer = std::make_unique<TXvfb>();
    ASSERT_FALSE(FServer->Display().empty()) << "Xvfb did not start";
    ResetWindowSystem();
    SetDisplayBackend(std::make_unique<TX11Backend>(FServer->Display().c_str()));
    UseWindowSystemPump();
  }
  void TearDown() override {
    FForm.reset();
    Application().SetMessagePump({});
    ResetWindowSystem();
    SetDisplayBackend(nullptr);
    FServer.reset();
  }
  static std::function<void()> Pumper() {
    return [] { Application().ProcessMessages(); };
  }
  std::string Tool(const std::string& cmd) { return FServer->Run(cmd, Pumper()); }
  std::string At(TControl* c, int x, int y) {
    TPoint p = c->ClientToScreen(TPoint{x, y});
    return std::to_string(p.X) + " " + std::to_string(p.Y);
  }

  std::unique_ptr<TXvfb> FServer;
  std::unique_ptr<TForm> FForm;
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
  ASSERT_TRUE(PumpUntil([&] { return !Tool("xdotool search --onlyvisible --name 'Quorvex copies'").empty(); }, Pumper()));

  Tool("xdotool mousemove --sync " + At(copies, 30, 12) + " click 1");
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

}  // namespace

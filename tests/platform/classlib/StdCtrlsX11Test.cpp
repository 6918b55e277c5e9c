// A memo, a group box and a button on a real X display: xdotool types lines into the memo and
// clicks the button, whose handler reads them back; a screenshot is written for a look.
#include <memory>
#include <vector>

#include "platform/gdi/BmpFile.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/classlib/WindowPump.h"
#include "platform/win/DisplayBackend.h"
#include "platform/win/WindowImage.h"
#include "platform/win/Windows.h"
#include "platform/win/X11Backend.h"
#include "platform/x11/XvfbSupport.h"

namespace {

class StdCtrlsX11Test : public ::testing::Test {
protected:
  void SetUp() override {
    if (!ToolInstalled("Xvfb") || !ToolInstalled("xdotool")) GTEST_SKIP() << "Xvfb and xdotool are needed";
    FServer = std::make_unique<TXvfb>();
    ASSERT_FALSE(FServer->Display().empty()) << "Xvfb did not start";
    ResetWindowSystem();
    auto backend = std::make_unique<TX11Backend>(FServer->Display().c_str());
    FBackend = backend.get();
    SetDisplayBackend(std::move(backend));
    UseWindowSystemPump();
  }
  void TearDown() override {
    FForm.reset();
    Application().SetMessagePump({});
    ResetWindowSystem();
    SetDisplayBackend(nullptr);
    FServer.reset();
  }
  std::function<void()> Pumper() {
    return [] { Application().ProcessMessages(); };
  }
  // Asks the server, as another client, whether the form's window is on the screen.
  bool Viewable() { return !Tool("xdotool search --onlyvisible --name 'Quorvex controls'").empty(); }
  std::string Tool(const std::string& cmd) { return FServer->Run(cmd, Pumper()); }
  std::string At(TControl* c, int x, int y) {
    TPoint p = c->ClientToScreen(TPoint{x, y});
    return std::to_string(p.X) + " " + std::to_string(p.Y);
  }

  std::unique_ptr<TXvfb> FServer;
  TX11Backend* FBackend = nullptr;
  std::unique_ptr<TForm> FForm;
};

TEST_F(StdCtrlsX11Test, TypedLinesReachTheButtonsHandler) {
  FForm = std::make_unique<TForm>(nullptr);
  FForm->SetCaption("Quorvex controls");
  FForm->SetBounds(60, 40, 360, 240);
  FForm->SetColor(clBtnFace);
  auto* group = new TGroupBox(FForm.get());
  group->SetParent(FForm.get());
  group->SetBounds(8, 8, 160, 190);
  group->SetCaption("Airline Plates");
  auto* memo = new TMemo(FForm.get());
  memo->SetParent(group);
  memo->SetAlign(alClient);
  memo->SetScrollBars(ssVertical);
  auto* split = new TButton(FForm.get());
  split->SetParent(FForm.get());
  split->SetBounds(190, 16, 75, 25);
  split->SetCaption("Split");
  std::vector<AnsiString> seen;
  split->OnClick = [&](TObject*) {
    for (int i = 0; i < memo->Lines().Count(); ++i) seen.push_back(memo->Lines()[i]);
  };
  FForm->Show();
  ASSERT_TRUE(PumpUntil([&] { return Viewable(); }, Pumper()));

  Tool("xdotool mousemove --sync " + At(memo, 20, 10) + " click 1");
  ASSERT_TRUE(PumpUntil([&] { return memo->Focused(); }, Pumper()));
  Tool("xdotool type --delay 30 220");
  Tool("xdotool key Return");
  Tool("xdotool type --delay 30 125");
  ASSERT_TRUE(PumpUntil([&] { return memo->Text() == "220\r\n125"; }, Pumper())) << memo->Text();
  Tool("xdotool mousemove --sync " + At(split, 30, 12) + " click 1");
  ASSERT_TRUE(PumpUntil([&] { return !seen.empty(); }, Pumper()));
  EXPECT_EQ(seen, (std::vector<AnsiString>{"220", "125"}));

  Application().ProcessMessages();
  SavePngFile(GetWindowImage(FForm->Handle()), QUORVEX_BINARY_DIR "/stdctrls-x11.png");
}

TEST_F(StdCtrlsX11Test, DropDownListOpensOverTheFormAndTakesAClick) {
  FForm = std::make_unique<TForm>(nullptr);
  FForm->SetCaption("Quorvex controls");
  FForm->SetBounds(60, 40, 300, 200);
  auto* combo = new TComboBox(FForm.get());
  combo->SetParent(FForm.get());
  combo->SetBounds(10, 10, 150, 21);
  combo->SetStyle(csDropDownList);
  for (const char* s : {"Zip Files", "any file", "HOT files"}) combo->Items().Add(s);
  combo->SetItemIndex(0);
  FForm->Show();
  ASSERT_TRUE(PumpUntil([&] { return Viewable(); }, Pumper()));

  Tool("xdotool mousemove --sync " + At(combo, 140, 10) + " click 1");
  ASSERT_TRUE(PumpUntil([&] { return combo->DroppedDown(); }, Pumper()));
  TRect list = GetWindowRect(combo->ListWindow());
  int row = (list.Height() - 2) / 3;
  TPoint third{list.Left + 20, list.Top + 1 + 2 * row + row / 2};
  Tool("xdotool mousemove --sync " + std::to_string(third.X) + " " + std::to_string(third.Y) + " click 1");
  ASSERT_TRUE(PumpUntil([&] { return !combo->DroppedDown(); }, Pumper()));
  EXPECT_EQ(combo->Text(), "HOT files");
}

}  // namespace

// A memo, a group box and a button on a real X display: xdotool types lines into the memo and
// clicks the button, whose handler reads them back; a screenshot is written for a look.
#include <memory>
#include <vector>

#include "platform/gdi/BmpFile.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/win/WindowImage.h"
#include "platform/win/Windows.h"
#include "platform/x11/FormX11Fixture.h"

namespace {

class StdCtrlsX11Test : public TFormX11Test<> {
protected:
  StdCtrlsX11Test() : TFormX11Test({"xdotool"}) {}
  // Asks the server, as another client, whether the form's window is on the screen.
  bool Viewable() { return Shown("Quorvex controls"); }
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

  Click(At(memo, 20, 10));
  ASSERT_TRUE(PumpUntil([&] { return memo->Focused(); }, Pumper()));
  Tool("xdotool type --delay 30 220");
  Tool("xdotool key Return");
  Tool("xdotool type --delay 30 125");
  ASSERT_TRUE(PumpUntil([&] { return memo->Text() == "220\r\n125"; }, Pumper())) << memo->Text();
  Click(At(split, 30, 12));
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

  Click(At(combo, 140, 10));
  ASSERT_TRUE(PumpUntil([&] { return combo->DroppedDown(); }, Pumper()));
  TRect list = GetWindowRect(combo->ListWindow());
  int row = (list.Height() - 2) / 3;
  TPoint third{list.Left + 20, list.Top + 1 + 2 * row + row / 2};
  Click(At(third));
  ASSERT_TRUE(PumpUntil([&] { return !combo->DroppedDown(); }, Pumper()));
  EXPECT_EQ(combo->Text(), "HOT files");
}

}  // namespace

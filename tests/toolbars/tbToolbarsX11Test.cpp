// The toolbar on a real X display under Xvfb, driven with xdotool: a button clicked, the toolbar
// dragged off its dock into an X window of its own, resized there and docked again. Screenshots
// of each step are written to build/screenshots for a look.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/classlib/Forms.h"
#include "platform/win/PaintContext.h"
#include "platform/win/WindowImage.h"
#include "platform/win/Windows.h"
#include "platform/x11/FormX11Fixture.h"
#include "toolbars/tbDock.h"
#include "toolbars/tbToolbar.h"
#include "toolbars/tbToolbarButton.h"

namespace {

class ToolbarsX11Test : public TFormX11Test<> {
protected:
  ToolbarsX11Test() : TFormX11Test({"xdotool"}) {}
  void SetUp() override {
    TFormX11Test::SetUp();
    if (!Ready()) return;
    UseGdiDeviceContexts();
    std::filesystem::create_directories(QUORVEX_BINARY_DIR "/screenshots");
  }
  // Runs xdotool commands in one go, so the button stays held while the loops pump.
  void Xdotool(const std::string& args) { Tool("xdotool " + args); }
  static std::string Press(TPoint from, std::initializer_list<TPoint> path) {
    std::string s = "mousemove --sync " + At(from) + " mousedown 1 sleep 0.2";
    for (TPoint p : path) s += " mousemove --sync " + At(p) + " sleep 0.2";
    return s + " mouseup 1 sleep 0.2";
  }
  void Shot(HWND h, const char* name) {
    Pump();
    SaveWindowPng(h, AnsiString(QUORVEX_BINARY_DIR "/screenshots/") + name);
  }
};

// A glyph of a green square on a see-through fuchsia ground.
void GreenGlyph(TtbToolbarButton* b) {
  TBitmap g;
  g.SetSize(16, 16);
  g.Image()->Fill(clFuchsia);
  for (int y = 3; y < 13; ++y)
    for (int x = 3; x < 13; ++x) g.Image()->SetPixel(x, y, clGreen);
  b->SetGlyph(&g);
}

TEST_F(ToolbarsX11Test, ClickDragOffResizeAndDockAgain) {
  FForm = std::make_unique<TForm>(nullptr);
  FForm->SetBounds(60, 60, 420, 220);
  FForm->SetCaption("Toolbars");
  auto* dock = new TtbDock(FForm.get());
  dock->SetParent(FForm.get());
  dock->SetBoundLines(ablTop | ablBottom);
  auto* bar = new TtbToolbar(FForm.get());
  bar->SetCaption("Tools");
  bar->SetParent(dock);
  int clicks = 0;
  for (int i = 0; i < 4; ++i) {
    auto* b = new TtbToolbarButton(FForm.get());
    b->SetBounds(i * 60, 0, i == 0 ? 60 : 23, 22);
    b->SetParent(bar);
    GreenGlyph(b);
    if (i == 0) {
      b->SetCaption("Split");
      b->OnClick = [&](TObject*) { ++clicks; };
    }
  }
  FForm->Show();
  ASSERT_TRUE(PumpUntil([&] { return Viewable(FForm->Handle()); }, Pumper()));
  SetActiveWindow(FForm->Handle());
  Pump();
  ASSERT_EQ(26 + 2, dock->Height());

  // The button.
  auto* split = dynamic_cast<TtbToolbarButton*>(bar->Controls(0));
  Xdotool("mousemove --sync " + At(split->ClientToScreen(TPoint{30, 11})) + " click 1 sleep 0.2");
  ASSERT_TRUE(PumpUntil([&] { return clicks == 1; }, Pumper()));
  Shot(FForm->Handle(), "toolbars-docked.png");

  // Off the dock: a window of its own on the X server.
  const TPoint handle = bar->ClientToScreen(TPoint{-4, 11});
  Xdotool(Press(handle, {{handle.X + 20, handle.Y + 60}, {handle.X + 60, handle.Y + 160}}));
  ASSERT_TRUE(PumpUntil([&] { return bar->Floating(); }, Pumper()));
  ASSERT_TRUE(PumpUntil([&] { return Viewable(bar->Handle()); }, Pumper()));
  EXPECT_NE(FBackend->XWindowOf(bar->Handle()), FBackend->XWindowOf(FForm->Handle()));
  EXPECT_EQ(0, dock->Height() - 2) << "only the bound lines are left";
  TRect floating = GetWindowRect(bar->Handle());
  EXPECT_GT(floating.Top, handle.Y + 100);
  Shot(bar->Handle(), "toolbars-floating.png");

  // Narrower by its right border: the buttons wrap into more rows.
  const TPoint edge{floating.Right - 2, floating.Bottom - 8};
  Xdotool(Press(edge, {{edge.X - 60, edge.Y}, {edge.X - 110, edge.Y}}));
  ASSERT_TRUE(PumpUntil([&] { return GetWindowRect(bar->Handle()).Width() < floating.Width(); }, Pumper()));
  TRect resized = GetWindowRect(bar->Handle());
  EXPECT_GT(resized.Height(), floating.Height());
  EXPECT_NE(0, bar->FloatRightX());
  Shot(bar->Handle(), "toolbars-resized.png");

  // Back by its caption onto the dock's edge.
  const TPoint caption{resized.Left + 12, resized.Top + 10};
  Xdotool(Press(caption, {{caption.X, caption.Y - 60}, dock->ClientToScreen(TPoint{40, 0})}));
  ASSERT_TRUE(PumpUntil([&] { return bar->DockedTo() == dock; }, Pumper()));
  EXPECT_EQ(26 + 2, dock->Height());
  EXPECT_EQ(0u, FBackend->XWindowOf(bar->Handle())) << "a child again, drawn in the form's window";
  Shot(FForm->Handle(), "toolbars-docked-again.png");
  EXPECT_EQ(1, clicks);
}

}  // namespace

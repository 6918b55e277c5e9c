// Moving and sizing a window by its own caption and frame on the headless display: the loop
// follows injected pointer moves, keeps a window's own minimum, and Escape puts the window back.
#include "platform/win/WinTestSupport.h"

namespace {

class MoveSizeTest : public WinTest {
protected:
  void SetUp() override {
    WinTest::SetUp();
    // The loop takes over once it has the capture: from then on injected moves reach the window.
    OnMsg = [this](HWND, UINT m, WPARAM, LPARAM l, LRESULT&) {
      if (m == WM_ENTERSIZEMOVE && Steps) Steps();
      if (m == WM_WINDOWPOSCHANGING && MinSize.X) {
        auto* pos = reinterpret_cast<TWindowPos*>(l);
        pos->cx = std::max(pos->cx, MinSize.X);
        pos->cy = std::max(pos->cy, MinSize.Y);
      }
      if (m == WM_USER) ReleaseCapture();
      return false;
    };
  }
  HWND Shown(uint32_t style) {
    HWND h = CreateWindowEx(0, "Rec", "Caption", style, 100, 100, 200, 150, 0);
    ShowWindow(h, SW_SHOW);
    Pump();
    return h;
  }
  // Presses at from, moves through to and lets go there (or presses Escape instead).
  void Drag(TPoint from, TPoint to, bool escape = false) {
    Steps = [=] {
      InjectMouseMove((from.X + to.X) / 2, (from.Y + to.Y) / 2);
      InjectMouseMove(to.X, to.Y);
      if (escape) InjectKeyPress(VK_ESCAPE);
      else InjectMouseUp(TMouseButton::Left, to.X, to.Y);
    };
    InjectMouseDown(TMouseButton::Left, from.X, from.Y);
    Pump();
    Steps = nullptr;
  }

  std::function<void()> Steps;
  TPoint MinSize;
};

TEST_F(MoveSizeTest, CaptionDragMovesByThePointersDelta) {
  HWND h = Shown(WS_OVERLAPPEDWINDOW);
  Only = {WM_ENTERSIZEMOVE, WM_EXITSIZEMOVE};
  TPoint caption{160, 110};
  ASSERT_EQ(HTCAPTION, SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(caption.X, caption.Y)));
  Drag(caption, TPoint{230, 60});
  EXPECT_EQ(TRect(170, 50, 370, 200), GetWindowRect(h));
  EXPECT_EQ((std::vector<UINT>{WM_ENTERSIZEMOVE, WM_EXITSIZEMOVE}), Msgs());
  EXPECT_EQ(0u, GetCapture());
}

struct TSizeCase {
  const char* Name;
  TPoint From, To;
  TRect Expected;
};

TEST_F(MoveSizeTest, EdgesAndCornersSizeKeepingTheMinimum) {
  const TSizeCase cases[] = {
      {"bottom-right", {299, 249}, {339, 279}, {100, 100, 340, 280}},
      {"left", {100, 180}, {60, 180}, {60, 100, 300, 250}},
      {"top-left", {100, 100}, {130, 120}, {130, 120, 300, 250}},
      // The window keeps at least 150 x 100: the right and bottom edges stay put.
      {"top-left past the minimum", {100, 100}, {250, 240}, {150, 150, 300, 250}},
      {"bottom-right past the minimum", {299, 249}, {120, 120}, {100, 100, 250, 200}},
  };
  MinSize = TPoint{150, 100};
  for (const TSizeCase& c : cases) {
    SCOPED_TRACE(c.Name);
    HWND h = Shown(WS_OVERLAPPEDWINDOW);
    Drag(c.From, c.To);
    EXPECT_EQ(c.Expected, GetWindowRect(h));
    DestroyWindow(h);
    Pump();
  }
}

TEST_F(MoveSizeTest, EscapePutsTheWindowBack) {
  HWND h = Shown(WS_OVERLAPPEDWINDOW);
  Drag(TPoint{299, 249}, TPoint{400, 400}, true);
  EXPECT_EQ(TRect(100, 100, 300, 250), GetWindowRect(h));
  Drag(TPoint{160, 110}, TPoint{10, 10}, true);
  EXPECT_EQ(TRect(100, 100, 300, 250), GetWindowRect(h));
  EXPECT_EQ(0u, GetCapture());
}

TEST_F(MoveSizeTest, WindowWithoutSizingFrameOnlyMoves) {
  HWND h = Shown(WS_CAPTION | WS_SYSMENU);
  Drag(TPoint{299, 249}, TPoint{350, 300});
  EXPECT_EQ(TRect(100, 100, 300, 250), GetWindowRect(h));
  // Sent hit codes do not size it either.
  SendMessage(h, WM_NCLBUTTONDOWN, HTBOTTOMRIGHT, MAKELPARAM(299, 249));
  EXPECT_EQ(TRect(100, 100, 300, 250), GetWindowRect(h));
  Drag(TPoint{160, 110}, TPoint{170, 130});
  EXPECT_EQ(TRect(110, 120, 310, 270), GetWindowRect(h));
}

TEST_F(MoveSizeTest, LoopEndsWhenTheWindowGoesOrLosesCapture) {
  HWND h = Shown(WS_OVERLAPPEDWINDOW);
  // Destroyed by a message the loop dispatches.
  Steps = [&] {
    PostMessage(h, WM_CLOSE);
    InjectMouseMove(200, 200);
  };
  InjectMouseDown(TMouseButton::Left, 160, 110);
  Pump();
  EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(0u, GetCapture());

  HWND g = Shown(WS_OVERLAPPEDWINDOW);
  Only = {WM_EXITSIZEMOVE};
  Steps = [&] { PostMessage(g, WM_USER); };
  InjectMouseDown(TMouseButton::Left, 160, 110);
  Pump();
  EXPECT_EQ((std::vector<UINT>{WM_EXITSIZEMOVE}), Msgs());
  EXPECT_EQ(TRect(100, 100, 300, 250), GetWindowRect(g));
  EXPECT_EQ(0u, GetCapture());
}

TEST_F(MoveSizeTest, CaptionDoubleClickMaximisesAndRestores) {
  HWND h = Shown(WS_OVERLAPPEDWINDOW);
  SendMessage(h, WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(160, 110));
  EXPECT_TRUE(IsZoomed(h));
  SendMessage(h, WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(160, 110));
  EXPECT_FALSE(IsZoomed(h));
  EXPECT_EQ(TRect(100, 100, 300, 250), GetWindowRect(h));
  // Dragging a maximised window's caption leaves it in place.
  ShowWindow(h, SW_MAXIMIZE);
  TRect max = GetWindowRect(h);
  Drag(TPoint{160, 10}, TPoint{300, 200});
  EXPECT_EQ(max, GetWindowRect(h));

  // Two clicks on the caption from the mouse make the double click, without CS_DBLCLKS.
  ShowWindow(h, SW_RESTORE);
  Pump();
  for (int i = 0; i < 2; ++i) {
    Drag(TPoint{160, 110}, TPoint{160, 110});
  }
  EXPECT_TRUE(IsZoomed(h));

  HWND fixed = Shown(WS_CAPTION | WS_SYSMENU);
  SendMessage(fixed, WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(160, 110));
  EXPECT_FALSE(IsZoomed(fixed));
}

}  // namespace

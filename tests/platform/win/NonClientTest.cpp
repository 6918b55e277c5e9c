// The frame and caption DefWindowProc paints: edges by style, the caption in the activation
// state, the small caption of tool windows, caption buttons where the hit test finds them, and
// their clicks.
#include <unistd.h>

#include <filesystem>

#include "platform/gdi/SystemMetrics.h"
#include "platform/win/NonClient.h"
#include "platform/win/WindowImage.h"
#include "platform/win/WinTestSupport.h"

namespace {

constexpr TColorRef Navy = 0x800000, Grey = 0x808080, Silver = 0xC0C0C0, White = 0xFFFFFF, Black = 0;
constexpr TColorRef Light = 0xDFDFDF, ClientBlue = 0xFF0000;

class NonClientTest : public WinTest, public ::testing::WithParamInterface<bool> {
protected:
  void SetUp() override {
    WinTest::SetUp();
    // Both kinds of device context: the built-in recording ones and the drawing layer's.
    if (GetParam()) UseGdiDeviceContexts();
  }
  HWND Shown(uint32_t ex, uint32_t style, int x = 100, int y = 100, int w = 200, int h = 150) {
    HWND hwnd = CreateWindowEx(ex, "Rec", "Caption text", style, x, y, w, h, 0);
    ShowWindow(hwnd, SW_SHOW);
    Pump();
    return hwnd;
  }
  static TColorRef At(HWND h, int x, int y) { return GetWindowImage(h).Pixel(x, y); }
  // The window-relative rectangle whose points hit-test as code (empty if none).
  static TRect HitArea(HWND h, int code) {
    TRect wr = GetWindowRect(h), found;
    for (int y = wr.Top; y < wr.Bottom; ++y)
      for (int x = wr.Left; x < wr.Right; ++x)
        if (SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == code)
          found = UnionRect(found, Rect(x - wr.Left, y - wr.Top, x - wr.Left + 1, y - wr.Top + 1));
    return found;
  }
  static TPoint ScreenCentre(HWND h, const TRect& inWindow) {
    TRect wr = GetWindowRect(h);
    return Point(wr.Left + (inWindow.Left + inWindow.Right) / 2, wr.Top + (inWindow.Top + inWindow.Bottom) / 2);
  }
};

}  // namespace

TEST_P(NonClientTest, ThickFrameHasRaisedEdgesAndTheActiveCaption) {
  HWND h = Shown(0, WS_OVERLAPPEDWINDOW);
  ASSERT_EQ(h, GetActiveWindow());
  TGdiBitmap img = GetWindowImage(h);
  EXPECT_EQ(Light, img.Pixel(0, 50)) << "outer raised edge, left";
  EXPECT_EQ(White, img.Pixel(1, 50)) << "inner raised edge, left";
  EXPECT_EQ(Silver, img.Pixel(2, 50)) << "the sizing band";
  EXPECT_EQ(Silver, img.Pixel(3, 50));
  EXPECT_EQ(Black, img.Pixel(199, 50)) << "outer raised edge, right";
  EXPECT_EQ(Grey, img.Pixel(198, 50)) << "inner raised edge, right";
  EXPECT_EQ(Black, img.Pixel(100, 149));
  EXPECT_EQ(Grey, img.Pixel(100, 148));
  EXPECT_EQ(Light, img.Pixel(100, 0));
  int captionRows = GetSystemMetrics(SM_CYCAPTION) - 1;
  EXPECT_EQ(Navy, img.Pixel(120, 4)) << "caption, first row";
  EXPECT_EQ(Navy, img.Pixel(120, 4 + captionRows - 1)) << "caption, last row";
  EXPECT_EQ(Silver, img.Pixel(120, 4 + captionRows)) << "the line below the caption";
  EXPECT_EQ(ClientBlue, img.Pixel(120, 4 + captionRows + 1)) << "the client area is left alone";
  int textPixels = 0;
  for (int y = 4; y < 4 + captionRows; ++y)
    for (int x = 4; x < 100; ++x) textPixels += img.Pixel(x, y) == White;
  EXPECT_GT(textPixels, 20) << "the window text in the caption text colour";

  auto dir = std::filesystem::temp_directory_path() / ("nonclient_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  AnsiString file = (dir / "frame.png").string();
  SaveWindowPng(h, file);
  EXPECT_GT(std::filesystem::file_size(file), 100u);
  std::filesystem::remove_all(dir);
}

TEST_P(NonClientTest, CaptionFollowsActivation) {
  HWND a = Shown(0, WS_OVERLAPPEDWINDOW);
  HWND b = Shown(0, WS_OVERLAPPEDWINDOW, 350, 100);
  ASSERT_EQ(b, GetActiveWindow());
  EXPECT_EQ(Grey, At(a, 120, 10)) << "the window that lost activation";
  EXPECT_EQ(Navy, At(b, 120, 10));
  SetActiveWindow(a);
  EXPECT_EQ(Navy, At(a, 120, 10));
  EXPECT_EQ(Grey, At(b, 120, 10));
  // An application may keep a caption looking active; DefWindowProc agrees to every change.
  EXPECT_EQ(1, SendMessage(b, WM_NCACTIVATE, 1, 0));
  EXPECT_EQ(Navy, At(b, 120, 10));
  SetWindowText(a, "");
  for (int x = 6; x < 60; ++x) ASSERT_EQ(Navy, At(a, x, 12)) << "a cleared caption text is gone at " << x;
}

TEST_P(NonClientTest, ToolWindowHasTheSmallCaption) {
  HWND t = Shown(WS_EX_TOOLWINDOW, WS_POPUP | WS_CAPTION | WS_SYSMENU);
  int rows = GetSystemMetrics(SM_CYSMCAPTION) - 1, frame = GetSystemMetrics(SM_CXDLGFRAME);
  EXPECT_EQ(150 - 2 * frame - rows - 1, GetClientRect(t).Height());
  EXPECT_EQ(Light, At(t, 0, 50));
  EXPECT_EQ(Silver, At(t, 2, 50)) << "a dialog frame: edge and one line of face";
  EXPECT_EQ(Navy, At(t, 120, frame + rows - 1));
  EXPECT_EQ(Silver, At(t, 120, frame + rows));
  EXPECT_EQ(ClientBlue, At(t, 120, frame + rows + 1));
  TRect close = HitArea(t, HTCLOSE);
  EXPECT_EQ(GetSystemMetrics(SM_CXSMSIZE) - 2, close.Width());
  EXPECT_TRUE(HitArea(t, HTMAXBUTTON).IsEmpty()) << "tool windows have only the close button";
}

TEST_P(NonClientTest, ButtonsAreDrawnExactlyWhereTheyHitTest) {
  struct TCase {
    uint32_t Ex, Style;
    bool MinMax;
  } cases[] = {{0, WS_OVERLAPPEDWINDOW, true},
               {WS_EX_DLGMODALFRAME, WS_POPUP | WS_CAPTION | WS_SYSMENU, false},
               {WS_EX_TOOLWINDOW | WS_EX_CLIENTEDGE, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, false}};
  for (const TCase& c : cases) {
    HWND h = Shown(c.Ex, c.Style);
    TGdiBitmap img = GetWindowImage(h);
    TRect wr = GetWindowRect(h);
    TNonClientLayout l = NonClientLayout(c.Style, c.Ex, wr.Width(), wr.Height());
    EXPECT_EQ(l.Close, HitArea(h, HTCLOSE)) << c.Style;
    EXPECT_EQ(c.MinMax, !HitArea(h, HTMAXBUTTON).IsEmpty());
    EXPECT_EQ(c.MinMax, !HitArea(h, HTMINBUTTON).IsEmpty());
    TRect ring{l.Close.Left - 1, l.Close.Top - 1, l.Close.Right + 1, l.Close.Bottom + 1};
    for (int y = ring.Top; y < ring.Bottom; ++y)
      for (int x = ring.Left; x < ring.Right; ++x) {
        bool inside = l.Close.Contains(x, y);
        EXPECT_EQ(!inside, img.Pixel(x, y) == Navy) << c.Style << " at " << x << "," << y;
      }
    DestroyWindow(h);
  }
}

TEST_P(NonClientTest, ClickingTheCloseButtonClosesTheWindow) {
  HWND h = Shown(0, WS_OVERLAPPEDWINDOW);
  Only = {WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY};
  TPoint p = ScreenCentre(h, HitArea(h, HTCLOSE));
  InjectClick(TMouseButton::Left, p.X, p.Y);
  Pump();
  ASSERT_EQ((std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}), Msgs());
  EXPECT_EQ(WPARAM(SC_CLOSE), Log[0].W);
  EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(0u, GetCapture());
}

TEST_P(NonClientTest, HeldButtonLooksPushedAndLeavingItCancels) {
  HWND h = Shown(0, WS_OVERLAPPEDWINDOW);
  Only = {WM_SYSCOMMAND};
  TRect close = HitArea(h, HTCLOSE);
  TPoint p = ScreenCentre(h, close);
  EXPECT_EQ(White, At(h, close.Left, close.Top)) << "raised";
  InjectMouseDown(TMouseButton::Left, p.X, p.Y);
  Pump();
  EXPECT_EQ(h, GetCapture());
  EXPECT_EQ(Grey, At(h, close.Left, close.Top)) << "sunken while held";
  InjectMouseMove(p.X - 60, p.Y + 40);
  Pump();
  EXPECT_EQ(White, At(h, close.Left, close.Top)) << "raised again off the button";
  InjectMouseUp(TMouseButton::Left, p.X - 60, p.Y + 40);
  Pump();
  EXPECT_TRUE(Log.empty()) << "released elsewhere: no command";
  EXPECT_TRUE(IsWindow(h));
  EXPECT_EQ(0u, GetCapture());

  // Capture taken away mid-press ends it too.
  InjectMouseDown(TMouseButton::Left, p.X, p.Y);
  Pump();
  ReleaseCapture();
  EXPECT_EQ(White, At(h, close.Left, close.Top));
  InjectMouseUp(TMouseButton::Left, p.X, p.Y);
  Pump();
  EXPECT_TRUE(Log.empty());
}

TEST_P(NonClientTest, MinimizeAndMaximizeButtonsSendTheirCommands) {
  HWND h = Shown(0, WS_OVERLAPPEDWINDOW);
  Only = {WM_SYSCOMMAND};
  auto click = [&](int code) {
    TPoint p = ScreenCentre(h, HitArea(h, code));
    InjectClick(TMouseButton::Left, p.X, p.Y);
    Pump();
  };
  click(HTMAXBUTTON);
  EXPECT_TRUE(IsZoomed(h));
  click(HTMAXBUTTON);
  EXPECT_FALSE(IsZoomed(h)) << "the maximise button restores a maximised window";
  click(HTMINBUTTON);
  EXPECT_TRUE(IsIconic(h));
  TRect wr = GetWindowRect(h);
  EXPECT_EQ(Black, At(h, 80, wr.Height() - 1)) << "a minimised window keeps its bottom frame";
  EXPECT_EQ(Grey, At(h, 80, 6)) << "and its caption, inactive now";
  click(HTMINBUTTON);
  EXPECT_FALSE(IsIconic(h)) << "the minimise button restores a minimised window";
  std::vector<WPARAM> got;
  for (auto& l : Log) got.push_back(l.W);
  EXPECT_EQ((std::vector<WPARAM>{SC_MAXIMIZE, SC_RESTORE, SC_MINIMIZE, SC_RESTORE}), got);

  // A button the style leaves out is drawn disabled and does nothing.
  HWND d = Shown(0, WS_OVERLAPPEDWINDOW & ~WS_MAXIMIZEBOX, 400, 300);
  Log.clear();
  TPoint p = ScreenCentre(d, HitArea(d, HTMAXBUTTON));
  InjectClick(TMouseButton::Left, p.X, p.Y);
  Pump();
  EXPECT_TRUE(Log.empty());
  EXPECT_FALSE(IsZoomed(d));
}

TEST_P(NonClientTest, FramePaintingIsPresented) {
  HWND h = Shown(0, WS_OVERLAPPEDWINDOW);
  Pump();
  TWindowSurface* s = GetWindowSurface(h);
  ASSERT_NE(nullptr, s);
  s->Changed = TRect{};
  SendMessage(h, WM_NCACTIVATE, 0, 0);
  EXPECT_TRUE(s->Changed.Contains(0, 0)) << "the frame is marked for the display";
  EXPECT_TRUE(s->Changed.Contains(120, 10));
}

TEST_P(NonClientTest, BordersAndEdgesByStyle) {
  HWND border = Shown(0, WS_POPUP | WS_BORDER);
  EXPECT_EQ(Black, At(border, 0, 50));
  EXPECT_EQ(Black, At(border, 199, 50));
  EXPECT_EQ(ClientBlue, At(border, 1, 50));
  HWND edged = Shown(WS_EX_CLIENTEDGE, WS_POPUP, 400, 100);
  EXPECT_EQ(Grey, At(edged, 0, 50)) << "sunken: shadow outside";
  EXPECT_EQ(Black, At(edged, 1, 50)) << "dark shadow inside";
  EXPECT_EQ(White, At(edged, 199, 50));
  EXPECT_EQ(Light, At(edged, 198, 50));
  EXPECT_EQ(ClientBlue, At(edged, 2, 50));
  HWND modal = Shown(WS_EX_DLGMODALFRAME, WS_POPUP, 400, 400);
  EXPECT_EQ(Light, At(modal, 0, 50)) << "a raised dialog frame without a caption";
  EXPECT_EQ(White, At(modal, 1, 50));
  EXPECT_EQ(Silver, At(modal, 2, 50));
  EXPECT_EQ(ClientBlue, At(modal, 3, 50));
  HWND statics = Shown(WS_EX_STATICEDGE, WS_POPUP, 700, 400);
  EXPECT_EQ(Grey, At(statics, 0, 50)) << "a static edge: one sunken line";
  EXPECT_EQ(White, At(statics, 199, 50));
  EXPECT_EQ(ClientBlue, At(statics, 1, 50));
  HWND plain = Shown(0, WS_POPUP, 100, 400);
  EXPECT_EQ(ClientBlue, At(plain, 0, 0)) << "no frame, nothing drawn";
}

INSTANTIATE_TEST_SUITE_P(Contexts, NonClientTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "DrawingLayer" : "BuiltIn"; });

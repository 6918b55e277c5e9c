#include "WinTestSupport.h"
#include "platform/win/WindowImage.h"

TEST_F(WinTest, CreationAndDestructionOrder) {
  Only = {WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_DESTROY, WM_NCDESTROY};
  HWND top = Top();
  HWND a = Child(top, 0, 0, 10, 10);
  HWND b = Child(a, 0, 0, 5, 5);
  EXPECT_EQ((std::vector<std::pair<HWND, UINT>>{{top, WM_NCCREATE}, {top, WM_NCCALCSIZE}, {top, WM_CREATE},
                                                 {a, WM_NCCREATE}, {a, WM_NCCALCSIZE}, {a, WM_CREATE},
                                                 {b, WM_NCCREATE}, {b, WM_NCCALCSIZE}, {b, WM_CREATE}}),
            Pairs());
  Log.clear();
  EXPECT_TRUE(DestroyWindow(top));
  EXPECT_EQ((std::vector<std::pair<HWND, UINT>>{{top, WM_DESTROY}, {a, WM_DESTROY}, {b, WM_DESTROY},
                                                 {b, WM_NCDESTROY}, {a, WM_NCDESTROY}, {top, WM_NCDESTROY}}),
            Pairs());
  EXPECT_FALSE(IsWindow(top));
  EXPECT_FALSE(IsWindow(b));
  EXPECT_EQ(0, SendMessage(top, WM_USER));
}

TEST_F(WinTest, CreateRefusedByProcedureLeavesNoWindow) {
  OnMsg = [](HWND, UINT m, WPARAM, LPARAM, LRESULT& r) {
    if (m == WM_CREATE) return r = -1, true;
    return false;
  };
  EXPECT_EQ(0u, Top());
  EXPECT_TRUE(GetChildWindows(0).empty());
  EXPECT_EQ(0u, CreateWindowEx(0, "Missing", "", 0, 0, 0, 1, 1, 0));
}

TEST_F(WinTest, OwnedWindowsDieBeforeOwner) {
  Only = {WM_DESTROY};
  HWND owner = Top();
  HWND owned = CreateWindowEx(0, "Rec", "", WS_POPUP, 0, 0, 10, 10, owner);
  EXPECT_EQ(owner, GetWindow(owned, GW_OWNER));
  EXPECT_EQ(owner, GetParent(owned));
  DestroyWindow(owner);
  EXPECT_EQ((std::vector<std::pair<HWND, UINT>>{{owned, WM_DESTROY}, {owner, WM_DESTROY}}), Pairs());
}

TEST_F(WinTest, BoundsWithFrameAndCaption) {
  struct TCase {
    uint32_t Style, Ex;
    TRect Insets;
  } cases[] = {
      {WS_OVERLAPPEDWINDOW, 0, {4, 23, 4, 4}},
      {WS_CAPTION | WS_SYSMENU, 0, {3, 22, 3, 3}},
      {WS_CAPTION, WS_EX_TOOLWINDOW, {3, 18, 3, 3}},
      {WS_POPUP | WS_BORDER, 0, {1, 1, 1, 1}},
      {WS_POPUP, WS_EX_CLIENTEDGE, {2, 2, 2, 2}},
      {WS_POPUP, 0, {0, 0, 0, 0}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.Style);
    HWND h = CreateWindowEx(c.Ex, "Rec", "", c.Style, 10, 20, 200, 100, 0);
    EXPECT_EQ(Rect(10, 20, 210, 120), GetWindowRect(h));
    EXPECT_EQ(Rect(0, 0, 200 - c.Insets.Left - c.Insets.Right, 100 - c.Insets.Top - c.Insets.Bottom),
              GetClientRect(h));
    EXPECT_EQ(Point(10 + c.Insets.Left, 20 + c.Insets.Top), ClientToScreen(h, Point(0, 0)));
    TRect r = Rect(0, 0, 50, 50);
    AdjustWindowRectEx(r, c.Style, c.Ex);
    EXPECT_EQ(Rect(-c.Insets.Left, -c.Insets.Top, 50 + c.Insets.Right, 50 + c.Insets.Bottom), r);
    DestroyWindow(h);
  }
}

TEST_F(WinTest, ChildCoordinatesAndHitTests) {
  HWND top = Top(100, 100, 208, 177);  // client 200 x 150 at 104,123
  HWND kid = Child(top, 10, 20, 50, 40);
  EXPECT_EQ(Rect(114, 143, 164, 183), GetWindowRect(kid));
  EXPECT_EQ(Point(4, 3), ScreenToClient(kid, Point(118, 146)));
  ShowWindow(top, SW_SHOW);
  EXPECT_EQ(kid, WindowFromPoint(Point(120, 150)));
  EXPECT_EQ(top, WindowFromPoint(Point(200, 200)));
  struct THit {
    int X, Y;
    LRESULT Code;
  } hits[] = {{150, 110, HTCAPTION}, {101, 101, HTTOPLEFT}, {306, 200, HTRIGHT}, {200, 275, HTBOTTOM},
              {200, 200, HTCLIENT},  {50, 50, HTNOWHERE},   {300, 110, HTCLOSE}};
  for (auto& h : hits) EXPECT_EQ(h.Code, SendMessage(top, WM_NCHITTEST, 0, MAKELPARAM(h.X, h.Y))) << h.X << "," << h.Y;
}

TEST_F(WinTest, ZOrderAndTopmost) {
  HWND a = Top();
  HWND b = Top();
  HWND t = CreateWindowEx(WS_EX_TOPMOST, "Rec", "", WS_POPUP, 0, 0, 10, 10, 0);
  HWND c = Top();
  EXPECT_EQ((std::vector<HWND>{t, c, b, a}), GetChildWindows(0));
  SetWindowPos(a, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ((std::vector<HWND>{t, a, c, b}), GetChildWindows(0));
  SetWindowPos(b, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ((std::vector<HWND>{b, t, a, c}), GetChildWindows(0));
  SetWindowPos(b, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ((std::vector<HWND>{t, b, a, c}), GetChildWindows(0));
  SetWindowPos(t, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(t, GetChildWindows(0).front()) << "a topmost window stays above the others";
  HWND k1 = Child(a, 0, 0, 1, 1), k2 = Child(a, 0, 0, 1, 1);
  EXPECT_EQ(k2, GetWindow(a, GW_CHILD));
  EXPECT_EQ(k1, GetWindow(k2, GW_HWNDNEXT));
  SetWindowPos(k2, k1, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ((std::vector<HWND>{k1, k2}), GetChildWindows(a));
}

// A form brought forward takes what it owns along, as the screen shows them: a pop-up it owns stays
// over it and gets the mouse there.
TEST_F(WinTest, OwnedWindowsStayAboveTheirOwner) {
  HWND form = Top(0, 0, 200, 150, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  HWND tool = CreateWindowEx(WS_EX_TOOLWINDOW, "Rec", "", WS_POPUP | WS_VISIBLE, 20, 20, 30, 30, form);
  HWND other = Top();
  HWND dialog = CreateWindowEx(0, "Rec", "", WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0, 200, 200, form);
  EXPECT_EQ((std::vector<HWND>{dialog, other, tool, form}), GetChildWindows(0));
  SetActiveWindow(form);
  EXPECT_EQ((std::vector<HWND>{dialog, tool, form, other}), GetChildWindows(0));
  ShowWindow(dialog, SW_HIDE);
  SetActiveWindow(form);
  EXPECT_EQ(tool, WindowFromPoint(TPoint{25, 25}));
  SetWindowPos(tool, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_EQ(tool, GetWindow(form, GW_HWNDPREV)) << "no lower than its owner";
  // Owned later, it comes over its new owner at once.
  SetWindowLongPtr(other, GWL_HWNDPARENT, static_cast<intptr_t>(form));
  SetWindowPos(form, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_EQ(form, GetChildWindows(0).back());
}

// A child still reaching past its parent's shrunk client area (its own move comes later, after
// WM_SIZE) does not keep the parent's new frame from being drawn.
TEST_F(WinTest, AShrunkWindowDrawsItsWholeFrameOverChildrenNotMovedYet) {
  HWND top = Top(0, 0, 300, 200, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE);
  const TRect client = GetClientRect(top);
  HWND child = Child(top, 0, 0, client.Width(), client.Height());
  UpdateWindow(top);
  UpdateWindow(child);
  SetWindowPos(top, 0, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  const TGdiBitmap image = GetWindowImage(top);
  const TColorRef childColour = 0x00FF0000;
  ASSERT_EQ(childColour, image.Pixel(50, 50));
  for (int y = 40; y < 140; y += 10) EXPECT_NE(childColour, image.Pixel(199, y)) << "right edge at " << y;
  for (int x = 10; x < 190; x += 10) EXPECT_NE(childColour, image.Pixel(x, 149)) << "bottom edge at " << x;
}

TEST_F(WinTest, TextStylesAndSubclassing) {
  HWND h = Top();
  EXPECT_EQ("top", GetWindowText(h));
  SetWindowText(h, "Caption \xE9");
  EXPECT_EQ("Caption \xE9", GetWindowText(h));
  SetWindowLongPtr(h, GWL_EXSTYLE, WS_EX_TOOLWINDOW);
  EXPECT_EQ(intptr_t(WS_EX_TOOLWINDOW), GetWindowLongPtr(h, GWL_EXSTYLE));
  std::vector<UINT> seen;
  WNDPROC old = GetWindowProc(h);
  SetWindowProc(h, [&](HWND w, UINT m, WPARAM wp, LPARAM lp) {
    seen.push_back(m);
    return CallWindowProc(old, w, m, wp, lp);
  });
  Only = {WM_USER + 1};
  SendMessage(h, WM_USER + 1);
  EXPECT_EQ(std::vector<UINT>{WM_USER + 1}, seen);
  EXPECT_EQ(std::vector<UINT>{WM_USER + 1}, Msgs());
  EXPECT_FALSE(EnableWindow(h, false));
  EXPECT_FALSE(IsWindowEnabled(h));
  EXPECT_TRUE(EnableWindow(h, true));
}

TEST_F(WinTest, SetWindowPosMessagesAndShow) {
  HWND h = Top(0, 0, 100, 100);
  Only = {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE, WM_SHOWWINDOW};
  MoveWindow(h, 10, 10, 100, 100);
  EXPECT_EQ((std::vector<UINT>{WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE}), Msgs());
  Log.clear();
  MoveWindow(h, 10, 10, 120, 100);
  EXPECT_EQ((std::vector<UINT>{WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_SIZE}), Msgs());
  EXPECT_EQ(MAKELPARAM(112, 73), Log.back().L);
  // A changing handler may alter the position.
  OnMsg = [](HWND, UINT m, WPARAM, LPARAM l, LRESULT&) {
    if (m == WM_WINDOWPOSCHANGING) reinterpret_cast<TWindowPos*>(l)->cx = 50;
    return false;
  };
  MoveWindow(h, 0, 0, 300, 300);
  EXPECT_EQ(50, GetWindowRect(h).Width());
  OnMsg = nullptr;
  Log.clear();
  EXPECT_FALSE(ShowWindow(h, SW_SHOW));
  EXPECT_TRUE(IsWindowVisible(h));
  EXPECT_EQ(WM_SHOWWINDOW, Msgs().front());
  EXPECT_TRUE(ShowWindow(h, SW_HIDE));
  EXPECT_FALSE(IsWindowVisible(h));
  ShowWindow(h, SW_SHOWMAXIMIZED);
  EXPECT_TRUE(IsZoomed(h));
  EXPECT_EQ(GetWorkArea(), GetWindowRect(h));
  ShowWindow(h, SW_RESTORE);
  EXPECT_EQ(Rect(0, 0, 50, 300), GetWindowRect(h));
}

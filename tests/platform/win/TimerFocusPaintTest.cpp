#include "WinTestSupport.h"

TEST_F(WinTest, TimersTickOnTheFakeClockWithoutPilingUp) {
  TFakeClock clock(1000);
  HWND h = Top();
  Only = {WM_TIMER};
  EXPECT_EQ(5u, SetTimer(h, 5, 100));
  Pump();
  EXPECT_TRUE(Log.empty());
  clock.Advance(99);
  Pump();
  EXPECT_TRUE(Log.empty());
  clock.Advance(1);
  Pump();
  ASSERT_EQ(1u, Log.size());
  EXPECT_EQ(5u, Log[0].W);
  // A long stall gives one tick, not one per missed period.
  clock.Advance(1000);
  Pump();
  EXPECT_EQ(2u, Log.size());
  EXPECT_TRUE(KillTimer(h, 5));
  EXPECT_FALSE(KillTimer(h, 5));
  clock.Advance(500);
  Pump();
  EXPECT_EQ(2u, Log.size());
}

TEST_F(WinTest, TimerProcsAndWindowlessTimers) {
  TFakeClock clock;
  int fired = 0;
  uintptr_t id = SetTimer(0, 0, 50, [&](HWND, UINT, uintptr_t, uint32_t) { ++fired; });
  uintptr_t id2 = SetTimer(0, 0, 50, [&](HWND, UINT, uintptr_t, uint32_t) { fired += 10; });
  EXPECT_NE(id, id2);
  clock.Advance(50);
  Pump();
  EXPECT_EQ(11, fired);
  KillTimer(0, id);
  clock.Advance(50);
  Pump();
  EXPECT_EQ(21, fired);
}

TEST_F(WinTest, TimerWorksInsideNestedPumping) {
  TFakeClock clock;
  HWND h = Top();
  SetTimer(h, 1, 100);
  int depth = 0, maxDepth = 0, ticks = 0;
  OnMsg = [&](HWND, UINT m, WPARAM, LPARAM, LRESULT&) {
    if (m != WM_TIMER) return false;
    ++ticks;
    ++depth;
    maxDepth = std::max(maxDepth, depth);
    if (ticks < 3) {
      // A modal loop inside the handler keeps the timer going.
      clock.Advance(100);
      Pump();
    }
    --depth;
    return true;
  };
  clock.Advance(100);
  Pump();
  EXPECT_EQ(3, ticks);
  EXPECT_EQ(3, maxDepth);
}

TEST_F(WinTest, GetMessageWaitsForTheNextTimer) {
  TFakeClock clock(1000);
  HWND h = Top();
  SetTimer(h, 9, 250);
  TMsg m;
  ASSERT_TRUE(GetMessage(m));
  EXPECT_EQ(WM_TIMER, m.message);
  EXPECT_EQ(1250u, GetTickCount64());
  KillTimer(h, 9);
  EXPECT_THROW(WaitMessage(), EWindowError) << "nothing can ever arrive";
}

TEST_F(WinTest, ActivationAndFocusSequence) {
  Only = {WM_ACTIVATEAPP, WM_NCACTIVATE, WM_ACTIVATE, WM_SETFOCUS, WM_KILLFOCUS};
  HWND a = Top();
  HWND edit = Child(a, 0, 0, 10, 10);
  ShowWindow(a, SW_SHOW);
  EXPECT_EQ((std::vector<std::pair<HWND, UINT>>{
                {a, WM_ACTIVATEAPP}, {a, WM_NCACTIVATE}, {a, WM_ACTIVATE}, {a, WM_SETFOCUS}}),
            Pairs());
  EXPECT_EQ(a, GetActiveWindow());
  EXPECT_EQ(a, GetFocus());
  Log.clear();
  SetFocus(edit);
  EXPECT_EQ((std::vector<std::pair<HWND, UINT>>{{a, WM_KILLFOCUS}, {edit, WM_SETFOCUS}}), Pairs());
  EXPECT_EQ(edit, Log[0].W);
  EXPECT_EQ(a, Log[1].W);
  HWND b = Top();
  Log.clear();
  ShowWindow(b, SW_SHOW);
  EXPECT_EQ((std::vector<std::pair<HWND, UINT>>{{a, WM_NCACTIVATE}, {a, WM_ACTIVATE}, {b, WM_NCACTIVATE},
                                                 {b, WM_ACTIVATE}, {edit, WM_KILLFOCUS}, {b, WM_SETFOCUS}}),
            Pairs());
  EXPECT_EQ(WA_INACTIVE, LOWORD(Log[1].W));
  EXPECT_EQ(b, HWND(Log[1].L));
  Log.clear();
  InjectAppDeactivate();
  EXPECT_EQ(0u, GetActiveWindow());
  EXPECT_EQ(0u, GetFocus());
  std::vector<UINT> m = Msgs();
  EXPECT_EQ((std::vector<UINT>{WM_NCACTIVATE, WM_ACTIVATE, WM_ACTIVATEAPP, WM_ACTIVATEAPP, WM_KILLFOCUS}), m);
  // Destroying the active window activates the next one.
  SetActiveWindow(b);
  DestroyWindow(b);
  EXPECT_EQ(a, GetActiveWindow());
}

TEST_F(WinTest, MouseActivationAndClicks) {
  HWND a = Top(0, 0, 200, 200), b = Top(300, 0, 200, 200);
  ShowWindow(a, SW_SHOW);
  ShowWindow(b, SW_SHOW);
  ASSERT_EQ(b, GetActiveWindow());
  Only = {WM_MOUSEACTIVATE, WM_ACTIVATE, WM_LBUTTONDOWN, WM_LBUTTONUP};
  InjectClick(TMouseButton::Left, 50, 60);
  Pump();
  auto pairs = Pairs();
  EXPECT_EQ(a, GetActiveWindow());
  std::vector<UINT> forA;
  for (auto& [h, m] : pairs)
    if (h == a) forA.push_back(m);
  EXPECT_EQ((std::vector<UINT>{WM_MOUSEACTIVATE, WM_ACTIVATE, WM_LBUTTONDOWN, WM_LBUTTONUP}), forA);
  TPoint c = ScreenToClient(a, Point(50, 60));
  EXPECT_EQ(MAKELPARAM(c.X, c.Y), Log.back().L);
  for (auto& l : Log) {
    if (l.Msg == WM_ACTIVATE && l.Window == a) {
      EXPECT_EQ(WA_CLICKACTIVE, LOWORD(l.W));
    }
  }
  // Eating the activating click.
  OnMsg = [](HWND, UINT m, WPARAM, LPARAM, LRESULT& r) {
    if (m == WM_MOUSEACTIVATE) return r = MA_ACTIVATEANDEAT, true;
    return false;
  };
  Log.clear();
  InjectClick(TMouseButton::Left, 350, 60);
  Pump();
  EXPECT_EQ(b, GetActiveWindow());
  std::vector<UINT> got = Msgs();
  EXPECT_EQ(std::count(got.begin(), got.end(), WM_LBUTTONDOWN), 0);
  EXPECT_EQ(std::count(got.begin(), got.end(), WM_LBUTTONUP), 1);
}

TEST_F(WinTest, CaptureRoutesMouseAndReportsChanges) {
  HWND a = Top(0, 0, 200, 200);
  HWND k = Child(a, 0, 0, 20, 20);
  ShowWindow(a, SW_SHOW);
  Only = {WM_CAPTURECHANGED, WM_MOUSEMOVE, WM_NCMOUSEMOVE};
  EXPECT_EQ(0u, SetCapture(k));
  InjectMouseMove(600, 600);  // outside every window
  Pump();
  ASSERT_EQ(1u, Log.size());
  EXPECT_EQ(k, Log[0].Window);
  TPoint c = ScreenToClient(k, Point(600, 600));
  EXPECT_EQ(MAKELPARAM(c.X, c.Y), Log[0].L);
  Log.clear();
  EXPECT_EQ(k, SetCapture(a));
  EXPECT_EQ((std::vector<std::pair<HWND, UINT>>{{k, WM_CAPTURECHANGED}}), Pairs());
  EXPECT_EQ(a, HWND(Log[0].L));
  Log.clear();
  ReleaseCapture();
  EXPECT_EQ((std::vector<std::pair<HWND, UINT>>{{a, WM_CAPTURECHANGED}}), Pairs());
  EXPECT_EQ(0u, GetCapture());
  InjectMouseMove(600, 600);
  InjectMouseMove(100, 10);  // the caption
  Log.clear();
  Pump();
  EXPECT_EQ((std::vector<std::pair<HWND, UINT>>{{a, WM_NCMOUSEMOVE}}), Pairs());
  EXPECT_EQ(WPARAM(HTCAPTION), Log[0].W);
  SetCapture(k);
  DestroyWindow(k);
  EXPECT_EQ(0u, GetCapture());
}

TEST_F(WinTest, InvalidationEraseAndPaint) {
  HWND a = Top(0, 0, 108, 127, WS_OVERLAPPEDWINDOW);  // client 100 x 100
  ShowWindow(a, SW_SHOW);
  Only = {WM_ERASEBKGND, WM_PAINT};
  Pump();
  EXPECT_EQ((std::vector<UINT>{WM_PAINT, WM_ERASEBKGND}), Msgs());
  TRect u;
  EXPECT_FALSE(GetUpdateRect(a, &u));
  TWindowSurface* s = GetWindowSurface(a);
  ASSERT_NE(nullptr, s);
  EXPECT_EQ(0x00FF0000u, s->Pixel(4 + 50, 23 + 50)) << "the class background filled the client area";
  Log.clear();
  TRect r1 = Rect(10, 10, 20, 20), r2 = Rect(30, 5, 40, 15);
  InvalidateRect(a, &r1, false);
  InvalidateRect(a, &r2, false);
  EXPECT_TRUE(GetUpdateRect(a, &u));
  EXPECT_EQ(Rect(10, 5, 40, 20), u);
  TPaintStruct got;
  OnMsg = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT& r) {
    if (m != WM_PAINT) return false;
    BeginPaint(h, got);
    EndPaint(h, got);
    r = 0;
    return true;
  };
  Pump();
  EXPECT_EQ(std::vector<UINT>{WM_PAINT}, Msgs()) << "no erase was asked for";
  EXPECT_EQ(Rect(10, 5, 40, 20), got.rcPaint);
  Log.clear();
  SendMessage(a, WM_SETREDRAW, 0);
  InvalidateRect(a, nullptr, true);
  Pump();
  EXPECT_TRUE(Log.empty());
  SendMessage(a, WM_SETREDRAW, 1);
  Pump();
  EXPECT_EQ((std::vector<UINT>{WM_PAINT, WM_ERASEBKGND}), Msgs());
  ValidateRect(a, nullptr);
  InvalidateRect(a, nullptr, false);
  Log.clear();
  UpdateWindow(a);
  EXPECT_EQ(std::vector<UINT>{WM_PAINT}, Msgs()) << "UpdateWindow paints at once";
}

TEST_F(WinTest, ParentPaintsBeforeChildrenAndHiddenWindowsNever) {
  HWND a = Top(0, 0, 200, 200);
  HWND k = Child(a, 0, 0, 20, 20);
  HWND hidden = Child(a, 30, 0, 20, 20, WS_CHILD);
  ShowWindow(a, SW_SHOW);
  InvalidateRect(hidden, nullptr, true);
  Only = {WM_PAINT};
  Pump();
  EXPECT_EQ((std::vector<std::pair<HWND, UINT>>{{a, WM_PAINT}, {k, WM_PAINT}}), Pairs());
  // Moving a child repaints what it uncovered in its parent.
  Log.clear();
  MoveWindow(k, 100, 100, 20, 20);
  TRect u;
  ASSERT_TRUE(GetUpdateRect(a, &u));
  EXPECT_TRUE(u.Contains(5, 5));
  EXPECT_TRUE(GetUpdateRect(k, nullptr));
}

// A parent's paint covers its children, so they and their frames paint again after it.
TEST_F(WinTest, ChildrenPaintAgainWhereTheirParentPaints) {
  HWND a = Top(0, 0, 200, 200);
  HWND k = Child(a, 10, 10, 100, 100, WS_CHILD | WS_VISIBLE | WS_BORDER);
  HWND g = Child(k, 5, 5, 20, 20);
  ShowWindow(a, SW_SHOW);
  Pump();
  Only = {WM_PAINT, WM_NCPAINT};
  using Seq = std::vector<std::pair<HWND, UINT>>;
  const Seq all{{a, WM_PAINT}, {k, WM_PAINT}, {k, WM_NCPAINT}, {g, WM_PAINT}};
  SetWindowPos(k, 0, 0, 0, 80, 80, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);  // shrinks: nothing uncovered inside
  Log.clear();
  Pump();
  EXPECT_EQ(all, Pairs()) << "shrunk child";
  TRect corner = Rect(0, 0, 12, 12);  // touches only k's frame
  InvalidateRect(a, &corner, true);
  Log.clear();
  Pump();
  EXPECT_EQ(all, Pairs()) << "frame corner";
  TRect free = Rect(150, 150, 160, 160);
  InvalidateRect(a, &free, true);
  Log.clear();
  Pump();
  EXPECT_EQ((Seq{{a, WM_PAINT}}), Pairs()) << "no child there";
}

TEST_F(WinTest, CaretBlinksByInvertingPixels) {
  TFakeClock clock;
  HWND a = Top(0, 0, 108, 127);
  ShowWindow(a, SW_SHOW);
  Pump();
  TWindowSurface* s = GetWindowSurface(a);
  TColorRef bg = s->Pixel(4 + 10, 23 + 10);
  ASSERT_TRUE(CreateCaret(a, 2, 10));
  SetCaretPos(10, 10);
  EXPECT_FALSE(CaretShown()) << "a new caret is hidden";
  ShowCaret(a);
  EXPECT_TRUE(CaretShown());
  EXPECT_EQ(bg ^ 0xFFFFFF, s->Pixel(4 + 10, 23 + 10));
  EXPECT_EQ(bg, s->Pixel(4 + 12, 23 + 10));
  clock.Advance(GetCaretBlinkTime());
  Pump();
  EXPECT_FALSE(CaretShown());
  EXPECT_EQ(bg, s->Pixel(4 + 10, 23 + 10));
  clock.Advance(GetCaretBlinkTime());
  Pump();
  EXPECT_TRUE(CaretShown());
  HideCaret(a);
  HideCaret(a);
  ShowCaret(a);
  EXPECT_FALSE(CaretShown()) << "hides nest";
  ShowCaret(a);
  EXPECT_TRUE(CaretShown());
  SetCaretPos(50, 50);
  EXPECT_EQ(bg, s->Pixel(4 + 10, 23 + 10)) << "moving takes the old mark away";
  EXPECT_EQ(bg ^ 0xFFFFFF, s->Pixel(4 + 50, 23 + 50));
  HWND b = Top();
  ASSERT_TRUE(CreateCaret(b, 1, 1));
  EXPECT_EQ(b, CaretWindow()) << "one caret for the application";
  EXPECT_EQ(bg, s->Pixel(4 + 50, 23 + 50));
  DestroyWindow(b);
  EXPECT_EQ(0u, CaretWindow());
}

TEST_F(WinTest, ClipboardText) {
  HWND a = Top();
  EXPECT_FALSE(SetClipboardText("x")) << "closed";
  ASSERT_TRUE(OpenClipboard(a));
  EXPECT_FALSE(OpenClipboard(a));
  EmptyClipboard();
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
  SetClipboardText(AnsiString("caf\xE9\0rest", 9));
  CloseClipboard();
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
  EXPECT_EQ(AnsiString("caf\xE9"), GetClipboardText().value());
  std::optional<AnsiString> outside;
  SetClipboardStore({[&](const std::optional<AnsiString>& t) { outside = t; }, [&] { return outside; }});
  OpenClipboard(0);
  SetClipboardText("to the display");
  CloseClipboard();
  EXPECT_EQ("to the display", outside.value());
  outside = "from the display";
  EXPECT_EQ("from the display", GetClipboardText().value());
}

TEST_F(WinTest, DcProviderReceivesThePaintTarget) {
  HWND a = Top(10, 10, 108, 127);
  HWND k = Child(a, 5, 6, 20, 20);
  ShowWindow(a, SW_SHOW);
  Pump();
  std::vector<TDcTarget> targets;
  int released = 0;
  SetDcProvider({[&](const TDcTarget& t) {
                   targets.push_back(t);
                   return HDC(1000 + targets.size());
                 },
                 [&](HDC) { ++released; }});
  TRect r = Rect(2, 3, 8, 9);
  InvalidateRect(k, &r, false);
  Pump();
  ASSERT_EQ(1u, targets.size());
  EXPECT_EQ(GetWindowSurface(a), targets[0].Surface);
  EXPECT_EQ(Point(4 + 5, 23 + 6), targets[0].Origin);
  EXPECT_EQ(Rect(4 + 5 + 2, 23 + 6 + 3, 4 + 5 + 8, 23 + 6 + 9), targets[0].Clip);
  EXPECT_EQ(1, released);
}

TEST_F(WinTest, DrawingLayerContextsPaintIntoTheBackBuffer) {
  UseGdiDeviceContexts();
  HWND a = Top(0, 0, 108, 127);  // client at 4,23
  HWND k = Child(a, 10, 10, 30, 30);
  OnMsg = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT& r) {
    if (m != WM_PAINT || h != k) return false;
    TPaintStruct ps;
    BeginPaint(h, ps);
    TDeviceContext* dc = DeviceContextOf(ps.hdc);
    EXPECT_NE(nullptr, dc);
    if (dc) dc->FillRect(Rect(-5, -5, 100, 5), SolidBrush(0x0000FF00));  // clipped to the child
    EndPaint(h, ps);
    r = 0;
    return true;
  };
  ShowWindow(a, SW_SHOW);
  Pump();
  TWindowSurface* s = GetWindowSurface(a);
  EXPECT_EQ(0x0000FF00u, s->Pixel(4 + 10, 23 + 10));
  EXPECT_EQ(0x0000FF00u, s->Pixel(4 + 39, 23 + 14));
  EXPECT_EQ(0x00FF0000u, s->Pixel(4 + 40, 23 + 10)) << "outside the child: the parent's background";
  EXPECT_EQ(0x00FF0000u, s->Pixel(4 + 10, 23 + 15)) << "the child's own background below the band";
}

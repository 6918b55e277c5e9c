// Docks on a headless form: their size from the rows, the rules they enforce, and tool windows
// dragged off, floated, refused and docked again.
#include "ToolbarTestSupport.h"
#include "platform/win/Cursors.h"
#include "platform/win/Hooks.h"
#include "platform/win/HeadlessBackend.h"
#include "platform/win/WindowImage.h"
#include "toolbars/tbFloating.h"

namespace {

class DockTest : public ToolbarFormTest {
protected:
  // A toolbar with a row of buttons, made on a dock and floated off it.
  TtbToolbar* FloatingBar(int buttons = 1) {
    TtbToolbar* bar = MakeToolbar(MakeDock());
    for (int i = 0; i < buttons; ++i) MakeButton(bar, i * 23);
    bar->SetFloatingPosition(TPoint{300, 300});
    bar->SetParent(Form.get());
    Pump();
    return bar;
  }
};

// The message of the EInvalidOperation that call raises.
template <class F>
AnsiString RefusalOf(F call) {
  try {
    call();
  } catch (const EInvalidOperation& e) {
    return e.Message();
  }
  return "(not refused)";
}

TEST_F(DockTest, DockSizesItselfToItsRows) {
  TtbDock* dock = MakeDock();
  TtbToolbar* bar = MakeToolbar(dock);
  MakeButton(bar, 0, 23, 23);
  MakeButton(bar, 30, 40, 23);
  Pump();
  EXPECT_EQ(27, dock->Height()) << "a 23-pixel row plus the frame";
  EXPECT_EQ(27, bar->Height());
  EXPECT_EQ(2 + 6 + 63 + 2, bar->Width()) << "frame, drag handle and two buttons";
  dock->SetBoundLines(ablTop | ablBottom);
  EXPECT_EQ(29, dock->Height());
  bar->Hide();
  EXPECT_EQ(2, dock->Height()) << "no row left, bound lines only";
  dock->SetBoundLines(0);
  dock->SetFixAlign(true);
  EXPECT_EQ(1, dock->Height());
}

TEST_F(DockTest, RulesOfPlacement) {
  TtbDock* dock = MakeDock();
  MakeToolbar(dock);
  EXPECT_EQ("Cannot change position of a TtbDock if it already contains controls",
            RefusalOf([&] { dock->SetPosition(adpLeft); }));
  auto* bar = new TtbToolbar(Form.get());
  auto* inner = new TtbDock(Form.get());
  EXPECT_THROW(inner->SetParent(bar), EInvalidOperation);
  auto* panel = new TCustomControl(Form.get());
  panel->SetParent(Form.get());
  EXPECT_EQ("A tool window can only be placed on a TtbDock or directly on the form",
            RefusalOf([&] { bar->SetParent(panel); }));
  auto* sep = new TtbToolbarSep(Form.get());
  EXPECT_EQ("TtbToolbarSep can only be placed on a TtbToolbar", RefusalOf([&] { sep->SetParent(panel); }));
}

TEST_F(DockTest, EmptyRowsCloseUpAndButtonsFollowTheirStreamedOrder) {
  TtbDock* dock = MakeDock();
  TtbToolbar* a = MakeToolbar(dock);
  MakeButton(a, 0);
  TtbToolbar* b = MakeToolbar(dock);
  MakeButton(b, 0);
  a->SetDockRow(0);
  b->SetDockRow(2);
  EXPECT_EQ(1, b->DockRow());
  EXPECT_EQ(2 * 26, dock->Height());

  auto* c = new TtbToolbar(Form.get());
  c->BeginLoading();
  TtbToolbarButton* first = MakeButton(c, 196);
  TtbToolbarButton* second = MakeButton(c, 0);
  TtbToolbarButton* third = MakeButton(c, 304);
  c->SetParent(dock);
  c->EndLoading();
  EXPECT_EQ(0, second->Left());
  EXPECT_EQ(23, first->Left());
  EXPECT_EQ(46, third->Left());
  first->Hide();
  EXPECT_EQ(23, third->Left()) << "a hidden button takes no room";
}

TEST_F(DockTest, DoubleClickFloatsAndDocksAgain) {
  TtbDock* dock = MakeDock();
  TtbToolbar* bar = MakeToolbar(dock);
  MakeButton(bar, 0);
  Pump();
  bar->SetFloatingPosition(TPoint{300, 300});
  TPoint handle = Screen(bar, -4, 5);
  InjectMouseMove(handle.X, handle.Y);
  InjectClick(TMouseButton::Left, handle.X, handle.Y);
  InjectClick(TMouseButton::Left, handle.X, handle.Y);
  Pump();
  ASSERT_TRUE(bar->Floating());
  EXPECT_EQ(0, dock->Height());
  EXPECT_EQ(1u, FloatingToolWindows().size());
  HWND h = bar->Handle();
  EXPECT_TRUE(GetWindowLongPtr(h, GWL_STYLE) & WS_POPUP);
  EXPECT_EQ(Form->Handle(), GetWindow(h, GW_OWNER));
  EXPECT_TRUE(IsWindowVisible(h));
  EXPECT_EQ(0, GetAncestorRoot(h) == Form->Handle()) << "its own top-level window";
  EXPECT_EQ(300, GetWindowRect(h).Left);
  EXPECT_EQ(AnsiString("TBFloatingWindowParent_"), bar->Parent()->Name().substr(0, 23));
  EXPECT_EQ(31u, bar->Parent()->Name().size());

  bar->SetDockedTo(dock);
  EXPECT_EQ(dock, bar->Parent());
  EXPECT_EQ(26, dock->Height());
  EXPECT_TRUE(FloatingToolWindows().empty());

  // One that never floated floats where it was docked.
  TtbToolbar* fresh = MakeToolbar(MakeDock(adpBottom));
  MakeButton(fresh, 0);
  Pump();
  const TRect docked = GetWindowRect(fresh->Handle());
  handle = Screen(fresh, -4, 5);
  InjectMouseMove(handle.X, handle.Y);
  InjectClick(TMouseButton::Left, handle.X, handle.Y);
  InjectClick(TMouseButton::Left, handle.X, handle.Y);
  Pump();
  ASSERT_TRUE(fresh->Floating());
  EXPECT_EQ(docked.Left, GetWindowRect(fresh->Handle()).Left);
  EXPECT_EQ(docked.Top, GetWindowRect(fresh->Handle()).Top);
}

TEST_F(DockTest, DraggingOffFloatsAndEscapeOrARefusingDockKeepItWhereItWas) {
  TtbDock* dock = MakeDock();
  TtbToolbar* bar = MakeToolbar(dock);
  MakeButton(bar, 0);
  Pump();
  const TPoint handle = Screen(bar, -4, 5);

  // Escape in the middle of the drag.
  InjectMouseMove(handle.X, handle.Y);
  InjectMouseDown(TMouseButton::Left, handle.X, handle.Y);
  InjectMouseMove(handle.X + 40, handle.Y + 150);
  InjectKeyPress(VK_ESCAPE);
  InjectMouseUp(TMouseButton::Left, handle.X + 40, handle.Y + 150);
  Pump();
  EXPECT_EQ(dock, bar->DockedTo());

  // Released far from the dock: it floats there. (Pressed a little apart: no double click.)
  const TPoint lower = Screen(bar, -4, 15);
  DragScreen(lower, {{handle.X + 20, handle.Y + 100}, {handle.X + 40, handle.Y + 150}});
  ASSERT_TRUE(bar->Floating());
  TRect floating = GetWindowRect(bar->Handle());
  EXPECT_TRUE(IsWindowVisible(bar->Handle()));
  EXPECT_LT(floating.Top, handle.Y + 150);
  EXPECT_GT(floating.Bottom, handle.Y + 150);

  // Dragged back by its caption over a dock that says no: it floats on.
  bool asked = false;
  dock->OnRequestDock = [&](TObject*, TtbCustomToolWindow* w, bool& allow) {
    asked = w == bar;
    allow = false;
  };
  TPoint caption{floating.Left + 10, floating.Top + 8};
  TPoint over = Screen(dock, 30, 0);  // the empty dock has no height left
  DragScreen(caption, {over});
  EXPECT_TRUE(asked);
  EXPECT_TRUE(bar->Floating());

  dock->OnRequestDock = nullptr;
  floating = GetWindowRect(bar->Handle());
  caption = TPoint{floating.Left + 10, floating.Top + 8};
  DragScreen(caption, {over});
  EXPECT_EQ(dock, bar->DockedTo());
  EXPECT_EQ(26, dock->Height());
}

TEST_F(DockTest, AWindowThatCannotFloatShowsTheNoCursorAndStays) {
  TtbDock* dock = MakeDock();
  TtbToolbar* bar = MakeToolbar(dock);
  bar->SetDockMode(admCannotFloat);
  MakeButton(bar, 0);
  Pump();
  const TPoint handle = Screen(bar, -4, 5);
  // The cursor the loop shows when it takes the release.
  static int shownAtRelease = 0;
  HHOOK hook = SetWindowsHookEx(WH_GETMESSAGE, [](int code, WPARAM, LPARAM lp) -> LRESULT {
    if (code == HC_ACTION && reinterpret_cast<const TMsg*>(lp)->message == WM_LBUTTONUP) shownAtRelease = GetCursor();
    return 0;
  });
  DragScreen(handle, {{handle.X + 40, handle.Y + 200}});
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(LoadCursor(0, IDC_NO), shownAtRelease);
  EXPECT_EQ(dock, bar->DockedTo());
}

TEST_F(DockTest, CloseButtonAsksFirst) {
  TtbToolbar* bar = FloatingBar();
  bool allow = false;
  int closed = 0;
  bar->OnCloseQuery = [&](TObject*, bool& canClose) { canClose = allow; };
  bar->OnClose = [&](TObject*) { ++closed; };
  TRect wr = GetWindowRect(bar->Handle());
  TRect close = bar->CloseButtonRect();
  TPoint p{wr.Left + (close.Left + close.Right) / 2, wr.Top + (close.Top + close.Bottom) / 2};
  InjectMouseMove(p.X, p.Y);
  InjectClick(TMouseButton::Left, p.X, p.Y);
  Pump();
  EXPECT_TRUE(bar->Visible());
  EXPECT_EQ(0, closed);
  allow = true;
  InjectClick(TMouseButton::Left, p.X, p.Y);
  Pump();
  EXPECT_FALSE(bar->Visible());
  EXPECT_FALSE(IsWindowVisible(bar->Handle()));
  EXPECT_EQ(1, closed);
}

TEST_F(DockTest, FloatingWindowHidesWithItsMinimisedForm) {
  TtbToolbar* bar = FloatingBar();
  ASSERT_TRUE(IsWindowVisible(bar->Handle()));
  ShowWindow(Form->Handle(), SW_MINIMIZE);
  Pump();
  EXPECT_FALSE(IsWindowVisible(bar->Handle()));
  ShowWindow(Form->Handle(), SW_RESTORE);
  SetActiveWindow(Form->Handle());
  Pump();
  EXPECT_TRUE(IsWindowVisible(bar->Handle()));
}

TEST_F(DockTest, ResizingAFloatingToolbarSnapsToItsWrappedSizes) {
  TtbToolbar* bar = FloatingBar(4);
  const TRect before = GetWindowRect(bar->Handle());
  EXPECT_EQ(4 + 4 * 23 + 4 + 8, before.Width());
  // The right border pulled left to about two buttons' width: two rows of two.
  TPoint edge{before.Right - 2, before.Top + 30};
  DragScreen(edge, {{edge.X - 40, edge.Y}, {edge.X - 44, edge.Y}});
  TRect after = GetWindowRect(bar->Handle());
  EXPECT_EQ(4 + 2 * 23 + 4 + 8, after.Width());
  EXPECT_EQ(before.Height() + 22, after.Height());
  EXPECT_EQ(2 * 23 + 8, bar->FloatRightX());
}

// The size follows where the pointer is, not the way it came; the release adds no move of its own.
TEST_F(DockTest, AResizeEndsAtTheSizeTheLastMoveShowed) {
  TtbToolbar* bar = FloatingBar(4);
  const int full = GetWindowRect(bar->Handle()).Width();
  struct TCase {
    std::vector<int> Moves;  // offsets of the pointer from the right border
    int ReleaseAt;
    int Width;
  };
  const TCase cases[] = {
      {{-40, -40}, -10, full - 2 * 23},  // resting on one place: no flipping between two sizes
      {{-40, -4}, -4, full},             // back near the first size: it snaps there
      {{-30, -40}, -40, full - 2 * 23},
  };
  for (const TCase& c : cases) {
    const TRect start = GetWindowRect(bar->Handle());
    const TPoint edge{start.Right - 2, start.Top + 30};
    InjectMouseMove(edge.X, edge.Y);
    InjectMouseDown(TMouseButton::Left, edge.X, edge.Y);
    for (int dx : c.Moves) InjectMouseMove(edge.X + dx, edge.Y);
    InjectMouseUp(TMouseButton::Left, edge.X + c.ReleaseAt, edge.Y);
    Pump();
    EXPECT_EQ(c.Width, GetWindowRect(bar->Handle()).Width()) << c.Moves.back();
    // Back to one row for the next case.
    const TRect now = GetWindowRect(bar->Handle());
    if (now.Width() != full) DragScreen({now.Right - 2, now.Top + 10}, {{now.Right - 2 + full - now.Width(), now.Top + 10}});
    ASSERT_EQ(full, GetWindowRect(bar->Handle()).Width());
  }
}

TEST_F(DockTest, DockedFrameShowsItsGripAndTheDockItsBoundLines) {
  TtbDock* dock = MakeDock();
  dock->SetBoundLines(ablTop | ablBottom);
  TtbToolbar* bar = MakeToolbar(dock);
  MakeButton(bar, 0);
  Pump();
  TGdiBitmap img = GetWindowImage(bar->Handle());
  const TColorRef light = ColorToRGB(clBtnHighlight), shadow = ColorToRGB(clBtnShadow), face = ColorToRGB(clBtnFace);
  EXPECT_EQ(light, img.Pixel(0, 10)) << "raised edge";
  EXPECT_EQ(light, img.Pixel(3, 10)) << "grip bar from offset 1 + 2";
  EXPECT_EQ(face, img.Pixel(4, 10));
  EXPECT_EQ(shadow, img.Pixel(5, 10));
  TGdiBitmap d = GetWindowImage(dock->Handle());
  EXPECT_EQ(shadow, d.Pixel(50, 0));
  EXPECT_EQ(light, d.Pixel(50, d.Height() - 1));
}

TEST_F(DockTest, RepaintingTheFormOrTheDockLeavesTheDockedFrameAndButtonsAlone) {
  TtbDock* dock = MakeDock();
  TtbToolbar* bar = MakeToolbar(dock);
  MakeButton(bar, 0)->SetFlat(false);
  Pump();
  const TColorRef light = ColorToRGB(clBtnHighlight), shadow = ColorToRGB(clBtnShadow);
  for (TWinControl* parent : {static_cast<TWinControl*>(Form.get()), static_cast<TWinControl*>(dock)}) {
    parent->Invalidate();
    Pump();
    TGdiBitmap img = GetWindowImage(bar->Handle());
    EXPECT_EQ(light, img.Pixel(0, 10)) << parent->ClassName() << ": raised edge";
    EXPECT_EQ(light, img.Pixel(3, 10)) << parent->ClassName() << ": grip";
    EXPECT_EQ(shadow, img.Pixel(5, 10)) << parent->ClassName() << ": grip";
    EXPECT_EQ(light, img.Pixel(8, 2)) << parent->ClassName() << ": the button's frame";
  }
}

TEST_F(DockTest, PrintingDrawsTheFrameAndChildrenUnlessHidden) {
  TtbDock* dock = MakeDock();
  TtbToolbar* bar = MakeToolbar(dock);
  TtbToolbarButton* b = MakeButton(bar, 0);
  b->SetFlat(false);  // a frame even when the mouse is elsewhere
  Pump();
  auto* sheet = new TForm(nullptr);
  sheet->SetBounds(500, 400, 200, 100);
  sheet->SetColor(clRed);
  sheet->SetBorderStyle(bsNone);
  sheet->Show();
  Pump();
  HDC dc = GetDC(sheet->Handle());
  const TColorRef red = clRed, light = ColorToRGB(clBtnHighlight);
  bar->Perform(WM_PRINT, dc, PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
  ReleaseDC(sheet->Handle(), dc);
  TGdiBitmap printed = GetWindowImage(sheet->Handle());
  EXPECT_EQ(light, printed.Pixel(3, 10)) << "the grip";
  EXPECT_EQ(light, printed.Pixel(8, 2)) << "the button's raised frame, drawn through the client";
  sheet->Invalidate();
  Pump();
  bar->Hide();
  dc = GetDC(sheet->Handle());
  bar->Perform(WM_PRINT, dc, PRF_CHECKVISIBLE | PRF_NONCLIENT);
  ReleaseDC(sheet->Handle(), dc);
  EXPECT_EQ(red, GetWindowImage(sheet->Handle()).Pixel(3, 10)) << "a hidden window prints nothing";
  delete sheet;
}

}  // namespace

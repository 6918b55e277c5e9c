// The X11 display under a private Xvfb: windows mapped and shown as their back buffers, xdotool's
// input arriving as messages, the CLIPBOARD selection both ways, the work area and the drag frame.
#include "platform/gdi/BmpFile.h"
#include "platform/rtl/Resources.h"
#include "platform/rtl/Streams.h"
#include "platform/win/Clipboard.h"
#include "platform/win/DisplayBackend.h"
#include "platform/win/DragFrame.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/PaintContext.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/WindowImage.h"
#include "platform/win/Windows.h"
#include "platform/x11/X11Fixture.h"
#include "platform/win/PendingMessages.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace {

struct TSeen {
  HWND Window;
  UINT Msg;
  WPARAM W;
  LPARAM L;
  bool Ctrl, Shift;
};

class X11Test : public TXvfbTest<> {
protected:
  void SetUp() override {
    TXvfbTest::SetUp();
    if (!Ready()) return;
    UseGdiDeviceContexts();
    // Our own look at the server, as another client sees it.
    FPeer = XOpenDisplay(FServer->Display().c_str());
    ASSERT_NE(nullptr, FPeer);
    TWndClass wc;
    wc.lpszClassName = "Paint";
    wc.hbrBackground = 0x00C08040;
    wc.lpfnWndProc = [this](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
      if (m == WM_MOUSEMOVE) Moves.push_back({h, TPoint{GET_X_LPARAM(l), GET_Y_LPARAM(l)}});
      if (m == WM_KEYDOWN || m == WM_CHAR || m == WM_LBUTTONDOWN || m == WM_LBUTTONUP || m == WM_RBUTTONDOWN ||
          m == WM_MOUSEWHEEL || m == WM_SYSKEYDOWN || m == WM_SYSKEYUP || m == WM_SYSCHAR)
        Seen.push_back({h, m, w, l, GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_SHIFT) < 0});
      return DefWindowProc(h, m, w, l);
    };
    ASSERT_TRUE(RegisterClass(wc));
    wc.lpszClassName = "Red";
    wc.hbrBackground = 0x000000FF;
    ASSERT_TRUE(RegisterClass(wc));
  }
  void TearDown() override {
    if (FPeer) XCloseDisplay(FPeer);
    FPeer = nullptr;
    TXvfbTest::TearDown();
  }

  void Pump() override { DispatchPendingMessages(); }
  bool Viewable(HWND h) {
    XWindowAttributes a{};
    return XGetWindowAttributes(FPeer, FBackend->XWindowOf(h), &a) && a.map_state == IsViewable;
  }
  // A shown window with two children, its first child focused.
  HWND ShowTestWindow(HWND* first = nullptr) {
    HWND top = CreateWindowEx(0, "Paint", "Gr\xF6\xDF" "e", WS_OVERLAPPEDWINDOW, 60, 40, 300, 200, 0);
    HWND a = CreateWindowEx(0, "Red", "", WS_CHILD | WS_VISIBLE, 10, 10, 100, 80, top);
    CreateWindowEx(0, "Paint", "", WS_CHILD | WS_VISIBLE, 150, 20, 60, 60, top);
    ShowWindow(top, SW_SHOW);
    EXPECT_TRUE(PumpUntil([&] { return Viewable(top); }, Pumper()));
    SetFocus(a);
    Pump();
    if (first) *first = a;
    return top;
  }
  // Starts openbox and waits until the window system sees it manage the screen.
  bool StartManager() {
    return FServer->StartWindowManager() && PumpUntil([&] { return DisplayBackend().ManagerDecorates(); }, Pumper(), 10000);
  }
  // Where the window's X window lies on the screen, inside a manager's frame or not.
  TRect OnScreen(HWND h) {
    Window xw = FBackend->XWindowOf(h), child = 0;
    XWindowAttributes a{};
    int x = 0, y = 0;
    XGetWindowAttributes(FPeer, xw, &a);
    XTranslateCoordinates(FPeer, xw, DefaultRootWindow(FPeer), 0, 0, &x, &y, &child);
    return TRect(x, y, x + a.width, y + a.height);
  }
  // What reached the window first; the default handling passes the wheel on to the parent.
  std::vector<UINT> SeenMsgs(HWND only = 0) const {
    std::vector<UINT> r;
    for (auto& s : Seen)
      if (!only || s.Window == only) r.push_back(s.Msg);
    return r;
  }
  // The characters that reached the windows, in order.
  std::string Typed() const {
    std::string typed;
    for (auto& s : Seen)
      if (s.Msg == WM_CHAR) typed += static_cast<char>(s.W);
    return typed;
  }
  // Types with xdotool and waits for that many characters.
  bool Type(const std::string& text, std::size_t chars) {
    Tool("xdotool type " + text);
    return PumpUntil([&] { return Typed().size() >= chars; }, Pumper());
  }
  std::string Property(Window w, const char* name) {
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char* data = nullptr;
    std::string out;
    if (XGetWindowProperty(FPeer, w, XInternAtom(FPeer, name, False), 0, 1024, False, AnyPropertyType, &type,
                           &format, &n, &after, &data) == Success && data) {
      if (format == 8) out.assign(reinterpret_cast<char*>(data), n);
      if (format == 32)
        for (unsigned long i = 0; i < n; ++i) {
          char* an = XGetAtomName(FPeer, reinterpret_cast<Atom*>(data)[i]);
          out += std::string(an ? an : "?") + " ";
          if (an) XFree(an);
        }
      XFree(data);
    }
    return out;
  }

  Display* FPeer = nullptr;
  std::vector<TSeen> Seen;
  std::vector<std::pair<HWND, TPoint>> Moves;
};

}  // namespace

TEST_F(X11Test, WindowShowsItsBackBufferAndCarriesItsHints) {
  HWND top = ShowTestWindow();
  FBackend->Sync();  // every exposure of the new window is in our queue
  Pump();
  FBackend->Sync();
  Window xw = FBackend->XWindowOf(top);
  ASSERT_NE(0u, xw);
  TGdiBitmap want = GetWindowImage(top);
  ASSERT_EQ(300, want.Width());
  XImage* img = XGetImage(FPeer, xw, 0, 0, 300, 200, AllPlanes, ZPixmap);
  ASSERT_NE(nullptr, img);
  int wrong = 0;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x) {
      unsigned long p = XGetPixel(img, x, y);
      TColorRef got = static_cast<TColorRef>(((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16));
      if (got != want.Pixel(x, y) && wrong++ < 5) ADD_FAILURE() << x << "," << y << " " << std::hex << got;
    }
  XDestroyImage(img);
  EXPECT_EQ(0, wrong);
  EXPECT_EQ(0x000000FFu, want.Pixel(4 + 10, 23 + 10)) << "the child painted into the back buffer";
  EXPECT_EQ("Gr\xC3\xB6\xC3\x9F" "e", Property(xw, "_NET_WM_NAME"));

  HWND owned = CreateWindowEx(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "Paint", "tool", WS_POPUP | WS_CAPTION, 0, 0, 50, 50, top);
  Window ow = FBackend->XWindowOf(owned);
  FBackend->Sync();  // the server has our requests before it answers another client
  Window transientFor = 0;
  ASSERT_TRUE(XGetTransientForHint(FPeer, ow, &transientFor));
  EXPECT_EQ(xw, transientFor);
  EXPECT_EQ("_NET_WM_STATE_ABOVE _NET_WM_STATE_SKIP_TASKBAR ", Property(ow, "_NET_WM_STATE"));
  EXPECT_EQ("_NET_WM_WINDOW_TYPE_UTILITY ", Property(ow, "_NET_WM_WINDOW_TYPE"));
  SetWindowPos(owned, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  FBackend->Sync();
  EXPECT_EQ("_NET_WM_STATE_SKIP_TASKBAR ", Property(ow, "_NET_WM_STATE"));
  SetWindowLongPtr(owned, GWL_HWNDPARENT, 0);
  FBackend->Sync();
  EXPECT_FALSE(XGetTransientForHint(FPeer, ow, &transientFor)) << "owned no more";

  MoveWindow(top, 100, 120, 320, 210);
  FBackend->Sync();
  XWindowAttributes a{};
  XGetWindowAttributes(FPeer, xw, &a);
  EXPECT_EQ(100, a.x);
  EXPECT_EQ(120, a.y);
  EXPECT_EQ(320, a.width);
  DestroyWindow(top);
  FBackend->Sync();
  EXPECT_FALSE(XGetWindowAttributes(FPeer, xw, &a)) << "the X window went with it";
}

TEST_F(X11Test, XdotoolInputArrivesAsVirtualKeysClicksAndWheel) {
  if (!ToolInstalled("xdotool")) GTEST_SKIP() << "xdotool is not installed";
  HWND child = 0;
  HWND top = ShowTestWindow(&child);
  // The child's client area starts at 60 + 4 + 10, 40 + 23 + 10 on the screen.
  Tool("xdotool mousemove --sync 94 93 click 1");
  ASSERT_TRUE(PumpUntil([&] { return Seen.size() >= 2; }, Pumper())) << Seen.size();
  EXPECT_EQ((std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}), SeenMsgs());
  EXPECT_EQ(child, Seen[0].Window);
  EXPECT_EQ(MAKELPARAM(20, 20), Seen[0].L);
  EXPECT_EQ(child, GetFocus());
  EXPECT_EQ(top, GetActiveWindow());

  Seen.clear();
  Tool("xdotool key ctrl+shift+5");
  ASSERT_TRUE(PumpUntil([&] { return !Seen.empty(); }, Pumper()));
  EXPECT_EQ(WM_KEYDOWN, Seen.back().Msg);
  EXPECT_EQ(53u, Seen.back().W) << "the unshifted key";
  EXPECT_TRUE(Seen.back().Ctrl);
  EXPECT_TRUE(Seen.back().Shift);

  Seen.clear();
  ASSERT_TRUE(Type("aB", 2));
  std::vector<WPARAM> keys;
  for (auto& s : Seen)
    if (s.Msg == WM_KEYDOWN && s.W != VK_SHIFT) keys.push_back(s.W);
  EXPECT_EQ("aB", Typed());
  EXPECT_EQ((std::vector<WPARAM>{'A', 'B'}), keys);

  Seen.clear();
  Tool("xdotool click 4 click 5 click 3");
  ASSERT_TRUE(PumpUntil([&] { return SeenMsgs(child).size() >= 3; }, Pumper()));
  ASSERT_EQ((std::vector<UINT>{WM_MOUSEWHEEL, WM_MOUSEWHEEL, WM_RBUTTONDOWN}), SeenMsgs(child));
  std::vector<int> deltas;
  for (auto& s : Seen)
    if (s.Window == child && s.Msg == WM_MOUSEWHEEL) deltas.push_back(GET_WHEEL_DELTA_WPARAM(s.W));
  EXPECT_EQ((std::vector<int>{WHEEL_DELTA, -WHEEL_DELTA}), deltas);
}

TEST_F(X11Test, ClipboardSelectionGoesBothWays) {
  if (!ToolInstalled("xclip")) GTEST_SKIP() << "xclip is not installed";
  HWND top = ShowTestWindow();
  ASSERT_TRUE(OpenClipboard(top));
  EmptyClipboard();
  SetClipboardText("caf\xE9\r\nline two");
  CloseClipboard();
  EXPECT_EQ("caf\xC3\xA9\nline two", ClipboardText());
  EXPECT_EQ("caf\xE9\r\nline two", GetClipboardText().value_or("")) << "our own text stays ours";

  ASSERT_TRUE(OfferClipboard("from\\nxclip \\303\\274"));
  std::optional<AnsiString> got;
  EXPECT_TRUE(PumpUntil([&] {
    got = GetClipboardText();
    return got != AnsiString("caf\xE9\r\nline two");
  }, Pumper()));
  EXPECT_EQ("from\r\nxclip \xFC", got.value_or("(none)"));
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
}

// Text of megabytes travels in pieces (INCR) between programs: it arrives whole both ways.
TEST_F(X11Test, LargeClipboardTextGoesBothWaysInPieces) {
  if (!ToolInstalled("xclip")) GTEST_SKIP() << "xclip is not installed";
  HWND top = ShowTestWindow();
  std::string big;
  for (int i = 0; big.size() < (3u << 20); ++i) big += "line " + std::to_string(i) + " of a large paste\n";
  char tmpl[] = "/tmp/x11bigXXXXXX";
  const int fd = mkstemp(tmpl);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(static_cast<ssize_t>(big.size()), write(fd, big.data(), big.size()));
  close(fd);
  const std::string file = tmpl;
  FServer->Run("xclip -selection clipboard -i " + file + " >/dev/null 2>&1", Pumper());
  AnsiString expected;
  for (char c : big) {
    if (c == '\n') expected += '\r';
    expected += c;
  }
  std::optional<AnsiString> got;
  EXPECT_TRUE(PumpUntil([&] {
    got = GetClipboardText();
    return got && got->size() > 1000;
  }, Pumper(), 10000));
  EXPECT_EQ(expected.size(), got.value_or("").size());
  EXPECT_TRUE(got == expected) << "taken whole";

  ASSERT_TRUE(OpenClipboard(top));
  EmptyClipboard();
  SetClipboardText(expected);
  CloseClipboard();
  const std::string out = file + ".out";
  FServer->Run("xclip -selection clipboard -o > " + out, Pumper());
  std::ifstream in(out, std::ios::binary);
  const std::string back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(big.size(), back.size());
  EXPECT_TRUE(back == big) << "handed over whole";
  unlink(file.c_str());
  unlink(out.c_str());
}

TEST_F(X11Test, WorkAreaFollowsTheRootWindow) {
  EXPECT_EQ(TRect(0, 0, 1024, 768), GetWorkArea()) << "no desktop panels: the whole screen";
  long area[4] = {0, 24, 1024, 700};
  XChangeProperty(FPeer, DefaultRootWindow(FPeer), XInternAtom(FPeer, "_NET_WORKAREA", False), XA_CARDINAL, 32,
                  PropModeReplace, reinterpret_cast<unsigned char*>(area), 4);
  XFlush(FPeer);
  EXPECT_TRUE(PumpUntil([] { return GetWorkArea() == TRect(0, 24, 1024, 724); }, Pumper()));
}

TEST_F(X11Test, DragFrameIsInvertedOnTheRootWindowAndTakenAway) {
  // The root window's corner after the frame is drawn (or before, without one).
  auto corner = [&](bool frame) {
    if (frame) DrawXorFrame(TRect(10, 10, 50, 40), 4);
    FBackend->Sync();
    return XGetImage(FPeer, DefaultRootWindow(FPeer), 0, 0, 64, 64, AllPlanes, ZPixmap);
  };
  XImage* before = corner(false);
  ASSERT_NE(nullptr, before);
  XImage* after = corner(true);
  ASSERT_NE(nullptr, after);
  int bad = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      bool band = TRect(10, 10, 50, 40).Contains(x, y) && !TRect(14, 14, 46, 36).Contains(x, y);
      bool flipped = ((XGetPixel(before, x, y) ^ XGetPixel(after, x, y)) & 0xFFFFFF) == 0xFFFFFF;
      bool same = XGetPixel(before, x, y) == XGetPixel(after, x, y);
      bool want = band && ((x + y) & 1);
      if (want ? !flipped : !same) ++bad;
    }
  EXPECT_EQ(0, bad);
  XImage* again = corner(true);
  ASSERT_NE(nullptr, again);
  int left = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) left += XGetPixel(before, x, y) != XGetPixel(again, x, y);
  EXPECT_EQ(0, left);
  XDestroyImage(before);
  XDestroyImage(after);
  XDestroyImage(again);
}

TEST_F(X11Test, SizesFromEitherSideMeetAndTheCloseBoxCloses) {
  HWND top = ShowTestWindow();
  Window xw = FBackend->XWindowOf(top);
  // Quick changes of ours are not undone by the server's notices of the earlier ones.
  for (int w = 200; w <= 260; w += 20) MoveWindow(top, 60, 40, w, w - 50);
  FBackend->Sync();
  Pump();
  EXPECT_EQ(TRect(60, 40, 320, 250), GetWindowRect(top));
  XWindowAttributes a{};
  XGetWindowAttributes(FPeer, xw, &a);
  EXPECT_EQ(260, a.width);
  EXPECT_EQ(210, a.height);
  // Sized from outside, as a window manager would.
  XResizeWindow(FPeer, xw, 240, 150);
  XFlush(FPeer);
  EXPECT_TRUE(PumpUntil([&] { return GetWindowRect(top) == TRect(60, 40, 300, 190); }, Pumper()));
  EXPECT_EQ(TRect(0, 0, 240 - 8, 150 - 27), GetClientRect(top));

  XEvent close{};
  close.xclient.type = ClientMessage;
  close.xclient.window = xw;
  close.xclient.message_type = XInternAtom(FPeer, "WM_PROTOCOLS", False);
  close.xclient.format = 32;
  close.xclient.data.l[0] = static_cast<long>(XInternAtom(FPeer, "WM_DELETE_WINDOW", False));
  XSendEvent(FPeer, xw, False, 0, &close);
  XFlush(FPeer);
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(top); }, Pumper()));
}

TEST_F(X11Test, WaitingWakesForInputFromTheDisplay) {
  if (!ToolInstalled("xdotool")) GTEST_SKIP() << "xdotool is not installed";
  ShowTestWindow();
  Pump();
  SetTimer(0, 0, 20000);  // a guard: the input must come well before it
  std::string cmd = "export DISPLAY=" + FServer->Display() + "; xdotool mousemove 200 150 click 1";
  FILE* tool = popen(cmd.c_str(), "r");
  ASSERT_NE(nullptr, tool);
  TMsg m;
  UINT first = 0;
  while (GetMessage(m)) {
    if (m.message == WM_TIMER || m.message == WM_LBUTTONDOWN) {
      first = m.message;
      break;
    }
    DispatchMessage(m);
  }
  pclose(tool);
  EXPECT_EQ(WM_LBUTTONDOWN, first);
}

TEST_F(X11Test, CharactersComeFromTheServersKeyboardLayout) {
  if (!ToolInstalled("xdotool") || !ToolInstalled("setxkbmap")) GTEST_SKIP() << "xdotool or setxkbmap is missing";
  int status = -1;
  FServer->Run("setxkbmap de", [] {}, &status);
  if (status != 0) GTEST_SKIP() << "no German layout to switch to";
  HWND child = 0;
  ShowTestWindow(&child);
  // Shift+7 types a slash here; the key is still 7.
  ASSERT_TRUE(Type("'/\xC3\xB6'", 2));
  bool sevenWithShift = false;
  for (auto& s : Seen)
    if (s.Msg == WM_KEYDOWN && s.W == '7') sevenWithShift = s.Shift;
  EXPECT_EQ("/\xF6", Typed());
  EXPECT_TRUE(sevenWithShift);
}

TEST_F(X11Test, AWindowKeepsItsMinimumAgainstTheServer) {
  TWndClass wc;
  wc.lpszClassName = "Min";
  wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_WINDOWPOSCHANGING) {
      auto* pos = reinterpret_cast<TWindowPos*>(l);
      pos->cx = std::max(pos->cx, 200);
    }
    return DefWindowProc(h, m, w, l);
  };
  ASSERT_TRUE(RegisterClass(wc));
  HWND top = CreateWindowEx(0, "Min", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 100, 0);
  ASSERT_TRUE(PumpUntil([&] { return Viewable(top); }, Pumper()));
  Window xw = FBackend->XWindowOf(top);
  XResizeWindow(FPeer, xw, 120, 90);
  XFlush(FPeer);
  XWindowAttributes a{};
  EXPECT_TRUE(PumpUntil([&] {
    FBackend->Sync();
    XGetWindowAttributes(FPeer, xw, &a);
    return GetWindowRect(top).Height() == 90 && a.width == 200;
  }, Pumper()));
  EXPECT_EQ(200, GetWindowRect(top).Width());
  EXPECT_EQ(90, a.height);
}

TEST_F(X11Test, CapturedMouseMovesArriveFromAnywhereOnTheScreen) {
  if (!ToolInstalled("xdotool")) GTEST_SKIP() << "xdotool is not installed";
  HWND child = 0;
  ShowTestWindow(&child);
  Tool("xdotool mousemove --sync 100 100");
  ASSERT_TRUE(PumpUntil([&] { return !Moves.empty(); }, Pumper()));
  SetCapture(child);
  Moves.clear();
  Tool("xdotool mousemove --sync 900 700");
  ASSERT_TRUE(PumpUntil([&] { return !Moves.empty() && Moves.back().second.X > 700; }, Pumper()));
  EXPECT_EQ(child, Moves.back().first);
  EXPECT_EQ((TPoint{900 - 74, 700 - 73}), Moves.back().second) << "client coordinates of the child";
  ReleaseCapture();
  Pump();
  Moves.clear();
  Tool("xdotool mousemove --sync 950 720");
  FBackend->Sync();
  Pump();
  EXPECT_TRUE(Moves.empty()) << "outside and no longer captured";
}

TEST_F(X11Test, FramedWindowsAskForNoDecorationsAndPopupsStayUnmanaged) {
  HWND top = ShowTestWindow();
  HWND popup = CreateWindowEx(0, "Paint", "", WS_POPUP | WS_VISIBLE, 10, 10, 80, 60, 0);
  ASSERT_TRUE(PumpUntil([&] { return Viewable(popup); }, Pumper()));
  Atom motif = XInternAtom(FPeer, "_MOTIF_WM_HINTS", False);
  Atom type = 0;
  int format = 0;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  ASSERT_EQ(Success, XGetWindowProperty(FPeer, FBackend->XWindowOf(top), motif, 0, 5, False, AnyPropertyType, &type,
                                        &format, &n, &after, &data));
  ASSERT_NE(nullptr, data);
  std::vector<long> hints(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + n);
  XFree(data);
  ASSERT_EQ(5u, hints.size());
  EXPECT_EQ(2, hints[0]) << "only the decorations are asked for";
  EXPECT_EQ(0, hints[2]) << "no decorations";
  XWindowAttributes a{};
  XGetWindowAttributes(FPeer, FBackend->XWindowOf(popup), &a);
  EXPECT_TRUE(a.override_redirect);
  EXPECT_EQ("", Property(FBackend->XWindowOf(popup), "_MOTIF_WM_HINTS"));
}

// A floating tool window is a window of its form, not a pop-up over the whole screen: the server
// keeps it over its form and under a dialog shown after it, also once the form is active again.
TEST_F(X11Test, AFloatingToolWindowStaysBetweenItsFormAndLaterDialogs) {
  HWND top = ShowTestWindow();
  HWND tool = CreateWindowEx(WS_EX_TOOLWINDOW, "Paint", "", WS_POPUP | WS_VISIBLE, 80, 60, 100, 40, top);
  ASSERT_TRUE(PumpUntil([&] { return Viewable(tool); }, Pumper()));
  const Window xt = FBackend->XWindowOf(tool), xf = FBackend->XWindowOf(top);
  XWindowAttributes a{};
  XGetWindowAttributes(FPeer, xt, &a);
  EXPECT_FALSE(a.override_redirect);
  Window owner = 0;
  EXPECT_TRUE(XGetTransientForHint(FPeer, xt, &owner));
  EXPECT_EQ(xf, owner);
  XWMHints* wm = XGetWMHints(FPeer, xt);
  ASSERT_NE(nullptr, wm);
  EXPECT_FALSE(wm->input) << "a click on it leaves the focus with the form";
  XFree(wm);
  HWND dialog = CreateWindowEx(0, "Paint", "Dialog", WS_POPUP | WS_CAPTION | WS_SYSMENU, 60, 50, 200, 100, top);
  ShowWindow(dialog, SW_SHOW);
  ASSERT_TRUE(PumpUntil([&] { return Viewable(dialog); }, Pumper()));
  // The server's order of the root's children, bottom first.
  auto stacking = [&](bool withDialog) {
    FBackend->Sync();
    Window root = 0, parent = 0, *kids = nullptr;
    unsigned n = 0;
    XQueryTree(FPeer, DefaultRootWindow(FPeer), &root, &parent, &kids, &n);
    std::vector<Window> order;
    for (unsigned i = 0; i < n; ++i)
      if (kids[i] == xf || kids[i] == xt || (withDialog && kids[i] == FBackend->XWindowOf(dialog)))
        order.push_back(kids[i]);
    if (kids) XFree(kids);
    return order;
  };
  EXPECT_EQ((std::vector<Window>{xf, xt, FBackend->XWindowOf(dialog)}), stacking(true));
  ShowWindow(dialog, SW_HIDE);
  SetActiveWindow(top);
  Pump();
  EXPECT_EQ((std::vector<Window>{xf, xt}), stacking(false)) << "the form came forward under what it owns";
}

TEST_F(X11Test, DraggingOurCaptionMovesTheWindowWithoutAManager) {
  if (!ToolInstalled("xdotool")) GTEST_SKIP() << "xdotool is not installed";
  HWND top = ShowTestWindow();
  Window xw = FBackend->XWindowOf(top);
  ASSERT_EQ(HTCAPTION, SendMessage(top, WM_NCHITTEST, 0, MAKELPARAM(150, 50)));
  // The whole drag in one run: our loop follows it while xdotool goes on.
  Tool("xdotool mousemove --sync 150 50 mousedown 1 sleep 0.2 mousemove --sync 200 100 sleep 0.1 "
       "mousemove --sync 250 150 sleep 0.2 mouseup 1");
  XWindowAttributes a{};
  EXPECT_TRUE(PumpUntil([&] {
    FBackend->Sync();
    XGetWindowAttributes(FPeer, xw, &a);
    return a.x == 160 && a.y == 140;
  }, Pumper()));
  EXPECT_EQ(TRect(160, 140, 460, 340), GetWindowRect(top));
  EXPECT_EQ(0u, GetCapture());
}

TEST_F(X11Test, WindowsNameTheirProgramAndShowItsPicture) {
  // The program's picture: blue on a background of the bottom-left pixel's colour.
  TGdiBitmap picture(32, 32, 24);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) picture.SetPixel(x, y, x >= 9 && y >= 8 && x < 24 && y < 24 ? 0x00FF0000 : 0x00FF00FF);
  static TMemoryStream bmp;
  WriteBmp(picture, bmp);
  static TResourceRegistration icon("BITMAP", "MAINICON", bmp.Memory(), static_cast<std::size_t>(bmp.Size()));
  Window xw = FBackend->XWindowOf(ShowTestWindow());
  FBackend->Sync();
  auto numbers = [&](const char* name) {
    Atom type;
    int format;
    unsigned long n = 0, after;
    unsigned char* data = nullptr;
    std::vector<uint32_t> v;  // Xlib widens the 32-bit items with their sign
    XGetWindowProperty(FPeer, xw, XInternAtom(FPeer, name, False), 0, 4096, False, XA_CARDINAL, &type, &format, &n,
                       &after, &data);
    for (unsigned long i = 0; i < n; ++i) v.push_back(static_cast<uint32_t>(reinterpret_cast<long*>(data)[i]));
    if (data) XFree(data);
    return v;
  };
  EXPECT_EQ(std::vector<uint32_t>{static_cast<uint32_t>(getpid())}, numbers("_NET_WM_PID"));
  XClassHint cls{};
  ASSERT_TRUE(XGetClassHint(FPeer, xw, &cls));
  EXPECT_STREQ("Quorvex", cls.res_class);
  XFree(cls.res_name);
  XFree(cls.res_class);
  std::vector<uint32_t> v = numbers("_NET_WM_ICON");
  ASSERT_EQ(2u + 32 * 32 + 2 + 16 * 16, v.size()) << "its own size and half of it";
  size_t small = 2 + 32 * 32;
  EXPECT_EQ((std::vector<uint32_t>{32, 32, 0}), std::vector<uint32_t>(v.begin(), v.begin() + 3)) << "clear background";
  EXPECT_EQ(0xFF0000FFu, v[2 + 16 * 32 + 16]) << "opaque blue";
  EXPECT_EQ(16u, v[small]);
  EXPECT_EQ(0x7F0000FFu, v[small + 2 + 5 * 16 + 4]) << "half covered at the edge, still blue";
}

TEST_F(X11Test, AltWithKeypadDigitsTypesOneCharacterOfTheCodePage) {
  if (!ToolInstalled("xdotool")) GTEST_SKIP() << "xdotool is not installed";
  HWND child = 0;
  ShowTestWindow(&child);
  struct TCase {
    const char* Keys;
    std::vector<WPARAM> Digits;
    std::string Typed;
  };
  const TCase cases[] = {
      {"KP_2 KP_3 KP_3", {VK_NUMPAD2, VK_NUMPAD3, VK_NUMPAD3}, "\xE9"},
      {"KP_0 KP_1 KP_2 KP_8", {VK_NUMPAD0, VK_NUMPAD1, VK_NUMPAD2, VK_NUMPAD8}, "\x80"},  // the euro sign
      {"KP_2 KP_8 KP_9", {VK_NUMPAD2, VK_NUMPAD8, VK_NUMPAD9}, "!"},                      // 289 modulo 256
  };
  for (const TCase& c : cases) {
    Seen.clear();
    Tool(std::string("xdotool keydown alt key ") + c.Keys + " keyup alt");
    EXPECT_TRUE(PumpUntil([&] { return !Seen.empty() && Seen.back().Msg == WM_CHAR; }, Pumper())) << c.Keys;
    std::vector<WPARAM> downs, ups;
    std::string typed;
    for (auto& s : Seen) {
      EXPECT_EQ(child, s.Window);
      EXPECT_NE(WM_SYSCHAR, s.Msg) << c.Keys;
      bool digit = s.W >= VK_NUMPAD0 && s.W <= VK_NUMPAD9;  // xdotool adds Num Lock around them
      if (s.Msg == WM_SYSKEYDOWN && digit) downs.push_back(s.W);
      if (s.Msg == WM_SYSKEYUP && digit) ups.push_back(s.W);
      if (s.Msg == WM_CHAR) typed += static_cast<char>(s.W);
    }
    EXPECT_EQ(c.Digits, downs) << c.Keys;
    EXPECT_EQ(c.Digits, ups) << c.Keys;
    EXPECT_EQ(c.Typed, typed) << c.Keys;
  }
}

TEST_F(X11Test, UnderAManagerItsFrameServesTheWindowAndOurStateFollowsIt) {
  if (!ToolInstalled("xdotool") || !StartManager()) GTEST_SKIP() << "xdotool or openbox is missing";
  HWND top = ShowTestWindow();
  FBackend->Sync();
  EXPECT_EQ(TRect(0, 0, 300, 200), GetClientRect(top)) << "no frame of our own";
  EXPECT_TRUE(PumpUntil([&] { return OnScreen(top) == TRect(60, 40, 360, 240); }, Pumper()))
      << "the client area where the window was put";
  EXPECT_FALSE(Property(FBackend->XWindowOf(top), "_NET_FRAME_EXTENTS").empty()) << "the manager's frame";
  HWND corner = CreateWindowEx(0, "Paint", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, 0);
  EXPECT_TRUE(PumpUntil([&] { return GetWindowRect(corner).Top > 10 && OnScreen(corner) == GetWindowRect(corner); },
                        Pumper()))
      << "moved in below the manager's caption";
  DestroyWindow(corner);
  HWND tool = CreateWindowEx(WS_EX_TOOLWINDOW, "Paint", "tool", WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 100, 80, top);
  EXPECT_EQ(TRect(0, 0, 100 - 2 * 3, 80 - 2 * 3 - 15), GetClientRect(tool)) << "a tool window keeps its own caption";
  DestroyWindow(tool);

  // Minimised by the program, restored by the manager.
  ShowWindow(top, SW_MINIMIZE);
  EXPECT_TRUE(PumpUntil([&] { return IsIconic(top) && !Viewable(top); }, Pumper()));
  Tool("xdotool windowactivate --sync " + XId(top));
  EXPECT_TRUE(PumpUntil([&] { return !IsIconic(top) && Viewable(top); }, Pumper()));
  EXPECT_EQ(TRect(60, 40, 360, 240), GetWindowRect(top));

  // Maximised as a task bar would ask it, and restored by the program.
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = FBackend->XWindowOf(top);
  ev.xclient.message_type = XInternAtom(FPeer, "_NET_WM_STATE", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = 1;
  ev.xclient.data.l[1] = static_cast<long>(XInternAtom(FPeer, "_NET_WM_STATE_MAXIMIZED_VERT", False));
  ev.xclient.data.l[2] = static_cast<long>(XInternAtom(FPeer, "_NET_WM_STATE_MAXIMIZED_HORZ", False));
  XSendEvent(FPeer, DefaultRootWindow(FPeer), False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
  XFlush(FPeer);
  EXPECT_TRUE(PumpUntil(
      [&] { return IsZoomed(top) && GetWindowRect(top).Width() > 900 && OnScreen(top) == GetWindowRect(top); },
      Pumper()));
  ShowWindow(top, SW_RESTORE);
  EXPECT_TRUE(PumpUntil(
      [&] { return OnScreen(top) == TRect(60, 40, 360, 240) && GetWindowRect(top) == TRect(60, 40, 360, 240); },
      Pumper()));
  EXPECT_FALSE(IsZoomed(top));

  Tool("xdotool windowmove --sync " + XId(top) + " 200 150");
  EXPECT_TRUE(PumpUntil([&] { return GetWindowRect(top).Left == 200 && GetWindowRect(top).Top == 150; }, Pumper()));
}

TEST_F(X11Test, WindowsShownWhileTheManagerStartsEndUpShownInItsFrame) {
  if (!ToolInstalled("openbox")) GTEST_SKIP() << "openbox is not installed";
  HWND top = ShowTestWindow();
  const TRect client(60 + 4, 40 + 23, 360 - 4, 240 - 4);  // inside our own frame
  auto clientOnScreen = [&] {
    TPoint o = ClientToScreen(top, TPoint{0, 0});
    TRect c = GetClientRect(top);
    return TRect(o.X, o.Y, o.X + c.Width(), o.Y + c.Height());
  };
  ASSERT_EQ(client, clientOnScreen());
  for (int round = 0; round < 3; ++round) {
    ShowWindow(top, SW_HIDE);
    Pump();
    ASSERT_TRUE(FServer->StartWindowManager());
    ShowWindow(top, SW_SHOW);
    EXPECT_TRUE(PumpUntil([&] { return DisplayBackend().ManagerDecorates(); }, Pumper(), 10000));
    // The manager's frame around the same client area.
    EXPECT_TRUE(PumpUntil([&] { return Viewable(top) && OnScreen(top) == client && GetWindowRect(top) == client; },
                          Pumper()))
        << round;
    FServer->StopWindowManager();
    EXPECT_TRUE(PumpUntil([&] { return !DisplayBackend().ManagerDecorates() && Viewable(top); }, Pumper())) << round;
    EXPECT_EQ(client, clientOnScreen()) << "our own frame again";
  }
}

TEST_F(X11Test, AMapLostToAStartingManagerIsSentAgain) {
  // A manager that takes the screen and drops the request, as one still starting can.
  Window root = DefaultRootWindow(FPeer);
  XSelectInput(FPeer, root, SubstructureRedirectMask);
  XSync(FPeer, False);
  HWND top = CreateWindowEx(0, "Paint", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100, 0);
  Pump();
  FBackend->Sync();
  XSelectInput(FPeer, root, 0);
  XSync(FPeer, False);
  EXPECT_FALSE(Viewable(top));
  EXPECT_TRUE(PumpUntil([&] { return Viewable(top); }, Pumper()));
}

// A manager reparents the window and tells its place on the screen by a notice of its own; the
// server's later notice gives the place inside the frame, which is no place on the screen.
TEST_F(X11Test, APlaceInsideTheFrameIsNotTakenForOneOnTheScreen) {
  HWND top = CreateWindowEx(0, "Paint", "", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, 0);
  Pump();
  FBackend->Sync();
  Window xw = FBackend->XWindowOf(top), root = DefaultRootWindow(FPeer);
  Window frame = XCreateSimpleWindow(FPeer, root, 150, 120, 260, 160, 0, 0, 0);
  XMoveWindow(FPeer, xw, 70, 50);  // still on the root: a place on the screen
  XReparentWindow(FPeer, xw, frame, 1, 20);
  XEvent ev{};
  ev.xconfigure.type = ConfigureNotify;
  ev.xconfigure.send_event = True;
  ev.xconfigure.event = ev.xconfigure.window = xw;
  ev.xconfigure.x = 151, ev.xconfigure.y = 140;
  ev.xconfigure.width = 200, ev.xconfigure.height = 100;
  XSendEvent(FPeer, xw, False, StructureNotifyMask, &ev);
  XResizeWindow(FPeer, xw, 210, 100);  // the server's notice: 1,20 within the frame
  XSync(FPeer, False);
  EXPECT_TRUE(PumpUntil([&] { return GetWindowRect(top).Width() == 210; }, Pumper()));
  EXPECT_EQ(151, GetWindowRect(top).Left);
  EXPECT_EQ(140, GetWindowRect(top).Top);
  XDestroyWindow(FPeer, frame);
  XSync(FPeer, False);
}

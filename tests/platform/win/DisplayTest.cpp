// The window system's side of the display: what a backend hears, the desktop and its XOR frame,
// cursors, the work area and pictures of windows.
#include <filesystem>
#include <fstream>

#include "platform/win/Cursors.h"
#include "platform/win/DisplayBackend.h"
#include "platform/win/DragFrame.h"
#include "platform/win/HeadlessBackend.h"
#include "platform/win/WindowImage.h"
#include "platform/win/WinTestSupport.h"

namespace {

// A display that writes down what it is told.
class TRecordingBackend final : public TDisplayBackend {
public:
  explicit TRecordingBackend(std::vector<std::string>& log) : FLog(log) {}
  void WindowCreated(HWND) override { FLog.push_back("created"); }
  void WindowDestroyed(HWND) override { FLog.push_back("destroyed"); }
  void WindowShown(HWND, bool visible) override { FLog.push_back(visible ? "shown" : "hidden"); }
  void WindowMoved(HWND, const TRect& r) override {
    FLog.push_back("moved " + std::to_string(r.Left) + "," + std::to_string(r.Top) + " " +
                   std::to_string(r.Width()) + "x" + std::to_string(r.Height()));
  }
  void WindowTitled(HWND, const AnsiString& t) override { FLog.push_back("titled " + t); }
  void Present(HWND, const TRect& r) override {
    FLog.push_back("present " + std::to_string(r.Left) + "," + std::to_string(r.Top) + "," +
                   std::to_string(r.Right) + "," + std::to_string(r.Bottom));
  }
  bool BringsInput() const override { return true; }
  void WaitInput(int timeoutMs) override { FLog.push_back("wait " + std::to_string(timeoutMs < 0 ? -1 : timeoutMs > 0)); }
  std::optional<AnsiString> ClipboardText() override { return FClip; }
  void SetClipboardText(const std::optional<AnsiString>& t) override { FClip = t; }
  TRect ScreenRect() const override { return TRect{0, 0, 800, 600}; }
  TRect WorkArea() const override { return TRect{0, 30, 800, 600}; }

  std::optional<AnsiString> FClip;

private:
  std::vector<std::string>& FLog;
};

class DisplayTest : public WinTest {
protected:
  void TearDown() override {
    WinTest::TearDown();
    SetDisplayBackend(nullptr);
  }
  THeadlessBackend& Headless() { return static_cast<THeadlessBackend&>(DisplayBackend()); }
};

}  // namespace

TEST_F(DisplayTest, BackendHearsTheLifeOfTopLevelWindowsOnly) {
  std::vector<std::string> log;
  SetDisplayBackend(std::make_unique<TRecordingBackend>(log));
  HWND a = CreateWindowEx(0, "Rec", "First", WS_POPUP, 10, 20, 100, 50, 0);
  HWND k = Child(a, 1, 1, 10, 10);
  SetWindowText(k, "not shown");
  SetWindowText(a, "Second");
  ShowWindow(a, SW_SHOW);
  MoveWindow(a, 30, 40, 120, 60);
  UseGdiDeviceContexts();
  Pump();  // paints, then the idle queue presents
  ShowWindow(a, SW_HIDE);
  DestroyWindow(a);
  std::vector<std::string> want{"created", "titled Second", "shown", "moved 30,40 120x60", "present 0,0,120,60",
                                "hidden", "destroyed"};
  EXPECT_EQ(want, log);
}

TEST_F(DisplayTest, OnlyWhatWasPaintedIsPresentedAgain) {
  std::vector<std::string> log;
  SetDisplayBackend(std::make_unique<TRecordingBackend>(log));
  UseGdiDeviceContexts();
  HWND a = Top(0, 0, 108, 127);  // client at 4,23
  HWND k = Child(a, 10, 10, 30, 30);
  ShowWindow(a, SW_SHOW);
  Pump();
  log.clear();
  TRect r = Rect(0, 0, 5, 5);
  InvalidateRect(k, &r, true);
  Pump();
  EXPECT_EQ(std::vector<std::string>{"present 14,33,19,38"}, log);
  log.clear();
  Pump();
  EXPECT_TRUE(log.empty()) << "nothing changed, nothing shown";
}

TEST_F(DisplayTest, ClipboardAndWorkAreaComeFromTheBackend) {
  std::vector<std::string> log;
  auto owned = std::make_unique<TRecordingBackend>(log);
  TRecordingBackend* b = owned.get();
  SetDisplayBackend(std::move(owned));
  ASSERT_TRUE(OpenClipboard(0));
  SetClipboardText("from us");
  CloseClipboard();
  EXPECT_EQ("from us", b->FClip.value_or(""));
  b->FClip = "from outside";
  EXPECT_EQ("from outside", GetClipboardText().value_or(""));
  EXPECT_EQ(Rect(0, 30, 800, 600), GetWorkArea());
  EXPECT_EQ(Rect(0, 0, 800, 600), GetWindowRect(GetDesktopWindow()));
  HWND a = Top();
  ShowWindow(a, SW_SHOWMAXIMIZED);
  EXPECT_EQ(Rect(0, 30, 800, 600), GetWindowRect(a));
}

TEST_F(DisplayTest, WaitingAsksTheBackendWithTheNextDeadline) {
  std::vector<std::string> log;
  SetDisplayBackend(std::make_unique<TRecordingBackend>(log));
  WaitMessage();  // a display with input may wait without a timer
  SetTimer(0, 0, 5000);
  WaitMessage();
  EXPECT_EQ((std::vector<std::string>{"wait -1", "wait 1"}), log);
  SetDisplayBackend(nullptr);
  KillTimer(0, 1);
  EXPECT_THROW(WaitMessage(), EWindowError) << "headless without timers would wait for good";
}

TEST_F(DisplayTest, XorFrameInvertsACheckerBandAndTakesItAwayAgain) {
  HDC dc = GetDC(0);
  ReleaseDC(0, dc);
  TGdiBitmap before = GetWindowImage(GetDesktopWindow());
  ASSERT_EQ(1024, before.Width());
  TRect r = Rect(100, 50, 120, 60);
  DrawXorFrame(r, 3);
  TGdiBitmap after = GetWindowImage(GetDesktopWindow());
  int inverted = 0;
  for (int y = 45; y < 65; ++y)
    for (int x = 95; x < 125; ++x) {
      bool inBand = r.Contains(x, y) && !Rect(103, 53, 117, 57).Contains(x, y);
      bool flipped = after.Pixel(x, y) == (before.Pixel(x, y) ^ 0xFFFFFFu);
      EXPECT_EQ(inBand && ((x + y) & 1), flipped) << x << "," << y;
      inverted += flipped;
    }
  EXPECT_EQ((20 * 10 - 14 * 4) / 2, inverted);
  DrawXorFrame(r, 3);
  TGdiBitmap again = GetWindowImage(GetDesktopWindow());
  for (int y = 45; y < 65; ++y)
    for (int x = 95; x < 125; ++x) ASSERT_EQ(before.Pixel(x, y), again.Pixel(x, y));
  // Thicker than half the rectangle: the whole of it, each pixel once.
  DrawXorFrame(Rect(0, 0, 4, 3), 5);
  EXPECT_EQ(before.Pixel(1, 0) ^ 0xFFFFFFu, GetWindowImage(GetDesktopWindow()).Pixel(1, 0));
  EXPECT_EQ(before.Pixel(1, 1), GetWindowImage(GetDesktopWindow()).Pixel(1, 1));
}

TEST_F(DisplayTest, CursorsFollowTheClassAndTheFrame) {
  EXPECT_EQ(IDC_NO, LoadCursor(0, IDC_NO));
  EXPECT_EQ(0, LoadCursor(0, 12345));
  TWndClass wc;
  wc.lpszClassName = "Beam";
  wc.hCursor = LoadCursor(0, IDC_IBEAM);
  ASSERT_TRUE(RegisterClass(wc));
  HWND a = Top(100, 100, 200, 150);  // thick frame of 4, caption of 19
  HWND k = CreateWindowEx(0, "Beam", "", WS_CHILD | WS_VISIBLE, 10, 10, 50, 50, a);
  ShowWindow(a, SW_SHOW);
  ASSERT_NE(0u, k);
  struct TCase { TPoint At; int Cursor; };
  const TCase cases[] = {{Point(104 + 20, 123 + 20), IDC_IBEAM},  // over the child
                         {Point(104 + 100, 123 + 100), IDC_ARROW},
                         {Point(101, 200), IDC_SIZEWE},
                         {Point(200, 248), IDC_SIZENS},
                         {Point(101, 101), IDC_SIZENWSE},
                         {Point(150, 110), IDC_ARROW}};  // caption
  for (const TCase& c : cases) {
    InjectMouseMove(c.At.X, c.At.Y);
    EXPECT_EQ(c.Cursor, GetCursor()) << c.At.X << "," << c.At.Y;
    EXPECT_EQ(c.Cursor, Headless().CursorShape());
  }
}

TEST_F(DisplayTest, WindowPicturesAreCutFromTheBackBufferAndSavedAsPng) {
  UseGdiDeviceContexts();
  HWND a = Top(0, 0, 108, 127);
  HWND k = Child(a, 10, 10, 30, 20);
  ShowWindow(a, SW_SHOW);
  Pump();
  GetWindowSurface(a)->SetPixel(4 + 10, 23 + 10, 0x00123456);
  TGdiBitmap whole = GetWindowImage(a);
  TGdiBitmap part = GetWindowImage(k);
  ASSERT_EQ(108, whole.Width());
  ASSERT_EQ(127, whole.Height());
  ASSERT_EQ(30, part.Width());
  ASSERT_EQ(20, part.Height());
  EXPECT_EQ(0x00123456u, part.Pixel(0, 0));
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) ASSERT_EQ(whole.Pixel(4 + 10 + x, 23 + 10 + y), part.Pixel(x, y));
  EXPECT_TRUE(GetWindowImage(0xDEAD).Empty());

  auto dir = std::filesystem::temp_directory_path() / ("win_png_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  AnsiString file = (dir / "child.png").string();
  SaveWindowPng(k, file);
  std::ifstream in(file, std::ios::binary);
  std::vector<uint8_t> head(24);
  in.read(reinterpret_cast<char*>(head.data()), 24);
  EXPECT_EQ(0x89, head[0]);
  EXPECT_EQ('P', head[1]);
  EXPECT_EQ(30, (head[16] << 24) | (head[17] << 16) | (head[18] << 8) | head[19]);  // IHDR width
  EXPECT_EQ(20, (head[20] << 24) | (head[21] << 16) | (head[22] << 8) | head[23]);
  EXPECT_THROW(SaveWindowPng(0xDEAD, file), EWindowError);
  std::filesystem::remove_all(dir);
}

TEST_F(DisplayTest, KeysTypeWhatTheDisplaysLayoutSays) {
  HWND a = Top();
  ShowWindow(a, SW_SHOW);
  Pump();
  std::string chars;
  OnMsg = [&](HWND, UINT m, WPARAM w, LPARAM, LRESULT&) {
    if (m == WM_CHAR) chars += static_cast<char>(w);
    return false;
  };
  InjectKeyDown(VK_SHIFT);
  InjectKeyPress('7');  // the standard layout: &
  InjectKeyDown('7', '/');
  InjectKeyUp('7');
  InjectKeyUp(VK_SHIFT);
  InjectKeyDown(VK_OEM_3, TypesNothing);  // a dead key
  InjectKeyDown('Q', '@');
  Pump();
  EXPECT_EQ("&/@", chars);
}

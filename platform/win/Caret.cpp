#include "platform/win/Caret.h"

#include "platform/rtl/Ticks.h"
#include "platform/win/WinState.h"

namespace {

struct TCaret {
  HWND Window = 0;
  int Width = 0, Height = 0;
  TPoint Pos;
  int HideCount = 1;  // a new caret starts hidden
  bool PhaseOn = false;
  bool Drawn = false;
  TRect DrawnAt;
  TWindowSurface* DrawnOn = nullptr;
  uint32_t BlinkTime = 500;
  uint64_t NextToggle = 0;
};

TCaret& C() {
  static TCaret c;
  return c;
}

void Undraw() {
  TCaret& c = C();
  if (c.Drawn && c.DrawnOn && GetWindowSurface(c.Window) == c.DrawnOn) c.DrawnOn->Invert(c.DrawnAt);
  c.Drawn = false;
}

void Draw() {
  TCaret& c = C();
  if (c.Drawn || !IsWindowVisible(c.Window)) return;
  TWindowSurface* s = GetWindowSurface(c.Window);
  if (!s) return;
  TRect area = GetWindowSurfaceRect(c.Window);
  TRect r = OffsetRect(TRect{c.Pos.X, c.Pos.Y, c.Pos.X + c.Width, c.Pos.Y + c.Height}, area.Left, area.Top);
  r = IntersectRect(r, area);
  s->Invert(r);
  c.Drawn = true;
  c.DrawnAt = r;
  c.DrawnOn = s;
}

void Refresh() {
  TCaret& c = C();
  Undraw();
  if (c.Window && c.HideCount == 0 && c.PhaseOn) Draw();
}

}  // namespace

bool CreateCaret(HWND hwnd, int width, int height) {
  if (!IsWindow(hwnd)) return false;
  DestroyCaret();
  TCaret& c = C();
  c.Window = hwnd;
  c.Width = width > 0 ? width : 1;
  c.Height = height > 0 ? height : 1;
  c.Pos = TPoint{};
  c.HideCount = 1;
  c.PhaseOn = true;
  return true;
}

bool DestroyCaret() {
  TCaret& c = C();
  if (!c.Window) return false;
  Undraw();
  uint32_t blink = c.BlinkTime;
  c = TCaret{};
  c.BlinkTime = blink;
  return true;
}

bool ShowCaret(HWND hwnd) {
  TCaret& c = C();
  if (!c.Window || (hwnd && hwnd != c.Window) || c.HideCount == 0) return false;
  if (--c.HideCount == 0) {
    c.PhaseOn = true;
    c.NextToggle = GetTickCount64() + c.BlinkTime;
    Refresh();
  }
  return true;
}

bool HideCaret(HWND hwnd) {
  TCaret& c = C();
  if (!c.Window || (hwnd && hwnd != c.Window)) return false;
  ++c.HideCount;
  Refresh();
  return true;
}

bool SetCaretPos(int x, int y) {
  TCaret& c = C();
  if (!c.Window) return false;
  c.Pos = TPoint{x, y};
  c.PhaseOn = true;
  c.NextToggle = GetTickCount64() + c.BlinkTime;
  Refresh();
  return true;
}

TPoint GetCaretPos() { return C().Pos; }
void SetCaretBlinkTime(uint32_t ms) { C().BlinkTime = ms ? ms : 500; }
uint32_t GetCaretBlinkTime() { return C().BlinkTime; }
HWND CaretWindow() { return C().Window; }
bool CaretShown() { return C().Window && C().HideCount == 0 && C().PhaseOn; }

void BlinkCaret() {
  TCaret& c = C();
  if (!c.Window || c.HideCount != 0) return;
  uint64_t now = GetTickCount64();
  if (now < c.NextToggle) return;
  c.PhaseOn = !c.PhaseOn;
  c.NextToggle = now + c.BlinkTime;
  Refresh();
}

uint64_t NextCaretBlink() {
  const TCaret& c = C();
  return c.Window && c.HideCount == 0 ? c.NextToggle : UINT64_MAX;
}

void CaretWindowDestroyed(HWND hwnd) {
  if (C().Window == hwnd) DestroyCaret();
}

void ResetCaret() { C() = TCaret{}; }

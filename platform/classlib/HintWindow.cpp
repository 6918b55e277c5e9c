#include "platform/classlib/HintWindow.h"

#include "platform/win/Windows.h"

namespace {
constexpr int HintMargin = 2;
}

THintWindow::THintWindow(TComponent* owner) : TCustomControl(owner) {
  FVisible = false;
  SetColor(clInfoBk);
  Font().SetColor(clInfoText);
}

void THintWindow::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  p.Style = WS_POPUP | WS_BORDER;
  p.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
  p.WndParent = 0;
}

TRect THintWindow::CalcHintRect(int maxWidth, const AnsiString& hint) {
  TRect r{0, 0, maxWidth, 0};
  Canvas().DrawText(hint, r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
  r.Right += 2 * HintMargin + 4;
  r.Bottom += 2 * HintMargin + 2;
  return r;
}

void THintWindow::ActivateHint(const TRect& rect, const AnsiString& hint) {
  SetCaption(hint);
  TRect area = GetWorkArea();
  TRect r = rect;
  // Kept on the screen.
  if (r.Right > area.Right) r = OffsetRect(r, area.Right - r.Right, 0);
  if (r.Bottom > area.Bottom) r = OffsetRect(r, 0, area.Bottom - r.Bottom);
  if (r.Left < area.Left) r = OffsetRect(r, area.Left - r.Left, 0);
  if (r.Top < area.Top) r = OffsetRect(r, 0, area.Top - r.Top);
  SetBoundsRect(r);
  HandleNeeded();
  FVisible = true;
  SetWindowPos(FHandle, HWND_TOPMOST, r.Left, r.Top, r.Width(), r.Height(), SWP_SHOWWINDOW | SWP_NOACTIVATE);
  Invalidate();
}

void THintWindow::ReleaseHint() {
  FVisible = false;
  if (FHandle) ShowWindow(FHandle, SW_HIDE);
}

void THintWindow::Paint() {
  TRect r = ClientRect();
  r = InflateRect(r, -HintMargin, -HintMargin);
  Canvas().Brush().SetStyle(bsClear);
  Canvas().Font().SetColor(clInfoText);
  Canvas().DrawText(Caption(), r, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
}

void THintWindow::WndProc(TMessage& m) {
  if (m.Msg == WM_MOUSEACTIVATE) {
    m.Result = MA_NOACTIVATE;
    return;
  }
  TCustomControl::WndProc(m);
}

AnsiString GetShortHint(const AnsiString& hint) {
  auto bar = hint.find('|');
  return bar == AnsiString::npos ? hint : hint.substr(0, bar);
}

AnsiString GetLongHint(const AnsiString& hint) {
  auto bar = hint.find('|');
  return bar == AnsiString::npos ? hint : hint.substr(bar + 1);
}

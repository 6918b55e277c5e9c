#include "controls/ctlURL.h"

#include "platform/rtl/ShellOps.h"
#include "platform/classlib/Forms.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"

namespace {

constexpr uint32_t HoverTickMs = 100;
constexpr std::size_t MaxAddressLength = 1023;
constexpr int ShellSuccessAbove = 32;

}  // namespace

TCtlURL::TCtlURL(TComponent* AOwner) : TCustomLabel(AOwner) { SetCursor(crHandPoint); }

TCtlURL::~TCtlURL() {
  if (FHoverTimer) KillTimer(0, FHoverTimer);
}

void TCtlURL::showText() { TCustomLabel::SetText(FCaption.empty() ? FURL : FCaption); }

void TCtlURL::SetURL(const AnsiString& Value) {
  FURL = Value;
  showText();
}

void TCtlURL::SetText(const AnsiString& v) {
  FCaption = v;
  showText();
}

void TCtlURL::SetHighlightColor(TColor Value) {
  FHighlightColor = Value == clNone ? Font().Color() : Value;
  FSavedColor = NoSavedColor;
}

void TCtlURL::SetVisitedColor(TColor Value) {
  FVisitedColor = Value == clNone ? Font().Color() : Value;
  FSavedColor = NoSavedColor;
}

void TCtlURL::Loaded() {
  TCustomLabel::Loaded();
  Font().SetStyle(Font().Style() | fsUnderline);
  FSavedColor = NoSavedColor;
}

void TCtlURL::Click() {
  if (!FURL.empty()) {
    if (ShellExecute("open", FURL.substr(0, MaxAddressLength)) <= ShellSuccessAbove) Beep();
  }
  TCustomLabel::Click();
  if (FUseVisitedColor) FSavedColor = FVisitedColor;
}

void TCtlURL::MouseMove(TShiftState shift, int x, int y) {
  TCustomLabel::MouseMove(shift, x, y);
  if (FHoverTimer) return;
  if (FSavedColor == NoSavedColor) FSavedColor = Font().Color();
  Font().SetColor(FHighlightColor);
  FHoverTimer = SetTimer(0, 0, HoverTickMs, [this](HWND, UINT, uintptr_t, uint32_t) { hoverTick(); });
}

void TCtlURL::hoverTick() {
  TPoint p;
  GetCursorPos(p);
  p = ScreenToClient(p);
  const TRect r = ClientRect();
  if (p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom) return;
  endHover();
}

void TCtlURL::endHover() {
  KillTimer(0, FHoverTimer);
  FHoverTimer = 0;
  if (FSavedColor != NoSavedColor) Font().SetColor(FSavedColor);
  Invalidate();
}

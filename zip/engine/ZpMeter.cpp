#include "zip/engine/ZpMeter.h"

#include <utility>

#include "platform/classlib/Forms.h"
#include "zip/engine/ZpBase.h"

namespace {

constexpr int BlockCount = 20;  // blocks that would fill the bar; 100 percent shows none
constexpr int PercentPerBlock = 5;

}  // namespace

int ZpMeterBlockSize(const TRect& client, TZpMeterOrientation orientation) {
  const int w = client.Width() + 1;
  const int h = client.Height() + 1;
  return ((orientation == moVertical ? h - 11 : w - 20) / BlockCount) + 1;
}

void ZpPaintMeter(TDeviceContext& dc, const TRect& client, const TZpMeterLook& look, uint8_t percent) {
  const int size = ZpMeterBlockSize(client, look.Orientation);
  const int blocks = percent / PercentPerBlock;
  dc.FillRect(client, SolidBrush(ColorToRGB(look.UnusedColor)));
  const TLogBrush used = SolidBrush(ColorToRGB(look.UsedColor));
  for (int i = 0; i < blocks; ++i) {
    if (look.Orientation == moHorizontal) {
      const int left = client.Left + i * (size + 2) + 1;
      dc.FillRect(TRect{left, client.Top + 1, left + size, client.Bottom - 1}, used);
    } else {
      const int bottom = client.Bottom - i - i * size - 1;
      dc.FillRect(TRect{client.Left + 2, bottom - size, client.Right - 2, bottom}, used);
    }
  }
  if (look.BorderStyle == TZpMeterBorder::bsNone) return;
  const TColorRef topLeft = look.Ctl3D ? ColorToRGB(clBtnShadow) : clBlack;
  const TColorRef bottomRight = look.Ctl3D ? ColorToRGB(clBtnHighlight) : clBlack;
  const int r = client.Right - 1, b = client.Bottom - 1;
  dc.FillRect(TRect{client.Left, client.Top, client.Right, client.Top + 1}, SolidBrush(topLeft));
  dc.FillRect(TRect{client.Left, client.Top, client.Left + 1, client.Bottom}, SolidBrush(topLeft));
  dc.FillRect(TRect{client.Left + 1, b, client.Right, b + 1}, SolidBrush(bottomRight));
  dc.FillRect(TRect{r, client.Top + 1, r + 1, client.Bottom}, SolidBrush(bottomRight));
}

TZpCustomMeter::TZpCustomMeter(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetBounds(Left(), Top(), DefaultWidth, DefaultHeight);
}

AnsiString TZpCustomMeter::Version() const { return ZpLibraryVersion; }

void TZpCustomMeter::SetBorderStyle(TZpMeterBorder Value) {
  if (Value == FLook.BorderStyle) return;
  FLook.BorderStyle = Value;
  Invalidate();
}

void TZpCustomMeter::SetCtl3D(bool Value) {
  if (Value == FLook.Ctl3D) return;
  FLook.Ctl3D = Value;
  Invalidate();
}

void TZpCustomMeter::SetOrientation(TZpMeterOrientation Value) {
  if (Value == FLook.Orientation) return;
  FLook.Orientation = Value;
  if (!HasState(csLoading)) SetBounds(Left(), Top(), Height(), Width());
  Invalidate();
}

void TZpCustomMeter::SetUnusedColor(TColorRef Value) {
  if (Value == FLook.UnusedColor) return;
  FLook.UnusedColor = Value;
  Invalidate();
}

void TZpCustomMeter::SetUsedColor(TColorRef Value) {
  if (Value == FLook.UsedColor) return;
  FLook.UsedColor = Value;
  Invalidate();
}

void TZpCustomMeter::DoProgress(uint8_t Percent) {
  if (Percent == FPercent) return;
  FPercent = Percent >= 100 ? 0 : Percent;
  Repaint();
  // The bar must move while the work holds the user-interface thread.
  Application().ProcessMessages();
}

void TZpCustomMeter::Paint() {
  if (TDeviceContext* dc = Canvas().Handle()) ZpPaintMeter(*dc, ClientRect(), FLook, FPercent);
}

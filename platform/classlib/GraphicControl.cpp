#include "platform/classlib/GraphicControl.h"

TGraphicControl::TGraphicControl(TComponent* owner)
    : TControl(owner), FCanvas(std::make_unique<TControlCanvas>(this)) {}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::Dispatch(TMessage& m) {
  if (m.Msg == WM_PAINT && m.WParam) {
    FCanvas->PaintOn(static_cast<HDC>(m.WParam), [this] { Paint(); });
    return;
  }
  TControl::Dispatch(m);
}

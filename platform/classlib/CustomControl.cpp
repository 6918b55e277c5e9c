#include "platform/classlib/CustomControl.h"

TCustomControl::TCustomControl(TComponent* owner)
    : TWinControl(owner), FCanvas(std::make_unique<TControlCanvas>(this)) {}

TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintWindow(HDC dc) {
  FCanvas->PaintOn(dc, [this] { Paint(); });
}

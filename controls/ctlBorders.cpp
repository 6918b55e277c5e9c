#include "controls/ctlBorders.h"

void TCtlBorder::Assign(const TPersistent* Source) {
  auto* other = dynamic_cast<const TCtlBorder*>(Source);
  if (!other) {
    TPersistent::Assign(Source);
    return;
  }
  FEnabled = other->FEnabled;
  FPenColor = other->FPenColor;
  FPenStyle = other->FPenStyle;
  FPenWidth = other->FPenWidth;
  changed();
}

void TCtlBorder::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  changed();
}

void TCtlBorder::SetPenColor(TColor Value) {
  if (Value == FPenColor) return;
  FPenColor = Value;
  changed();
}

void TCtlBorder::SetPenStyle(TPenStyle Value) {
  if (Value == FPenStyle) return;
  FPenStyle = Value;
  changed();
}

void TCtlBorder::SetPenWidth(int Value) {
  if (Value <= 0 || Value == FPenWidth) return;
  FPenWidth = Value;
  changed();
}

void TCtlBorder::SetBorderStyle(TCtlBorderStyle Value) {
  if (Value == FBorderStyle) return;
  FBorderStyle = Value;
  changed();
}

TCtlBorders::TCtlBorders() {
  for (TCtlBorder* b : {&FLeft, &FRight, &FTop, &FBottom})
    b->OnChange = [this] {
      if (OnChange) OnChange();
    };
}

void TCtlBorders::Assign(const TPersistent* Source) {
  auto* other = dynamic_cast<const TCtlBorders*>(Source);
  if (!other) {
    TPersistent::Assign(Source);
    return;
  }
  FLeft.Assign(&other->FLeft);
  FRight.Assign(&other->FRight);
  FTop.Assign(&other->FTop);
  FBottom.Assign(&other->FBottom);
}

void TCtlBorders::Draw(TCanvas& Canvas, int Width, int Height) const {
  auto line = [&](const TCtlBorder& b, int x1, int y1, int x2, int y2) {
    Canvas.Pen().SetColor(b.PenColor());
    Canvas.Pen().SetWidth(b.PenWidth());
    Canvas.Pen().SetStyle(b.PenStyle());
    Canvas.MoveTo(x1, y1);
    Canvas.LineTo(x2, y2);
  };
  auto near = [](const TCtlBorder& b) { return b.PenWidth() / 2; };
  auto far = [](const TCtlBorder& b, int size) { return size - b.PenWidth() / 2 - (b.PenWidth() & 1); };
  if (FLeft.Enabled()) line(FLeft, near(FLeft), 0, near(FLeft), Height);
  if (FTop.Enabled()) line(FTop, 0, near(FTop), Width, near(FTop));
  if (FRight.Enabled()) line(FRight, far(FRight, Width), 0, far(FRight, Width), Height);
  if (FBottom.Enabled()) line(FBottom, 0, far(FBottom, Height), Width, far(FBottom, Height));
}

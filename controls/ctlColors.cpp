#include "controls/ctlColors.h"

TCtlColors::TCtlColors(TColor DefaultTextColor, TColor DefaultBackColor)
    : FDefaultTextColor(DefaultTextColor),
      FDefaultBackColor(DefaultBackColor),
      FTextColor(DefaultTextColor),
      FBackColor(DefaultBackColor) {}

void TCtlColors::Assign(const TPersistent* Source) {
  auto* other = dynamic_cast<const TCtlColors*>(Source);
  if (!other) {
    TPersistent::Assign(Source);
    return;
  }
  FBackColor = other->FBackColor;
  FTextColor = other->FTextColor;
  FUseDefault = FBackColor == FDefaultBackColor && FTextColor == FDefaultTextColor && other->FUseDefault;
  changed();
}

void TCtlColors::SetBackColor(TColor Value) {
  if (Value == FBackColor) return;
  FBackColor = Value;
  if (Value != FDefaultBackColor) FUseDefault = false;
  changed();
}

void TCtlColors::SetTextColor(TColor Value) {
  if (Value == FTextColor) return;
  FTextColor = Value;
  if (Value != FDefaultTextColor) FUseDefault = false;
  changed();
}

void TCtlColors::SetUseDefault(bool Value) {
  if (Value == FUseDefault) return;
  FUseDefault = Value;
  if (!Value) return;
  FTextColor = FDefaultTextColor;
  FBackColor = FDefaultBackColor;
  changed();
}

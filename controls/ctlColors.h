// A text and a background colour with defaults, as the library's controls keep their colour sets.
#pragma once

#include <functional>

#include "platform/classlib/Classes.h"
#include "platform/classlib/Graphics.h"

class TCtlColors : public TPersistent {
public:
  TCtlColors(TColor DefaultTextColor, TColor DefaultBackColor);
  AnsiString ClassName() const override { return "TCtlColors"; }
  void Assign(const TPersistent* Source) override;

  TColor BackColor() const { return FBackColor; }
  // A colour other than its default clears UseDefault.
  void SetBackColor(TColor Value);
  TColor TextColor() const { return FTextColor; }
  void SetTextColor(TColor Value);
  bool UseDefault() const { return FUseDefault; }
  // True puts both colours back to their defaults.
  void SetUseDefault(bool Value);

  std::function<void()> OnChange;

private:
  void changed() {
    if (OnChange) OnChange();
  }

  TColor FDefaultTextColor;
  TColor FDefaultBackColor;
  TColor FTextColor;
  TColor FBackColor;
  bool FUseDefault = true;
};

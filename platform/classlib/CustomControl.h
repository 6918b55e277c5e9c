// A windowed control that paints itself on a canvas.
#pragma once

#include <memory>

#include "platform/classlib/ControlCanvas.h"
#include "platform/classlib/WinControl.h"

class TCustomControl : public TWinControl {
public:
  explicit TCustomControl(TComponent* owner);
  ~TCustomControl() override;
  AnsiString ClassName() const override { return "TCustomControl"; }
  TCanvas& Canvas() { return *FCanvas; }

protected:
  virtual void Paint() {}
  void PaintWindow(HDC dc) override;

private:
  std::unique_ptr<TControlCanvas> FCanvas;
};

// A control without a window of its own, painted on a canvas in its parent's window.
#pragma once

#include <memory>

#include "platform/classlib/Control.h"
#include "platform/classlib/ControlCanvas.h"

// A control without a window of its own: its parent paints it and passes it the mouse.
class TGraphicControl : public TControl {
public:
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;
  AnsiString ClassName() const override { return "TGraphicControl"; }
  TCanvas& Canvas() { return *FCanvas; }

protected:
  virtual void Paint() {}
  void Dispatch(TMessage& message) override;

private:
  std::unique_ptr<TControlCanvas> FCanvas;
};

// The canvas through which a control draws, and the release of the contexts such canvases hold.
#pragma once

#include <functional>

#include "platform/classlib/Graphics.h"
#include "platform/win/WinTypes.h"

class TControl;

// A canvas that draws on a control: in its parent's window for a graphic control.
class TControlCanvas : public TCanvas {
public:
  explicit TControlCanvas(class TControl* control) : FControl(control) {}
  ~TControlCanvas() override;
  // Drops the context taken with GetDC (painting hands its own in through SetHandle).
  void FreeHandle() override;
  TControl* Control() const { return FControl; }
  // Runs paint on the context that painting hands in (not at all without one); lets it go after.
  void PaintOn(HDC dc, const std::function<void()>& paint);

protected:
  void CreateHandle() override;

private:
  TControl* FControl = nullptr;
  HWND FWindow = 0;
  HDC FDC = 0;
};

// Lets go of the contexts that control canvases took outside painting; the loop calls it when idle.
void FreeDeviceContexts();

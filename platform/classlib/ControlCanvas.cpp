#include "platform/classlib/ControlCanvas.h"

#include <algorithm>
#include <vector>

#include "platform/classlib/WinControl.h"
#include "platform/win/PaintContext.h"
#include "platform/win/Windows.h"

namespace {

// Canvases holding a context taken outside painting; the loop lets them go when idle, since a
// context goes stale once its window moves.
std::vector<TControlCanvas*>& CanvasesWithContexts() {
  static auto* v = new std::vector<TControlCanvas*>;
  return *v;
}

}  // namespace

void FreeDeviceContexts() {
  std::vector<TControlCanvas*> list;
  list.swap(CanvasesWithContexts());
  for (TControlCanvas* c : list) c->FreeHandle();
}

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::CreateHandle() {
  if (!FControl) return;
  auto* wc = dynamic_cast<TWinControl*>(FControl);
  TWinControl* host = wc ? wc : FControl->Parent();
  if (!host) return;
  HWND h = host->Handle();
  FDC = GetDC(h);
  FWindow = h;
  TDeviceContext* dc = DeviceContextOf(FDC);
  if (!dc) {
    ReleaseDC(h, FDC);
    FDC = 0;
    FWindow = 0;
    return;
  }
  if (!wc) {
    dc->OffsetViewportOrg(FControl->Left(), FControl->Top());
    dc->IntersectClipRect(0, 0, FControl->Width(), FControl->Height());
  }
  SetHandle(dc);
  CanvasesWithContexts().push_back(this);
}

void TControlCanvas::FreeHandle() {
  if (FDC) {
    ReleaseDC(FWindow, FDC);
    FDC = 0;
    FWindow = 0;
    auto& v = CanvasesWithContexts();
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
  }
  TCanvas::FreeHandle();
}

void TControlCanvas::PaintOn(HDC dc, const std::function<void()>& paint) {
  FreeHandle();
  SetHandle(DeviceContextOf(dc));
  try {
    if (HandleAllocated()) paint();
  } catch (...) {
    SetHandle(nullptr);
    throw;
  }
  SetHandle(nullptr);
}

#include "platform/win/WindowSurface.h"

#include <algorithm>
#include <map>

#include "platform/win/WinState.h"

namespace {

TDcProvider& Provider() {
  static TDcProvider p;
  return p;
}

std::map<HDC, TDcTarget>& BuiltIn() {
  static std::map<HDC, TDcTarget> m;
  return m;
}

HDC& NextDc() {
  static HDC next = 0x20000;
  return next;
}

std::function<TColorRef(TColorRef)>& Resolver() {
  static std::function<TColorRef(TColorRef)> r;
  return r;
}

}  // namespace

void TWindowSurface::Resize(int w, int h) {
  if (w != Width() || h != Height()) Bitmap->SetSize(w, h);
}

TColorRef TWindowSurface::Pixel(int x, int y) const { return Bitmap->Pixel(x, y); }
void TWindowSurface::SetPixel(int x, int y, TColorRef c) { Bitmap->SetPixel(x, y, c); }

void TWindowSurface::Fill(const TRect& r, TColorRef c) {
  TRect a = IntersectRect(r, TRect{0, 0, Width(), Height()});
  for (int y = a.Top; y < a.Bottom; ++y) std::fill(Bitmap->Row(y) + a.Left, Bitmap->Row(y) + a.Right, c);
}

void TWindowSurface::Invert(const TRect& r) {
  TRect a = IntersectRect(r, TRect{0, 0, Width(), Height()});
  for (int y = a.Top; y < a.Bottom; ++y)
    for (int x = a.Left; x < a.Right; ++x) Bitmap->Row(y)[x] ^= 0xFFFFFF;
}

void SetDcProvider(TDcProvider provider) { Provider() = std::move(provider); }

const TDcTarget* BuiltInDcTarget(HDC dc) {
  auto it = BuiltIn().find(dc);
  return it == BuiltIn().end() ? nullptr : &it->second;
}

HDC AcquireDc(const TDcTarget& target) {
  if (Provider().Acquire) return Provider().Acquire(target);
  HDC dc = NextDc()++;
  BuiltIn()[dc] = target;
  return dc;
}

void ReleaseDcHandle(HDC dc) {
  if (BuiltIn().erase(dc)) return;
  if (Provider().Release) Provider().Release(dc);
}

void SetSysColorResolver(std::function<TColorRef(TColorRef)> resolver) { Resolver() = std::move(resolver); }

TColorRef ResolveColor(TColorRef c) {
  if (!(c & 0x80000000)) return c & 0xFFFFFF;
  if (Resolver()) return Resolver()(c);
  switch (c & 0xFF) {
    case 5: return 0xFFFFFF;   // window
    case 8: return 0x000000;   // window text
    case 12: return 0x808080;  // application workspace
    case 15: return 0xC0C0C0;  // button face
    case 16: return 0x808080;  // button shadow
  }
  return 0xC0C0C0;
}

TWindowSurface* GetWindowSurface(HWND hwnd) {
  TWindowRec* w = FindWindowRec(hwnd);
  while (w && w->Parent) w = FindWindowRec(w->Parent);
  return w ? w->Surface.get() : nullptr;
}

TRect GetWindowSurfaceRect(HWND hwnd) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return {};
  HWND top = GetAncestorRoot(hwnd);
  TRect topRect = GetWindowRect(top);
  TPoint o = ClientToScreen(hwnd, TPoint{0, 0});
  TRect c = GetClientRect(hwnd);
  return OffsetRect(c, o.X - topRect.Left, o.Y - topRect.Top);
}

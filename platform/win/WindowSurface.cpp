#include "platform/win/WindowSurface.h"

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
  if (w == Width && h == Height) return;
  std::vector<TColorRef> next(size_t(w) * size_t(h), 0xFFFFFF);
  for (int y = 0; y < std::min(h, Height); ++y)
    for (int x = 0; x < std::min(w, Width); ++x) next[size_t(y) * size_t(w) + size_t(x)] = Pixel(x, y);
  Pixels = std::move(next);
  Width = w;
  Height = h;
}

TColorRef TWindowSurface::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= Width || y >= Height) return 0xFFFFFFFF;
  return Pixels[size_t(y) * size_t(Width) + size_t(x)];
}

void TWindowSurface::SetPixel(int x, int y, TColorRef c) {
  if (x < 0 || y < 0 || x >= Width || y >= Height) return;
  Pixels[size_t(y) * size_t(Width) + size_t(x)] = c;
}

void TWindowSurface::Fill(const TRect& r, TColorRef c) {
  TRect a = IntersectRect(r, TRect{0, 0, Width, Height});
  for (int y = a.Top; y < a.Bottom; ++y)
    for (int x = a.Left; x < a.Right; ++x) Pixels[size_t(y) * size_t(Width) + size_t(x)] = c;
}

void TWindowSurface::Invert(const TRect& r) {
  TRect a = IntersectRect(r, TRect{0, 0, Width, Height});
  for (int y = a.Top; y < a.Bottom; ++y)
    for (int x = a.Left; x < a.Right; ++x) Pixels[size_t(y) * size_t(Width) + size_t(x)] ^= 0xFFFFFF;
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

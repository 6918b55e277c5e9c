#include "platform/win/WindowSurface.h"

#include <algorithm>
#include <map>

#include "platform/win/DisplayBackend.h"
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

// Every context handed out and not yet released, whoever made it: what it may have drawn on.
std::map<HDC, TDcTarget>& Live() {
  static std::map<HDC, TDcTarget> m;
  return m;
}

TWindowSurface* DesktopSurface() {
  auto& d = WinState().Desktop;
  if (!d) {
    d = std::make_unique<TWindowSurface>();
    TRect r = DisplayBackend().ScreenRect();
    d->Resize(r.Width(), r.Height());
  }
  return d.get();
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
  if (w == Width() && h == Height()) return;
  Bitmap->SetSize(w, h);
  MarkChanged(TRect{0, 0, w, h});
}

void TWindowSurface::MarkChanged(const TRect& r) {
  TRect a = IntersectRect(r, TRect{0, 0, Width(), Height()});
  if (!a.IsEmpty()) Changed = Changed.IsEmpty() ? a : UnionRect(Changed, a);
}

TColorRef TWindowSurface::Pixel(int x, int y) const { return Bitmap->Pixel(x, y); }

void TWindowSurface::SetPixel(int x, int y, TColorRef c) {
  Bitmap->SetPixel(x, y, c);
  MarkChanged(TRect{x, y, x + 1, y + 1});
}

void TWindowSurface::Fill(const TRect& r, TColorRef c) {
  TRect a = IntersectRect(r, TRect{0, 0, Width(), Height()});
  for (int y = a.Top; y < a.Bottom; ++y) std::fill(Bitmap->Row(y) + a.Left, Bitmap->Row(y) + a.Right, c);
  MarkChanged(a);
}

void TWindowSurface::Invert(const TRect& r) {
  TRect a = IntersectRect(r, TRect{0, 0, Width(), Height()});
  for (int y = a.Top; y < a.Bottom; ++y)
    for (int x = a.Left; x < a.Right; ++x) Bitmap->Row(y)[x] ^= 0xFFFFFF;
  MarkChanged(a);
}

void SetDcProvider(TDcProvider provider) { Provider() = std::move(provider); }

const TDcTarget* BuiltInDcTarget(HDC dc) {
  auto it = BuiltIn().find(dc);
  return it == BuiltIn().end() ? nullptr : &it->second;
}

HDC AcquireDc(const TDcTarget& target) {
  HDC dc = 0;
  if (Provider().Acquire) {
    dc = Provider().Acquire(target);
  } else {
    dc = NextDc()++;
    BuiltIn()[dc] = target;
  }
  if (dc) Live()[dc] = target;
  return dc;
}

void ReleaseDcHandle(HDC dc) {
  if (auto it = Live().find(dc); it != Live().end()) {
    // The window may have gone while the context was out; then so has its surface.
    if (GetWindowSurface(it->second.Window) == it->second.Surface && it->second.Surface)
      it->second.Surface->MarkChanged(it->second.Clip);
    Live().erase(it);
  }
  if (BuiltIn().erase(dc)) return;
  if (Provider().Release) Provider().Release(dc);
}

void PresentChangedWindows() {
  TWinState& s = WinState();
  for (HWND h : s.TopLevel) {
    TWindowRec* w = FindWindowRec(h);
    if (!w || !w->Surface || w->Surface->Changed.IsEmpty()) continue;
    // Contexts still out may draw more; they are shown once released.
    if (!(w->Style & WS_VISIBLE)) continue;
    TRect r = w->Surface->Changed;
    w->Surface->Changed = TRect{};
    DisplayBackend().Present(h, r);
  }
}

void ForgetDeviceContexts() {
  Live().clear();
  BuiltIn().clear();
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
  if (hwnd == GetDesktopWindow()) return DesktopSurface();
  TWindowRec* w = FindWindowRec(hwnd);
  while (w && w->Parent) w = FindWindowRec(w->Parent);
  return w ? w->Surface.get() : nullptr;
}

TRect GetWindowSurfaceRect(HWND hwnd) {
  if (hwnd == GetDesktopWindow()) return DisplayBackend().ScreenRect();
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return {};
  HWND top = GetAncestorRoot(hwnd);
  TRect topRect = GetWindowRect(top);
  TPoint o = ClientToScreen(hwnd, TPoint{0, 0});
  TRect c = GetClientRect(hwnd);
  return OffsetRect(c, o.X - topRect.Left, o.Y - topRect.Top);
}

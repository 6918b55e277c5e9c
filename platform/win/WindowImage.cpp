#include "platform/win/WindowImage.h"

#include <algorithm>

#include "platform/gdi/BmpFile.h"
#include "platform/win/WindowSurface.h"
#include "platform/win/Windows.h"

TGdiBitmap GetWindowImage(HWND hwnd) {
  if (!IsWindow(hwnd) && hwnd != GetDesktopWindow()) return {};
  TWindowSurface* s = GetWindowSurface(hwnd);
  if (!s) return {};
  TRect r{0, 0, s->Width(), s->Height()};
  if (hwnd != GetDesktopWindow()) {
    TRect top = GetWindowRect(GetAncestorRoot(hwnd));
    r = IntersectRect(OffsetRect(GetWindowRect(hwnd), -top.Left, -top.Top), r);
  }
  TGdiBitmap out(std::max(0, r.Width()), std::max(0, r.Height()));
  for (int y = 0; y < out.Height(); ++y) {
    const TColorRef* src = s->Bitmap->Row(r.Top + y) + r.Left;
    std::copy(src, src + out.Width(), out.Row(y));
  }
  return out;
}

void SaveWindowPng(HWND hwnd, const AnsiString& fileName) {
  if (!IsWindow(hwnd) && hwnd != GetDesktopWindow())
    throw EWindowError("Invalid window handle %d", {static_cast<int64_t>(hwnd)});
  SavePngFile(GetWindowImage(hwnd), fileName);
}

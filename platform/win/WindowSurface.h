// The back buffer of a top-level window, and the seam through which the drawing layer's device
// contexts attach to it. Children draw into their top-level window's buffer.
#pragma once

#include <functional>
#include <vector>

#include "platform/gdi/Bitmap.h"
#include "platform/win/WinTypes.h"

// A 32-bit bitmap of the drawing layer, pixels as colour values (0x00BBGGRR).
struct TWindowSurface {
  TGdiBitmapPtr Bitmap = std::make_shared<TGdiBitmap>();

  int Width() const { return Bitmap->Width(); }
  int Height() const { return Bitmap->Height(); }
  void Resize(int w, int h);
  TColorRef Pixel(int x, int y) const;
  void SetPixel(int x, int y, TColorRef c);
  void Fill(const TRect& r, TColorRef c);
  void Invert(const TRect& r);

  // What changed since the display last showed it, in surface pixels.
  TRect Changed;
  void MarkChanged(const TRect& r);
};

// What a device context draws on: a surface, the origin of logical 0,0 and the clip, both in
// surface pixels.
struct TDcTarget {
  HWND Window = 0;
  TWindowSurface* Surface = nullptr;
  TPoint Origin;
  TRect Clip;
  // Child windows a clipping parent leaves alone, in surface coordinates: its painting would
  // otherwise cover their frames and contents, which they only redraw when told.
  std::vector<TRect> Excluded;
};

// The drawing layer replaces this to hand out its own device contexts.
struct TDcProvider {
  std::function<HDC(const TDcTarget&)> Acquire;
  std::function<void(HDC)> Release;
};
// An empty provider restores the built-in one, whose contexts only record their target.
void SetDcProvider(TDcProvider provider);
// The target of a context from the built-in provider; nullptr for others.
const TDcTarget* BuiltInDcTarget(HDC dc);

// Turns system colours (0x80000000 | index) into plain ones; the drawing layer may replace it.
void SetSysColorResolver(std::function<TColorRef(TColorRef)> resolver);
TColorRef ResolveColor(TColorRef c);

// The back buffer of the window's top-level window, and the window's own rectangle in it. The
// desktop window's surface is the screen as the process draws on it (device context of window 0).
TWindowSurface* GetWindowSurface(HWND hwnd);
TRect GetWindowSurfaceRect(HWND hwnd);

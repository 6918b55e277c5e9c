// Device contexts: drawing state over a selected bitmap, and the drawing primitives.
#pragma once

#include <optional>
#include <vector>

#include "platform/gdi/Bitmap.h"
#include "platform/gdi/Colors.h"
#include "platform/gdi/Fonts.h"
#include "platform/gdi/GdiConsts.h"
#include "platform/gdi/RasterCodes.h"
#include "platform/gdi/Region.h"

struct TLogPen {
  int Style = PS_SOLID;
  int Width = 1;
  TColorRef Color = clBlack;
  friend bool operator==(const TLogPen&, const TLogPen&) = default;
};

struct TLogBrush {
  int Style = BS_SOLID;
  TColorRef Color = clWhite;
  int Hatch = HS_HORIZONTAL;
  TGdiBitmapPtr Pattern;  // for BS_PATTERN; a monochrome one takes text and background colours
};

inline TLogBrush SolidBrush(TColorRef c) { return TLogBrush{BS_SOLID, c, 0, nullptr}; }
inline TLogBrush NullBrush() { return TLogBrush{BS_NULL, 0, 0, nullptr}; }
inline TLogBrush HatchBrush(int hatch, TColorRef c) { return TLogBrush{BS_HATCHED, c, hatch, nullptr}; }
inline TLogBrush PatternBrush(TGdiBitmapPtr bmp) { return TLogBrush{BS_PATTERN, 0, 0, std::move(bmp)}; }
inline TLogPen Pen(int style, int width, TColorRef c) { return TLogPen{style, width, c}; }

// Coordinates given to drawing calls are logical: the viewport origin is added to reach the
// bitmap's pixels. The clip region is kept in device (bitmap) coordinates.
class TDeviceContext {
public:
  // Without a bitmap the context draws into a 1 x 1 monochrome one, as a fresh memory context.
  explicit TDeviceContext(TGdiBitmapPtr bitmap = nullptr);

  TGdiBitmapPtr SelectBitmap(TGdiBitmapPtr bitmap);
  const TGdiBitmapPtr& Bitmap() const { return FState.Bitmap; }
  TLogPen SelectPen(const TLogPen& pen);
  const TLogPen& CurrentPen() const { return FState.Pen; }
  TLogBrush SelectBrush(const TLogBrush& brush);
  const TLogBrush& CurrentBrush() const { return FState.Brush; }
  TLogFont SelectFont(const TLogFont& font);
  const TLogFont& CurrentFont() const { return FState.Font; }

  TColorRef SetTextColor(TColorRef c);
  TColorRef TextColor() const { return FState.TextColor; }
  TColorRef SetBkColor(TColorRef c);
  TColorRef BkColor() const { return FState.BkColor; }
  int SetBkMode(int mode);
  int BkMode() const { return FState.BkMode; }
  int SetROP2(int mode);
  int ROP2() const { return FState.Rop2; }
  unsigned SetTextAlign(unsigned align);
  unsigned TextAlign() const { return FState.TextAlign; }
  int SetPolyFillMode(int mode);

  TPoint SetViewportOrg(int x, int y);
  TPoint OffsetViewportOrg(int dx, int dy);
  TPoint ViewportOrg() const { return FState.Origin; }

  // Clip region in device coordinates; nullptr removes it.
  int SelectClipRgn(const TRegion* region);
  int ExtSelectClipRgn(const TRegion* region, int mode);
  int IntersectClipRect(int l, int t, int r, int b);  // logical coordinates
  int ExcludeClipRect(int l, int t, int r, int b);
  bool HasClipRgn() const { return FState.Clip.has_value(); }
  const std::optional<TRegion>& ClipRgn() const { return FState.Clip; }
  TRect GetClipBox() const;  // logical coordinates
  bool PtVisible(int x, int y) const;

  int SaveDC();
  bool RestoreDC(int savedDC);

  // Pixels.
  TColorRef SetPixel(int x, int y, TColorRef c);
  TColorRef GetPixel(int x, int y) const;

  // Lines and shapes; a line leaves its last point out.
  TPoint MoveTo(int x, int y);
  void LineTo(int x, int y);
  TPoint CurrentPosition() const { return FState.Position; }
  void Polyline(const std::vector<TPoint>& points);
  void Polygon(const std::vector<TPoint>& points);
  void Rectangle(int l, int t, int r, int b);
  void FillRect(const TRect& r, const TLogBrush& brush);
  void FrameRect(const TRect& r, const TLogBrush& brush);
  void InvertRect(const TRect& r);
  void FillRgn(const TRegion& region, const TLogBrush& brush);  // region in logical coordinates

  // Raster operations over the current brush and a source context.
  void PatBlt(int x, int y, int w, int h, uint32_t rop);
  void BitBlt(int x, int y, int w, int h, const TDeviceContext* src, int sx, int sy, uint32_t rop);
  void StretchBlt(int x, int y, int w, int h, const TDeviceContext* src, int sx, int sy, int sw, int sh,
                  uint32_t rop);

  // Text in the selected font.
  void TextOut(int x, int y, std::string_view text);
  void ExtTextOut(int x, int y, unsigned options, const TRect* rect, std::string_view text,
                  const int* dx = nullptr);
  TSize GetTextExtent(std::string_view text) const;
  TTextMetric GetTextMetrics() const;
  TFontFace& Face() const { return GetFontFace(FState.Font); }

  int GetDeviceCaps(int index) const;

private:
  struct State {
    TGdiBitmapPtr Bitmap;
    TLogPen Pen;
    TLogBrush Brush;
    TLogFont Font;
    TColorRef TextColor = clBlack;
    TColorRef BkColor = clWhite;
    int BkMode = OPAQUE;
    int Rop2 = R2_COPYPEN;
    unsigned TextAlign = TA_LEFT | TA_TOP;
    int FillMode = ALTERNATE;
    TPoint Origin;
    TPoint Position;
    std::optional<TRegion> Clip;
  };

  bool Visible(int dx, int dy) const;
  void Put(int dx, int dy, TColorRef c);
  void PutPen(int dx, int dy, TColorRef c);
  // Colour of the brush at a device pixel; nullopt where it leaves the pixel alone.
  std::optional<TColorRef> BrushAt(const TLogBrush& brush, int dx, int dy) const;
  void FillDeviceRect(const TRect& r, const TLogBrush& brush, bool useRop2);
  void PenLine(int x0, int y0, int x1, int y1);
  bool ClipLongLine(int& x0, int& y0, int& x1, int& y1, int width);
  void BlitCore(int x, int y, int w, int h, const TDeviceContext* src, int sx, int sy, int sw, int sh,
                uint32_t rop);
  void DrawGlyphs(int dx, int baseline, std::string_view text, const int* advances, const TRect* clip);
  void ClipChanged() {
    FClipMaskValid = false;
    FClipRectsValid = false;
  }
  // The clip region's rectangles, kept until the clip changes.
  const std::vector<TRect>& ClipRects() const;

  State FState;
  std::vector<State> FSaved;
  int FStylePos = 0;
  mutable std::vector<uint8_t> FClipMask;
  mutable bool FClipMaskValid = false;
  mutable std::vector<TRect> FClipRects;
  mutable bool FClipRectsValid = false;
};

// A bitmap of the context's depth: a fresh memory context (1 x 1 monochrome) gives monochrome.
inline TGdiBitmapPtr CreateCompatibleBitmap(const TDeviceContext& dc, int width, int height) {
  return std::make_shared<TGdiBitmap>(width, height, dc.Bitmap()->Monochrome() ? 1 : 32);
}

#include "platform/gdi/DeviceContext.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace {

TColorRef Blend(TColorRef under, TColorRef over, int alpha) {
  auto mix = [alpha](int a, int b) { return uint8_t((a * (255 - alpha) + b * alpha + 127) / 255); };
  return RGB(mix(GetRValue(under), GetRValue(over)), mix(GetGValue(under), GetGValue(over)),
             mix(GetBValue(under), GetBValue(over)));
}

bool HatchHit(int hatch, int x, int y) {
  x &= 7;
  y &= 7;
  switch (hatch) {
    case HS_HORIZONTAL: return y == 7;
    case HS_VERTICAL: return x == 7;
    case HS_FDIAGONAL: return x == y;
    case HS_BDIAGONAL: return x == 7 - y;
    case HS_CROSS: return x == 7 || y == 7;
    case HS_DIAGCROSS: return x == y || x == 7 - y;
    default: return false;
  }
}

// On and off lengths of the cosmetic pen styles.
const std::vector<int>& DashPattern(int style) {
  static const std::vector<int> dash{18, 6}, dot{3, 3}, dashDot{9, 6, 3, 6}, dashDotDot{9, 3, 3, 3, 3, 3}, none;
  switch (style) {
    case PS_DASH: return dash;
    case PS_DOT: return dot;
    case PS_DASHDOT: return dashDot;
    case PS_DASHDOTDOT: return dashDotDot;
    default: return none;
  }
}

// True when position pos of the pattern draws.
bool DashOn(const std::vector<int>& pattern, int pos) {
  int total = 0;
  for (int n : pattern) total += n;
  pos %= total;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pos < pattern[i]) return i % 2 == 0;
    pos -= pattern[i];
  }
  return false;
}

}  // namespace

TDeviceContext::TDeviceContext(TGdiBitmapPtr bitmap) {
  FState.Bitmap = bitmap ? std::move(bitmap) : std::make_shared<TGdiBitmap>(1, 1, 1);
}

TGdiBitmapPtr TDeviceContext::SelectBitmap(TGdiBitmapPtr bitmap) {
  if (!bitmap) bitmap = std::make_shared<TGdiBitmap>(1, 1, 1);
  std::swap(bitmap, FState.Bitmap);
  ClipChanged();
  return bitmap;
}

TLogPen TDeviceContext::SelectPen(const TLogPen& pen) {
  TLogPen old = FState.Pen;
  FState.Pen = pen;
  return old;
}

TLogBrush TDeviceContext::SelectBrush(const TLogBrush& brush) {
  TLogBrush old = FState.Brush;
  FState.Brush = brush;
  return old;
}

TLogFont TDeviceContext::SelectFont(const TLogFont& font) {
  TLogFont old = FState.Font;
  FState.Font = font;
  return old;
}

TColorRef TDeviceContext::SetTextColor(TColorRef c) { return std::exchange(FState.TextColor, c); }
TColorRef TDeviceContext::SetBkColor(TColorRef c) { return std::exchange(FState.BkColor, c); }
int TDeviceContext::SetBkMode(int mode) {
  if (mode != TRANSPARENT && mode != OPAQUE) return 0;
  return std::exchange(FState.BkMode, mode);
}
int TDeviceContext::SetROP2(int mode) {
  if (mode < R2_BLACK || mode > R2_WHITE) return 0;
  return std::exchange(FState.Rop2, mode);
}
unsigned TDeviceContext::SetTextAlign(unsigned align) { return std::exchange(FState.TextAlign, align); }
int TDeviceContext::SetPolyFillMode(int mode) {
  if (mode != ALTERNATE && mode != WINDING) return 0;
  return std::exchange(FState.FillMode, mode);
}

TPoint TDeviceContext::SetViewportOrg(int x, int y) { return std::exchange(FState.Origin, TPoint{x, y}); }
TPoint TDeviceContext::OffsetViewportOrg(int dx, int dy) {
  return SetViewportOrg(FState.Origin.X + dx, FState.Origin.Y + dy);
}

int TDeviceContext::SelectClipRgn(const TRegion* region) {
  ClipChanged();
  if (!region) {
    FState.Clip.reset();
    return SIMPLEREGION;
  }
  FState.Clip = *region;
  return region->Kind();
}

int TDeviceContext::ExtSelectClipRgn(const TRegion* region, int mode) {
  if (mode == RGN_COPY || !region) return SelectClipRgn(mode == RGN_COPY ? region : nullptr);
  TRegion current = FState.Clip ? *FState.Clip : TRegion(TRect{0, 0, Bitmap()->Width(), Bitmap()->Height()});
  TRegion result;
  int kind = result.Combine(current, *region, mode);
  if (kind == RGN_ERROR) return RGN_ERROR;
  FState.Clip = std::move(result);
  ClipChanged();
  return kind;
}

int TDeviceContext::IntersectClipRect(int l, int t, int r, int b) {
  TRegion rect(OffsetRect(TRect{l, t, r, b}, FState.Origin.X, FState.Origin.Y));
  return ExtSelectClipRgn(&rect, RGN_AND);
}

int TDeviceContext::ExcludeClipRect(int l, int t, int r, int b) {
  TRegion rect(OffsetRect(TRect{l, t, r, b}, FState.Origin.X, FState.Origin.Y));
  return ExtSelectClipRgn(&rect, RGN_DIFF);
}

TRect TDeviceContext::GetClipBox() const {
  TRect box{0, 0, Bitmap()->Width(), Bitmap()->Height()};
  if (FState.Clip) box = IntersectRect(box, FState.Clip->Bounds());
  return OffsetRect(box, -FState.Origin.X, -FState.Origin.Y);
}

bool TDeviceContext::PtVisible(int x, int y) const { return Visible(x + FState.Origin.X, y + FState.Origin.Y); }

int TDeviceContext::SaveDC() {
  FSaved.push_back(FState);
  return int(FSaved.size());
}

bool TDeviceContext::RestoreDC(int savedDC) {
  int level = savedDC < 0 ? int(FSaved.size()) + savedDC + 1 : savedDC;
  if (level < 1 || level > int(FSaved.size())) return false;
  FState = FSaved[size_t(level - 1)];
  FSaved.resize(size_t(level - 1));
  ClipChanged();
  return true;
}

bool TDeviceContext::Visible(int dx, int dy) const {
  const TGdiBitmap& bmp = *FState.Bitmap;
  if (dx < 0 || dy < 0 || dx >= bmp.Width() || dy >= bmp.Height()) return false;
  if (!FState.Clip) return true;
  if (!FClipMaskValid) {
    FClipMask.assign(size_t(bmp.Width()) * bmp.Height(), 0);
    for (const TRect& r : FState.Clip->Rects()) {
      TRect c = IntersectRect(r, TRect{0, 0, bmp.Width(), bmp.Height()});
      for (int y = c.Top; y < c.Bottom; ++y)
        std::fill_n(FClipMask.begin() + std::ptrdiff_t(y) * bmp.Width() + c.Left, c.Width(), uint8_t(1));
    }
    FClipMaskValid = true;
  }
  return FClipMask[size_t(dy) * bmp.Width() + dx] != 0;
}

void TDeviceContext::Put(int dx, int dy, TColorRef c) {
  if (Visible(dx, dy)) FState.Bitmap->SetPixel(dx, dy, c);
}

void TDeviceContext::PutPen(int dx, int dy, TColorRef c) {
  if (!Visible(dx, dy)) return;
  TGdiBitmap& bmp = *FState.Bitmap;
  TColorRef p = bmp.NearestColor(c);
  bmp.SetPixel(dx, dy, EvalRop2(FState.Rop2, p, bmp.Row(dy)[dx]) & 0xFFFFFF);
}

TColorRef TDeviceContext::SetPixel(int x, int y, TColorRef c) {
  int dx = x + FState.Origin.X, dy = y + FState.Origin.Y;
  if (!Visible(dx, dy)) return CLR_INVALID;
  FState.Bitmap->SetPixel(dx, dy, ColorToRGB(c));
  return FState.Bitmap->Pixel(dx, dy);
}

TColorRef TDeviceContext::GetPixel(int x, int y) const {
  return FState.Bitmap->Pixel(x + FState.Origin.X, y + FState.Origin.Y);
}

std::optional<TColorRef> TDeviceContext::BrushAt(const TLogBrush& brush, int dx, int dy) const {
  switch (brush.Style) {
    case BS_SOLID: return ColorToRGB(brush.Color);
    case BS_HATCHED:
      if (HatchHit(brush.Hatch, dx, dy)) return ColorToRGB(brush.Color);
      if (FState.BkMode == OPAQUE) return ColorToRGB(FState.BkColor);
      return std::nullopt;
    case BS_PATTERN: {
      if (!brush.Pattern || brush.Pattern->Empty()) return std::nullopt;
      const TGdiBitmap& p = *brush.Pattern;
      int px = ((dx % p.Width()) + p.Width()) % p.Width();
      int py = ((dy % p.Height()) + p.Height()) % p.Height();
      if (p.Monochrome()) return ColorToRGB(p.PixelBit(px, py) ? FState.BkColor : FState.TextColor);
      return p.Row(py)[px];
    }
    default: return std::nullopt;
  }
}

const std::vector<TRect>& TDeviceContext::ClipRects() const {
  if (!FClipRectsValid) {
    FClipRects = FState.Clip ? FState.Clip->Rects() : std::vector<TRect>{};
    FClipRectsValid = true;
  }
  return FClipRects;
}

// Row by row over each part of the rectangle that the clip lets through; a solid brush copied
// to the bitmap fills whole rows at once.
void TDeviceContext::FillDeviceRect(const TRect& r, const TLogBrush& brush, bool useRop2) {
  TGdiBitmap& bmp = *FState.Bitmap;
  const TRect c = IntersectRect(r, TRect{0, 0, bmp.Width(), bmp.Height()});
  if (c.IsEmpty()) return;
  const bool rop = useRop2 && FState.Rop2 != R2_COPYPEN;
  auto fillPart = [&](const TRect& part) {
    if (brush.Style == BS_SOLID) {
      const TColorRef p = bmp.NearestColor(ColorToRGB(brush.Color));
      for (int y = part.Top; y < part.Bottom; ++y) {
        TColorRef* row = bmp.Row(y);
        if (!rop) {
          std::fill_n(row + part.Left, part.Width(), p);
        } else {
          for (int x = part.Left; x < part.Right; ++x)
            row[x] = bmp.NearestColor(EvalRop2(FState.Rop2, p, row[x]) & 0xFFFFFF);
        }
      }
      return;
    }
    for (int y = part.Top; y < part.Bottom; ++y) {
      TColorRef* row = bmp.Row(y);
      for (int x = part.Left; x < part.Right; ++x) {
        auto color = BrushAt(brush, x, y);
        if (!color) continue;
        if (useRop2) {
          const TColorRef p = bmp.NearestColor(*color);
          row[x] = bmp.NearestColor(EvalRop2(FState.Rop2, p, row[x]) & 0xFFFFFF);
        } else {
          row[x] = bmp.NearestColor(*color);
        }
      }
    }
  };
  if (!FState.Clip) {
    fillPart(c);
    return;
  }
  for (const TRect& clip : ClipRects()) {
    const TRect part = IntersectRect(c, clip);
    if (!part.IsEmpty()) fillPart(part);
  }
}

void TDeviceContext::FillRect(const TRect& r, const TLogBrush& brush) {
  FillDeviceRect(OffsetRect(r, FState.Origin.X, FState.Origin.Y), brush, false);
}

void TDeviceContext::FrameRect(const TRect& r, const TLogBrush& brush) {
  if (r.IsEmpty()) return;
  FillRect(TRect{r.Left, r.Top, r.Right, r.Top + 1}, brush);
  FillRect(TRect{r.Left, r.Bottom - 1, r.Right, r.Bottom}, brush);
  FillRect(TRect{r.Left, r.Top + 1, r.Left + 1, r.Bottom - 1}, brush);
  FillRect(TRect{r.Right - 1, r.Top + 1, r.Right, r.Bottom - 1}, brush);
}

void TDeviceContext::InvertRect(const TRect& r) { PatBlt(r.Left, r.Top, r.Width(), r.Height(), DSTINVERT); }

void TDeviceContext::FillRgn(const TRegion& region, const TLogBrush& brush) {
  for (const TRect& r : region.Rects()) FillRect(r, brush);
}

TPoint TDeviceContext::MoveTo(int x, int y) {
  FStylePos = 0;
  return std::exchange(FState.Position, TPoint{x, y});
}

void TDeviceContext::PenLine(int x0, int y0, int x1, int y1) {
  const TLogPen& pen = FState.Pen;
  int style = pen.Style & PS_STYLE_MASK;
  if (style == PS_NULL) return;
  TColorRef color = ColorToRGB(pen.Color);
  int width = std::max(1, pen.Width);
  // Styled lines exist only one pixel wide; wider pens draw solid.
  const std::vector<int>& pattern = width == 1 ? DashPattern(style) : DashPattern(PS_SOLID);
  if (!ClipLongLine(x0, y0, x1, y1, width)) return;
  int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
  int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  int x = x0, y = y0;
  bool opaqueGaps = FState.BkMode == OPAQUE;
  TColorRef gap = ColorToRGB(FState.BkColor);
  while (x != x1 || y != y1) {
    bool on = pattern.empty() || DashOn(pattern, FStylePos);
    ++FStylePos;
    int ox = FState.Origin.X + x - (width - 1) / 2, oy = FState.Origin.Y + y - (width - 1) / 2;
    if (on || opaqueGaps) {
      for (int py = 0; py < width; ++py)
        for (int px = 0; px < width; ++px) PutPen(ox + px, oy + py, on ? color : gap);
    }
    int e2 = 2 * err;
    if (e2 >= dy) { err += dy; x += sx; }
    if (e2 <= dx) { err += dx; y += sy; }
  }
}

bool TDeviceContext::ClipLongLine(int& x0, int& y0, int& x1, int& y1, int width) {
  // Short lines are walked whole; a long one is cut to the bitmap plus a margin first, and
  // the steps it skips still advance the dash pattern.
  constexpr int64_t LongLine = 4096;
  int64_t ddx = int64_t(x1) - x0, ddy = int64_t(y1) - y0;
  if (std::max(std::abs(ddx), std::abs(ddy)) <= LongLine) return true;
  double margin = width + 2;
  double lo[2] = {-FState.Origin.X - margin, -FState.Origin.Y - margin};
  double hi[2] = {Bitmap()->Width() - FState.Origin.X + margin, Bitmap()->Height() - FState.Origin.Y + margin};
  double p0[2] = {double(x0), double(y0)}, d[2] = {double(ddx), double(ddy)};
  double t0 = 0, t1 = 1;
  for (int k = 0; k < 2; ++k) {
    if (d[k] == 0) {
      if (p0[k] < lo[k] || p0[k] > hi[k]) t0 = 2;
      continue;
    }
    double a = (lo[k] - p0[k]) / d[k], b = (hi[k] - p0[k]) / d[k];
    if (a > b) std::swap(a, b);
    t0 = std::max(t0, a);
    t1 = std::min(t1, b);
  }
  int64_t steps = std::max(std::abs(ddx), std::abs(ddy));
  if (t0 >= t1) {
    FStylePos += int(steps % 1000000);
    return false;
  }
  int nx0 = int(std::lround(x0 + t0 * ddx)), ny0 = int(std::lround(y0 + t0 * ddy));
  int nx1 = int(std::lround(x0 + t1 * ddx)), ny1 = int(std::lround(y0 + t1 * ddy));
  FStylePos += int(std::max(std::abs(int64_t(nx0) - x0), std::abs(int64_t(ny0) - y0)) % 1000000);
  x0 = nx0; y0 = ny0; x1 = nx1; y1 = ny1;
  return true;
}

void TDeviceContext::LineTo(int x, int y) {
  PenLine(FState.Position.X, FState.Position.Y, x, y);
  FState.Position = TPoint{x, y};
}

void TDeviceContext::Polyline(const std::vector<TPoint>& points) {
  if (points.size() < 2) return;
  TPoint saved = FState.Position;
  MoveTo(points[0].X, points[0].Y);
  for (size_t i = 1; i < points.size(); ++i) LineTo(points[i].X, points[i].Y);
  // The last point of a polyline is drawn too, unlike LineTo's.
  PenLine(points.back().X, points.back().Y, points.back().X + 1, points.back().Y);
  FState.Position = saved;
}

void TDeviceContext::Polygon(const std::vector<TPoint>& points) {
  if (points.size() < 2) return;
  std::vector<TPoint> device;
  for (auto p : points) device.push_back(TPoint{p.X + FState.Origin.X, p.Y + FState.Origin.Y});
  TRegion inside = TRegion::FromPolygon(device, FState.FillMode);
  for (const TRect& r : inside.Rects()) FillDeviceRect(r, FState.Brush, true);
  TPoint saved = FState.Position;
  MoveTo(points[0].X, points[0].Y);
  for (size_t i = 1; i < points.size(); ++i) LineTo(points[i].X, points[i].Y);
  LineTo(points[0].X, points[0].Y);
  FState.Position = saved;
}

void TDeviceContext::Rectangle(int l, int t, int r, int b) {
  if (r < l) std::swap(l, r);
  if (b < t) std::swap(t, b);
  const TLogPen& pen = FState.Pen;
  int style = pen.Style & PS_STYLE_MASK;
  int ox = FState.Origin.X, oy = FState.Origin.Y;
  if (style == PS_NULL) {
    // Without a pen the filled area loses the right and bottom line the pen would have drawn.
    FillDeviceRect(TRect{l + ox, t + oy, r - 1 + ox, b - 1 + oy}, FState.Brush, true);
    return;
  }
  int w = std::max(1, pen.Width);
  TRect outer = style == PS_INSIDEFRAME ? TRect{l, t, r, b} : InflateRect(TRect{l, t, r, b}, (w - 1) / 2, (w - 1) / 2);
  TRect inner = InflateRect(outer, -w, -w);
  if (!inner.IsEmpty()) FillDeviceRect(OffsetRect(inner, ox, oy), FState.Brush, true);
  if (w == 1) {
    std::vector<TPoint> pts{{l, t}, {r - 1, t}, {r - 1, b - 1}, {l, b - 1}, {l, t}};
    TPoint saved = FState.Position;
    MoveTo(l, t);
    for (size_t i = 1; i < pts.size(); ++i) LineTo(pts[i].X, pts[i].Y);
    FState.Position = saved;
    return;
  }
  TLogBrush penBrush = SolidBrush(pen.Color);
  TRect o = OffsetRect(outer, ox, oy);
  FillDeviceRect(TRect{o.Left, o.Top, o.Right, std::min(o.Bottom, o.Top + w)}, penBrush, true);
  FillDeviceRect(TRect{o.Left, std::max(o.Top + w, o.Bottom - w), o.Right, o.Bottom}, penBrush, true);
  FillDeviceRect(TRect{o.Left, o.Top + w, std::min(o.Right, o.Left + w), o.Bottom - w}, penBrush, true);
  FillDeviceRect(TRect{std::max(o.Left + w, o.Right - w), o.Top + w, o.Right, o.Bottom - w}, penBrush, true);
}

void TDeviceContext::PatBlt(int x, int y, int w, int h, uint32_t rop) {
  BlitCore(x, y, w, h, nullptr, 0, 0, w, h, rop);
}

void TDeviceContext::BitBlt(int x, int y, int w, int h, const TDeviceContext* src, int sx, int sy, uint32_t rop) {
  BlitCore(x, y, w, h, src, sx, sy, w, h, rop);
}

void TDeviceContext::StretchBlt(int x, int y, int w, int h, const TDeviceContext* src, int sx, int sy, int sw,
                                int sh, uint32_t rop) {
  BlitCore(x, y, w, h, src, sx, sy, sw, sh, rop);
}

void TDeviceContext::BlitCore(int x, int y, int w, int h, const TDeviceContext* src, int sx, int sy, int sw,
                              int sh, uint32_t rop) {
  uint8_t table = RopIndex(rop);
  bool needSrc = RopUsesSource(rop);
  bool needPat = RopUsesPattern(rop);
  if (needSrc && !src) return;
  if (w == 0 || h == 0 || (needSrc && (sw == 0 || sh == 0))) return;

  // Normalised rectangles; a sign difference between the two sizes mirrors the image.
  bool flipX = (w < 0) != (sw < 0), flipY = (h < 0) != (sh < 0);
  // A negative extent runs back from the start point, which stays inside: x + w + 1 .. x.
  auto lowEnd = [](int start, int extent) { return extent < 0 ? start + extent + 1 : start; };
  int dLeft = lowEnd(x, w), dTop = lowEnd(y, h), dW = std::abs(w), dH = std::abs(h);
  int sLeft = lowEnd(sx, sw), sTop = lowEnd(sy, sh), sW = std::abs(sw), sH = std::abs(sh);

  TGdiBitmap& dst = *FState.Bitmap;
  bool dstMono = dst.Monochrome();
  TColorRef textColor = ColorToRGB(FState.TextColor), bkColor = ColorToRGB(FState.BkColor);

  // A blit within one bitmap reads a snapshot, so it sees the pixels as they were.
  std::optional<TGdiBitmap> snapshot;
  const TGdiBitmap* sb = needSrc ? src->Bitmap().get() : nullptr;
  if (sb == &dst) sb = &snapshot.emplace(dst);
  bool srcMono = sb && sb->Monochrome();
  TColorRef srcBk = needSrc ? ColorToRGB(src->BkColor()) : 0;
  TPoint srcOrg = needSrc ? src->ViewportOrg() : TPoint{};
  auto sourceAt = [&](int px, int py) -> std::optional<TColorRef> {
    if (px < 0 || py < 0 || px >= sb->Width() || py >= sb->Height()) return std::nullopt;
    TColorRef c = sb->Row(py)[px];
    if (srcMono && !dstMono) return sb->PixelBit(px, py) ? bkColor : textColor;  // 0 bits take the text colour
    if (!srcMono && dstMono) return (c == srcBk) ? clWhite : clBlack;           // the back colour becomes white
    if (srcMono && dstMono) return sb->PixelBit(px, py) ? clWhite : clBlack;
    return c;
  };

  // Only the rows and columns that land on the bitmap are visited.
  int ox = FState.Origin.X, oy = FState.Origin.Y;
  int64_t baseX = int64_t(dLeft) + ox, baseY = int64_t(dTop) + oy;
  int i0 = int(std::clamp<int64_t>(-baseX, 0, dW)), i1 = int(std::clamp<int64_t>(dst.Width() - baseX, 0, dW));
  int j0 = int(std::clamp<int64_t>(-baseY, 0, dH)), j1 = int(std::clamp<int64_t>(dst.Height() - baseY, 0, dH));
  for (int j = j0; j < j1; ++j) {
    int devY = int(baseY + j);
    int sj = needSrc ? int((int64_t(j) * sH) / dH) : 0;
    if (flipY) sj = sH - 1 - sj;
    for (int i = i0; i < i1; ++i) {
      int devX = int(baseX + i);
      if (!Visible(devX, devY)) continue;
      TColorRef s = 0, p = 0;
      if (needSrc) {
        int si = int((int64_t(i) * sW) / dW);
        if (flipX) si = sW - 1 - si;
        auto c = sourceAt(int(int64_t(sLeft) + si + srcOrg.X), int(int64_t(sTop) + sj + srcOrg.Y));
        if (!c) continue;
        s = *c;
      }
      if (needPat) {
        auto b = BrushAt(FState.Brush, devX, devY);
        if (!b) continue;
        p = dstMono ? dst.NearestColor(*b) : *b;
      }
      TColorRef d = dst.Row(devY)[devX];
      dst.SetPixel(devX, devY, EvalRop3(table, p, s, d) & 0xFFFFFF);
    }
  }
}

TSize TDeviceContext::GetTextExtent(std::string_view text) const {
  TFontFace& face = Face();
  return TSize{face.TextWidth(text), face.Metrics().Height};
}

TTextMetric TDeviceContext::GetTextMetrics() const {
  TTextMetric tm = Face().Metrics();
  tm.Underlined = FState.Font.Underline;
  tm.StruckOut = FState.Font.StrikeOut;
  return tm;
}

void TDeviceContext::TextOut(int x, int y, std::string_view text) {
  if (FState.TextAlign & TA_UPDATECP) {
    x = FState.Position.X;
    y = FState.Position.Y;
  }
  ExtTextOut(x, y, 0, nullptr, text, nullptr);
}

void TDeviceContext::ExtTextOut(int x, int y, unsigned options, const TRect* rect, std::string_view text,
                                const int* dx) {
  TFontFace& face = Face();
  const TTextMetric& tm = face.Metrics();
  std::vector<int> advances;
  int width = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    int a = dx ? dx[i] : face.Advance(AnsiCharToUnicode(text[i]));
    advances.push_back(a);
    width += a;
  }
  unsigned align = FState.TextAlign;
  int left = x;
  if ((align & TA_CENTER) == TA_CENTER) left = x - width / 2;
  else if (align & TA_RIGHT) left = x - width;
  int top = y;
  if ((align & TA_BASELINE) == TA_BASELINE) top = y - tm.Ascent;
  else if (align & TA_BOTTOM) top = y - tm.Height;
  if (align & TA_UPDATECP) {
    if ((align & TA_CENTER) == TA_CENTER) {
    } else if (align & TA_RIGHT) {
      FState.Position.X = left;
    } else {
      FState.Position.X = left + width;
    }
  }

  int ox = FState.Origin.X, oy = FState.Origin.Y;
  std::optional<TRect> clip;
  if (rect && (options & ETO_CLIPPED)) clip = OffsetRect(*rect, ox, oy);
  TLogBrush back = SolidBrush(FState.BkColor);
  if (rect && (options & ETO_OPAQUE)) FillDeviceRect(OffsetRect(*rect, ox, oy), back, false);
  if (FState.BkMode == OPAQUE) {
    TRect cell = OffsetRect(TRect{left, top, left + width, top + tm.Height}, ox, oy);
    if (clip) cell = IntersectRect(cell, *clip);
    FillDeviceRect(cell, back, false);
  }
  DrawGlyphs(left + ox, top + oy + tm.Ascent, text, advances.data(), clip ? &*clip : nullptr);
}

void TDeviceContext::DrawGlyphs(int penX, int baseline, std::string_view text, const int* advances,
                                const TRect* clip) {
  TFontFace& face = Face();
  const TTextMetric& tm = face.Metrics();
  TGdiBitmap& dst = *FState.Bitmap;
  TColorRef color = ColorToRGB(FState.TextColor);
  bool mono = dst.Monochrome();
  auto plot = [&](int px, int py, int alpha) {
    if (alpha == 0 || (clip && !clip->Contains(px, py)) || !Visible(px, py)) return;
    if (mono) {
      if (alpha >= 128) dst.SetPixel(px, py, color);
    } else {
      dst.SetPixel(px, py, alpha >= 255 ? color : Blend(dst.Row(py)[px], color, alpha));
    }
  };
  int start = penX;
  for (size_t i = 0; i < text.size(); ++i) {
    const TGlyph& g = face.Glyph(AnsiCharToUnicode(text[i]));
    for (int gy = 0; gy < g.Height; ++gy)
      for (int gx = 0; gx < g.Width; ++gx)
        plot(penX + g.Left + gx, baseline - g.Top + gy, g.Coverage[size_t(gy) * g.Width + gx]);
    penX += advances[i];
  }
  int thickness = std::max(1, (tm.Ascent + tm.Descent) / 14);
  auto rule = [&](int y0) {
    for (int t = 0; t < thickness; ++t)
      for (int px = start; px < penX; ++px) plot(px, y0 + t, 255);
  };
  if (FState.Font.Underline) rule(baseline + std::max(1, tm.Descent / 2));
  if (FState.Font.StrikeOut) rule(baseline - std::max(1, tm.Ascent / 3));
}

int TDeviceContext::GetDeviceCaps(int index) const {
  switch (index) {
    case HORZRES: return Bitmap()->Width();
    case VERTRES: return Bitmap()->Height();
    case BITSPIXEL: return Bitmap()->BitsPerPixel();
    case PLANES: return 1;
    case NUMCOLORS: return Bitmap()->BitsPerPixel() <= 8 ? 1 << Bitmap()->BitsPerPixel() : -1;
    case LOGPIXELSX: case LOGPIXELSY: return ScreenPixelsPerInch;
    default: return 0;
  }
}

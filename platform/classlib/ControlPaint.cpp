#include "platform/classlib/ControlPaint.h"

#include <algorithm>

#include "platform/gdi/DrawText.h"
#include "platform/gdi/Edges.h"
#include "platform/gdi/SystemMetrics.h"
#include "platform/classlib/Graphics.h"
#include "platform/win/MessageQueue.h"

namespace {

void Fill(TDeviceContext& dc, const TRect& r, TColorRef c) { dc.FillRect(r, SolidBrush(c)); }

// The check mark, 7 by 7, as the classic box shows it.
constexpr const char* CheckMark[7] = {
    "......X", ".....XX", "X...XXX", "XX.XXX.", "XXXXX..", ".XXX...", "..X....",
};

// The radio circle: o the outer ring, i the inner ring, w the inside, # the dot.
constexpr const char* RadioCircle[RadioGlyphSize] = {
    "....oooo....", "..ooiiiioo..", ".oiiwwwwiio.", ".oiwwwwwwio.", "oiwww##wwwio", "oiww####wwio",
    "oiww####wwio", "oiwww##wwwio", ".oiwwwwwwio.", ".oiiwwwwiio.", "..ooiiiioo..", "....oooo....",
};

void Triangle(TDeviceContext& dc, const TRect& r, TArrowDirection dir, TColorRef c, int dx, int dy) {
  // Four rows of 7, 5, 3 and 1 pixels, centred in the button.
  constexpr int rows = 4;
  int cx = r.Left + (r.Width() - 1) / 2 + dx, cy = r.Top + (r.Height() - 1) / 2 + dy;
  for (int i = 0; i < rows; ++i) {
    int half = rows - 1 - i;  // 3, 2, 1, 0
    switch (dir) {
      case TArrowDirection::Down: Fill(dc, TRect{cx - half, cy - 1 + i, cx + half + 1, cy + i}, c); break;
      case TArrowDirection::Up: Fill(dc, TRect{cx - half, cy + 2 - i, cx + half + 1, cy + 3 - i}, c); break;
      case TArrowDirection::Right: Fill(dc, TRect{cx - 1 + i, cy - half, cx + i, cy + half + 1}, c); break;
      case TArrowDirection::Left: Fill(dc, TRect{cx + 2 - i, cy - half, cx + 3 - i, cy + half + 1}, c); break;
    }
  }
}

}  // namespace

void PaintButtonFace(TDeviceContext& dc, const TRect& rect, bool pushed, bool isDefault) {
  TRect r = rect;
  if (isDefault) {
    dc.FrameRect(r, SolidBrush(clWindowFrame));
    r = InflateRect(r, -1, -1);
  }
  if (pushed) {
    // A pushed button is flat: one shadow line around the face.
    dc.FrameRect(r, SolidBrush(clBtnShadow));
    Fill(dc, InflateRect(r, -1, -1), clBtnFace);
    return;
  }
  DrawEdge(dc, r, EDGE_RAISED, BF_RECT | BF_ADJUST);
  Fill(dc, r, clBtnFace);
}

void PaintCheckGlyph(TDeviceContext& dc, int x, int y, TCheckGlyph state, bool enabled, bool pushed) {
  TRect r{x, y, x + CheckGlyphSize, y + CheckGlyphSize};
  DrawEdge(dc, r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  bool faceInside = pushed || !enabled || state == TCheckGlyph::Grayed;
  Fill(dc, r, faceInside ? clBtnFace : clWindow);
  if (state == TCheckGlyph::Unchecked) return;
  TColorRef mark = (!enabled || state == TCheckGlyph::Grayed) ? clBtnShadow : clWindowText;
  for (int row = 0; row < 7; ++row)
    for (int col = 0; col < 7; ++col)
      if (CheckMark[row][col] == 'X') dc.SetPixel(r.Left + 1 + col, r.Top + 1 + row, mark);
}

void PaintRadioGlyph(TDeviceContext& dc, int x, int y, bool checked, bool enabled, bool pushed) {
  for (int row = 0; row < RadioGlyphSize; ++row) {
    for (int col = 0; col < RadioGlyphSize; ++col) {
      bool upperLeft = row + col < RadioGlyphSize - 1;
      TColorRef c;
      switch (RadioCircle[row][col]) {
        case 'o': c = upperLeft ? clBtnShadow : clBtnHighlight; break;
        case 'i': c = upperLeft ? cl3DDkShadow : cl3DLight; break;
        case 'w': c = (pushed || !enabled) ? clBtnFace : clWindow; break;
        case '#':
          c = checked ? (enabled ? clWindowText : clBtnShadow) : ((pushed || !enabled) ? clBtnFace : clWindow);
          break;
        default: continue;
      }
      dc.SetPixel(x + col, y + row, c);
    }
  }
}

void PaintArrowButton(TDeviceContext& dc, const TRect& rect, TArrowDirection dir, bool pushed, bool enabled) {
  TRect r = rect;
  if (pushed) {
    dc.FrameRect(r, SolidBrush(clBtnShadow));
    Fill(dc, InflateRect(r, -1, -1), clBtnFace);
  } else {
    DrawEdge(dc, r, EDGE_RAISED, BF_RECT | BF_ADJUST);
    Fill(dc, r, clBtnFace);
  }
  int shift = pushed ? 1 : 0;
  if (enabled) {
    Triangle(dc, rect, dir, clBtnText, shift, shift);
  } else {
    Triangle(dc, rect, dir, clBtnHighlight, 1, 1);
    Triangle(dc, rect, dir, clBtnShadow, 0, 0);
  }
}

void PaintControlText(TDeviceContext& dc, std::string_view text, TRect rect, unsigned format, bool enabled,
                      TColorRef color) {
  int oldMode = dc.SetBkMode(TRANSPARENT);
  TColorRef oldColor;
  if (enabled) {
    oldColor = dc.SetTextColor(color);
    DrawText(dc, text, rect, format);
  } else {
    oldColor = dc.SetTextColor(clBtnHighlight);
    TRect shifted = OffsetRect(rect, 1, 1);
    DrawText(dc, text, shifted, format);
    dc.SetTextColor(clGrayText);
    DrawText(dc, text, rect, format);
  }
  dc.SetTextColor(oldColor);
  dc.SetBkMode(oldMode);
}

int TScrollBarGeometry::MaxPosition() const {
  int page = std::max(Page, 1);
  return std::max(Min, Max - page + 1);
}

TRect TScrollBarGeometry::ArrowRect(bool first) const {
  const TRect& b = Bounds;
  if (Kind == TScrollBarKind::Vertical) {
    int a = std::min(GetSystemMetrics(SM_CYVSCROLL), b.Height() / 2);
    return first ? TRect{b.Left, b.Top, b.Right, b.Top + a} : TRect{b.Left, b.Bottom - a, b.Right, b.Bottom};
  }
  int a = std::min(GetSystemMetrics(SM_CXHSCROLL), b.Width() / 2);
  return first ? TRect{b.Left, b.Top, b.Left + a, b.Bottom} : TRect{b.Right - a, b.Top, b.Right, b.Bottom};
}

TRect TScrollBarGeometry::TrackRect() const {
  TRect a = ArrowRect(true), z = ArrowRect(false);
  if (Kind == TScrollBarKind::Vertical) return TRect{Bounds.Left, a.Bottom, Bounds.Right, z.Top};
  return TRect{a.Right, Bounds.Top, z.Left, Bounds.Bottom};
}

int TScrollBarGeometry::TrackLength() const {
  TRect t = TrackRect();
  return std::max(0, Kind == TScrollBarKind::Vertical ? t.Height() : t.Width());
}

int TScrollBarGeometry::ThumbLength() const {
  int track = TrackLength();
  int minThumb = GetSystemMetrics(Kind == TScrollBarKind::Vertical ? SM_CYVTHUMB : SM_CXHTHUMB) / 2;
  if (minThumb <= 0) minThumb = 8;
  int len = minThumb * 2;  // a fixed thumb without a page, as the classic bars
  if (Page > 0) {
    long range = long(Max) - Min + 1;
    len = range > 0 ? static_cast<int>(long(track) * Page / range) : track;
    len = std::max(len, minThumb);
  }
  return std::min(len, track);
}

int TScrollBarGeometry::ThumbOffset() const {
  int free = TrackLength() - ThumbLength();
  int span = MaxPosition() - Min;
  if (span <= 0 || free <= 0) return 0;
  int pos = std::clamp(Position, Min, MaxPosition());
  return static_cast<int>(long(free) * (pos - Min) / span);
}

TRect TScrollBarGeometry::ThumbRect() const {
  if (!Scrollable() || TrackLength() < 6) return TRect{};
  TRect t = TrackRect();
  int off = ThumbOffset(), len = ThumbLength();
  if (Kind == TScrollBarKind::Vertical) return TRect{t.Left, t.Top + off, t.Right, t.Top + off + len};
  return TRect{t.Left + off, t.Top, t.Left + off + len, t.Bottom};
}

int TScrollBarGeometry::PositionAtThumbOffset(int offset) const {
  int free = TrackLength() - ThumbLength();
  int span = MaxPosition() - Min;
  if (free <= 0 || span <= 0) return Min;
  offset = std::clamp(offset, 0, free);
  return Min + static_cast<int>((long(offset) * span + free / 2) / free);
}

TScrollPart TScrollBarGeometry::HitTest(TPoint p) const {
  if (!Bounds.Contains(p.X, p.Y)) return TScrollPart::None;
  if (ArrowRect(true).Contains(p.X, p.Y)) return TScrollPart::LineUp;
  if (ArrowRect(false).Contains(p.X, p.Y)) return TScrollPart::LineDown;
  TRect thumb = ThumbRect();
  if (thumb.IsEmpty()) return TScrollPart::None;
  if (thumb.Contains(p.X, p.Y)) return TScrollPart::Thumb;
  bool before = Kind == TScrollBarKind::Vertical ? p.Y < thumb.Top : p.X < thumb.Left;
  return before ? TScrollPart::PageUp : TScrollPart::PageDown;
}

void PaintScrollBar(TDeviceContext& dc, const TScrollBarGeometry& g, TScrollPart pressed, bool enabled) {
  bool vertical = g.Kind == TScrollBarKind::Vertical;
  bool live = enabled && g.Scrollable();
  PaintArrowButton(dc, g.ArrowRect(true), vertical ? TArrowDirection::Up : TArrowDirection::Left,
                   pressed == TScrollPart::LineUp, live);
  PaintArrowButton(dc, g.ArrowRect(false), vertical ? TArrowDirection::Down : TArrowDirection::Right,
                   pressed == TScrollPart::LineDown, live);
  TRect track = g.TrackRect();
  if (track.IsEmpty()) return;
  // The track is a checker of face and highlight, the classic scroll-bar pattern.
  auto pattern = std::make_shared<TGdiBitmap>(2, 2, 32);
  pattern->SetPixel(0, 0, ColorToRGB(clBtnHighlight));
  pattern->SetPixel(1, 1, ColorToRGB(clBtnHighlight));
  pattern->SetPixel(1, 0, ColorToRGB(clBtnFace));
  pattern->SetPixel(0, 1, ColorToRGB(clBtnFace));
  dc.FillRect(track, PatternBrush(pattern));
  TRect thumb = g.ThumbRect();
  if (!live || thumb.IsEmpty()) return;
  if (pressed == TScrollPart::PageUp || pressed == TScrollPart::PageDown) {
    TRect part = vertical ? (pressed == TScrollPart::PageUp ? TRect{track.Left, track.Top, track.Right, thumb.Top}
                                                            : TRect{track.Left, thumb.Bottom, track.Right, track.Bottom})
                          : (pressed == TScrollPart::PageUp ? TRect{track.Left, track.Top, thumb.Left, track.Bottom}
                                                            : TRect{thumb.Right, track.Top, track.Right, track.Bottom});
    Fill(dc, part, cl3DDkShadow);
  }
  DrawEdge(dc, thumb, EDGE_RAISED, BF_RECT | BF_ADJUST);
  Fill(dc, thumb, clBtnFace);
}

void TCharWidths::Update(const TLogFont& font) {
  TFontFace& face = GetFontFace(font);
  for (int c = 0; c < 256; ++c) {
    char ch = static_cast<char>(c);
    FWidths[c] = face.TextWidth(std::string_view(&ch, 1));
  }
  // Tabs are drawn as four blanks wide.
  FWidths[static_cast<int>('\t')] = 4 * FWidths[static_cast<int>(' ')];
  FLineHeight = std::max(1, face.Metrics().Height);
  FAveCharWidth = std::max(1, face.Metrics().AveCharWidth);
}

TSize MeasureControlText(const TLogFont& font, const AnsiString& text, unsigned format, int width) {
  TDeviceContext dc;
  dc.SelectFont(font);
  TRect r{0, 0, std::max(width, 1), 0};
  DrawText(dc, text, r, format | DT_CALCRECT);
  return TSize{r.Width(), r.Height()};
}

void FillCanvasRect(TCanvas& canvas, const TRect& r, TColor c) {
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(c);
  canvas.FillRect(r);
}

void DrawCanvasText(TCanvas& canvas, const AnsiString& text, TRect r, unsigned format, bool enabled, TColor color) {
  canvas.Brush().SetStyle(bsClear);
  if (enabled) {
    canvas.Font().SetColor(color);
    canvas.DrawText(text, r, format);
    return;
  }
  TRect shifted = OffsetRect(r, 1, 1);
  canvas.Font().SetColor(clBtnHighlight);
  canvas.DrawText(text, shifted, format);
  canvas.Font().SetColor(clGrayText);
  canvas.DrawText(text, r, format);
}

int ScrollStep(TScrollPart part, int small, int large) {
  switch (part) {
    case TScrollPart::LineUp: return -small;
    case TScrollPart::LineDown: return small;
    case TScrollPart::PageUp: return -large;
    case TScrollPart::PageDown: return large;
    default: return 0;
  }
}

int OffsetAlongBar(const TScrollBarGeometry& g, int x, int y) {
  TRect t = g.TrackRect();
  return g.Kind == TScrollBarKind::Vertical ? y - t.Top : x - t.Left;
}

void TPressRepeat::Start(HWND hwnd) {
  Stop();
  FWnd = hwnd;
  FSteady = false;
  if (FWnd) SetTimer(FWnd, TimerId, FirstDelayMs);
}

void TPressRepeat::Stop() {
  if (FWnd) KillTimer(FWnd, TimerId);
  FWnd = 0;
}

bool TPressRepeat::IsTick(UINT msg, WPARAM wp) {
  if (msg != WM_TIMER || wp != TimerId) return false;
  if (FWnd && !FSteady) {
    FSteady = true;
    SetTimer(FWnd, TimerId, RepeatMs);
  }
  return true;
}

#include "platform/gdi/Edges.h"

#include "platform/gdi/DrawText.h"
#include "platform/gdi/DrawTextFlags.h"

namespace {

struct EdgeColors {
  TColorRef TopLeft;
  TColorRef BottomRight;
};

// Colours of one border layer; nullopt-like zero flag when the layer is absent.
bool LayerColors(unsigned edge, unsigned flags, bool outer, EdgeColors& out) {
  unsigned raised = outer ? BDR_RAISEDOUTER : BDR_RAISEDINNER;
  unsigned sunken = outer ? BDR_SUNKENOUTER : BDR_SUNKENINNER;
  if (!(edge & (raised | sunken))) return false;
  if (flags & BF_MONO) {
    TColorRef c = outer ? clWindowFrame : clWindow;
    out = {c, c};
  } else if (flags & BF_FLAT) {
    TColorRef c = outer ? clBtnShadow : clBtnFace;
    out = {c, c};
  } else if (edge & raised) {
    bool soft = flags & BF_SOFT;
    out = outer ? EdgeColors{soft ? clBtnHighlight : cl3DLight, cl3DDkShadow}
                : EdgeColors{soft ? cl3DLight : clBtnHighlight, clBtnShadow};
  } else {
    bool soft = flags & BF_SOFT;
    out = outer ? EdgeColors{soft ? cl3DDkShadow : clBtnShadow, clBtnHighlight}
                : EdgeColors{soft ? clBtnShadow : cl3DDkShadow, cl3DLight};
  }
  return true;
}

void DrawLayer(TDeviceContext& dc, TRect& r, const EdgeColors& c, unsigned flags) {
  if (r.IsEmpty()) return;
  TLogBrush tl = SolidBrush(c.TopLeft), br = SolidBrush(c.BottomRight);
  if (flags & BF_TOP) dc.FillRect(TRect{r.Left, r.Top, r.Right - 1, r.Top + 1}, tl);
  if (flags & BF_LEFT) dc.FillRect(TRect{r.Left, r.Top, r.Left + 1, r.Bottom - 1}, tl);
  if (flags & BF_BOTTOM) dc.FillRect(TRect{r.Left, r.Bottom - 1, r.Right, r.Bottom}, br);
  if (flags & BF_RIGHT) dc.FillRect(TRect{r.Right - 1, r.Top, r.Right, r.Bottom}, br);
  if (flags & BF_TOP) ++r.Top;
  if (flags & BF_LEFT) ++r.Left;
  if (flags & BF_BOTTOM) --r.Bottom;
  if (flags & BF_RIGHT) --r.Right;
}

void Bar(TDeviceContext& dc, int l, int t, int r, int b, TColorRef c) { dc.FillRect(TRect{l, t, r, b}, SolidBrush(c)); }

void CaptionGlyph(TDeviceContext& dc, const TRect& box, unsigned kind, TColorRef c) {
  int w = box.Width(), h = box.Height();
  int a = std::max(4, std::min(w, h) * 2 / 3);
  if (a % 2) --a;
  int l = box.Left + (w - a) / 2, t = box.Top + (h - a) / 2;
  switch (kind) {
    case DFCS_CAPTIONCLOSE: {
      // Two-pixel strokes only where there is room; a small X has one-pixel strokes crossing at a
      // single centre pixel, or its strokes run together into bars.
      const bool thin = a < 8;
      const int n = thin ? a - 1 : a;  // odd when thin
      const int x0 = box.Left + (w - n) / 2, y0 = box.Top + (h - n) / 2;
      const int stroke = thin ? 1 : 2;
      for (int i = 0; i + stroke - 1 < n; ++i) {
        Bar(dc, x0 + i, y0 + i, x0 + i + stroke, y0 + i + 1, c);
        Bar(dc, x0 + n - i - stroke, y0 + i, x0 + n - i, y0 + i + 1, c);
      }
      break;
    }
    case DFCS_CAPTIONMIN: Bar(dc, l, t + a - 2, l + a * 2 / 3 + 1, t + a, c); break;
    case DFCS_CAPTIONMAX:
      dc.FrameRect(TRect{l, t, l + a + 1, t + a}, SolidBrush(c));
      Bar(dc, l, t + 1, l + a + 1, t + 2, c);
      break;
    case DFCS_CAPTIONRESTORE: {
      int s = a * 2 / 3 + 1;
      TRect back{l + a - s + 1, t, l + a + 1, t + s - 1};
      TRect front{l, t + a - s + 1, l + s, t + a};
      dc.FrameRect(back, SolidBrush(c));
      Bar(dc, back.Left, back.Top + 1, back.Right, back.Top + 2, c);
      Bar(dc, front.Left, front.Top, front.Right, front.Bottom, clBtnFace);
      dc.FrameRect(front, SolidBrush(c));
      Bar(dc, front.Left, front.Top + 1, front.Right, front.Top + 2, c);
      break;
    }
    case DFCS_CAPTIONHELP: {
      TLogFont f;
      f.Height = -std::max(6, a + 2);
      f.Weight = FW_BOLD;
      TLogFont old = dc.SelectFont(f);
      int mode = dc.SetBkMode(TRANSPARENT);
      TColorRef oldColor = dc.SetTextColor(c);
      TRect r = box;
      DrawText(dc, "?", r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
      dc.SetTextColor(oldColor);
      dc.SetBkMode(mode);
      dc.SelectFont(old);
      break;
    }
    default: break;
  }
}

}  // namespace

bool DrawEdge(TDeviceContext& dc, TRect& rect, unsigned edge, unsigned flags) {
  TRect r = rect;
  EdgeColors c;
  if (LayerColors(edge, flags, true, c)) DrawLayer(dc, r, c, flags);
  if (LayerColors(edge, flags, false, c)) DrawLayer(dc, r, c, flags);
  if ((flags & BF_MIDDLE) && !r.IsEmpty())
    dc.FillRect(r, SolidBrush((flags & (BF_MONO | BF_FLAT)) ? clWindow : clBtnFace));
  if (flags & BF_ADJUST) rect = r;
  return true;
}

bool DrawFrameControl(TDeviceContext& dc, TRect& rect, unsigned type, unsigned state) {
  if (type != DFC_CAPTION) return false;
  bool pushed = state & DFCS_PUSHED;
  TRect inner = rect;
  unsigned edgeFlags = BF_RECT | BF_MIDDLE | BF_ADJUST | (state & DFCS_FLAT ? BF_FLAT : 0) |
                       (state & DFCS_MONO ? BF_MONO : 0);
  DrawEdge(dc, inner, pushed ? EDGE_SUNKEN : EDGE_RAISED, edgeFlags | (pushed ? 0 : BF_SOFT));
  if (pushed) inner = OffsetRect(inner, 1, 1);
  unsigned kind = state & 0xFF;
  if (state & DFCS_INACTIVE) {
    CaptionGlyph(dc, OffsetRect(inner, 1, 1), kind, clBtnHighlight);
    CaptionGlyph(dc, inner, kind, clGrayText);
  } else {
    CaptionGlyph(dc, inner, kind, clBtnText);
  }
  if (state & DFCS_ADJUSTRECT) rect = inner;
  return true;
}

void DrawFocusRect(TDeviceContext& dc, const TRect& r) {
  if (r.IsEmpty()) return;
  auto invert = [&dc](int x, int y) {
    if ((x + y) & 1) return;
    TColorRef c = dc.GetPixel(x, y);
    if (c != CLR_INVALID) dc.SetPixel(x, y, ~c & 0xFFFFFF);
  };
  for (int x = r.Left; x < r.Right; ++x) {
    invert(x, r.Top);
    if (r.Bottom - 1 > r.Top) invert(x, r.Bottom - 1);
  }
  for (int y = r.Top + 1; y < r.Bottom - 1; ++y) {
    invert(r.Left, y);
    if (r.Right - 1 > r.Left) invert(r.Right - 1, y);
  }
}

#include "toolbars/tbGlyphs.h"

#include <algorithm>

#include "platform/gdi/DrawText.h"

namespace {

std::unique_ptr<TtbGlyphCache>& CacheSlot() {
  static std::unique_ptr<TtbGlyphCache> cache;
  return cache;
}
int& HolderCount() {
  static int count = 0;
  return count;
}

constexpr TColorRef Silver = RGB(192, 192, 192);
constexpr TColorRef MidGrey = RGB(128, 128, 128);

// A monochrome bitmap, 1 (white) where pred holds for the source pixel.
template <class Pred>
TGdiBitmap MonoWhere(int w, int h, Pred pred) {
  TGdiBitmap m(w, h, 1);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) m.SetPixel(x, y, pred(x, y) ? clWhite : clBlack);
  return m;
}

bool Bit(const TGdiBitmap& mono, int x, int y) {
  return x >= 0 && y >= 0 && x < mono.Width() && y < mono.Height() && mono.PixelBit(x, y);
}

}  // namespace

// ---- TtbGlyphList ----

int TtbGlyphList::AllocateIndex() {
  auto it = std::find(FUsed.begin(), FUsed.end(), false);
  int index = static_cast<int>(it - FUsed.begin());
  if (it == FUsed.end()) {
    TGdiBitmap blank(Width(), Height(), 32);
    TGdiBitmap mask(Width(), Height(), 1);
    mask.Fill(clWhite);
    index = Add(blank, &mask);
    FUsed.resize(static_cast<size_t>(Count()), false);
  }
  FUsed[static_cast<size_t>(index)] = true;
  return index;
}

int TtbGlyphList::AddWithMask(const TGdiBitmap& image, const TGdiBitmap& mask) {
  int index = AllocateIndex();
  if (!Replace(index, image, &mask)) {
    FUsed[static_cast<size_t>(index)] = false;
    throw EInvalidOperation("Unable to Replace Image");
  }
  ++FCount;
  return index;
}

int TtbGlyphList::AddWithColor(const TGdiBitmap& image, TColorRef maskColor) {
  if (image.Width() < Width() || image.Height() < Height()) throw EInvalidOperation("Invalid image size");
  TColorRef key = ColorToRGB(maskColor);
  TGdiBitmap mask = MonoWhere(Width(), Height(), [&](int x, int y) { return image.Pixel(x, y) == key; });
  TGdiBitmap copy(Width(), Height(), 32);
  for (int y = 0; y < Height(); ++y)
    for (int x = 0; x < Width(); ++x) copy.SetPixel(x, y, Bit(mask, x, y) ? clBlack : image.Pixel(x, y));
  return AddWithMask(copy, mask);
}

void TtbGlyphList::FreeIndex(int index) {
  if (index < 0 || index >= static_cast<int>(FUsed.size()) || !FUsed[static_cast<size_t>(index)]) return;
  --FCount;
  FUsed[static_cast<size_t>(index)] = false;
}

// ---- TtbGlyphCache ----

TtbGlyphList* TtbGlyphCache::GetList(int width, int height) {
  for (auto it = FLists.rbegin(); it != FLists.rend(); ++it)
    if ((*it)->Width() == width && (*it)->Height() == height) return it->get();
  FLists.push_back(std::make_unique<TtbGlyphList>(width, height));
  return FLists.back().get();
}

void TtbGlyphCache::ReturnList(TtbGlyphList* list) {
  if (!list || list->InUse() != 0) return;
  std::erase_if(FLists, [&](const std::unique_ptr<TtbGlyphList>& l) { return l.get() == list; });
}

TtbGlyphCache* GlyphCache() { return CacheSlot().get(); }

// ---- layout ----

TtbGlyphPlacement CalcButtonLayout(const TtbGlyphLayoutInput& in) {
  const int cw = in.Client.Width(), ch = in.Client.Height();
  const int gw = in.GlyphSize.cx, gh = in.GlyphSize.cy;
  const bool hasGlyph = gw > 0 && gh > 0;
  const bool horizontal = !hasGlyph || in.Layout == blGlyphLeft || in.Layout == blGlyphRight;
  const int aw = in.ArrowWidth, ah = aw > 0 ? 3 : 0;
  int m = in.Margin, sp = in.Spacing;

  TSize text;
  if (in.HasCaption && in.MeasureText) {
    int limit = cw - (horizontal ? aw : 0);
    if (in.WordWrap) {
      int spacing = sp == -1 ? 4 : sp;
      if (horizontal && hasGlyph) limit -= gw + spacing + 2 * (m == -1 ? spacing : m);
      else limit -= 2 * 4;
    }
    text = in.MeasureText(std::max(0, limit));
  }
  const int tw = text.cx, th = text.cy;
  const bool hasText = tw > 0 || th > 0;

  TtbGlyphPlacement r;
  TPoint g, t;
  if (horizontal) {
    g.Y = (ch - gh + 1) / 2;
    t.Y = (ch - th + 1) / 2;
  } else {
    g.X = (cw - gw - aw + 1) / 2;
    t.X = (cw - tw + 1) / 2;
  }
  const int e = horizontal ? cw : ch;
  const int ga = horizontal ? gw : gh, ta = horizontal ? tw : th, arr = horizontal ? aw : 0;
  if (!hasText || !hasGlyph) sp = 0;
  if (m == -1) {
    if (sp == -1) {
      int space = (e - (ga + ta + arr)) / 3;
      m = space;
      sp = space;
    } else {
      m = (e - (ga + sp + ta + arr) + 1) / 2;
    }
  } else if (sp == -1) {
    sp = (e - (m + ga + ta + arr)) / 2;
  }
  switch (in.Layout) {
    case blGlyphLeft:
      g.X = m;
      t.X = m + gw + sp;
      r.Arrow.X = (hasText ? t.X + tw : g.X + gw) + 1;
      break;
    case blGlyphRight:
      r.Arrow.X = cw - m - aw;
      g.X = r.Arrow.X - gw;
      t.X = g.X - sp - tw;
      if (!hasGlyph) t.X = r.Arrow.X - tw;
      break;
    case blGlyphTop:
      g.Y = m;
      t.Y = m + gh + sp;
      break;
    case blGlyphBottom:
      g.Y = ch - m - gh;
      t.Y = g.Y - sp - th;
      break;
  }
  if (!horizontal) r.Arrow.X = (hasGlyph ? g.X + gw : t.X + tw) + 1;
  r.Arrow.Y = hasGlyph ? g.Y + (gh - ah) / 2 : t.Y + (th - ah) / 2;
  const int dx = in.Client.Left + in.Offset.X, dy = in.Client.Top + in.Offset.Y;
  r.Glyph = TPoint{g.X + dx, g.Y + dy};
  r.Text = TRect{t.X + dx, t.Y + dy, t.X + dx + tw, t.Y + dy + th};
  r.Arrow = TPoint{r.Arrow.X + dx, r.Arrow.Y + dy};
  return r;
}

void DrawDropdownArrow(TCanvas& canvas, int x, int y, int aw, bool enabled, TColor color) {
  const int cx = x + aw / 2;
  auto triangle = [&](int dx, int dy, TColor c) {
    canvas.Pen().SetColor(c);
    canvas.Brush().SetStyle(bsSolid);
    canvas.Brush().SetColor(c);
    canvas.Polygon({TPoint{cx - 2 + dx, y + dy}, TPoint{cx + 2 + dx, y + dy}, TPoint{cx + dx, y + 2 + dy}});
  };
  if (enabled) {
    triangle(0, 0, color);
    return;
  }
  triangle(1, 1, clBtnHighlight);
  triangle(0, 0, clBtnShadow);
}

// ---- TtbTBButtonGlyph ----

TtbTBButtonGlyph::TtbTBButtonGlyph() {
  if (!CacheSlot()) CacheSlot() = std::make_unique<TtbGlyphCache>();
  ++HolderCount();
  FIndexs[0].fill(-1);
  FIndexs[1].fill(-1);
  FOriginal->OnChange = [this](TObject*) { changed(true); };
  FOriginalMask->OnChange = [this](TObject*) { changed(false); };
}

TtbTBButtonGlyph::~TtbTBButtonGlyph() {
  FOriginal->OnChange = nullptr;
  FOriginalMask->OnChange = nullptr;
  OnChange = nullptr;
  FImageChangeLink.reset();
  DropImages();
  // Other buttons still paint from the cache: it goes with the last holder only.
  if (--HolderCount() == 0 && CacheSlot() && CacheSlot()->Empty()) CacheSlot().reset();
}

void TtbTBButtonGlyph::SetGlyph(const TBitmap* value) {
  DropImages();
  FOriginal->Assign(value);  // its change runs the change step
  const int w = FOriginal->Width(), h = FOriginal->Height();
  int n = 1;
  if (w != 0 && h != 0 && w % h == 0 && w / h < 6) n = w / h;
  FNumGlyphs = n;
}

void TtbTBButtonGlyph::SetGlyphMask(const TBitmap* value) {
  DropImages();
  FOriginalMask->Assign(value);
}

void TtbTBButtonGlyph::SetImageList(TCustomImageList* value) {
  if (value == FImageList) return;
  FImageList = value;
  if (value) {
    if (!FImageChangeLink) {
      FImageChangeLink = std::make_unique<TChangeLink>();
      FImageChangeLink->OnChange = [this](TObject*) { changed(false); };
    }
    value->RegisterChanges(FImageChangeLink.get());
  } else {
    FImageChangeLink.reset();
  }
  SetNumGlyphs(FNumGlyphs);
}

void TtbTBButtonGlyph::SetImageIndex(int value) {
  if (value == FImageIndex) return;
  FImageIndex = value;
  if (FImageList) changed(false);
}

void TtbTBButtonGlyph::SetNumGlyphs(int value) {
  DropImages();
  FNumGlyphs = (FImageList || value <= 0 || value > 5) ? 1 : value;
  changed(false);
}

void TtbTBButtonGlyph::SetOldDisabledStyle(bool value) {
  FOldDisabledStyle = value;
  DropImages();
}

void TtbTBButtonGlyph::changed(bool stripChanged) {
  if (stripChanged && !FOriginal->Empty())
    FTransparentColor = FOriginal->Image()->Pixel(0, FOriginal->Height() - 1);
  DropImages();
  if (OnChange) OnChange();
}

void TtbTBButtonGlyph::DropImages() {
  if (FInDropImages) return;
  FInDropImages = true;
  for (int l = 0; l < 2; ++l) {
    if (!FGlyphList[l]) continue;
    for (int& index : FIndexs[l]) {
      if (index >= 0) FGlyphList[l]->FreeIndex(index);
      index = -1;
    }
    if (TtbGlyphCache* cache = GlyphCache()) cache->ReturnList(FGlyphList[l]);
    FGlyphList[l] = nullptr;
  }
  FInDropImages = false;
}

TSize TtbTBButtonGlyph::GlyphSize() const {
  if (FImageList) return TSize{FImageList->Width(), FImageList->Height()};
  if (FOriginal->Empty()) return TSize{};
  return TSize{FOriginal->Width() / std::max(1, FNumGlyphs), FOriginal->Height()};
}

bool TtbTBButtonGlyph::hasMask() const {
  return FImageList ? true : FOriginalMask->Width() > 0 && FOriginalMask->Height() > 0;
}

// Image number index of the strip (or the image list's image) as a W x H bitmap.
TGdiBitmap TtbTBButtonGlyph::sourceImage(int index, int w, int h) const {
  TGdiBitmap out(w, h, 32);
  out.Fill(ColorToRGB(clBtnFace));
  if (FImageList) {
    const TGdiBitmap& img = FImageList->Image(FImageIndex);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) out.SetPixel(x, y, img.Pixel(x, y));
    return out;
  }
  const TGdiBitmap& strip = *FOriginal->Image();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) out.SetPixel(x, y, strip.Pixel(index * w + x, y));
  return out;
}

// The mask of the same image, 1 (white) where transparent.
TGdiBitmap TtbTBButtonGlyph::sourceMask(int index, int w, int h) const {
  if (FImageList) {
    const TGdiBitmap& m = FImageList->Mask(FImageIndex);
    return MonoWhere(w, h, [&](int x, int y) { return Bit(m, x, y); });
  }
  if (hasMask()) {
    const TGdiBitmap& m = *FOriginalMask->Image();
    return MonoWhere(w, h, [&](int x, int y) {
      TColorRef c = m.Pixel(index * w + x, y);
      return c != CLR_INVALID && (m.Monochrome() ? m.PixelBit(index * w + x, y) : c == clWhite);
    });
  }
  TGdiBitmap img = sourceImage(index, w, h);
  return MonoWhere(w, h, [&](int x, int y) { return img.Pixel(x, y) == FTransparentColor; });
}

// The strip's own disabled image: whites lit, mid greys shaded, and one transparent pixel more
// to the right and bottom so it matches the embossed size.
void TtbTBButtonGlyph::disabledFromOwnImage(int w, int h) {
  TGdiBitmap img = sourceImage(1, w, h);
  TGdiBitmap mask = sourceMask(1, w, h);
  const TColorRef hi = ColorToRGB(clBtnHighlight), sh = ColorToRGB(clBtnShadow);
  TGdiBitmap target(w + 1, h + 1, 32);
  target.Fill(ColorToRGB(clBtnFace));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      TColorRef c = img.Pixel(x, y);
      target.SetPixel(x, y, c == clWhite ? hi : c == MidGrey ? sh : c);
    }
  TGdiBitmap bigMask =
      MonoWhere(w + 1, h + 1, [&](int x, int y) { return x >= w || y >= h || Bit(mask, x, y); });
  FIndexs[1][tbsDisabled] = FGlyphList[1]->AddWithMask(target, bigMask);
}

// The embossed image made from the up image: highlight one pixel down-right, shadow on top.
// M marks the pixels the emboss leaves alone; transparent pixels are always among them.
void TtbTBButtonGlyph::disabledFromUpImage(int w, int h) {
  TGdiBitmap img = sourceImage(0, w, h);
  TGdiBitmap transparent = sourceMask(0, w, h);
  const bool trueColour = !FImageList && FOriginal->Image()->BitsPerPixel() > 8;
  TGdiBitmap dark;  // 1 where the emboss paints
  if (!FOldDisabledStyle) {
    dark = MonoWhere(w, h, [&](int x, int y) {
      TColorRef c = img.Pixel(x, y);
      return !(c == clWhite || c == Silver || Bit(transparent, x, y));
    });
  } else {
    TColorRef background = FImageList ? clWhite : FTransparentColor;
    dark = MonoWhere(w, h, [&](int x, int y) {
      if (Bit(transparent, x, y)) return false;
      TColorRef c = img.Pixel(x, y);
      return trueColour && !hasMask() ? c == clBlack : c != background;
    });
  }
  const TColorRef face = ColorToRGB(clBtnFace);
  TGdiBitmap target(w + 1, h + 1, 32);
  target.Fill(face);
  auto emboss = [&](int ox, int oy, TColorRef c) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (Bit(dark, x, y)) target.SetPixel(x + ox, y + oy, c);
  };
  emboss(1, 1, ColorToRGB(clBtnHighlight));
  emboss(0, 0, ColorToRGB(clBtnShadow));
  FIndexs[1][tbsDisabled] = FGlyphList[1]->AddWithColor(target, face);
}

TtbTBButtonGlyph::TGlyphRef TtbTBButtonGlyph::CreateButtonGlyph(TtbButtonState state) {
  if (state != tbsDisabled && static_cast<int>(state) >= FNumGlyphs) state = tbsUp;
  const int which = state == tbsDisabled ? 1 : 0;
  if (FIndexs[0][state] >= 0 && FGlyphList[0]) return {FGlyphList[0], FIndexs[0][state]};
  if (FIndexs[1][state] >= 0 && FGlyphList[1]) return {FGlyphList[1], FIndexs[1][state]};

  int w = 0, h = 0;
  if (FImageList) {
    if (FImageIndex < 0 || FImageIndex >= FImageList->Count()) return {};
    w = FImageList->Width();
    h = FImageList->Height();
  } else {
    if (FOriginal->Width() == 0 || FOriginal->Height() == 0) return {};
    w = FOriginal->Width() / std::max(1, FNumGlyphs);
    h = FOriginal->Height();
    if (w == 0) return {};
  }
  if (!CacheSlot()) CacheSlot() = std::make_unique<TtbGlyphCache>();
  TtbGlyphCache* cache = CacheSlot().get();
  if (!FGlyphList[which])
    FGlyphList[which] = state == tbsDisabled ? cache->GetList(w + 1, h + 1) : cache->GetList(w, h);
  TtbGlyphList* list = FGlyphList[which];

  const int source = static_cast<int>(state) >= FNumGlyphs ? 0 : static_cast<int>(state);
  if (state != tbsDisabled) {
    TGdiBitmap img = sourceImage(source, w, h);
    if (hasMask()) FIndexs[0][state] = list->AddWithMask(img, sourceMask(source, w, h));
    else FIndexs[0][state] = list->AddWithColor(img, FTransparentColor);
  } else if (FNumGlyphs >= 2 && !FImageList) {
    disabledFromOwnImage(w, h);
  } else {
    disabledFromUpImage(w, h);
  }
  return {list, FIndexs[which][state]};
}

void TtbTBButtonGlyph::DrawButtonGlyph(TDeviceContext& dc, TPoint p, TtbButtonState state) {
  TGlyphRef ref = CreateButtonGlyph(state);
  if (ref.List && ref.Index >= 0) ref.List->Draw(dc, ref.Index, p.X, p.Y, ILD_TRANSPARENT);
}

TRect TtbTBButtonGlyph::Draw(TCanvas& canvas, const TRect& client, TPoint offset, const AnsiString& caption,
                             bool wordWrap, TAlignment alignment, TButtonLayout layout, int margin, int spacing,
                             bool dropArrow, int dropArrowWidth, TtbButtonState state, bool drawCaption,
                             bool drawGlyph) {
  const bool showCaption = drawCaption && !caption.empty();
  TtbGlyphLayoutInput in;
  in.Client = client;
  in.Offset = offset;
  in.GlyphSize = drawGlyph ? GlyphSize() : TSize{};
  if (drawGlyph && !FImageList && FOriginal->Empty()) in.GlyphSize = TSize{};
  if (drawGlyph && FImageList && (FImageIndex < 0 || FImageIndex >= FImageList->Count())) in.GlyphSize = TSize{};
  in.HasCaption = showCaption;
  in.WordWrap = wordWrap;
  in.Layout = layout;
  in.Margin = margin;
  in.Spacing = spacing;
  in.ArrowWidth = dropArrow ? dropArrowWidth : 0;
  in.MeasureText = [&](int limit) {
    TRect r{0, 0, limit, 0};
    canvas.DrawText(caption, r, DT_CALCRECT | (wordWrap ? DT_WORDBREAK : DT_SINGLELINE));
    return TSize{r.Width(), r.Height()};
  };
  TtbGlyphPlacement place = CalcButtonLayout(in);
  if (in.GlyphSize.cx > 0)
    if (TDeviceContext* dc = canvas.Handle()) DrawButtonGlyph(*dc, place.Glyph, state);
  if (showCaption) {
    static constexpr unsigned Align[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    unsigned format = Align[alignment] | DT_VCENTER | (wordWrap ? DT_WORDBREAK : DT_SINGLELINE);
    canvas.Brush().SetStyle(bsClear);
    TRect r = place.Text;
    if (state == tbsDisabled) {
      TRect lit = OffsetRect(r, 1, 1);
      canvas.Font().SetColor(clBtnHighlight);
      canvas.DrawText(caption, lit, format);
      canvas.Font().SetColor(clBtnShadow);
      canvas.DrawText(caption, r, format);
    } else {
      canvas.DrawText(caption, r, format);
    }
  }
  if (dropArrow)
    DrawDropdownArrow(canvas, place.Arrow.X, place.Arrow.Y, dropArrowWidth, state != tbsDisabled,
                      canvas.Font().Color());
  return place.Text;
}

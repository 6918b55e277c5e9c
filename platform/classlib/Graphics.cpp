#include "platform/classlib/Graphics.h"

#include <algorithm>
#include <cmath>

#include "platform/gdi/BmpFile.h"
#include "platform/gdi/DrawText.h"
#include "platform/rtl/Files.h"

// ---- TFont ----

void TFont::Assign(const TPersistent* source) {
  if (auto* f = dynamic_cast<const TFont*>(source)) {
    if (*this == *f) return;
    FName = f->FName;
    FHeight = f->FHeight;
    FStyle = f->FStyle;
    FColor = f->FColor;
    FCharset = f->FCharset;
    FPitch = f->FPitch;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

void TFont::SetName(const AnsiString& v) {
  if (v.empty() || v == FName) return;
  FName = v;
  Changed();
}

int TFont::Size() const {
  return static_cast<int>(std::lround(-FHeight * 72.0 / FPixelsPerInch));
}

void TFont::SetSize(int points) { SetHeight(-static_cast<int>(std::lround(points * FPixelsPerInch / 72.0))); }

void TFont::SetHeight(int v) {
  if (v == FHeight) return;
  FHeight = v;
  Changed();
}

void TFont::SetStyle(TFontStyles v) {
  if (v == FStyle) return;
  FStyle = v;
  Changed();
}

void TFont::SetColor(TColor v) {
  if (v == FColor) return;
  FColor = v;
  Changed();
}

void TFont::SetCharset(uint8_t v) {
  if (v == FCharset) return;
  FCharset = v;
  Changed();
}

void TFont::SetPitch(TFontPitch v) {
  if (v == FPitch) return;
  FPitch = v;
  Changed();
}

TLogFont TFont::Handle() const {
  TLogFont lf;
  lf.Name = FName;
  lf.Height = FHeight;
  lf.Weight = (FStyle & fsBold) ? FW_BOLD : FW_NORMAL;
  lf.Italic = (FStyle & fsItalic) != 0;
  lf.Underline = (FStyle & fsUnderline) != 0;
  lf.StrikeOut = (FStyle & fsStrikeOut) != 0;
  lf.CharSet = FCharset;
  lf.Pitch = FPitch == fpFixed ? FIXED_PITCH : FPitch == fpVariable ? VARIABLE_PITCH : DEFAULT_PITCH;
  return lf;
}

// ---- TPen ----

void TPen::Assign(const TPersistent* source) {
  if (auto* p = dynamic_cast<const TPen*>(source)) {
    FColor = p->FColor;
    FWidth = p->FWidth;
    FStyle = p->FStyle;
    FMode = p->FMode;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

void TPen::SetColor(TColor v) {
  if (v == FColor) return;
  FColor = v;
  Changed();
}

void TPen::SetWidth(int v) {
  if (v < 0 || v == FWidth) return;
  FWidth = v;
  Changed();
}

void TPen::SetStyle(TPenStyle v) {
  if (v == FStyle) return;
  FStyle = v;
  Changed();
}

void TPen::SetMode(TPenMode v) {
  if (v == FMode) return;
  FMode = v;
  Changed();
}

TLogPen TPen::Handle() const {
  static constexpr int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
  return Pen(styles[FStyle], FWidth, ColorToRGB(FColor));
}

namespace {

int PenModeToRop2(TPenMode m) {
  static constexpr int rops[] = {R2_BLACK,      R2_WHITE,      R2_NOP,        R2_NOT,
                                 R2_COPYPEN,    R2_NOTCOPYPEN, R2_MERGEPENNOT, R2_MASKPENNOT,
                                 R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN,   R2_NOTMERGEPEN,
                                 R2_MASKPEN,    R2_NOTMASKPEN, R2_XORPEN,     R2_NOTXORPEN};
  return rops[m];
}

}  // namespace

// ---- TBrush ----

TBrush::TBrush() = default;
TBrush::~TBrush() = default;

void TBrush::Assign(const TPersistent* source) {
  if (auto* b = dynamic_cast<const TBrush*>(source)) {
    FColor = b->FColor;
    FStyle = b->FStyle;
    SetBitmap(b->FBitmap.get());
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

void TBrush::SetColor(TColor v) {
  if (v == FColor && FStyle != bsClear) return;
  FColor = v;
  if (FStyle == bsClear) FStyle = bsSolid;
  Changed();
}

void TBrush::SetStyle(TBrushStyle v) {
  if (v == FStyle) return;
  FStyle = v;
  Changed();
}

void TBrush::SetBitmap(const TBitmap* v) {
  if (!v && !FBitmap) return;
  if (v) {
    auto copy = std::make_unique<TBitmap>();
    copy->Assign(v);
    FBitmap = std::move(copy);
  } else {
    FBitmap.reset();
  }
  Changed();
}

TLogBrush TBrush::Handle() const {
  if (FBitmap && !FBitmap->Empty()) return PatternBrush(std::make_shared<TGdiBitmap>(*FBitmap->Image()));
  TColorRef c = ColorToRGB(FColor);
  switch (FStyle) {
    case bsSolid: return SolidBrush(c);
    case bsClear: return NullBrush();
    case bsHorizontal: return HatchBrush(HS_HORIZONTAL, c);
    case bsVertical: return HatchBrush(HS_VERTICAL, c);
    case bsFDiagonal: return HatchBrush(HS_FDIAGONAL, c);
    case bsBDiagonal: return HatchBrush(HS_BDIAGONAL, c);
    case bsCross: return HatchBrush(HS_CROSS, c);
    case bsDiagCross: return HatchBrush(HS_DIAGCROSS, c);
  }
  return SolidBrush(c);
}

// ---- TCanvas ----

TCanvas::TCanvas() = default;
TCanvas::~TCanvas() = default;

TDeviceContext* TCanvas::Handle() {
  if (!FHandle) CreateHandle();
  return FHandle;
}

void TCanvas::SetHandle(TDeviceContext* dc) { FHandle = dc; }

TDeviceContext& TCanvas::Need() {
  if (!FHandle) CreateHandle();
  if (!FHandle) throw EInvalidOperation("Canvas does not allow drawing");
  return *FHandle;
}

void TCanvas::Changing() {
  if (OnChanging) OnChanging(this);
}

void TCanvas::Changed() {
  if (OnChange) OnChange(this);
}

void TCanvas::SelectObjects(TDeviceContext& dc, bool forText) {
  dc.SelectPen(FPen.Handle());
  dc.SetROP2(PenModeToRop2(FPen.Mode()));
  dc.SelectBrush(FBrush.Handle());
  if (forText) {
    dc.SelectFont(FFont.Handle());
    dc.SetTextColor(ColorToRGB(FFont.Color()));
  }
  dc.SetBkColor(ColorToRGB(FBrush.Color()));
  dc.SetBkMode(FBrush.Style() == bsClear ? TRANSPARENT : OPAQUE);
}

TPoint TCanvas::PenPos() { return Need().CurrentPosition(); }

TRect TCanvas::ClipRect() { return Need().GetClipBox(); }

void TCanvas::MoveTo(int x, int y) { Need().MoveTo(x, y); }

void TCanvas::LineTo(int x, int y) {
  TDeviceContext& dc = Need();
  Changing();
  SelectObjects(dc, false);
  dc.LineTo(x, y);
  Changed();
}

void TCanvas::Polyline(const std::vector<TPoint>& points) {
  TDeviceContext& dc = Need();
  Changing();
  SelectObjects(dc, false);
  dc.Polyline(points);
  Changed();
}

void TCanvas::Polygon(const std::vector<TPoint>& points) {
  TDeviceContext& dc = Need();
  Changing();
  SelectObjects(dc, false);
  dc.Polygon(points);
  Changed();
}

void TCanvas::Rectangle(int l, int t, int r, int b) {
  TDeviceContext& dc = Need();
  Changing();
  SelectObjects(dc, false);
  dc.Rectangle(l, t, r, b);
  Changed();
}

void TCanvas::Ellipse(int l, int t, int r, int b) {
  if (r - l < 2 || b - t < 2) return;
  TDeviceContext& dc = Need();
  Changing();
  SelectObjects(dc, false);
  // A polygon fine enough that its corners fall on the curve's pixels.
  double cx = (l + r - 1) / 2.0, cy = (t + b - 1) / 2.0, rx = (r - l - 1) / 2.0, ry = (b - t - 1) / 2.0;
  int n = std::max(16, static_cast<int>(4 * (rx + ry)));
  std::vector<TPoint> pts;
  pts.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    double a = 2 * 3.14159265358979323846 * i / n;
    TPoint p{static_cast<int>(std::lround(cx + rx * std::cos(a))), static_cast<int>(std::lround(cy + ry * std::sin(a)))};
    if (pts.empty() || !(pts.back() == p)) pts.push_back(p);
  }
  dc.Polygon(pts);
  Changed();
}

void TCanvas::FillRect(const TRect& r) {
  TDeviceContext& dc = Need();
  Changing();
  SelectObjects(dc, false);
  dc.FillRect(r, FBrush.Handle());
  Changed();
}

void TCanvas::FrameRect(const TRect& r) {
  TDeviceContext& dc = Need();
  Changing();
  SelectObjects(dc, false);
  dc.FrameRect(r, SolidBrush(ColorToRGB(FBrush.Color())));
  Changed();
}

void TCanvas::DrawFocusRect(const TRect& r) {
  TDeviceContext& dc = Need();
  Changing();
  // Every other pixel inverted, so drawing it twice takes it away.
  for (int x = r.Left; x < r.Right; ++x)
    for (int y : {r.Top, r.Bottom - 1})
      if (((x + y) & 1) == 0) dc.SetPixel(x, y, dc.GetPixel(x, y) ^ 0xFFFFFF);
  for (int y = r.Top + 1; y < r.Bottom - 1; ++y)
    for (int x : {r.Left, r.Right - 1})
      if (((x + y) & 1) == 0) dc.SetPixel(x, y, dc.GetPixel(x, y) ^ 0xFFFFFF);
  Changed();
}

TColor TCanvas::Pixel(int x, int y) { return Need().GetPixel(x, y); }

void TCanvas::SetPixel(int x, int y, TColor c) {
  TDeviceContext& dc = Need();
  Changing();
  dc.SetPixel(x, y, ColorToRGB(c));
  Changed();
}

void TCanvas::TextOut(int x, int y, const AnsiString& text) {
  TDeviceContext& dc = Need();
  Changing();
  SelectObjects(dc, true);
  dc.TextOut(x, y, text);
  Changed();
}

void TCanvas::TextRect(const TRect& r, int x, int y, const AnsiString& text) {
  TDeviceContext& dc = Need();
  Changing();
  SelectObjects(dc, true);
  unsigned options = ETO_CLIPPED | (FBrush.Style() != bsClear ? ETO_OPAQUE : 0u);
  dc.ExtTextOut(x, y, options, &r, text);
  Changed();
}

int TCanvas::DrawText(const AnsiString& text, TRect& r, unsigned format) {
  TDeviceContext& dc = Need();
  if (!(format & DT_CALCRECT)) Changing();
  SelectObjects(dc, true);
  int h = ::DrawText(dc, text, r, format);
  if (!(format & DT_CALCRECT)) Changed();
  return h;
}

TSize TCanvas::TextExtent(const AnsiString& text) {
  TDeviceContext& dc = Need();
  dc.SelectFont(FFont.Handle());
  return dc.GetTextExtent(text);
}

void TCanvas::Draw(int x, int y, TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  Need();
  Changing();
  graphic->Draw(*this, TRect{x, y, x + graphic->Width(), y + graphic->Height()});
  Changed();
}

void TCanvas::StretchDraw(const TRect& r, TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  Need();
  Changing();
  graphic->Draw(*this, r);
  Changed();
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) {
  TDeviceContext& dc = Need();
  TDeviceContext& src = source.Need();
  Changing();
  SelectObjects(dc, false);
  dc.StretchBlt(dest.Left, dest.Top, dest.Width(), dest.Height(), &src, sourceRect.Left, sourceRect.Top,
                sourceRect.Width(), sourceRect.Height(), FCopyMode);
  Changed();
}

// ---- TGraphic ----

void TGraphic::LoadFromFile(const AnsiString& fileName) {
  TFileStream s(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(s);
}

void TGraphic::SaveToFile(const AnsiString& fileName) const {
  TFileStream s(fileName, fmCreate);
  SaveToStream(s);
}

void TGraphic::SetTransparent(bool v) {
  if (v == FTransparent) return;
  FTransparent = v;
  Changed();
}

void TGraphic::Changed() {
  FModified = true;
  if (OnChange) OnChange(this);
}

// ---- TBitmap ----

// Draws into its bitmap through a memory context that follows the image.
class TBitmapCanvas final : public TCanvas {
public:
  explicit TBitmapCanvas(TBitmap& owner) : FOwner(owner) {}
  void ImageReplaced() {
    if (FDc) FDc->SelectBitmap(FOwner.Image());
  }

protected:
  void CreateHandle() override {
    if (!FDc) FDc = std::make_unique<TDeviceContext>(FOwner.Image());
    SetHandle(FDc.get());
  }

private:
  TBitmap& FOwner;
  std::unique_ptr<TDeviceContext> FDc;
};

TBitmap::TBitmap() = default;
TBitmap::~TBitmap() = default;

void TBitmap::Assign(const TPersistent* source) {
  if (auto* b = dynamic_cast<const TBitmap*>(source)) {
    if (b == this) return;
    SetImage(std::make_shared<TGdiBitmap>(*b->FImage));
    FTransparentColor = b->FTransparentColor;
    SetTransparent(b->Transparent());
    return;
  }
  if (!source) {
    SetImage(std::make_shared<TGdiBitmap>());
    return;
  }
  TGraphic::Assign(source);
}

void TBitmap::SetImage(TGdiBitmapPtr image) {
  FImage = image ? std::move(image) : std::make_shared<TGdiBitmap>();
  if (FCanvas) FCanvas->ImageReplaced();
  Changed();
}

void TBitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == Width() && height == Height()) return;
  FImage->SetSize(width, height);
  if (FCanvas) FCanvas->ImageReplaced();
  Changed();
}

void TBitmap::SetMonochrome(bool v) {
  if (v == Monochrome()) return;
  auto img = std::make_shared<TGdiBitmap>(Width(), Height(), v ? 1 : 32);
  for (int y = 0; y < Height(); ++y)
    for (int x = 0; x < Width(); ++x) img->SetPixel(x, y, FImage->Pixel(x, y));
  SetImage(std::move(img));
}

void TBitmap::LoadFromStream(TStream& stream) {
  SetImage(std::make_shared<TGdiBitmap>(ReadBmp(stream)));
}

void TBitmap::SaveToStream(TStream& stream) const { WriteBmp(*FImage, stream); }

TColor TBitmap::TransparentColor() const {
  if (FTransparentColor != clDefault) return ColorToRGB(FTransparentColor);
  if (Empty()) return clDefault;
  return FImage->Pixel(0, Height() - 1);
}

void TBitmap::SetTransparentColor(TColor c) {
  if (c == FTransparentColor) return;
  FTransparentColor = c;
  Changed();
}

TCanvas& TBitmap::Canvas() {
  if (!FCanvas) FCanvas = std::make_unique<TBitmapCanvas>(*this);
  return *FCanvas;
}

void TBitmap::Draw(TCanvas& canvas, const TRect& r) {
  TDeviceContext& dc = *canvas.Handle();
  TDeviceContext src(FImage);
  if (!Transparent()) {
    if (r.Width() == Width() && r.Height() == Height())
      dc.BitBlt(r.Left, r.Top, Width(), Height(), &src, 0, 0, canvas.CopyMode());
    else
      dc.StretchBlt(r.Left, r.Top, r.Width(), r.Height(), &src, 0, 0, Width(), Height(), canvas.CopyMode());
    return;
  }
  // See-through: every destination pixel takes the nearest source pixel unless that is the key.
  TColor key = TransparentColor();
  if (r.Width() <= 0 || r.Height() <= 0) return;
  for (int y = 0; y < r.Height(); ++y) {
    int sy = y * Height() / r.Height();
    for (int x = 0; x < r.Width(); ++x) {
      int sx = x * Width() / r.Width();
      TColorRef c = FImage->Pixel(sx, sy);
      if (c != key) dc.SetPixel(r.Left + x, r.Top + y, c);
    }
  }
}

// ---- TPicture ----

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::Changed() {
  if (OnChange) OnChange(this);
}

void TPicture::Assign(const TPersistent* source) {
  if (!source) {
    SetGraphic(nullptr);
    return;
  }
  if (auto* p = dynamic_cast<const TPicture*>(source)) {
    SetGraphic(p->Graphic());
    return;
  }
  if (auto* g = dynamic_cast<const TGraphic*>(source)) {
    SetGraphic(g);
    return;
  }
  TPersistent::Assign(source);
}

void TPicture::SetGraphic(const TGraphic* graphic) {
  if (graphic == FGraphic.get() && graphic) return;
  std::unique_ptr<TGraphic> copy;
  if (auto* b = dynamic_cast<const TBitmap*>(graphic)) {
    auto nb = std::make_unique<TBitmap>();
    nb->Assign(b);
    copy = std::move(nb);
  } else if (graphic) {
    throw EInvalidGraphic("Unsupported graphic format");
  }
  FGraphic = std::move(copy);
  if (FGraphic) FGraphic->OnChange = [this](TObject*) { Changed(); };
  Changed();
}

TBitmap& TPicture::Bitmap() {
  auto* b = dynamic_cast<TBitmap*>(FGraphic.get());
  if (!b) {
    auto nb = std::make_unique<TBitmap>();
    b = nb.get();
    FGraphic = std::move(nb);
    FGraphic->OnChange = [this](TObject*) { Changed(); };
    Changed();
  }
  return *b;
}

void TPicture::LoadFromFile(const AnsiString& fileName) {
  AnsiString ext = ExtractFileExt(fileName);
  if (!SameText(ext, ".bmp"))
    throw EInvalidGraphic("Unknown picture file extension (%s)", {ext});
  auto b = std::make_unique<TBitmap>();
  b->LoadFromFile(fileName);
  FGraphic = std::move(b);
  FGraphic->OnChange = [this](TObject*) { Changed(); };
  Changed();
}

void TPicture::SaveToFile(const AnsiString& fileName) const {
  if (FGraphic) FGraphic->SaveToFile(fileName);
}

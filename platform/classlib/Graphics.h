// The class library's graphics objects: fonts, pens and brushes that tell when they change, the
// canvas that draws with them over a device context, and bitmaps and pictures.
#pragma once

#include <functional>
#include <memory>

#include "platform/gdi/Bitmap.h"
#include "platform/gdi/Colors.h"
#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/DrawTextFlags.h"
#include "platform/rtl/Streams.h"
#include "platform/classlib/Classes.h"

using TColor = TColorRef;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;
// The named colours beside those of the drawing layer.
constexpr TColor clLtGray = clSilver;
constexpr TColor clDkGray = clGray;
constexpr TColor clMoneyGreen = 0xC0DCC0;
constexpr TColor clSkyBlue = 0xF0CAA6;
constexpr TColor clCream = 0xF0FBFF;
constexpr TColor clMedGray = 0xA4A0A0;
constexpr TColor clHotLight = SysColorFlag | COLOR_HOTLIGHT;
constexpr TColor clGradientActiveCaption = SysColorFlag | COLOR_GRADIENTACTIVECAPTION;
constexpr TColor clGradientInactiveCaption = SysColorFlag | COLOR_GRADIENTINACTIVECAPTION;
constexpr TColor clMenuHighlight = SysColorFlag | COLOR_MENUHILIGHT;
constexpr TColor clMenuBar = SysColorFlag | COLOR_MENUBAR;

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;
enum TFontPitch { fpDefault, fpVariable, fpFixed };

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode { pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
                pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor };
enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

// What fonts, pens and brushes share: a change notification that owners listen to.
class TGraphicsObject : public TPersistent {
public:
  TNotifyEvent OnChange;

protected:
  void Changed() {
    if (OnChange) OnChange(this);
  }
};

class TFont : public TGraphicsObject {
public:
  TFont() = default;
  void Assign(const TPersistent* source) override;
  AnsiString ClassName() const override { return "TFont"; }

  const AnsiString& Name() const { return FName; }
  void SetName(const AnsiString& v);
  // Points; Height is the same size in pixels, negative as the device expects.
  int Size() const;
  void SetSize(int points);
  int Height() const { return FHeight; }
  void SetHeight(int v);
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles v);
  TColor Color() const { return FColor; }
  void SetColor(TColor v);
  uint8_t Charset() const { return FCharset; }
  void SetCharset(uint8_t v);
  TFontPitch Pitch() const { return FPitch; }
  void SetPitch(TFontPitch v);
  int PixelsPerInch() const { return FPixelsPerInch; }

  TLogFont Handle() const;
  friend bool operator==(const TFont& a, const TFont& b) {
    return a.FName == b.FName && a.FHeight == b.FHeight && a.FStyle == b.FStyle && a.FColor == b.FColor &&
           a.FCharset == b.FCharset && a.FPitch == b.FPitch;
  }

private:
  AnsiString FName = "MS Sans Serif";
  int FHeight = -11;
  TFontStyles FStyle = 0;
  TColor FColor = clWindowText;
  uint8_t FCharset = DEFAULT_CHARSET;
  TFontPitch FPitch = fpDefault;
  int FPixelsPerInch = ScreenPixelsPerInch;
};

class TPen : public TGraphicsObject {
public:
  void Assign(const TPersistent* source) override;
  AnsiString ClassName() const override { return "TPen"; }
  TColor Color() const { return FColor; }
  void SetColor(TColor v);
  int Width() const { return FWidth; }
  void SetWidth(int v);
  TPenStyle Style() const { return FStyle; }
  void SetStyle(TPenStyle v);
  TPenMode Mode() const { return FMode; }
  void SetMode(TPenMode v);
  TLogPen Handle() const;

private:
  TColor FColor = clBlack;
  int FWidth = 1;
  TPenStyle FStyle = psSolid;
  TPenMode FMode = pmCopy;
};

class TBitmap;

class TBrush : public TGraphicsObject {
public:
  TBrush();
  ~TBrush() override;
  void Assign(const TPersistent* source) override;
  AnsiString ClassName() const override { return "TBrush"; }
  TColor Color() const { return FColor; }
  void SetColor(TColor v);
  TBrushStyle Style() const { return FStyle; }
  void SetStyle(TBrushStyle v);
  // A pattern bitmap replaces colour and style while set; the brush keeps a copy.
  TBitmap* Bitmap() const { return FBitmap.get(); }
  void SetBitmap(const TBitmap* v);
  TLogBrush Handle() const;

private:
  TColor FColor = clWhite;
  TBrushStyle FStyle = bsSolid;
  std::unique_ptr<TBitmap> FBitmap;
};

class TGraphic;

// Draws with its pen, brush and font. A canvas without a device context of its own gets one from
// CreateHandle when drawing starts.
class TCanvas : public TPersistent {
public:
  TCanvas();
  ~TCanvas() override;
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;
  AnsiString ClassName() const override { return "TCanvas"; }

  TDeviceContext* Handle();
  // Draws on dc from now on (nullptr: none); the canvas does not own it.
  void SetHandle(TDeviceContext* dc);
  bool HandleAllocated() const { return FHandle != nullptr; }

  TFont& Font() { return FFont; }
  TPen& Pen() { return FPen; }
  TBrush& Brush() { return FBrush; }
  uint32_t CopyMode() const { return FCopyMode; }
  void SetCopyMode(uint32_t rop) { FCopyMode = rop; }
  TPoint PenPos();
  void SetPenPos(TPoint p) { MoveTo(p.X, p.Y); }
  TRect ClipRect();

  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Polyline(const std::vector<TPoint>& points);
  void Polygon(const std::vector<TPoint>& points);
  void Rectangle(int l, int t, int r, int b);
  void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
  // The ellipse inside the box, filled with the brush and outlined with the pen.
  void Ellipse(int l, int t, int r, int b);
  // Fills with the brush, without the pen.
  void FillRect(const TRect& r);
  // A one-pixel frame in the brush's colour.
  void FrameRect(const TRect& r);
  void DrawFocusRect(const TRect& r);
  TColor Pixel(int x, int y);
  void SetPixel(int x, int y, TColor c);

  void TextOut(int x, int y, const AnsiString& text);
  // Text at x,y clipped to r; the brush fills r first unless it is clear.
  void TextRect(const TRect& r, int x, int y, const AnsiString& text);
  // DrawText of the drawing layer with this canvas's font and colours; returns the height.
  int DrawText(const AnsiString& text, TRect& r, unsigned format);
  TSize TextExtent(const AnsiString& text);
  int TextWidth(const AnsiString& text) { return TextExtent(text).cx; }
  int TextHeight(const AnsiString& text) { return TextExtent(text).cy; }

  void Draw(int x, int y, TGraphic* graphic);
  void StretchDraw(const TRect& r, TGraphic* graphic);
  void CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect);

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

protected:
  // Gives the canvas a device context when it has none; the default has nothing to give.
  virtual void CreateHandle() {}
  virtual void FreeHandle() { FHandle = nullptr; }
  // Raises EInvalidOperation "Canvas does not allow drawing" when no context can be had.
  TDeviceContext& Need();
  void Changing();
  void Changed();

private:
  void SelectObjects(TDeviceContext& dc, bool forText);

  TDeviceContext* FHandle = nullptr;
  TFont FFont;
  TPen FPen;
  TBrush FBrush;
  uint32_t FCopyMode = SRCCOPY;
};

// Something that draws itself on a canvas: bitmaps here, others later.
class TGraphic : public TPersistent {
public:
  virtual bool Empty() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetWidth(int v) = 0;
  virtual void SetHeight(int v) = 0;
  virtual void LoadFromStream(TStream& stream) = 0;
  virtual void SaveToStream(TStream& stream) const = 0;
  void LoadFromFile(const AnsiString& fileName);
  void SaveToFile(const AnsiString& fileName) const;
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool v);
  bool Modified() const { return FModified; }
  void SetModified(bool v) { FModified = v; }
  TNotifyEvent OnChange;

protected:
  friend class TCanvas;
  virtual void Draw(TCanvas& canvas, const TRect& r) = 0;
  void Changed();

private:
  bool FTransparent = false;
  bool FModified = false;
};

class TBitmapCanvas;

class TBitmap : public TGraphic {
public:
  TBitmap();
  ~TBitmap() override;
  void Assign(const TPersistent* source) override;
  AnsiString ClassName() const override { return "TBitmap"; }

  bool Empty() const override { return FImage->Empty(); }
  int Width() const override { return FImage->Width(); }
  int Height() const override { return FImage->Height(); }
  void SetWidth(int v) override { SetSize(v, Height()); }
  void SetHeight(int v) override { SetSize(Width(), v); }
  void SetSize(int width, int height);
  bool Monochrome() const { return FImage->Monochrome(); }
  void SetMonochrome(bool v);
  // Raises EInvalidGraphic "Bitmap image is not valid" and keeps the old image for a bad file.
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) const override;
  // The colour drawn see-through: the bottom-left pixel unless one is set.
  TColor TransparentColor() const;
  void SetTransparentColor(TColor c);

  TCanvas& Canvas();
  const TGdiBitmapPtr& Image() const { return FImage; }
  // Takes a bitmap of the drawing layer as this image.
  void SetImage(TGdiBitmapPtr image);

protected:
  void Draw(TCanvas& canvas, const TRect& r) override;

private:
  TGdiBitmapPtr FImage = std::make_shared<TGdiBitmap>();
  std::unique_ptr<TBitmapCanvas> FCanvas;
  TColor FTransparentColor = clDefault;
};

// Holds one graphic of whichever kind was loaded.
class TPicture : public TPersistent {
public:
  TPicture();
  ~TPicture() override;
  void Assign(const TPersistent* source) override;
  AnsiString ClassName() const override { return "TPicture"; }

  TGraphic* Graphic() const { return FGraphic.get(); }
  // Keeps a copy of graphic (nullptr empties the picture).
  void SetGraphic(const TGraphic* graphic);
  // The bitmap, made (replacing any other graphic) when the picture holds none.
  TBitmap& Bitmap();
  int Width() const { return FGraphic ? FGraphic->Width() : 0; }
  int Height() const { return FGraphic ? FGraphic->Height() : 0; }
  // Chooses the graphic by extension; an unknown one raises EInvalidGraphic.
  void LoadFromFile(const AnsiString& fileName);
  void SaveToFile(const AnsiString& fileName) const;
  TNotifyEvent OnChange;

private:
  void Changed();
  std::unique_ptr<TGraphic> FGraphic;
};

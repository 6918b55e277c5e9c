// Drawing shared by the standard controls: button faces, check and radio glyphs, arrow buttons,
// embossed disabled text, text measures, and the geometry, hit test and look of a scroll bar.
#pragma once

#include <string_view>

#include "platform/gdi/DeviceContext.h"
#include "platform/classlib/Graphics.h"
#include "platform/win/WinTypes.h"

enum class TCheckGlyph { Unchecked, Checked, Grayed };
enum class TArrowDirection { Up, Down, Left, Right };

constexpr int CheckGlyphSize = 13;
constexpr int RadioGlyphSize = 12;

// A push button's face and frame in rect; a default button gets a black outer frame.
void PaintButtonFace(TDeviceContext& dc, const TRect& rect, bool pushed, bool isDefault);
void PaintCheckGlyph(TDeviceContext& dc, int x, int y, TCheckGlyph state, bool enabled, bool pushed);
void PaintRadioGlyph(TDeviceContext& dc, int x, int y, bool checked, bool enabled, bool pushed);
// A raised button with a small triangle, as on scroll bars and drop-down lists.
void PaintArrowButton(TDeviceContext& dc, const TRect& rect, TArrowDirection dir, bool pushed, bool enabled);
// Text through DrawText; disabled text is embossed: highlight one pixel down-right, grey on top.
void PaintControlText(TDeviceContext& dc, std::string_view text, TRect rect, unsigned format, bool enabled,
                      TColorRef color);

enum class TScrollBarKind { Horizontal, Vertical };
enum class TScrollPart { None, LineUp, PageUp, Thumb, PageDown, LineDown };

// Where the parts of a scroll bar lie for a range, page and position; positions run from Min to
// Max - Page + 1 (Page 0 counts as 1).
struct TScrollBarGeometry {
  TScrollBarKind Kind = TScrollBarKind::Vertical;
  TRect Bounds;
  int Min = 0;
  int Max = 100;
  int Page = 0;
  int Position = 0;

  int MaxPosition() const;
  bool Scrollable() const { return MaxPosition() > Min; }
  TRect ArrowRect(bool first) const;
  TRect TrackRect() const;
  TRect ThumbRect() const;  // empty when the track has no room for a thumb or nothing scrolls
  TScrollPart HitTest(TPoint p) const;
  // The position whose thumb starts at the given offset along the track.
  int PositionAtThumbOffset(int offset) const;
  int ThumbOffset() const;  // thumb start along the track, from the track's start

private:
  int TrackLength() const;
  int ThumbLength() const;
};

void PaintScrollBar(TDeviceContext& dc, const TScrollBarGeometry& g, TScrollPart pressed, bool enabled);

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// Width in pixels of each character of a font in the code page, for the editors' layout.
class TCharWidths {
public:
  void Update(const TLogFont& font);
  int Width(char c) const { return FWidths[static_cast<unsigned char>(c)]; }
  int LineHeight() const { return FLineHeight; }
  int AveCharWidth() const { return FAveCharWidth; }

private:
  int FWidths[256] = {};
  int FLineHeight = 13;
  int FAveCharWidth = 5;
};

// The extent of a text drawn with DrawText in a font: wrapped to width when wordWrap.
TSize MeasureControlText(const TLogFont& font, const AnsiString& text, unsigned format, int width);

// A rectangle filled on a canvas in a colour, and text drawn without filling behind it (embossed
// when disabled).
void FillCanvasRect(TCanvas& canvas, const TRect& r, TColor c);
void DrawCanvasText(TCanvas& canvas, const AnsiString& text, TRect r, unsigned format, bool enabled, TColor color);
// What a press on a scroll-bar part moves a position by.
int ScrollStep(TScrollPart part, int small, int large);
// A point's distance along a scroll bar's track from the track's start.
int OffsetAlongBar(const TScrollBarGeometry& g, int x, int y);

// Repeats a held press on a scroll-bar arrow or track: first after a pause, then at a steady rate,
// through a timer on the control's window.
class TPressRepeat {
public:
  static constexpr uintptr_t TimerId = 0x5C01;
  static constexpr uint32_t FirstDelayMs = 400;
  static constexpr uint32_t RepeatMs = 100;
  void Start(HWND hwnd);
  void Stop();
  // Whether a message is this repeat's timer tick; the first tick switches to the steady rate.
  bool IsTick(UINT msg, WPARAM wp);

private:
  HWND FWnd = 0;
  bool FSteady = false;
};

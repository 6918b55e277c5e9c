// Glyphs of the toolbar buttons: one image per button state built on demand from a glyph strip (with
// an optional mask) or an image list, kept in image lists shared by size between all buttons, and
// drawn with the caption and dropdown arrow in the layout a button asks for.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "platform/classlib/Buttons.h"
#include "platform/classlib/ControlPaint.h"
#include "platform/classlib/CustomImageList.h"
#include "platform/classlib/Graphics.h"
#include "platform/gdi/ImageList.h"

// The five looks of a button, in the order of the images in a glyph strip.
enum TtbButtonState { tbsUp, tbsDisabled, tbsDown, tbsExclusive, tbsHot };

// An image list whose slots are reused: a freed image stays and its slot is handed out again.
class TtbGlyphList : public TImageList {
public:
  TtbGlyphList(int width, int height) : TImageList(width, height) {}
  int AllocateIndex();
  // Both raise EInvalidOperation when the image cannot be stored.
  int AddWithMask(const TGdiBitmap& image, const TGdiBitmap& mask);
  int AddWithColor(const TGdiBitmap& image, TColorRef maskColor);
  void FreeIndex(int index);
  int InUse() const { return FCount; }

private:
  std::vector<bool> FUsed;
  int FCount = 0;
};

// The shared glyph lists, one per image size.
class TtbGlyphCache {
public:
  TtbGlyphList* GetList(int width, int height);
  // Frees a list that holds no image any more.
  void ReturnList(TtbGlyphList* list);
  bool Empty() const { return FLists.empty(); }
  int Count() const { return static_cast<int>(FLists.size()); }

private:
  std::vector<std::unique_ptr<TtbGlyphList>> FLists;
};

// The process's cache; nullptr once the last glyph holder went with no list left.
TtbGlyphCache* GlyphCache();

// Where glyph, caption and arrow go in a button's rectangle.
struct TtbGlyphPlacement {
  TPoint Glyph;
  TRect Text;
  TPoint Arrow;
};
struct TtbGlyphLayoutInput {
  TRect Client;
  TPoint Offset;  // (1, 1) while sunken
  TSize GlyphSize;   // 0 x 0 when no glyph is drawn
  bool HasCaption = false;
  bool WordWrap = false;
  TButtonLayout Layout = blGlyphLeft;
  int Margin = -1;
  int Spacing = 4;
  int ArrowWidth = 0;  // 0 without the arrow
  // Measures the caption within a width limit.
  std::function<TSize(int limit)> MeasureText;
};
TtbGlyphPlacement CalcButtonLayout(const TtbGlyphLayoutInput& in);

// Draws the dropdown arrow of width aw at (x, y) in colour, embossed when disabled.
void DrawDropdownArrow(TCanvas& canvas, int x, int y, int aw, bool enabled, TColor color);

class TtbTBButtonGlyph {
public:
  TtbTBButtonGlyph();
  ~TtbTBButtonGlyph();
  TtbTBButtonGlyph(const TtbTBButtonGlyph&) = delete;
  TtbTBButtonGlyph& operator=(const TtbTBButtonGlyph&) = delete;

  TBitmap& Glyph() { return *FOriginal; }
  void SetGlyph(const TBitmap* value);
  TBitmap& GlyphMask() { return *FOriginalMask; }
  void SetGlyphMask(const TBitmap* value);
  TCustomImageList* ImageList() const { return FImageList; }
  void SetImageList(TCustomImageList* value);
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int value);
  int NumGlyphs() const { return FNumGlyphs; }
  void SetNumGlyphs(int value);
  bool OldDisabledStyle() const { return FOldDisabledStyle; }
  void SetOldDisabledStyle(bool value);
  TColorRef TransparentColor() const { return FTransparentColor; }

  // Forgets every built image; the lists get their slots back.
  void DropImages();
  struct TGlyphRef {
    TtbGlyphList* List = nullptr;
    int Index = -1;
  };
  TGlyphRef CreateButtonGlyph(TtbButtonState state);
  void DrawButtonGlyph(TDeviceContext& dc, TPoint p, TtbButtonState state);
  // Lays out and draws glyph, caption and arrow in client; returns the caption's rectangle.
  TRect Draw(TCanvas& canvas, const TRect& client, TPoint offset, const AnsiString& caption, bool wordWrap,
             TAlignment alignment, TButtonLayout layout, int margin, int spacing, bool dropArrow,
             int dropArrowWidth, TtbButtonState state, bool drawCaption, bool drawGlyph);
  TSize GlyphSize() const;

  std::function<void()> OnChange;

private:
  void changed(bool stripChanged);
  TGdiBitmap sourceImage(int index, int w, int h) const;
  TGdiBitmap sourceMask(int index, int w, int h) const;
  bool hasMask() const;
  void disabledFromOwnImage(int w, int h);
  void disabledFromUpImage(int w, int h);

  std::unique_ptr<TBitmap> FOriginal = std::make_unique<TBitmap>();
  std::unique_ptr<TBitmap> FOriginalMask = std::make_unique<TBitmap>();
  TCustomImageList* FImageList = nullptr;
  std::unique_ptr<TChangeLink> FImageChangeLink;
  int FImageIndex = -1;
  int FNumGlyphs = 1;
  TColorRef FTransparentColor = clBlack;
  bool FOldDisabledStyle = false;
  TtbGlyphList* FGlyphList[2] = {nullptr, nullptr};  // 0: the other states, 1: disabled
  std::array<int, 5> FIndexs[2];
  bool FInDropImages = false;
};

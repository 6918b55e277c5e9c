// The windowless background picture of every form: one picture drawn centred, clipped, fitted,
// stretched to the height, the width or the whole control, or tiled.
#pragma once

#include <vector>

#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/GdiTypes.h"
#include "platform/classlib/Controls.h"

enum TtbTiledImageStyle { sCenter, sClip, sFit, sHeight, sStretch, sTile, sWidth };

// Where the whole picture is drawn for a control of clientW x clientH, one rectangle per copy.
// A picture or a control without area gives none, so no style ever divides by zero.
std::vector<TRect> TiledImageRects(TtbTiledImageStyle style, int clientW, int clientH, int picW, int picH);

// Draws the picture into dc at the rectangles above; the control's top-left is dc's (0, 0).
void DrawTiledImage(TDeviceContext& dc, const TGdiBitmapPtr& picture, TtbTiledImageStyle style, int clientW,
                    int clientH);

// The control: a picture it owns, drawn in one style; opaque only over a bitmap of its own size.
class TtbCustomTiledImage : public TGraphicControl {
public:
  explicit TtbCustomTiledImage(TComponent* AOwner);
  ~TtbCustomTiledImage() override;
  AnsiString ClassName() const override { return "TtbCustomTiledImage"; }

  TPicture& Picture() { return *FPicture; }
  // Copies value into the owned picture.
  void SetPicture(const TPicture* value) { FPicture->Assign(value); }
  TtbTiledImageStyle ImageStyle() const { return FImageStyle; }
  void SetImageStyle(TtbTiledImageStyle value);
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool value);
  // The palette of a bitmap picture; nullptr for anything else.
  const std::vector<TColorRef>* GetPalette() const;

protected:
  void Paint() override;
  // Invalidates unless the control is being loaded.
  virtual void RepaintRequest();

private:
  void PictureChanged(TObject* Sender);

  std::unique_ptr<TPicture> FPicture = std::make_unique<TPicture>();
  TtbTiledImageStyle FImageStyle = sTile;
  bool FAutoSize = false;
};

class TtbTiledImage final : public TtbCustomTiledImage {
public:
  using TtbCustomTiledImage::TtbCustomTiledImage;
  AnsiString ClassName() const override { return "TtbTiledImage"; }
};

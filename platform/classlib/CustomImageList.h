// An image list as a component that controls can point at: images of one size with their masks, and
// change links that tell the controls when the images change.
#pragma once

#include <memory>
#include <vector>

#include "platform/classlib/Classes.h"
#include "platform/classlib/Graphics.h"
#include "platform/gdi/ImageList.h"

class TCustomImageList;

// A client's link to an image list; unregisters itself when freed.
class TChangeLink {
public:
  TChangeLink() = default;
  ~TChangeLink();
  TChangeLink(const TChangeLink&) = delete;
  TChangeLink& operator=(const TChangeLink&) = delete;
  TCustomImageList* Sender() const { return FSender; }
  void Change() {
    if (OnChange) OnChange(nullptr);
  }
  TNotifyEvent OnChange;

private:
  friend class TCustomImageList;
  TCustomImageList* FSender = nullptr;
};

class TCustomImageList : public TComponent {
public:
  explicit TCustomImageList(TComponent* owner, int width = 16, int height = 16);
  ~TCustomImageList() override;
  AnsiString ClassName() const override { return "TCustomImageList"; }

  int Width() const { return FImages.Width(); }
  int Height() const { return FImages.Height(); }
  int Count() const { return FImages.Count(); }
  // The mask's white pixels are transparent; returns the first index added, -1 for none.
  int Add(const TBitmap* image, const TBitmap* mask);
  int AddMasked(const TBitmap* image, TColor maskColor);
  void Clear();
  const TGdiBitmap& Image(int index) const { return FImages.Image(index); }
  const TGdiBitmap& Mask(int index) const { return FImages.Mask(index); }
  // Draws image index transparently at x, y.
  void Draw(TDeviceContext& dc, int x, int y, int index) const;

  void RegisterChanges(TChangeLink* link);
  void UnRegisterChanges(TChangeLink* link);
  TNotifyEvent OnChange;

protected:
  void Change();

private:
  TImageList FImages;
  std::vector<TChangeLink*> FClients;
};

#include "platform/classlib/CustomImageList.h"

#include <algorithm>

TChangeLink::~TChangeLink() {
  if (FSender) FSender->UnRegisterChanges(this);
}

TCustomImageList::TCustomImageList(TComponent* owner, int width, int height)
    : TComponent(owner), FImages(width, height) {}

TCustomImageList::~TCustomImageList() {
  for (TChangeLink* l : FClients) l->FSender = nullptr;
}

int TCustomImageList::Add(const TBitmap* image, const TBitmap* mask) {
  if (!image) return -1;
  int r = FImages.Add(*image->Image(), mask ? mask->Image().get() : nullptr);
  Change();
  return r;
}

int TCustomImageList::AddMasked(const TBitmap* image, TColor maskColor) {
  if (!image) return -1;
  int r = FImages.AddMasked(*image->Image(), maskColor == clDefault ? image->TransparentColor() : maskColor);
  Change();
  return r;
}

void TCustomImageList::Clear() {
  FImages.Clear();
  Change();
}

void TCustomImageList::Draw(TDeviceContext& dc, int x, int y, int index) const {
  if (index >= 0 && index < Count()) FImages.Draw(dc, index, x, y, ILD_TRANSPARENT);
}

void TCustomImageList::RegisterChanges(TChangeLink* link) {
  if (link->FSender && link->FSender != this) link->FSender->UnRegisterChanges(link);
  link->FSender = this;
  if (std::find(FClients.begin(), FClients.end(), link) == FClients.end()) FClients.push_back(link);
}

void TCustomImageList::UnRegisterChanges(TChangeLink* link) {
  FClients.erase(std::remove(FClients.begin(), FClients.end(), link), FClients.end());
  if (link->FSender == this) link->FSender = nullptr;
}

void TCustomImageList::Change() {
  std::vector<TChangeLink*> clients = FClients;
  for (TChangeLink* l : clients)
    if (std::find(FClients.begin(), FClients.end(), l) != FClients.end()) l->Change();
  if (OnChange) OnChange(this);
}

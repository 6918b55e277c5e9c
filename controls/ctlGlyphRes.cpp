#include "controls/ctlGlyphRes.h"

#include "controls/ctlHelpers.h"

namespace {

std::unique_ptr<TGlyphResourceManager>& Global() {
  static std::unique_ptr<TGlyphResourceManager> manager;
  return manager;
}

}  // namespace

TGlyphResourceManager::TGlyphResourceManager() { Acquire("CTLTCCHECKGLYPHS"); }

TGlyphResourceManager::~TGlyphResourceManager() {
  // Unlinked one by one: a long chain must not recurse through the destructors.
  while (FFirst) FFirst = std::move(FFirst->Next);
}

TGlyphResourceManager::TGlyphRec* TGlyphResourceManager::find(const AnsiString& name) const {
  for (TGlyphRec* r = FFirst.get(); r; r = r->Next.get())
    if (SameText(r->Name, name)) return r;
  return nullptr;
}

int TGlyphResourceManager::Count() const {
  int n = 0;
  for (TGlyphRec* r = FFirst.get(); r; r = r->Next.get()) ++n;
  return n;
}

const TGdiBitmap* TGlyphResourceManager::Acquire(const AnsiString& Name) {
  if (TGlyphRec* r = find(Name)) {
    ++r->RefCount;
    return &r->Bitmap;
  }
  auto rec = std::make_unique<TGlyphRec>();
  try {
    rec->Bitmap = LoadBitmapFromLibrary(Name);
  } catch (const Exception&) {
    return nullptr;
  }
  rec->Name = Name;
  rec->Next = std::move(FFirst);
  FFirst = std::move(rec);
  return &FFirst->Bitmap;
}

void TGlyphResourceManager::Release(const AnsiString& Name) {
  for (std::unique_ptr<TGlyphRec>* link = &FFirst; *link; link = &(*link)->Next) {
    if (!SameText((*link)->Name, Name)) continue;
    if (--(*link)->RefCount == 0) *link = std::move((*link)->Next);
    return;
  }
}

int TGlyphResourceManager::RefCount(const AnsiString& Name) const {
  const TGlyphRec* r = find(Name);
  return r ? r->RefCount : 0;
}

TGlyphResourceManager& CtlGlyphResources() {
  if (!Global()) CtlGlyphResourcesStartup();
  return *Global();
}

void CtlGlyphResourcesStartup() {
  if (!Global()) Global() = std::make_unique<TGlyphResourceManager>();
}

void CtlGlyphResourcesShutdown() { Global().reset(); }

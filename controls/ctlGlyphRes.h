// The holder of the library's shared glyph bitmaps, counted by their users.
#pragma once

#include <memory>

#include "platform/gdi/Bitmap.h"
#include "platform/rtl/AnsiString.h"

class TGlyphResourceManager {
public:
  // Starts with the check-box glyphs "CTLTCCHECKGLYPHS".
  TGlyphResourceManager();
  TGlyphResourceManager(const TGlyphResourceManager&) = delete;
  TGlyphResourceManager& operator=(const TGlyphResourceManager&) = delete;
  ~TGlyphResourceManager();

  int Count() const;
  // The bitmap of a resource, loaded once and counted on each further request; nullptr when absent.
  const TGdiBitmap* Acquire(const AnsiString& Name);
  // Drops one count; the bitmap goes with its last.
  void Release(const AnsiString& Name);
  int RefCount(const AnsiString& Name) const;

private:
  struct TGlyphRec {
    AnsiString Name;
    TGdiBitmap Bitmap;
    int RefCount = 1;
    std::unique_ptr<TGlyphRec> Next;
  };
  TGlyphRec* find(const AnsiString& name) const;

  std::unique_ptr<TGlyphRec> FFirst;
};

TGlyphResourceManager& CtlGlyphResources();
void CtlGlyphResourcesStartup();
void CtlGlyphResourcesShutdown();

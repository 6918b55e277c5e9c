#include "tables/XBE7.h"

#include <memory>

#define XBE_ENTRY(kind, result, name, params) result(*name) params = nullptr;
XBE_ENTRIES
#undef XBE_ENTRY
TXbSkipRecordFunc xb_SkipRecord = nullptr;
const uint64_t* XbeTouches = nullptr;

namespace {

bool ReadyFlag = false;

void ClearEntries() {
#define XBE_ENTRY(kind, result, name, params) name = nullptr;
  XBE_ENTRIES
#undef XBE_ENTRY
  xb_SkipRecord = nullptr;
  XbeTouches = nullptr;
}

// Binds every entry in order; false at the first one missing.
bool BindEntries(HMODULE module) {
#define XBE_ENTRY(kind, result, name, params)                                  \
  name = reinterpret_cast<result(*) params>(GetProcAddress(module, #name)); \
  if (!name) return false;
  XBE_ENTRIES
#undef XBE_ENTRY
  xb_SkipRecord = reinterpret_cast<TXbSkipRecordFunc>(GetProcAddress(module, xbSkipRecordEntry));
  if (auto touches = reinterpret_cast<TXbTouchesFunc>(GetProcAddress(module, xbTouchesEntry))) XbeTouches = touches();
  return true;
}

}  // namespace

TXBEEngine::~TXBEEngine() {
  if (FLoaded) Unload();
}

bool TXBEEngine::Load() {
  if (FLoaded) return true;
  uint32_t previousMode = SetErrorMode(SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibrary(XbeLibraryName);
  if (module >= 32) {
    if (BindEntries(module)) {
      FHandle = module;
      FLoaded = true;
      xb_SetStringType(1);
    } else {
      // Half-bound entries would point into a library about to be freed.
      ClearEntries();
      FreeLibrary(module);
    }
  }
  SetErrorMode(previousMode);
  return FLoaded;
}

void TXBEEngine::Unload() {
  if (FLoaded) {
    try {
      FreeLibrary(FHandle);
    } catch (...) {
    }
  }
  ClearEntries();
  ReadyFlag = false;
  FHandle = 0;
  FLoaded = false;
}

TXBEEngine& XBEEngine() {
  static std::unique_ptr<TXBEEngine> engine = std::make_unique<TXBEEngine>();
  return *engine;
}

void EnsureTableEngine() {
  if (ReadyFlag) return;
  ReadyFlag = XBEEngine().Load();
}

bool TableEngineReady() { return ReadyFlag; }

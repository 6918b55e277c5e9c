// Binding of the table engine "XBE7.DLL": one procedure variable per entry point, filled by
// one load of the library, and the single door through which the table layer makes sure that
// the engine is there before its first call.
#pragma once

#include "platform/classlib/Classes.h"
#include "platform/engines/Modules.h"
#include "platform/engines/XbeEntries.h"
#include "tables/XbError.h"

constexpr const char* XbeLibraryName = "XBE7.DLL";

#define XBE_ENTRY(kind, result, name, params) extern result(*name) params;
XBE_ENTRIES
#undef XBE_ENTRY
// Bound beside the list when the library has it; nullptr otherwise.
extern TXbSkipRecordFunc xb_SkipRecord;
// The engine's count of work-area operations, when the library has it; nullptr otherwise.
extern const uint64_t* XbeTouches;

class TXBEEngine : public TObject {
public:
  TXBEEngine() = default;
  ~TXBEEngine() override;
  TXBEEngine(const TXBEEngine&) = delete;
  TXBEEngine& operator=(const TXBEEngine&) = delete;

  // True when the engine is loaded. A missing library or entry leaves nothing bound and the
  // library freed; no message is shown and nothing is raised.
  bool Load();
  // Frees the library and clears every entry and the ready flag.
  void Unload();
  bool Loaded() const { return FLoaded; }
  HMODULE Handle() const { return FHandle; }

private:
  bool FLoaded = false;
  HMODULE FHandle = 0;
};

// The process's one loader, freed when the process ends.
TXBEEngine& XBEEngine();

// Loads the engine on first need; a failed load is tried again on the next call.
void EnsureTableEngine();
bool TableEngineReady();

// The bound entry, or EXbError naming the library while the engine is not loaded.
template <class F>
F XbeEntry(F entry) {
  if (!entry) throw EXbError("The table engine %s is not loaded", {XbeLibraryName});
  return entry;
}

// Swaps the bound settings entries for recorders, so that tests see what reaches the engine.
#pragma once

#include <string>
#include <vector>

#include "tables/XBE7.h"

struct TEngineRecorder {
  static std::vector<std::string>& Log() {
    static std::vector<std::string> log;
    return log;
  }
  static void Note(const char* name, int32_t value) { Log().push_back(std::string(name) + "(" + std::to_string(value) + ")"); }

  // Loads the real engine first; the destructor unloads it, which clears the recorders too.
  TEngineRecorder() {
    EnsureTableEngine();
    Log().clear();
    xb_SetDeleted = [](int32_t v) { Note("SetDeleted", v); };
    xb_SetExact = [](int32_t v) { Note("SetExact", v); };
    xb_SetSoftSeek = [](int32_t v) { Note("SetSoftSeek", v); };
    xb_SetCentury = [](int32_t v) { Note("SetCentury", v); };
    xb_SetDateFormat = [](int32_t v) { Note("SetDateFormat", v); };
    xb_SetEpoch = [](int32_t v) { Note("SetEpoch", v); };
    xb_SetMemoBlockSize = [](int32_t v) { Note("SetMemoBlockSize", v); };
    xb_SetLockTimeout = [](int32_t v) { Note("SetLockTimeout", v); };
    xb_SetStringType = [](int32_t v) { Note("SetStringType", v); };
    xb_SysProp = [](int32_t p, int32_t v) {
      Note(("SysProp" + std::to_string(p)).c_str(), v);
      return int32_t(1);
    };
  }
  ~TEngineRecorder() { XBEEngine().Unload(); }
};

// Fuzz target for the settings file: the main window loads its code lists and password from any
// bytes, saves them, and loading what it saved gives the same again.
#include "framework/base/uStringUtils.h"
#include "fuzz/FuzzSupport.h"

namespace {

struct TLoaded {
  AnsiString Agents, Airlines, Password;
  bool operator==(const TLoaded&) const = default;
};

TLoaded Load(TfrmQuorvex& w) {
  w.LoadSettings();
  return {JoinLines(w.memAgtns->Lines(), ";"), JoinLines(w.memTacns->Lines(), ";"), w.edtZipPassword->AsString()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TfrmQuorvex& w = FuzzMainWindow("fuzz_settings_file");
  const AnsiString ini = w.iniForm->StoragePath();
  if (!WriteFuzzInput(ini, data, size)) return 0;
  Load(w);
  w.SaveSettings();
  const TLoaded first = Load(w);
  w.SaveSettings();
  if (!(Load(w) == first)) __builtin_trap();
  ClearCollectedMessages();
  return 0;
}

// Fuzz target for the settings file: the main window loads its code lists and password from any
// bytes, saves them, and loading what it saved gives the same again.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>

#include "app/ProgramSteps.h"
#include "core/fQuorvex.h"
#include "framework/base/uMessageDialog.h"
#include "framework/base/uStringUtils.h"
#include "platform/classlib/Forms.h"
#include "platform/rtl/Files.h"

namespace {

TfrmQuorvex& MainWindow() {
  static TfrmQuorvex* form = [] {
    char tmpl[] = "/tmp/fuzz_settings_file_XXXXXX";
    SetExeNameForTesting(AnsiString(mkdtemp(tmpl)) + "/quorvex");
    static TModuleSteps steps;
    AddProgramSteps(steps);
    steps.Startup();
    SetCollectMessages(true);
    Application().SetExceptionDisplay([](const AnsiString&, const AnsiString&) {});
    TfrmQuorvex* f = nullptr;
    Application().CreateForm(f);
    // The window lives as long as the run: the process ends without taking it down, since the
    // window system's statics it would reach may be gone by then.
    std::atexit([] { std::_Exit(0); });
    return f;
  }();
  return *form;
}

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
  TfrmQuorvex& w = MainWindow();
  const AnsiString ini = w.iniForm->StoragePath();
  {
    FILE* f = std::fopen(ini.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  Load(w);
  w.SaveSettings();
  const TLoaded first = Load(w);
  w.SaveSettings();
  if (!(Load(w) == first)) __builtin_trap();
  ClearCollectedMessages();
  return 0;
}

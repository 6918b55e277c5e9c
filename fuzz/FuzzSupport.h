// What the fuzz targets share: the main window started as the program starts it, the input put
// into a file, and the check of a built code list.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/ProgramSteps.h"
#include "core/fQuorvex.h"
#include "framework/base/uMessageDialog.h"
#include "platform/classlib/Forms.h"
#include "platform/rtl/Files.h"

// The one main window of the run, made on the first call in a fresh folder named after Target;
// Prepare runs once the program's start-up steps are done, before the window is made.
inline TfrmQuorvex& FuzzMainWindow(const char* target, void (*prepare)() = nullptr) {
  static TfrmQuorvex* form = [&] {
    std::string tmpl = std::string("/tmp/") + target + "_XXXXXX";
    SetExeNameForTesting(AnsiString(mkdtemp(tmpl.data())) + "/quorvex");
    static TModuleSteps steps;
    AddProgramSteps(steps);
    steps.Startup();
    SetCollectMessages(true);
    Application().SetExceptionDisplay([](const AnsiString&, const AnsiString&) {});
    if (prepare) prepare();
    TfrmQuorvex* f = nullptr;
    Application().CreateForm(f);
    // The window lives as long as the run: the process ends without taking it down, since the
    // window system's statics it would reach may be gone by then.
    std::atexit([] { std::_Exit(0); });
    return f;
  }();
  return *form;
}

// Writes the bytes as the whole file; false when it cannot be made.
inline bool WriteFuzzInput(const std::string& path, const void* data, std::size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  return true;
}

// Every entry of a built list is exactly Width digits, and they are joined with "|".
inline void CheckCodeList(const AnsiString& list, std::size_t width) {
  for (std::size_t at = 0; at < list.size(); at += width + 1) {
    if (at + width > list.size()) __builtin_trap();
    for (std::size_t i = at; i < at + width; ++i)
      if (list[i] < '0' || list[i] > '9') __builtin_trap();
    if (at + width < list.size() && list[at + width] != '|') __builtin_trap();
  }
}

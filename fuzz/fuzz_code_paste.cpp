// Fuzz target for text pasted into the main window: the bytes arrive as a UTF-8 CLIPBOARD selection,
// go through the clipboard's conversion into the two code memos and the password field, and the
// code lists are built from the memos as a split builds them.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "app/ProgramSteps.h"
#include "core/fQuorvex.h"
#include "framework/base/uMessageDialog.h"
#include "platform/classlib/Forms.h"
#include "platform/rtl/Files.h"
#include "platform/win/Clipboard.h"
#include "platform/win/X11Backend.h"

namespace {

std::optional<AnsiString>& Held() {
  static std::optional<AnsiString> text;
  return text;
}

TfrmQuorvex& MainWindow() {
  static TfrmQuorvex* form = [] {
    char tmpl[] = "/tmp/fuzz_code_paste_XXXXXX";
    SetExeNameForTesting(AnsiString(mkdtemp(tmpl)) + "/quorvex");
    static TModuleSteps steps;
    AddProgramSteps(steps);
    steps.Startup();
    SetCollectMessages(true);
    Application().SetExceptionDisplay([](const AnsiString&, const AnsiString&) {});
    SetClipboardStore({[](const std::optional<AnsiString>& t) { Held() = t; }, [] { return Held(); }});
    TfrmQuorvex* f = nullptr;
    Application().CreateForm(f);
    // The window lives as long as the run: the process ends without taking it down, since the
    // window system's statics it would reach may be gone by then.
    std::atexit([] { std::_Exit(0); });
    return f;
  }();
  return *form;
}

void CheckList(const AnsiString& list, std::size_t width) {
  for (std::size_t at = 0; at < list.size(); at += width + 1) {
    if (at + width > list.size()) __builtin_trap();
    for (std::size_t i = at; i < at + width; ++i)
      if (list[i] < '0' || list[i] > '9') __builtin_trap();
    if (at + width < list.size() && list[at + width] != '|') __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TfrmQuorvex& w = MainWindow();
  Held() = ClipboardTextFromX(std::string(reinterpret_cast<const char*>(data), size), true);
  for (TQslMemo* memo : {w.memTacns, w.memAgtns}) {
    memo->Lines().Clear();
    memo->PasteFromClipboard();
  }
  CheckList(TSplitRequest::BuildCodeList(&w.memTacns->Lines(), ValidAirlineCode, 3), 3);
  CheckList(TSplitRequest::BuildCodeList(&w.memAgtns->Lines(), ValidAgentCode, 7), 7);
  w.edtZipPassword->SetAsString("");
  w.edtZipPassword->PasteFromClipboard();
  if (w.edtZipPassword->AsString().size() > std::size_t(ZipPasswordLength)) __builtin_trap();
  ClearCollectedMessages();
  return 0;
}

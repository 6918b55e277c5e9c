// Fuzz target for text pasted into the main window: the bytes arrive as a UTF-8 CLIPBOARD selection,
// go through the clipboard's conversion into the two code memos and the password field, and the
// code lists are built from the memos as a split builds them.
#include <optional>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "platform/win/Clipboard.h"
#include "platform/win/X11Backend.h"

namespace {

std::optional<AnsiString>& Held() {
  static std::optional<AnsiString> text;
  return text;
}

TfrmQuorvex& MainWindow() {
  return FuzzMainWindow("fuzz_code_paste", [] {
    SetClipboardStore({[](const std::optional<AnsiString>& t) { Held() = t; }, [] { return Held(); }});
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TfrmQuorvex& w = MainWindow();
  Held() = ClipboardTextFromX(std::string(reinterpret_cast<const char*>(data), size), true);
  for (TQslMemo* memo : {w.memTacns, w.memAgtns}) {
    memo->Lines().Clear();
    memo->PasteFromClipboard();
  }
  CheckCodeList(TSplitRequest::BuildCodeList(&w.memTacns->Lines(), ValidAirlineCode, 3), 3);
  CheckCodeList(TSplitRequest::BuildCodeList(&w.memAgtns->Lines(), ValidAgentCode, 7), 7);
  w.edtZipPassword->SetAsString("");
  w.edtZipPassword->PasteFromClipboard();
  if (w.edtZipPassword->AsString().size() > std::size_t(ZipPasswordLength)) __builtin_trap();
  ClearCollectedMessages();
  return 0;
}

#include "controls/ctlMsgBox.h"

#include <cstdio>

#include "platform/rtl/Files.h"

namespace {

TCtlMessageBoxFunc& Box() {
  static TCtlMessageBoxFunc box;
  return box;
}

}  // namespace

int CtlMessageBox(const AnsiString& Text, uint32_t Flags, int HelpContext) {
  if (Box()) return Box()(Text, Flags, HelpContext);
  std::fprintf(stderr, "%s: %s\n", ChangeFileExt(ExtractFileName(ParamStr(0)), "").c_str(), Text.c_str());
  return IDOK;
}

void SetCtlMessageBox(TCtlMessageBoxFunc Box_) { Box() = std::move(Box_); }

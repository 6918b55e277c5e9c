#include "controls/ctlFixedFont.h"

#include <algorithm>
#include <memory>

#include "platform/gdi/Fonts.h"

namespace {

std::unique_ptr<std::vector<AnsiString>>& Global() {
  static std::unique_ptr<std::vector<AnsiString>> list;
  return list;
}

}  // namespace

std::vector<AnsiString> MakeFixedPitchList(std::vector<AnsiString> Families) {
  if (Families.empty()) Families.push_back(ctlDefaultFixedFace);
  return Families;
}

void CtlFixedPitchFontsStartup() {
  if (!Global()) Global() = std::make_unique<std::vector<AnsiString>>(MakeFixedPitchList(GetFixedPitchFaces()));
}

void CtlFixedPitchFontsShutdown() { Global().reset(); }

const std::vector<AnsiString>& CtlFixedPitchFonts() {
  CtlFixedPitchFontsStartup();
  return *Global();
}

bool IsFixedPitchFont(const AnsiString& Name) {
  const auto& list = CtlFixedPitchFonts();
  return std::find(list.begin(), list.end(), Name) != list.end();
}

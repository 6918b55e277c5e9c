#include "controls/ctlFixedFont.h"

#include <algorithm>
#include <memory>

#include "controls/ctlExcept.h"
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

TCtlFixedFont::TCtlFixedFont() { FFont.SetName(CtlFixedPitchFonts().front()); }

void TCtlFixedFont::changed() {
  if (OnChange) OnChange(this);
}

void TCtlFixedFont::SetName(const AnsiString& Value) {
  if (Value == FFont.Name() || !IsFixedPitchFont(Value)) return;
  FFont.SetName(Value);
  changed();
}

void TCtlFixedFont::SetColor(TColor Value) {
  if (Value == FFont.Color()) return;
  FFont.SetColor(Value);
  changed();
}

void TCtlFixedFont::SetSize(int Value) {
  if (Value == FFont.Size()) return;
  FFont.SetSize(Value);
  changed();
}

void TCtlFixedFont::SetStyle(TFontStyles Value) {
  if (Value == FFont.Style()) return;
  FFont.SetStyle(Value);
  changed();
}

void TCtlFixedFont::Assign(const TPersistent* Source) {
  const AnsiString name = FFont.Name();
  if (auto* fixed = dynamic_cast<const TCtlFixedFont*>(Source)) {
    FFont.Assign(&fixed->FFont);
  } else if (auto* font = dynamic_cast<const TFont*>(Source)) {
    if (!IsFixedPitchFont(font->Name())) throw EInvalidFixedFont();
    FFont.Assign(font);
  } else {
    TPersistent::Assign(Source);
    return;
  }
  if (!IsFixedPitchFont(FFont.Name())) FFont.SetName(name);
  changed();
}

// The fixed-pitch font families of the system, and the font of the viewer that takes only those.
#pragma once

#include <functional>
#include <vector>

#include "platform/rtl/AnsiString.h"
#include "platform/classlib/Graphics.h"

// Taken when the system reports no fixed-pitch family, so that a fixed font always has a name.
constexpr const char* ctlDefaultFixedFace = "Courier New";

// The families, in the order the system lists them; filled once.
const std::vector<AnsiString>& CtlFixedPitchFonts();
bool IsFixedPitchFont(const AnsiString& Name);  // exact match
void CtlFixedPitchFontsStartup();
void CtlFixedPitchFontsShutdown();
// Builds the list from the given families, the default face when there are none.
std::vector<AnsiString> MakeFixedPitchList(std::vector<AnsiString> Families);

// A font that only takes fixed-pitch families; each effective change is reported through OnChange.
class TCtlFixedFont : public TPersistent {
public:
  // Named after the first family of the fixed-pitch list.
  TCtlFixedFont();

  const TFont& Font() const { return FFont; }
  const AnsiString& Name() const { return FFont.Name(); }
  // A name that is not in the fixed-pitch list is ignored.
  void SetName(const AnsiString& Value);
  TColor Color() const { return FFont.Color(); }
  void SetColor(TColor Value);
  int Size() const { return FFont.Size(); }
  void SetSize(int Value);
  TFontStyles Style() const { return FFont.Style(); }
  void SetStyle(TFontStyles Value);

  // From a fixed font or a plain font; a plain font of a proportional family raises EInvalidFixedFont.
  void Assign(const TPersistent* Source) override;
  AnsiString ClassName() const override { return "TCtlFixedFont"; }

  std::function<void(TCtlFixedFont* Sender)> OnChange;

private:
  void changed();

  TFont FFont;
};

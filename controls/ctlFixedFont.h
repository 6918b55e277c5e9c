// The fixed-pitch font families of the system, for the viewer's font.
#pragma once

#include <vector>

#include "platform/rtl/AnsiString.h"

// Taken when the system reports no fixed-pitch family, so that a fixed font always has a name.
constexpr const char* ctlDefaultFixedFace = "Courier New";

// The families, in the order the system lists them; filled once.
const std::vector<AnsiString>& CtlFixedPitchFonts();
bool IsFixedPitchFont(const AnsiString& Name);  // exact match
void CtlFixedPitchFontsStartup();
void CtlFixedPitchFontsShutdown();
// Builds the list from the given families, the default face when there are none.
std::vector<AnsiString> MakeFixedPitchList(std::vector<AnsiString> Families);

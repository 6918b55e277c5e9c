// User-defined mask characters "1" to "8" of the picture fields: their character sets, forced case
// and substitution characters.
#pragma once

#include <array>
#include <cstdint>

#include "controls/ctlStrRes.h"

constexpr uint8_t ctlFirstSubstChar = 241;
constexpr uint8_t ctlLastSubstChar = 248;

class TCtlUserData {
public:
  TCtlUserData();

  // Only "1" to "8" count; another character reads as the empty set and is ignored when set.
  TCtlCharSet UserCharSet(char Ch) const;
  // Character 0 is never part of a set.
  void SetUserCharSet(char Ch, const TCtlCharSet& Set);
  uint8_t ForceCase(char Ch) const;
  void SetForceCase(char Ch, uint8_t Code);
  // Only the codes 241 to 248; others read as 0 and are ignored when set.
  char SubstChar(char Ch) const;
  void SetSubstChar(char Ch, char Value);

private:
  static int userIndex(char ch);
  static int substIndex(char ch);

  std::array<TCtlCharSet, 8> FUserCharSets;
  std::array<uint8_t, 8> FForceCase{};
  std::array<char, 8> FSubstChars{};
};

// The one instance of the library, made on first use or at start-up.
TCtlUserData& CtlUserData();
void CtlUserDataStartup();
void CtlUserDataShutdown();

#include "controls/ctlUserData.h"

#include <memory>

namespace {

std::unique_ptr<TCtlUserData>& Global() {
  static std::unique_ptr<TCtlUserData> data;
  return data;
}

}  // namespace

TCtlUserData::TCtlUserData() {
  for (auto& set : FUserCharSets) {
    set.set();
    set.reset(0);
  }
  for (int i = 0; i < 8; ++i) FSubstChars[std::size_t(i)] = char(ctlFirstSubstChar + i);
}

int TCtlUserData::userIndex(char ch) { return ch >= '1' && ch <= '8' ? ch - '1' : -1; }

int TCtlUserData::substIndex(char ch) {
  const auto c = static_cast<uint8_t>(ch);
  return c >= ctlFirstSubstChar && c <= ctlLastSubstChar ? c - ctlFirstSubstChar : -1;
}

TCtlCharSet TCtlUserData::UserCharSet(char Ch) const {
  const int i = userIndex(Ch);
  return i < 0 ? TCtlCharSet() : FUserCharSets[std::size_t(i)];
}

void TCtlUserData::SetUserCharSet(char Ch, const TCtlCharSet& Set) {
  const int i = userIndex(Ch);
  if (i < 0) return;
  FUserCharSets[std::size_t(i)] = Set;
  FUserCharSets[std::size_t(i)].reset(0);
}

uint8_t TCtlUserData::ForceCase(char Ch) const {
  const int i = userIndex(Ch);
  return i < 0 ? 0 : FForceCase[std::size_t(i)];
}

void TCtlUserData::SetForceCase(char Ch, uint8_t Code) {
  const int i = userIndex(Ch);
  if (i >= 0) FForceCase[std::size_t(i)] = Code;
}

char TCtlUserData::SubstChar(char Ch) const {
  const int i = substIndex(Ch);
  return i < 0 ? char(0) : FSubstChars[std::size_t(i)];
}

void TCtlUserData::SetSubstChar(char Ch, char Value) {
  const int i = substIndex(Ch);
  if (i >= 0) FSubstChars[std::size_t(i)] = Value;
}

TCtlUserData& CtlUserData() {
  if (!Global()) CtlUserDataStartup();
  return *Global();
}

void CtlUserDataStartup() {
  if (!Global()) Global() = std::make_unique<TCtlUserData>();
}

void CtlUserDataShutdown() { Global().reset(); }

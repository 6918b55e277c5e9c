#include "controls/ctlStrRes.h"

#include <memory>

namespace {

constexpr int SrmStringNotFound = 1;
constexpr int SrmCannotLock = stfCannotLock;
constexpr int SrmResourceNotFound = stfNotFound;
constexpr int SrmCannotOpen = stfCannotOpen;

AnsiString BuiltInSrmText(int id) {
  switch (id) {
    case SrmStringNotFound: return "String not found: %d";
    case SrmCannotLock: return "Cannot lock resource";
    case SrmResourceNotFound: return "String resource not found: %s";
    case SrmCannotOpen: return "Unable to open string resource: %s";
    default: return "Invalid StrRes resource";
  }
}

// The reader's own texts; the built-in copy covers a program whose own table is missing
// and the opening of that table itself.
AnsiString SrmText(int id) {
  static bool opening = false;
  if (opening) return BuiltInSrmText(id);
  static const std::unique_ptr<TCtlStringResource> own = [] {
    opening = true;
    std::unique_ptr<TCtlStringResource> r;
    try {
      r = std::make_unique<TCtlStringResource>("CTLSRMGR_STRINGS");
    } catch (const Exception&) {
    }
    opening = false;
    return r;
  }();
  AnsiString s = own ? own->GetString(id) : AnsiString();
  return s.empty() ? BuiltInSrmText(id) : s;
}

}  // namespace

TCtlStringResource::TCtlStringResource(std::string_view ResourceName) : TStringTableResource(ResourceName) {
  if (const TStringTableFault fault = Open()) throw ESrmStringResourceError(SrmText(fault), {FResourceName});
}

AnsiString CtlStringById(int Id) {
  // A table that cannot be opened leaves every text "Unknown" rather than failing each caller.
  static const std::unique_ptr<TCtlStringResource> table = [] {
    try {
      return std::make_unique<TCtlStringResource>("CTL3_STRINGS_ENGLISH");
    } catch (const Exception&) {
      return std::unique_ptr<TCtlStringResource>();
    }
  }();
  AnsiString s = table ? table->GetString(int(uint16_t(Id))) : AnsiString();
  return s.empty() ? AnsiString("Unknown") : s;
}

const TCtlCharSet& CtlLetterSet() {
  static const TCtlCharSet letters = [] {
    TCtlCharSet set;
    for (char c : {' ', ',', '-', '.'}) set.set(uint8_t(c));
    for (int c = 'A'; c <= 'Z'; ++c) set.set(std::size_t(c));
    for (int c = 'a'; c <= 'z'; ++c) set.set(std::size_t(c));
    for (int c = 128; c < 256; ++c)
      if (IsAnsiAlpha(char(c))) set.set(std::size_t(c));
    return set;
  }();
  return letters;
}

// The zip library's component base: every zip component and the meter carry its fixed version.
#pragma once

#include "platform/rtl/AnsiString.h"
#include "platform/classlib/Classes.h"

inline constexpr const char* ZpLibraryVersion = "2.04";

class TZpBaseComponent : public TComponent {
public:
  explicit TZpBaseComponent(TComponent* AOwner) : TComponent(AOwner) {}

  AnsiString Version() const { return ZpLibraryVersion; }
  // Published for the form files; the version cannot be changed.
  void SetVersion(const AnsiString&) {}
};

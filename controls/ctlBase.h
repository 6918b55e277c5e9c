// Base of the control library's non-visual components, which report the library's version.
#pragma once

#include "platform/rtl/AnsiString.h"
#include "platform/classlib/Classes.h"

constexpr const char* CtlLibraryVersion = "v3.07";

class TCtlComponent : public TComponent {
public:
  explicit TCtlComponent(TComponent* AOwner = nullptr) : TComponent(AOwner) {}

  AnsiString About() const { return CtlLibraryVersion; }
  void SetAbout(const AnsiString&) {}
};

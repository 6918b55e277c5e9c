// The colours of a disabled field, of a field showing an error, and of selected characters.
#pragma once

#include <functional>

#include "controls/ctlColors.h"

class TCtlEfColors : public TPersistent {
public:
  TCtlEfColors();
  AnsiString ClassName() const override { return "TCtlEfColors"; }
  void Assign(const TPersistent* Source) override;

  TCtlColors& Disabled() { return FDisabled; }
  TCtlColors& Error() { return FError; }
  TCtlColors& Highlight() { return FHighlight; }
  const TCtlColors& Disabled() const { return FDisabled; }
  const TCtlColors& Error() const { return FError; }
  const TCtlColors& Highlight() const { return FHighlight; }

  std::function<void()> OnChange;

private:
  TCtlColors FDisabled;
  TCtlColors FError;
  TCtlColors FHighlight;
};

// The smallest and largest size that a control may take.
#pragma once

#include "platform/classlib/Classes.h"

// Smallest and largest size a control may take; 0 means no limit.
class TSizeConstraints : public TPersistent {
public:
  void Assign(const TPersistent* source) override;
  AnsiString ClassName() const override { return "TSizeConstraints"; }
  int MinWidth() const { return FMinWidth; }
  int MinHeight() const { return FMinHeight; }
  int MaxWidth() const { return FMaxWidth; }
  int MaxHeight() const { return FMaxHeight; }
  void SetMinWidth(int v);
  void SetMinHeight(int v);
  void SetMaxWidth(int v);
  void SetMaxHeight(int v);
  void Apply(int& width, int& height) const;
  TNotifyEvent OnChange;

private:
  void Changed() {
    if (OnChange) OnChange(this);
  }
  int FMinWidth = 0, FMinHeight = 0, FMaxWidth = 0, FMaxHeight = 0;
};

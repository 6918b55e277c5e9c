// The hint window, and the two parts of a hint's text.
#pragma once

#include "platform/classlib/CustomControl.h"

// The small window that shows a control's hint near the mouse.
class THintWindow : public TCustomControl {
public:
  explicit THintWindow(TComponent* owner);
  AnsiString ClassName() const override { return "THintWindow"; }
  // The size the text needs, lines broken at CR or LF and words wrapped past maxWidth.
  TRect CalcHintRect(int maxWidth, const AnsiString& hint);
  // Shows the text in rect (screen coordinates) without taking the activation.
  void ActivateHint(const TRect& rect, const AnsiString& hint);
  void ReleaseHint();

protected:
  void CreateParams(TCreateParams& params) override;
  void Paint() override;
  void WndProc(TMessage& m) override;
};

// The parts of a hint before and after its "|".
AnsiString GetShortHint(const AnsiString& hint);
AnsiString GetLongHint(const AnsiString& hint);

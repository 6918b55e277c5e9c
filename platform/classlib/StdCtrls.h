// The standard controls, each painting itself and handling its own keys and mouse: labels, buttons,
// check and radio boxes, group boxes, scroll bars, and (from Memo.h, ListBoxes.h) edits and lists.
#pragma once

#include <memory>
#include <vector>

#include "platform/rtl/StringList.h"
#include "platform/classlib/ControlPaint.h"
#include "platform/classlib/Controls.h"
#include "platform/classlib/ListBoxes.h"
#include "platform/classlib/Memo.h"

// ---- Labels ----

class TCustomLabel : public TGraphicControl {
public:
  explicit TCustomLabel(TComponent* owner);
  AnsiString ClassName() const override { return "TCustomLabel"; }

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool v);
  TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout v);
  bool ShowAccelChar() const { return FShowAccelChar; }
  void SetShowAccelChar(bool v);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool v);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool v);
  // The control that takes the focus when the label's accelerator key is pressed.
  TWinControl* FocusControl() const { return FFocusControl; }
  void SetFocusControl(TWinControl* v);

protected:
  void Paint() override;
  void WndProc(TMessage& m) override;
  void Notification(TComponent* component, TOperation operation) override;
  void Loaded() override;
  unsigned DrawTextFlags() const;
  // The caption as drawn: an empty one measures as a blank so the label keeps a height.
  AnsiString LabelText() const;
  virtual void AdjustBounds();

private:
  TAlignment FAlignment = taLeftJustify;
  bool FAutoSize = true;
  TTextLayout FLayout = tlTop;
  bool FShowAccelChar = true;
  bool FTransparent = false;
  bool FWordWrap = false;
  TWinControl* FFocusControl = nullptr;
};

class TLabel : public TCustomLabel {
public:
  using TCustomLabel::TCustomLabel;
  AnsiString ClassName() const override { return "TLabel"; }
};

// ---- Buttons ----

// What push buttons, check boxes and radio buttons share: a press tracked from mouse down to up
// or from space down to up, a focus frame, and the accelerator of the caption.
class TButtonControl : public TCustomControl {
public:
  explicit TButtonControl(TComponent* owner);
  AnsiString ClassName() const override { return "TButtonControl"; }

protected:
  // The press ended over the control: the control's own action.
  virtual void Pressed() { Click(); }
  bool Down() const { return FDown && FInside; }
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void KeyUp(uint16_t& key, TShiftState shift) override;
  void WndProc(TMessage& m) override;
  void CMTextChanged(TMessage& m) override;
  void CMEnabledChanged(TMessage& m) override;
  void CMFontChanged(TMessage& m) override;

private:
  bool FDown = false;
  bool FInside = false;
  bool FSpaceDown = false;
};

class TButton : public TButtonControl {
public:
  explicit TButton(TComponent* owner);
  AnsiString ClassName() const override { return "TButton"; }

  // Enter clicks the default button wherever the focus is (unless on another button).
  bool Default() const { return FDefault; }
  void SetDefault(bool v);
  // Escape clicks the cancel button.
  bool Cancel() const { return FCancel; }
  void SetCancel(bool v) { FCancel = v; }
  // Given to the form when clicked, which ends a modal form.
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult v) { FModalResult = v; }
  void Click() override;

protected:
  void Paint() override;
  void WndProc(TMessage& m) override;
  bool ShowsAsDefault();

private:
  bool FDefault = false;
  bool FCancel = false;
  TModalResult FModalResult = 0;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCustomCheckBox : public TButtonControl {
public:
  explicit TCustomCheckBox(TComponent* owner);
  AnsiString ClassName() const override { return "TCustomCheckBox"; }

  // Right: the box at the left and the caption right of it.
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);
  bool AllowGrayed() const { return FAllowGrayed; }
  void SetAllowGrayed(bool v) { FAllowGrayed = v; }
  TCheckBoxState State() const { return FState; }
  void SetState(TCheckBoxState v);
  bool Checked() const { return FState == cbChecked; }
  void SetChecked(bool v) { SetState(v ? cbChecked : cbUnchecked); }

protected:
  void Pressed() override;
  void Paint() override;

private:
  TAlignment FAlignment = taRightJustify;
  bool FAllowGrayed = false;
  TCheckBoxState FState = cbUnchecked;
};

class TCheckBox : public TCustomCheckBox {
public:
  using TCustomCheckBox::TCustomCheckBox;
  AnsiString ClassName() const override { return "TCheckBox"; }
};

// Checking a radio button unchecks the other radio buttons of its parent.
class TRadioButton : public TButtonControl {
public:
  explicit TRadioButton(TComponent* owner);
  AnsiString ClassName() const override { return "TRadioButton"; }

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);
  bool Checked() const { return FChecked; }
  void SetChecked(bool v);

protected:
  void Pressed() override;
  void Paint() override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  bool WantsKey(uint16_t key) override;

private:
  TAlignment FAlignment = taRightJustify;
  bool FChecked = false;
};

// ---- Group box ----

class TCustomGroupBox : public TCustomControl {
public:
  explicit TCustomGroupBox(TComponent* owner);
  AnsiString ClassName() const override { return "TCustomGroupBox"; }

protected:
  void Paint() override;
  void AdjustClientRect(TRect& rect) override;
  void WndProc(TMessage& m) override;
  void CMTextChanged(TMessage& m) override;
  void CMFontChanged(TMessage& m) override;
  int CaptionHeight();
};

class TGroupBox : public TCustomGroupBox {
public:
  using TCustomGroupBox::TCustomGroupBox;
  AnsiString ClassName() const override { return "TGroupBox"; }
};

// ---- Scroll bar ----

enum TScrollBarKindValue { sbHorizontal, sbVertical };
enum TScrollCode { scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll };
using TScrollEvent = std::function<void(TObject* Sender, TScrollCode ScrollCode, int& ScrollPos)>;

class TScrollBar : public TCustomControl {
public:
  explicit TScrollBar(TComponent* owner);
  AnsiString ClassName() const override { return "TScrollBar"; }

  TScrollBarKindValue Kind() const { return FKind; }
  void SetKind(TScrollBarKindValue v);
  int Min() const { return FMin; }
  int Max() const { return FMax; }
  int Position() const { return FPosition; }
  void SetMin(int v) { SetParams(FPosition, v, FMax); }
  void SetMax(int v) { SetParams(FPosition, FMin, v); }
  void SetPosition(int v) { SetParams(v, FMin, FMax); }
  // Raises EInvalidOperation "Scroll bar property out of range" when max is below min.
  void SetParams(int position, int min, int max);
  int SmallChange() const { return FSmallChange; }
  void SetSmallChange(int v) { FSmallChange = v; }
  int LargeChange() const { return FLargeChange; }
  void SetLargeChange(int v) { FLargeChange = v; }
  int PageSize() const { return FPageSize; }
  void SetPageSize(int v);

  TNotifyEvent OnChange;
  TScrollEvent OnScroll;

protected:
  void Paint() override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  bool WantsKey(uint16_t key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  virtual void Change();
  virtual void Scroll(TScrollCode code, int& pos);
  void WndProc(TMessage& m) override;

private:
  TScrollBarGeometry Geometry();
  void ScrollTo(TScrollCode code, int pos);
  // One step of the pressed arrow or track part, while the mouse is still over it.
  void StepPressed(bool checkMouse);
  TPressRepeat FRepeat;

  TScrollBarKindValue FKind = sbHorizontal;
  int FMin = 0;
  int FMax = 100;
  int FPosition = 0;
  int FSmallChange = 1;
  int FLargeChange = 1;
  int FPageSize = 0;
  TScrollPart FPartPressed = TScrollPart::None;
  int FThumbGrab = 0;
};

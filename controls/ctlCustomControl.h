// Windowed bases of the control library: focus notices after the fact, the mouse wheel, the attached
// label that follows its control, and the controller that entry controls find on their form.
#pragma once

#include <functional>

#include "controls/ctlBase.h"
#include "platform/classlib/Controls.h"
#include "platform/classlib/StdCtrls.h"

class TCtlController;
class TCtlCustomControl;

// A label that belongs to one control and keeps its place beside it.
class TCtlAttachedLabel : public TLabel {
public:
  explicit TCtlAttachedLabel(TComponent* AOwner);
  AnsiString ClassName() const override { return "TCtlAttachedLabel"; }

  TCtlCustomControl* Control() const { return FControl; }
  void SetControl(TCtlCustomControl* Value);
  // A move made by hand tells the control its new offset.
  void SetBounds(int left, int top, int width, int height) override;

protected:
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

private:
  void tellControl();

  TCtlCustomControl* FControl = nullptr;
};

class TCtlLabelInfo : public TPersistent {
public:
  int OffsetX() const { return FOffsetX; }
  int OffsetY() const { return FOffsetY; }
  void SetOffsetX(int Value) { SetOffsets(Value, FOffsetY); }
  void SetOffsetY(int Value) { SetOffsets(FOffsetX, Value); }
  // Both at once; the offset callback runs once.
  void SetOffsets(int X, int Y);
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  TCtlAttachedLabel* Label() const { return FLabel; }
  AnsiString ClassName() const override { return "TCtlLabelInfo"; }

private:
  friend class TCtlCustomControl;
  int FOffsetX = 0;
  int FOffsetY = 0;
  bool FVisible = false;
  TCtlAttachedLabel* FLabel = nullptr;
  std::function<void()> FOnVisibleChange;
  std::function<void()> FOnOffsetChange;
};

using TCtlMouseWheelEvent =
    std::function<void(TObject* Sender, TShiftState Shift, int Delta, int XPos, int YPos)>;

class TCtlCustomControl : public TCustomControl {
public:
  explicit TCtlCustomControl(TComponent* AOwner);
  ~TCtlCustomControl() override;
  AnsiString ClassName() const override { return "TCtlCustomControl"; }

  AnsiString About() const { return CtlLibraryVersion; }
  void SetAbout(const AnsiString&) {}
  TCtlLabelInfo& LabelInfo() { return FLabelInfo; }
  // False (the default) places the label above the control, True below it.
  bool LabelBelow() const { return FLabelBelow; }
  void SetLabelBelow(bool Value);
  // Raises Exception "Label not attached" while LabelInfo is not visible.
  TCtlAttachedLabel* AttachedLabel() const;

  void SetBounds(int left, int top, int width, int height) override;
  void SetVisible(bool v) override;

  TNotifyEvent AfterEnter;
  TNotifyEvent AfterExit;
  TCtlMouseWheelEvent OnMouseWheel;

protected:
  void WndProc(TMessage& message) override;
  void WMSetFocus(TMessage& m) override;
  void WMKillFocus(TMessage& m) override;
  void Notification(TComponent* component, TOperation operation) override;
  virtual void DoMouseWheel(TShiftState Shift, int Delta, int XPos, int YPos);

private:
  friend class TCtlAttachedLabel;
  void labelVisibleChanged();
  void positionLabel();
  void readLabelOffset();
  TComponent* labelForm() const;

  TCtlLabelInfo FLabelInfo;
  bool FLabelBelow = false;
};

class TCtlCustomControlEx : public TCtlCustomControl {
public:
  explicit TCtlCustomControlEx(TComponent* AOwner);
  ~TCtlCustomControlEx() override;
  AnsiString ClassName() const override { return "TCtlCustomControlEx"; }

  TCtlController* Controller() const { return FController; }
  virtual void SetController(TCtlController* Value);

protected:
  // Finds the controller first: the form's own, else the main form's; none raises ENoControllerAssigned.
  void CreateWnd() override;
  void Notification(TComponent* component, TOperation operation) override;

private:
  TCtlController* FController = nullptr;
};

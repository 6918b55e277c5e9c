// The framework's form controls: panels, group boxes and radio groups that can be transparent, the
// memo and label of the forms, the speed button, and the bordered labels with their help context.
#pragma once

#include "controls/ctlPicField.h"
#include "framework/forms/BxCtrls.h"
#include "framework/forms/BxDBCtrl.h"
#include "platform/classlib/Buttons.h"
#include "platform/classlib/ExtCtrls.h"
#include "platform/classlib/StdCtrls.h"

// Points field at value and asks to hear when value is freed.
void SetLinkedControl(TComponent* holder, TWinControl*& field, TWinControl* value);

// Transparency shared by the windowed containers: a transparent one is made with the transparent
// extended style, clips neither children nor siblings and leaves its background unerased.
template <class TBase>
class TQsTransparentControl : public TBase {
public:
  explicit TQsTransparentControl(TComponent* AOwner) : TBase(AOwner) {}
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value) {
    if (FTransparent == Value) return;
    FTransparent = Value;
    TControlStyle style = this->ControlStyle();
    this->SetControlStyle(Value ? (style & ~TControlStyle(csOpaque)) : (style | csOpaque));
    if (this->HandleAllocated()) this->RecreateWnd();
    this->Invalidate();
  }

protected:
  void CreateParams(TCreateParams& Params) override {
    TBase::CreateParams(Params);
    if (FTransparent) {
      Params.ExStyle |= WS_EX_TRANSPARENT;
      Params.Style &= ~(WS_CLIPCHILDREN | WS_CLIPSIBLINGS);
    }
  }
  void WndProc(TMessage& Message) override {
    if (FTransparent && Message.Msg == WM_ERASEBKGND) {
      Message.Result = 1;
      return;
    }
    TBase::WndProc(Message);
  }

private:
  bool FTransparent = false;
};

class TQsPanel : public TQsTransparentControl<TPanel> {
public:
  explicit TQsPanel(TComponent* AOwner) : TQsTransparentControl<TPanel>(AOwner) {}
  AnsiString ClassName() const override { return "TQsPanel"; }

protected:
  // A transparent panel draws its frames and caption only.
  void Paint() override;
};

class TQsGroupBox : public TQsTransparentControl<TGroupBox> {
public:
  explicit TQsGroupBox(TComponent* AOwner) : TQsTransparentControl<TGroupBox>(AOwner) {}
  AnsiString ClassName() const override { return "TQsGroupBox"; }

  // Neighbours for data-entry navigation; cleared when they are freed.
  TWinControl* NextControl() const { return FNextControl; }
  void SetNextControl(TWinControl* Value);
  TWinControl* PrevControl() const { return FPrevControl; }
  void SetPrevControl(TWinControl* Value);
  bool NextAtSameLevel() const { return FNextAtSameLevel; }
  void SetNextAtSameLevel(bool Value) { FNextAtSameLevel = Value; }
  bool PrevAtSameLevel() const { return FPrevAtSameLevel; }
  void SetPrevAtSameLevel(bool Value) { FPrevAtSameLevel = Value; }

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  TWinControl* FNextControl = nullptr;
  TWinControl* FPrevControl = nullptr;
  bool FNextAtSameLevel = false;
  bool FPrevAtSameLevel = false;
};

class TQsRadioGroup : public TQsTransparentControl<TRadioGroup> {
public:
  explicit TQsRadioGroup(TComponent* AOwner) : TQsTransparentControl<TRadioGroup>(AOwner) {}
  AnsiString ClassName() const override { return "TQsRadioGroup"; }

  // Hints for loading data into the form; nothing here reads them.
  const AnsiString& FieldName() const { return FFieldName; }
  void SetFieldName(const AnsiString& Value) { FFieldName = Value; }
  int LoadPriority() const { return FLoadPriority; }
  void SetLoadPriority(int Value) { FLoadPriority = Value; }

private:
  AnsiString FFieldName;
  int FLoadPriority = 0;
};

// The loading hints of the data-entry controls: the data field a control stands for, an order of
// loading, and up to three associated controls, each cleared when its control is freed.
template <class TBase>
class TQslLoadHints : public TBase {
public:
  explicit TQslLoadHints(TComponent* AOwner) : TBase(AOwner) {}

  const AnsiString& FieldName() const { return FFieldName; }
  void SetFieldName(const AnsiString& Value) { FFieldName = Value; }
  int LoadPriority() const { return FLoadPriority; }
  void SetLoadPriority(int Value) { FLoadPriority = Value; }
  TWinControl* NAssocControl1() const { return FAssoc[0]; }
  void SetNAssocControl1(TWinControl* Value) { SetLinkedControl(this, FAssoc[0], Value); }
  TWinControl* NAssocControl2() const { return FAssoc[1]; }
  void SetNAssocControl2(TWinControl* Value) { SetLinkedControl(this, FAssoc[1], Value); }
  TWinControl* NAssocControl3() const { return FAssoc[2]; }
  void SetNAssocControl3(TWinControl* Value) { SetLinkedControl(this, FAssoc[2], Value); }

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TBase::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    for (TWinControl*& a : FAssoc)
      if (a == AComponent) a = nullptr;
  }

private:
  AnsiString FFieldName;
  int FLoadPriority = 0;
  TWinControl* FAssoc[3] = {nullptr, nullptr, nullptr};
};

class TQslMemo : public TQslLoadHints<TMemo> {
public:
  explicit TQslMemo(TComponent* AOwner) : TQslLoadHints<TMemo>(AOwner) {}
  AnsiString ClassName() const override { return "TQslMemo"; }
};

// The picture field of the forms, with the memo's loading hints and a position in the loaded data.
class TQslPictureField : public TQslLoadHints<TCtlPictureField> {
public:
  explicit TQslPictureField(TComponent* AOwner) : TQslLoadHints<TCtlPictureField>(AOwner) {}
  AnsiString ClassName() const override { return "TQslPictureField"; }

  int DataArrayNumber() const { return FDataArrayNumber; }
  void SetDataArrayNumber(int Value) { FDataArrayNumber = Value; }
  int DataFieldNumber() const { return FDataFieldNumber; }
  void SetDataFieldNumber(int Value) { FDataFieldNumber = Value; }

private:
  int FDataArrayNumber = 0;
  int FDataFieldNumber = 0;
};

class TQslLabel : public TLabel {
public:
  explicit TQslLabel(TComponent* AOwner) : TLabel(AOwner) {}
  AnsiString ClassName() const override { return "TQslLabel"; }
};

// The bordered label of the forms; its help context answers a right-click.
class tQsBorderedLabel : public TBxLabel {
public:
  explicit tQsBorderedLabel(TComponent* AOwner) : TBxLabel(AOwner) {}
  AnsiString ClassName() const override { return "tQsBorderedLabel"; }
};

// The data label of the forms, with a help context of its own for a right-click.
class tQsDbBorderedLabel : public TBxDBLabel {
public:
  explicit tQsDbBorderedLabel(TComponent* AOwner) : TBxDBLabel(AOwner) {}
  AnsiString ClassName() const override { return "tQsDbBorderedLabel"; }
};

// The framework's speed button; its help context answers a right-click on the form.
class TQsSpeedButton : public TSpeedButton {
public:
  explicit TQsSpeedButton(TComponent* AOwner) : TSpeedButton(AOwner) {}
  AnsiString ClassName() const override { return "TQsSpeedButton"; }
};


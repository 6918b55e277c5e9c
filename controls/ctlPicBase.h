// The picture-mask layer of the entry field: a mask over the edit text decides which characters
// each position takes, shows literals, password and pad characters, and keeps numbers editable.
#pragma once

#include "controls/ctlEntryField.h"
#include "controls/ctlPicMask.h"

class TCtlPictureBase : public TCtlBaseEntryField {
public:
  explicit TCtlPictureBase(TComponent* AOwner);
  AnsiString ClassName() const override { return "TCtlPictureBase"; }

  const TCtlPictureMask& Picture() const { return FPicture; }
  bool IsLiteral(int Pos) const { return FPicture.IsLiteral(Pos); }
  bool IsSemiLiteral(int Pos) const { return FPicture.IsSemiLiteral(Pos); }
  bool IsEmpty() const { return FPicture.IsEmpty(EditText()); }
  AnsiString StripLiterals(const AnsiString& Text) const { return FPicture.StripLiterals(Text); }
  AnsiString StripForValue(const AnsiString& Text) const { return FPicture.StripForValue(Text, Intl()); }
  // Installs a new mask and keeps the value: stripped out of the old mask, merged into the new one.
  void SetPicture(const AnsiString& Mask);
  bool EditForm() const { return FEditForm; }
  AnsiString GetDisplayString() override;
  // The regional characters of the mask engine.
  TCtlMaskIntl Intl() const { return MaskIntlOf(IntlSup()); }

protected:
  // Rebuilds the position kinds from the mask and the current length limit.
  void BuildPicture();
  // What Merge needs of this field.
  virtual TCtlPictureMask::TMergeOptions MergeOptions() const;
  // The text with floating currency and separators taken out of the integer part, or put back.
  void EnterEditForm();
  void LeaveEditForm();
  void SetEditForm(bool Value) { FEditForm = Value; }
  bool FloatingPoint() const { return FFloatingPoint; }

  void CreateWnd() override;
  void ApplyOptionRules() override;
  int LiteralCount() const override;
  bool TextIsEmpty() const override { return IsEmpty(); }
  // On the units of a whole part that fills from the right, digits come in after the caret's
  // character, so the caret shows after it.
  int CaretCell() const override {
    const int caret = CaretPos();
    return FPicture.FillsFromRight(caret) && caret == FPicture.WholeEnd() - 1 ? caret + 1 : caret;
  }
  // Without currency text, separators and literals; the point as '.'.
  AnsiString NumberText() const override { return StripForValue(EditText()); }
  void WMSetFocus(TMessage& m) override;
  void WMKillFocus(TMessage& m) override;

private:
  TCtlPictureMask FPicture;
  bool FFloatingPoint = false;
  bool FEditForm = false;
};

#include "controls/ctlPicBase.h"

#include <algorithm>

TCtlPictureBase::TCtlPictureBase(TComponent* AOwner) : TCtlBaseEntryField(AOwner) {
  SetFieldKind(ctlPictureField);
  SetDataTypeCode(pftString | ctlPictureFieldMark);
  BuildPicture();
}

void TCtlPictureBase::BuildPicture() {
  const int length = MaxLength() > 0 ? std::max(MaxLength(), MaskLength()) : MaskLength();
  FPicture = TCtlPictureMask(PictureMask(), length);
  // A mask with literals or semi-literals has no room for blanks trimmed or pushed aside.
  if (!FPicture.NoLiterals() && !HasState(csLoading)) {
    TCtlEntryFieldOptions o = Options();
    if (o.Contains(efoTrimBlanks) || o.Contains(efoRightJustify)) SetOptions(o.Exclude(efoTrimBlanks).Exclude(efoRightJustify));
  }
}

TCtlPictureMask::TMergeOptions TCtlPictureBase::MergeOptions() const {
  return {FFloatingPoint, Options().Contains(efoRightJustify), IsNumericType(DataType())};
}

int TCtlPictureBase::LiteralCount() const {
  int n = 0;
  for (int i = 0; i < FPicture.MaxLength(); ++i) n += FPicture.IsLiteral(i);
  return n;
}

void TCtlPictureBase::ApplyOptionRules() {
  TCtlBaseEntryField::ApplyOptionRules();
  if (HasState(csLoading) || DataType() != pftString || FPicture.NoLiterals()) return;
  TCtlEntryFieldOptions o = Options();
  if (o.Contains(efoTrimBlanks) || o.Contains(efoRightJustify)) SetOptions(o.Exclude(efoTrimBlanks).Exclude(efoRightJustify));
}

void TCtlPictureBase::SetPicture(const AnsiString& Mask) {
  AnsiString mask = Mask.substr(0, ctlMaxMaskLength);
  std::erase(mask, 'p');
  std::erase(mask, 'g');
  if (mask.empty()) return;
  const AnsiString value = FPicture.StripForValue(EditText(), Intl());
  SetMaskText(mask);
  if (MaxLength() < MaskLength()) SetMaxLength(MaskLength());
  BuildPicture();
  FEditForm = false;
  Model().SetText(FPicture.Merge(value, Intl(), MergeOptions()));
  Invalidate();
}

void TCtlPictureBase::CreateWnd() {
  BuildPicture();
  FFloatingPoint = IsFloatType(DataType());
  // The mask's own decimals rule; set before the window exists, so nothing is recreated.
  if (FFloatingPoint && FPicture.HasChar('.') && DecimalPlaces() != 0) SetDecimalPlaces(0);
  TCtlBaseEntryField::CreateWnd();
  BuildPicture();
}

void TCtlPictureBase::EnterEditForm() {
  if (FEditForm) return;
  FEditForm = true;
  const AnsiString edit = FPicture.ToEditForm(EditText(), Intl());
  if (edit != EditText()) Model().SetText(edit);
}

void TCtlPictureBase::LeaveEditForm() {
  if (!FEditForm) return;
  FEditForm = false;
  if (FPicture.SemiLiteralCount() == 0) return;
  const int caret = CaretPos();
  Model().SetText(FPicture.FromEditForm(EditText(), Intl(), MergeOptions()));
  Model().SetCaret(caret);
  Invalidate();
}

AnsiString TCtlPictureBase::GetDisplayString() {
  AnsiString s = TCtlBaseEntryField::GetDisplayString();
  if (Uninitialized() && !HasFocus()) return AnsiString(s.size(), ' ');
  // While typing, blanks up to the caret are typed ones too.
  const int typedEnd = HasFocus() ? CaretPos() : 0;
  return FPicture.Display(s, Options().Contains(efoPasswordMode), PadChar(), PasswordChar(), typedEnd);
}

void TCtlPictureBase::WMSetFocus(TMessage& m) {
  BuildPicture();
  TCtlBaseEntryField::WMSetFocus(m);
  if (!HasFocus()) return;
  EnterEditForm();
  // The caret stands on edit positions: the start is the first of them, the end the end of the text.
  const int caret = CaretPos();
  const bool selectAll = SelStart() == 0 && SelEnd() == Model().Length() && SelEnd() > 0;
  if (caret == 0) Model().SetCaret(FPicture.HomePos());
  else if (caret >= Model().Length()) Model().SetCaret(FPicture.EndPos(EditText()));
  else Model().SetCaret(FPicture.ClipCaret(caret));
  if (selectAll) Model().SelectAll();
  // The base scrolled to the caret at the end of the padded text; the typed characters stay in view.
  SetFirstVisible(0);
  UpdateCaret();
}

void TCtlPictureBase::WMKillFocus(TMessage& m) {
  if (FPicture.DecimalPos() >= 0 && Modified()) Model().SetText(FPicture.DecimalFixup(EditText()));
  TCtlBaseEntryField::WMKillFocus(m);
  LeaveEditForm();
}

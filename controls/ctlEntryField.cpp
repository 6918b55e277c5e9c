#include "controls/ctlEntryField.h"

#include <cstring>

#include "controls/ctlController.h"
#include "controls/ctlExcept.h"
#include "controls/ctlHelpers.h"
#include "platform/classlib/Forms.h"
#include "platform/win/Windows.h"

namespace {

constexpr int idParameterInvalid = 30372;
constexpr int idValueNotValid = 30180;

// Stores a property that only changes how the field looks, and repaints it.
template <class T>
void storeAndRepaint(TControl& field, T& property, T value) {
  property = value;
  field.Invalidate();
}

}  // namespace

// ---- construction ----

TCtlBaseEntryField::TCtlBaseEntryField(TComponent* AOwner)
    : TCtlCustomControlEx(AOwner), FCarets(std::make_unique<TCtlCaretPair>(this)) {
  TCtlCustomControlEx::SetBounds(Left(), Top(), 130, 25);
  SetTabStop(true);
  SetCursor(crIBeam);
  SetColor(clWindow);
  SetControlStyle(ControlStyle() | csOpaque);
  FBorders.OnChange = [this] {
    fixTextTop();
    Invalidate();
  };
  FEFColors.OnChange = [this] { Invalidate(); };
  FModel.SetMaxLength(FMaxLength);
  ResetCharWidths();
}

TCtlBaseEntryField::~TCtlBaseEntryField() {
  if (HandleAllocated() && Focused()) ::SetFocus(0);
  FCarets->SetVisible(false);
  FCarets->SetLinked(false);
}

void TCtlBaseEntryField::CreateWnd() {
  TCtlCustomControlEx::CreateWnd();
  if (FMaxLength == 0) FMaxLength = MaskLength() > 0 ? MaskLength() : 1;
  FModel.SetMaxLength(FMaxLength);
  FFirstVisible = 0;
  FModel.SetCaret(0);
  FModel.Collapse();
  FValueSize = 0;
  (void)ValueSize();
  TPictureDataType t = DataType();
  if (FOptions.Contains(efoInputRequired) && t >= pftChar && t <= pftComp) FUninitialized = true;
  FRadix = CtlRadixOfMask(FMask);
  ResetCharWidths();
  AdjustHeight();
  fixTextTop();
  FRightAligned = FOptions.Contains(efoRightAlign);
}

TCtlBaseEFOptions TCtlBaseEntryField::EntryOptions() const {
  return Controller() ? Controller()->EntryOptions() : TCtlBaseEFOptions{efoAutoSelect, efoBeepOnError, efoInsertPushes};
}

void TCtlBaseEntryField::ErrorBeep() {
  if (EntryOptions().Contains(efoBeepOnError)) Beep();
}

int TCtlBaseEntryField::EffectiveEpoch() {
  if (FEpoch != 0) return FEpoch;
  return Controller() ? Controller()->GetEpoch() : CenturyOfToday();
}

void TCtlBaseEntryField::SetDataTypeCode(uint8_t Code) {
  FDataType = Code;
  FRangeLo = CtlDefaultRangeLo(DataType());
  FRangeHi = CtlDefaultRangeHi(DataType());
  FValueSize = 0;
  ApplyOptionRules();
}

void TCtlBaseEntryField::SetMaskText(const AnsiString& Mask) {
  FMask = Mask.substr(0, ctlMaxEditLength);
  FRadix = CtlRadixOfMask(FMask);
  FValueSize = 0;
}

void TCtlBaseEntryField::SetEditText(const AnsiString& Text) {
  FModel.SetText(Text);
  if (FFirstVisible > FModel.Length()) FFirstVisible = 0;
  Invalidate();
}

int TCtlBaseEntryField::ValueSize() {
  if (FValueSize == 0) {
    int chars = FMaxLength > 0 ? FMaxLength : MaskLength();
    if (IsPictureField() && FOptions.Contains(efoStripLiterals)) chars -= LiteralCount();
    FValueSize = CtlValueSize(DataType(), chars);
  }
  return FValueSize;
}

void TCtlBaseEntryField::checkType(bool Ok) const {
  if (!Ok) throw EInvalidDataType();
}

int TCtlBaseEntryField::GetValue(void* Buffer) {
  uint16_t code;
  {
    TCtlFlagScope reading(FReadingValue);
    code = ValidateText();
  }
  if (code != 0) return code;
  if ((FDataType & 63) > ctlLastDataType) throw ECtlException(CtlStringById(idParameterInvalid));
  TransferValue(Buffer, 1);
  return 0;
}

void TCtlBaseEntryField::SetValue(const void* Buffer) {
  if (FInUserValidation) return;
  if (!HandleAllocated() && Parent()) HandleNeeded();
  TCtlFlagScope setting(FSettingValue);
  if ((FDataType & 63) > ctlLastDataType) throw ECtlException(CtlStringById(idParameterInvalid));
  TransferValue(const_cast<void*>(Buffer), 2);
}

int TCtlBaseEntryField::TransferValue(void* Buffer, int Direction) {
  (void)Buffer;
  const int size = ValueSize();
  if (Direction == 2 && !FValidating) {
    FModel.SetModified(false);
    if (FHasFocus) {
      FModel.SetCaret(FOptions.Contains(efoCaretToEnd) ? FModel.Length() : 0);
      FModel.Collapse();
      if (!FOptions.Contains(efoReadOnly)) FModel.SelectAll();
      UpdateCaret();
    }
    Invalidate();
  }
  return size;
}

AnsiString TCtlBaseEntryField::AsString() {
  if (DataType() == pftString) {
    std::vector<uint8_t> buffer(std::size_t(ValueSize()) + 1, 0);
    int code = GetValue(buffer.data());
    FLastError = static_cast<uint16_t>(code);
    if (code != 0) return {};
    return AnsiString(reinterpret_cast<const char*>(buffer.data() + 1), buffer[0]);
  }
  FLastError = 0;
  return FOptions.Contains(efoTrimBlanks) ? Trim(FModel.Text()) : FModel.Text();
}

void TCtlBaseEntryField::SetAsString(const AnsiString& Value) {
  if (FInUserValidation) return;
  TPictureDataType t = DataType();
  if (t == pftString) {
    std::vector<uint8_t> buffer(std::size_t(ValueSize()) + 1, 0);
    std::size_t n = std::min<std::size_t>({Value.size(), std::size_t(ctlMaxEditLength), std::size_t(ValueSize() - 1)});
    buffer[0] = static_cast<uint8_t>(n);
    std::memcpy(buffer.data() + 1, Value.data(), n);
    SetValue(buffer.data());
    return;
  }
  TCtlRangeValue v{};
  if (t == pftBoolean || t == pftYesNo) {
    char first = Value.empty() ? ' ' : AnsiUpperChar(Value[0]);
    v[0] = first == (t == pftBoolean ? IntlSup().TrueChar() : IntlSup().YesChar());
  } else {
    try {
      v = CtlRangeFromText(rangeFormat(), Value);
    } catch (const EInvalidRangeValue&) {
      throw EEntryFieldError(CtlStringById(idValueNotValid));
    }
  }
  SetValue(v.data());
}

// The value as a whole number of that type; None when the text holds no valid one.
int32_t TCtlBaseEntryField::integerValue(TPictureDataType Type, int32_t None) {
  TCtlRangeValue v = CtlValueFromInteger(Type, None);
  int code = GetValue(v.data());
  FLastError = static_cast<uint16_t>(code);
  return code ? None : static_cast<int32_t>(CtlValueToInteger(Type, v.data()));
}

int32_t TCtlBaseEntryField::AsInteger() {
  checkType(IsIntegerType(DataType()));
  return integerValue(DataType(), 0);
}

void TCtlBaseEntryField::SetAsInteger(int32_t Value) {
  checkType(IsIntegerType(DataType()));
  SetValue(CtlValueFromInteger(DataType(), Value).data());
}

TCtlDate TCtlBaseEntryField::AsDate() {
  checkType(DataType() == pftDate);
  return integerValue(pftDate, NoDate);
}

void TCtlBaseEntryField::SetAsDate(TCtlDate Value) {
  checkType(DataType() == pftDate);
  SetValue(CtlValueFromInteger(pftDate, Value).data());
}

TCtlTime TCtlBaseEntryField::AsTime() {
  checkType(DataType() == pftTime);
  return integerValue(pftTime, NoTime);
}

void TCtlBaseEntryField::SetAsTime(TCtlTime Value) {
  checkType(DataType() == pftTime);
  SetValue(CtlValueFromInteger(pftTime, Value).data());
}

TCtlRangeFormat TCtlBaseEntryField::rangeFormat() const {
  TCtlRangeFormat f;
  f.Type = DataType();
  f.Mask = &FMask;
  f.DecimalPlaces = FDecimalPlaces;
  f.MaxLength = FMaxLength > 0 ? FMaxLength : ctlMaxEditLength;
  f.Epoch = FEpoch != 0 ? FEpoch : Controller() ? Controller()->GetEpoch() : CenturyOfToday();
  return f;
}

// ---- properties ----

void TCtlBaseEntryField::SetMaxLength(int Value) {
  if (HasState(csLoading)) {
    FMaxLength = Value == 0 ? 0 : std::clamp(Value, 1, ctlMaxEditLength);
    return;
  }
  Value = std::clamp(Value, 1, ctlMaxEditLength);
  if (Value == FMaxLength || Value < MaskLength()) return;
  FMaxLength = Value;
  FModel.SetMaxLength(Value);
  FValueSize = 0;
  if (HandleAllocated()) RecreateWnd();
  Invalidate();
}

void TCtlBaseEntryField::SetOptions(TCtlEntryFieldOptions Value) {
  TCtlEntryFieldOptions added;
  for (int m = efoArrowIncDec; m <= efoTrimBlanks; ++m) {
    auto o = static_cast<TCtlEntryFieldOption>(m);
    if (Value.Contains(o) && !FOptions.Contains(o)) added.Include(o);
  }
  if (added.Contains(efoForceInsert)) Value.Exclude(efoForceOvertype);
  else if (added.Contains(efoForceOvertype)) Value.Exclude(efoForceInsert);
  if (Value.Contains(efoForceInsert) && Value.Contains(efoForceOvertype)) Value.Exclude(efoForceOvertype);
  if (added.Contains(efoRightJustify) && DataType() == pftString) Value.Include(efoTrimBlanks);
  if (FFieldKind == ctlPictureField && DataType() == pftString && !Value.Contains(efoTrimBlanks))
    Value.Exclude(efoRightJustify);
  bool alignChanged = Value.Contains(efoRightAlign) != FOptions.Contains(efoRightAlign);
  FOptions = Value;
  if (alignChanged) {
    FRightAligned = FOptions.Contains(efoRightAlign);
    UpdateCaret();
  }
  ApplyOptionRules();
  FValueSize = 0;
  Invalidate();
}

void TCtlBaseEntryField::ApplyOptionRules() {
  if (HasState(csLoading) || FFieldKind != ctlPictureField) return;
  TPictureDataType t = DataType();
  if (t == pftChar || t == pftBoolean || t == pftYesNo) {
    for (auto o : {efoCaretToEnd, efoForceInsert, efoTrimBlanks, efoRightJustify, efoStripLiterals}) FOptions.Exclude(o);
  } else if (IsNumericType(t)) {
    FOptions.Exclude(efoTrimBlanks).Exclude(efoStripLiterals);
  } else if (t == pftDate || t == pftTime) {
    FOptions.Exclude(efoTrimBlanks).Exclude(efoRightJustify).Exclude(efoStripLiterals);
  }
}

void TCtlBaseEntryField::SetPadChar(char Value) {
  if (Value != FPadChar) storeAndRepaint(*this, FPadChar, Value);
}

void TCtlBaseEntryField::SetPasswordChar(char Value) {
  FPasswordChar = Value;
  if (Value == 0) FOptions.Exclude(efoPasswordMode);
  Invalidate();
}

void TCtlBaseEntryField::SetTextMargin(int Value) {
  if (Value >= 2 && Value != FTextMargin) storeAndRepaint(*this, FTextMargin, Value);
}

void TCtlBaseEntryField::SetUninitialized(bool Value) {
  FUninitialized = Value;
  ApplyOptionRules();
  Invalidate();
}

void TCtlBaseEntryField::SetZeroDisplay(TZeroDisplay Value) { storeAndRepaint(*this, FZeroDisplay, Value); }

void TCtlBaseEntryField::SetZeroDisplayValue(double Value) { storeAndRepaint(*this, FZeroDisplayValue, Value); }

void TCtlBaseEntryField::SetAutoSize(bool Value) {
  if (Value == FAutoSize) return;
  FAutoSize = Value;
  AdjustHeight();
}

void TCtlBaseEntryField::SetBorderStyle(TBorderStyle Value) {
  if (Value == FBorderStyle) return;
  FBorderStyle = Value;
  if (HandleAllocated()) RecreateWnd();
  fixTextTop();
  Invalidate();
}

void TCtlBaseEntryField::SetCtl3D(bool Value) {
  if (Value == FCtl3D) return;
  FCtl3D = Value;
  AdjustHeight();
  fixTextTop();
  Invalidate();
}

void TCtlBaseEntryField::SetControlCharColor(TColor Value) { storeAndRepaint(*this, FControlCharColor, Value); }

void TCtlBaseEntryField::SetDecimalPlaces(uint8_t Value) {
  if (Value == FDecimalPlaces) return;
  FDecimalPlaces = Value;
  if (HandleAllocated()) RecreateWnd();
}

void TCtlBaseEntryField::SetBounds(int left, int top, int width, int height) {
  static thread_local bool adjusting = false;
  if (height != Height() && FAutoSize && !adjusting && !HasState(csLoading) && HandleAllocated()) FAutoSize = false;
  TCtlFlagScope scope(adjusting);
  TCtlCustomControlEx::SetBounds(left, top, width, height);
  fixTextTop();
}

void TCtlBaseEntryField::CMEnabledChanged(TMessage& m) {
  TCtlCustomControlEx::CMEnabledChanged(m);
  Invalidate();
}

// ---- text, caret and selection ----

void TCtlBaseEntryField::SetSelection(int Start, int End) {
  if (End < Start) return;
  if (FFieldKind == ctlNumericField && End > Start) {
    Start = 0;
    End = FModel.Length();
  }
  FModel.SetSelection(Start, End);
  Invalidate();
}

void TCtlBaseEntryField::SetInsertMode(bool Value) {
  FModel.SetInsertMode(Value);
  FCarets->SetInsertMode(Value);
}

void TCtlBaseEntryField::MoveCaret(int Delta) {
  if (!FHasFocus) return;
  TMessage m;
  for (int i = 0; i < std::abs(Delta); ++i) EditCommand(Delta > 0 ? ccRight : ccLeft, m);
}

void TCtlBaseEntryField::Restore() {
  FModel.SetText(FModel.SavedText());
  FModel.SetCaret(FOptions.Contains(efoCaretToEnd) ? FModel.Length() : 0);
  FModel.SelectAll();
  FModel.SetModified(false);
  UpdateCaret();
  Invalidate();
  DoOnChange();
}

#include "controls/ctlEntryField.h"

#include <cmath>
#include <cstring>

#include "controls/ctlCommand.h"
#include "controls/ctlController.h"
#include "controls/ctlExcept.h"
#include "controls/ctlHelpers.h"
#include "controls/ctlMessages.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Menus.h"
#include "platform/gdi/Edges.h"
#include "platform/gdi/SystemMetrics.h"
#include "platform/win/Clipboard.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/Windows.h"

namespace {

constexpr int idParameterInvalid = 30372;
constexpr int idRestore = 30373;
constexpr int idCut = 30374;
constexpr int idCopy = 30375;
constexpr int idPaste = 30376;
constexpr int idDelete = 30377;
constexpr int idSelectAll = 30378;
constexpr int idValueNotValid = 30180;
constexpr int idEntryError = 30278;
constexpr int idFirstEntryError = 30179;  // the text of code 256; the codes up to 262 follow
constexpr int frameWidth = 2;             // the sunken edge of a bordered field
constexpr WPARAM MK_SHIFT_BIT = 0x0004;
constexpr int wordEnd = 0xFFFF;

// Sets a flag for the length of a scope.
class TFlagScope {
public:
  explicit TFlagScope(bool& flag) : FFlag(flag), FOld(flag) { flag = true; }
  ~TFlagScope() { FFlag = FOld; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;

private:
  bool& FFlag;
  bool FOld;
};

bool isEditingCommand(uint16_t code) {
  return code == ccBack || (code >= ccCtrlChar && code <= ccDelWord) || code == ccInc || code == ccPaste ||
         code == ccRestore || code == ccChar;
}

bool isBlankText(const AnsiString& s) { return s.find_first_not_of(' ') == AnsiString::npos; }

// Stores a property that only changes how the field looks, and repaints it.
template <class T>
void storeAndRepaint(TControl& field, T& property, T value) {
  property = value;
  field.Invalidate();
}

int lowWord(LPARAM v) { return static_cast<int16_t>(v & 0xFFFF); }
LPARAM MakeLParam(uint16_t low, uint16_t high) { return static_cast<LPARAM>(low | (uint32_t(high) << 16)); }

}  // namespace

AnsiString EntryErrorText(uint16_t Code, const AnsiString& ControllerText) {
  if (Code >= epeRange && Code <= epePartial) return CtlStringById(idFirstEntryError + (Code - epeRange));
  if (Code >= epeUserFirst && !ControllerText.empty()) return ControllerText;
  return CtlStringById(idEntryError);
}

// ---- colours ----

TCtlEfColors::TCtlEfColors()
    : FDisabled(clGrayText, clWindow), FError(clBlack, clRed), FHighlight(clHighlightText, clHighlight) {
  for (TCtlColors* c : {&FDisabled, &FError, &FHighlight})
    c->OnChange = [this] {
      if (OnChange) OnChange();
    };
}

void TCtlEfColors::Assign(const TPersistent* Source) {
  auto* other = dynamic_cast<const TCtlEfColors*>(Source);
  if (!other) {
    TPersistent::Assign(Source);
    return;
  }
  FDisabled.Assign(&other->FDisabled);
  FError.Assign(&other->FError);
  FHighlight.Assign(&other->FHighlight);
}

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

void TCtlBaseEntryField::ResetCharWidths() {
  FWidths.Update(Font().Handle());
  FCarets->SetCellHeight(FWidths.LineHeight());
  FCarets->SetCellWidth(FWidths.AveCharWidth() > 0 ? FWidths.AveCharWidth() : 1);
}

int TCtlBaseEntryField::TextWidth(const AnsiString& Text, int From, int Count) const {
  int w = 0;
  for (int i = From; i < From + Count && i < static_cast<int>(Text.size()); ++i) w += FWidths.Width(Text[std::size_t(i)]);
  return w;
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

// ---- values ----

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
    TFlagScope reading(FReadingValue);
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
  TFlagScope setting(FSettingValue);
  if ((FDataType & 63) > ctlLastDataType) throw ECtlException(CtlStringById(idParameterInvalid));
  TransferValue(const_cast<void*>(Buffer), 2);
}

int TCtlBaseEntryField::TransferValue(void* Buffer, int Direction) {
  int size = ValueSize();
  if (FFieldKind == ctlSimpleField && Buffer) {
    // A field without a mask holds its value as plain text.
    TPictureDataType t = DataType();
    auto* bytes = static_cast<uint8_t*>(Buffer);
    TCtlIntlSup& intl = IntlSup();
    if (Direction == 1) {
      AnsiString text = FModel.Text();
      if (t == pftString && FOptions.Contains(efoTrimBlanks)) text = Trim(text);
      TCtlRangeValue v{};
      if (t == pftString) {
        std::size_t n = std::min<std::size_t>(text.size(), std::size_t(size - 1));
        bytes[0] = static_cast<uint8_t>(n);
        std::memcpy(bytes + 1, text.data(), n);
      } else {
        char first = text.empty() ? ' ' : AnsiUpperChar(text[0]);
        if (t == pftChar) v = CtlValueFromInteger(t, static_cast<uint8_t>(text.empty() ? ' ' : text[0]));
        else if (t == pftBoolean) v = CtlValueFromInteger(t, first == intl.TrueChar());
        else if (t == pftYesNo) v = CtlValueFromInteger(t, first == intl.YesChar());
        else {
          try {
            v = CtlRangeFromText(rangeFormat(), text);
          } catch (const EInvalidRangeValue&) {
            v = CtlValueFromInteger(t, (t == pftDate || t == pftTime) ? -1 : 0);
          }
        }
        std::memcpy(bytes, v.data(), std::size_t(size));
      }
    } else {
      AnsiString text;
      if (t == pftString) {
        text.assign(reinterpret_cast<const char*>(bytes + 1), std::min<int>(bytes[0], size - 1));
      } else {
        TCtlRangeValue v{};
        std::memcpy(v.data(), bytes, std::size_t(size));
        if (t == pftChar) text = AnsiString(1, static_cast<char>(v[0]));
        else if (t == pftBoolean) text = AnsiString(1, v[0] ? intl.TrueChar() : intl.FalseChar());
        else if (t == pftYesNo) text = AnsiString(1, v[0] ? intl.YesChar() : intl.NoChar());
        else text = CtlRangeToText(rangeFormat(), v);
      }
      FModel.SetText(text);
    }
  }
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

// ---- checking ----

uint16_t TCtlBaseEntryField::ValidateText() {
  uint16_t code = 0;
  TPictureDataType t = DataType();
  if (FFieldKind == ctlSimpleField && t != pftString && !isBlankText(FModel.Text())) {
    try {
      TCtlRangeValue v = CtlRangeFromText(rangeFormat(), FModel.Text());
      if (IsNumericType(t)) {
        long double x = CtlValueToFloat(t, v.data());
        if (x < CtlValueToFloat(t, FRangeLo.data()) || x > CtlValueToFloat(t, FRangeHi.data())) code = epeRange;
      }
    } catch (const EInvalidRangeValue&) {
      code = t == pftDate ? epeInvalidDate : t == pftTime ? epeInvalidTime : IsNumericType(t) ? epeInvalidType : 0;
      if (IsIntegerType(t) && code == epeInvalidType) {
        // A number outside the type's own limits is out of range, not of the wrong type.
        int64_t n = 0;
        if (TryStrToInt(Trim(FModel.Text()), n)) code = epeRange;
      }
    }
  }
  DoOnUserValidation(code);
  return code;
}

// A required field left blank, or else what the text's own check finds; kept as the last error.
uint16_t TCtlBaseEntryField::checkText() {
  uint16_t code;
  if (FOptions.Contains(efoInputRequired) && !FOptions.Contains(efoReadOnly) &&
      (TextIsEmpty() || (FUninitialized && !FModel.Modified()))) {
    code = epeRequired;
  } else {
    TFlagScope validating(FValidating);
    code = ValidateText();
  }
  FLastError = code;
  return code;
}

bool TCtlBaseEntryField::TextIsEmpty() const { return isBlankText(FModel.Text()); }

uint16_t TCtlBaseEntryField::Validate(bool Report) {
  if (!Enabled()) return 0;
  uint16_t code = checkText();
  if (Report && code != 0 && HandleAllocated()) PostMessage(Handle(), ctlm_EntryError, code, 0);
  bool shown = code != 0 && FOptions.Contains(efoSoftValidation);
  if (shown != FErrorShown) {
    FErrorShown = shown;
    Invalidate();
  }
  return code;
}

bool TCtlBaseEntryField::ValidateAndReport(bool Soft) {
  if (!Visible() || !Enabled()) return true;
  uint16_t code = checkText();
  FModel.SetCaret(FModel.Caret());
  bool wasShown = FErrorShown;
  if (code == 0) {
    FErrorShown = false;
    if (wasShown) Invalidate();
    return true;
  }
  bool soft = FOptions.Contains(efoSoftValidation);
  if (soft) FErrorShown = true;
  if (wasShown != FErrorShown) Invalidate();
  if (Soft && soft) return true;
  FValidationFailed = true;
  TCtlController* c = Controller();
  if (c) c->PostSetFocus(this);
  if ((!c || !c->ErrorPending()) && HandleAllocated()) PostMessage(Handle(), ctlm_EntryError, code, 0);
  if (c) c->SetErrorPending(true);
  return false;
}

void TCtlBaseEntryField::entryError(uint16_t Code) {
  if (Code == 0) return;
  TCtlController* c = Controller();
  AnsiString text = EntryErrorText(Code, c ? c->ErrorText() : AnsiString());
  if (c && c->ErrorText() != text) c->SetErrorText(text);
  if (OnError) OnError(this, Code, text);
  else if (c) c->DoOnError(this, Code, text);
}

void TCtlBaseEntryField::DoOnChange() {
  if (!FChangeSuppressed && !FSettingValue && OnChange) OnChange(this);
}

void TCtlBaseEntryField::DoOnUserCommand(uint16_t Command) {
  if (OnUserCommand) OnUserCommand(this, Command);
}

void TCtlBaseEntryField::DoOnUserValidation(uint16_t& ErrorCode) {
  if (FInUserValidation || !OnUserValidation) return;
  TFlagScope inside(FInUserValidation);
  OnUserValidation(this, ErrorCode);
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
  TFlagScope scope(adjusting);
  TCtlCustomControlEx::SetBounds(left, top, width, height);
  fixTextTop();
}

void TCtlBaseEntryField::AdjustHeight() {
  if (!FAutoSize) return;
  int border = GetSystemMetrics(SM_CYBORDER);
  int height = FWidths.LineHeight() + (FCtl3D ? 8 : 6) * border;
  if (height != Height()) {
    bool autoSize = FAutoSize;
    TCtlCustomControlEx::SetBounds(Left(), Top(), Width(), height);
    FAutoSize = autoSize;
  }
  fixTextTop();
}

void TCtlBaseEntryField::fixTextTop() {
  bool bordered = FBorderStyle == bsSingle;
  int frame = bordered ? frameWidth : 0;
  FTextTop = frame + EntryTextTopMargin(Font(), bordered, Height() - 2 * frame, FCtl3D) + FBorders.TopBorder().Inset();
  if (FTextTop < 0) FTextTop = 0;
}

void TCtlBaseEntryField::CMFontChanged(TMessage& m) {
  TCtlCustomControlEx::CMFontChanged(m);
  ResetCharWidths();
  AdjustHeight();
  fixTextTop();
  Invalidate();
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

bool TCtlBaseEntryField::zeroHidden() {
  TPictureDataType t = DataType();
  if (!IsNumericType(t) || FHasFocus) return false;
  if (FZeroDisplay == zdShow || (FZeroDisplay == zdHideUntilModified && FModel.Modified())) return false;
  AnsiString text = Trim(NumberText());
  for (char& c : text)
    if (c == IntlSup().DecimalChar()) c = '.';
  long double v = 0;
  if (IsIntegerType(t)) {
    int32_t n = 0;
    if (!CtlTextToInteger(text, FRadix, n)) return false;
    v = n;
  } else if (!CtlTextToFloat(text, v)) {
    return false;
  }
  return v == static_cast<long double>(FZeroDisplayValue);
}

AnsiString TCtlBaseEntryField::GetDisplayString() {
  AnsiString s = FModel.Text();
  if (zeroHidden()) return AnsiString(s.size(), ' ');
  for (char& c : s)
    if (c >= 1 && c <= 31) c = static_cast<char>(c + 64);
  return s;
}

TRect TCtlBaseEntryField::TextArea() {
  int frame = FBorderStyle == bsSingle ? frameWidth : 0;
  return TRect{frame + FBorders.LeftBorder().Inset(), frame + FBorders.TopBorder().Inset(),
               Width() - frame - FBorders.RightBorder().Inset(), Height() - frame - FBorders.BottomBorder().Inset()};
}

void TCtlBaseEntryField::layoutView() {
  TRect area = TextArea();
  int room = area.Right - area.Left - 2 * FTextMargin;
  FRightAligned = FOptions.Contains(efoRightAlign) && TextWidth(GetDisplayString(), 0, FModel.Length()) <= room;
}

int TCtlBaseEntryField::CharAtPixel(int X) {
  layoutView();
  AnsiString shown = GetDisplayString();
  TRect area = TextArea();
  int x = area.Left + FTextMargin;
  int first = FFirstVisible;
  if (FRightAligned) {
    first = 0;
    x = area.Right - FTextMargin - TextWidth(shown, 0, static_cast<int>(shown.size()));
  }
  if (X < x) {
    int ave = FWidths.AveCharWidth() > 0 ? FWidths.AveCharWidth() : 1;
    return std::max(0, first - (x - X + ave - 1) / ave);
  }
  int pos = first;
  while (pos < static_cast<int>(shown.size())) {
    int w = FWidths.Width(shown[std::size_t(pos)]);
    if (x + w / 2 > X) break;
    x += w;
    ++pos;
  }
  return pos;
}

void TCtlBaseEntryField::UpdateCaret() {
  layoutView();
  AnsiString shown = GetDisplayString();
  int caret = FModel.Caret();
  TRect area = TextArea();
  int room = area.Right - area.Left - FTextMargin - 1;
  if (FRightAligned || FFieldKind == ctlNumericField) {
    FFirstVisible = 0;
  } else {
    if (caret < FFirstVisible) FFirstVisible = caret;
    while (FFirstVisible < caret && TextWidth(shown, FFirstVisible, caret - FFirstVisible) > room - FTextMargin) ++FFirstVisible;
    if (caret <= 1) FFirstVisible = 0;
  }
  int x;
  if (FRightAligned) x = area.Right - FTextMargin - TextWidth(shown, 0, static_cast<int>(shown.size())) + TextWidth(shown, 0, caret);
  else x = area.Left + FTextMargin + TextWidth(shown, FFirstVisible, caret - FFirstVisible);
  FCarets->SetPosition(x, FTextTop);
}

// ---- commands ----

void TCtlBaseEntryField::afterEdit(const TCtlEditResult& r) {
  if (r.Beep) ErrorBeep();
  FCarets->SetInsertMode(FModel.InsertMode());
  UpdateCaret();
  if (r.Changed) {
    FModel.SetModified(true);
    DoOnChange();
  }
  if (r.Repaint || r.Changed) Invalidate();
}

void TCtlBaseEntryField::EditCommand(uint16_t Command, TMessage& Msg) {
  if (Command == ccRestore) {
    FModel.SetCharArmed(false);
    Restore();
    return;
  }
  TCtlEditArgs args;
  switch (Command) {
    case ccChar: args.Char = static_cast<char>(Msg.WParam); break;
    case ccPaste:
      if (Msg.LParam) args.Text = reinterpret_cast<const char*>(Msg.LParam);
      break;
    case ccMouseDown: case ccMouseMove: case ccDblClick:
      args.Position = CharAtPixel(lowWord(Msg.LParam));
      args.Shift = (Msg.WParam & MK_SHIFT_BIT) != 0;
      break;
    default: break;
  }
  afterEdit(FModel.Command(Command, args));
}

void TCtlBaseEntryField::DoCommand(uint16_t Command, TMessage& Msg) {
  if (FOptions.Contains(efoReadOnly) && isEditingCommand(Command)) {
    FModel.SetCharArmed(false);
    ErrorBeep();
    return;
  }
  if (Command >= ccUserFirst) {
    DoOnUserCommand(Command);
    Command = ccInvalidSequence;
  }
  EditCommand(Command, Msg);
}

void TCtlBaseEntryField::CopyToClipboard() {
  // A password never leaves the field.
  if (FOptions.Contains(efoPasswordMode) || !FModel.HasSelection()) return;
  if (!OpenClipboard(HandleAllocated() ? Handle() : 0)) return;
  EmptyClipboard();
  SetClipboardText(FModel.SelText());
  CloseClipboard();
}

void TCtlBaseEntryField::CutToClipboard() {
  if (FOptions.Contains(efoPasswordMode)) return;
  CopyToClipboard();
  TMessage m;
  DoCommand(ccCut, m);
}

void TCtlBaseEntryField::PasteFromClipboard() {
  std::optional<AnsiString> text = GetClipboardText();
  if (!text) return;
  TMessage m;
  m.LParam = reinterpret_cast<LPARAM>(text->c_str());
  DoCommand(ccPaste, m);
}

void TCtlBaseEntryField::routeKey(uint16_t Code, TMessage& Msg) {
  if (Code == ccUndo) Code = ccRestore;
  if (Code == ccNone) return;
  if (Code == ccIns && (FOptions.Contains(efoForceInsert) || FOptions.Contains(efoForceOvertype))) return;
  switch (Code) {
    case ccCopy: case ccCut: case ccPaste: FModel.SetCharArmed(false); break;
    default: break;
  }
  switch (Code) {
    case ccCopy: CopyToClipboard(); return;
    case ccCut: CutToClipboard(); return;
    case ccPaste: PasteFromClipboard(); return;
    default: DoCommand(Code, Msg); return;
  }
}

void TCtlBaseEntryField::showPopup(int X, int Y) {
  if (PopupMenu()) return;
  if (!FHasFocus && CanFocus()) SetFocus();
  bool password = FOptions.Contains(efoPasswordMode);
  bool readOnly = FOptions.Contains(efoReadOnly);
  bool selection = FModel.HasSelection();
  TPopupMenu menu(nullptr);
  auto add = [&](int id, bool enabled, std::function<void()> action) {
    auto* item = new TMenuItem(&menu);
    item->SetCaption(id ? CtlStringById(id) : AnsiString("-"));
    item->SetEnabled(enabled);
    if (action) item->OnClick = [action](TObject*) { action(); };
    menu.Items().Add(item);
  };
  add(idRestore, FModel.Modified(), [this] {
    Restore();
    UpdateCaret();
  });
  add(0, true, nullptr);
  add(idCut, selection && !readOnly && !password, [this] { CutToClipboard(); });
  add(idCopy, selection && !password, [this] { CopyToClipboard(); });
  add(idPaste, !readOnly && IsClipboardFormatAvailable(CF_TEXT), [this] { PasteFromClipboard(); });
  add(idDelete, selection && !readOnly, [this] {
    TMessage m;
    DoCommand(ccCut, m);
  });
  add(0, true, nullptr);
  add(idSelectAll, FModel.SelEnd() - FModel.SelStart() < FModel.Length(), [this] {
    SendMessage(Handle(), EM_SETSEL, 0, MakeLParam(0, uint16_t(wordEnd)));
  });
  TPoint p = ClientToScreen(TPoint{X, Y});
  menu.Popup(p.X, p.Y);
}

void TCtlBaseEntryField::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_KEYDOWN: {
      TCtlCustomControlEx::WndProc(m);
      auto key = static_cast<uint16_t>(m.WParam);
      if (key == 0 || key == VK_SHIFT || !Controller() || HasState(csDesigning)) return;
      routeKey(Controller()->EntryCommands().TranslateKey(key), m);
      return;
    }
    case WM_SYSKEYDOWN: {
      auto key = static_cast<uint16_t>(m.WParam);
      TCtlCustomControlEx::WndProc(m);
      if (key == VK_TAB || key == VK_MENU || !Controller() || HasState(csDesigning)) return;
      routeKey(Controller()->EntryCommands().TranslateKey(key), m);
      // Alt with keypad digits makes one character, which comes when Alt is let go.
      if (key >= VK_NUMPAD0 && key <= VK_NUMPAD0 + 9) FModel.SetCharArmed(true);
      return;
    }
    case WM_CHAR:
      TCtlCustomControlEx::WndProc(m);
      if (!FModel.CharArmed() || (m.WParam & 0xFF) == 0) return;
      DoCommand(ccChar, m);
      return;
    case WM_LBUTTONDOWN:
      if (!FHasFocus) {
        FModel.Collapse();
        FFocusByMouse = true;
        if (CanFocus()) SetFocus();
        FFocusByMouse = false;
      }
      TCtlCustomControlEx::WndProc(m);
      if (FHasFocus) {
        SetCapture(Handle());
        DoCommand(ccMouseDown, m);
      }
      return;
    case WM_MOUSEMOVE:
      TCtlCustomControlEx::WndProc(m);
      if (FHasFocus && GetCapture() == Handle() && GetKeyState(PrimaryMouseButton()) < 0) DoCommand(ccMouseMove, m);
      return;
    case WM_LBUTTONUP:
      TCtlCustomControlEx::WndProc(m);
      if (GetCapture() == Handle()) ReleaseCapture();
      return;
    case WM_LBUTTONDBLCLK:
      TCtlCustomControlEx::WndProc(m);
      if (FHasFocus) DoCommand(ccDblClick, m);
      return;
    case WM_RBUTTONUP:
      TCtlCustomControlEx::WndProc(m);
      if (!PopupMenu()) showPopup(lowWord(m.LParam), lowWord(m.LParam >> 16));
      return;
    case EM_GETSEL:
      if (m.WParam) *reinterpret_cast<uint32_t*>(m.WParam) = static_cast<uint32_t>(FModel.SelStart());
      if (m.LParam) *reinterpret_cast<uint32_t*>(m.LParam) = static_cast<uint32_t>(FModel.SelEnd());
      m.Result = MakeLParam(static_cast<uint16_t>(FModel.SelStart()), static_cast<uint16_t>(FModel.SelEnd()));
      return;
    case EM_SETSEL: {
      int start = static_cast<int>(m.LParam & 0xFFFF), end = static_cast<int>((m.LParam >> 16) & 0xFFFF);
      if (start == wordEnd) FModel.Collapse();
      else if (start == 0 && end == wordEnd) FModel.SelectAll();
      else if (end >= start) FModel.SetSelection(start, end);
      Invalidate();
      return;
    }
    case EM_GETMODIFY: m.Result = FModel.Modified() ? 1 : 0; return;
    case EM_SETMODIFY: FModel.SetModified(m.WParam != 0); return;
    case WM_GETDLGCODE:
      if (HasState(csDesigning)) {
        m.Result = 0x100;
        return;
      }
      TCtlCustomControlEx::WndProc(m);
      m.Result |= DLGC_WANTARROWS | DLGC_WANTCHARS;
      return;
    case WM_SETTEXT: {
      FModel.SelectAll();
      TMessage paste;
      paste.LParam = m.LParam;
      DoCommand(ccPaste, paste);
      m.Result = 1;
      return;
    }
    case WM_COPY: CopyToClipboard(); return;
    case WM_CUT: CutToClipboard(); return;
    case WM_CLEAR: {
      TMessage del;
      DoCommand(ccCut, del);
      return;
    }
    case WM_PASTE: PasteFromClipboard(); return;
    case WM_ERASEBKGND: m.Result = 1; return;
    case ctlm_EntryError: entryError(static_cast<uint16_t>(m.WParam)); return;
    case ctlm_ValueSize: m.Result = ValueSize(); return;
    default: break;
  }
  TCtlCustomControlEx::WndProc(m);
}

// ---- focus ----

void TCtlBaseEntryField::WMSetFocus(TMessage& m) {
  if (HasState(csLoading) || HasState(csDesigning)) {
    TCtlCustomControlEx::WMSetFocus(m);
    return;
  }
  enter(static_cast<HWND>(m.WParam));
  TCtlCustomControlEx::WMSetFocus(m);
  if (FOptions.Contains(efoForceInsert)) FModel.SetInsertMode(true);
  if (FOptions.Contains(efoForceOvertype)) FModel.SetInsertMode(false);
  FCarets->SetInsertMode(FModel.InsertMode());
  FCarets->SetLinked(true);
  FCarets->SetVisible(true);
  if (FSelectOnEntry && EntryOptions().Contains(efoAutoSelect)) FModel.SelectAll();
  FSelectOnEntry = false;
  UpdateCaret();
  Invalidate();
}

void TCtlBaseEntryField::enter(HWND Losing) {
  TCtlController* c = Controller();
  // 1. Focused; a half-typed key sequence is dropped.
  FHasFocus = true;
  if (c) c->EntryCommands().ResetCommandProcessor();
  // 2. Back after a failed check: whatever held the mouse lets go.
  if (FValidationFailed && Losing) {
    SendMessage(Losing, WM_CANCELMODE);
    TPoint p{0, 0};
    GetCursorPos(p);
    SendMessage(Losing, WM_LBUTTONUP, 0, MakeLParam(static_cast<uint16_t>(p.X), static_cast<uint16_t>(p.Y)));
  }
  // 3. The insert state carries from field to field.
  if (c && !FOptions.Contains(efoForceInsert) && !FOptions.Contains(efoForceOvertype)) FModel.SetInsertMode(c->InsertState());
  // 4. Coming back from another form leaves caret and selection as they were.
  bool otherPending = c && c->ErrorPending() && !FValidationFailed;
  if (FLeavingForm) {
    FLeavingForm = false;
  } else {
    if (otherPending) {
      FEnteredQuietly = true;
    } else {
      if (!FValidationFailed) FModel.SetModified(false);
      if (c) c->PostPreEdit(this, Losing);
      FModel.SaveText();
    }
    if (!FFocusByMouse) {
      FModel.SetCaret(FOptions.Contains(efoCaretToEnd) ? FModel.Length() : 0);
      FModel.Collapse();
      FSelectOnEntry = true;
    }
  }
  // 5. The failure is over once the field has the focus back.
  FValidationFailed = false;
  if (c && !otherPending) c->SetErrorPending(false);
}

void TCtlBaseEntryField::WMKillFocus(TMessage& m) {
  if (HasState(csLoading) || HasState(csDesigning)) {
    TCtlCustomControlEx::WMKillFocus(m);
    return;
  }
  auto gaining = static_cast<HWND>(m.WParam);
  // 1. Only another control of the same form keeps the focus on the form.
  TWinControl* gainer = gaining ? FindControl(gaining) : nullptr;
  bool stays = gainer && gainer != this && GetParentForm(gainer) == GetParentForm(this);
  FLeavingForm = !stays;
  // 2. Caret and mouse let go.
  FCarets->SetVisible(false);
  FCarets->SetLinked(false);
  if (GetCapture() == Handle()) ReleaseCapture();
  TCtlCustomControlEx::WMKillFocus(m);
  leave(stays ? gaining : 0);
  Invalidate();
}

void TCtlBaseEntryField::leave(HWND Gaining) {
  TCtlController* c = Controller();
  bool stays = !FLeavingForm;
  // 3. The next field adopts this one's mode.
  if (c && !FOptions.Contains(efoForceInsert) && !FOptions.Contains(efoForceOvertype)) c->SetInsertState(FModel.InsertMode());
  // 4. The check, unless a failure is pending or the field was entered quietly.
  if (!FValidationFailed && !FEnteredQuietly && stays) {
    if (FModel.Modified()) FUninitialized = false;
    if (c && c->IsSpecialControl(Gaining)) {
      TFlagScope validating(FValidating);
      bool modified = FModel.Modified();
      FLastError = ValidateText();
      FModel.SetModified(modified);
    } else {
      ValidateAndReport(true);
    }
  }
  // 5. No longer focused; the post-edit notice when all is well.
  FHasFocus = false;
  bool pending = FValidationFailed || FEnteredQuietly || (c && c->ErrorPending());
  if (stays && !pending && c) c->PostPostEdit(this, Gaining);
  FEnteredQuietly = false;
  // 6. The view returns to the start.
  if (stays) {
    FModel.SetCaret(0);
    FModel.Collapse();
    FFirstVisible = 0;
  }
}

// ---- painting ----

void TCtlBaseEntryField::Paint() {
  int w = Width(), h = Height();
  if (w <= 0 || h <= 0) return;
  TBitmap face;
  face.SetSize(w, h);
  TCanvas& c = face.Canvas();
  bool enabled = Enabled();
  TColor back = !enabled ? FEFColors.Disabled().BackColor() : FErrorShown ? FEFColors.Error().BackColor() : Color();
  TColor fore = !enabled ? FEFColors.Disabled().TextColor() : FErrorShown ? FEFColors.Error().TextColor() : Font().Color();
  c.Brush().SetColor(back);
  c.FillRect(TRect{0, 0, w, h});
  if (FBorderStyle == bsSingle) {
    TRect r{0, 0, w, h};
    if (FCtl3D) DrawEdge(*c.Handle(), r, EDGE_SUNKEN, BF_RECT);
    else {
      c.Brush().SetColor(clWindowFrame);
      c.FrameRect(r);
    }
  }
  c.Font().Assign(&Font());
  layoutView();
  AnsiString shown = GetDisplayString();
  const AnsiString& text = FModel.Text();
  int first = FFirstVisible;
  if (FFieldKind == ctlNumericField) {
    while (!shown.empty() && shown.back() == ' ') shown.pop_back();
  }
  TRect area = TextArea();
  int x = area.Left + FTextMargin;
  if (FRightAligned || FFieldKind == ctlNumericField) {
    first = 0;
    x = area.Right - FTextMargin - TextWidth(shown, 0, static_cast<int>(shown.size()));
  }
  TDeviceContext& dc = *c.Handle();
  int saved = dc.SaveDC();
  dc.IntersectClipRect(area.Left, area.Top, area.Right, area.Bottom);
  dc.SelectFont(Font().Handle());
  dc.SetBkMode(TRANSPARENT);
  bool selection = FHasFocus && FModel.HasSelection();
  for (int i = first; i < static_cast<int>(shown.size()) && x < area.Right; ++i) {
    char ch = shown[std::size_t(i)];
    int cw = FWidths.Width(ch);
    bool selected = selection && i >= FModel.SelStart() && i < FModel.SelEnd();
    bool control = i < static_cast<int>(text.size()) && text[std::size_t(i)] >= 1 && text[std::size_t(i)] <= 31;
    TColor color = control ? FControlCharColor : fore;
    if (selected) {
      dc.FillRect(TRect{x, FTextTop, x + cw, FTextTop + FWidths.LineHeight()}, SolidBrush(FEFColors.Highlight().BackColor()));
      color = FEFColors.Highlight().TextColor();
    }
    dc.SetTextColor(ColorToRGB(color));
    dc.TextOut(x, FTextTop, std::string_view(&shown[std::size_t(i)], 1));
    x += cw;
  }
  dc.RestoreDC(saved);
  Canvas().Draw(0, 0, &face);
  FBorders.Draw(Canvas(), w, h);
}

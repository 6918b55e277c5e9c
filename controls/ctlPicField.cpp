#include "controls/ctlPicField.h"

#include <cmath>
#include <cstring>

#include "controls/ctlDates.h"
#include "controls/ctlExcept.h"
#include "controls/ctlHelpers.h"
#include "platform/classlib/Forms.h"

namespace {

constexpr int idParameterInvalid = 30372;
constexpr const char* DefaultStringMask = "XXXXXXXXXXXXXXX";

}  // namespace

TCtlCustomPictureField::TCtlCustomPictureField(TComponent* AOwner) : TCtlPictureBase(AOwner) {
  SetMaskText(DefaultStringMask);
  BuildPicture();
  Model().SetText(Picture().Merge("", Intl(), MergeOptions()));
}

// ---- properties ----

void TCtlCustomPictureField::SetDataType(TPictureDataType Value) {
  if (Value == DataType()) return;
  // The old value means nothing under the new type.
  FCreatedBefore = false;
  FHasValue = false;
  SetDataTypeCode(uint8_t(Value | ctlPictureFieldMark));
  SetOptions(Options().Include(efoCaretToEnd));
  const AnsiString mask = DefaultPictureMask(Value, IntlSup());
  SetMaskText(mask);
  SetMaxLength(int(mask.size()));
  SetDecimalPlaces(0);
  BuildPicture();
  showValue(initialValue());
  if (HandleAllocated()) RecreateWnd();
}

void TCtlCustomPictureField::SetPictureMask(const AnsiString& Value) {
  if (Value.empty() || Value == PictureMask()) return;
  const TPictureDataType t = DataType();
  if (HasState(csDesigning) && Value.find('.') != AnsiString::npos && !(t >= pftReal && t <= pftSingle))
    throw EInvalidPictureMask(Value);
  SetPicture(Value);
  if (HandleAllocated()) RecreateWnd();
}

void TCtlCustomPictureField::SetEpoch(int Value) {
  if (Value != 0 && (Value < ctlMinEpoch || Value > ctlMaxEpoch)) return;
  if (Controller() && Value == Controller()->GetEpoch()) Value = 0;
  SetFieldEpoch(Value);
}

int TCtlCustomPictureField::EffectiveEpoch() {
  if (FieldEpoch() != 0) return FieldEpoch();
  int epoch = 0;
  if (OnGetEpoch) OnGetEpoch(this, epoch);
  return epoch != 0 ? epoch : TCtlPictureBase::EffectiveEpoch();
}

void TCtlCustomPictureField::SetInitDateTime(bool Value) {
  FInitDateTime = Value;
  if (HasState(csLoading) || (DataType() != pftDate && DataType() != pftTime)) return;
  TCtlPicValue v = initialValue();
  if (Value) v.Int = DataType() == pftDate ? TodayDate() : NowTime();
  showValue(v);
}

void TCtlCustomPictureField::SetAsString(const AnsiString& Value) {
  if (InUserValidation()) return;
  const TPictureDataType t = DataType();
  if (t != pftDate && t != pftTime) {
    TCtlPictureBase::SetAsString(Value);
    return;
  }
  const AnsiString& mask = Picture().Mask();
  TCtlDate v = -1;
  if (Value.size() == mask.size())
    v = t == pftDate ? IntlSup().DateFromDateText(mask, Value, EffectiveEpoch()) : IntlSup().TimeFromTimeText(mask, Value);
  const TCtlRangeValue buffer = CtlValueFromInteger(t, v);
  SetValue(buffer.data());
}

void TCtlCustomPictureField::Assign(const TPersistent* Source) {
  const auto* src = dynamic_cast<const TCtlCustomPictureField*>(Source);
  if (!src) {
    TCtlPictureBase::Assign(Source);
    return;
  }
  auto& from = const_cast<TCtlCustomPictureField&>(*src);
  SetDataType(from.DataType());
  SetAutoSize(from.AutoSize());
  SetBorderStyle(from.BorderStyle());
  SetColor(from.Color());
  SetControlCharColor(from.ControlCharColor());
  SetDecimalPlaces(from.DecimalPlaces());
  SetFieldEpoch(from.FieldEpoch());
  EFColors().Error().Assign(&from.EFColors().Error());
  EFColors().Highlight().Assign(&from.EFColors().Highlight());
  SetInitDateTime(from.InitDateTime());
  SetPictureMask(from.PictureMask());
  SetMaxLength(from.MaxLength());
  SetOptions(from.Options());
  SetPadChar(from.PadChar());
  SetPasswordChar(from.PasswordChar());
  SetRangeHi(from.RangeHi());
  SetRangeLo(from.RangeLo());
  SetTextMargin(from.TextMargin());
  SetUninitialized(from.Uninitialized());
  SetZeroDisplay(from.ZeroDisplay());
  SetZeroDisplayValue(from.ZeroDisplayValue());
}

// ---- values ----

TCtlPicConvContext TCtlCustomPictureField::ConvContext() {
  TCtlPicConvContext c;
  const TPictureDataType t = DataType();
  c.DataType = t;
  c.Mask = &Picture();
  c.Intl = Intl();
  c.IntlSup = &IntlSup();
  c.TrimBlanks = Options().Contains(efoTrimBlanks);
  c.StripLiterals = Options().Contains(efoStripLiterals);
  c.RightJustify = Options().Contains(efoRightJustify);
  c.DecimalPlaces = DecimalPlaces();
  c.Epoch = EffectiveEpoch();
  const auto range = [t](const TCtlRangeValue& raw, TCtlPicValue& v) {
    if (IsFloatType(t)) v.Float = CtlValueToFloat(t, raw.data());
    else if (t == pftChar) v.Char = char(raw[0]);
    else v.Int = int32_t(CtlValueToInteger(t, raw.data()));
  };
  range(RangeLoValue(), c.RangeLo);
  range(RangeHiValue(), c.RangeHi);
  return c;
}

TCtlPicValue TCtlCustomPictureField::initialValue() {
  const TCtlPicConvContext c = ConvContext();
  TCtlPicValue v;
  const TPictureDataType t = DataType();
  if (t == pftChar) {
    v.Char = uint8_t(c.RangeLo.Char) > ' ' || uint8_t(c.RangeHi.Char) < ' ' ? c.RangeLo.Char : ' ';
  } else if (IsIntegerType(t)) {
    v.Int = c.RangeLo.Int > 0 || c.RangeHi.Int < 0 ? c.RangeLo.Int : 0;
  } else if (IsFloatType(t)) {
    v.Float = c.RangeLo.Float > 0 || c.RangeHi.Float < 0 ? c.RangeLo.Float : 0;
    if (t == pftComp) v.Float = std::nearbyint(v.Float);
  } else if (t == pftDate || t == pftTime) {
    v.Int = -1;
  }
  return v;
}

TCtlPicValue TCtlCustomPictureField::readBuffer(const void* buffer) {
  const TPictureDataType t = DataType();
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  TCtlPicValue v;
  if (t == pftString) v.Str.assign(reinterpret_cast<const char*>(bytes + 1), std::min<int>(bytes[0], ValueSize() - 1));
  else if (t == pftChar) v.Char = char(bytes[0]);
  else if (t == pftBoolean || t == pftYesNo) v.Bool = bytes[0] != 0;
  else if (IsFloatType(t)) v.Float = CtlValueToFloat(t, buffer);
  else v.Int = int32_t(CtlValueToInteger(t, buffer));
  return v;
}

void TCtlCustomPictureField::writeBuffer(void* buffer, const TCtlPicValue& v) {
  const TPictureDataType t = DataType();
  auto* bytes = static_cast<uint8_t*>(buffer);
  if (t == pftString) {
    const std::size_t n = std::min<std::size_t>(v.Str.size(), std::size_t(std::max(ValueSize() - 1, 0)));
    bytes[0] = uint8_t(n);
    std::memcpy(bytes + 1, v.Str.data(), n);
    return;
  }
  TCtlRangeValue raw{};
  if (t == pftChar) raw[0] = uint8_t(v.Char);
  else if (t == pftBoolean || t == pftYesNo) raw[0] = v.Bool ? 1 : 0;
  else if (IsFloatType(t)) raw = CtlValueFromFloat(t, v.Float);
  else raw = CtlValueFromInteger(t, v.Int);
  std::memcpy(bytes, raw.data(), std::size_t(ValueSize()));
}

void TCtlCustomPictureField::showValue(const TCtlPicValue& v) {
  Model().SetText(PictureValueToText(ConvContext(), v));
  SetEditForm(false);
  if (HasFocus()) EnterEditForm();
  Invalidate();
}

int TCtlCustomPictureField::TransferValue(void* Buffer, int Direction) {
  if (!Buffer) return 0;
  if (DataType() > ctlLastDataType) throw ECtlException(CtlStringById(idParameterInvalid));
  if (Direction == 1) {
    writeBuffer(Buffer, PictureTextToValue(ConvContext(), EditText()));
  } else {
    showValue(readBuffer(Buffer));
    FHasValue = true;
  }
  const int size = TCtlPictureBase::TransferValue(Buffer, Direction);
  // The caret stands on an edit position: the end of the text is the end rule's.
  if (Direction == 2 && HasFocus()) {
    const int sel0 = SelStart(), sel1 = SelEnd();
    Model().SetCaret(Options().Contains(efoCaretToEnd) ? Picture().EndPos(EditText()) : Picture().HomePos());
    Model().SetSelection(sel0, sel1);
    UpdateCaret();
  }
  return size;
}

uint16_t TCtlCustomPictureField::ValidateText() {
  if (DataType() > ctlLastDataType) throw ECtlException(CtlStringById(idParameterInvalid));
  const TCtlPicConvContext c = ConvContext();
  const bool live = HasFocus() && !ReadingValue();
  if (Picture().DecimalPos() >= 0 && Modified()) Model().SetText(Picture().DecimalFixup(EditText()));
  uint16_t code = PictureCheckText(c, EditText());
  const TPictureDataType t = DataType();
  if (t == pftString) {
    if (live && c.TrimBlanks) {
      const AnsiString trimmed = Picture().Merge(Trim(EditText()), c.Intl, MergeOptions());
      if (trimmed != EditText()) {
        Model().SetText(trimmed);
        Invalidate();
      }
    }
  } else if (code == 0 && live && (IsNumericType(t) || t == pftDate || t == pftTime)) {
    // The normal form of what the user typed.
    AnsiString normal = PictureValueToText(c, PictureTextToValue(c, EditText()));
    if (EditForm()) normal = Picture().ToEditForm(normal, c.Intl);
    if (normal != EditText()) {
      const int caret = CaretPos();
      Model().SetText(normal);
      Model().SetCaret(caret);
      Invalidate();
    }
  }
  DoOnUserValidation(code);
  return code;
}

void TCtlCustomPictureField::CreateWnd() {
  const bool keep = FCreatedBefore || FHasValue;
  const TCtlPicValue saved = keep ? PictureTextToValue(ConvContext(), EditText()) : TCtlPicValue{};
  TCtlPictureBase::CreateWnd();
  const TPictureDataType t = DataType();
  if (RangeLoValue() == RangeHiValue()) SetRangeValues(CtlDefaultRangeLo(t), CtlDefaultRangeHi(t));
  TCtlPicValue v = keep ? saved : initialValue();
  if (!FCreatedBefore && !keep && FInitDateTime && (t == pftDate || t == pftTime))
    v.Int = t == pftDate ? TodayDate() : NowTime();
  showValue(v);
  FCreatedBefore = true;
}

// ---- editing ----

void TCtlCustomPictureField::IncreaseValue(bool Wrap, double Delta) {
  if (!HasFocus()) return;
  const std::optional<TCtlPicValue> v = PictureStepValue(ConvContext(), EditText(), CaretPos(), Wrap, Delta);
  if (!v) return;
  const int caret = CaretPos();
  showValue(*v);
  Model().SetCaret(caret);
  Model().Collapse();
  SetModified(true);
  DoOnChange();
  UpdateCaret();
}

TCtlPicEditKind TCtlCustomPictureField::editKind() const {
  const TPictureDataType t = DataType();
  if (IsSinglePositionType(t)) return TCtlPicEditKind::SinglePosition;
  if (IsIntegerType(t)) return TCtlPicEditKind::Integer;
  if (IsFloatType(t)) return TCtlPicEditKind::Floating;
  if (t == pftDate) return TCtlPicEditKind::Date;
  if (t == pftTime) return TCtlPicEditKind::Time;
  return TCtlPicEditKind::String;
}

TCtlPicEditState TCtlCustomPictureField::editState() {
  TCtlPicEditState s;
  s.Text = EditText();
  s.Caret = CaretPos();
  s.SelStart = SelStart();
  s.SelEnd = SelEnd();
  s.MovingEnd = s.HasSelection() ? FMovingEnd : s.Caret;
  s.InsertMode = InsertMode();
  s.Armed = Model().CharArmed();
  s.LiteralNext = FLiteralNext;
  s.EditForm = EditForm();
  return s;
}

void TCtlCustomPictureField::storeEditState(const TCtlPicEditState& s) {
  Model().SetText(s.Text);
  Model().SetSelection(s.SelStart, s.SelEnd);
  Model().SetCaret(s.Caret);
  Model().SetCharArmed(s.Armed);
  FMovingEnd = s.MovingEnd;
  FLiteralNext = s.LiteralNext;
  SetEditForm(s.EditForm);
  if (s.InsertMode != InsertMode()) SetInsertMode(s.InsertMode);
}

void TCtlCustomPictureField::focusNext(bool forward) {
  if (TCustomForm* form = GetParentForm(this)) form->Perform(WM_NEXTDLGCTL, forward ? 0 : 1, 0);
}

void TCtlCustomPictureField::EditCommand(uint16_t Command, TMessage& Msg) {
  if (DataType() > ctlLastDataType) return;
  TCtlPicEditState s = editState();
  TCtlPicEditArg arg;
  switch (Command) {
    case ccChar: arg.Ch = char(Msg.WParam); break;
    case ccPaste:
      if (Msg.LParam) arg.Text = reinterpret_cast<const char*>(Msg.LParam);
      break;
    case ccMouseDown:
    case ccMouseMove:
    case ccDblClick:
      arg.X = int16_t(Msg.LParam & 0xFFFF);
      arg.Shift = (Msg.WParam & MK_SHIFT) != 0;
      break;
    default: break;
  }
  TCtlPicEditHost host;
  host.Beep = [this] { ErrorBeep(); };
  host.FocusNext = [this](bool forward) { focusNext(forward); };
  host.IncreaseValue = [this, &s](bool wrap, double delta) {
    IncreaseValue(wrap, delta);
    s = editState();
  };
  host.Restore = [this, &s] {
    Restore();
    SetEditForm(false);
    s = editState();
  };
  host.Copy = [this](const AnsiString&) { CopyToClipboard(); };
  host.TodayText = [this] { return IntlSup().DateTextFromDate(Picture().Mask(), TodayDate(), false); };
  host.NowText = [this] { return IntlSup().TimeTextFromTime(Picture().Mask(), NowTime(), false); };
  host.CharAtPixel = [this](int x) { return CharAtPixel(x); };
  TCtlPicEditOptions options;
  const TCtlBaseEFOptions entry = EntryOptions();
  options.ArrowIncDec = Options().Contains(efoArrowIncDec);
  options.ReadOnly = Options().Contains(efoReadOnly);
  options.AutoAdvanceChar = entry.Contains(efoAutoAdvanceChar);
  options.AutoAdvanceLeftRight = entry.Contains(efoAutoAdvanceLeftRight);
  options.AutoAdvanceUpDown = entry.Contains(efoAutoAdvanceUpDown);
  options.InsertPushes = entry.Contains(efoInsertPushes);
  const TCtlMaskIntl intl = Intl();
  TCtlPictureEditor editor(Picture(), intl, editKind(), options, std::move(host));
  const TCtlPicEditResult r = editor.Command(s, Command, arg);
  storeEditState(s);
  UpdateCaret();
  if (r.Changed()) {
    SetModified(true);
    DoOnChange();
  }
  if (r.Repaint()) Invalidate();
}

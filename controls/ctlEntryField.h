// The engine of every single-line entry field: the edit text and its picture mask text, the typed
// value, range, options, selection and carets, the routing of keys, characters, mouse and clipboard
// into command codes, the painting, and the check of the text when the focus leaves. Its parts:
// ctlEntryKeys.cpp (input), ctlEntryPaint.cpp (look and scrolling), ctlEntryChecks.cpp (checks,
// errors and focus).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "controls/ctlBorders.h"
#include "controls/ctlCaret.h"
#include "controls/ctlController.h"
#include "controls/ctlCustomControl.h"
#include "controls/ctlEfColors.h"
#include "controls/ctlEntryModel.h"
#include "controls/ctlEntryValues.h"
#include "controls/ctlIntlSup.h"
#include "controls/ctlUserData.h"
#include "platform/classlib/ControlPaint.h"

class TPopupMenu;
class TMenuItem;

// The standard edit messages an entry field answers.
constexpr UINT EM_GETSEL = 0x00B0;
constexpr UINT EM_SETSEL = 0x00B1;
constexpr UINT EM_GETMODIFY = 0x00B8;
constexpr UINT EM_SETMODIFY = 0x00B9;

// Entry error codes; 0 is none, 0x8000 and above are the user's own.
constexpr uint16_t epeRange = 256;
constexpr uint16_t epeInvalidType = 257;
constexpr uint16_t epeRequired = 258;
constexpr uint16_t epeInvalidDate = 259;
constexpr uint16_t epeInvalidTime = 260;
constexpr uint16_t epeBlanks = 261;
constexpr uint16_t epePartial = 262;
constexpr uint16_t epeUserFirst = 0x8000;
// The text shown for an entry error code.
AnsiString EntryErrorText(uint16_t Code, const AnsiString& ControllerText);

enum TCtlEntryFieldOption : uint8_t {
  efoArrowIncDec, efoCaretToEnd, efoForceInsert, efoForceOvertype, efoInputRequired, efoPasswordMode,
  efoReadOnly, efoRightAlign, efoRightJustify, efoSoftValidation, efoStripLiterals, efoTrimBlanks,
};

// A set of entry field options; bit n is member n.
class TCtlEntryFieldOptions {
public:
  TCtlEntryFieldOptions() = default;
  TCtlEntryFieldOptions(std::initializer_list<TCtlEntryFieldOption> members) {
    for (TCtlEntryFieldOption m : members) FBits |= bit(m);
  }
  bool Contains(TCtlEntryFieldOption m) const { return FBits & bit(m); }
  TCtlEntryFieldOptions& Include(TCtlEntryFieldOption m) { FBits |= bit(m); return *this; }
  TCtlEntryFieldOptions& Exclude(TCtlEntryFieldOption m) { FBits &= static_cast<uint16_t>(~bit(m)); return *this; }
  uint16_t Bits() const { return FBits; }
  friend bool operator==(TCtlEntryFieldOptions, TCtlEntryFieldOptions) = default;

private:
  static uint16_t bit(TCtlEntryFieldOption m) { return static_cast<uint16_t>(1u << m); }
  uint16_t FBits = 0;
};

enum TZeroDisplay : uint8_t { zdShow, zdHide, zdHideUntilModified };

// Field kinds: the picture layer's fields are kind 1.
constexpr uint8_t ctlSimpleField = 0;
constexpr uint8_t ctlPictureField = 1;
constexpr uint8_t ctlNumericField = 2;

class TCtlBaseEntryField;
using TCtlUserCommandEvent = std::function<void(TCtlBaseEntryField* Sender, uint16_t Command)>;
using TCtlUserValidationEvent = std::function<void(TCtlBaseEntryField* Sender, uint16_t& ErrorCode)>;
using TCtlFieldErrorEvent = std::function<void(TCtlBaseEntryField* Sender, uint16_t ErrorCode, const AnsiString& ErrorMsg)>;

class TCtlBaseEntryField : public TCtlCustomControlEx {
public:
  explicit TCtlBaseEntryField(TComponent* AOwner);
  ~TCtlBaseEntryField() override;
  AnsiString ClassName() const override { return "TCtlBaseEntryField"; }

  // ---- values ----
  TPictureDataType DataType() const { return static_cast<TPictureDataType>(FDataType & 63); }
  bool IsPictureField() const { return FDataType & ctlPictureFieldMark; }
  uint8_t FieldKind() const { return FFieldKind; }
  // The typed value's size in bytes.
  int ValueSize();
  // Reads the value into Buffer after checking the text: 0, or the error code (nothing read).
  int GetValue(void* Buffer);
  void SetValue(const void* Buffer);
  virtual AnsiString AsString();
  virtual void SetAsString(const AnsiString& Value);
  int32_t AsInteger();
  void SetAsInteger(int32_t Value);
  TCtlDate AsDate();
  void SetAsDate(TCtlDate Value);
  TCtlTime AsTime();
  void SetAsTime(TCtlTime Value);
  AnsiString RangeHi() const { return rangeText(FRangeHi); }
  void SetRangeHi(const AnsiString& Value) { FRangeHi = CtlRangeFromText(rangeFormat(), Value); }
  AnsiString RangeLo() const { return rangeText(FRangeLo); }
  void SetRangeLo(const AnsiString& Value) { FRangeLo = CtlRangeFromText(rangeFormat(), Value); }
  const TCtlRangeValue& RangeHiValue() const { return FRangeHi; }
  const TCtlRangeValue& RangeLoValue() const { return FRangeLo; }
  void SetRangeValues(const TCtlRangeValue& Lo, const TCtlRangeValue& Hi) {
    FRangeLo = Lo;
    FRangeHi = Hi;
  }
  uint16_t LastError() const { return FLastError; }
  // The field's own epoch, 0 when it uses the controller's.
  int FieldEpoch() const { return FEpoch; }
  void SetFieldEpoch(int Value) { FEpoch = Value; }
  // The epoch two-digit years are read with.
  virtual int EffectiveEpoch();
  TCtlIntlSup& IntlSup() const { return CtlIntlSup(); }
  TCtlUserData& UserData() const { return CtlUserData(); }

  // ---- text, caret and selection ----
  const AnsiString& EditText() const { return FModel.Text(); }
  const AnsiString& PictureMask() const { return FMask; }
  int MaskLength() const { return static_cast<int>(FMask.size()); }
  int CaretPos() const { return FModel.Caret(); }
  int FirstVisible() const { return FFirstVisible; }
  int SelStart() const { return FModel.SelStart(); }
  int SelEnd() const { return FModel.SelEnd(); }
  void SetSelection(int Start, int End);
  bool Modified() const { return FModel.Modified(); }
  void SetModified(bool Value) { FModel.SetModified(Value); }
  bool InsertMode() const { return FModel.InsertMode(); }
  void SetInsertMode(bool Value);
  void MoveCaret(int Delta);
  virtual void Restore();
  // The edit text as drawn: control characters as letters, a password as password characters,
  // numbers hidden by ZeroDisplay.
  virtual AnsiString GetDisplayString();

  // ---- properties ----
  int MaxLength() const { return FMaxLength; }
  void SetMaxLength(int Value);
  TCtlEntryFieldOptions Options() const { return FOptions; }
  void SetOptions(TCtlEntryFieldOptions Value);
  char PadChar() const { return FPadChar; }
  void SetPadChar(char Value);
  char PasswordChar() const { return FPasswordChar; }
  void SetPasswordChar(char Value);
  int TextMargin() const { return FTextMargin; }
  void SetTextMargin(int Value);
  bool Uninitialized() const { return FUninitialized; }
  void SetUninitialized(bool Value);
  TZeroDisplay ZeroDisplay() const { return FZeroDisplay; }
  void SetZeroDisplay(TZeroDisplay Value);
  double ZeroDisplayValue() const { return FZeroDisplayValue; }
  void SetZeroDisplayValue(double Value);
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  bool Ctl3D() const { return FCtl3D; }
  void SetCtl3D(bool Value);
  TCtlBorders& Borders() { return FBorders; }
  TColor ControlCharColor() const { return FControlCharColor; }
  void SetControlCharColor(TColor Value);
  uint8_t DecimalPlaces() const { return FDecimalPlaces; }
  void SetDecimalPlaces(uint8_t Value);
  TCtlEfColors& EFColors() { return FEFColors; }
  TCtlCaretPair& Carets() { return *FCarets; }
  TCtlCaret* CaretIns() const { return FCarets->InsertCaret(); }
  void SetCaretIns(TCtlCaret* Value) { FCarets->SetInsertCaret(Value); }
  TCtlCaret* CaretOvr() const { return FCarets->OverwriteCaret(); }
  void SetCaretOvr(TCtlCaret* Value) { FCarets->SetOverwriteCaret(Value); }
  void SetBounds(int left, int top, int width, int height) override;

  // ---- state ----
  bool HasFocus() const { return FHasFocus; }
  bool ErrorShown() const { return FErrorShown; }
  bool Validating() const { return FValidating; }
  bool InUserValidation() const { return FInUserValidation; }
  bool SettingValue() const { return FSettingValue; }
  bool ReadingValue() const { return FReadingValue; }
  bool RightAligned() const { return FRightAligned; }
  // How the mask writes integers: hexadecimal, octal or binary when it holds 'K', 'O' or 'b'.
  TCtlRadix Radix() const { return FRadix; }
  int TextTop() const { return FTextTop; }

  // ---- checking ----
  // The error code of the text without reporting, or with Report posted as an entry error.
  virtual uint16_t Validate(bool Report);
  // The check when the focus leaves: false keeps the field (it takes the focus back).
  virtual bool ValidateAndReport(bool Soft);

  // ---- commands ----
  // Runs one command code on the text, caret and selection: the base only routes, the picture
  // layer decides what a command does.
  virtual void EditCommand(uint16_t Command, TMessage& Msg) = 0;
  // Routes a command code as a key would (read-only refusal, user commands, clipboard).
  void DoCommand(uint16_t Command, TMessage& Msg);
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();

  TNotifyEvent OnChange;
  TCtlUserCommandEvent OnUserCommand;
  TCtlUserValidationEvent OnUserValidation;
  TCtlFieldErrorEvent OnError;

protected:
  // ---- for the picture layer ----
  TCtlEntryModel& Model() { return FModel; }
  void SetDataTypeCode(uint8_t Code);
  void SetFieldKind(uint8_t Kind) { FFieldKind = Kind; }
  void SetMaskText(const AnsiString& Mask);
  void SetEditText(const AnsiString& Text);
  void SetFirstVisible(int Value) { FFirstVisible = Value < 0 ? 0 : Value; }
  void SetLastError(uint16_t Code) { FLastError = Code; }
  void SetErrorShown(bool Value) { FErrorShown = Value; }
  // Text to value (direction 1) or value to text (2); answers the value size.
  virtual int TransferValue(void* Buffer, int Direction);
  // The check of the text by type: 0 or an error code.
  virtual uint16_t ValidateText();
  // Option rules after a change of options, data type or Uninitialized.
  virtual void ApplyOptionRules();
  // Characters at the non-literal positions; the base has no literals.
  virtual int LiteralCount() const { return 0; }
  // Nothing typed: the literals a mask shows do not count.
  virtual bool TextIsEmpty() const;
  // The text a number is read from for the zero display.
  virtual AnsiString NumberText() const { return EditText(); }
  void DoOnChange();
  void DoOnUserCommand(uint16_t Command);
  void DoOnUserValidation(uint16_t& ErrorCode);
  // The character position under a client x coordinate.
  int CharAtPixel(int X);
  // Keeps the caret within the view, and the system caret on it.
  void UpdateCaret();
  // The character position the caret is drawn before.
  virtual int CaretCell() const { return FModel.Caret(); }
  void ResetCharWidths();
  int CharWidth(char Ch) const { return FWidths.Width(Ch); }
  int TextWidth(const AnsiString& Text, int From, int Count) const;
  // A beep when the controller's options ask for one.
  void ErrorBeep();
  // The edit text's left pixel and the area it is drawn in.
  TRect TextArea();
  TCtlBaseEFOptions EntryOptions() const;

  void CreateWnd() override;
  void WndProc(TMessage& message) override;
  void Paint() override;
  void CMFontChanged(TMessage& m) override;
  void CMEnabledChanged(TMessage& m) override;
  void WMSetFocus(TMessage& m) override;
  void WMKillFocus(TMessage& m) override;
  virtual void AdjustHeight();

private:
  AnsiString rangeText(const TCtlRangeValue& v) const { return CtlRangeToText(rangeFormat(), v); }
  TCtlRangeFormat rangeFormat() const;
  void checkType(bool Ok) const;
  int32_t integerValue(TPictureDataType Type, int32_t None);
  uint16_t checkText();
  void routeKey(uint16_t Code, TMessage& Msg);
  void showPopup(int X, int Y);
  void entryError(uint16_t Code);
  void enter(HWND Losing);
  void leave(HWND Gaining);
  void fixTextTop();
  bool zeroHidden();
  void layoutView();

  int FEpoch = 0;
  uint16_t FLastError = 0;
  int FMaxLength = 15;
  TCtlEntryFieldOptions FOptions{efoCaretToEnd, efoTrimBlanks};
  char FPadChar = ' ';
  char FPasswordChar = '*';
  int FTextMargin = 2;
  bool FUninitialized = false;
  TZeroDisplay FZeroDisplay = zdShow;
  double FZeroDisplayValue = 0;
  bool FAutoSize = true;
  TBorderStyle FBorderStyle = bsSingle;
  bool FCtl3D = true;
  TCtlBorders FBorders;
  TColor FControlCharColor = clRed;
  uint8_t FDecimalPlaces = 0;
  TCtlEfColors FEFColors;
  std::unique_ptr<TCtlCaretPair> FCarets;
  int FValueSize = 0;
  uint8_t FDataType = pftString;
  TCtlEntryModel FModel;
  uint8_t FFieldKind = ctlSimpleField;
  int FFirstVisible = 0;
  AnsiString FMask = "X";
  TCtlRangeValue FRangeHi{};
  TCtlRangeValue FRangeLo{};
  bool FRightAligned = false;
  int FTextTop = 0;
  TCharWidths FWidths;
  // State flags.
  bool FHasFocus = false;
  bool FErrorShown = false;
  bool FValidating = false;
  bool FInUserValidation = false;
  bool FSettingValue = false;
  bool FReadingValue = false;
  bool FChangeSuppressed = false;
  bool FValidationFailed = false;
  bool FFocusByMouse = false;
  bool FEnteredQuietly = false;
  bool FLeavingForm = false;
  bool FSelectOnEntry = false;
  TCtlRadix FRadix = crDecimal;
};

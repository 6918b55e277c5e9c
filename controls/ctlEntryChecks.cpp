// The entry field's checks: the text validated when the focus leaves, entry errors and their
// texts, the field's events, and what entering and leaving a field do.
#include "controls/ctlEntryField.h"

#include "controls/ctlController.h"
#include "controls/ctlHelpers.h"
#include "controls/ctlMessages.h"
#include "platform/classlib/Forms.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Windows.h"

namespace {

constexpr int idEntryError = 30278;
constexpr int idFirstEntryError = 30179;  // the text of code 256; the codes up to 262 follow

bool isBlankText(const AnsiString& s) { return s.find_first_not_of(' ') == AnsiString::npos; }

}  // namespace

AnsiString EntryErrorText(uint16_t Code, const AnsiString& ControllerText) {
  if (Code >= epeRange && Code <= epePartial) return CtlStringById(idFirstEntryError + (Code - epeRange));
  if (Code >= epeUserFirst && !ControllerText.empty()) return ControllerText;
  return CtlStringById(idEntryError);
}

uint16_t TCtlBaseEntryField::ValidateText() {
  uint16_t code = 0;
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
    TCtlFlagScope validating(FValidating);
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
  TCtlFlagScope inside(FInUserValidation);
  OnUserValidation(this, ErrorCode);
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
    SendMessage(Losing, WM_LBUTTONUP, 0, MAKELPARAM(static_cast<uint16_t>(p.X), static_cast<uint16_t>(p.Y)));
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
      TCtlFlagScope validating(FValidating);
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

// The entry field's input: keys, characters and the mouse routed into command codes, the clipboard,
// the popup menu and the standard edit messages.
#include "controls/ctlEntryField.h"

#include "controls/ctlCommand.h"
#include "controls/ctlController.h"
#include "controls/ctlHelpers.h"
#include "controls/ctlMessages.h"
#include "platform/classlib/Menus.h"
#include "platform/win/Clipboard.h"
#include "platform/win/Input.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/Windows.h"

namespace {

constexpr int idRestore = 30373;
constexpr int idCut = 30374;
constexpr int idCopy = 30375;
constexpr int idPaste = 30376;
constexpr int idDelete = 30377;
constexpr int idSelectAll = 30378;
constexpr int wordEnd = 0xFFFF;

bool isEditingCommand(uint16_t code) {
  return code == ccBack || (code >= ccCtrlChar && code <= ccDelWord) || code == ccInc || code == ccPaste ||
         code == ccRestore || code == ccChar;
}

int lowWord(LPARAM v) { return static_cast<int16_t>(v & 0xFFFF); }

}  // namespace

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
    SendMessage(Handle(), EM_SETSEL, 0, MAKELPARAM(0, uint16_t(wordEnd)));
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
      m.Result = MAKELPARAM(static_cast<uint16_t>(FModel.SelStart()), static_cast<uint16_t>(FModel.SelEnd()));
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

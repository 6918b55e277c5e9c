#include "controls/ctlEntryModel.h"

#include "controls/ctlCommand.h"

namespace {

int clampTo(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }
bool isBlank(char c) { return c == ' '; }

// Commands after which the selection stays as it is.
bool keepsSelection(uint16_t code, bool shift) {
  switch (code) {
    case ccCopy: case ccCut: case ccPaste: case ccExtendEnd: case ccExtendHome: case ccExtendLeft:
    case ccExtendRight: case ccExtWordLeft: case ccExtWordRight: case ccRestore: case ccMouseMove:
    case ccDblClick:
      return true;
    case ccMouseDown: return shift;
    default: return false;
  }
}

}  // namespace

void TCtlEntryModel::SetText(std::string_view Value) {
  FText.assign(Value.substr(0, std::size_t(FMaxLength)));
  FCaret = clampTo(FCaret, 0, Length());
  FSelStart = clampTo(FSelStart, 0, Length());
  FSelEnd = clampTo(FSelEnd, FSelStart, Length());
  FMovingEnd = clampTo(FMovingEnd, 0, Length());
}

void TCtlEntryModel::SetMaxLength(int Value) {
  FMaxLength = clampTo(Value, 1, ctlMaxEditLength);
  if (Length() > FMaxLength) SetText(FText);
}

void TCtlEntryModel::SetCaret(int Value) { FCaret = clampTo(Value, 0, Length()); }

void TCtlEntryModel::SetSelection(int Start, int End) {
  if (End < Start) return;
  FSelStart = clampTo(Start, 0, Length());
  FSelEnd = clampTo(End, 0, Length());
  FMovingEnd = FSelEnd;
}

void TCtlEntryModel::Collapse() { FSelStart = FSelEnd = FMovingEnd = FCaret; }

void TCtlEntryModel::ExtendTo(int Position) {
  Position = clampTo(Position, 0, Length());
  int fixed = !HasSelection() ? FCaret : FMovingEnd == FSelStart ? FSelEnd : FSelStart;
  FMovingEnd = FCaret = Position;
  FSelStart = fixed < Position ? fixed : Position;
  FSelEnd = fixed < Position ? Position : fixed;
}

bool TCtlEntryModel::DeleteSelection() {
  if (!HasSelection()) return false;
  FText.erase(std::size_t(FSelStart), std::size_t(FSelEnd - FSelStart));
  FCaret = FSelStart;
  Collapse();
  return true;
}

bool TCtlEntryModel::InsertText(std::string_view Value) {
  bool changed = DeleteSelection();
  AnsiString kept;
  for (char c : Value)
    if (static_cast<unsigned char>(c) >= ' ') kept += c;
  std::size_t room = std::size_t(FMaxLength - Length());
  if (kept.size() > room) kept.resize(room);
  if (kept.empty()) return changed;
  FText.insert(std::size_t(FCaret), kept);
  FCaret += static_cast<int>(kept.size());
  Collapse();
  return true;
}

bool TCtlEntryModel::TypeChar(char Ch) {
  bool overwrite = !FInsertMode && FCaret < Length() && !HasSelection();
  if (!overwrite && Length() - (FSelEnd - FSelStart) >= FMaxLength) return false;
  DeleteSelection();
  if (overwrite) FText[std::size_t(FCaret)] = Ch;
  else FText.insert(std::size_t(FCaret), 1, Ch);
  ++FCaret;
  Collapse();
  return true;
}

int TCtlEntryModel::WordLeftOf(int Position) const {
  while (Position > 0 && isBlank(FText[std::size_t(Position - 1)])) --Position;
  while (Position > 0 && !isBlank(FText[std::size_t(Position - 1)])) --Position;
  return Position;
}

int TCtlEntryModel::WordRightOf(int Position) const {
  while (Position < Length() && !isBlank(FText[std::size_t(Position)])) ++Position;
  while (Position < Length() && isBlank(FText[std::size_t(Position)])) ++Position;
  return Position;
}

TCtlEditResult TCtlEntryModel::restore() {
  TCtlEditResult r;
  r.Changed = FText != FSavedText;
  FText = FSavedText.substr(0, std::size_t(FMaxLength));
  FCaret = Length();
  SelectAll();
  FModified = false;
  r.Repaint = true;
  return r;
}

TCtlEditResult TCtlEntryModel::Command(uint16_t Code, const TCtlEditArgs& Args) {
  TCtlEditResult r;
  if (Code == ccCtrlChar) FLiteralNext = true;
  else if (Code != ccChar && Code != ccNotCommand) FLiteralNext = false;
  bool armed = FCharArmed;
  FCharArmed = false;
  int oldCaret = FCaret;
  switch (Code) {
    case ccBack:
      if (HasSelection()) r.Changed = DeleteSelection();
      else if (FCaret > 0) {
        FText.erase(std::size_t(--FCaret), 1);
        r.Changed = true;
      }
      break;
    case ccCut: r.Changed = DeleteSelection(); break;
    case ccDel:
      if (HasSelection()) r.Changed = DeleteSelection();
      else if (FCaret < Length()) {
        FText.erase(std::size_t(FCaret), 1);
        r.Changed = true;
      }
      break;
    case ccDelBol:
      r.Changed = FCaret > 0;
      FText.erase(0, std::size_t(FCaret));
      FCaret = 0;
      break;
    case ccDelEol:
      r.Changed = FCaret < Length();
      FText.erase(std::size_t(FCaret));
      break;
    case ccDelLine:
      r.Changed = !FText.empty();
      FText.clear();
      FCaret = 0;
      break;
    case ccDelWord:
      if (HasSelection()) r.Changed = DeleteSelection();
      else if (FCaret < Length()) {
        FText.erase(std::size_t(FCaret), std::size_t(WordRightOf(FCaret) - FCaret));
        r.Changed = true;
      }
      break;
    case ccEnd: FCaret = Length(); break;
    case ccHome: FCaret = 0; break;
    case ccLeft: FCaret = clampTo(FCaret - 1, 0, Length()); break;
    case ccRight: FCaret = clampTo(FCaret + 1, 0, Length()); break;
    case ccWordLeft: FCaret = WordLeftOf(FCaret); break;
    case ccWordRight: FCaret = WordRightOf(FCaret); break;
    case ccExtendEnd: ExtendTo(Length()); break;
    case ccExtendHome: ExtendTo(0); break;
    case ccExtendLeft: ExtendTo((HasSelection() ? FMovingEnd : FCaret) - 1); break;
    case ccExtendRight: ExtendTo((HasSelection() ? FMovingEnd : FCaret) + 1); break;
    case ccExtWordLeft: ExtendTo(WordLeftOf(HasSelection() ? FMovingEnd : FCaret)); break;
    case ccExtWordRight: ExtendTo(WordRightOf(HasSelection() ? FMovingEnd : FCaret)); break;
    case ccIns: FInsertMode = !FInsertMode; break;
    case ccPaste: r.Changed = InsertText(Args.Text); break;
    case ccRestore: r = restore(); break;
    case ccChar: {
      if (!armed || Args.Char == 0) return r;
      bool control = static_cast<unsigned char>(Args.Char) < ' ';
      if ((control && !FLiteralNext) || !TypeChar(Args.Char)) r.Beep = true;
      else r.Changed = true;
      FLiteralNext = false;
      break;
    }
    case ccMouseDown:
      if (Args.Shift) ExtendTo(Args.Position);
      else FCaret = clampTo(Args.Position, 0, Length());
      break;
    case ccMouseMove: ExtendTo(Args.Position); break;
    case ccDblClick: {
      int p = clampTo(Args.Position, 0, Length());
      int a = p, b = p;
      while (a > 0 && !isBlank(FText[std::size_t(a - 1)])) --a;
      while (b < Length() && !isBlank(FText[std::size_t(b)])) ++b;
      FCaret = b;
      SetSelection(a, b);
      break;
    }
    case ccCopy: case ccInvalidSequence: case ccPartial: break;
    case ccCtrlChar: case ccNotCommand:
    default:
      FCharArmed = true;
      return r;
  }
  if (!keepsSelection(Code, Args.Shift)) Collapse();
  r.Repaint = r.Changed || FCaret != oldCaret || keepsSelection(Code, Args.Shift) || Code == ccIns;
  return r;
}

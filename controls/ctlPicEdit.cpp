#include "controls/ctlPicEdit.h"

#include <algorithm>
#include <vector>

#include "controls/ctlCommand.h"

TCtlPictureEditor::TCtlPictureEditor(const TCtlPictureMask& Mask, const TCtlMaskIntl& Intl, TCtlPicEditKind Kind,
                                     TCtlPicEditOptions Options, TCtlPicEditHost Host)
    : FMask(Mask), FIntl(Intl), FKind(Kind), FOptions(Options), FHost(std::move(Host)) {}

bool TCtlPictureEditor::numeric() const {
  return FKind == TCtlPicEditKind::Integer || FKind == TCtlPicEditKind::Floating;
}

void TCtlPictureEditor::beep() {
  if (FHost.Beep) FHost.Beep();
}

int TCtlPictureEditor::pixelPos(int x) const {
  const int pos = FHost.CharAtPixel ? FHost.CharAtPixel(x) : x;
  return std::clamp(pos, 0, FMask.MaxLength());
}

void TCtlPictureEditor::DeleteAt(TCtlPicEditState& State, int Pos) const {
  if (Pos < 0 || Pos > FMask.LastEditPos() || FMask.IsLiteral(Pos)) return;
  const int end = FMask.RunEnd(Pos);
  for (int i = Pos; i < end; ++i) State.Text[std::size_t(i)] = State.Text[std::size_t(i + 1)];
  State.Text[std::size_t(end)] = ' ';
}

bool TCtlPictureEditor::Insert(TCtlPicEditState& State, char Ch) const {
  if (FMask.FillsFromRight(State.Caret)) return pushLeft(State, Ch);
  const int pos = State.Caret;
  const int end = FMask.RunEnd(pos);
  if (!FOptions.InsertPushes && State.Text[std::size_t(end)] != ' ') return false;
  for (int i = end; i > pos; --i) State.Text[std::size_t(i)] = State.Text[std::size_t(i - 1)];
  State.Text[std::size_t(pos)] = Ch;
  State.Caret = FMask.NextEditPos(pos);
  return true;
}

std::vector<int> TCtlPictureEditor::wholeSlots() const {
  std::vector<int> slots;
  for (int i = 0; i < FMask.WholeEnd(); ++i)
    if (!FMask.IsLiteral(i)) slots.push_back(i);
  return slots;
}

// The slot a character typed at Caret goes to: on the units it is the new last digit, elsewhere
// it lands just left of the caret. Slots.size() when there is none.
std::size_t TCtlPictureEditor::typedSlot(const std::vector<int>& Slots, int Caret) {
  const auto at = std::size_t(std::find(Slots.begin(), Slots.end(), Caret) - Slots.begin());
  if (at + 1 >= Slots.size()) return at;
  return at == 0 ? Slots.size() : at - 1;
}

bool TCtlPictureEditor::pushLeft(TCtlPicEditState& State, char Ch) const {
  const std::vector<int> slots = wholeSlots();
  AnsiString& t = State.Text;
  AnsiString digits;
  for (int i : slots)
    if (t[std::size_t(i)] != ' ') digits += t[std::size_t(i)];
  // The zero a blank number shows is a placeholder, not a digit typed.
  if (digits == "0") t[std::size_t(slots.back())] = ' ';
  const std::size_t at = typedSlot(slots, State.Caret);
  if (at >= slots.size() || t[std::size_t(slots.front())] != ' ') return false;
  for (std::size_t k = 0; k < at; ++k) t[std::size_t(slots[k])] = t[std::size_t(slots[k + 1])];
  t[std::size_t(slots[at])] = Ch;
  return true;
}

bool TCtlPictureEditor::pullRight(TCtlPicEditState& State) const {
  const std::vector<int> slots = wholeSlots();
  AnsiString& t = State.Text;
  const std::size_t at = typedSlot(slots, State.Caret);
  if (at >= slots.size() || t[std::size_t(slots[at])] == ' ') return false;
  for (std::size_t k = at; k > 0; --k) t[std::size_t(slots[k])] = t[std::size_t(slots[k - 1])];
  t[std::size_t(slots.front())] = ' ';
  return true;
}

void TCtlPictureEditor::removeSelection(TCtlPicEditState& s) const {
  for (int i = std::min(s.SelEnd, FMask.LastEditPos() + 1); i-- > s.SelStart;) DeleteAt(s, i);
  s.Caret = FMask.ClipCaret(s.SelStart);
  s.SelStart = s.SelEnd = s.MovingEnd = s.Caret;
}

void TCtlPictureEditor::deleteSelection(TCtlPicEditState& s) {
  removeSelection(s);
  FCount = 10;
}

void TCtlPictureEditor::extendTo(TCtlPicEditState& s, int pos) const {
  int fixed = s.Caret;
  if (s.HasSelection()) fixed = s.MovingEnd == s.SelStart ? s.SelEnd : s.SelStart;
  s.MovingEnd = std::clamp(pos, 0, FMask.MaxLength());
  s.SelStart = std::min(fixed, s.MovingEnd);
  s.SelEnd = std::max(fixed, s.MovingEnd);
  s.Caret = s.MovingEnd;
}

bool TCtlPictureEditor::autoAdvance(int pos, bool isChar) {
  if (pos < FMask.FirstEditPos()) {
    if (!FOptions.AutoAdvanceLeftRight) return false;
    if (FHost.FocusNext) FHost.FocusNext(false);
    return true;
  }
  if (pos <= FMask.LastEditPos()) return false;
  if (isChar ? !FOptions.AutoAdvanceChar : !FOptions.AutoAdvanceLeftRight) return false;
  if (FHost.FocusNext) FHost.FocusNext(true);
  return true;
}

std::optional<char> TCtlPictureEditor::accepts(const TCtlPicEditState& s, char ch) const {
  if (uint8_t(ch) < 32 && !s.LiteralNext) return std::nullopt;
  const int pos = s.Caret;
  const char prev = pos > FMask.RunStart(pos) ? s.Text[std::size_t(pos - 1)] : ' ';
  if (FKind == TCtlPicEditKind::SinglePosition) return AcceptMaskChar(FMask.AcceptChar(pos), ch, ' ', FIntl);
  return AcceptMaskChar(FMask.AcceptChar(pos), ch, prev, FIntl);
}

TCtlPicEditResult TCtlPictureEditor::Command(TCtlPicEditState& State, uint16_t Code, const TCtlPicEditArg& Arg) {
  TCtlPicEditState& s = State;
  s.Text.resize(std::size_t(FMask.MaxLength()), ' ');
  FCount = s.HasSelection() ? 1 : 0;
  FKeepSelection = false;
  FSelecting = false;
  // One flag arms the field for the next character: the arming command, literal-next and unknown
  // codes set it, every other command clears it.
  const bool armed = s.Armed;
  s.Armed = false;
  if (Code == ccNotCommand) {
    s.Armed = true;
    return {};
  }
  const int oldCaret = s.Caret;
  if (Code == ccCtrlChar) {
    s.LiteralNext = true;
    s.Armed = true;
  } else if (!s.EditForm) {
    const AnsiString edit = FMask.ToEditForm(s.Text, FIntl);
    if (edit != s.Text) ++FCount;
    s.Text = edit;
    s.EditForm = true;
  }
  if (Code != ccCtrlChar && Code != ccChar) s.LiteralNext = false;

  if (FKind == TCtlPicEditKind::SinglePosition) single(s, Code, Arg, armed);
  else general(s, Code, Arg, armed);

  if (FSelecting) {
    ++FCount;
  } else if (!FKeepSelection) {
    s.SelStart = s.SelEnd = s.MovingEnd = s.Caret;
  }
  const int p = FMask.DecimalPos();
  if (p >= 0 && FKind != TCtlPicEditKind::SinglePosition) {
    AnsiString fixed = s.Text;
    if (oldCaret <= p && s.Caret > p) fixed = FMask.FixIntegerPart(s.Text);
    else if (oldCaret > p && s.Caret <= p) fixed = FMask.FixFraction(s.Text);
    if (fixed != s.Text) {
      s.Text = fixed;
      FCount = std::max(FCount, 10);
    }
  }
  return {FCount};
}

void TCtlPictureEditor::general(TCtlPicEditState& s, uint16_t code, const TCtlPicEditArg& arg, bool armed) {
  const int first = FMask.FirstEditPos();
  const int last = FMask.LastEditPos();
  const int end = FMask.EndOfText(s.Text);
  const auto moved = [&](int pos) {
    if (pos != s.Caret) ++FCount;
    s.Caret = pos;
  };
  switch (code) {
    case ccBack:
      if (s.HasSelection()) {
        deleteSelection(s);
      } else if (FMask.FillsFromRight(s.Caret)) {
        // The last digit typed goes, and the whole part closes up from the left.
        if (pullRight(s)) FCount = 10;
      } else if (s.Caret > first) {
        const int p = std::max(FMask.PrevEditPos(s.Caret), first);
        moved(p);
        if (p < end) {
          DeleteAt(s, p);
          FCount = 10;
        }
      }
      break;
    case ccCompleteDate:
      if (FKind == TCtlPicEditKind::Date && FHost.TodayText) complete(s, FHost.TodayText());
      break;
    case ccCompleteTime:
      if (FKind == TCtlPicEditKind::Time && FHost.NowText) complete(s, FHost.NowText());
      break;
    case ccCopy:
      if (s.HasSelection() && FHost.Copy) FHost.Copy(s.Text.substr(std::size_t(s.SelStart), std::size_t(s.SelEnd - s.SelStart)));
      FKeepSelection = true;
      break;
    case ccCtrlChar:
      break;
    case ccCut:
      if (s.HasSelection()) deleteSelection(s);
      FKeepSelection = true;
      break;
    case ccDec:
      if (FHost.IncreaseValue) FHost.IncreaseValue(true, -1);
      break;
    case ccDel:
      if (s.HasSelection()) {
        deleteSelection(s);
      } else if (s.Caret < end) {
        DeleteAt(s, s.Caret);
        FCount = 10;
      }
      break;
    case ccDelBol: {
      if (s.Caret > last) break;
      const int rs = FMask.RunStart(s.Caret);
      for (int k = s.Caret - rs; k > 0; --k) DeleteAt(s, rs);
      if (s.Caret != rs) FCount = 10;
      s.Caret = rs;
      break;
    }
    case ccDelEol: {
      if (s.Caret > last || s.Caret == FMask.RunEnd(s.Caret)) break;
      for (int i = s.Caret; i <= FMask.RunEnd(s.Caret); ++i) s.Text[std::size_t(i)] = ' ';
      FCount = 10;
      break;
    }
    case ccDelLine:
      s.Caret = first;
      for (int i = 0; i <= last; ++i)
        if (!FMask.IsLiteral(i)) s.Text[std::size_t(i)] = ' ';
      FCount = 10;
      break;
    case ccDelWord:
      if (s.HasSelection()) {
        deleteSelection(s);
      } else if (s.Caret < end) {
        const int re = FMask.RunEnd(s.Caret);
        int n = 0;
        for (int i = s.Caret; i <= re && s.Text[std::size_t(i)] != ' '; ++i) ++n;
        for (int i = s.Caret + n; i <= re && s.Text[std::size_t(i)] == ' '; ++i) ++n;
        for (; n > 0; --n) DeleteAt(s, s.Caret);
        FCount = 10;
      }
      break;
    case ccDown:
      if (FOptions.AutoAdvanceUpDown) {
        if (FHost.FocusNext) FHost.FocusNext(true);
      } else if (!FOptions.ArrowIncDec || FOptions.ReadOnly) {
        general(s, ccRight, arg, armed);
      } else if (FHost.IncreaseValue) {
        FHost.IncreaseValue(true, -1);
      }
      break;
    case ccEnd: moved(FMask.EndPos(s.Text)); break;
    case ccExtendEnd: extendTo(s, FMask.EndPos(s.Text)); FSelecting = true; break;
    case ccExtendHome:
      extendTo(s, 0);
      s.Caret = first;
      FSelecting = true;
      break;
    case ccExtendLeft:
      if (s.MovingEnd > 0) extendTo(s, (s.HasSelection() ? s.MovingEnd : s.Caret) - 1);
      FSelecting = true;
      break;
    case ccExtendRight:
      if (s.MovingEnd < FMask.MaxLength()) extendTo(s, (s.HasSelection() ? s.MovingEnd : s.Caret) + 1);
      FSelecting = true;
      break;
    case ccExtWordLeft: {
      int p = s.HasSelection() ? s.MovingEnd : s.Caret;
      while (p > 0 && s.Text[std::size_t(p - 1)] == ' ') --p;
      while (p > 0 && s.Text[std::size_t(p - 1)] != ' ') --p;
      extendTo(s, p);
      FSelecting = true;
      break;
    }
    case ccExtWordRight: {
      int p = s.HasSelection() ? s.MovingEnd : s.Caret;
      const int n = FMask.MaxLength();
      while (p < n && s.Text[std::size_t(p)] != ' ') ++p;
      while (p < n && s.Text[std::size_t(p)] == ' ') ++p;
      extendTo(s, p);
      FSelecting = true;
      break;
    }
    case ccHome: moved(first); break;
    case ccInc:
      if (FHost.IncreaseValue) FHost.IncreaseValue(true, 1);
      break;
    case ccIns:
      s.InsertMode = !s.InsertMode;
      ++FCount;
      break;
    case ccLeft:
      if (s.Caret > first) moved(std::max(FMask.PrevEditPos(s.Caret), first));
      else autoAdvance(-1, false);
      break;
    case ccPaste:
      paste(s, arg.Text);
      FKeepSelection = true;
      break;
    case ccRestore:
      if (FHost.Restore) FHost.Restore();
      s.EditForm = false;
      FSelecting = true;
      break;
    case ccRight:
      if (s.Caret > last) autoAdvance(last + 1, false);
      else moved(FMask.NextEditPos(s.Caret));
      break;
    case ccUp:
      if (FOptions.AutoAdvanceUpDown) {
        if (FHost.FocusNext) FHost.FocusNext(false);
      } else if (!FOptions.ArrowIncDec || FOptions.ReadOnly) {
        general(s, ccLeft, arg, armed);
      } else if (FHost.IncreaseValue) {
        FHost.IncreaseValue(true, 1);
      }
      break;
    case ccWordLeft: {
      if (s.Caret <= first) {
        autoAdvance(-1, false);
        break;
      }
      int p = s.Caret - 1;
      while (p > first && (s.Text[std::size_t(p)] == ' ' || FMask.IsLiteral(p))) --p;
      while (p > first && s.Text[std::size_t(p - 1)] != ' ' && !FMask.IsLiteral(p - 1)) --p;
      moved(p);
      break;
    }
    case ccWordRight: {
      int p = s.Caret;
      while (p <= last && s.Text[std::size_t(p)] != ' ' && !FMask.IsLiteral(p)) ++p;
      while (p <= last && (s.Text[std::size_t(p)] == ' ' || FMask.IsLiteral(p))) ++p;
      if (p > last) {
        autoAdvance(last + 1, false);
        moved(last);
      } else {
        moved(p);
      }
      break;
    }
    case ccChar: typeChar(s, arg.Ch, armed); break;
    case ccMouseDown: mouseDown(s, arg); break;
    case ccMouseMove: {
      extendTo(s, pixelPos(arg.X));
      if (!s.HasSelection()) s.Caret = std::min(s.Caret, FMask.EndPos(s.Text));
      FSelecting = true;
      break;
    }
    case ccDblClick: {
      if (FKind == TCtlPicEditKind::Floating) {
        s.SelStart = 0;
        s.SelEnd = FMask.MaxLength();
      } else {
        const int p = pixelPos(arg.X);
        int a = p, b = p;
        while (a > 0 && s.Text[std::size_t(a - 1)] != ' ') --a;
        while (b < FMask.MaxLength() && s.Text[std::size_t(b)] != ' ') ++b;
        s.SelStart = a;
        s.SelEnd = b;
      }
      s.MovingEnd = s.Caret = s.SelEnd;
      FSelecting = true;
      break;
    }
    case ccInvalidSequence:
    case ccPartial: break;
    default: s.Armed = true; break;
  }
}

void TCtlPictureEditor::typeChar(TCtlPicEditState& s, char ch, bool armed) {
  if (!armed || ch == 0) return;
  const bool literal = s.LiteralNext;
  s.LiteralNext = false;
  const int last = FMask.LastEditPos();
  bool decimal = false;
  const bool hadSelection = s.HasSelection();
  // A refused character leaves the selection for the next key.
  const auto refuse = [&] {
    FKeepSelection = hadSelection;
    beep();
  };
  if (numeric()) {
    if (ch == FIntl.DecimalChar) ch = '.', decimal = true;
    else if (ch == '.') return refuse();
  }
  const int p = FMask.DecimalPos();
  const bool point = p >= 0 && (decimal || (!numeric() && ch == FIntl.DecimalChar));
  // A typed character replaces the selection: it is tested where the selection starts.
  TCtlPicEditState probe = s;
  if (hadSelection) removeSelection(probe);
  probe.LiteralNext = literal;
  const std::optional<char> ok = probe.Caret <= last ? accepts(probe, ch) : std::nullopt;
  if (hadSelection) {
    if (!ok && !point) return refuse();
    probe.LiteralNext = false;
    s = probe;
    FCount = 10;
  }
  if (point) {
    s.Text = FMask.FixIntegerPart(s.Text);
    s.Caret = FMask.NextEditPos(p);
    FCount = 10;
    return;
  }
  if (s.Caret > last) {
    if (!autoAdvance(s.Caret, true)) refuse();
    return;
  }
  if (ok) {
    const char c = ok.value_or(ch);  // value_or: gcc cannot see that ok holds a value here
    if (s.InsertMode || FMask.FillsFromRight(s.Caret)) {
      if (!Insert(s, c)) return refuse();
    } else {
      s.Text[std::size_t(s.Caret)] = c;
      s.Caret = FMask.NextEditPos(s.Caret);
    }
    FCount = 10;
    autoAdvance(s.Caret, true);
    return;
  }
  const bool separator = (FKind == TCtlPicEditKind::Date && ch == FIntl.DateSeparator) ||
                         (FKind == TCtlPicEditKind::Time && ch == FIntl.TimeSeparator);
  if (separator) {
    const int rs = FMask.RunStart(s.Caret), re = FMask.RunEnd(s.Caret);
    bool holds = false;
    for (int i = rs; i <= re; ++i) holds = holds || s.Text[std::size_t(i)] != ' ';
    if (holds) {
      s.Caret = FMask.NextEditPos(re);
      ++FCount;
    }
    return;
  }
  refuse();
}

void TCtlPictureEditor::paste(TCtlPicEditState& s, const AnsiString& text) {
  if (s.HasSelection()) deleteSelection(s);
  std::size_t k = 0;
  for (int pos = s.Caret; k < text.size() && pos < FMask.MaxLength(); ++pos, ++k) {
    const bool skip = FMask.IsLiteral(pos) ? text[k] == FMask.LiteralShown(pos, FIntl)
                                           : FMask.IsSemiLiteral(pos) && text[k] == ' ';
    if (!skip) break;
  }
  const int p = FMask.DecimalPos();
  const bool dropBlanks = numeric() || FMask.IsNumericMask();
  for (; k < text.size() && s.Caret <= FMask.LastEditPos(); ++k) {
    const char ch = text[k];
    if (ch == ' ' && dropBlanks) continue;
    if (p >= 0 && ch == FIntl.DecimalChar) {
      if (s.Caret <= p) {
        s.Text = FMask.FixIntegerPart(s.Text);
        s.Caret = FMask.NextEditPos(p);
        FCount = 10;
      }
      continue;
    }
    if (p >= 0 && ch == '.') continue;
    if (const std::optional<char> ok = accepts(s, ch)) {
      if (!Insert(s, *ok)) break;
      FCount = 10;
    }
    // A character the caret cannot take, such as a literal it has just passed, is dropped.
  }
}

void TCtlPictureEditor::complete(TCtlPicEditState& s, const AnsiString& now) {
  const int n = FMask.MaxLength();
  if (int(now.size()) < n) return;
  if (s.SelStart <= FMask.FirstEditPos() && s.SelEnd >= FMask.LastEditPos() + 1 && s.HasSelection()) {
    s.Text = now.substr(0, std::size_t(n));
    s.Caret = FMask.EndPos(s.Text);
  } else {
    const int pos = std::max(s.HasSelection() ? s.SelStart : s.Caret, FMask.FirstEditPos());
    if (pos > FMask.LastEditPos()) return;
    const int re = FMask.RunEnd(pos);
    for (int i = FMask.RunStart(pos); i <= re; ++i) s.Text[std::size_t(i)] = now[std::size_t(i)];
    s.Caret = FMask.NextEditPos(re);
  }
  FCount = 10;
}

void TCtlPictureEditor::mouseDown(TCtlPicEditState& s, const TCtlPicEditArg& arg) {
  const int pos = pixelPos(arg.X);
  if (arg.Shift) {
    extendTo(s, pos);
    FSelecting = true;
    return;
  }
  s.MovingEnd = pos;
  s.Caret = FMask.ClipCaret(std::min(pos, FMask.EndPos(s.Text)));
  ++FCount;
}

void TCtlPictureEditor::single(TCtlPicEditState& s, uint16_t code, const TCtlPicEditArg& arg, bool armed) {
  const int first = FMask.FirstEditPos();
  const int n = FMask.MaxLength();
  s.Caret = first;
  switch (code) {
    case ccDec:
    case ccInc:
      if (FHost.IncreaseValue) FHost.IncreaseValue(true, code == ccInc ? 1 : -1);
      break;
    case ccDown:
      if (FOptions.AutoAdvanceUpDown) {
        if (FHost.FocusNext) FHost.FocusNext(true);
      } else {
        autoAdvance(n, false);
      }
      break;
    case ccExtendEnd:
    case ccExtWordRight: extendTo(s, n), s.Caret = first, FSelecting = true; break;
    case ccExtendHome:
    case ccExtWordLeft: extendTo(s, 0), s.Caret = first, FSelecting = true; break;
    case ccExtendLeft:
    case ccExtendRight:
      extendTo(s, (s.HasSelection() ? s.MovingEnd : first) + (code == ccExtendLeft ? -1 : 1));
      s.Caret = first;
      FSelecting = true;
      break;
    case ccPaste: {
      AnsiString text = arg.Text;
      if (int(text.size()) == n && !text.empty() && !s.Text.empty() && text[0] == s.Text[0]) text.erase(0, 1);
      for (char ch : text)
        if (const auto ok = AcceptMaskChar(FMask.AcceptChar(first), ch, ' ', FIntl); ok && uint8_t(ch) >= 32) {
          s.Text[std::size_t(first)] = *ok;
          FCount = 10;
          break;
        }
      FKeepSelection = true;
      break;
    }
    case ccRestore: general(s, code, arg, armed); break;
    case ccRight:
    case ccWordRight: autoAdvance(n, false); break;
    case ccUp:
      if (FOptions.AutoAdvanceUpDown) {
        if (FHost.FocusNext) FHost.FocusNext(false);
        break;
      }
      [[fallthrough]];
    case ccLeft:
    case ccWordLeft: autoAdvance(-1, false); break;
    case ccChar: {
      if (!armed) break;
      std::optional<char> ok = accepts(s, arg.Ch);
      s.LiteralNext = false;
      if (!ok) {
        beep();
        break;
      }
      s.Text[std::size_t(first)] = *ok;
      FCount = 10;
      autoAdvance(first + 1, true);
      break;
    }
    case ccMouseMove: extendTo(s, pixelPos(arg.X)), s.Caret = first, FSelecting = true; break;
    case ccDblClick:
      s.SelStart = 0, s.SelEnd = n, s.MovingEnd = n;
      FSelecting = true;
      break;
    case ccCtrlChar:
    case ccInvalidSequence:
    case ccPartial: break;
    default: s.Armed = true; break;
  }
}

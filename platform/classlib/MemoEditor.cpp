#include "platform/classlib/MemoEditor.h"

#include <algorithm>
#include <climits>

#include "platform/win/Clipboard.h"
#include "platform/win/VirtualKeys.h"

namespace {

constexpr int LineBreakLength = 2;  // CR LF

bool IsWordChar(char c) { return c != ' ' && c != '\t'; }

int Len(const AnsiString& s) { return static_cast<int>(s.size()); }

std::vector<AnsiString> SplitLines(std::string_view text) {
  std::vector<AnsiString> out;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\r' && c != '\n') continue;
    out.emplace_back(text.substr(start, i - start));
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  out.emplace_back(text.substr(start));
  return out;
}

std::string_view FirstLine(std::string_view text) {
  size_t n = text.find_first_of("\r\n");
  return n == std::string_view::npos ? text : text.substr(0, n);
}

}  // namespace

TMemoEditor::TMemoEditor(bool multiLine) : FMultiLine(multiLine) {}

AnsiString TMemoEditor::Text() const {
  AnsiString out;
  for (size_t i = 0; i < FLines.size(); ++i) {
    if (i > 0) out += "\r\n";
    out += FLines[i];
  }
  return out;
}

void TMemoEditor::SetText(std::string_view text) {
  // A single-line editor keeps whatever it is given, as its window text.
  FLines = FMultiLine ? SplitLines(text) : std::vector<AnsiString>{AnsiString(text)};
  FCaret = FAnchor = TTextPos{};
  FGoalX = -1;
  FTopRow = 0;
  FScrollX = 0;
  FModified = false;
  ClearUndo();
  Changed();
}

int TMemoEditor::TextLength() const {
  int n = 0;
  for (auto& l : FLines) n += Len(l);
  return n + LineBreakLength * (LineCount() - 1);
}

void TMemoEditor::InsertLine(int index, const AnsiString& s) {
  ClearUndo();
  index = std::clamp(index, 0, LineCount());
  FLines.insert(FLines.begin() + index, s);
  auto shift = [index](TTextPos& p) {
    if (p.Line >= index) ++p.Line;
  };
  shift(FCaret);
  shift(FAnchor);
  Changed();
}

void TMemoEditor::DeleteLine(int index) {
  ClearUndo();
  if (index < 0 || index >= LineCount()) return;
  FLines.erase(FLines.begin() + index);
  if (FLines.empty()) FLines.emplace_back();
  auto shift = [this, index](TTextPos& p) {
    if (p.Line > index) --p.Line;
    else if (p.Line == index) p.Col = 0;
    p = Clamp(p);
  };
  shift(FCaret);
  shift(FAnchor);
  Changed();
}

void TMemoEditor::PutLine(int index, const AnsiString& s) {
  ClearUndo();
  if (index < 0 || index >= LineCount()) return;
  if (!FMultiLine) {
    FLines[0] = s;
  } else {
    // A line given with line breaks in it becomes that many lines.
    std::vector<AnsiString> pieces = SplitLines(s);
    FLines[static_cast<size_t>(index)] = pieces.front();
    FLines.insert(FLines.begin() + index + 1, pieces.begin() + 1, pieces.end());
  }
  FCaret = Clamp(FCaret);
  FAnchor = Clamp(FAnchor);
  Changed();
}

void TMemoEditor::ClearAll() { SetText(""); }

TTextPos TMemoEditor::Clamp(TTextPos p) const {
  p.Line = std::clamp(p.Line, 0, LineCount() - 1);
  p.Col = std::clamp(p.Col, 0, Len(Line(p.Line)));
  return p;
}

void TMemoEditor::Place(TTextPos p, bool extend, bool keepGoal) {
  FCaret = Clamp(p);
  if (!extend) FAnchor = FCaret;
  if (!keepGoal) FGoalX = -1;
}

void TMemoEditor::SetCaret(TTextPos p, bool extend) { Place(p, extend); }

int TMemoEditor::OffsetOf(TTextPos p) const {
  p = Clamp(p);
  int n = 0;
  for (int i = 0; i < p.Line; ++i) n += Len(Line(i)) + LineBreakLength;
  return n + p.Col;
}

TTextPos TMemoEditor::PosOf(int offset) const {
  int rem = std::max(offset, 0);
  for (int i = 0; i < LineCount(); ++i) {
    int len = Len(Line(i));
    if (rem <= len) return TTextPos{i, rem};
    rem -= len;
    // An offset inside a line break, or past the end, stays at the end of the line.
    if (i == LineCount() - 1 || rem < LineBreakLength) return TTextPos{i, len};
    rem -= LineBreakLength;
  }
  return TTextPos{};
}

void TMemoEditor::SetSelStart(int offset) { Place(PosOf(offset), false); }

void TMemoEditor::SetSelLength(int length) {
  TTextPos first = SelFirst();
  FAnchor = first;
  FCaret = PosOf(OffsetOf(first) + std::max(length, 0));
  FGoalX = -1;
}

AnsiString TMemoEditor::SelText() const {
  TTextPos a = SelFirst(), b = SelLast();
  if (a.Line == b.Line) return Line(a.Line).substr(size_t(a.Col), size_t(b.Col - a.Col));
  AnsiString out = Line(a.Line).substr(size_t(a.Col));
  for (int i = a.Line + 1; i < b.Line; ++i) out += "\r\n" + Line(i);
  out += "\r\n" + Line(b.Line).substr(0, size_t(b.Col));
  return out;
}

void TMemoEditor::SetSelText(std::string_view text) {
  ClearUndo();
  ReplaceRange(SelFirst(), SelLast(), text);
}

void TMemoEditor::SelectAll() {
  FAnchor = TTextPos{};
  FCaret = TTextPos{LineCount() - 1, Len(FLines.back())};
  FGoalX = -1;
}

void TMemoEditor::SelectWordAt(TTextPos p) {
  p = Clamp(p);
  const AnsiString& s = Line(p.Line);
  if (s.empty()) {
    Place(p, false);
    return;
  }
  int c = std::min(p.Col, Len(s) - 1);
  bool word = IsWordChar(s[size_t(c)]);
  int a = c, b = c;
  while (a > 0 && IsWordChar(s[size_t(a - 1)]) == word) --a;
  while (b < Len(s) && IsWordChar(s[size_t(b)]) == word) ++b;
  FAnchor = TTextPos{p.Line, a};
  FCaret = TTextPos{p.Line, b};
  FGoalX = -1;
}

void TMemoEditor::ReplaceRange(TTextPos a, TTextPos b, std::string_view text) {
  a = Clamp(a);
  b = Clamp(b);
  if (b < a) std::swap(a, b);
  std::vector<AnsiString> pieces =
      FMultiLine ? SplitLines(text) : std::vector<AnsiString>{AnsiString(text)};
  AnsiString head = Line(a.Line).substr(0, size_t(a.Col));
  AnsiString tail = Line(b.Line).substr(size_t(b.Col));
  TTextPos caret{a.Line + static_cast<int>(pieces.size()) - 1, Len(pieces.back())};
  if (pieces.size() == 1) caret.Col += a.Col;
  pieces.front() = head + pieces.front();
  pieces.back() += tail;
  FLines.erase(FLines.begin() + a.Line, FLines.begin() + b.Line + 1);
  FLines.insert(FLines.begin() + a.Line, pieces.begin(), pieces.end());
  FCaret = FAnchor = caret;
  FGoalX = -1;
  Changed();
}

int TMemoEditor::Room() const {
  if (FMaxLength == 0) return INT_MAX;
  return std::max(0, FMaxLength - (TextLength() - SelLength()));
}

bool TMemoEditor::InsertText(std::string_view text) {
  if (!Editable()) return false;
  if (!FMultiLine) text = FirstLine(text);
  AnsiString fit;
  if (FMaxLength == 0) {
    fit = AnsiString(text);
  } else {
    // Cut what is typed or pasted to the room left, never inside a line break.
    int room = Room();
    std::vector<AnsiString> pieces = SplitLines(text);
    for (size_t i = 0; i < pieces.size() && room > 0; ++i) {
      if (i > 0) {
        if (room < LineBreakLength) break;
        fit += "\r\n";
        room -= LineBreakLength;
      }
      int take = std::min(room, Len(pieces[i]));
      fit += pieces[i].substr(0, size_t(take));
      room -= take;
    }
  }
  if (fit.empty() && !HasSelection()) return false;
  if (fit.empty() && !text.empty()) return false;  // full: keep the selection rather than lose it
  bool typed = fit.size() == 1 && fit[0] != '\r' && fit[0] != '\n' && !HasSelection();
  Remember(typed ? TEditKind::Typing : TEditKind::Other);
  ReplaceRange(SelFirst(), SelLast(), fit);
  Edited();
  return true;
}

bool TMemoEditor::InsertChar(char c) { return InsertText(std::string_view(&c, 1)); }

bool TMemoEditor::NewLine() { return FMultiLine && InsertText("\r\n"); }

bool TMemoEditor::DeleteSelection() {
  if (!Editable() || !HasSelection()) return false;
  Remember(TEditKind::Other);
  ReplaceRange(SelFirst(), SelLast(), "");
  Edited();
  return true;
}

bool TMemoEditor::Backspace() {
  if (!Editable()) return false;
  if (HasSelection()) return DeleteSelection();
  TTextPos p = FCaret;
  if (p.Col > 0) --p.Col;
  else if (p.Line > 0) p = TTextPos{p.Line - 1, Len(Line(p.Line - 1))};
  else return false;
  Remember(TEditKind::Backspace);
  ReplaceRange(p, FCaret, "");
  Edited();
  return true;
}

bool TMemoEditor::DeleteForward() {
  if (!Editable()) return false;
  if (HasSelection()) return DeleteSelection();
  TTextPos p = FCaret;
  if (p.Col < Len(Line(p.Line))) ++p.Col;
  else if (p.Line < LineCount() - 1) p = TTextPos{p.Line + 1, 0};
  else return false;
  Remember(TEditKind::Delete);
  ReplaceRange(FCaret, p, "");
  Edited();
  return true;
}

void TMemoEditor::MoveLeft(bool word, bool extend) {
  if (HasSelection() && !extend && !word) {
    Place(SelFirst(), false);
    return;
  }
  TTextPos p = FCaret;
  const AnsiString& s = Line(p.Line);
  if (p.Col == 0) {
    if (p.Line > 0) p = TTextPos{p.Line - 1, Len(Line(p.Line - 1))};
  } else if (!word) {
    --p.Col;
  } else {
    while (p.Col > 0 && !IsWordChar(s[size_t(p.Col - 1)])) --p.Col;
    while (p.Col > 0 && IsWordChar(s[size_t(p.Col - 1)])) --p.Col;
  }
  Place(p, extend);
}

void TMemoEditor::MoveRight(bool word, bool extend) {
  if (HasSelection() && !extend && !word) {
    Place(SelLast(), false);
    return;
  }
  TTextPos p = FCaret;
  const AnsiString& s = Line(p.Line);
  if (p.Col == Len(s)) {
    if (p.Line < LineCount() - 1) p = TTextPos{p.Line + 1, 0};
  } else if (!word) {
    ++p.Col;
  } else {
    while (p.Col < Len(s) && IsWordChar(s[size_t(p.Col)])) ++p.Col;
    while (p.Col < Len(s) && !IsWordChar(s[size_t(p.Col)])) ++p.Col;
  }
  Place(p, extend);
}

void TMemoEditor::MoveRows(int delta, bool extend) {
  if (!FMultiLine) {
    if (delta < 0) MoveHome(false, extend);
    else MoveEnd(false, extend);
    return;
  }
  int row = RowOf(FCaret);
  int goal = FGoalX >= 0 ? FGoalX : XOfPos(FCaret);
  int target = std::clamp(row + delta, 0, RowCount() - 1);
  if (target == row) return;
  Place(PosAtRowX(target, goal), extend, true);
  FGoalX = goal;
}

void TMemoEditor::MoveHome(bool document, bool extend) {
  if (document || !FMultiLine) Place(document ? TTextPos{} : TTextPos{FCaret.Line, 0}, extend);
  else Place(TTextPos{FCaret.Line, Row(RowOf(FCaret)).Start}, extend);
}

void TMemoEditor::MoveEnd(bool document, bool extend) {
  if (document) {
    Place(TTextPos{LineCount() - 1, Len(FLines.back())}, extend);
    return;
  }
  int r = RowOf(FCaret);
  const TTextRow& row = Row(r);
  bool lastOfLine = r + 1 >= RowCount() || Row(r + 1).Line != row.Line;
  // The end of a wrapped row is the start of the next one; stop before its break.
  Place(TTextPos{row.Line, lastOfLine ? row.End : std::max(row.Start, row.End - 1)}, extend);
}

void TMemoEditor::Remember(TEditKind kind) {
  bool continues = kind != TEditKind::Other && kind == FLastEdit && FCaret == FLastCaret && FUndo.Valid;
  FLastEdit = kind;
  if (continues) return;
  FUndo = TUndoState{FLines, FCaret, FAnchor, true};
}

bool TMemoEditor::Undo() {
  if (!FUndo.Valid || !Editable()) return false;
  std::swap(FLines, FUndo.Lines);
  std::swap(FCaret, FUndo.Caret);
  std::swap(FAnchor, FUndo.Anchor);
  FLastEdit = TEditKind::None;
  FGoalX = -1;
  Changed();
  FModified = true;
  return true;
}

bool TMemoEditor::CopyToClipboard() const {
  if (!FCopyAllowed || !HasSelection() || !OpenClipboard(FOwner)) return false;
  EmptyClipboard();
  SetClipboardText(SelText());
  CloseClipboard();
  return true;
}

bool TMemoEditor::CutToClipboard() {
  if (!Editable() || !CopyToClipboard()) return false;
  return DeleteSelection();
}

bool TMemoEditor::PasteFromClipboard() {
  auto text = GetClipboardText();
  if (!text || text->empty()) return false;
  return InsertText(*text);
}

bool TMemoEditor::KeyDown(uint16_t vk, bool shift, bool ctrl) {
  switch (vk) {
    case VK_LEFT: MoveLeft(ctrl, shift); return true;
    case VK_RIGHT: MoveRight(ctrl, shift); return true;
    case VK_UP: MoveUp(shift); return true;
    case VK_DOWN: MoveDown(shift); return true;
    case VK_PRIOR: PageUp(shift); return true;
    case VK_NEXT: PageDown(shift); return true;
    case VK_HOME: MoveHome(ctrl, shift); return true;
    case VK_END: MoveEnd(ctrl, shift); return true;
    case VK_DELETE:
      if (shift) CutToClipboard();
      else DeleteForward();
      return true;
    case VK_INSERT:
      if (ctrl) CopyToClipboard();
      else if (shift) PasteFromClipboard();
      return ctrl || shift;
    default: break;
  }
  if (!ctrl || shift) return false;
  switch (vk) {
    case 'C': CopyToClipboard(); return true;
    case 'X': CutToClipboard(); return true;
    case 'V': PasteFromClipboard(); return true;
    case 'A': SelectAll(); return true;
    case 'Z': Undo(); return true;
    default: return false;
  }
}

bool TMemoEditor::KeyChar(char c) {
  auto u = static_cast<unsigned char>(c);
  if (u == 8) {
    Backspace();
    return true;
  }
  if (u == 13 || u == 10) return FMultiLine && (NewLine(), true);
  if (u == 9) return FMultiLine && (InsertChar(c), true);
  if (u < 32 || u == 127) return false;  // control keys came as key-downs already
  InsertChar(c);
  return true;
}

void TMemoEditor::SetCharWidth(TCharWidth w) {
  FCharWidth = std::move(w);
  FRowsValid = false;
}

void TMemoEditor::SetWrapWidth(int width) {
  width = std::max(width, 0);
  if (width == FWrapWidth) return;
  FWrapWidth = width;
  FRowsValid = false;
  if (FWrapWidth > 0) FScrollX = 0;
}

int TMemoEditor::TextWidth(std::string_view s) const {
  if (!FCharWidth) return static_cast<int>(s.size());
  int w = 0;
  for (char c : s) w += FCharWidth(c);
  return w;
}

const std::vector<TTextRow>& TMemoEditor::Rows() const {
  if (FRowsValid) return FRows;
  FRows.clear();
  for (int i = 0; i < LineCount(); ++i) {
    const AnsiString& s = Line(i);
    int len = Len(s);
    if (FWrapWidth <= 0 || !FMultiLine || len == 0) {
      FRows.push_back(TTextRow{i, 0, len});
      continue;
    }
    int start = 0;
    while (start < len) {
      // Furthest end that fits, at least one character.
      int end = start, w = 0;
      while (end < len) {
        int cw = TextWidth(std::string_view(&s[size_t(end)], 1));
        if (w + cw > FWrapWidth && end > start) break;
        w += cw;
        ++end;
      }
      if (end < len) {
        // Break after the last blank that fits; the blanks stay at the end of the upper row.
        int brk = end;
        while (brk > start && s[size_t(brk - 1)] != ' ') --brk;
        if (brk > start) end = brk;
        while (end < len && s[size_t(end)] == ' ') ++end;
      }
      FRows.push_back(TTextRow{i, start, end});
      start = end;
    }
  }
  FRowsValid = true;
  return FRows;
}

int TMemoEditor::RowOf(TTextPos p) const {
  p = Clamp(p);
  const auto& rows = Rows();
  auto it = std::upper_bound(rows.begin(), rows.end(), p, [](const TTextPos& q, const TTextRow& r) {
    return q.Line < r.Line || (q.Line == r.Line && q.Col < r.Start);
  });
  int r = static_cast<int>(it - rows.begin()) - 1;
  return std::max(r, 0);
}

int TMemoEditor::XOfPos(TTextPos p) const {
  p = Clamp(p);
  const TTextRow& row = Row(RowOf(p));
  return TextWidth(std::string_view(Line(p.Line)).substr(size_t(row.Start), size_t(p.Col - row.Start)));
}

TTextPos TMemoEditor::PosAtRowX(int row, int x) const {
  const TTextRow& r = Row(std::clamp(row, 0, RowCount() - 1));
  const AnsiString& s = Line(r.Line);
  bool lastOfLine = row + 1 >= RowCount() || Row(row + 1).Line != r.Line;
  int maxCol = lastOfLine ? r.End : std::max(r.Start, r.End - 1);
  int acc = 0;
  for (int c = r.Start; c < maxCol; ++c) {
    int cw = TextWidth(std::string_view(&s[size_t(c)], 1));
    if (x < acc + cw / 2 + (cw & 1)) return TTextPos{r.Line, c};
    acc += cw;
  }
  return TTextPos{r.Line, maxCol};
}

int TMemoEditor::WidestRow() const {
  int w = 0;
  for (const TTextRow& r : Rows())
    w = std::max(w, TextWidth(std::string_view(Line(r.Line)).substr(size_t(r.Start), size_t(r.End - r.Start))));
  return w;
}

void TMemoEditor::SetViewSize(int visibleRows, int clientWidth) {
  FVisibleRows = std::max(visibleRows, 1);
  FClientWidth = std::max(clientWidth, 0);
}

int TMemoEditor::TopRow() const { return std::clamp(FTopRow, 0, RowCount() - 1); }

void TMemoEditor::SetTopRow(int row) {
  FTopRow = std::clamp(row, 0, std::max(0, RowCount() - FVisibleRows));
}

void TMemoEditor::SetScrollX(int x) {
  FScrollX = FWrapWidth > 0 ? 0 : std::clamp(x, 0, std::max(0, WidestRow()));
}

void TMemoEditor::ScrollCaretIntoView() {
  int row = RowOf(FCaret);
  int top = TopRow();
  if (row < top) top = row;
  else if (row >= top + FVisibleRows) top = row - FVisibleRows + 1;
  FTopRow = std::max(top, 0);
  if (FWrapWidth > 0 || FClientWidth <= 0) {
    FScrollX = 0;
    return;
  }
  // Jump by a third of the width so that typing at the edge does not scroll on every key.
  int x = XOfPos(FCaret);
  if (x < FScrollX) FScrollX = std::max(0, x - FClientWidth / 3);
  else if (x >= FScrollX + FClientWidth) FScrollX = x - FClientWidth * 2 / 3;
}

void TMemoEditor::Changed() {
  FRowsValid = false;
  if (OnChange) OnChange();
}

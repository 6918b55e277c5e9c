// The text model behind the edit and memo controls: lines, caret and selection, editing, word-wise
// moves, the clipboard, word-wrapped rows and the scroll offsets that keep the caret in view.
#pragma once

#include <compare>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "platform/rtl/AnsiString.h"
#include "platform/win/WinTypes.h"

// A place between characters: line and column from 0.
struct TTextPos {
  int Line = 0;
  int Col = 0;
  friend bool operator==(const TTextPos&, const TTextPos&) = default;
  friend auto operator<=>(const TTextPos&, const TTextPos&) = default;
};

// One displayed row: columns [Start, End) of a line. Without word wrap each line is one row.
struct TTextRow {
  int Line = 0;
  int Start = 0;
  int End = 0;
};

class TMemoEditor {
public:
  // Pixel width of one character as drawn; by default every character is 1 wide.
  using TCharWidth = std::function<int(char)>;

  explicit TMemoEditor(bool multiLine = true);

  // Text. Offsets count characters from the start, a line break as two (CR LF).
  int LineCount() const { return static_cast<int>(FLines.size()); }
  const AnsiString& Line(int index) const { return FLines[static_cast<size_t>(index)]; }
  const std::vector<AnsiString>& Lines() const { return FLines; }
  AnsiString Text() const;
  // Splits on CR LF, CR or LF (one line only when single-line); caret to the start.
  void SetText(std::string_view text);
  int TextLength() const;
  // Line edits for the memo's string list; they keep the caret on valid ground.
  void InsertLine(int index, const AnsiString& s);
  void DeleteLine(int index);
  void PutLine(int index, const AnsiString& s);
  void ClearAll();

  bool MultiLine() const { return FMultiLine; }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool v) { FReadOnly = v; }
  // 0: no limit. Typing and pasting stop at the limit; text set by the program is not cut.
  int MaxLength() const { return FMaxLength; }
  void SetMaxLength(int v) { FMaxLength = v < 0 ? 0 : v; }
  bool Modified() const { return FModified; }
  void SetModified(bool v) { FModified = v; }

  // Caret and selection. The selection runs from the anchor to the caret.
  TTextPos Caret() const { return FCaret; }
  TTextPos Anchor() const { return FAnchor; }
  void SetCaret(TTextPos p, bool extend = false);
  bool HasSelection() const { return FCaret != FAnchor; }
  TTextPos SelFirst() const { return FCaret < FAnchor ? FCaret : FAnchor; }
  TTextPos SelLast() const { return FCaret < FAnchor ? FAnchor : FCaret; }
  int SelStart() const { return OffsetOf(SelFirst()); }
  void SetSelStart(int offset);  // collapses the selection there
  int SelLength() const { return OffsetOf(SelLast()) - OffsetOf(SelFirst()); }
  void SetSelLength(int length);  // from SelStart
  AnsiString SelText() const;
  void SetSelText(std::string_view text);  // replaces the selection, ignoring read-only and the limit
  void SelectAll();
  void SelectWordAt(TTextPos p);
  int OffsetOf(TTextPos p) const;
  TTextPos PosOf(int offset) const;
  TTextPos Clamp(TTextPos p) const;

  // Editing by the user; each returns whether the text changed.
  bool InsertText(std::string_view text);  // replaces the selection
  bool InsertChar(char c);
  bool NewLine();
  bool Backspace();
  bool DeleteForward();
  bool DeleteSelection();

  // One step back, as the classic edit: a run of typing or of deletions is one step, and undoing
  // twice brings the change back. Changes made by the program clear it.
  bool CanUndo() const { return FUndo.Valid; }
  bool Undo();
  void ClearUndo() { FUndo.Valid = false; FLastEdit = TEditKind::None; }

  // Caret moves; extend keeps the anchor (Shift held).
  void MoveLeft(bool word, bool extend);
  void MoveRight(bool word, bool extend);
  void MoveUp(bool extend) { MoveRows(-1, extend); }
  void MoveDown(bool extend) { MoveRows(1, extend); }
  void PageUp(bool extend) { MoveRows(-PageRows(), extend); }
  void PageDown(bool extend) { MoveRows(PageRows(), extend); }
  void MoveHome(bool document, bool extend);
  void MoveEnd(bool document, bool extend);

  // The clipboard: copy and cut need a selection; paste of a multi-line text into a single-line
  // editor keeps its first line.
  bool CopyToClipboard() const;
  bool CutToClipboard();
  bool PasteFromClipboard();
  // A password editor keeps its text off the clipboard: copy and cut do nothing.
  bool CopyAllowed() const { return FCopyAllowed; }
  void SetCopyAllowed(bool v) { FCopyAllowed = v; }
  // The window that owns what copy and cut put on the clipboard.
  void SetClipboardOwner(HWND owner) { FOwner = owner; }

  // Keys as the controls receive them; true when the editor used the key.
  bool KeyDown(uint16_t vk, bool shift, bool ctrl);
  bool KeyChar(char c);

  // Layout: character widths, the wrap width (0: no wrap) and the rows that result.
  void SetCharWidth(TCharWidth w);
  void SetWrapWidth(int width);
  int WrapWidth() const { return FWrapWidth; }
  int RowCount() const { return static_cast<int>(Rows().size()); }
  const TTextRow& Row(int index) const { return Rows()[static_cast<size_t>(index)]; }
  int RowOf(TTextPos p) const;
  int TextWidth(std::string_view s) const;
  // Pixels from the row's start to a column, and the column nearest a pixel offset.
  int XOfPos(TTextPos p) const;
  TTextPos PosAtRowX(int row, int x) const;
  int WidestRow() const;

  // Scroll offsets: the first row shown and the pixels scrolled off to the left.
  void SetViewSize(int visibleRows, int clientWidth);
  int VisibleRows() const { return FVisibleRows; }
  int TopRow() const;
  void SetTopRow(int row);
  int ScrollX() const { return FScrollX; }
  void SetScrollX(int x);
  void ScrollCaretIntoView();

  // Fired after every change of the text, whoever made it.
  std::function<void()> OnChange;

private:
  enum class TEditKind { None, Typing, Backspace, Delete, Other };
  struct TUndoState {
    std::vector<AnsiString> Lines;
    TTextPos Caret, Anchor;
    bool Valid = false;
  };
  void Remember(TEditKind kind);
  void Edited() { FModified = true; FLastCaret = FCaret; }

  const std::vector<TTextRow>& Rows() const;
  void Changed();
  void ReplaceRange(TTextPos a, TTextPos b, std::string_view text);
  bool Editable() const { return !FReadOnly; }
  int Room() const;
  void MoveRows(int delta, bool extend);
  int PageRows() const { return FVisibleRows > 1 ? FVisibleRows - 1 : 1; }
  void Place(TTextPos p, bool extend, bool keepGoal = false);

  std::vector<AnsiString> FLines{AnsiString()};
  bool FMultiLine = true;
  bool FReadOnly = false;
  int FMaxLength = 0;
  bool FModified = false;
  TTextPos FCaret;
  TTextPos FAnchor;
  int FGoalX = -1;  // pixel column that up and down keep; -1 when a sideways move reset it
  TCharWidth FCharWidth;
  int FWrapWidth = 0;
  mutable std::vector<TTextRow> FRows;
  mutable bool FRowsValid = false;
  int FVisibleRows = 1;
  int FClientWidth = 0;
  int FTopRow = 0;
  int FScrollX = 0;
  HWND FOwner = 0;
  bool FCopyAllowed = true;
  TUndoState FUndo;
  TEditKind FLastEdit = TEditKind::None;
  TTextPos FLastCaret;
};

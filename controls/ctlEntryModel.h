// The editing state of an entry field without its window: the edit text within its length limit,
// the caret, the selection, insert or overwrite mode, the text saved for restoring, and the plain
// editing that a field without a picture mask does for each command code.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/rtl/AnsiString.h"

constexpr int ctlMaxEditLength = 255;

// The field's own command codes beside those of the command processor.
constexpr uint16_t ccChar = 249;       // a typed character
constexpr uint16_t ccMouseDown = 250;
constexpr uint16_t ccMouseMove = 251;  // a drag with the button held
constexpr uint16_t ccDblClick = 253;

// What a command carries: a character, a pasted text, or a character position under the pointer.
struct TCtlEditArgs {
  char Char = 0;
  std::string_view Text;
  int Position = 0;
  bool Shift = false;
};

// What a command did, for the view to follow.
struct TCtlEditResult {
  bool Changed = false;  // the text changed
  bool Repaint = false;  // caret, selection or text moved
  bool Beep = false;     // refused
};

class TCtlEntryModel {
public:
  const AnsiString& Text() const { return FText; }
  // Cut to MaxLength; caret and selection stay within the text.
  void SetText(std::string_view Value);
  int Length() const { return static_cast<int>(FText.size()); }
  int MaxLength() const { return FMaxLength; }
  // Clamped to 1..255; the text is cut to it.
  void SetMaxLength(int Value);

  int Caret() const { return FCaret; }
  void SetCaret(int Value);
  int SelStart() const { return FSelStart; }
  int SelEnd() const { return FSelEnd; }
  bool HasSelection() const { return FSelEnd > FSelStart; }
  AnsiString SelText() const { return FText.substr(std::size_t(FSelStart), std::size_t(FSelEnd - FSelStart)); }
  // Nothing when End < Start; both clipped to the text.
  void SetSelection(int Start, int End);
  void SelectAll() { SetSelection(0, Length()); }
  // Selection gone, both ends and the moving end on the caret.
  void Collapse();
  // The end of the selection that moves while it is extended; the other end stays.
  int MovingEnd() const { return FMovingEnd; }
  // Extends (or starts) the selection from its fixed end to Position; the caret follows.
  void ExtendTo(int Position);

  bool InsertMode() const { return FInsertMode; }
  void SetInsertMode(bool Value) { FInsertMode = Value; }
  bool Modified() const { return FModified; }
  void SetModified(bool Value) { FModified = Value; }
  // A character message is taken only while the field is armed for it.
  bool CharArmed() const { return FCharArmed; }
  void SetCharArmed(bool Value) { FCharArmed = Value; }
  // The next character is taken even when it is a control character.
  bool LiteralNext() const { return FLiteralNext; }

  void SaveText() { FSavedText = FText; }
  const AnsiString& SavedText() const { return FSavedText; }

  // Plain editing; each answers whether the text changed.
  bool DeleteSelection();
  bool InsertText(std::string_view Value);
  bool TypeChar(char Ch);
  int WordLeftOf(int Position) const;
  int WordRightOf(int Position) const;

  // Runs one command code of plain editing. Copying is the view's; codes it does not know arm the
  // field for the next character.
  TCtlEditResult Command(uint16_t Code, const TCtlEditArgs& Args = {});

private:
  TCtlEditResult restore();

  AnsiString FText;
  int FMaxLength = 15;
  int FCaret = 0;
  int FSelStart = 0;
  int FSelEnd = 0;
  int FMovingEnd = 0;
  bool FInsertMode = true;
  bool FModified = false;
  bool FCharArmed = false;
  bool FLiteralNext = false;
  AnsiString FSavedText;
};

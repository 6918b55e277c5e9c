// The editing state of an entry field without its window: the edit text within its length limit,
// the caret, the selection, insert or overwrite mode, the arm for the next character, and the text
// saved for restoring. What a command does to it is the picture layer's.
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
  // Selection gone, both ends on the caret.
  void Collapse() { FSelStart = FSelEnd = FCaret; }

  bool InsertMode() const { return FInsertMode; }
  void SetInsertMode(bool Value) { FInsertMode = Value; }
  bool Modified() const { return FModified; }
  void SetModified(bool Value) { FModified = Value; }
  // A character message is taken only while the field is armed for it.
  bool CharArmed() const { return FCharArmed; }
  void SetCharArmed(bool Value) { FCharArmed = Value; }

  void SaveText() { FSavedText = FText; }
  const AnsiString& SavedText() const { return FSavedText; }

private:
  AnsiString FText;
  int FMaxLength = 15;
  int FCaret = 0;
  int FSelStart = 0;
  int FSelEnd = 0;
  bool FInsertMode = true;
  bool FModified = false;
  bool FCharArmed = false;
  AnsiString FSavedText;
};

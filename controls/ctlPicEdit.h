// The edit commands of a picture field as a model: text, caret and selection under a mask, changed
// by command codes. The field supplies what lies outside the text (focus moves, beeps, stepping).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "controls/ctlCommand.h"
#include "controls/ctlEntryModel.h"
#include "controls/ctlPicMask.h"

// What the editor must know of the field's data type.
enum class TCtlPicEditKind { String, Integer, Floating, Date, Time, SinglePosition };

struct TCtlPicEditOptions {
  bool ArrowIncDec = false;
  bool ReadOnly = false;
  bool AutoAdvanceChar = false;
  bool AutoAdvanceLeftRight = false;
  bool AutoAdvanceUpDown = false;
  bool InsertPushes = true;
};

struct TCtlPicEditState {
  AnsiString Text;
  int Caret = 0;
  int SelStart = 0;
  int SelEnd = 0;
  int MovingEnd = 0;
  bool InsertMode = true;
  bool Armed = false;
  bool LiteralNext = false;
  bool EditForm = false;
  bool HasSelection() const { return SelEnd > SelStart; }
};

// The command's argument: the character, the pointer's x and Shift, or the pasted text.
struct TCtlPicEditArg {
  char Ch = 0;
  int X = 0;
  bool Shift = false;
  AnsiString Text;
};

struct TCtlPicEditHost {
  std::function<void()> Beep;
  std::function<void(bool Forward)> FocusNext;
  std::function<void(bool Wrap, double Delta)> IncreaseValue;
  std::function<void()> Restore;
  std::function<void(const AnsiString& Text)> Copy;
  // Today's date or the time of day in the mask's form.
  std::function<AnsiString()> TodayText;
  std::function<AnsiString()> NowText;
  // The character position under a client x.
  std::function<int(int X)> CharAtPixel;
};

struct TCtlPicEditResult {
  int ChangeCount = 0;
  bool Changed() const { return ChangeCount >= 10; }
  bool Repaint() const { return ChangeCount > 0; }
};

class TCtlPictureEditor {
public:
  TCtlPictureEditor(const TCtlPictureMask& Mask, const TCtlMaskIntl& Intl, TCtlPicEditKind Kind,
                    TCtlPicEditOptions Options, TCtlPicEditHost Host);

  TCtlPicEditResult Command(TCtlPicEditState& State, uint16_t Code, const TCtlPicEditArg& Arg = {});
  // Deletes the character at an edit position: the rest of its run moves left, a blank comes in.
  void DeleteAt(TCtlPicEditState& State, int Pos) const;
  // False when the run is full and pushing is not allowed.
  bool Insert(TCtlPicEditState& State, char Ch) const;

private:
  void general(TCtlPicEditState& s, uint16_t code, const TCtlPicEditArg& arg, bool armed);
  void single(TCtlPicEditState& s, uint16_t code, const TCtlPicEditArg& arg, bool armed);
  void typeChar(TCtlPicEditState& s, char ch, bool armed);
  void paste(TCtlPicEditState& s, const AnsiString& text);
  void complete(TCtlPicEditState& s, const AnsiString& now);
  void mouseDown(TCtlPicEditState& s, const TCtlPicEditArg& arg);
  void deleteSelection(TCtlPicEditState& s);
  void removeSelection(TCtlPicEditState& s) const;
  // The whole-number part of a mask with floating currency or separators fills from the right.
  std::vector<int> wholeSlots() const;
  static std::size_t typedSlot(const std::vector<int>& Slots, int Caret);
  bool pushLeft(TCtlPicEditState& State, char Ch) const;
  bool pullRight(TCtlPicEditState& State) const;
  void extendTo(TCtlPicEditState& s, int pos) const;
  bool autoAdvance(int pos, bool isChar);
  bool numeric() const;
  std::optional<char> accepts(const TCtlPicEditState& s, char ch) const;
  void beep();
  int pixelPos(int x) const;

  const TCtlPictureMask& FMask;
  const TCtlMaskIntl& FIntl;
  TCtlPicEditKind FKind;
  TCtlPicEditOptions FOptions;
  TCtlPicEditHost FHost;
  int FCount = 0;
  bool FKeepSelection = false;
  bool FSelecting = false;
};

// The viewer's display: a scrolling, read-only view of numbered lines with caret, selection,
// bookmarks, search and clipboard copy. Where the lines come from is the subclass's business.
#pragma once

#include <algorithm>
#include <cstdint>
#include <climits>
#include <functional>
#include <memory>
#include <vector>

#include "controls/ctlBorders.h"
#include "controls/ctlCaret.h"
#include "controls/ctlColors.h"
#include "controls/ctlCustomControl.h"
#include "controls/ctlFixedFont.h"
#include "platform/classlib/ControlPaint.h"
#include "platform/rtl/AnsiString.h"
#include "platform/classlib/Classes.h"

// A place in the text: a line and a column of its raw text, both from 0.
struct TVwrPos {
  int Line = 0;
  int Col = 0;
  friend auto operator<=>(const TVwrPos&, const TVwrPos&) = default;
};

enum TVwrSearchOption : unsigned { soBackward = 1, soMatchCase = 2, soWholeText = 4 };
using TVwrSearchOptions = unsigned;

using TVwrStatusEvent = std::function<void(TObject* Sender, int Line, int Column)>;
using TVwrTopLineEvent = std::function<void(TObject* Sender, int Line)>;
using TVwrUserCommandEvent = std::function<void(TObject* Sender, uint16_t Command)>;

// A read-only text display in a fixed-pitch font: a bookmark margin, a caret, a selection, ten
// bookmarks, search, clipboard copy and the controller's key commands. The lines come from the
// subclass; nothing of the display is needed to fetch them.
class TCtlBaseViewer : public TCtlCustomControlEx {
public:
  explicit TCtlBaseViewer(TComponent* AOwner = nullptr);
  ~TCtlBaseViewer() override;
  AnsiString ClassName() const override { return "TCtlBaseViewer"; }

  virtual const char* GetLineText(int LineIndex, int& Length) = 0;
  virtual int ClampLine(int LineIndex) { return LineIndex; }
  // Pattern: at most 255 characters. A match is selected.
  virtual bool Search(const AnsiString& Pattern, TVwrSearchOptions Options);

  // Writes at most DestLen characters and a NUL (Dest holds DestLen + 1 bytes); returns the length.
  int FetchDisplayLine(int LineIndex, char* Dest, int DestLen);

  int LineCount() const { return FLineCount; }
  uint8_t TabSize() const { return FTabSize; }
  void SetTabSize(uint8_t Value);
  // The range of characters shown as they are; the rest show as DefaultChar. Set at
  // construction so that a viewer without a window or font never filters with an unset range.
  uint8_t FirstChar() const { return FFirstChar; }
  uint8_t LastChar() const { return FLastChar; }
  uint8_t DefaultChar() const { return FDefaultChar; }

  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  // A single border is a sunken edge in 3-D, else a flat frame.
  bool Ctl3D() const { return FCtl3D; }
  void SetCtl3D(bool Value);
  bool ExpandTabs() const { return FExpandTabs; }
  void SetExpandTabs(bool Value);
  TColor MarginColor() const { return FMarginColor; }
  void SetMarginColor(TColor Value);
  TScrollStyle ScrollBars() const { return FScrollBars; }
  void SetScrollBars(TScrollStyle Value);
  bool ShowBookmarks() const { return FShowBookmarks; }
  void SetShowBookmarks(bool Value);
  bool ShowCaret() const { return FShowCaret; }
  void SetShowCaret(bool Value);
  int LeftMargin() const { return FLeftMargin; }
  void SetLeftMargin(int Value);
  TCtlFixedFont& FixedFont() { return FFixedFont; }
  // The selection's text and back colours.
  TCtlColors& HighlightColors() { return FHighlightColors; }
  // The caret's shape; the viewer fits it to a character cell.
  TCtlCaret* Caret() const { return FSingleCaret->Caret(); }
  void SetCaret(TCtlCaret* Value) { FSingleCaret->SetCaret(Value); }
  // Lines drawn over the text's edges; enabling one takes the place of the single border.
  TCtlBorders& Borders() { return FBorders; }

  int RowHeight() const { return FRowHeight; }
  int CharWidth() const { return FCharWidth; }
  int RowsThatFit() const { return FRows; }
  int ColumnsThatFit() const { return FCols; }
  int TopLine() const { return FTopLine; }
  void SetTopLine(int Value);
  int HorzOffset() const { return FHorzOffset; }
  void SetHorzOffset(int Value);

  TVwrPos CaretPos() const { return FCaret; }
  void MoveCaretTo(int Line, int Col, bool Extend = false);
  TVwrPos SelStart() const { return std::min(FAnchor, FCaret); }
  TVwrPos SelEnd() const { return std::max(FAnchor, FCaret); }
  bool HasSelection() const { return FAnchor != FCaret; }
  void SetSelection(int AnchorLine, int AnchorCol, int EndLine, int EndCol, bool CaretAtEnd);
  // The selection's raw text, lines joined with CR LF.
  AnsiString SelectedText();
  // Raises ERegionTooLarge above 65520 bytes; an empty selection copies nothing.
  void CopyToClipboard();

  // n: 0..9. Setting a bookmark where it already is clears it.
  void SetBookmark(int N);
  void GotoBookmark(int N);
  TVwrPos Bookmark(int N) const { return FBookmarks[N]; }

  // Runs a command code as a key would; False for a code the viewer leaves to the default handling.
  bool ProcessCommand(uint16_t Cmd);

  TVwrStatusEvent OnShowStatus;
  TVwrTopLineEvent OnTopLineChanged;
  TVwrUserCommandEvent OnUserCommand;

protected:
  void SetLineCount(int N);
  void Paint() override;
  void WndProc(TMessage& Message) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void WMSetFocus(TMessage& m) override;
  void WMKillFocus(TMessage& m) override;
  void WMSize(TMessage& m) override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void DoMouseWheel(TShiftState Shift, int Delta, int XPos, int YPos) override;

private:
  enum class TDrag { None, Text, Lines, VertBar, HorzBar };

  int LineLength(int Line);
  int DisplayCol(int Line, int Col);
  int TextCol(int Line, int DisplayColumn);
  AnsiString DisplayText(int Line);
  void UpdateMetrics();
  TRect Inside();
  TRect TextArea();
  bool ShowsLineCursorAt(TPoint Client);
  TRect VertBarRect();
  TRect HorzBarRect();
  TScrollBarGeometry VertGeometry();
  TScrollBarGeometry HorzGeometry();
  int TopLineMax() const;
  int VertScale() const;
  void ScrollByPart(bool Vertical, TScrollPart Part);
  void PlaceCaret(TVwrPos Pos, bool Extend, bool KeepDisplayCol = false);
  void ScrollIntoView();
  void UpdateCaret();
  void LinkCaret();
  TVwrPos PosAt(int X, int Y);
  void MoveWord(bool Right);
  void SelectWordAt(TVwrPos Pos);
  void ExtendLines(int Line);
  void CaretCommand(uint16_t Cmd);
  void ViewCommand(uint16_t Cmd);
  void PaintRow(int Row, int Line, const TRect& Area);
  bool SearchLine(int Line, int From, int To, bool Backward, bool MatchCase, const AnsiString& Pattern,
                  const uint8_t* Table, int& Found);

  int FLineCount = 0;
  uint8_t FTabSize = 8;
  uint8_t FFirstChar = 32;
  uint8_t FLastChar = 255;
  uint8_t FDefaultChar = ' ';
  TBorderStyle FBorderStyle = bsSingle;
  bool FCtl3D = true;
  bool FExpandTabs = true;
  TColor FMarginColor = clWindow;
  TScrollStyle FScrollBars = ssBoth;
  bool FShowBookmarks = true;
  bool FShowCaret = true;
  int FLeftMargin = 16;
  TCtlFixedFont FFixedFont;
  TCtlColors FHighlightColors{clHighlightText, clHighlight};
  TCtlBorders FBorders;
  std::unique_ptr<TCtlSingleCaret> FSingleCaret;
  int FRowHeight = 12;
  int FCharWidth = 8;
  int FRows = 0;
  int FCols = 0;
  int FTopLine = 0;
  int FHorzOffset = 0;
  TVwrPos FCaret;
  TVwrPos FAnchor;
  int FWantedDisplayCol = 0;
  TVwrPos FBookmarks[10];
  TDrag FDrag = TDrag::None;
  TVwrPos FLineAnchor;  // the line first clicked in the margin
  int FLineCursor = 0;  // shown over the margin; 0 leaves the default there too
  TScrollPart FBarPart = TScrollPart::None;
  int FThumbGrab = 0;
  const TGdiBitmap* FMarkers = nullptr;
};

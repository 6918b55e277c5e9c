#include "controls/ctlViewerDisplay.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "controls/ctlCommand.h"
#include "controls/ctlController.h"
#include "controls/ctlExcept.h"
#include "controls/ctlGlyphRes.h"
#include "controls/ctlHelpers.h"
#include "controls/ctlMessages.h"
#include "controls/ctlStrRes.h"
#include "controls/ctlStrings.h"
#include "platform/classlib/Forms.h"
#include "platform/gdi/EdgeFlags.h"
#include "platform/gdi/Edges.h"
#include "platform/gdi/SystemMetrics.h"
#include "platform/win/Caret.h"
#include "platform/win/Clipboard.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Messages.h"
#include "platform/win/WindowStyles.h"
#include "platform/win/Windows.h"
#include "platform/rtl/Exceptions.h"

namespace {

constexpr int MaxHorzOffset = 512;
constexpr int HorzPageColumns = 10;
constexpr std::size_t ClipboardLimit = 65520;
constexpr std::size_t MaxPatternLength = 255;
constexpr int MarkerCount = 10;
constexpr int MinRowHeight = 12;
constexpr int RowPadding = 2;
constexpr int LetterCount = 52;
constexpr int idUpperLetters = 30281;
constexpr int idLowerLetters = 30282;
constexpr const char* kMarkers = "CTLMARKERS";
constexpr const char* kLineCursor = "CTLLINECURSOR";
constexpr int SunkenEdge = 2;
constexpr int FlatFrame = 1;
// While the button is held outside the text, the selection goes on growing at this pace.
constexpr uintptr_t DragTimerId = 1;
constexpr uint32_t DragTimerMs = 50;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool AnyEnabled(const TCtlBorders& b) {
  return b.LeftBorder().Enabled() || b.RightBorder().Enabled() || b.TopBorder().Enabled() ||
         b.BottomBorder().Enabled();
}

}  // namespace

TCtlBaseViewer::TCtlBaseViewer(TComponent* AOwner)
    : TCtlCustomControlEx(AOwner), FSingleCaret(std::make_unique<TCtlSingleCaret>(this)) {
  SetControlStyle(ControlStyle() | csOpaque | csCaptureMouse | csDoubleClicks);
  SetBounds(Left(), Top(), 200, 150);
  SetParentColor(false);
  SetColor(clWindow);
  SetTabStop(true);
  for (TVwrPos& b : FBookmarks) b = {-1, -1};
  FFixedFont.OnChange = [this](TCtlFixedFont*) {
    UpdateMetrics();
    Invalidate();
  };
  FHighlightColors.OnChange = [this] { Invalidate(); };
  FBorders.OnChange = [this] {
    if (AnyEnabled(FBorders)) {
      SetBorderStyle(bsNone);
      SetCtl3D(false);
    }
    Invalidate();
  };
}

TCtlBaseViewer::~TCtlBaseViewer() {
  FSingleCaret->SetVisible(false);
  FSingleCaret->SetLinked(false);
  if (FMarkers) CtlGlyphResources().Release(kMarkers);
}

void TCtlBaseViewer::SetTabSize(uint8_t Value) {
  if (Value == 0 || Value == FTabSize) return;
  FTabSize = Value;
  Invalidate();
}

void TCtlBaseViewer::SetBorderStyle(TBorderStyle Value) {
  if (Value == FBorderStyle) return;
  FBorderStyle = Value;
  UpdateMetrics();
  Invalidate();
}

void TCtlBaseViewer::SetCtl3D(bool Value) {
  if (Value == FCtl3D) return;
  FCtl3D = Value;
  UpdateMetrics();
  Invalidate();
}

void TCtlBaseViewer::SetExpandTabs(bool Value) {
  if (Value == FExpandTabs) return;
  FExpandTabs = Value;
  Invalidate();
}

void TCtlBaseViewer::SetMarginColor(TColor Value) {
  FMarginColor = Value;
  Invalidate();
}

void TCtlBaseViewer::SetScrollBars(TScrollStyle Value) {
  if (Value == FScrollBars) return;
  FScrollBars = Value;
  UpdateMetrics();
  Invalidate();
}

void TCtlBaseViewer::SetShowBookmarks(bool Value) {
  FShowBookmarks = Value;
  Invalidate();
}

void TCtlBaseViewer::SetShowCaret(bool Value) {
  if (Value == FShowCaret) return;
  FShowCaret = Value;
  if (!Value) {
    FSingleCaret->SetVisible(false);
    FSingleCaret->SetLinked(false);
  } else if (HandleAllocated() && Focused()) {
    LinkCaret();
  }
}

void TCtlBaseViewer::SetLeftMargin(int Value) {
  FLeftMargin = std::max(0, Value);
  UpdateMetrics();
  Invalidate();
}

// A new text: caret home, no selection, no bookmarks, the view at the start.
void TCtlBaseViewer::SetLineCount(int N) {
  if (N == FLineCount) return;
  FLineCount = N;
  if (HasState(csLoading)) return;
  FCaret = FAnchor = {};
  FWantedDisplayCol = 0;
  FTopLine = 0;
  FHorzOffset = 0;
  for (TVwrPos& b : FBookmarks) b = {-1, -1};
  if (!HandleAllocated()) return;
  Invalidate();
  UpdateCaret();
  PostMessage(Handle(), ctlm_ViewerNotify, 0, 0);
}

int TCtlBaseViewer::LineLength(int Line) {
  int n = 0;
  GetLineText(Line, n);
  return n;
}

int TCtlBaseViewer::DisplayCol(int Line, int Col) {
  if (!FExpandTabs) return Col;
  int n = 0;
  const char* text = GetLineText(Line, n);
  int d = 0;
  for (int i = 0; i < std::min(Col, n); ++i) d = text[i] == '\t' ? (d / FTabSize + 1) * FTabSize : d + 1;
  return d + std::max(0, Col - n);
}

int TCtlBaseViewer::TextCol(int Line, int DisplayColumn) {
  int n = 0;
  const char* text = GetLineText(Line, n);
  if (!FExpandTabs) return std::clamp(DisplayColumn, 0, n);
  int d = 0;
  for (int i = 0; i < n; ++i) {
    if (d >= DisplayColumn) return i;
    d = text[i] == '\t' ? (d / FTabSize + 1) * FTabSize : d + 1;
  }
  return n;
}

AnsiString TCtlBaseViewer::DisplayText(int Line) {
  int n = 0;
  const char* text = GetLineText(Line, n);
  if (FExpandTabs) {
    std::vector<char> buffer(std::size_t(n) * FTabSize + 1);
    const int len = FetchDisplayLine(Line, buffer.data(), n * FTabSize);
    return AnsiString(buffer.data(), std::size_t(len));
  }
  AnsiString shown(text, std::size_t(n));
  for (char& c : shown)
    if (uint8_t(c) < FFirstChar || uint8_t(c) > FLastChar) c = char(FDefaultChar);
  return shown;
}

// ---- geometry and scrolling ----

// The client area within the frame of a single border.
TRect TCtlBaseViewer::Inside() {
  const TRect r = ClientRect();
  if (FBorderStyle != bsSingle) return r;
  const int frame = FCtl3D ? SunkenEdge : FlatFrame;
  return InflateRect(r, -frame, -frame);
}

TRect TCtlBaseViewer::VertBarRect() {
  const TRect r = Inside();
  if (FScrollBars != ssVertical && FScrollBars != ssBoth) return {};
  const int bottom = FScrollBars == ssBoth ? r.Bottom - GetSystemMetrics(SM_CYHSCROLL) : r.Bottom;
  return {r.Right - GetSystemMetrics(SM_CXVSCROLL), r.Top, r.Right, bottom};
}

TRect TCtlBaseViewer::HorzBarRect() {
  const TRect r = Inside();
  if (FScrollBars != ssHorizontal && FScrollBars != ssBoth) return {};
  const int right = FScrollBars == ssBoth ? r.Right - GetSystemMetrics(SM_CXVSCROLL) : r.Right;
  return {r.Left, r.Bottom - GetSystemMetrics(SM_CYHSCROLL), right, r.Bottom};
}

TRect TCtlBaseViewer::TextArea() {
  TRect r = Inside();
  if (!VertBarRect().IsEmpty()) r.Right -= GetSystemMetrics(SM_CXVSCROLL);
  if (!HorzBarRect().IsEmpty()) r.Bottom -= GetSystemMetrics(SM_CYHSCROLL);
  return r;
}

int TCtlBaseViewer::TopLineMax() const { return std::max(0, FLineCount - FRows + 1); }

// Scroll bar positions are 16-bit: long texts scroll in steps.
int TCtlBaseViewer::VertScale() const {
  const int top = TopLineMax();
  return top > 32767 ? (top >> 15) * 2 : 1;
}

TScrollBarGeometry TCtlBaseViewer::VertGeometry() {
  TScrollBarGeometry g;
  g.Kind = TScrollBarKind::Vertical;
  g.Bounds = VertBarRect();
  g.Max = FLineCount / VertScale();
  g.Page = FRows;
  g.Position = FTopLine / VertScale();
  return g;
}

TScrollBarGeometry TCtlBaseViewer::HorzGeometry() {
  TScrollBarGeometry g;
  g.Kind = TScrollBarKind::Horizontal;
  g.Bounds = HorzBarRect();
  g.Max = FLineCount > 0 ? MaxHorzOffset : 0;
  g.Page = 0;
  g.Position = FHorzOffset;
  return g;
}

void TCtlBaseViewer::UpdateMetrics() {
  if (!HandleAllocated()) return;
  TCanvas& c = Canvas();
  c.Font().Assign(&FFixedFont.Font());
  FRowHeight = std::max(MinRowHeight, c.TextHeight("Wy") + RowPadding);
  FCharWidth = std::max(1, c.TextWidth(CtlStringById(idLowerLetters) + CtlStringById(idUpperLetters)) / LetterCount);
  const TRect area = TextArea();
  FRows = std::max(1, area.Height() / FRowHeight);
  FCols = std::max(1, (area.Width() - FLeftMargin) / FCharWidth);
  FSingleCaret->SetCellHeight(FRowHeight);
  FSingleCaret->SetCellWidth(FCharWidth);
  SetTopLine(FTopLine);
  UpdateCaret();
}

void TCtlBaseViewer::SetTopLine(int Value) {
  Value = std::clamp(Value, 0, TopLineMax());
  if (Value == FTopLine) return;
  FTopLine = Value;
  Invalidate();
  UpdateCaret();
  if (OnTopLineChanged) OnTopLineChanged(this, FTopLine);
}

void TCtlBaseViewer::SetHorzOffset(int Value) {
  Value = std::clamp(Value, 0, MaxHorzOffset);
  if (Value == FHorzOffset) return;
  FHorzOffset = Value;
  Invalidate();
  UpdateCaret();
}

void TCtlBaseViewer::ScrollByPart(bool Vertical, TScrollPart Part) {
  const int page = Vertical ? FRows : HorzPageColumns;
  const int step = Part == TScrollPart::LineUp     ? -1
                   : Part == TScrollPart::LineDown ? 1
                   : Part == TScrollPart::PageUp   ? -page
                   : Part == TScrollPart::PageDown ? page
                                                   : 0;
  if (Vertical) SetTopLine(FTopLine + step);
  else SetHorzOffset(FHorzOffset + step);
}

void TCtlBaseViewer::ScrollIntoView() {
  if (FRows <= 0) return;
  if (FCaret.Line < FTopLine) SetTopLine(FCaret.Line);
  else if (FCaret.Line >= FTopLine + FRows) SetTopLine(FCaret.Line - FRows + 1);
  const int d = DisplayCol(FCaret.Line, FCaret.Col);
  if (d < FHorzOffset) SetHorzOffset(d);
  else if (d >= FHorzOffset + FCols) SetHorzOffset(d - FCols + 1);
}

void TCtlBaseViewer::UpdateCaret() {
  if (!FSingleCaret->Linked()) return;
  const int row = FCaret.Line - FTopLine;
  const int col = DisplayCol(FCaret.Line, FCaret.Col) - FHorzOffset;
  const bool seen = row >= 0 && row < FRows && col >= 0 && col <= FCols;
  const TRect area = TextArea();
  if (seen) FSingleCaret->SetPosition(area.Left + FLeftMargin + col * FCharWidth, area.Top + row * FRowHeight);
  else FSingleCaret->SetPosition(-1, -1);  // out of sight
}

void TCtlBaseViewer::LinkCaret() {
  FSingleCaret->SetLinked(true);
  FSingleCaret->SetVisible(true);
  UpdateCaret();
}

// ---- caret and selection ----

void TCtlBaseViewer::PlaceCaret(TVwrPos Pos, bool Extend, bool KeepDisplayCol) {
  const int line = std::max(0, ClampLine(Pos.Line));
  const int col = KeepDisplayCol ? TextCol(line, FWantedDisplayCol) : std::clamp(Pos.Col, 0, LineLength(line));
  const TVwrPos before = FCaret, anchorBefore = FAnchor;
  FCaret = {line, col};
  if (!Extend) FAnchor = FCaret;
  const int display = DisplayCol(line, col);
  if (!KeepDisplayCol) FWantedDisplayCol = display;
  ScrollIntoView();
  if (before != FCaret || anchorBefore != FAnchor) Invalidate();
  UpdateCaret();
  if (HandleAllocated()) PostMessage(Handle(), ctlm_ViewerNotify, WPARAM(display), LPARAM(line));
}

void TCtlBaseViewer::MoveCaretTo(int Line, int Col, bool Extend) { PlaceCaret({Line, Col}, Extend); }

void TCtlBaseViewer::SetSelection(int AnchorLine, int AnchorCol, int EndLine, int EndCol, bool CaretAtEnd) {
  TVwrPos a{AnchorLine, AnchorCol}, e{EndLine, EndCol};
  if (e < a) std::swap(a, e);
  PlaceCaret(CaretAtEnd ? a : e, false);
  PlaceCaret(CaretAtEnd ? e : a, true);
}

void TCtlBaseViewer::MoveWord(bool Right) {
  int n = 0;
  const char* text = GetLineText(FCaret.Line, n);
  int c = FCaret.Col;
  if (Right) {
    if (c >= n) {
      if (FCaret.Line < FLineCount - 1) PlaceCaret({FCaret.Line + 1, 0}, true);
      return;
    }
    while (c < n && !IsBlank(text[c])) ++c;
    while (c < n && IsBlank(text[c])) ++c;
  } else {
    if (c == 0) {
      if (FCaret.Line > 0) PlaceCaret({FCaret.Line - 1, LineLength(FCaret.Line - 1)}, true);
      return;
    }
    while (c > 0 && IsBlank(text[c - 1])) --c;
    while (c > 0 && !IsBlank(text[c - 1])) --c;
  }
  PlaceCaret({FCaret.Line, c}, true);
}

// The word under the pointer with the blanks that follow it.
void TCtlBaseViewer::SelectWordAt(TVwrPos Pos) {
  int n = 0;
  const char* text = GetLineText(Pos.Line, n);
  int start = std::clamp(Pos.Col, 0, n);
  while (start > 0 && IsBlank(text[start - 1])) --start;
  while (start > 0 && !IsBlank(text[start - 1])) --start;
  int end = start;
  while (end < n && !IsBlank(text[end])) ++end;
  while (end < n && IsBlank(text[end])) ++end;
  SetSelection(Pos.Line, start, Pos.Line, end, true);
}

void TCtlBaseViewer::ExtendLines(int Line) {
  const int first = FLineAnchor.Line;
  if (Line >= first) SetSelection(first, 0, Line, LineLength(Line), true);
  else SetSelection(Line, 0, first, LineLength(first), false);
}

AnsiString TCtlBaseViewer::SelectedText() {
  const TVwrPos s = SelStart(), e = SelEnd();
  AnsiString text;
  for (int line = s.Line; line <= e.Line; ++line) {
    int n = 0;
    const char* t = GetLineText(line, n);
    const int from = line == s.Line ? std::min(s.Col, n) : 0;
    const int to = line == e.Line ? std::min(e.Col, n) : n;
    if (to > from) text.append(t + from, std::size_t(to - from));
    if (line < e.Line) text += "\r\n";
    if (text.size() > ClipboardLimit) throw ERegionTooLarge();
  }
  return text;
}

void TCtlBaseViewer::CopyToClipboard() {
  if (!HasSelection()) return;
  AnsiString text;
  try {
    text = SelectedText();
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Could not allocate memory for clipboard copy");
  }
  if (!OpenClipboard(HandleAllocated() ? Handle() : HWND(0))) return;
  EmptyClipboard();
  SetClipboardText(text);
  CloseClipboard();
}

void TCtlBaseViewer::SetBookmark(int N) {
  if (N < 0 || N > 9) return;
  FBookmarks[N] = FBookmarks[N] == FCaret ? TVwrPos{-1, -1} : FCaret;
  Invalidate();
}

void TCtlBaseViewer::GotoBookmark(int N) {
  if (N < 0 || N > 9 || FBookmarks[N].Line < 0) return;
  PlaceCaret(FBookmarks[N], false);
}

// ---- search ----

bool TCtlBaseViewer::SearchLine(int Line, int From, int To, bool Backward, bool MatchCase,
                                const AnsiString& Pattern, const uint8_t* Table, int& Found) {
  int n = 0;
  const char* text = GetLineText(Line, n);
  To = std::min(To, n);
  bool any = false;
  for (int at = From; To - at >= int(Pattern.size());) {
    int pos = 0;
    const bool hit = MatchCase ? SkipTableSearch(text + at, To - at, Table, pos, Pattern.c_str())
                               : SkipTableSearchNoCase(text + at, To - at, Table, pos, Pattern.c_str());
    if (!hit) break;
    Found = at + pos;
    any = true;
    if (!Backward) break;
    at = Found + 1;  // the last match of the line is the one wanted
  }
  return any;
}

bool TCtlBaseViewer::Search(const AnsiString& Pattern, TVwrSearchOptions Options) {
  if (Pattern.empty() || FLineCount == 0) return false;
  const bool matchCase = Options & soMatchCase;
  const bool backward = Options & soBackward;
  AnsiString pattern = Pattern.substr(0, MaxPatternLength);
  if (!matchCase)
    for (char& c : pattern) c = AnsiUpperChar(c);
  uint8_t table[256];
  BuildSkipTable(pattern.c_str(), table);
  const TCtlBusyCursor busy(HandleAllocated());
  const int last = FLineCount - 1;
  const int plen = int(pattern.size());
  int found = 0;
  if (backward) {
    const TVwrPos from = Options & soWholeText ? TVwrPos{last, LineLength(last)} : FCaret;
    for (int line = from.Line; line >= 0; --line) {
      const int to = line == from.Line ? from.Col : LineLength(line);
      if (SearchLine(line, 0, to, true, matchCase, pattern, table, found)) {
        SetSelection(line, found, line, found + plen, false);
        return true;
      }
    }
  } else {
    const TVwrPos from = Options & soWholeText ? TVwrPos{} : FCaret;
    for (int line = from.Line; line <= last; ++line) {
      const int start = line == from.Line ? from.Col : 0;
      if (SearchLine(line, start, INT_MAX, false, matchCase, pattern, table, found)) {
        SetSelection(line, found, line, found + plen, true);
        return true;
      }
    }
  }
  return false;
}

// ---- commands ----

void TCtlBaseViewer::CaretCommand(uint16_t Cmd) {
  const bool extend = (Cmd >= ccExtendDown && Cmd <= ccExtWordRight);
  const int page = std::max(1, FRows - 1);
  const int last = std::max(0, FLineCount - 1);
  const TVwrPos c = FCaret;
  switch (Cmd) {
    case ccLeft:
    case ccExtendLeft:
      if (c.Col > 0) PlaceCaret({c.Line, c.Col - 1}, extend);
      else if (c.Line > 0) PlaceCaret({c.Line - 1, LineLength(c.Line - 1)}, extend);
      break;
    case ccRight:
    case ccExtendRight:
      if (c.Col < LineLength(c.Line)) PlaceCaret({c.Line, c.Col + 1}, extend);
      else if (c.Line < last) PlaceCaret({c.Line + 1, 0}, extend);
      break;
    case ccUp:
    case ccExtendUp: PlaceCaret({c.Line - 1, 0}, extend, true); break;
    case ccDown:
    case ccExtendDown: PlaceCaret({c.Line + 1, 0}, extend, true); break;
    case ccHome:
    case ccExtendHome: PlaceCaret({c.Line, 0}, extend); break;
    case ccEnd:
    case ccExtendEnd: PlaceCaret({c.Line, LineLength(c.Line)}, extend); break;
    case ccPrevPage:
    case ccExtendPgUp:
      SetTopLine(FTopLine - page);
      PlaceCaret({c.Line - page, 0}, extend, true);
      break;
    case ccNextPage:
    case ccExtendPgDn:
      SetTopLine(FTopLine + page);
      PlaceCaret({c.Line + page, 0}, extend, true);
      break;
    case ccTopOfPage:
    case ccExtTopOfPage:
    case ccBotOfPage:
    case ccExtBotOfPage: {
      const bool top = Cmd == ccTopOfPage || Cmd == ccExtTopOfPage;
      const bool seen = c.Line >= FTopLine && c.Line < FTopLine + FRows;
      if (!seen) SetTopLine(top ? c.Line : c.Line - FRows + 1);
      else PlaceCaret({top ? FTopLine : std::min(last, FTopLine + FRows - 1), 0}, extend, true);
      break;
    }
    case ccFirstPage:
    case ccExtFirstPage: PlaceCaret({0, 0}, extend); break;
    case ccLastPage:
    case ccExtLastPage: PlaceCaret({last, LineLength(last)}, extend); break;
    case ccExtWordLeft: MoveWord(false); break;
    case ccExtWordRight: MoveWord(true); break;
    case ccScrollUp: SetTopLine(FTopLine - 1); break;
    case ccScrollDown: SetTopLine(FTopLine + 1); break;
    case ccCopy: CopyToClipboard(); break;
    default:
      if (Cmd >= ccGotoMarker0 && Cmd <= ccGotoMarker9) GotoBookmark(Cmd - ccGotoMarker0);
      else if (Cmd >= ccSetMarker0 && Cmd <= ccSetMarker9) SetBookmark(Cmd - ccSetMarker0);
      break;
  }
}

void TCtlBaseViewer::ViewCommand(uint16_t Cmd) {
  switch (Cmd) {
    case ccUp:
    case ccScrollUp: SetTopLine(FTopLine - 1); break;
    case ccDown:
    case ccScrollDown: SetTopLine(FTopLine + 1); break;
    case ccLeft: SetHorzOffset(FHorzOffset - 1); break;
    case ccRight: SetHorzOffset(FHorzOffset + 1); break;
    case ccPrevPage: SetTopLine(FTopLine - FRows); break;
    case ccNextPage: SetTopLine(FTopLine + FRows); break;
    case ccHome:
    case ccFirstPage:
      SetTopLine(0);
      SetHorzOffset(0);
      break;
    case ccEnd:
    case ccLastPage: SetTopLine(TopLineMax()); break;
    default: break;
  }
}

namespace {

bool IsCaretCommand(uint16_t Cmd) {
  switch (Cmd) {
    case ccLeft: case ccRight: case ccUp: case ccDown: case ccHome: case ccEnd: case ccPrevPage:
    case ccNextPage: case ccTopOfPage: case ccBotOfPage: case ccFirstPage: case ccLastPage:
    case ccExtendLeft: case ccExtendRight: case ccExtendUp: case ccExtendDown: case ccExtendHome:
    case ccExtendEnd: case ccExtendPgUp: case ccExtendPgDn: case ccExtTopOfPage: case ccExtBotOfPage:
    case ccExtFirstPage: case ccExtLastPage: case ccExtWordLeft: case ccExtWordRight: case ccScrollUp:
    case ccScrollDown: case ccCopy:
      return true;
    default:
      return (Cmd >= ccGotoMarker0 && Cmd <= ccGotoMarker9) || (Cmd >= ccSetMarker0 && Cmd <= ccSetMarker9);
  }
}

bool IsViewCommand(uint16_t Cmd) {
  switch (Cmd) {
    case ccUp: case ccScrollUp: case ccDown: case ccScrollDown: case ccLeft: case ccRight: case ccPrevPage:
    case ccNextPage: case ccHome: case ccFirstPage: case ccEnd: case ccLastPage:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool TCtlBaseViewer::ProcessCommand(uint16_t Cmd) {
  if (Cmd >= ccUserFirst) {
    if (OnUserCommand) OnUserCommand(this, Cmd);
    return true;
  }
  if (FShowCaret ? !IsCaretCommand(Cmd) : !IsViewCommand(Cmd)) return false;
  if (FShowCaret) CaretCommand(Cmd);
  else ViewCommand(Cmd);
  return true;
}

void TCtlBaseViewer::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCtlController* controller = Controller();
  if (!controller) {
    TCtlCustomControlEx::KeyDown(Key, Shift);
    return;
  }
  const uint16_t cmd = controller->EntryCommands().TranslateKey(Key);
  if (cmd == ccPartial || cmd == ccInvalidSequence) {
    Key = 0;
    return;
  }
  if (cmd != ccNotCommand && ProcessCommand(cmd)) {
    Key = 0;
    return;
  }
  TCtlCustomControlEx::KeyDown(Key, Shift);
}

// ---- mouse ----

TVwrPos TCtlBaseViewer::PosAt(int X, int Y) {
  const TRect area = TextArea();
  int line;
  if (Y < area.Top) line = FTopLine - 1;
  else if (Y >= area.Top + FRows * FRowHeight) line = FTopLine + FRows;
  else line = (Y - area.Top) / FRowHeight + FTopLine;
  line = std::max(0, ClampLine(std::max(0, line)));
  const int x = X - area.Left - FLeftMargin;
  const int display = x < 0 ? std::max(0, FHorzOffset - 1) : x / FCharWidth + FHorzOffset;
  return {line, TextCol(line, display)};
}

void TCtlBaseViewer::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCtlCustomControlEx::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  if (CanFocus() && !Focused()) SetFocus();
  const TPoint p{X, Y};
  for (bool vertical : {true, false}) {
    TScrollBarGeometry g = vertical ? VertGeometry() : HorzGeometry();
    if (g.Bounds.IsEmpty() || !g.Bounds.Contains(p.X, p.Y)) continue;
    FDrag = vertical ? TDrag::VertBar : TDrag::HorzBar;
    FBarPart = g.HitTest(p);
    if (FBarPart == TScrollPart::Thumb)
      FThumbGrab = (vertical ? Y - g.Bounds.Top : X - g.Bounds.Left) - g.ThumbOffset();
    else ScrollByPart(vertical, FBarPart);
    return;
  }
  const TVwrPos pos = PosAt(X, Y);
  if (Shift & ssDouble) {
    SelectWordAt(pos);
    FDrag = TDrag::None;
    return;
  }
  SetTimer(Handle(), DragTimerId, DragTimerMs);
  if (X - TextArea().Left < FLeftMargin) {
    FDrag = TDrag::Lines;
    // Shift grows the selection there is, however it was made.
    FLineAnchor = (Shift & ssShift) && HasSelection() ? SelStart() : pos;
    ExtendLines(pos.Line);
    return;
  }
  FDrag = TDrag::Text;
  PlaceCaret(pos, Shift & ssShift);
}

void TCtlBaseViewer::MouseMove(TShiftState Shift, int X, int Y) {
  TCtlCustomControlEx::MouseMove(Shift, X, Y);
  if (!(Shift & ssLeft)) return;
  switch (FDrag) {
    case TDrag::Text: PlaceCaret(PosAt(X, Y), true); break;
    case TDrag::Lines: ExtendLines(PosAt(X, Y).Line); break;
    case TDrag::VertBar:
    case TDrag::HorzBar: {
      if (FBarPart != TScrollPart::Thumb) break;
      const bool vertical = FDrag == TDrag::VertBar;
      TScrollBarGeometry g = vertical ? VertGeometry() : HorzGeometry();
      const int at = g.PositionAtThumbOffset((vertical ? Y - g.Bounds.Top : X - g.Bounds.Left) - FThumbGrab);
      if (!vertical) SetHorzOffset(at);
      // The highest thumb position shows the last page.
      else SetTopLine(at >= g.MaxPosition() ? TopLineMax() : at * VertScale());
      break;
    }
    case TDrag::None: break;
  }
}

void TCtlBaseViewer::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCtlCustomControlEx::MouseUp(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  FDrag = TDrag::None;
  KillTimer(Handle(), DragTimerId);
}

void TCtlBaseViewer::DoMouseWheel(TShiftState Shift, int Delta, int XPos, int YPos) {
  TCtlCustomControlEx::DoMouseWheel(Shift, Delta, XPos, YPos);
  SetTopLine(FTopLine + (Delta < 0 ? 1 : -1));
}

// ---- window ----

void TCtlBaseViewer::CreateWnd() {
  TCtlCustomControlEx::CreateWnd();
  if (!FMarkers) FMarkers = CtlGlyphResources().Acquire(kMarkers);
  if (!FLineCursor) {
    try {
      FLineCursor = LoadCursorFromLibrary(kLineCursor);
    } catch (const EResNotFound&) {
    }
  }
  UpdateMetrics();
}

void TCtlBaseViewer::WMSize(TMessage& m) {
  TCtlCustomControlEx::WMSize(m);
  UpdateMetrics();
}

void TCtlBaseViewer::DestroyWnd() {
  FSingleCaret->SetLinked(false);
  TCtlCustomControlEx::DestroyWnd();
}

void TCtlBaseViewer::WMSetFocus(TMessage& m) {
  TCtlCustomControlEx::WMSetFocus(m);
  if (FShowCaret) LinkCaret();
}

void TCtlBaseViewer::WMKillFocus(TMessage& m) {
  FSingleCaret->SetLinked(false);
  TCtlCustomControlEx::WMKillFocus(m);
}

// A busy cursor set for the whole screen wins over the margin's.
bool TCtlBaseViewer::ShowsLineCursorAt(TPoint Client) {
  if (!FLineCursor || Screen().Cursor() != crDefault) return false;
  const TRect area = TextArea();
  return area.Contains(Client.X, Client.Y) && Client.X - area.Left < FLeftMargin;
}

void TCtlBaseViewer::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_SETCURSOR:
      if (TPoint p; LOWORD(static_cast<uintptr_t>(Message.LParam)) == HTCLIENT && GetCursorPos(p) &&
                    ShowsLineCursorAt(ScreenToClient(p))) {
        ::SetCursor(FLineCursor);
        Message.Result = 1;
        return;
      }
      break;
    case WM_GETDLGCODE:
      Message.Result = DLGC_WANTARROWS;
      return;
    case ctlm_ViewerNotify:
      if (OnShowStatus) OnShowStatus(this, int(Message.LParam), int(Message.WParam));
      return;
    case WM_TIMER:
      if (Message.WParam == DragTimerId) {
        TPoint p;
        const bool held = (FDrag == TDrag::Text || FDrag == TDrag::Lines) && GetCursorPos(p);
        if (!held) KillTimer(Handle(), DragTimerId);
        else if (const TPoint at = ScreenToClient(p); !TextArea().Contains(at.X, at.Y)) MouseMove(ssLeft, at.X, at.Y);
        return;
      }
      break;
    case WM_MOUSEACTIVATE:
      // A field with an error pending keeps the focus: the click neither activates nor arrives.
      if (Controller() && Controller()->ErrorPending()) {
        Message.Result = MA_NOACTIVATEANDEAT;
        return;
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (!Focused() && Controller() && Controller()->ErrorPending()) return;
      break;
    default:
      break;
  }
  TCtlCustomControlEx::WndProc(Message);
}

// ---- painting ----

void TCtlBaseViewer::PaintRow(int Row, int Line, const TRect& Area) {
  TCanvas& c = Canvas();
  const int top = Area.Top + Row * FRowHeight;
  const int bottom = std::min(Area.Bottom, top + FRowHeight);
  const int textLeft = Area.Left + FLeftMargin;
  c.Brush().SetColor(FMarginColor);
  c.FillRect({Area.Left, top, textLeft, bottom});
  const bool hasLine = Line < FLineCount;
  if (hasLine && FShowBookmarks && FMarkers)
    for (int n = 0; n < MarkerCount; ++n) {
      if (FBookmarks[n].Line != Line) continue;
      // Ten glyphs side by side: each a tenth of the strip wide and as high as the strip.
      const int gw = FMarkers->Width() / MarkerCount, gh = FMarkers->Height();
      const int x0 = Area.Left + (FLeftMargin - gw) / 2;
      const int y0 = top + (FRowHeight > gh + 1 ? (FRowHeight - gh) / 2 : 0);
      const TColorRef clear = FMarkers->Pixel(0, gh - 1);
      for (int y = 0; y < gh; ++y)
        for (int x = 0; x < gw; ++x) {
          const TColorRef p = FMarkers->Pixel(n * gw + x, y);
          if (p != clear && p != CLR_INVALID) c.SetPixel(x0 + x, y0 + y, TColor(p));
        }
    }
  int x = textLeft;
  if (hasLine) {
    const AnsiString text = DisplayText(Line);
    const int shown = std::max(0, std::min(int(text.size()) - FHorzOffset, FCols + 1));
    int selFrom = 0, selTo = 0;
    if (HasSelection() && Line >= SelStart().Line && Line <= SelEnd().Line) {
      selFrom = Line == SelStart().Line ? DisplayCol(Line, SelStart().Col) : 0;
      selTo = Line == SelEnd().Line ? DisplayCol(Line, SelEnd().Col) : int(text.size());
    }
    auto segment = [&](int from, int to, bool selected) {
      from = std::max(from, 0);
      to = std::min(to, shown);
      if (to <= from) return;
      const TRect r{textLeft + from * FCharWidth, top, std::min(Area.Right, textLeft + to * FCharWidth), bottom};
      c.Brush().SetColor(selected ? FHighlightColors.BackColor() : Color());
      c.Font().SetColor(selected ? FHighlightColors.TextColor() : FFixedFont.Color());
      c.TextRect(r, r.Left, top + RowPadding / 2, text.substr(std::size_t(FHorzOffset + from), std::size_t(to - from)));
      x = std::max(x, r.Right);
    };
    segment(0, selFrom - FHorzOffset, false);
    segment(selFrom - FHorzOffset, selTo - FHorzOffset, true);
    segment(selTo - FHorzOffset, shown, false);
  }
  c.Brush().SetColor(Color());
  if (x < Area.Right) c.FillRect({x, top, Area.Right, bottom});
}

void TCtlBaseViewer::Paint() {
  TCanvas& c = Canvas();
  c.Font().Assign(&FFixedFont.Font());
  const TRect area = TextArea();
  const TRect clip = c.ClipRect();
  const int firstRow = std::max(0, (clip.Top - area.Top) / FRowHeight);
  const int lastRow = (std::min(clip.Bottom, area.Bottom) - area.Top - 1) / FRowHeight;
  for (int row = firstRow; row <= lastRow; ++row) PaintRow(row, FTopLine + row, area);
  for (bool vertical : {true, false}) {
    const TScrollBarGeometry g = vertical ? VertGeometry() : HorzGeometry();
    if (g.Bounds.IsEmpty()) continue;
    const TScrollPart pressed = FDrag == (vertical ? TDrag::VertBar : TDrag::HorzBar) ? FBarPart : TScrollPart::None;
    PaintScrollBar(*c.Handle(), g, pressed, Enabled());
  }
  if (FScrollBars == ssBoth) {
    const TRect inside = Inside();
    c.Brush().SetColor(clBtnFace);
    c.FillRect({area.Right, area.Bottom, inside.Right, inside.Bottom});
  }
  if (FBorderStyle == bsSingle) {
    TRect edge = ClientRect();
    if (FCtl3D) DrawEdge(*c.Handle(), edge, EDGE_SUNKEN, BF_RECT);
    else {
      c.Brush().SetColor(clWindowFrame);
      c.FrameRect(edge);
    }
  }
  // The border lines lie over the text area's edges, as a client edge would.
  TDeviceContext& dc = *c.Handle();
  const int saved = dc.SaveDC();
  dc.OffsetViewportOrg(area.Left, area.Top);
  FBorders.Draw(c, area.Width(), area.Height());
  dc.RestoreDC(saved);
}

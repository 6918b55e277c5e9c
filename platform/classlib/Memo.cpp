#include "platform/classlib/Memo.h"

#include <algorithm>

#include "platform/gdi/DrawText.h"
#include "platform/gdi/Edges.h"
#include "platform/gdi/SystemMetrics.h"
#include "platform/classlib/Menus.h"
#include "platform/win/Caret.h"
#include "platform/win/Clipboard.h"
#include "platform/win/PaintContext.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/Windows.h"

namespace {

bool HasShift(TShiftState s) { return (s & ssShift) != 0; }
bool HasCtrl(TShiftState s) { return (s & ssCtrl) != 0; }
TDeviceContext& DC(TCanvas& canvas) { return *canvas.Handle(); }

}  // namespace

// ---- editor painting ----

void PaintEditorText(TCanvas& canvas, const TMemoEditor& editor, const TRect& area, int lineHeight,
                     bool showSelection, bool enabled, TColor textColor, char passwordChar) {
  TDeviceContext& dc = DC(canvas);
  int saved = dc.SaveDC();
  dc.IntersectClipRect(area.Left, area.Top, area.Right, area.Bottom);
  dc.SelectFont(canvas.Font().Handle());
  dc.SetBkMode(TRANSPARENT);
  TColor fg = enabled ? textColor : clGrayText;
  TTextPos selA = editor.SelFirst(), selB = editor.SelLast();
  bool sel = showSelection && editor.HasSelection();
  int y = area.Top;
  for (int r = editor.TopRow(); r < editor.RowCount() && y < area.Bottom; ++r, y += lineHeight) {
    const TTextRow& row = editor.Row(r);
    AnsiString text = editor.Line(row.Line).substr(size_t(row.Start), size_t(row.End - row.Start));
    if (passwordChar) text.assign(text.size(), passwordChar);
    // Tabs are shown as blanks of the tab's width.
    for (char& ch : text)
      if (ch == '\t') ch = ' ';
    int x0 = area.Left - editor.ScrollX();
    int a = 0, b = 0;  // selected columns of this row, relative to its start
    if (sel) {
      TTextPos rs{row.Line, row.Start}, re{row.Line, row.End};
      TTextPos from = std::max(selA, rs), to = std::min(selB, re);
      if (from < to) a = from.Col - row.Start, b = to.Col - row.Start;
    }
    auto widthOf = [&](int from, int to) {
      return editor.TextWidth(std::string_view(editor.Line(row.Line)).substr(size_t(row.Start + from), size_t(to - from)));
    };
    dc.SetTextColor(ColorToRGB(fg));
    if (a == b) {
      dc.TextOut(x0, y, text);
      continue;
    }
    int xa = x0 + widthOf(0, a), xb = x0 + widthOf(0, b);
    dc.TextOut(x0, y, std::string_view(text).substr(0, size_t(a)));
    dc.FillRect(TRect{xa, y, xb, y + lineHeight}, SolidBrush(clHighlight));
    dc.SetTextColor(ColorToRGB(clHighlightText));
    dc.TextOut(xa, y, std::string_view(text).substr(size_t(a), size_t(b - a)));
    dc.SetTextColor(ColorToRGB(fg));
    dc.TextOut(xb, y, std::string_view(text).substr(size_t(b)));
  }
  dc.RestoreDC(saved);
}

// ---- TCustomEdit ----

TCustomEdit::TCustomEdit(TComponent* owner, bool multiLine) : TCustomControl(owner), FEditor(multiLine) {
  FControlStyle = csClickEvents | csSetCaption | csDoubleClicks | csCaptureMouse | csOpaque;
  SetParentColor(false);
  SetColor(clWindow);
  SetTabStop(true);
  SetCursor(crIBeam);
  FWidths.Update(Font().Handle());
  FEditor.SetCharWidth([this](char c) { return FPasswordChar ? FWidths.Width(FPasswordChar) : FWidths.Width(c); });
  FEditor.OnChange = [this] { EditorChanged(); };
  SetBounds(0, 0, 121, 21);
  AdjustHeight();
}

void TCustomEdit::EditorChanged() {
  FText = FEditor.Text();
  if (HandleAllocated()) SetWindowText(FHandle, FText);
  UpdateLayout();
  Invalidate();
  Change();
}

void TCustomEdit::Change() {
  if (OnChange) OnChange(this);
}

void TCustomEdit::SetText(const AnsiString& v) {
  if (v == FEditor.Text() && v == FText) return;
  FEditor.SetText(v);
  UpdateCaret();
}

void TCustomEdit::SetAutoSize(bool v) {
  if (FAutoSize == v) return;
  FAutoSize = v;
  AdjustHeight();
}

void TCustomEdit::AdjustHeight() {
  if (!FAutoSize || FEditor.MultiLine()) return;
  // The classic edit: the font's height and room for a 3D border and a margin.
  int extra = FBorderStyle == bsSingle ? 8 : 2;
  SetHeight(LineHeight() + extra);
}

void TCustomEdit::SetBorderStyle(TBorderStyle v) {
  if (FBorderStyle == v) return;
  FBorderStyle = v;
  AdjustHeight();
  UpdateLayout();
  Invalidate();
}

void TCustomEdit::SetHideSelection(bool v) {
  if (FHideSelection == v) return;
  FHideSelection = v;
  Invalidate();
}

void TCustomEdit::SetPasswordChar(char v) {
  if (FPasswordChar == v) return;
  FPasswordChar = v;
  FEditor.SetCopyAllowed(v == 0);
  FEditor.SetCharWidth([this](char c) { return FPasswordChar ? FWidths.Width(FPasswordChar) : FWidths.Width(c); });
  UpdateLayout();
  Invalidate();
}

void TCustomEdit::SetSelStart(int v) {
  FEditor.SetSelStart(v);
  CaretMoved();
}

void TCustomEdit::SetSelLength(int v) {
  FEditor.SetSelLength(v);
  CaretMoved();
}

void TCustomEdit::SetSelText(const AnsiString& v) {
  FEditor.SetSelText(v);
  CaretMoved();
}

void TCustomEdit::SelectAll() {
  FEditor.SelectAll();
  CaretMoved();
}

void TCustomEdit::ClearSelection() {
  if (FEditor.DeleteSelection()) CaretMoved();
}

void TCustomEdit::CopyToClipboard() {
  FEditor.SetClipboardOwner(HandleAllocated() ? FHandle : 0);
  FEditor.CopyToClipboard();
}

void TCustomEdit::CutToClipboard() {
  FEditor.SetClipboardOwner(HandleAllocated() ? FHandle : 0);
  if (FEditor.CutToClipboard()) CaretMoved();
}

void TCustomEdit::Undo() {
  if (FEditor.Undo()) CaretMoved();
}

void TCustomEdit::PasteFromClipboard() {
  if (FEditor.PasteFromClipboard()) CaretMoved();
}

void TCustomEdit::WMContextMenu(TMessage& m) {
  if (PopupMenu()) {
    TCustomControl::WMContextMenu(m);
    return;
  }
  std::weak_ptr<const void> self = Liveness();
  if (!Focused() && CanFocus()) SetFocus();
  if (self.expired()) return;
  bool editable = !ReadOnly();
  bool selected = FEditor.HasSelection();
  bool copyable = selected && FEditor.CopyAllowed();  // never a password
  int length = FEditor.TextLength();
  struct TEntry {
    const char* Caption;
    bool Enabled;
    void (TCustomEdit::*Run)();
  };
  const TEntry entries[] = {
      {"&Undo", editable && CanUndo(), &TCustomEdit::Undo},
      {"-", true, nullptr},
      {"Cu&t", editable && copyable, &TCustomEdit::CutToClipboard},
      {"&Copy", copyable, &TCustomEdit::CopyToClipboard},
      {"&Paste", editable && IsClipboardFormatAvailable(CF_TEXT), &TCustomEdit::PasteFromClipboard},
      {"&Delete", editable && selected, &TCustomEdit::ClearSelection},
      {"-", true, nullptr},
      {"Select &All", length > 0 && FEditor.SelLength() < length, &TCustomEdit::SelectAll},
  };
  TPopupMenu menu(nullptr);
  for (const TEntry& e : entries) {
    auto* item = new TMenuItem(&menu);
    item->SetCaption(e.Caption);
    item->SetEnabled(e.Enabled);
    // The menu's loop may outlive the edit.
    if (e.Run) item->OnClick = [this, self, run = e.Run](TObject*) {
        if (!self.expired()) (this->*run)();
      };
    menu.Items().Add(item);
  }
  menu.SetPopupComponent(this);
  TPoint p = ClientToScreen(TPoint{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)});
  menu.Popup(p.X, p.Y);
}

TRect TCustomEdit::TextArea() {
  TRect r = ClientRect();
  int b = BorderWidth();
  r = InflateRect(r, -b, -b);
  r.Left += 1, r.Right -= 1;  // a pixel of margin each side, as the classic edit
  if (!FEditor.MultiLine()) {
    // A single line sits in the middle of the height.
    int free = r.Height() - LineHeight();
    if (free > 0) r.Top += free / 2, r.Bottom = r.Top + LineHeight();
  } else {
    r.Top += 1;
  }
  return r;
}

void TCustomEdit::UpdateLayout() {
  TRect a = TextArea();
  FEditor.SetViewSize(std::max(1, a.Height() / std::max(1, LineHeight())), a.Width());
}

void TCustomEdit::UpdateCaret() {
  if (!FCaretMade || !HandleAllocated()) return;
  TRect a = TextArea();
  TTextPos p = FEditor.Caret();
  int row = FEditor.RowOf(p) - FEditor.TopRow();
  int x = a.Left + FEditor.XOfPos(p) - FEditor.ScrollX();
  int y = a.Top + row * LineHeight();
  bool inView = row >= 0 && row < FEditor.VisibleRows() && x >= a.Left - 1 && x <= a.Right;
  SetCaretPos(inView ? x : -100, inView ? y : -100);
}

void TCustomEdit::CaretMoved() {
  UpdateLayout();
  FEditor.ScrollCaretIntoView();
  UpdateCaret();
  Invalidate();
}

TTextPos TCustomEdit::PosAtPoint(int x, int y) {
  TRect a = TextArea();
  int row = FEditor.TopRow() + (y - a.Top) / std::max(1, LineHeight());
  if (y < a.Top) row = FEditor.TopRow() - 1;
  row = std::clamp(row, 0, FEditor.RowCount() - 1);
  return FEditor.PosAtRowX(row, x - a.Left + FEditor.ScrollX());
}

void TCustomEdit::Paint() {
  TCanvas& c = Canvas();
  TRect r = ClientRect();
  TColor bg = Enabled() ? Color() : clBtnFace;
  if (FBorderStyle == bsSingle) DrawEdge(DC(c), r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  FillCanvasRect(c, r, bg);
  c.Font().Assign(&Font());
  bool showSel = Focused() || !FHideSelection;
  PaintEditorText(c, FEditor, TextArea(), LineHeight(), showSel, Enabled(), Font().Color(), FPasswordChar);
}

bool TCustomEdit::WantsKey(uint16_t key) {
  switch (key) {
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: case VK_HOME: case VK_END: return true;
    default: return TCustomControl::WantsKey(key);
  }
}

void TCustomEdit::KeyDown(uint16_t& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  if (key == 0 || (shift & ssAlt)) return;
  FEditor.SetClipboardOwner(HandleAllocated() ? FHandle : 0);
  if (FEditor.KeyDown(key, HasShift(shift), HasCtrl(shift))) {
    key = 0;
    CaretMoved();
  }
}

void TCustomEdit::KeyPress(char& key) {
  TCustomControl::KeyPress(key);
  if (key == 0) return;
  if (FEditor.KeyChar(key)) {
    key = 0;
    CaretMoved();
  }
}

void TCustomEdit::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    if (!Focused() && CanFocus()) SetFocus();
    TTextPos p = PosAtPoint(x, y);
    if (shift & ssDouble) FEditor.SelectWordAt(p);
    else FEditor.SetCaret(p, HasShift(shift));
    FMouseSelecting = !(shift & ssDouble);
    CaretMoved();
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomEdit::MouseMove(TShiftState shift, int x, int y) {
  if (FMouseSelecting && (shift & ssLeft)) {
    FEditor.SetCaret(PosAtPoint(x, y), true);
    CaretMoved();
  }
  TCustomControl::MouseMove(shift, x, y);
}

void TCustomEdit::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) FMouseSelecting = false;
  TCustomControl::MouseUp(button, shift, x, y);
}

void TCustomEdit::DoEnter() {
  // Entered by the keyboard, a single-line edit selects its whole text.
  if (FAutoSelect && !FEditor.MultiLine() && GetKeyState(VK_LBUTTON) >= 0) FEditor.SelectAll();
  TCustomControl::DoEnter();
}

void TCustomEdit::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_SETFOCUS:
      TCustomControl::WndProc(m);
      CreateCaret(FHandle, 1, LineHeight());
      FCaretMade = true;
      CaretMoved();
      ShowCaret(FHandle);
      return;
    case WM_KILLFOCUS:
      if (FCaretMade) {
        DestroyCaret();
        FCaretMade = false;
      }
      FMouseSelecting = false;
      TCustomControl::WndProc(m);
      Invalidate();
      return;
    case WM_SIZE:
      TCustomControl::WndProc(m);
      UpdateLayout();
      UpdateCaret();
      return;
    case WM_GETDLGCODE:
      m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_HASSETSEL;
      return;
    case WM_CUT: CutToClipboard(); return;
    case WM_COPY: CopyToClipboard(); return;
    case WM_PASTE: PasteFromClipboard(); return;
    case WM_CLEAR: ClearSelection(); return;
    case WM_UNDO: Undo(); m.Result = 1; return;
    case WM_ERASEBKGND: m.Result = 1; return;
    default: break;
  }
  TCustomControl::WndProc(m);
}

void TCustomEdit::CMFontChanged(TMessage& m) {
  TCustomControl::CMFontChanged(m);
  FWidths.Update(Font().Handle());
  FEditor.SetCharWidth([this](char c) { return FPasswordChar ? FWidths.Width(FPasswordChar) : FWidths.Width(c); });
  AdjustHeight();
  UpdateLayout();
  Invalidate();
}

void TCustomEdit::CMEnabledChanged(TMessage& m) {
  TCustomControl::CMEnabledChanged(m);
  Invalidate();
}

// ---- TMemoStrings ----

int TMemoStrings::Count() const {
  // The empty line after a final line break is not a line of the list.
  const TMemoEditor& e = FMemo.FEditor;
  int n = e.LineCount();
  return e.Line(n - 1).empty() ? n - 1 : n;
}

void TMemoStrings::check(int index, int count) const {
  if (index < 0 || index >= count) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

AnsiString TMemoStrings::Get(int index) const {
  check(index, Count());
  return FMemo.FEditor.Line(index);
}

void TMemoStrings::Put(int index, const AnsiString& s) {
  check(index, Count());
  FMemo.FEditor.PutLine(index, s);
}

void TMemoStrings::Insert(int index, const AnsiString& s) {
  check(index, Count() + 1);
  FMemo.FEditor.InsertLine(index, s);
  Changed();
}

void TMemoStrings::Delete(int index) {
  check(index, Count());
  FMemo.FEditor.DeleteLine(index);
  Changed();
}

void TMemoStrings::Clear() {
  FMemo.FEditor.ClearAll();
  Changed();
}

void TMemoStrings::SetText(const AnsiString& text) {
  FMemo.FEditor.SetText(text);
  Changed();
}

// ---- TCustomMemo ----

TCustomMemo::TCustomMemo(TComponent* owner) : TCustomEdit(owner, true) {
  SetAutoSelect(false);
  SetBounds(Left(), Top(), 185, 89);
  FEditor.SetWrapWidth(1);  // the real width comes with the layout
  UpdateLayout();
}

void TCustomMemo::SetScrollBars(TScrollStyle v) {
  if (FScrollBars == v) return;
  FScrollBars = v;
  UpdateLayout();
  Invalidate();
}

void TCustomMemo::SetWordWrap(bool v) {
  if (FWordWrap == v) return;
  FWordWrap = v;
  UpdateLayout();
  Invalidate();
}

TRect TCustomMemo::VertScrollBarRect() {
  if (FScrollBars != ssVertical && FScrollBars != ssBoth) return TRect{};
  TRect r = InflateRect(ClientRect(), -BorderWidth(), -BorderWidth());
  int w = GetSystemMetrics(SM_CXVSCROLL);
  int bottom = (FScrollBars == ssBoth && !FWordWrap) ? r.Bottom - GetSystemMetrics(SM_CYHSCROLL) : r.Bottom;
  return TRect{r.Right - w, r.Top, r.Right, bottom};
}

TRect TCustomMemo::HorzScrollBarRect() {
  // Word wrap leaves nothing to scroll sideways, so the memo shows no horizontal bar then.
  if ((FScrollBars != ssHorizontal && FScrollBars != ssBoth) || FWordWrap) return TRect{};
  TRect r = InflateRect(ClientRect(), -BorderWidth(), -BorderWidth());
  int h = GetSystemMetrics(SM_CYHSCROLL);
  int right = FScrollBars == ssBoth ? r.Right - GetSystemMetrics(SM_CXVSCROLL) : r.Right;
  return TRect{r.Left, r.Bottom - h, right, r.Bottom};
}

TRect TCustomMemo::TextArea() {
  TRect r = InflateRect(ClientRect(), -BorderWidth(), -BorderWidth());
  TRect v = VertScrollBarRect(), h = HorzScrollBarRect();
  if (!v.IsEmpty()) r.Right = v.Left;
  if (!h.IsEmpty()) r.Bottom = h.Top;
  r.Left += 1, r.Top += 1, r.Right -= 1;
  if (r.Right < r.Left) r.Right = r.Left;
  if (r.Bottom < r.Top) r.Bottom = r.Top;
  return r;
}

void TCustomMemo::UpdateLayout() {
  TRect a = TextArea();
  FEditor.SetWrapWidth(FWordWrap ? std::max(1, a.Width()) : 0);
  TCustomEdit::UpdateLayout();
}

TScrollBarGeometry TCustomMemo::VertGeometry() {
  TScrollBarGeometry g;
  g.Kind = TScrollBarKind::Vertical;
  g.Bounds = VertScrollBarRect();
  g.Min = 0;
  g.Max = std::max(0, FEditor.RowCount() - 1);
  g.Page = FEditor.VisibleRows();
  g.Position = FEditor.TopRow();
  return g;
}

TScrollBarGeometry TCustomMemo::HorzGeometry() {
  TScrollBarGeometry g;
  g.Kind = TScrollBarKind::Horizontal;
  g.Bounds = HorzScrollBarRect();
  int width = std::max(1, TextArea().Width());
  g.Min = 0;
  g.Max = std::max(FEditor.WidestRow() + FWidths.AveCharWidth(), width) - 1;
  g.Page = width;
  g.Position = FEditor.ScrollX();
  return g;
}

void TCustomMemo::ScrollBy(bool vertical, TScrollPart part) {
  if (vertical) {
    int page = std::max(1, FEditor.VisibleRows() - 1);
    FEditor.SetTopRow(FEditor.TopRow() + ScrollStep(part, 1, page));
  } else {
    int page = std::max(1, TextArea().Width() * 3 / 4);
    FEditor.SetScrollX(FEditor.ScrollX() + ScrollStep(part, FWidths.AveCharWidth(), page));
  }
  UpdateCaret();
  Invalidate();
}

void TCustomMemo::Paint() {
  TCustomEdit::Paint();
  TCanvas& c = Canvas();
  TRect v = VertScrollBarRect(), h = HorzScrollBarRect();
  if (!v.IsEmpty()) PaintScrollBar(DC(c), VertGeometry(), FBarPressed == 1 ? FPartPressed : TScrollPart::None, Enabled());
  if (!h.IsEmpty()) PaintScrollBar(DC(c), HorzGeometry(), FBarPressed == 2 ? FPartPressed : TScrollPart::None, Enabled());
  if (!v.IsEmpty() && !h.IsEmpty()) FillCanvasRect(c, TRect{v.Left, h.Top, v.Right, h.Bottom}, clBtnFace);
}

bool TCustomMemo::WantsKey(uint16_t key) {
  switch (key) {
    case VK_RETURN: return FWantReturns;
    case VK_TAB: return FWantTabs;
    case VK_PRIOR: case VK_NEXT: return true;
    default: return TCustomEdit::WantsKey(key);
  }
}

void TCustomMemo::KeyPress(char& key) {
  if ((key == '\r' || key == '\n') && !FWantReturns) return;
  if (key == '\t' && !FWantTabs) return;
  TCustomEdit::KeyPress(key);
}

void TCustomMemo::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    for (int bar = 1; bar <= 2; ++bar) {
      TScrollBarGeometry g = bar == 1 ? VertGeometry() : HorzGeometry();
      if (g.Bounds.IsEmpty() || !g.Bounds.Contains(x, y)) continue;
      if (!Focused() && CanFocus()) SetFocus();
      FBarPressed = bar;
      FPartPressed = g.HitTest({x, y});
      if (FPartPressed == TScrollPart::Thumb) FThumbGrab = OffsetAlongBar(g, x, y) - g.ThumbOffset();
      else if (FPartPressed != TScrollPart::None) {
        ScrollBy(bar == 1, FPartPressed);
        FRepeat.Start(Handle());
      }
      Invalidate();
      // The control's own handling still runs (mouse events, capture), not the edit's caret.
      TCustomControl::MouseDown(button, shift, x, y);
      return;
    }
  }
  TCustomEdit::MouseDown(button, shift, x, y);
}

void TCustomMemo::MouseMove(TShiftState shift, int x, int y) {
  if (FBarPressed && FPartPressed == TScrollPart::Thumb) {
    TScrollBarGeometry g = FBarPressed == 1 ? VertGeometry() : HorzGeometry();
    int pos = g.PositionAtThumbOffset(OffsetAlongBar(g, x, y) - FThumbGrab);
    if (FBarPressed == 1) FEditor.SetTopRow(pos);
    else FEditor.SetScrollX(pos);
    UpdateCaret();
    Invalidate();
  }
  if (FBarPressed) {
    TCustomControl::MouseMove(shift, x, y);
    return;
  }
  TCustomEdit::MouseMove(shift, x, y);
}

void TCustomMemo::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (FBarPressed && button == mbLeft) {
    FRepeat.Stop();
    FBarPressed = 0;
    FPartPressed = TScrollPart::None;
    Invalidate();
    TCustomControl::MouseUp(button, shift, x, y);
    return;
  }
  TCustomEdit::MouseUp(button, shift, x, y);
}

void TCustomMemo::WndProc(TMessage& m) {
  if (FRepeat.IsTick(m.Msg, m.WParam)) {
    TPoint p;
    GetCursorPos(p);
    p = ScreenToClient(p);
    TScrollBarGeometry g = FBarPressed == 1 ? VertGeometry() : HorzGeometry();
    if (FBarPressed && FPartPressed != TScrollPart::Thumb && g.HitTest(p) == FPartPressed)
      ScrollBy(FBarPressed == 1, FPartPressed);
    return;
  }
  switch (m.Msg) {
    case WM_GETDLGCODE:
      m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_HASSETSEL | (FWantTabs ? DLGC_WANTTAB : 0) |
                 (FWantReturns ? DLGC_WANTALLKEYS : 0);
      return;
    case WM_MOUSEWHEEL: {
      int notches = GET_WHEEL_DELTA_WPARAM(m.WParam) / WHEEL_DELTA;
      FEditor.SetTopRow(FEditor.TopRow() - 3 * notches);
      UpdateCaret();
      Invalidate();
      m.Result = 1;
      return;
    }
    default: break;
  }
  TCustomEdit::WndProc(m);
}


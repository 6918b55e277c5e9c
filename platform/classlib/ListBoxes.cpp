#include "platform/classlib/ListBoxes.h"

#include <algorithm>

#include "platform/gdi/DrawText.h"
#include "platform/gdi/Edges.h"
#include "platform/gdi/SystemMetrics.h"
#include "platform/win/Caret.h"
#include "platform/win/PaintContext.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/Windows.h"
#include "platform/classlib/Memo.h"

namespace {

bool HasShift(TShiftState s) { return (s & ssShift) != 0; }
bool HasCtrl(TShiftState s) { return (s & ssCtrl) != 0; }
TDeviceContext& DC(TCanvas& canvas) { return *canvas.Handle(); }

}  // namespace

// ---- TCustomListBox ----

TCustomListBox::TCustomListBox(TComponent* owner) : TCustomControl(owner) {
  // Clicks come from selection changes, not from the mouse as such.
  FControlStyle = csSetCaption | csDoubleClicks | csCaptureMouse | csOpaque;
  SetParentColor(false);
  SetColor(clWindow);
  SetTabStop(true);
  FItemHeight = TCharWidths{}.LineHeight();
  TCharWidths w;
  w.Update(Font().Handle());
  FItemHeight = w.LineHeight();
  FItems.OnChange = [this] { ItemsChanged(); };
  FItems.OnInserting = [this](int i) { ItemInserting(i); };
  FItems.OnDeleting = [this](int i) { ItemDeleting(i); };
  SetBounds(0, 0, 121, 97);
}

int TListBoxStrings::Add(const AnsiString& s) {
  int at = Count();
  // A sorted list that ignores or refuses a duplicate does not grow.
  if (Sorted() && Find(s, at) && Duplicates() != TDuplicates::dupAccept) return TStringList::Add(s);
  if (OnInserting) OnInserting(at);
  return TStringList::Add(s);
}

void TListBoxStrings::Insert(int index, const AnsiString& s) {
  if (!Sorted() && index >= 0 && index <= Count() && OnInserting) OnInserting(index);
  TStringList::Insert(index, s);
}

void TListBoxStrings::Delete(int index) {
  if (index >= 0 && index < Count() && OnDeleting) OnDeleting(index);
  TStringList::Delete(index);
}

void TCustomListBox::ItemInserting(int index) {
  if (index < 0 || index > static_cast<int>(FSelectedMarks.size())) return;
  FSelectedMarks.insert(FSelectedMarks.begin() + index, false);
  if (FItemIndex >= index) ++FItemIndex;
  if (FAnchor >= index) ++FAnchor;
}

void TCustomListBox::ItemDeleting(int index) {
  if (index < 0 || index >= static_cast<int>(FSelectedMarks.size())) return;
  FSelectedMarks.erase(FSelectedMarks.begin() + index);
  if (FItemIndex == index) FItemIndex = -1;
  else if (FItemIndex > index) --FItemIndex;
  if (FAnchor == index) FAnchor = -1;
  else if (FAnchor > index) --FAnchor;
}

void TCustomListBox::ItemsChanged() {
  int n = Count();
  FSelectedMarks.resize(static_cast<size_t>(n), false);
  if (FItemIndex >= n) FItemIndex = -1;
  if (FAnchor >= n) FAnchor = -1;
  if (n == 0) FItemIndex = -1;
  SetTopIndex(FTopIndex);
  Invalidate();
}

void TCustomListBox::SetItemIndex(int v) {
  if (v < -1 || v >= Count()) v = -1;
  if (!FMultiSelect) std::fill(FSelectedMarks.begin(), FSelectedMarks.end(), false);
  FItemIndex = v;
  if (v >= 0) {
    if (!FMultiSelect) FSelectedMarks[size_t(v)] = true;
    FAnchor = v;
    MakeVisible(v);
  }
  Invalidate();
}

void TCustomListBox::SetMultiSelect(bool v) {
  if (FMultiSelect == v) return;
  FMultiSelect = v;
  std::fill(FSelectedMarks.begin(), FSelectedMarks.end(), false);
  if (!v && FItemIndex >= 0) FSelectedMarks[size_t(FItemIndex)] = true;
  Invalidate();
}

bool TCustomListBox::Selected(int index) const {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return FSelectedMarks[size_t(index)];
}

void TCustomListBox::SetSelected(int index, bool v) {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  if (!FMultiSelect) {
    SetItemIndex(v ? index : (index == FItemIndex ? -1 : FItemIndex));
    return;
  }
  FSelectedMarks[size_t(index)] = v;
  Invalidate();
}

int TCustomListBox::SelCount() const {
  if (!FMultiSelect) return -1;  // as the classic list: only multiple selection counts
  return static_cast<int>(std::count(FSelectedMarks.begin(), FSelectedMarks.end(), true));
}

void TCustomListBox::ClearSelection() {
  std::fill(FSelectedMarks.begin(), FSelectedMarks.end(), false);
  if (!FMultiSelect) FItemIndex = -1;
  Invalidate();
}

void TCustomListBox::SelectAll() {
  if (!FMultiSelect) return;
  std::fill(FSelectedMarks.begin(), FSelectedMarks.end(), true);
  Invalidate();
}

void TCustomListBox::SetItemHeight(int v) {
  if (v < 1 || v == FItemHeight) return;
  FItemHeight = v;
  Invalidate();
}

void TCustomListBox::SetBorderStyle(TBorderStyle v) {
  if (FBorderStyle == v) return;
  FBorderStyle = v;
  Invalidate();
}

TRect TCustomListBox::ScrollBarRect() {
  TRect r = InflateRect(ClientRect(), -BorderWidth(), -BorderWidth());
  int rows = std::max(1, r.Height() / FItemHeight);
  // The bar shows only when the items do not fit.
  if (Count() <= rows) return TRect{};
  return TRect{r.Right - GetSystemMetrics(SM_CXVSCROLL), r.Top, r.Right, r.Bottom};
}

TRect TCustomListBox::ItemsArea() {
  TRect r = InflateRect(ClientRect(), -BorderWidth(), -BorderWidth());
  TRect bar = ScrollBarRect();
  if (!bar.IsEmpty()) r.Right = bar.Left;
  return r;
}

int TCustomListBox::VisibleItems() { return std::max(1, ItemsArea().Height() / FItemHeight); }

void TCustomListBox::SetTopIndex(int v) {
  int maxTop = std::max(0, Count() - VisibleItems());
  v = std::clamp(v, 0, maxTop);
  if (v == FTopIndex) return;
  FTopIndex = v;
  Invalidate();
}

void TCustomListBox::MakeVisible(int index) {
  if (index < 0) return;
  if (index < FTopIndex) SetTopIndex(index);
  else if (index >= FTopIndex + VisibleItems()) SetTopIndex(index - VisibleItems() + 1);
}

TRect TCustomListBox::ItemRect(int index) {
  TRect a = ItemsArea();
  int top = a.Top + (index - FTopIndex) * FItemHeight;
  return TRect{a.Left, top, a.Right, top + FItemHeight};
}

int TCustomListBox::ItemAtPos(TPoint p, bool existing) {
  TRect a = ItemsArea();
  if (!a.Contains(p.X, p.Y)) return -1;
  int i = FTopIndex + (p.Y - a.Top) / FItemHeight;
  if (i >= Count()) return existing ? -1 : Count();
  return i;
}

TScrollBarGeometry TCustomListBox::Geometry() {
  TScrollBarGeometry g;
  g.Kind = TScrollBarKind::Vertical;
  g.Bounds = ScrollBarRect();
  g.Min = 0;
  g.Max = std::max(0, Count() - 1);
  g.Page = VisibleItems();
  g.Position = FTopIndex;
  return g;
}

void TCustomListBox::Paint() {
  TCanvas& c = Canvas();
  TRect r = ClientRect();
  if (FBorderStyle == bsSingle) DrawEdge(DC(c), r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  FillCanvasRect(c, r, Enabled() ? Color() : clBtnFace);
  c.Font().Assign(&Font());
  TRect area = ItemsArea();
  TDeviceContext& dc = DC(c);
  int saved = dc.SaveDC();
  dc.IntersectClipRect(area.Left, area.Top, area.Right, area.Bottom);
  for (int i = FTopIndex; i < Count(); ++i) {
    TRect ir = ItemRect(i);
    if (ir.Top >= area.Bottom) break;
    bool sel = FSelectedMarks[size_t(i)];
    if (sel) FillCanvasRect(c, ir, clHighlight);
    TRect text = ir;
    text.Left += 2;
    DrawCanvasText(c, FItems.Get(i), text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT, Enabled(),
               sel ? clHighlightText : Font().Color());
    if (Focused() && i == FItemIndex) DrawFocusRect(dc, ir);
  }
  // An empty focused list still shows where the focus is.
  if (Focused() && FItemIndex < 0) DrawFocusRect(dc, TRect{area.Left, area.Top, area.Right, area.Top + FItemHeight});
  dc.RestoreDC(saved);
  if (!ScrollBarRect().IsEmpty()) PaintScrollBar(dc, Geometry(), FPartPressed, Enabled());
}

void TCustomListBox::SelectionChanged() {
  Invalidate();
  Click();
}

void TCustomListBox::MoveCurrent(int index, TShiftState shift, bool fromMouse) {
  if (Count() == 0) return;
  index = std::clamp(index, 0, Count() - 1);
  std::vector<bool> before = FSelectedMarks;
  int oldIndex = FItemIndex;
  if (!FMultiSelect) {
    std::fill(FSelectedMarks.begin(), FSelectedMarks.end(), false);
    FSelectedMarks[size_t(index)] = true;
    FAnchor = index;
  } else if (FExtendedSelect) {
    if (HasShift(shift) && FAnchor >= 0) {
      // Shift: the range from the anchor; with Ctrl it adds to what was selected.
      if (!HasCtrl(shift)) std::fill(FSelectedMarks.begin(), FSelectedMarks.end(), false);
      for (int i = std::min(FAnchor, index); i <= std::max(FAnchor, index); ++i) FSelectedMarks[size_t(i)] = true;
    } else if (HasCtrl(shift)) {
      if (fromMouse) FSelectedMarks[size_t(index)] = !FSelectedMarks[size_t(index)];
      FAnchor = index;
    } else {
      std::fill(FSelectedMarks.begin(), FSelectedMarks.end(), false);
      FSelectedMarks[size_t(index)] = true;
      FAnchor = index;
    }
  } else if (fromMouse) {
    FSelectedMarks[size_t(index)] = !FSelectedMarks[size_t(index)];
    FAnchor = index;
  }
  FItemIndex = index;
  MakeVisible(index);
  Invalidate();
  if (before != FSelectedMarks || oldIndex != FItemIndex) SelectionChanged();
}

bool TCustomListBox::WantsKey(uint16_t key) {
  switch (key) {
    case VK_UP: case VK_DOWN: case VK_LEFT: case VK_RIGHT: case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
      return true;
    default: return TCustomControl::WantsKey(key);
  }
}

void TCustomListBox::KeyDown(uint16_t& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  int cur = FItemIndex < 0 ? 0 : FItemIndex;
  int page = std::max(1, VisibleItems() - 1);
  int target = -1;
  switch (key) {
    case VK_UP: case VK_LEFT: target = FItemIndex < 0 ? 0 : cur - 1; break;
    case VK_DOWN: case VK_RIGHT: target = FItemIndex < 0 ? 0 : cur + 1; break;
    case VK_HOME: target = 0; break;
    case VK_END: target = Count() - 1; break;
    case VK_PRIOR: target = cur - page; break;
    case VK_NEXT: target = cur + page; break;
    case VK_SPACE:
      // Space toggles the focused item of a multiple-selection list.
      if (FMultiSelect && FItemIndex >= 0) {
        FSelectedMarks[size_t(FItemIndex)] = !FSelectedMarks[size_t(FItemIndex)];
        FAnchor = FItemIndex;
        SelectionChanged();
        key = 0;
      }
      return;
    default: return;
  }
  key = 0;
  if (Count() == 0) return;
  TShiftState s = shift;
  // Ctrl with an arrow in an extended list moves only the focus frame.
  if (FMultiSelect && FExtendedSelect && HasCtrl(shift) && !HasShift(shift)) {
    FItemIndex = std::clamp(target, 0, Count() - 1);
    MakeVisible(FItemIndex);
    Invalidate();
    return;
  }
  MoveCurrent(target, s, false);
}

void TCustomListBox::KeyPress(char& key) {
  TCustomControl::KeyPress(key);
  auto u = static_cast<unsigned char>(key);
  if (u <= ' ' || Count() == 0) return;
  // A letter moves to the next item that starts with it.
  char want = static_cast<char>(std::toupper(u));
  for (int k = 1; k <= Count(); ++k) {
    int i = (std::max(FItemIndex, 0) + k) % Count();
    if (FItemIndex < 0) i = k - 1;
    const AnsiString s = FItems.Get(i);
    if (!s.empty() && std::toupper(static_cast<unsigned char>(s[0])) == static_cast<unsigned char>(want)) {
      MoveCurrent(i, 0, false);
      break;
    }
  }
  key = 0;
}

void TCustomListBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    if (!Focused() && CanFocus()) SetFocus();
    TScrollBarGeometry g = Geometry();
    if (!g.Bounds.IsEmpty() && g.Bounds.Contains(x, y)) {
      FPartPressed = g.HitTest({x, y});
      if (FPartPressed == TScrollPart::Thumb) FThumbGrab = OffsetAlongBar(g, x, y) - g.ThumbOffset();
      else if (FPartPressed != TScrollPart::None) {
        SetTopIndex(FTopIndex + ScrollStep(FPartPressed, 1, std::max(1, VisibleItems() - 1)));
        FRepeat.Start(Handle());
      }
      Invalidate();
      TCustomControl::MouseDown(button, shift, x, y);
      return;
    }
    int i = ItemAtPos({x, y});
    if (i >= 0 && !(shift & ssDouble)) {
      MoveCurrent(i, shift, true);
      FTracking = !FMultiSelect;
    }
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomListBox::MouseMove(TShiftState shift, int x, int y) {
  if (FPartPressed == TScrollPart::Thumb) {
    TScrollBarGeometry g = Geometry();
    SetTopIndex(g.PositionAtThumbOffset(OffsetAlongBar(g, x, y) - FThumbGrab));
  } else if (FTracking && (shift & ssLeft)) {
    // Dragging in a single-selection list: the selection follows, scrolling at the edges.
    TRect a = ItemsArea();
    int i = y < a.Top ? FTopIndex - 1 : (y >= a.Bottom ? FTopIndex + VisibleItems() : ItemAtPos({a.Left, y}));
    if (i >= 0 && i != FItemIndex) MoveCurrent(i, 0, false);
  }
  TCustomControl::MouseMove(shift, x, y);
}

void TCustomListBox::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    FTracking = false;
    FRepeat.Stop();
    if (FPartPressed != TScrollPart::None) {
      FPartPressed = TScrollPart::None;
      Invalidate();
    }
  }
  TCustomControl::MouseUp(button, shift, x, y);
}

void TCustomListBox::WndProc(TMessage& m) {
  if (FRepeat.IsTick(m.Msg, m.WParam)) {
    TPoint p;
    GetCursorPos(p);
    if (FPartPressed != TScrollPart::Thumb && Geometry().HitTest(ScreenToClient(p)) == FPartPressed)
      SetTopIndex(FTopIndex + ScrollStep(FPartPressed, 1, std::max(1, VisibleItems() - 1)));
    return;
  }
  switch (m.Msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      FTracking = false;
      TCustomControl::WndProc(m);
      Invalidate();
      return;
    case WM_GETDLGCODE: m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS; return;
    case WM_MOUSEWHEEL:
      SetTopIndex(FTopIndex - 3 * (GET_WHEEL_DELTA_WPARAM(m.WParam) / WHEEL_DELTA));
      m.Result = 1;
      return;
    case WM_ERASEBKGND: m.Result = 1; return;
    default: break;
  }
  TCustomControl::WndProc(m);
}

void TCustomListBox::CMFontChanged(TMessage& m) {
  TCustomControl::CMFontChanged(m);
  TCharWidths w;
  w.Update(Font().Handle());
  FItemHeight = w.LineHeight();
  Invalidate();
}

// ---- the combo box's drop-down list ----

namespace {
constexpr const char* DropListClass = "ComboDropList";
}

// A pop-up window below the combo box that lists its items; it holds the mouse while open and
// leaves the keyboard focus on the combo box.
class TComboDropDown {
public:
  explicit TComboDropDown(TCustomComboBox& combo) : FCombo(combo) {}
  ~TComboDropDown() {
    if (FWnd && IsWindow(FWnd)) DestroyWindow(FWnd);
  }
  TComboDropDown(const TComboDropDown&) = delete;
  TComboDropDown& operator=(const TComboDropDown&) = delete;

  HWND Window() const { return FOpen ? FWnd : 0; }
  bool IsOpen() const { return FOpen; }
  int Hot() const { return FHot; }

  void Open() {
    RegisterListClass();
    int count = FCombo.FItems.Count();
    FRows = std::clamp(count, 1, FCombo.FDropDownCount);
    FItemHeight = FCombo.FWidths.LineHeight();
    int h = FRows * FItemHeight + 2;
    TPoint at = FCombo.ClientToScreen(TPoint{0, FCombo.Height()});
    TRect work = GetWorkArea();
    // No room below: the list opens above the box.
    if (at.Y + h > work.Bottom) at.Y = FCombo.ClientToScreen(TPoint{0, 0}).Y - h;
    HWND owner = GetAncestorRoot(FCombo.Handle());
    if (!FWnd || !IsWindow(FWnd)) {
      FWnd = CreateWindowEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, DropListClass, "", WS_POPUP, at.X, at.Y,
                            FCombo.Width(), h, owner);
      SetWindowLongPtr(FWnd, GWL_USERDATA, reinterpret_cast<intptr_t>(this));
    } else {
      SetWindowPos(FWnd, HWND_TOPMOST, at.X, at.Y, FCombo.Width(), h, SWP_NOACTIVATE);
    }
    FHot = FCombo.FItemIndex;
    FTop = 0;
    MakeVisible(FHot);
    FOpen = true;
    ShowWindow(FWnd, SW_SHOWNA);
    SetCapture(FWnd);
    InvalidateRect(FWnd, nullptr, true);
  }

  void Close() {
    if (!FOpen) return;
    FOpen = false;
    FDragThumb = false;
    if (GetCapture() == FWnd) ReleaseCapture();
    if (IsWindow(FWnd)) ShowWindow(FWnd, SW_HIDE);
  }

  void MoveHot(int delta) {
    int count = FCombo.FItems.Count();
    if (count == 0) return;
    FHot = std::clamp(FHot < 0 ? 0 : FHot + delta, 0, count - 1);
    MakeVisible(FHot);
    InvalidateRect(FWnd, nullptr, false);
  }

  // The wheel reaches the combo box, which has the focus; the open list scrolls by it.
  void Wheel(int notches) { SetTop(FTop - 3 * notches); }

  static void RegisterListClass() {
    TWndClass wc;
    if (GetClassInfo(DropListClass, wc)) return;
    wc.lpszClassName = DropListClass;
    wc.style = CS_SAVEBITS;
    wc.lpfnWndProc = [](HWND h, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
      auto* self = reinterpret_cast<TComboDropDown*>(GetWindowLongPtr(h, GWL_USERDATA));
      if (self) return self->Proc(h, msg, wp, lp);
      return DefWindowProc(h, msg, wp, lp);
    };
    RegisterClass(wc);
  }

private:
  TRect Client() const { return GetClientRect(FWnd); }
  bool HasBar() const { return FCombo.FItems.Count() > FRows; }
  TScrollBarGeometry Bar() const {
    TScrollBarGeometry g;
    TRect c = Client();
    g.Kind = TScrollBarKind::Vertical;
    g.Bounds = HasBar() ? TRect{c.Right - 1 - GetSystemMetrics(SM_CXVSCROLL), 1, c.Right - 1, c.Bottom - 1} : TRect{};
    g.Min = 0;
    g.Max = std::max(0, FCombo.FItems.Count() - 1);
    g.Page = FRows;
    g.Position = FTop;
    return g;
  }
  TRect ItemsArea() const {
    TRect c = InflateRect(Client(), -1, -1);
    if (HasBar()) c.Right -= GetSystemMetrics(SM_CXVSCROLL);
    return c;
  }
  int ItemAt(TPoint p) const {
    TRect a = ItemsArea();
    if (!a.Contains(p.X, p.Y)) return -1;
    int i = FTop + (p.Y - a.Top) / std::max(1, FItemHeight);
    return i < FCombo.FItems.Count() ? i : -1;
  }
  void SetTop(int top) {
    FTop = std::clamp(top, 0, std::max(0, FCombo.FItems.Count() - FRows));
    InvalidateRect(FWnd, nullptr, false);
  }
  void MakeVisible(int i) {
    if (i < 0) return;
    if (i < FTop) SetTop(i);
    else if (i >= FTop + FRows) SetTop(i - FRows + 1);
  }

  void Paint(TDeviceContext& dc) {
    TRect c = Client();
    dc.FrameRect(c, SolidBrush(clWindowFrame));
    TRect a = ItemsArea();
    dc.FillRect(a, SolidBrush(clWindow));
    dc.SelectFont(FCombo.Font().Handle());
    dc.SetBkMode(TRANSPARENT);
    for (int i = FTop; i < FCombo.FItems.Count() && i < FTop + FRows; ++i) {
      TRect ir{a.Left, a.Top + (i - FTop) * FItemHeight, a.Right, a.Top + (i - FTop + 1) * FItemHeight};
      bool hot = i == FHot;
      if (hot) dc.FillRect(ir, SolidBrush(clHighlight));
      dc.SetTextColor(hot ? clHighlightText : FCombo.Font().Color());
      TRect tr = ir;
      tr.Left += 2;
      DrawText(dc, FCombo.FItems.Get(i), tr, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    if (HasBar()) PaintScrollBar(dc, Bar(), FBarPart, true);
  }

  LRESULT Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    TPoint p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    switch (msg) {
      case WM_PAINT: {
        TPaintStruct ps;
        HDC hdc = BeginPaint(h, ps);
        if (TDeviceContext* dc = DeviceContextOf(hdc)) Paint(*dc);
        EndPaint(h, ps);
        return 0;
      }
      case WM_ERASEBKGND: return 1;
      case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
      case WM_MOUSEMOVE: {
        if (FDragThumb) {
          TScrollBarGeometry g = Bar();
          SetTop(g.PositionAtThumbOffset(p.Y - g.TrackRect().Top - FThumbGrab));
          return 0;
        }
        int i = ItemAt(p);
        if (i >= 0 && i != FHot) {
          FHot = i;
          InvalidateRect(h, nullptr, false);
        }
        return 0;
      }
      case WM_LBUTTONDOWN:
      case WM_LBUTTONDBLCLK: {
        if (!Client().Contains(p.X, p.Y)) {
          // A press anywhere else closes the list without choosing.
          FCombo.CloseUp(-1);
          return 0;
        }
        TScrollBarGeometry g = Bar();
        if (HasBar() && g.Bounds.Contains(p.X, p.Y)) {
          FBarPart = g.HitTest(p);
          if (FBarPart == TScrollPart::Thumb) {
            FDragThumb = true;
            FThumbGrab = p.Y - g.TrackRect().Top - g.ThumbOffset();
          } else {
            SetTop(FTop + ScrollStep(FBarPart, 1, std::max(1, FRows - 1)));
          }
          InvalidateRect(h, nullptr, false);
          return 0;
        }
        int i = ItemAt(p);
        if (i >= 0) FHot = i;
        InvalidateRect(h, nullptr, false);
        return 0;
      }
      case WM_LBUTTONUP: {
        if (FBarPart != TScrollPart::None || FDragThumb) {
          FBarPart = TScrollPart::None;
          FDragThumb = false;
          InvalidateRect(h, nullptr, false);
          return 0;
        }
        int i = ItemAt(p);
        if (i >= 0) FCombo.CloseUp(i);
        return 0;
      }
      case WM_MOUSEWHEEL:
        SetTop(FTop - 3 * (GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA));
        return 0;
      case WM_CAPTURECHANGED:
        if (FOpen && static_cast<HWND>(lp) != h) FCombo.CloseUp(-1);
        return 0;
      default: return DefWindowProc(h, msg, wp, lp);
    }
  }

  TCustomComboBox& FCombo;
  HWND FWnd = 0;
  bool FOpen = false;
  int FHot = -1;
  int FTop = 0;
  int FRows = 1;
  int FItemHeight = 13;
  TScrollPart FBarPart = TScrollPart::None;
  bool FDragThumb = false;
  int FThumbGrab = 0;
};

// ---- TCustomComboBox ----

TCustomComboBox::TCustomComboBox(TComponent* owner) : TCustomControl(owner) {
  FControlStyle = csCaptureMouse | csSetCaption | csDoubleClicks | csOpaque;
  SetParentColor(false);
  SetColor(clWindow);
  SetTabStop(true);
  FWidths.Update(Font().Handle());
  FEditor.SetCharWidth([this](char c) { return FWidths.Width(c); });
  FEditor.OnChange = [this] { EditorChanged(); };
  FItems.OnChange = [this] { ItemsChanged(); };
  // The current item stays the same item while others come and go; deleting it leaves none.
  FItems.OnInserting = [this](int i) {
    if (FItemIndex >= i) ++FItemIndex;
  };
  FItems.OnDeleting = [this](int i) {
    if (FItemIndex == i) SetItemIndex(-1);
    else if (FItemIndex > i) --FItemIndex;
  };
  FDropDown = std::make_unique<TComboDropDown>(*this);
  SetBounds(0, 0, 145, FWidths.LineHeight() + 8);
}

TCustomComboBox::~TCustomComboBox() { FDropDown.reset(); }

void TCustomComboBox::ItemsChanged() {
  if (FItemIndex >= FItems.Count()) SetItemIndex(-1);
  Invalidate();
}

void TCustomComboBox::EditorChanged() {
  FText = FEditor.Text();
  if (HandleAllocated()) SetWindowText(FHandle, FText);
  Invalidate();
  if (!FSettingText) Change();
}

void TCustomComboBox::Change() {
  if (OnChange) OnChange(this);
}

void TCustomComboBox::SetItemIndex(int v) {
  if (v < -1 || v >= FItems.Count()) v = -1;
  FItemIndex = v;
  FSettingText = true;
  FEditor.SetText(v >= 0 ? FItems.Get(v) : AnsiString());
  FSettingText = false;
  if (FStyle == csDropDown && Focused()) FEditor.SelectAll();
  UpdateCaret();
  Invalidate();
}

void TCustomComboBox::SetStyle(TComboBoxStyle v) {
  if (FStyle == v) return;
  FStyle = v;
  if (v == csDropDownList) SetItemIndex(FItems.IndexOf(FEditor.Text()));
  Invalidate();
}

void TCustomComboBox::SetText(const AnsiString& v) {
  int i = FItems.IndexOf(v);
  if (FStyle == csDropDownList) {
    // A list without an edit shows only what its items hold.
    SetItemIndex(i);
    return;
  }
  FItemIndex = i;
  FSettingText = true;
  FEditor.SetText(v);
  FSettingText = false;
  UpdateCaret();
}

void TCustomComboBox::Clear() {
  FItems.Clear();
  SetItemIndex(-1);
  FEditor.SetText("");
}

bool TCustomComboBox::DroppedDown() const { return FDropDown->IsOpen(); }
HWND TCustomComboBox::ListWindow() const { return FDropDown->Window(); }

void TCustomComboBox::SetDroppedDown(bool v) {
  if (v == DroppedDown()) return;
  if (!v) {
    CloseUp(-1);
    return;
  }
  if (OnDropDown) OnDropDown(this);
  FDropDown->Open();
  Invalidate();
}

void TCustomComboBox::CloseUp(int chosen) {
  if (!DroppedDown()) return;
  FDropDown->Close();
  if (chosen >= 0) SelectByUser(chosen);
  Invalidate();
  if (OnCloseUp) OnCloseUp(this);
}

void TCustomComboBox::SelectByUser(int index) {
  if (FItems.Count() == 0) return;
  index = std::clamp(index, 0, FItems.Count() - 1);
  if (index == FItemIndex && FEditor.Text() == FItems.Get(index)) return;
  SetItemIndex(index);
  Change();
  Click();
}

TRect TCustomComboBox::ButtonRect() {
  TRect r = InflateRect(ClientRect(), -2, -2);
  return TRect{r.Right - GetSystemMetrics(SM_CXVSCROLL), r.Top, r.Right, r.Bottom};
}

TRect TCustomComboBox::TextArea() {
  TRect r = InflateRect(ClientRect(), -2, -2);
  r.Right = ButtonRect().Left;
  r.Left += 1, r.Right -= 1;
  int free = r.Height() - FWidths.LineHeight();
  if (free > 0) r.Top += free / 2, r.Bottom = r.Top + FWidths.LineHeight();
  return r;
}

void TCustomComboBox::UpdateCaret() {
  if (!FCaretMade || !HandleAllocated()) return;
  TRect a = TextArea();
  FEditor.SetViewSize(1, a.Width());
  FEditor.ScrollCaretIntoView();
  SetCaretPos(a.Left + FEditor.XOfPos(FEditor.Caret()) - FEditor.ScrollX(), a.Top);
}

void TCustomComboBox::Paint() {
  TCanvas& c = Canvas();
  TRect r = ClientRect();
  DrawEdge(DC(c), r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  FillCanvasRect(c, r, Enabled() ? Color() : clBtnFace);
  PaintArrowButton(DC(c), ButtonRect(), TArrowDirection::Down, DroppedDown(), Enabled());
  c.Font().Assign(&Font());
  TRect text = TextArea();
  if (FStyle == csDropDownList) {
    TRect band = InflateRect(ClientRect(), -3, -3);
    band.Right = ButtonRect().Left - 1;
    bool focus = Focused() && !DroppedDown();
    if (focus) FillCanvasRect(c, band, clHighlight);
    DrawCanvasText(c, FItemIndex >= 0 ? FItems.Get(FItemIndex) : AnsiString(), text,
               DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX, Enabled(), focus ? clHighlightText : Font().Color());
    if (focus) DrawFocusRect(DC(c), band);
    return;
  }
  FEditor.SetViewSize(1, text.Width());
  PaintEditorText(c, FEditor, text, FWidths.LineHeight(), Focused(), Enabled(), Font().Color(), 0);
}

bool TCustomComboBox::WantsKey(uint16_t key) {
  switch (key) {
    case VK_UP: case VK_DOWN: case VK_LEFT: case VK_RIGHT: case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
      return true;
    case VK_RETURN: case VK_ESCAPE: return DroppedDown();
    default: return TCustomControl::WantsKey(key);
  }
}

void TCustomComboBox::KeyDown(uint16_t& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  if (key == 0) return;
  bool alt = (shift & ssAlt) != 0;
  if (key == VK_F4 || (alt && (key == VK_DOWN || key == VK_UP))) {
    SetDroppedDown(!DroppedDown());
    key = 0;
    return;
  }
  if (DroppedDown()) {
    switch (key) {
      case VK_UP: FDropDown->MoveHot(-1); break;
      case VK_DOWN: FDropDown->MoveHot(1); break;
      case VK_PRIOR: FDropDown->MoveHot(-(FDropDownCount - 1)); break;
      case VK_NEXT: FDropDown->MoveHot(FDropDownCount - 1); break;
      case VK_HOME: FDropDown->MoveHot(-FItems.Count()); break;
      case VK_END: FDropDown->MoveHot(FItems.Count()); break;
      case VK_RETURN: CloseUp(FDropDown->Hot()); break;
      case VK_ESCAPE: CloseUp(-1); break;
      default: return;
    }
    key = 0;
    return;
  }
  int cur = FItemIndex;
  switch (key) {
    case VK_UP: SelectByUser(cur < 0 ? 0 : cur - 1); key = 0; return;
    case VK_DOWN: SelectByUser(cur + 1); key = 0; return;
    case VK_PRIOR: SelectByUser(cur - (FDropDownCount - 1)); key = 0; return;
    case VK_NEXT: SelectByUser(cur + (FDropDownCount - 1)); key = 0; return;
    default: break;
  }
  if (FStyle == csDropDownList) {
    if (key == VK_HOME) SelectByUser(0), key = 0;
    else if (key == VK_END) SelectByUser(FItems.Count() - 1), key = 0;
    return;
  }
  FEditor.SetClipboardOwner(HandleAllocated() ? FHandle : 0);
  if (!alt && FEditor.KeyDown(key, HasShift(shift), HasCtrl(shift))) {
    key = 0;
    UpdateCaret();
    Invalidate();
  }
}

void TCustomComboBox::KeyPress(char& key) {
  TCustomControl::KeyPress(key);
  if (key == 0 || key == '\r' || key == 27) return;
  if (FStyle == csDropDownList) {
    auto u = static_cast<unsigned char>(key);
    if (u <= ' ' || FItems.Count() == 0) return;
    int start = DroppedDown() ? FDropDown->Hot() : FItemIndex;
    for (int k = 1; k <= FItems.Count(); ++k) {
      int i = (std::max(start, -1) + k) % FItems.Count();
      AnsiString s = FItems.Get(i);
      if (!s.empty() && std::toupper(static_cast<unsigned char>(s[0])) == std::toupper(u)) {
        if (DroppedDown()) FDropDown->MoveHot(i - std::max(FDropDown->Hot(), 0));
        else SelectByUser(i);
        break;
      }
    }
    key = 0;
    return;
  }
  if (FEditor.KeyChar(key)) {
    key = 0;
    // Typed text that matches an item exactly makes it the current one.
    FItemIndex = FItems.IndexOf(FEditor.Text());
    UpdateCaret();
    Invalidate();
  }
}

void TCustomComboBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    if (!Focused() && CanFocus()) SetFocus();
    bool onButton = ButtonRect().Contains(x, y);
    if (onButton || FStyle == csDropDownList) {
      SetDroppedDown(!DroppedDown());
    } else {
      TRect a = TextArea();
      FEditor.SetCaret(FEditor.PosAtRowX(0, x - a.Left + FEditor.ScrollX()), HasShift(shift));
      if (shift & ssDouble) FEditor.SelectAll();
      UpdateCaret();
      Invalidate();
    }
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomComboBox::MouseMove(TShiftState shift, int x, int y) {
  if (FStyle == csDropDown && (shift & ssLeft) && !DroppedDown() && !ButtonRect().Contains(x, y)) {
    TRect a = TextArea();
    FEditor.SetCaret(FEditor.PosAtRowX(0, x - a.Left + FEditor.ScrollX()), true);
    UpdateCaret();
    Invalidate();
  }
  TCustomControl::MouseMove(shift, x, y);
}

void TCustomComboBox::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_SETFOCUS:
      TCustomControl::WndProc(m);
      if (FStyle == csDropDown) {
        CreateCaret(FHandle, 1, FWidths.LineHeight());
        FCaretMade = true;
        FEditor.SelectAll();
        UpdateCaret();
        ShowCaret(FHandle);
      }
      Invalidate();
      return;
    case WM_KILLFOCUS:
      CloseUp(-1);
      if (FCaretMade) {
        DestroyCaret();
        FCaretMade = false;
      }
      TCustomControl::WndProc(m);
      Invalidate();
      return;
    case WM_GETDLGCODE: m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS; return;
    case WM_ERASEBKGND: m.Result = 1; return;
    case WM_MOUSEWHEEL:
      if (DroppedDown()) FDropDown->Wheel(GET_WHEEL_DELTA_WPARAM(m.WParam) / WHEEL_DELTA);
      else SelectByUser(FItemIndex - GET_WHEEL_DELTA_WPARAM(m.WParam) / WHEEL_DELTA);
      m.Result = 1;
      return;
    default: break;
  }
  TCustomControl::WndProc(m);
}

void TCustomComboBox::CMFontChanged(TMessage& m) {
  TCustomControl::CMFontChanged(m);
  FWidths.Update(Font().Handle());
  FEditor.SetCharWidth([this](char c) { return FWidths.Width(c); });
  SetHeight(FWidths.LineHeight() + 8);
  Invalidate();
}


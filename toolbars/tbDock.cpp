#include "toolbars/tbDock.h"

#include <algorithm>
#include <map>

#include "platform/classlib/Forms.h"
#include "platform/win/PaintContext.h"
#include "platform/win/Windows.h"
#include "toolbars/tbHooks.h"
#include "toolbars/tbToolWindow.h"

int DockOrientation(TtbDockPosition position) { return position == adpTop || position == adpBottom ? 1 : 2; }

namespace {

int CompareItems(const TtbDockItem& a, const TtbDockItem& b, int) {
  if (a.Row != b.Row) return a.Row < b.Row ? -1 : 1;
  if (a.Pos != b.Pos) return a.Pos < b.Pos ? -1 : 1;
  return 0;
}

void SortItems(std::vector<TtbDockItem>& items) {
  std::stable_sort(items.begin(), items.end(),
                   [](const TtbDockItem& a, const TtbDockItem& b) { return CompareItems(a, b, 0) < 0; });
}

// Row numbers no window uses go; the rows after them close up.
void RemoveEmptyRows(std::vector<TtbDockItem>& items) {
  std::map<int, int> renumber;
  for (const TtbDockItem& i : items) renumber[i.Row] = 0;
  int next = 0;
  for (auto& [row, to] : renumber) to = next++;
  for (TtbDockItem& i : items) i.Row = renumber[i.Row];
}

// A full-size window gets its row to itself.
void GiveFullSizeRows(std::vector<TtbDockItem>& items) {
  for (bool changed = true; changed;) {
    changed = false;
    for (size_t k = 0; k < items.size() && !changed; ++k) {
      if (!items[k].FullSize) continue;
      const int row = items[k].Row;
      bool shared = std::any_of(items.begin(), items.end(), [&](const TtbDockItem& o) {
        return &o != &items[k] && o.Row == row;
      });
      if (!shared) continue;
      for (size_t j = 0; j < items.size(); ++j)
        if (j != k && items[j].Row >= row) ++items[j].Row;
      changed = true;
      SortItems(items);
    }
  }
}

}  // namespace

TtbDockLayout ArrangeDockItems(std::vector<TtbDockItem>& items, int dockLength, bool limitToOneRow,
                               bool storePositions) {
  TtbDockLayout out;
  if (limitToOneRow)
    for (TtbDockItem& i : items) i.Row = 0;
  RemoveEmptyRows(items);
  SortItems(items);
  GiveFullSizeRows(items);
  int rows = 0;
  for (const TtbDockItem& i : items) rows = std::max(rows, i.Row + 1);
  out.RowThickness.assign(static_cast<size_t>(rows), 0);
  for (const TtbDockItem& i : items)
    if (i.Counts) {
      int& t = out.RowThickness[static_cast<size_t>(i.Row)];
      t = std::max({t, i.Thickness, 8});
    }
  for (int r = 0; r < rows; ++r) {
    std::vector<TtbDockItem*> row;
    for (TtbDockItem& i : items)
      if (i.Row == r && i.Counts) row.push_back(&i);
    // Pushed along so that none overlaps the one before.
    int end = 0;
    for (TtbDockItem* i : row) {
      if (i->FullSize) i->Pos = 0;
      else i->Pos = std::max(i->Pos, end);
      end = i->Pos + i->Length;
    }
    // Pulled back inside the dock, without overlapping again.
    std::vector<int> pos;
    for (TtbDockItem* i : row) pos.push_back(i->Pos);
    int limit = dockLength;
    for (size_t k = row.size(); k-- > 0;) {
      limit -= row[k]->Length;
      if (limit < pos[k]) pos[k] = limit;
    }
    end = 0;
    for (size_t k = 0; k < row.size(); ++k) {
      if (pos[k] < end) pos[k] = end;
      end = pos[k] + row[k]->Length;
    }
    for (size_t k = 0; k < row.size(); ++k) {
      row[k]->AdjustedPos = pos[k];
      if (storePositions) row[k]->Pos = pos[k];
    }
  }
  int across = 0;
  for (int r = 0; r < rows; ++r) {
    const int t = out.RowThickness[static_cast<size_t>(r)];
    if (t == 0) continue;
    for (TtbDockItem& i : items)
      if (i.Row == r && i.Counts) {
        i.Across = across;
        i.RowSize = t + 4;
      }
    across += t + 4;
  }
  out.Across = across;
  return out;
}

TtbRowHit RowAtCoordinate(const std::vector<int>& rowThickness, int across) {
  int start = 0, last = -1;
  for (int r = 0; r < static_cast<int>(rowThickness.size()); ++r) {
    const int t = rowThickness[static_cast<size_t>(r)];
    if (t == 0) continue;
    const int end = start + t + 4;
    if (across < start + 5) return {r, true};
    if (across < end - 5) return {r, false};
    if (across < end) return {r + 1, true};
    start = end;
    last = r;
  }
  return {last + 1, false};
}

// ---- TtbDock ----

TtbDock::TtbDock(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle((ControlStyle() | csAcceptsControls) & ~TControlStyle(csClickEvents | csDoubleClicks));
  SetColor(clBtnFace);
  SetAlign(alTop);
  FBackground->OnChange = [this](TObject*) {
    FTransparentCopy.reset();
    repaintAll();
  };
}

TtbDock::~TtbDock() {
  Destroying();
  FBackground->OnChange = nullptr;
  // The windows still on the dock are freed with it, after this part of it is gone.
  for (TtbCustomToolWindow* w : FDockList) {
    w->RemoveFreeNotification(this);
    w->forgetDock(this);
  }
}

void TtbDock::SetParent(TWinControl* parent) {
  for (TWinControl* p = parent; p; p = p->Parent())
    if (dynamic_cast<TtbCustomToolWindow*>(p) || dynamic_cast<TtbDock*>(p))
      throw EInvalidOperation("A TtbDock control cannot be placed inside a tool window or another TtbDock");
  TCustomControl::SetParent(parent);
}

void TtbDock::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  // The rows are repainted where they change, not on every size change.
  params.ClassStyle &= ~(CS_HREDRAW | CS_VREDRAW);
}

void TtbDock::SetPosition(TtbDockPosition v) {
  if (v == FPosition) return;
  if (ControlCount() > 0)
    throw EInvalidOperation("Cannot change position of a TtbDock if it already contains controls");
  FPosition = v;
  static constexpr TAlign Aligns[] = {alTop, alBottom, alLeft, alRight};
  SetAlign(Aligns[v]);
}

void TtbDock::SetAllowDrag(bool v) {
  if (v == FAllowDrag) return;
  FAllowDrag = v;
  for (TtbCustomToolWindow* w : FDockList) w->frameChanged();
  ArrangeToolbars();
}

void TtbDock::SetBoundLines(TtbDockBoundLines v) {
  if (v == FBoundLines) return;
  FBoundLines = v;
  frameChanged();
  ArrangeToolbars();
}

void TtbDock::SetFixAlign(bool v) {
  if (v == FFixAlign) return;
  FFixAlign = v;
  ArrangeToolbars();
}

void TtbDock::SetLimitToOneRow(bool v) {
  if (v == FLimitToOneRow) return;
  FLimitToOneRow = v;
  ArrangeToolbars();
}

void TtbDock::SetBackground(const TBitmap* v) { FBackground->Assign(v); }

void TtbDock::SetBackgroundOnToolbars(bool v) {
  if (v == FBackgroundOnToolbars) return;
  FBackgroundOnToolbars = v;
  repaintAll();
}

void TtbDock::SetBackgroundTransparent(bool v) {
  if (v == FBackgroundTransparent) return;
  FBackgroundTransparent = v;
  if (HasBackground()) {
    FTransparentCopy.reset();
    repaintAll();
  }
}

void TtbDock::repaintAll() {
  Invalidate();
  for (TtbCustomToolWindow* w : FDockVisibleList) {
    w->frameChanged();
    w->Invalidate();
  }
}

void TtbDock::frameChanged() {
  if (HandleAllocated())
    SetWindowPos(Handle(), 0, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TtbDock::EndUpdate() {
  if (FUpdateCount > 0) --FUpdateCount;
  if (FUpdateCount == 0 && FArrangePending) ArrangeToolbars(FStorePending);
}

int TtbDock::GetRowThickness(int row, TtbCustomToolWindow* window) const {
  int t = row >= 0 && row < RowCount() ? FRowThickness[static_cast<size_t>(row)] : 0;
  if (t == 0 && window) t = window->DockedThickness(Orientation());
  return t;
}

void TtbDock::InsertRowBefore(int r) {
  for (TtbCustomToolWindow* w : FDockList)
    if (w->DockRow() >= r) w->setDockPlace(w->DockRow() + 1, w->DockPos());
}

void TtbDock::PlaceToolWindow(TtbCustomToolWindow* w, int across, int pos) {
  TtbRowHit hit = RowAt(across);
  int row = hit.Row;
  if (hit.NewRow) InsertRowBefore(row);
  // A full-size window wants a row of its own.
  if (w->FullSize()) {
    for (TtbCustomToolWindow* other : FDockVisibleList)
      if (other != w && other->DockRow() == row) {
        InsertRowBefore(row + 1);
        ++row;
        break;
      }
  }
  w->setDockPlace(row, pos);
}

void TtbDock::AddToolWindow(TtbCustomToolWindow* w) {
  if (std::find(FDockList.begin(), FDockList.end(), w) == FDockList.end()) {
    FDockList.push_back(w);
    w->FreeNotification(this);
  }
  UpdateVisibleList();
}

void TtbDock::RemoveToolWindow(TtbCustomToolWindow* w) {
  std::erase(FDockList, w);
  UpdateVisibleList();
}

void TtbDock::UpdateVisibleList() {
  bool changed = false;
  TtbCustomToolWindow* which = nullptr;
  bool inserting = false;
  for (TtbCustomToolWindow* w : FDockList) {
    const bool counts = (w->Visible() || HasState(csDesigning)) && w->Parent() == this;
    auto it = std::find(FDockVisibleList.begin(), FDockVisibleList.end(), w);
    if (counts && it == FDockVisibleList.end()) {
      FDockVisibleList.push_back(w);
      changed = true;
      which = w;
      inserting = true;
    } else if (!counts && it != FDockVisibleList.end()) {
      FDockVisibleList.erase(it);
      changed = true;
      which = w;
      inserting = false;
    }
  }
  size_t before = FDockVisibleList.size();
  std::erase_if(FDockVisibleList, [&](TtbCustomToolWindow* w) {
    return std::find(FDockList.begin(), FDockList.end(), w) == FDockList.end();
  });
  if (FDockVisibleList.size() != before) changed = true;
  if (!changed) return;
  ArrangeToolbars();
  if (OnInsertRemoveBar) OnInsertRemoveBar(this, inserting, which);
}

void TtbDock::Notification(TComponent* component, TOperation operation) {
  TCustomControl::Notification(component, operation);
  if (operation != opRemove) return;
  auto* w = dynamic_cast<TtbCustomToolWindow*>(component);
  if (!w) return;
  std::erase(FDockList, w);
  std::erase(FDockVisibleList, w);
}

void TtbDock::Loaded() {
  TCustomControl::Loaded();
  ArrangeToolbars();
}

void TtbDock::AlignControls(TControl*, TRect&) { ArrangeToolbars(false); }

TRect TtbDock::boundInsets() const {
  return TRect{(FBoundLines & ablLeft) ? 1 : 0, (FBoundLines & ablTop) ? 1 : 0, (FBoundLines & ablRight) ? 1 : 0,
               (FBoundLines & ablBottom) ? 1 : 0};
}

void TtbDock::setAcross(int across) {
  TRect in = boundInsets();
  if (Orientation() == 1) {
    int h = across + in.Top + in.Bottom;
    if (h == Height()) return;
    int top = FPosition == adpBottom ? Top() + Height() - h : Top();
    SetBounds(Left(), top, Width(), h);
  } else {
    int w = across + in.Left + in.Right;
    if (w == Width()) return;
    int left = FPosition == adpRight ? Left() + Width() - w : Left();
    SetBounds(left, Top(), w, Height());
  }
}

void TtbDock::ArrangeToolbars(bool storePositions) {
  if (FUpdateCount > 0 || HasState(csLoading)) {
    FArrangePending = true;
    FStorePending = FStorePending || storePositions;
    return;
  }
  if (FArranging) return;
  storePositions = storePositions || FStorePending;
  ++FUpdateCount;
  FArranging = true;
  struct TDone {
    TtbDock* D;
    ~TDone() {
      --D->FUpdateCount;
      D->FArranging = false;
      D->FArrangePending = false;
      D->FStorePending = false;
    }
  } done{this};
  if (HandleAllocated() && !HasState(csDesigning))
    SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  const int o = Orientation();
  const bool designing = HasState(csDesigning);
  if (FDockVisibleList.empty()) {
    FRowThickness.clear();
    setAcross(FFixAlign ? 1 : designing ? 9 : 0);
    return;
  }
  std::vector<TtbDockItem> items;
  for (size_t k = 0; k < FDockList.size(); ++k) {
    TtbCustomToolWindow* w = FDockList[k];
    TtbDockItem i;
    i.Row = w->DockRow();
    i.Pos = w->DockPos();
    i.Length = o == 1 ? w->Width() : w->Height();
    i.FullSize = w->FullSize();
    i.Counts = std::find(FDockVisibleList.begin(), FDockVisibleList.end(), w) != FDockVisibleList.end();
    i.Thickness = i.Counts ? w->DockedThickness(o) : 0;
    i.Tag = static_cast<int>(k);
    items.push_back(i);
  }
  const TRect client = ClientRect();
  const int length = o == 1 ? client.Width() : client.Height();
  TtbDockLayout layout = ArrangeDockItems(items, length, FLimitToOneRow, storePositions);
  FRowThickness = layout.RowThickness;
  std::vector<TtbCustomToolWindow*> ordered;
  for (const TtbDockItem& i : items) {
    TtbCustomToolWindow* w = FDockList[static_cast<size_t>(i.Tag)];
    w->setDockPlace(i.Row, i.Pos);
    ordered.push_back(w);
  }
  FDockList = ordered;
  std::vector<TtbCustomToolWindow*> visible;
  for (TtbCustomToolWindow* w : FDockList)
    if (std::find(FDockVisibleList.begin(), FDockVisibleList.end(), w) != FDockVisibleList.end())
      visible.push_back(w);
  FDockVisibleList = visible;
  for (const TtbDockItem& i : items) {
    if (!i.Counts) continue;
    TtbCustomToolWindow* w = FDockList[static_cast<size_t>(&i - items.data())];
    const int along = i.FullSize ? length : i.Length;
    w->FArranging = true;
    try {
      if (o == 1) w->SetBounds(i.AdjustedPos, i.Across, along, i.RowSize);
      else w->SetBounds(i.Across, i.AdjustedPos, i.RowSize, along);
    } catch (...) {
      w->FArranging = false;
      throw;
    }
    w->FArranging = false;
  }
  setAcross(layout.Across);
}

TPoint TtbDock::BackgroundOrigin() {
  TPoint org = ClientOrigin();
  if (Parent()) {
    TPoint p = Parent()->ClientOrigin();
    return TPoint{org.X - p.X, org.Y - p.Y};
  }
  return TPoint{0, 0};
}

void TtbDock::DrawBackground(TDeviceContext& dc, const TRect& r, TPoint origin, const TRect* excluded) {
  if (!HasBackground()) return;
  const TBitmap* source = FBackground.get();
  if (FBackgroundTransparent) {
    if (!FTransparentCopy) {
      FTransparentCopy = std::make_unique<TBitmap>();
      FTransparentCopy->Assign(FBackground.get());
      TGdiBitmap& img = *FTransparentCopy->Image();
      const TColorRef key = img.Pixel(0, img.Height() - 1), color = ColorToRGB(Color());
      for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x)
          if (img.Pixel(x, y) == key) img.SetPixel(x, y, color);
    }
    source = FTransparentCopy.get();
  }
  const TGdiBitmap& img = *source->Image();
  const int bw = img.Width(), bh = img.Height();
  for (int y = r.Top; y < r.Bottom; ++y) {
    const int sy = ((y - origin.Y) % bh + bh) % bh;
    for (int x = r.Left; x < r.Right; ++x) {
      if (excluded && excluded->Contains(x, y)) continue;
      const int sx = ((x - origin.X) % bw + bw) % bw;
      dc.SetPixel(x, y, img.Pixel(sx, sy));
    }
  }
}

void TtbDock::Paint() {
  TCanvas& canvas = Canvas();
  TDeviceContext* dc = canvas.Handle();
  if (!dc) return;
  TRect client = ClientRect();
  if (HasState(csDesigning)) {
    canvas.Pen().SetStyle(psDot);
    canvas.Pen().SetColor(clBtnShadow);
    canvas.Brush().SetStyle(bsClear);
    canvas.Rectangle(client);
  }
  if (HasBackground()) {
    TPoint org = BackgroundOrigin();
    DrawBackground(*dc, client, TPoint{-org.X, -org.Y}, nullptr);
  }
}

void TtbDock::paintNonClient() {
  if (!HandleAllocated()) return;
  HDC hdc = GetWindowDC(Handle());
  TDeviceContext* dc = DeviceContextOf(hdc);
  if (dc) {
    TRect wr = GetWindowRect(Handle());
    TRect r{0, 0, wr.Width(), wr.Height()};
    TRect in = boundInsets();
    TRect inner{in.Left, in.Top, r.Right - in.Right, r.Bottom - in.Bottom};
    TLogBrush face = SolidBrush(ColorToRGB(Color()));
    // The ring outside the client area: Color, with the bound lines on top.
    if (in.Top) dc->FillRect(TRect{0, 0, r.Right, 1}, face);
    if (in.Bottom) dc->FillRect(TRect{0, r.Bottom - 1, r.Right, r.Bottom}, face);
    if (in.Left) dc->FillRect(TRect{0, inner.Top, 1, inner.Bottom}, face);
    if (in.Right) dc->FillRect(TRect{r.Right - 1, inner.Top, r.Right, inner.Bottom}, face);
    if (!FDockVisibleList.empty() || HasState(csDesigning)) {
      TLogBrush shadow = SolidBrush(ColorToRGB(clBtnShadow)), light = SolidBrush(ColorToRGB(clBtnHighlight));
      if (in.Top) dc->FillRect(TRect{0, 0, r.Right, 1}, shadow);
      if (in.Left) dc->FillRect(TRect{0, 0, 1, r.Bottom}, shadow);
      if (in.Bottom) dc->FillRect(TRect{0, r.Bottom - 1, r.Right, r.Bottom}, light);
      if (in.Right) dc->FillRect(TRect{r.Right - 1, 0, r.Right, r.Bottom}, light);
    }
  }
  ReleaseDC(Handle(), hdc);
}

void TtbDock::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_NCCALCSIZE:
      m.Result = HandleWMNCCalcSize(m.LParam, boundInsets());
      return;
    case WM_NCPAINT:
      paintNonClient();
      m.Result = 0;
      return;
    case WM_PAINT:
      TCustomControl::WndProc(m);
      if (FBoundLines) paintNonClient();
      return;
    case WM_PRINT: {
      m.Result = HandleWMPrint(*this, static_cast<HDC>(m.WParam), static_cast<uint32_t>(m.LParam),
                               [this](TDeviceContext&) { paintNonClient(); });
      return;
    }
    case WM_PRINTCLIENT:
      m.Result = HandleWMPrintClient(*this, static_cast<HDC>(m.WParam));
      return;
    case WM_SIZE:
      TCustomControl::WndProc(m);
      if (!HasState(csLoading)) ArrangeToolbars();
      return;
    case WM_MOVE:
      TCustomControl::WndProc(m);
      if (HasBackground()) repaintAll();
      return;
    case CM_COLORCHANGED:
    case CM_SYSCOLORCHANGE:
      TCustomControl::WndProc(m);
      if (HasBackground()) {
        FTransparentCopy.reset();
        repaintAll();
      }
      return;
  }
  TCustomControl::WndProc(m);
}

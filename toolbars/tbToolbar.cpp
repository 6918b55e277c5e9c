#include "toolbars/tbToolbar.h"

#include <algorithm>
#include <climits>

#include "platform/win/Windows.h"

namespace {

struct TMargins {
  int Left, Top, Right, Bottom;
};
constexpr TMargins FloatingMargins{4, 2, 4, 1};
constexpr TMargins DockedMargins{0, 0, 0, 0};

int Extent(const TtbLayoutItem& i, int o) {
  if (i.Separator) return o == 2 ? i.SizeVert : i.SizeHorz;
  return o == 2 ? i.Height : i.Width;
}
int Cross(const TtbLayoutItem& i, int o) { return o == 2 ? i.Width : i.Height; }

}  // namespace

int ToolbarThickness(const std::vector<TtbLayoutItem>& items, int orientation) {
  int t = 8;
  for (const TtbLayoutItem& i : items)
    if (!i.Separator) t = std::max(t, Cross(i, orientation));
  return t;
}

TtbToolbarLayoutResult LayoutToolbarItems(std::vector<TtbLayoutItem>& items, int o, int floatRightX, int crossSize,
                                          bool commit) {
  const TMargins m = o == 0 ? FloatingMargins : DockedMargins;
  int wrap = INT_MAX;
  if (o == 0 && floatRightX != 0) {
    wrap = floatRightX;
    for (const TtbLayoutItem& i : items)
      if (!i.Separator) wrap = std::max(wrap, i.Width + 8);
  }
  const int t = ToolbarThickness(items, o);
  const int c = crossSize >= 0 ? crossSize : t;
  TtbToolbarLayoutResult out;

  // A separator closes its group.
  std::vector<std::pair<size_t, size_t>> groups;
  for (size_t k = 0, begin = 0; k < items.size(); ++k)
    if (items[k].Separator || k + 1 == items.size()) {
      groups.emplace_back(begin, k + 1);
      begin = k + 1;
    }

  int row = m.Top, x = m.Left, maxX = x;
  int maxXBeforeSeparator = maxX;
  bool forcedWrap = false;
  for (size_t g = 0; g < groups.size(); ++g) {
    const auto [begin, end] = groups[g];
    int groupExtent = 0;
    for (size_t k = begin; k < end; ++k)
      if (!items[k].Separator) groupExtent += Extent(items[k], o);
    if (forcedWrap || x + groupExtent + m.Right > wrap) {
      x = m.Left;
      if (g != 0) {
        row += t + 6;
        TtbLayoutItem& sep = items[groups[g - 1].second - 1];
        if (sep.Separator) {
          maxX = maxXBeforeSeparator;
          if (commit) {
            sep.Collapsed = true;
            if (o == 2) sep.Bounds.Bottom = sep.Bounds.Top;
            else sep.Bounds.Right = sep.Bounds.Left;
            out.Lines.push_back({row, sep.Blank});
          }
        }
      }
      forcedWrap = false;
    }
    maxX = std::max(maxX, x);
    for (size_t k = begin; k < end; ++k) {
      TtbLayoutItem& i = items[k];
      const int extent = Extent(i, o);
      if (o == 0 && !i.Separator && x > m.Left && x + extent + m.Right > wrap) {
        x = m.Left;
        row += t;
        forcedWrap = true;
      }
      if (i.Separator) maxXBeforeSeparator = maxX;
      if (commit) {
        if (i.Separator) i.Bounds = o == 2 ? TRect{row, x, row + c, x + extent} : TRect{x, row, x + extent, row + c};
        else if (o == 2) i.Bounds = TRect{row + (c - i.Width) / 2, x, row + (c - i.Width) / 2 + i.Width, x + i.Height};
        else i.Bounds = TRect{x, row + (c - i.Height) / 2, x + i.Width, row + (c - i.Height) / 2 + i.Height};
      }
      x += extent;
      maxX = std::max(maxX, x);
    }
  }
  if (items.empty()) maxX = x + 8;
  TSize size{maxX + m.Right, row + t + m.Bottom};
  out.Size = o == 2 ? TSize{size.cy, size.cx} : size;
  return out;
}

std::vector<TSize> ToolbarFloatingSizes(const std::function<TSize(int floatRightX)>& measure, int thickness) {
  std::vector<TSize> sizes{measure(0)};
  for (int i = sizes.front().cx - 1; i >= thickness + 8;) {
    TSize s = measure(i);
    if (i < s.cx) break;
    if (i == s.cx) {
      if (sizes.size() > 1 && sizes.back().cy == s.cy) sizes.back() = s;
      else if (std::find(sizes.begin(), sizes.end(), s) == sizes.end()) sizes.push_back(s);
      --i;
    } else {
      i = s.cx;
    }
  }
  return sizes;
}

// ---- TtbToolbarSep ----

TtbToolbarSep::TtbToolbarSep(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetControlStyle(ControlStyle() & ~TControlStyle(csOpaque | csCaptureMouse));
  SetBounds(Left(), Top(), 6, 6);
}

void TtbToolbarSep::SetParent(TWinControl* parent) {
  if (parent && !dynamic_cast<TtbCustomToolbar*>(parent))
    throw EInvalidOperation("TtbToolbarSep can only be placed on a TtbToolbar");
  TGraphicControl::SetParent(parent);
}

void TtbToolbarSep::rearrange() {
  if (auto* t = dynamic_cast<TtbCustomToolbar*>(Parent())) t->Arrange();
}

void TtbToolbarSep::SetBlank(bool v) {
  if (v == FBlank) return;
  FBlank = v;
  Invalidate();
}

void TtbToolbarSep::SetSizeHorz(int v) {
  if (v == FSizeHorz) return;
  FSizeHorz = v;
  rearrange();
}

void TtbToolbarSep::SetSizeVert(int v) {
  if (v == FSizeVert) return;
  FSizeVert = v;
  rearrange();
}

void TtbToolbarSep::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseDown(button, shift, x, y);
  // A toolbar is dragged by its separators too.
  if (auto* t = dynamic_cast<TtbCustomToolbar*>(Parent())) t->MouseDown(button, shift, x + Left(), y + Top());
}

void TtbToolbarSep::Paint() {
  TCanvas& canvas = Canvas();
  if (HasState(csDesigning)) {
    canvas.Pen().SetStyle(psDot);
    canvas.Pen().SetColor(clBtnShadow);
    canvas.Brush().SetStyle(bsClear);
    canvas.Rectangle(0, 0, Width(), Height());
    canvas.Pen().SetStyle(psSolid);
  }
  if (FBlank) return;
  auto* t = dynamic_cast<TtbCustomToolbar*>(Parent());
  const bool vertical = t && t->DockedTo() && t->DockedTo()->Orientation() == 2;
  auto line = [&](int x0, int y0, int x1, int y1, TColor c) {
    canvas.Pen().SetColor(c);
    canvas.MoveTo(x0, y0);
    canvas.LineTo(x1, y1);
  };
  if (vertical) {
    line(0, Height() / 2 - 1, Width(), Height() / 2 - 1, clBtnShadow);
    line(0, Height() / 2, Width(), Height() / 2, clBtnHighlight);
  } else {
    line(Width() / 2 - 1, 0, Width() / 2 - 1, Height(), clBtnShadow);
    line(Width() / 2, 0, Width() / 2, Height(), clBtnHighlight);
  }
}

// ---- TtbCustomToolbar ----

TtbCustomToolbar::TtbCustomToolbar(TComponent* AOwner) : TtbCustomToolWindow(AOwner) {}

TtbCustomToolbar::~TtbCustomToolbar() { FOrderList.clear(); }

// The order list changes before the parent realigns, so the layout already sees the change.
void TtbCustomToolbar::ControlsListChanging(TControl* control, bool inserting) {
  TtbCustomToolWindow::ControlsListChanging(control, inserting);
  std::erase(FOrderList, control);
  if (inserting) FOrderList.push_back(control);
}

void TtbCustomToolbar::ControlsListChanged(TControl* control, bool inserting) {
  TtbCustomToolWindow::ControlsListChanged(control, inserting);
  Arrange();
}

void TtbCustomToolbar::sortOrderList(int orientation) {
  std::stable_sort(FOrderList.begin(), FOrderList.end(), [&](TControl* a, TControl* b) {
    return orientation == 2 ? a->Top() < b->Top() : a->Left() < b->Left();
  });
}

void TtbCustomToolbar::Loaded() {
  if (FSortAtLoad) sortOrderList(DockedTo() ? DockedTo()->Orientation() : 0);
  TtbCustomToolWindow::Loaded();
}

void TtbCustomToolbar::SetFloatRightX(int v) {
  if (v == FFloatRightX) return;
  FFloatRightX = v;
  if (Floating()) Arrange();
}

int TtbCustomToolbar::DockedThickness(int orientation) {
  int t = 8;
  for (TControl* c : FOrderList)
    if (counts(c) && !ChildIsSeparator(c)) t = std::max(t, orientation == 2 ? c->Width() : c->Height());
  return t;
}

void TtbCustomToolbar::GetExtraMargins(int& x, int& y) {
  x = 0;
  y = 0;
}

TSize TtbCustomToolbar::Layout(bool commit, int orientation, TtbDock* dock) {
  if (HasState(csDesigning) && FSortInDesigner) sortOrderList(orientation);
  std::vector<TControl*> controls;
  std::vector<TtbLayoutItem> items;
  for (TControl* c : FOrderList) {
    if (!counts(c)) continue;
    TtbLayoutItem i;
    i.Width = c->Width();
    i.Height = c->Height();
    if (auto* sep = dynamic_cast<TtbToolbarSep*>(c)) {
      i.Separator = true;
      i.SizeHorz = sep->SizeHorz();
      i.SizeVert = sep->SizeVert();
      i.Blank = sep->Blank();
    }
    controls.push_back(c);
    items.push_back(i);
  }
  int cross = -1;
  if (dock && dock == DockedTo()) cross = dock->GetRowThickness(DockRow(), this);
  TtbToolbarLayoutResult r = LayoutToolbarItems(items, orientation, FFloatRightX, cross, commit);
  if (commit) {
    FLines = r.Lines;
    for (size_t k = 0; k < items.size(); ++k) controls[k]->SetBoundsRect(items[k].Bounds);
  }
  if (HasState(csDesigning)) Invalidate();
  return r.Size;
}

std::vector<TSize> TtbCustomToolbar::FloatingSizes() {
  const int saved = FFloatRightX;
  std::vector<TSize> sizes;
  try {
    sizes = ToolbarFloatingSizes(
        [&](int rightX) {
          FFloatRightX = rightX;
          return Layout(false, 0, nullptr);
        },
        DockedThickness(0));
  } catch (...) {
    FFloatRightX = saved;
    throw;
  }
  FFloatRightX = saved;
  return sizes;
}

void TtbCustomToolbar::LoadPositionData(const TtbPositionReadInt& read) {
  if (read) SetFloatRightX(read(Name(), "FloatRightX", 0));
}

void TtbCustomToolbar::SavePositionData(const TtbPositionWriteInt& write) {
  if (write) write(Name(), "FloatRightX", FFloatRightX);
}

void TtbCustomToolbar::BeginSizing(TtbSizeHandle side) {
  const TRect in = FrameInsets(nullptr, true);
  const bool byHeight = side == shTop || side == shBottom;
  std::vector<TSize> sizes = FloatingSizes();
  FSizing = TSizingState{};
  for (TSize s : sizes) FSizing.Sizes.push_back(TSize{s.cx + in.Left + in.Right, s.cy + in.Top + in.Bottom});
  FSizing.OneRow = FSizing.Sizes.empty() ? TSize{} : FSizing.Sizes.front();
  std::stable_sort(FSizing.Sizes.begin(), FSizing.Sizes.end(),
                   [&](TSize a, TSize b) { return byHeight ? a.cy > b.cy : a.cx > b.cx; });
  FSizing.Initial = TSize{Width(), Height()};
  FSizing.Candidate = FFloatRightX;
  // Snap no further than the gap to the neighbouring sizes.
  auto it = std::find(FSizing.Sizes.begin(), FSizing.Sizes.end(), FSizing.Initial);
  if (it != FSizing.Sizes.end()) {
    const int cur = byHeight ? it->cy : it->cx;
    if (it != FSizing.Sizes.begin()) {
      const int gap = (byHeight ? std::prev(it)->cy : std::prev(it)->cx) - cur;
      FSizing.Snap = std::min(FSizing.Snap, gap - 1);
    }
    if (std::next(it) != FSizing.Sizes.end()) {
      const int gap = cur - (byHeight ? std::next(it)->cy : std::next(it)->cx);
      FSizing.Snap = std::min(FSizing.Snap, gap - 1);
    }
  }
  FSizing.Snap = std::max(0, FSizing.Snap);
}

void TtbCustomToolbar::Sizing(TtbSizeHandle side, TPoint cursor, TRect& rect) {
  if (FSizing.Sizes.empty()) return;
  const bool byHeight = side == shTop || side == shBottom;
  int d;
  switch (side) {
    case shLeft: d = rect.Right - cursor.X; break;
    case shTop: d = rect.Bottom - cursor.Y; break;
    case shBottom: d = cursor.Y - rect.Top; break;
    default: d = cursor.X - rect.Left; break;
  }
  // Measured against the size the drag began with, so that the pick depends on the pointer alone
  // and a pointer at rest cannot flip between two sizes; near that size, coming or crossing back,
  // it snaps there.
  const int ext = byHeight ? FSizing.Initial.cy : FSizing.Initial.cx;
  if (std::abs(d - ext) <= FSizing.Snap) d = ext;
  auto extentOf = [&](TSize s) { return byHeight ? s.cy : s.cx; };
  TSize pick;
  if (d > ext) {
    // The narrowest listed size larger than d, else the largest.
    pick = FSizing.Sizes.front();
    for (auto it = FSizing.Sizes.rbegin(); it != FSizing.Sizes.rend(); ++it)
      if (extentOf(*it) > d) {
        pick = *it;
        break;
      }
  } else {
    // The largest listed size not larger than d, else the smallest.
    pick = FSizing.Sizes.back();
    for (TSize s : FSizing.Sizes)
      if (extentOf(s) <= d) {
        pick = s;
        break;
      }
  }
  if (side == shLeft) rect.Left = rect.Right - pick.cx;
  else rect.Right = rect.Left + pick.cx;
  if (side == shTop) rect.Top = rect.Bottom - pick.cy;
  else rect.Bottom = rect.Top + pick.cy;
  const int frame = FrameInsets(nullptr, true).Left;
  FSizing.Candidate = pick == FSizing.OneRow ? 0 : pick.cx - 2 * frame;
}

void TtbCustomToolbar::EndSizing(bool accept) {
  if (accept) FFloatRightX = FSizing.Candidate;
  FSizing.Sizes.clear();
}

void TtbCustomToolbar::Paint() {
  TtbCustomToolWindow::Paint();
  if (!Floating()) return;
  TCanvas& canvas = Canvas();
  const int right = ClientWidth() - 1;
  for (const TtbSeparatorLine& l : FLines) {
    if (l.Blank) continue;
    canvas.Pen().SetColor(clBtnShadow);
    canvas.MoveTo(1, l.RowTop - 4);
    canvas.LineTo(right, l.RowTop - 4);
    canvas.Pen().SetColor(clBtnHighlight);
    canvas.MoveTo(1, l.RowTop - 3);
    canvas.LineTo(right, l.RowTop - 3);
  }
}

void TtbCustomToolbar::WndProc(TMessage& m) {
  if (m.Msg == WM_WINDOWPOSCHANGED && Floating()) {
    const auto* pos = reinterpret_cast<const TWindowPos*>(m.LParam);
    TtbCustomToolWindow::WndProc(m);
    if (pos && (!(pos->flags & SWP_NOSIZE) || (pos->flags & SWP_FRAMECHANGED)) && HandleAllocated()) Invalidate();
    return;
  }
  TtbCustomToolWindow::WndProc(m);
}

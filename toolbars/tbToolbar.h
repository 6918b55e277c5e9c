// The toolbar: a tool window that places its buttons, separators and other controls itself, in one
// row when docked and in wrapping rows when floating, and sizes itself to them.
#pragma once

#include <functional>
#include <vector>

#include "toolbars/tbToolWindow.h"

// One control as the layout sees it, in the toolbar's order.
struct TtbLayoutItem {
  int Width = 0;
  int Height = 0;
  bool Separator = false;
  int SizeHorz = 6;
  int SizeVert = 6;
  bool Blank = false;
  TRect Bounds;            // where a committing layout puts it
  bool Collapsed = false;  // a separator that ended a wrapped row
};
struct TtbSeparatorLine {
  int RowTop = 0;
  bool Blank = false;
  friend bool operator==(const TtbSeparatorLine&, const TtbSeparatorLine&) = default;
};
struct TtbToolbarLayoutResult {
  TSize Size;
  std::vector<TtbSeparatorLine> Lines;
};
// The largest cross size of the items that are not separators, at least 8.
int ToolbarThickness(const std::vector<TtbLayoutItem>& items, int orientation);
// Orientation 0 is floating (margins, wrapping at floatRightX when not 0); crossSize < 0 means the
// toolbar's own thickness. The item bounds are set only when committing.
TtbToolbarLayoutResult LayoutToolbarItems(std::vector<TtbLayoutItem>& items, int orientation, int floatRightX,
                                          int crossSize, bool commit);
// The distinct sizes a floating toolbar can take, the one-row size first; measure gives the size
// for a wrap width.
std::vector<TSize> ToolbarFloatingSizes(const std::function<TSize(int floatRightX)>& measure, int thickness);

class TtbCustomToolbar;

class TtbToolbarSep : public TGraphicControl {
public:
  explicit TtbToolbarSep(TComponent* AOwner);
  AnsiString ClassName() const override { return "TtbToolbarSep"; }
  bool Blank() const { return FBlank; }
  void SetBlank(bool v);
  int SizeHorz() const { return FSizeHorz; }
  void SetSizeHorz(int v);
  int SizeVert() const { return FSizeVert; }
  void SetSizeVert(int v);
  // Raises EInvalidOperation for any parent but a toolbar.
  void SetParent(TWinControl* parent) override;

protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;

private:
  void rearrange();
  bool FBlank = false;
  int FSizeHorz = 6;
  int FSizeVert = 6;
};

// Reads and writes one integer of a toolbar's position data by the toolbar's name and a key.
using TtbPositionReadInt = std::function<int(const AnsiString& toolbarName, const AnsiString& key, int def)>;
using TtbPositionWriteInt = std::function<void(const AnsiString& toolbarName, const AnsiString& key, int value)>;

class TtbCustomToolbar : public TtbCustomToolWindow {
public:
  explicit TtbCustomToolbar(TComponent* AOwner);
  ~TtbCustomToolbar() override;
  AnsiString ClassName() const override { return "TtbCustomToolbar"; }

  int FloatRightX() const { return FFloatRightX; }
  void SetFloatRightX(int v);
  const std::vector<TControl*>& OrderList() const { return FOrderList; }
  const std::vector<TtbSeparatorLine>& SeparatorLines() const { return FLines; }
  // The sizes the floating toolbar snaps to, frame not included.
  std::vector<TSize> FloatingSizes();
  void LoadPositionData(const TtbPositionReadInt& read);
  void SavePositionData(const TtbPositionWriteInt& write);

  int DockedThickness(int orientation) override;
  void GetExtraMargins(int& x, int& y) override;
  TSize Layout(bool commit, int orientation, TtbDock* dock) override;
  void BeginSizing(TtbSizeHandle side) override;
  void Sizing(TtbSizeHandle side, TPoint cursor, TRect& rect) override;
  void EndSizing(bool accept) override;
  bool ChildIsSeparator(TControl* c) const override { return dynamic_cast<TtbToolbarSep*>(c) != nullptr; }
  bool OfferCornerSizing() const override { return false; }
  bool RestrictCursorWhenSizing() const override { return false; }

protected:
  friend class TtbToolbarSep;
  void Loaded() override;
  void Paint() override;
  void WndProc(TMessage& m) override;
  void ControlsListChanging(TControl* control, bool inserting) override;
  void ControlsListChanged(TControl* control, bool inserting) override;
  bool ApplyChildAlignment() const override { return false; }

private:
  bool counts(TControl* c) const { return c->Visible() || HasState(csDesigning); }
  void sortOrderList(int orientation);

  std::vector<TControl*> FOrderList;
  bool FSortAtLoad = true;
  bool FSortInDesigner = true;
  int FFloatRightX = 0;
  std::vector<TtbSeparatorLine> FLines;
  // The interactive resize of the floating toolbar.
  struct TSizingState {
    std::vector<TSize> Sizes;  // window sizes
    TSize OneRow;
    int Snap = 12;
    TSize Initial;  // when the drag began
    int Candidate = 0;
  } FSizing;
};

class TtbToolbar final : public TtbCustomToolbar {
public:
  using TtbCustomToolbar::TtbCustomToolbar;
  AnsiString ClassName() const override { return "TtbToolbar"; }
};

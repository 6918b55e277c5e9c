// The dock: a strip along one edge of a form that holds tool windows in rows, keeps them from
// overlapping, sizes itself to its rows and can tile a background shared with its tool windows.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/classlib/Controls.h"
#include "platform/classlib/Graphics.h"

class TtbCustomToolWindow;

enum TtbDockPosition { adpTop, adpBottom, adpLeft, adpRight };
enum TtbDockBoundLine : unsigned { ablTop = 1, ablBottom = 2, ablLeft = 4, ablRight = 8 };
using TtbDockBoundLines = unsigned;
using TtbInsertRemoveEvent = std::function<void(TObject* Sender, bool Inserting, TtbCustomToolWindow* Bar)>;
using TtbRequestDockEvent = std::function<void(TObject* Sender, TtbCustomToolWindow* Bar, bool& Allow)>;

// 0 stands for no dock (floating), 1 for a top or bottom dock, 2 for a side dock.
int DockOrientation(TtbDockPosition position);

// One tool window as the arrangement sees it: its row and position, its length along the dock and
// its docked thickness across, and what the arrangement gives it back.
struct TtbDockItem {
  int Row = 0;
  int Pos = 0;
  int Length = 0;
  int Thickness = 0;
  bool FullSize = false;
  bool Counts = true;  // visible, or in a designer
  int Tag = 0;         // the caller's own number for the item
  int AdjustedPos = 0;
  int Across = 0;
  int RowSize = 0;
};
struct TtbDockLayout {
  std::vector<int> RowThickness;
  int Across = 0;  // the sum of the row sizes
};
// Renumbers the rows, orders the items by (Row, Pos) and places them along the rows; Pos always
// takes the pushed positions, the pulled-back ones too with storePositions.
TtbDockLayout ArrangeDockItems(std::vector<TtbDockItem>& items, int dockLength, bool limitToOneRow,
                               bool storePositions);

// Where a coordinate across the dock falls between rows of the given thicknesses.
struct TtbRowHit {
  int Row = 0;
  bool NewRow = false;  // insert an empty row at Row
};
TtbRowHit RowAtCoordinate(const std::vector<int>& rowThickness, int across);

class TtbDock : public TCustomControl {
public:
  explicit TtbDock(TComponent* AOwner);
  ~TtbDock() override;
  AnsiString ClassName() const override { return "TtbDock"; }

  TtbDockPosition Position() const { return FPosition; }
  void SetPosition(TtbDockPosition v);
  bool AllowDrag() const { return FAllowDrag; }
  void SetAllowDrag(bool v);
  TBitmap& Background() { return *FBackground; }
  void SetBackground(const TBitmap* v);
  bool BackgroundOnToolbars() const { return FBackgroundOnToolbars; }
  void SetBackgroundOnToolbars(bool v);
  bool BackgroundTransparent() const { return FBackgroundTransparent; }
  void SetBackgroundTransparent(bool v);
  TtbDockBoundLines BoundLines() const { return FBoundLines; }
  void SetBoundLines(TtbDockBoundLines v);
  bool FixAlign() const { return FFixAlign; }
  void SetFixAlign(bool v);
  bool LimitToOneRow() const { return FLimitToOneRow; }
  void SetLimitToOneRow(bool v);
  TtbInsertRemoveEvent OnInsertRemoveBar;
  TtbRequestDockEvent OnRequestDock;

  int Orientation() const { return DockOrientation(FPosition); }
  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();
  // Arranges now, or once the updates end; storePositions writes the pulled-back positions.
  void ArrangeToolbars(bool storePositions = false);
  // The thickness of a row; a missing or empty row gives the window's docked thickness.
  int GetRowThickness(int row, TtbCustomToolWindow* window) const;
  TtbRowHit RowAt(int across) const { return RowAtCoordinate(FRowThickness, across); }
  // Every tool window in row r or later moves one row further.
  void InsertRowBefore(int r);
  // Puts a tool window dropped at `across` (client coordinates across the dock) and `pos` along it
  // into the row there, opening a new row between rows, or one of its own for a full-size window.
  void PlaceToolWindow(TtbCustomToolWindow* w, int across, int pos);
  int RowCount() const { return static_cast<int>(FRowThickness.size()); }
  const std::vector<TtbCustomToolWindow*>& DockList() const { return FDockList; }
  const std::vector<TtbCustomToolWindow*>& DockVisibleList() const { return FDockVisibleList; }
  bool HasBackground() const { return FBackground->Width() > 0 && FBackground->Height() > 0; }
  // Tiles the background over r (target coordinates) with its origin at origin, leaving out excluded.
  void DrawBackground(TDeviceContext& dc, const TRect& r, TPoint origin, const TRect* excluded);
  // The dock's client origin as offset from its parent's client origin: where tiles start.
  TPoint BackgroundOrigin();

  // Used by the tool windows.
  void AddToolWindow(TtbCustomToolWindow* w);
  void RemoveToolWindow(TtbCustomToolWindow* w);
  void UpdateVisibleList();

protected:
  void CreateParams(TCreateParams& params) override;
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;
  void Paint() override;
  void WndProc(TMessage& m) override;
  void AlignControls(TControl* control, TRect& rect) override;

public:
  void SetParent(TWinControl* parent) override;

private:
  void frameChanged();
  void repaintAll();
  void paintNonClient();
  TRect boundInsets() const;
  void setAcross(int across);

  TtbDockPosition FPosition = adpTop;
  bool FAllowDrag = true;
  std::unique_ptr<TBitmap> FBackground = std::make_unique<TBitmap>();
  std::unique_ptr<TBitmap> FTransparentCopy;
  bool FBackgroundOnToolbars = true;
  bool FBackgroundTransparent = false;
  TtbDockBoundLines FBoundLines = 0;
  bool FFixAlign = false;
  bool FLimitToOneRow = false;
  std::vector<TtbCustomToolWindow*> FDockList;
  std::vector<TtbCustomToolWindow*> FDockVisibleList;
  std::vector<int> FRowThickness;
  int FUpdateCount = 0;
  bool FArrangePending = false;
  bool FStorePending = false;
  bool FArranging = false;
};

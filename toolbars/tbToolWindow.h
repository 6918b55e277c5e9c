// The tool window: a windowed container that sits in a row of a dock with a frame, a drag handle and
// an optional close button, or floats as a small captioned pop-up that follows its form. Which of
// the two it is follows its parent: a dock, or the form (through a hidden floating host).
#pragma once

#include <functional>
#include <vector>

#include "platform/classlib/Forms.h"
#include "toolbars/tbDock.h"
#include "toolbars/tbFloatingWindowParent.h"
#include "toolbars/tbHooks.h"

enum TtbDockableToFlag : unsigned { dtTop = 1, dtBottom = 2, dtLeft = 4, dtRight = 8 };
using TtbDockableTo = unsigned;
constexpr TtbDockableTo dtAll = dtTop | dtBottom | dtLeft | dtRight;
enum TtbToolWindowDockMode { admCanFloat, admCannotFloat, admCannotFloatOrChangeDocks };
enum TtbDragHandle { adhSingle, adhDouble, adhNone };
enum TtbFloatingMode { afmOnTopOfParentForm, afmOnTopOfAllForms };
// The sides a floating window is resized by, as the hit codes name them.
enum TtbSizeHandle { shLeft, shRight, shTop, shTopLeft, shTopRight, shBottom, shBottomLeft, shBottomRight };

using TtbDockChangingExEvent = std::function<void(TObject* Sender, TtbDock* ToDock)>;

// The private message that repaints a docked frame; outside the range the library uses near it.
constexpr uint32_t TBM_REPAINTFRAME = WM_APP + 0x0E10;

// Size across the handle strip, and the offset of its first grip bar.
int DragHandleSize(bool closeButtonWhenDocked, TtbDragHandle handle);
int DragHandleOffset(bool closeButtonWhenDocked, TtbDragHandle handle);

class TtbCustomToolWindow : public TCustomControl {
public:
  explicit TtbCustomToolWindow(TComponent* AOwner);
  ~TtbCustomToolWindow() override;
  AnsiString ClassName() const override { return "TtbCustomToolWindow"; }

  bool ActivateParent() const { return FActivateParent; }
  void SetActivateParent(bool v) { FActivateParent = v; }
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle v);
  bool CloseButton() const { return FCloseButton; }
  void SetCloseButton(bool v);
  bool CloseButtonWhenDocked() const { return FCloseButtonWhenDocked; }
  void SetCloseButtonWhenDocked(bool v);
  TtbDock* DefaultDock() const { return FDefaultDock; }
  void SetDefaultDock(TtbDock* v);
  TtbDockableTo DockableTo() const { return FDockableTo; }
  void SetDockableTo(TtbDockableTo v) { FDockableTo = v; }
  TtbDock* DockedTo() const { return FDockedTo; }
  void SetDockedTo(TtbDock* v);
  TtbToolWindowDockMode DockMode() const { return FDockMode; }
  void SetDockMode(TtbToolWindowDockMode v) { FDockMode = v; }
  int DockPos() const { return FDockPos; }
  void SetDockPos(int v);
  int DockRow() const { return FDockRow; }
  void SetDockRow(int v);
  TtbDragHandle DragHandle() const { return FDragHandle; }
  void SetDragHandle(TtbDragHandle v);
  TtbFloatingMode FloatingMode() const { return FFloatingMode; }
  void SetFloatingMode(TtbFloatingMode v);
  bool FullSize() const { return FFullSize; }
  void SetFullSize(bool v);
  bool HideWhenInactive() const { return FHideWhenInactive; }
  void SetHideWhenInactive(bool v);
  TtbDock* LastDock() const { return FLastDock; }
  void SetLastDock(TtbDock* v);
  bool ShowCaption() const { return FShowCaption; }
  void SetShowCaption(bool v);
  bool UseLastDock() const { return FUseLastDock; }
  void SetUseLastDock(bool v);
  bool Resizable() const { return FResizable; }
  void SetResizable(bool v) { FResizable = v; }

  bool Floating() const { return FDockedTo == nullptr && Parent() != nullptr; }
  TPoint FloatingPosition() const { return FFloatingTopLeft; }
  void SetFloatingPosition(TPoint p) {
    FFloatingTopLeft = p;
    FHasFloatingPosition = true;
  }
  bool InactiveCaption() const { return FInactiveCaption; }
  // Only a dock, a form or none; a form at run time stands for the floating host of that form.
  void SetParent(TWinControl* parent) override;
  void SetBounds(int left, int top, int width, int height) override;
  void SetVisible(bool v) override;
  TRect ClientRect() override;

  // Runs the layout and fits the window around it.
  void Arrange();
  void BeginArrange() { ++FArrangeCount; }
  void EndArrange();
  // The outermost form among the parents, or the floating host's form.
  TCustomForm* OwnerForm();
  // Floating visibility follows the form, the application and the activation.
  bool ShouldBeVisible();
  void UpdateVisibility();
  void UpdateTopmost();
  // Moves the floating window inside its monitor's work area; onlyRescue leaves it while any part shows.
  void MoveOnScreen(bool onlyRescue);
  // Frame insets (left, top, right, bottom) for the docked or floating state.
  TRect FrameInsets(TtbDock* dock, bool floating) const;
  // The docked size of a client size on a dock, frame and handle included.
  TSize DockedSizeOf(TSize client, TtbDock* dock) const;
  // Further forms whose docks a drag may use; nothing here fills it.
  std::vector<TCustomForm*>& DockForms() { return FDockForms; }
  // The close rectangle in window coordinates, docked or floating; empty when there is none.
  TRect CloseButtonRect();
  int CaptionHeight() const;

  // Slots the toolbar fills.
  virtual int DockedThickness(int orientation) = 0;
  virtual void GetExtraMargins(int& x, int& y) = 0;
  virtual TSize Layout(bool commit, int orientation, TtbDock* dock) = 0;
  virtual void SizeChanging(int, int) {}
  virtual void BeginSizing(TtbSizeHandle) {}
  // Replaces a candidate rectangle while resizing; the cursor is in screen coordinates.
  virtual void Sizing(TtbSizeHandle, TPoint, TRect&) {}
  virtual void EndSizing(bool) {}
  virtual bool ChildIsSeparator(TControl*) const { return false; }
  virtual bool OfferCornerSizing() const { return true; }
  virtual bool RestrictCursorWhenSizing() const { return true; }

  TNotifyEvent OnClose;
  TCloseQueryEvent OnCloseQuery;
  TNotifyEvent OnDockChanged;
  TNotifyEvent OnDockChanging;
  TtbDockChangingExEvent OnDockChangingEx;
  TtbDockChangingExEvent OnDockChangingHidden;
  TNotifyEvent OnMove;
  TNotifyEvent OnRecreated;
  TNotifyEvent OnRecreating;
  TNotifyEvent OnVisibleChanged;

protected:
  friend class TtbDock;
  friend bool RunCloseButtonLoop(TtbCustomToolWindow& w);

  void CreateParams(TCreateParams& params) override;
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;
  void Paint() override;
  void WndProc(TMessage& m) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void AlignControls(TControl* control, TRect& rect) override;
  void CMTextChanged(TMessage& m) override;
  // Whether the inherited alignment of children applies; a toolbar places them itself.
  virtual bool ApplyChildAlignment() const { return true; }
  void DrawFloatingFrame(TDeviceContext& dc, bool frame, bool caption, bool closeButton);
  void DrawDockedFrame(TDeviceContext& dc);
  void CloseByButton();

  bool FArranging = false;  // bounds set by the dock's arrangement
  int FLastOrientation = -1;

private:
  static void HookProc(TtbHookEventKind kind, HWND wnd, WPARAM wp, LPARAM lp);
  void frameChanged();
  void dockOrUndock();
  void ncPaint();
  LRESULT ncHitTest(TPoint screen);
  void ncLButtonDown(int hit);
  void showingChanged(bool show);
  void handActivationOn();
  TtbFloatingWindowParent* floatingParentFor(TCustomForm* form);
  // The process-wide list FloatingToolWindows reads.
  static void addFloating(TtbCustomToolWindow* w);
  static void removeFloating(TtbCustomToolWindow* w);
  // For the dock, which keeps the rows: the place it gives, without arranging again.
  void setDockPlace(int row, int pos) {
    FDockRow = row;
    FDockPos = pos;
  }
  // For a dock that is going: every reference to it goes.
  void forgetDock(TtbDock* dock);
  void repaintFrameLater();

  bool FActivateParent = true;
  TBorderStyle FBorderStyle = bsSingle;
  bool FCloseButton = true;
  bool FCloseButtonWhenDocked = false;
  TtbDock* FDefaultDock = nullptr;
  TtbDockableTo FDockableTo = dtAll;
  TtbDock* FDockedTo = nullptr;
  TtbToolWindowDockMode FDockMode = admCanFloat;
  int FDockPos = -1;
  int FDockRow = 0;
  TtbDragHandle FDragHandle = adhSingle;
  TtbFloatingMode FFloatingMode = afmOnTopOfParentForm;
  bool FFullSize = false;
  bool FHideWhenInactive = true;
  TtbDock* FLastDock = nullptr;
  bool FShowCaption = true;
  bool FUseLastDock = true;
  bool FResizable = true;

  int FArrangeCount = 0;
  bool FArrangePending = false;
  bool FHidden = false;         // hidden while moving between parents
  bool FReparenting = false;
  TPoint FFloatingTopLeft;
  bool FHasFloatingPosition = false;  // it floated, or was told where to
  bool FInactiveCaption = false;
  bool FCloseButtonDown = false;
  std::vector<TCustomForm*> FDockForms;
};

// The floating tool windows of the process, in the order they began to float.
const std::vector<TtbCustomToolWindow*>& FloatingToolWindows();

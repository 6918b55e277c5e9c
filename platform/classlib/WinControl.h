// The windowed control: it makes its window when first needed, holds and aligns child controls,
// keeps the tab order and the focus, paints its children and routes keys and the mouse.
#pragma once

#include <vector>

#include "platform/classlib/Control.h"
#include "platform/win/WindowStyles.h"

// What CreateWnd gives the window system.
struct TCreateParams {
  AnsiString Caption;
  uint32_t Style = 0;
  uint32_t ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HWND WndParent = 0;
  AnsiString WinClassName;
  uint32_t ClassStyle = CS_DBLCLKS;
};

class TWinControl : public TControl {
public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;
  AnsiString ClassName() const override { return "TWinControl"; }

  // The window, made (with the parents' windows) when first asked for.
  HWND Handle();
  bool HandleAllocated() const { return FHandle != 0; }
  void HandleNeeded();
  // Destroys and makes again the window (through CM_RECREATEWND): bounds, text, visibility and
  // focus stay.
  void RecreateWnd();
  // The control whose window this is, or nullptr.
  static TWinControl* FromHandle(HWND hwnd);
  // A window outside the library that holds this control's window while it has no parent control.
  HWND ParentWindow() const { return FParentWindow; }
  void SetParentWindow(HWND v);

  int ControlCount() const { return static_cast<int>(FControls.size()); }
  TControl* Controls(int index) const { return FControls.at(static_cast<size_t>(index)); }
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  bool ContainsControl(const TControl* control) const;
  // The child control at a client point (the topmost), or nullptr; hidden ones count with allowDisabled only.
  TControl* ControlAtPos(TPoint p, bool allowDisabled, bool allowWinControls = false);

  int TabOrder() const;
  void SetTabOrder(int v);
  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool v);
  // Windowed children in tab order, descending into containers when `all`.
  void GetTabOrderList(std::vector<TWinControl*>& list);
  TWinControl* FindNextControl(TWinControl* current, bool goForward, bool checkTabStop, bool checkParent);
  void SelectNext(TWinControl* current, bool goForward, bool checkTabStop);

  virtual bool CanFocus() const;
  virtual void SetFocus();
  bool Focused() const;
  bool Showing() const override;

  void SetBounds(int left, int top, int width, int height) override;
  TRect ClientRect() override;
  void SetClientSize(int width, int height) override;
  TPoint ClientOrigin() override;
  void SetVisible(bool v) override;
  void SetEnabled(bool v) override;
  void SetZOrder(bool topMost) override;
  void Invalidate() override;
  void Update() override;

  void DisableAlign() { ++FAlignLevel; }
  void EnableAlign();
  void Realign();
  int AlignDisabledLevel() const { return FAlignLevel; }

  // Sends a message to every child control.
  void Broadcast(TMessage& message);
  void PaintTo(TDeviceContext& dc, int x, int y);

  void WndProc(TMessage& message) override;
  void Dispatch(TMessage& message) override;
  void DefaultHandler(TMessage& message) override;

  TKeyEvent OnKeyDown;
  TKeyPressEvent OnKeyPress;
  TKeyEvent OnKeyUp;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

protected:
  friend class TControl;
  friend class TCustomForm;

  virtual void CreateParams(TCreateParams& params);
  virtual void CreateWnd();
  virtual void CreateWindowHandle(const TCreateParams& params);
  virtual void DestroyWnd();
  virtual void CreateHandle();
  virtual void DestroyHandle();
  // Lays the children out: the aligned ones edge by edge, then the anchored ones; a subclass may replace it.
  virtual void AlignControls(TControl* control, TRect& rect);
  virtual void AdjustClientRect(TRect&) {}
  // Places a child aligned alCustom; nothing by default.
  virtual void CustomAlignPosition(TControl*, int&, int&, int&, int&) {}
  virtual void AlignControl(TControl* control);
  virtual void PaintWindow(HDC dc);
  void PaintControls(HDC dc, TControl* first);
  void PaintHandler(TMessage& m);
  virtual void ControlsListChanging(TControl*, bool) {}
  virtual void ControlsListChanged(TControl*, bool) {}

  virtual void KeyDown(uint16_t& key, TShiftState shift);
  virtual void KeyUp(uint16_t& key, TShiftState shift);
  virtual void KeyPress(char& key);
  // Key events after the form's preview; true when the key was used up (set to 0).
  bool DoKeyDown(TMessage& m);
  bool DoKeyUp(TMessage& m);
  bool DoKeyPress(TMessage& m);
  virtual void DoEnter();
  virtual void DoExit();
  // Whether this control takes the key itself rather than leaving it to the dialog keys.
  virtual bool WantsKey(uint16_t key);
  // Runs the shortcut of a popup menu up the parents or of the form; true when one ran.
  bool IsMenuKey(uint16_t key, TShiftState shift);

  virtual void WMPaint(TMessage& m) { PaintHandler(m); }
  virtual void WMEraseBkgnd(TMessage& m);
  virtual void WMSize(TMessage& m);
  virtual void WMMove(TMessage& m);
  virtual void WMSetFocus(TMessage& m);
  virtual void WMKillFocus(TMessage& m);
  virtual void WMKeyDown(TMessage& m) { DefaultHandler(m); }
  virtual void WMChar(TMessage& m) { DefaultHandler(m); }
  virtual void WMSetCursor(TMessage& m);
  // Before a key message is translated and dispatched (see TApplication::IsKeyMsg): shortcuts,
  // dialog keys and accelerators; Result 1 when used up, so the key goes no further.
  virtual void CNKeyDown(TMessage& m);
  virtual void CNChar(TMessage& m);
  virtual void CNSysChar(TMessage& m);
  virtual void CMDialogKey(TMessage& m) { Broadcast(m); }
  virtual void CMDialogChar(TMessage& m) { Broadcast(m); }
  virtual void CMEnter(TMessage&) { DoEnter(); }
  virtual void CMExit(TMessage&) { DoExit(); }
  virtual void CMFocusChanged(TMessage& m) { Broadcast(m); }
  // System colours changed: every control repaints.
  virtual void CMSysColorChange(TMessage& m);
  void CMFontChanged(TMessage& m) override;
  void CMColorChanged(TMessage& m) override;
  void CMEnabledChanged(TMessage& m) override;
  void CMShowHintChangedChildren();
  virtual void CMShowingChanged(TMessage& m);
  virtual void CMRecreateWnd(TMessage& m);
  void CMParentShowHintChanged(TMessage& m) override;
  void CMTextChanged(TMessage& m) override;

  HWND FHandle = 0;

private:
  friend LRESULT ControlWindowProc(HWND, UINT, WPARAM, LPARAM);
  void routeMouse(TMessage& m);
  void updateBoundsFromWindow();
  void destroyChildHandles();
  void insertTab(TWinControl* c);
  void removeTab(TWinControl* c);
  void doAlign(TAlign kind, TRect& rect, TControl* control);

  std::vector<TControl*> FControls;
  std::vector<TWinControl*> FTabList;
  HWND FParentWindow = 0;
  bool FTabStop = false;
  int FAlignLevel = 0;
  bool FAligning = false;
  bool FSettingBounds = false;
  TControl* FMouseControl = nullptr;  // the graphic child last under the mouse
};

// The control whose window is hwnd, or nullptr.
TWinControl* FindControl(HWND hwnd);
// The form a control sits on (its top parent when that is a form), or nullptr.
TCustomForm* GetParentForm(TControl* control);
// The control under a screen point, descending into children; disabled ones only with allowDisabled.
TControl* FindDragTarget(TPoint screenPos, bool allowDisabled);

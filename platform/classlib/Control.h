// The control: bounds, alignment and anchors, colours, font, text, hint, cursor, popup menu and
// action, its messages and mouse events, and the mouse capture it may hold.
#pragma once

#include <memory>

#include "platform/classlib/Classes.h"
#include "platform/classlib/ControlCursors.h"
#include "platform/classlib/ControlMessages.h"
#include "platform/classlib/ControlTypes.h"
#include "platform/classlib/Graphics.h"
#include "platform/classlib/SizeConstraints.h"

class TWinControl;
class TCustomForm;
class TPopupMenu;
class TBasicAction;
class TControlActionLink;

class TControl : public TComponent {
public:
  explicit TControl(TComponent* owner);
  ~TControl() override;
  AnsiString ClassName() const override { return "TControl"; }

  TWinControl* Parent() const { return FParent; }
  virtual void SetParent(TWinControl* parent);
  virtual bool HasParent() const { return FParent != nullptr; }

  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetLeft(int v) { SetBounds(v, FTop, FWidth, FHeight); }
  void SetTop(int v) { SetBounds(FLeft, v, FWidth, FHeight); }
  void SetWidth(int v) { SetBounds(FLeft, FTop, v, FHeight); }
  void SetHeight(int v) { SetBounds(FLeft, FTop, FWidth, v); }
  // Applies the constraints, moves the window when there is one and realigns the parent.
  virtual void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const { return TRect{FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }
  void SetBoundsRect(const TRect& r) { SetBounds(r.Left, r.Top, r.Width(), r.Height()); }
  virtual TRect ClientRect();
  int ClientWidth() { return ClientRect().Width(); }
  int ClientHeight() { return ClientRect().Height(); }
  void SetClientWidth(int v) { SetClientSize(v, ClientHeight()); }
  void SetClientHeight(int v) { SetClientSize(ClientWidth(), v); }
  virtual void SetClientSize(int width, int height);
  // The client area's top-left corner on the screen.
  virtual TPoint ClientOrigin();
  TPoint ClientToScreen(TPoint p) { TPoint o = ClientOrigin(); return TPoint{p.X + o.X, p.Y + o.Y}; }
  TPoint ScreenToClient(TPoint p) { TPoint o = ClientOrigin(); return TPoint{p.X - o.X, p.Y - o.Y}; }

  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign v);
  TAnchors Anchors() const { return FAnchors; }
  void SetAnchors(TAnchors v);
  TSizeConstraints& Constraints() { return FConstraints; }

  bool Visible() const { return FVisible; }
  virtual void SetVisible(bool v);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible itself and every parent up to a top-level one that is showing.
  virtual bool Showing() const;
  bool Enabled() const { return FEnabled; }
  virtual void SetEnabled(bool v);

  TColor Color() const { return FColor; }
  void SetColor(TColor v);
  bool ParentColor() const { return FParentColor; }
  void SetParentColor(bool v);
  TFont& Font() { return *FFont; }
  void SetFont(const TFont* v) { FFont->Assign(v); }
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool v);

  const AnsiString& Caption() const { return FText; }
  void SetCaption(const AnsiString& v) { SetText(v); }
  const AnsiString& Text() const { return FText; }
  virtual void SetText(const AnsiString& v);
  const AnsiString& Hint() const { return FHint; }
  void SetHint(const AnsiString& v) { FHint = v; }
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool v);
  bool ParentShowHint() const { return FParentShowHint; }
  void SetParentShowHint(bool v);
  int HelpContext() const { return FHelpContext; }
  void SetHelpContext(int v) { FHelpContext = v; }
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor v);
  TPopupMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TPopupMenu* v);
  TBasicAction* Action() const;
  void SetAction(TBasicAction* v);
  // Brings the linked action up to date (its OnUpdate); the loop does it for showing controls when idle.
  void InitiateAction();

  // Drag settings and events as stored with a control; nothing in the library starts a drag of
  // controls, so the events are there for handlers that a form assigns.
  TDragMode DragMode() const { return FDragMode; }
  void SetDragMode(TDragMode v) { FDragMode = v; }
  TCursor DragCursor() const { return FDragCursor; }
  void SetDragCursor(TCursor v) { FDragCursor = v; }
  TDragDropEvent OnDragDrop;
  TDragOverEvent OnDragOver;
  TEndDragEvent OnEndDrag;

  TControlStyle ControlStyle() const { return FControlStyle; }
  void SetControlStyle(TControlStyle v) { FControlStyle = v; }
  TControlState ControlState() const { return FControlState; }
  void SetControlState(TControlState v) { FControlState = v; }

  // Sends a message straight to this control's WndProc and returns its result.
  LRESULT Perform(UINT msg, WPARAM wp = 0, LPARAM lp = 0);
  virtual void WndProc(TMessage& message);
  // Hands a message to its handler; what none handles goes to DefaultHandler.
  virtual void Dispatch(TMessage& message);
  virtual void DefaultHandler(TMessage& message);

  virtual void Invalidate();
  virtual void Update();
  void Repaint();
  void Refresh() { Repaint(); }
  void BringToFront() { SetZOrder(true); }
  void SendToBack() { SetZOrder(false); }
  virtual void SetZOrder(bool topMost);
  // Runs the click as a user's: OnClick, or the action's execute when there is no OnClick.
  virtual void Click();
  // Whether this control holds the mouse capture; setting it takes or gives it up.
  bool MouseCapture() const;
  void SetMouseCapture(bool v);

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;
  TNotifyEvent OnResize;

protected:
  friend class TWinControl;
  friend class TControlActionLink;

  virtual void DblClick();
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void Resize();
  // Asks the parent to realign its children, this one among them.
  virtual void RequestAlign();
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;
  // Keeps anchored controls at their distances from the parent's edges from now on.
  void UpdateAnchorRules();
  // The linked action changed (after its caption, enabled state, hint, help context and
  // visibility were copied); checkDefaults while loading: copy only over values still at their defaults.
  virtual void ActionChange(TBasicAction* sender, bool checkDefaults);

  // Handlers of the notifications and messages every control knows.
  virtual void CMEnabledChanged(TMessage& m);
  virtual void CMVisibleChanged(TMessage& m);
  virtual void CMFontChanged(TMessage& m);
  virtual void CMColorChanged(TMessage& m);
  virtual void CMTextChanged(TMessage& m);
  virtual void CMParentFontChanged(TMessage& m);
  virtual void CMParentColorChanged(TMessage& m);
  virtual void CMParentShowHintChanged(TMessage& m);
  virtual void CMHitTest(TMessage& m);
  virtual void CMMouseEnter(TMessage& m);
  virtual void CMMouseLeave(TMessage& m);
  virtual void WMMouse(TMessage& m);
  virtual void WMContextMenu(TMessage& m);

  TWinControl* FParent = nullptr;
  int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  TControlStyle FControlStyle = csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
  TControlState FControlState = 0;
  AnsiString FText;
  bool FVisible = true;

private:
  void FontChanged(TObject*);
  void ConstraintsChanged(TObject*);
  // The place the control leaves when it moves, shrinks or hides: the parent paints it afresh.
  void InvalidateVacated();
  void applyAnchors(int parentWidth, int parentHeight);

  TAlign FAlign = alNone;
  TAnchors FAnchors = DefaultAnchors;
  TRect FAnchorBounds;      // bounds when the anchors were last fixed
  TSize FAnchorParentSize;  // the parent's client size then; 0,0 while not fixed
  bool FAnchoring = false;
  TSizeConstraints FConstraints;
  bool FEnabled = true;
  TColor FColor = clWindow;
  bool FParentColor = true;
  std::unique_ptr<TFont> FFont = std::make_unique<TFont>();
  bool FParentFont = true;
  bool FFontFromParent = false;
  AnsiString FHint;
  bool FShowHint = false;
  bool FParentShowHint = true;
  int FHelpContext = 0;
  TCursor FCursor = crDefault;
  TDragMode FDragMode = dmManual;
  TCursor FDragCursor = crDrag;
  TPopupMenu* FPopupMenu = nullptr;
  std::unique_ptr<TControlActionLink> FActionLink;

  // The control given the capture through SetCaptureControl; GetCaptureControl checks it still holds it.
  static inline TControl* GCaptureControl = nullptr;
  friend TControl* GetCaptureControl();
  friend void SetCaptureControl(TControl* control);
};

// The graphic control that holds the mouse capture, if any.
TControl* GetCaptureControl();
void SetCaptureControl(TControl* control);

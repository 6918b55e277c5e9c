// Controls of the class library: the control with its bounds, alignment, colours, font, text and
// mouse events; the windowed control that makes its window when first needed and routes keys; the
// graphic control painted by its parent; the custom control with a canvas.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/classlib/Classes.h"
#include "platform/classlib/ControlMessages.h"
#include "platform/classlib/Graphics.h"
#include "platform/classlib/ModalResults.h"
#include "platform/win/Input.h"
#include "platform/win/Messages.h"
#include "platform/win/WinTypes.h"
#include "platform/win/WindowStyles.h"

class TWinControl;
class TCustomForm;
class TPopupMenu;
class TBasicAction;
class TControlActionLink;

struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
enum TAnchorKind : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = unsigned;
constexpr TAnchors DefaultAnchors = akLeft | akTop;

constexpr TMouseButton mbLeft = TMouseButton::Left;
constexpr TMouseButton mbRight = TMouseButton::Right;
constexpr TMouseButton mbMiddle = TMouseButton::Middle;

enum TShiftStateFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };
using TShiftState = unsigned;
// The shift state of a key message's moment, and of a mouse message's key flags.
TShiftState KeyboardStateToShiftState();
TShiftState KeyDataToShiftState(LPARAM keyData);
TShiftState MouseKeysToShiftState(WPARAM keys);

// Border styles shared by forms and bordered controls.
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderStyle = TFormBorderStyle;

using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crMultiDrag = -16;
constexpr TCursor crSQLWait = -17;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;
// The window system's cursor for a class-library cursor number; crNone gives 0 (no cursor).
int CursorHandle(TCursor c);

// Control style bits.
enum TControlStyleFlag : uint32_t {
  csAcceptsControls = 0x0001,
  csCaptureMouse = 0x0002,
  csDesignInteractive = 0x0004,
  csClickEvents = 0x0008,
  csFramed = 0x0010,
  csSetCaption = 0x0020,
  csOpaque = 0x0040,
  csDoubleClicks = 0x0080,
  csFixedWidth = 0x0100,
  csFixedHeight = 0x0200,
  csNoDesignVisible = 0x0400,
  csReplicatable = 0x0800,
  csNoStdEvents = 0x1000,
  csDisplayDragImage = 0x2000,
  csReflector = 0x4000,
  csActionClient = 0x8000,
  csMenuEvents = 0x10000,
};
using TControlStyle = uint32_t;

// Control state bits.
enum TControlStateFlag : uint32_t {
  csLButtonDown = 0x0001,
  csClicked = 0x0002,
  csPalette = 0x0004,
  csReadingState = 0x0008,
  csAlignmentNeeded = 0x0010,
  csFocusing = 0x0020,
  csCreating = 0x0040,
  csPaintCopy = 0x0080,
  csCustomPaint = 0x0100,
  csDestroyingHandle = 0x0200,
  csDocking = 0x0400,
};
using TControlState = uint32_t;

enum TDragMode { dmManual, dmAutomatic };
enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };
using TDragDropEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y)>;
using TDragOverEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TEndDragEvent = std::function<void(TObject* Sender, TObject* Target, int X, int Y)>;
using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, uint16_t& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;

// Smallest and largest size a control may take; 0 means no limit.
class TSizeConstraints : public TPersistent {
public:
  void Assign(const TPersistent* source) override;
  AnsiString ClassName() const override { return "TSizeConstraints"; }
  int MinWidth() const { return FMinWidth; }
  int MinHeight() const { return FMinHeight; }
  int MaxWidth() const { return FMaxWidth; }
  int MaxHeight() const { return FMaxHeight; }
  void SetMinWidth(int v);
  void SetMinHeight(int v);
  void SetMaxWidth(int v);
  void SetMaxHeight(int v);
  void Apply(int& width, int& height) const;
  TNotifyEvent OnChange;

private:
  void Changed() {
    if (OnChange) OnChange(this);
  }
  int FMinWidth = 0, FMinHeight = 0, FMaxWidth = 0, FMaxHeight = 0;
};

// A canvas that draws on a control: in its parent's window for a graphic control.
class TControlCanvas : public TCanvas {
public:
  explicit TControlCanvas(class TControl* control) : FControl(control) {}
  ~TControlCanvas() override;
  // Drops the context taken with GetDC (painting hands its own in through SetHandle).
  void FreeHandle() override;
  TControl* Control() const { return FControl; }

protected:
  void CreateHandle() override;

private:
  TControl* FControl = nullptr;
  HWND FWindow = 0;
  HDC FDC = 0;
};

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
};

// A control without a window of its own: its parent paints it and passes it the mouse.
class TGraphicControl : public TControl {
public:
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;
  AnsiString ClassName() const override { return "TGraphicControl"; }
  TCanvas& Canvas() { return *FCanvas; }

protected:
  virtual void Paint() {}
  void Dispatch(TMessage& message) override;

private:
  std::unique_ptr<TControlCanvas> FCanvas;
};


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

// A windowed control that paints itself on a canvas.
class TCustomControl : public TWinControl {
public:
  explicit TCustomControl(TComponent* owner);
  ~TCustomControl() override;
  AnsiString ClassName() const override { return "TCustomControl"; }
  TCanvas& Canvas() { return *FCanvas; }

protected:
  virtual void Paint() {}
  void PaintWindow(HDC dc) override;

private:
  std::unique_ptr<TControlCanvas> FCanvas;
};

// The small window that shows a control's hint near the mouse.
class THintWindow : public TCustomControl {
public:
  explicit THintWindow(TComponent* owner);
  AnsiString ClassName() const override { return "THintWindow"; }
  // The size the text needs, lines broken at CR or LF and words wrapped past maxWidth.
  TRect CalcHintRect(int maxWidth, const AnsiString& hint);
  // Shows the text in rect (screen coordinates) without taking the activation.
  void ActivateHint(const TRect& rect, const AnsiString& hint);
  void ReleaseHint();

protected:
  void CreateParams(TCreateParams& params) override;
  void Paint() override;
  void WndProc(TMessage& m) override;
};

// The parts of a hint before and after its "|".
AnsiString GetShortHint(const AnsiString& hint);
AnsiString GetLongHint(const AnsiString& hint);

// Lets go of the contexts that control canvases took outside painting; the loop calls it when idle.
void FreeDeviceContexts();
// The graphic control that holds the mouse capture, if any.
TControl* GetCaptureControl();
void SetCaptureControl(TControl* control);
// The control whose window is hwnd, or nullptr.
TWinControl* FindControl(HWND hwnd);
// The form a control sits on (its top parent when that is a form), or nullptr.
TCustomForm* GetParentForm(TControl* control);
// The control under a screen point, descending into children; disabled ones only with allowDisabled.
TControl* FindDragTarget(TPoint screenPos, bool allowDisabled);
// A hidden window whose messages go to handler (unhandled ones: set Result from DefWindowProc
// yourself); errors go to the application's exception handler.
HWND AllocateHWnd(std::function<void(TMessage&)> handler);
void DeallocateHWnd(HWND hwnd);
// Whether `key` is the accelerator ("&x") of caption, in any letter case.
bool IsAccel(uint16_t key, const AnsiString& caption);

// Forms, the screen and the application object: program name, main form, termination, the message
// loop with posted callbacks and the default error display. The window system plugs its message
// loop in through SetMessagePump; until then the queue holds posted callbacks only.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/Exceptions.h"
#include "platform/classlib/Classes.h"
#include "platform/classlib/Controls.h"

class TMainMenu;
class TActionList;

enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
                 poMainFormCenter, poOwnerFormCenter };
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
using TBorderIcons = unsigned;
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

// A top-level window with its own controls: shown plainly or modally, closed with a query, and
// moving the focus between its controls with Tab, Shift+Tab and the arrow keys.
//
// Events run in this order: OnCreate right after construction, OnShow then OnActivate when shown,
// OnCloseQuery then OnClose when closed, OnHide when hidden, OnDestroy when freed. C++ cannot run
// code between a constructor and its caller nor before a derived destructor, so: make forms with
// Create<T>(...) or Application().CreateForm (a form made with plain new has its OnCreate at the
// first show at the latest), and free them with Free() (a plain delete runs OnDestroy from this
// class's destructor, after the derived members are gone, unless the derived destructor calls
// BeforeDestruction first).
class TCustomForm : public TCustomControl {
public:
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;
  AnsiString ClassName() const override { return "TCustomForm"; }
  // Constructs a form and runs its OnCreate.
  template <class T, class... Args>
  static T* Create(Args&&... args) {
    T* f = new T(std::forward<Args>(args)...);
    f->AfterConstruction();
    return f;
  }
  // A plain form without contents of its own.
  static TCustomForm* CreateNew(TComponent* owner);
  // Runs OnDestroy, then frees the form.
  void Free();

  // Runs OnCreate once; an error it raises goes to the application's exception handler.
  virtual void AfterConstruction();
  // Runs OnDestroy once, likewise.
  virtual void BeforeDestruction();

  void Show();
  void Hide() { SetVisible(false); }
  // Shows the form, disables the other windows and runs messages until ModalResult is set.
  virtual TModalResult ShowModal();
  void Close();
  virtual bool CloseQuery();
  // Frees the form once the messages already queued have run.
  void Release();
  void SetVisible(bool v) override;
  void SetFocus() override;
  void SetText(const AnsiString& v) override;

  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult v) { FModalResult = v; }
  bool Modal() const { return FModal; }
  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle v);
  TBorderIcons BorderIcons() const { return FBorderIcons; }
  void SetBorderIcons(TBorderIcons v);
  TPosition Position() const { return FPosition; }
  void SetPosition(TPosition v) { FPosition = v; }
  TFormStyle FormStyle() const { return FFormStyle; }
  void SetFormStyle(TFormStyle v);
  TWindowState WindowState() const;
  void SetWindowState(TWindowState v);
  bool Active() const { return FActive; }
  TWinControl* ActiveControl() const { return FActiveControl; }
  // Raises EInvalidOperation for a control that cannot take the focus.
  void SetActiveControl(TWinControl* c);
  bool KeyPreview() const { return FKeyPreview; }
  void SetKeyPreview(bool v) { FKeyPreview = v; }
  TMainMenu* Menu() const { return FMenu; }
  void SetMenu(TMainMenu* v);

  // Focuses c when the form is active, else makes it the control to focus on activation.
  void FocusControl(TWinControl* c);
  // Called by a control that got the focus: exits the old one, enters the new one.
  void SetFocusedControl(TWinControl* c);
  // Focuses the next (or previous) control in tab order.
  void SelectNextControl(bool goForward) { SelectNext(FActiveControl, goForward, true); }
  // Updates the actions of the action lists the form owns.
  void UpdateActions();
  // A key as a shortcut: OnShortCut, then the menu's items, then the actions of the form's lists.
  virtual bool IsShortCut(uint16_t key, TShiftState shift);
  std::function<void(uint16_t Key, TShiftState Shift, bool& Handled)> OnShortCut;

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnPaint;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

protected:
  friend class TWinControl;
  friend class TApplication;
  void CreateParams(TCreateParams& params) override;
  void Paint() override;
  void WndProc(TMessage& m) override;
  void Dispatch(TMessage& m) override;
  void CMDialogKey(TMessage& m) override;
  void CMDialogChar(TMessage& m) override;
  void ControlsListChanging(TControl* control, bool inserting) override;
  void Notification(TComponent* component, TOperation operation) override;
  virtual void DoShow();
  virtual void DoHide();
  virtual void DoClose(TCloseAction& action);
  virtual void Activate();
  virtual void Deactivate();

private:
  void closeModal();
  void applyPosition();
  void setWindowFocus();
  void forgetControl(TControl* c);
  void wmNextDlgCtl(TMessage& m);

  TModalResult FModalResult = mrNone;
  bool FModal = false;
  bool FCreated = false;
  bool FDestroyed = false;
  bool FActive = false;
  bool FPositioned = false;
  bool FKeyPreview = false;
  TFormBorderStyle FBorderStyle = bsSizeable;
  TBorderIcons FBorderIcons = biSystemMenu | biMinimize | biMaximize;
  TPosition FPosition = poDesigned;
  TFormStyle FFormStyle = fsNormal;
  TWindowState FWindowState = wsNormal;
  TWinControl* FActiveControl = nullptr;
  TWinControl* FFocusedControl = nullptr;
  TMainMenu* FMenu = nullptr;
};

class TForm : public TCustomForm {
public:
  explicit TForm(TComponent* owner) : TCustomForm(owner) {}
  AnsiString ClassName() const override { return "TForm"; }
};

// The screen: its size, the forms in z-order, the active form and the cursor shown over all of them.
class TScreen : public TComponent {
public:
  TScreen() : TComponent(nullptr) {}
  int Width() const;
  int Height() const;
  TRect WorkAreaRect() const;
  int PixelsPerInch() const { return ScreenPixelsPerInch; }
  // Forms from the topmost down; forms without a window come last, in creation order.
  int FormCount() const { return static_cast<int>(Forms().size()); }
  TCustomForm* Forms(int index) const { return Forms().at(static_cast<size_t>(index)); }
  std::vector<TCustomForm*> Forms() const;
  TCustomForm* ActiveForm() const;
  TWinControl* ActiveControl() const;
  // crDefault lets each control show its own.
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor v);
  TFont& HintFont() { return FHintFont; }
  TNotifyEvent OnActiveFormChange;

private:
  friend class TCustomForm;
  void addForm(TCustomForm* f) { FForms.push_back(f); }
  void removeForm(TCustomForm* f);
  std::vector<TCustomForm*> FForms;
  TCursor FCursor = crDefault;
  TFont FHintFont;
};

TScreen& Screen();

// What the window system provides to the application's loop.
struct TMessagePump {
  // Handles one pending message; false when none was pending. Must be cheap when none is.
  std::function<bool()> ProcessOne;
  // Blocks until a message may be pending (input, timer, posted message).
  std::function<void()> WaitMessage;
};

class TApplication : public TComponent {
public:
  TApplication() : TComponent(nullptr) {}
  ~TApplication() override;

  // Connects the window system's loop; CreateForm and ShowModal do it too when it is missing.
  void Initialize();
  // Makes a form owned by the application; the first one made becomes the main form.
  template <class T>
  void CreateForm(T*& reference) {
    Initialize();
    reference = nullptr;
    auto* f = new T(this);
    reference = f;
    try {
      f->AfterConstruction();
    } catch (...) {
      reference = nullptr;
      delete f;
      throw;
    }
    if (!FMainForm) FMainForm = f;
  }
  TCustomForm* MainForm() const { return FMainForm; }
  bool ShowMainForm() const { return FShowMainForm; }
  void SetShowMainForm(bool v) { FShowMainForm = v; }
  // The hidden window that stands for the whole application.
  HWND Handle();
  void Minimize();
  void Restore();
  // Opens help on a topic; no help is installed, so it answers false.
  bool HelpContext(int context);
  bool Active() const;
  // Runs when the loop has nothing to do: updates the actions of the visible forms.
  void Idle();
  // Handles one pending message or callback; false when none was pending. Errors go to HandleException.
  bool HandleOne();
  // Offers a key message taken from the queue to its control as CN_ + message first; true when
  // the control used it up (a shortcut, a dialog key, an accelerator), and it then goes no further.
  bool IsKeyMsg(const TMsg& msg);
  TNotifyEvent OnMinimize;
  TNotifyEvent OnRestore;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnIdle;

  // Hints: shown after the mouse rests HintPause ms on a control whose ShowHint is set, hidden
  // after HintHidePause ms, on a click or a key, or when the mouse moves to another control.
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool v);
  unsigned HintPause() const { return FHintPause; }
  void SetHintPause(unsigned v) { FHintPause = v; }
  unsigned HintHidePause() const { return FHintHidePause; }
  void SetHintHidePause(unsigned v) { FHintHidePause = v; }
  // The window showing the current hint, or nullptr while none shows.
  THintWindow* HintWindow() const;
  void CancelHint();
  // Told by the controls of every mouse move, with the control under the mouse.
  void HintMouseMessage(TControl* control, TPoint screenPos);

  AnsiString ExeName() const;  // the program file, ParamStr(0)
  const AnsiString& Title() const { return FTitle; }
  void SetTitle(const AnsiString& t) { FTitle = t; }

  void Terminate() { FTerminated = true; }
  bool Terminated() const { return FTerminated; }
  // Clears the terminated flag, for tests and for a second run.
  void ResetTerminated() { FTerminated = false; }

  // Queues fn to run from the loop; with a target it is dropped if the target is freed first.
  void PostCallback(std::function<void()> fn, const TComponent* target = nullptr);
  // Runs what is pending now and returns; costs next to nothing when nothing is.
  void ProcessMessages();
  // Handles one message, waiting for one when none is pending and a pump is set; exceptions go to
  // HandleException.
  void HandleMessage();
  // The loop: shows the main form, then handles messages until Terminate (closing the main form
  // terminates). Without a pump it ends when the queue is empty; it also ends when nothing can
  // ever arrive (no input source and no timer).
  void Run();
  bool HasPending() const { return !FQueue.empty(); }

  void SetMessagePump(TMessagePump pump) { FPump = std::move(pump); }
  const TMessagePump& MessagePump() const { return FPump; }

  // The default error handling of the loop: OnException when set, else ShowException; EAbort is quiet.
  void HandleException(const Exception& e);
  // Handles the exception being handled now (call inside a catch block); non-Exception errors too.
  void HandleCurrentException();
  void ShowException(const Exception& e);
  std::function<void(const Exception&)> OnException;
  // Where ShowException shows the message and the title: stderr until the window system replaces it.
  using TExceptionDisplay = std::function<void(const AnsiString& message, const AnsiString& title)>;
  void SetExceptionDisplay(TExceptionDisplay display) { FExceptionDisplay = std::move(display); }

private:
  struct TPosted {
    std::function<void()> Fn;
    std::weak_ptr<const void> Target;
    bool HasTarget = false;
  };
  friend class TCustomForm;
  bool processOne();
  // Waits for a message; false when none can ever come.
  bool waitForMessage();
  void formGone(TCustomForm* f);

  AnsiString FTitle;
  bool FTerminated = false;
  std::deque<TPosted> FQueue;
  TMessagePump FPump;
  TExceptionDisplay FExceptionDisplay;
  TCustomForm* FMainForm = nullptr;
  bool FShowMainForm = true;
  HWND FHandle = 0;

  void showHintNow();
  void stopHintTimer();
  bool FShowHint = true;
  unsigned FHintPause = 500;
  unsigned FHintHidePause = 2500;
  TControl* FHintControl = nullptr;
  std::weak_ptr<const void> FHintControlAlive;
  TPoint FHintPos;
  uintptr_t FHintTimer = 0;
  std::unique_ptr<THintWindow> FHintWindow;
};

// The one application object of the process, made on first use.
TApplication& Application();

// Sounds the warning beep (through the display when it has one).
void Beep();
// The application's window system hooks: where Beep goes.
void SetBeepHandler(std::function<void()> handler);

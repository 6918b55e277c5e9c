#include "platform/classlib/Forms.h"

#include <algorithm>
#include <cstdio>

#include "platform/rtl/Files.h"
#include "platform/classlib/ActnList.h"
#include "platform/classlib/Menus.h"
#include "platform/classlib/MessageBox.h"
#include "platform/classlib/WindowPump.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/Windows.h"

AnsiString TApplication::ExeName() const { return ParamStr(0); }

void TApplication::PostCallback(std::function<void()> fn, const TComponent* target) {
  TPosted p;
  p.Fn = std::move(fn);
  if (target) {
    p.Target = target->Liveness();
    p.HasTarget = true;
  }
  FQueue.push_back(std::move(p));
}

bool TApplication::processOne() {
  while (!FQueue.empty()) {
    TPosted p = std::move(FQueue.front());
    FQueue.pop_front();
    if (p.HasTarget && p.Target.expired()) continue;
    if (p.Fn) p.Fn();
    return true;
  }
  return FPump.ProcessOne && FPump.ProcessOne();
}

void TApplication::ProcessMessages() {
  if (FQueue.empty() && !FPump.ProcessOne) return;
  // Only what was queued on entry: a callback that posts itself again waits for the next call.
  std::size_t budget = FQueue.size();
  while (budget > 0 && !FQueue.empty()) {
    --budget;
    TPosted p = std::move(FQueue.front());
    FQueue.pop_front();
    if (p.HasTarget && p.Target.expired()) continue;
    if (p.Fn) p.Fn();
  }
  if (FPump.ProcessOne)
    while (FPump.ProcessOne()) {
    }
}

bool TApplication::HandleOne() {
  try {
    return processOne();
  } catch (...) {
    HandleCurrentException();
    return true;
  }
}

bool TApplication::waitForMessage() {
  if (!FPump.WaitMessage) return false;
  try {
    FPump.WaitMessage();
    return true;
  } catch (const Exception&) {
    // Nothing can arrive (no input source, no timer): the loop that waits ends instead. Not shown:
    // an error box would run a loop of its own that can wait for nothing either.
    return false;
  }
}

void TApplication::HandleMessage() {
  if (HandleOne()) return;
  Idle();
  if (!FTerminated) waitForMessage();
}

void TApplication::Run() {
  if (FMainForm && FShowMainForm && !FTerminated) {
    try {
      FMainForm->Show();
    } catch (...) {
      HandleCurrentException();
    }
  }
  while (!FTerminated) {
    if (HandleOne()) continue;
    Idle();
    if (FTerminated || !waitForMessage()) break;
  }
}

TApplication::~TApplication() {
  // Forms reach back into the application while they go, and run OnDestroy while whole.
  CancelHint();
  FHintWindow.reset();
  for (int i = 0; i < ComponentCount(); ++i)
    if (auto* f = dynamic_cast<TCustomForm*>(Components(i))) f->BeforeDestruction();
  DestroyComponents();
}

void TApplication::SetShowHint(bool v) {
  FShowHint = v;
  if (!v) CancelHint();
}

THintWindow* TApplication::HintWindow() const {
  return FHintWindow && FHintWindow->Showing() ? FHintWindow.get() : nullptr;
}

void TApplication::stopHintTimer() {
  if (FHintTimer) KillTimer(0, FHintTimer);
  FHintTimer = 0;
}

void TApplication::CancelHint() {
  stopHintTimer();
  FHintControl = nullptr;
  FHintControlAlive.reset();
  if (FHintWindow && FHintWindow->HandleAllocated() && IsWindow(FHintWindow->Handle())) FHintWindow->ReleaseHint();
}

namespace {

bool WantsHint(TControl* c) {
  return c && c->ShowHint() && !GetShortHint(c->Hint()).empty();
}

}  // namespace

void TApplication::HintMouseMessage(TControl* control, TPoint screenPos) {
  FHintPos = screenPos;
  bool same = control == FHintControl && !FHintControlAlive.expired();
  if (same) return;
  CancelHint();
  if (!FShowHint || !WantsHint(control)) return;
  FHintControl = control;
  FHintControlAlive = control->Liveness();
  FHintTimer = SetTimer(0, 0, FHintPause, [this](HWND, UINT, uintptr_t, uint32_t) { showHintNow(); });
}

void TApplication::showHintNow() {
  stopHintTimer();
  if (FHintControlAlive.expired() || !FHintControl || !WantsHint(FHintControl) || !FHintControl->Showing()) {
    CancelHint();
    return;
  }
  if (FHintWindow && FHintWindow->HandleAllocated() && !IsWindow(FHintWindow->Handle())) FHintWindow.reset();
  if (!FHintWindow) FHintWindow = std::make_unique<THintWindow>(nullptr);
  AnsiString text = GetShortHint(FHintControl->Hint());
  TRect r = FHintWindow->CalcHintRect(Screen().Width() / 3, text);
  // Below the pointer, clear of its shape.
  r = OffsetRect(r, FHintPos.X, FHintPos.Y + 20);
  FHintWindow->ActivateHint(r, text);
  FHintTimer = SetTimer(0, 0, FHintHidePause, [this](HWND, UINT, uintptr_t, uint32_t) {
    stopHintTimer();
    if (FHintWindow && FHintWindow->HandleAllocated()) FHintWindow->ReleaseHint();
  });
}

bool TApplication::IsKeyMsg(const TMsg& msg) {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) CancelHint();
  HWND h = msg.hwnd;
  while (h && !FindControl(h)) h = GetParent(h);
  TWinControl* c = FindControl(h);
  if (!c) return false;
  try {
    return c->Perform(CN_BASE + msg.message, msg.wParam, msg.lParam) != 0;
  } catch (...) {
    HandleCurrentException();
    return true;
  }
}

void TApplication::Initialize() {
  if (!FPump.ProcessOne) UseWindowSystemPump();
  Handle();
}

HWND TApplication::Handle() {
  if (FHandle && IsWindow(FHandle)) return FHandle;
  TWndClass wc;
  if (!GetClassInfo("TApplication", wc)) {
    wc.lpszClassName = "TApplication";
    // The whole application's activation reaches every top-level window; this one reports it.
    wc.lpfnWndProc = [](HWND h, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
      if (msg == WM_ACTIVATEAPP) {
        TApplication& app = Application();
        try {
          if (wp && app.OnActivate) app.OnActivate(&app);
          if (!wp && app.OnDeactivate) app.OnDeactivate(&app);
        } catch (...) {
          app.HandleCurrentException();
        }
        return 0;
      }
      return DefWindowProc(h, msg, wp, lp);
    };
    RegisterClass(wc);
  }
  FHandle = CreateWindowEx(0, "TApplication", FTitle, WS_POPUP, 0, 0, 0, 0, 0);
  return FHandle;
}

void TApplication::Minimize() {
  for (TCustomForm* f : Screen().Forms())
    if (f->HandleAllocated() && f->Visible() && !IsIconic(f->Handle())) ShowWindow(f->Handle(), SW_MINIMIZE);
  if (OnMinimize) OnMinimize(this);
}

void TApplication::Restore() {
  for (TCustomForm* f : Screen().Forms())
    if (f->HandleAllocated() && IsIconic(f->Handle())) ShowWindow(f->Handle(), SW_RESTORE);
  if (OnRestore) OnRestore(this);
}

bool TApplication::HelpContext(int) { return false; }

bool TApplication::Active() const { return GetActiveWindow() != 0; }

void TApplication::Idle() {
  FreeDeviceContexts();
  for (TCustomForm* f : Screen().Forms())
    if (f->Visible()) f->UpdateActions();
  if (OnIdle) OnIdle(this);
}

void TApplication::formGone(TCustomForm* f) {
  if (FMainForm != f) return;
  // Without its main form the program has nothing left to run.
  FMainForm = nullptr;
  if (!HasState(csDestroying)) Terminate();
}

void TApplication::HandleException(const Exception& e) {
  if (dynamic_cast<const EAbort*>(&e)) return;
  if (OnException) OnException(e);
  else ShowException(e);
}

void TApplication::HandleCurrentException() {
  try {
    throw;
  } catch (const Exception& e) {
    HandleException(e);
  } catch (const std::exception& e) {
    HandleException(Exception(e.what()));
  } catch (...) {
    HandleException(Exception("Unknown error"));
  }
}

void TApplication::ShowException(const Exception& e) {
  AnsiString msg = e.Message();
  // The message box ends a sentence with a period.
  if (!msg.empty() && static_cast<unsigned char>(msg.back()) > '.') msg += '.';
  AnsiString title = FTitle.empty() ? ChangeFileExt(ExtractFileName(ExeName()), "") : FTitle;
  if (FExceptionDisplay) FExceptionDisplay(msg, title);
  else if (!ShowErrorBox(msg, title)) std::fprintf(stderr, "%s: %s\n", title.c_str(), msg.c_str());
}

TApplication& Application() {
  // The window system and the screen are made first so that they outlive the application,
  // whose forms still use them while it is freed at the end of the process.
  static const bool before = (GetFocus(), Screen(), true);
  (void)before;
  static TApplication app;
  return app;
}

namespace {
std::function<void()>& BeepHandler() {
  static std::function<void()> h;
  return h;
}
}  // namespace

void Beep() {
  if (BeepHandler()) BeepHandler()();
}

void SetBeepHandler(std::function<void()> handler) { BeepHandler() = std::move(handler); }

// ---- TScreen ----

TScreen& Screen() {
  static TScreen screen;
  return screen;
}

int TScreen::Width() const { return GetWorkArea().Width(); }
int TScreen::Height() const { return GetWorkArea().Height(); }
TRect TScreen::WorkAreaRect() const { return GetWorkArea(); }

std::vector<TCustomForm*> TScreen::Forms() const {
  std::vector<TCustomForm*> r;
  for (HWND h : GetChildWindows(0))
    if (auto* f = dynamic_cast<TCustomForm*>(FindControl(h)))
      if (std::find(FForms.begin(), FForms.end(), f) != FForms.end()) r.push_back(f);
  for (TCustomForm* f : FForms)
    if (std::find(r.begin(), r.end(), f) == r.end()) r.push_back(f);
  return r;
}

TCustomForm* TScreen::ActiveForm() const {
  HWND a = GetActiveWindow();
  auto* f = dynamic_cast<TCustomForm*>(FindControl(a));
  if (f && std::find(FForms.begin(), FForms.end(), f) != FForms.end()) return f;
  return nullptr;
}

TWinControl* TScreen::ActiveControl() const {
  TCustomForm* f = ActiveForm();
  return f ? f->ActiveControl() : nullptr;
}

void TScreen::SetCursor(TCursor v) {
  if (v == FCursor) return;
  FCursor = v;
  ::SetCursor(CursorHandle(v));
}

void TScreen::removeForm(TCustomForm* f) { FForms.erase(std::remove(FForms.begin(), FForms.end(), f), FForms.end()); }

// ---- TCustomForm ----

TCustomForm::TCustomForm(TComponent* owner) : TCustomControl(owner) {
  FVisible = false;
  SetParentColor(false);
  SetParentFont(false);
  SetParentShowHint(false);
  SetColor(clBtnFace);
  FControlStyle |= csAcceptsControls;
  SetBounds(0, 0, 320, 240);
  Screen().addForm(this);
}

TCustomForm* TCustomForm::CreateNew(TComponent* owner) { return Create<TForm>(owner); }

void TCustomForm::Free() {
  BeforeDestruction();
  delete this;
}

TCustomForm::~TCustomForm() {
  BeforeDestruction();
  Screen().removeForm(this);
  Application().formGone(this);
  if (FHandle) {
    FVisible = false;
    DestroyHandle();
  }
}

void TCustomForm::AfterConstruction() {
  if (FCreated) return;
  FCreated = true;
  // An error while creating is shown; the form stays, made as far as its handler got.
  if (OnCreate) {
    try {
      OnCreate(this);
    } catch (...) {
      Application().HandleCurrentException();
    }
  }
}

void TCustomForm::BeforeDestruction() {
  if (FDestroyed) return;
  FDestroyed = true;
  Destroying();
  if (OnDestroy) {
    try {
      OnDestroy(this);
    } catch (...) {
      Application().HandleCurrentException();
    }
  }
}

void TCustomForm::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  p.ExStyle = 0;
  if (!Enabled()) p.Style |= WS_DISABLED;
  switch (FBorderStyle) {
    case bsNone: p.Style |= WS_POPUP; break;
    case bsSingle: p.Style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable: p.Style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog:
      p.Style |= WS_POPUP | WS_CAPTION;
      p.ExStyle |= WS_EX_DLGMODALFRAME;
      break;
    case bsToolWindow:
      p.Style |= WS_CAPTION;
      p.ExStyle |= WS_EX_TOOLWINDOW;
      break;
    case bsSizeToolWin:
      p.Style |= WS_CAPTION | WS_THICKFRAME;
      p.ExStyle |= WS_EX_TOOLWINDOW;
      break;
  }
  if (FBorderStyle != bsNone && (FBorderIcons & biSystemMenu)) {
    p.Style |= WS_SYSMENU;
    if (FBorderStyle == bsSingle || FBorderStyle == bsSizeable) {
      if (FBorderIcons & biMinimize) p.Style |= WS_MINIMIZEBOX;
      if (FBorderIcons & biMaximize) p.Style |= WS_MAXIMIZEBOX;
    }
  }
  // The help button shows only on frames without minimize and maximize buttons.
  if ((FBorderIcons & biHelp) && (FBorderStyle == bsDialog || !(FBorderIcons & (biMinimize | biMaximize))))
    p.ExStyle |= WS_EX_CONTEXTHELP;
  if (FFormStyle == fsStayOnTop) p.ExStyle |= WS_EX_TOPMOST;
  p.WndParent = 0;
  p.WinClassName = ClassName();
}

void TCustomForm::SetBorderStyle(TFormBorderStyle v) {
  if (v == FBorderStyle) return;
  FBorderStyle = v;
  RecreateWnd();
}

void TCustomForm::SetBorderIcons(TBorderIcons v) {
  if (v == FBorderIcons) return;
  FBorderIcons = v;
  RecreateWnd();
}

void TCustomForm::SetFormStyle(TFormStyle v) {
  if (v == FFormStyle) return;
  FFormStyle = v;
  if (FHandle)
    SetWindowPos(FHandle, v == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

TWindowState TCustomForm::WindowState() const {
  if (FHandle) {
    if (IsIconic(FHandle)) return wsMinimized;
    if (IsZoomed(FHandle)) return wsMaximized;
    return wsNormal;
  }
  return FWindowState;
}

void TCustomForm::SetWindowState(TWindowState v) {
  FWindowState = v;
  if (FHandle && FVisible)
    ShowWindow(FHandle, v == wsMinimized ? SW_MINIMIZE : v == wsMaximized ? SW_MAXIMIZE : SW_RESTORE);
}

void TCustomForm::SetMenu(TMainMenu* v) {
  if (v == FMenu) return;
  if (FMenu) FMenu->RemoveFreeNotification(this);
  FMenu = v;
  if (v) v->FreeNotification(this);
}

void TCustomForm::Notification(TComponent* component, TOperation operation) {
  TCustomControl::Notification(component, operation);
  if (operation == opRemove && component == static_cast<TComponent*>(FMenu)) FMenu = nullptr;
}

void TCustomForm::SetText(const AnsiString& v) { TCustomControl::SetText(v); }

void TCustomForm::applyPosition() {
  if (FPositioned) return;
  FPositioned = true;
  TRect area = GetWorkArea();
  TCustomForm* over = nullptr;
  switch (FPosition) {
    case poScreenCenter:
    case poDesktopCenter:
      SetBounds(area.Left + (area.Width() - Width()) / 2, area.Top + (area.Height() - Height()) / 2, Width(), Height());
      return;
    case poMainFormCenter: over = Application().MainForm(); break;
    case poOwnerFormCenter: over = dynamic_cast<TCustomForm*>(Owner()); break;
    default: return;
  }
  if (!over || over == this) over = nullptr;
  if (!over) {
    SetBounds(area.Left + (area.Width() - Width()) / 2, area.Top + (area.Height() - Height()) / 2, Width(), Height());
    return;
  }
  SetBounds(over->Left() + (over->Width() - Width()) / 2, over->Top() + (over->Height() - Height()) / 2, Width(),
            Height());
}

void TCustomForm::SetVisible(bool v) {
  if (v == FVisible) return;
  if (v) {
    AfterConstruction();
    HandleNeeded();
    applyPosition();
    FVisible = true;
    if (!FActiveControl) {
      if (TWinControl* first = FindNextControl(nullptr, true, true, false)) FActiveControl = first;
    }
    DoShow();
    if (!FVisible) return;
    int cmd = FWindowState == wsMinimized ? SW_SHOWMINIMIZED : FWindowState == wsMaximized ? SW_SHOWMAXIMIZED : SW_SHOW;
    ShowWindow(FHandle, cmd);
    Perform(CM_VISIBLECHANGED, 1);
  } else {
    FVisible = false;
    if (FHandle) ShowWindow(FHandle, SW_HIDE);
    Perform(CM_VISIBLECHANGED, 0);
    DoHide();
  }
}

void TCustomForm::Show() {
  SetVisible(true);
  if (FHandle && FVisible) {
    BringWindowToTop(FHandle);
    if (GetActiveWindow() != FHandle && IsWindowEnabled(FHandle)) SetActiveWindow(FHandle);
  }
}

void TCustomForm::DoShow() {
  if (OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
  if (OnHide) OnHide(this);
}

void TCustomForm::DoClose(TCloseAction& action) {
  if (OnClose) OnClose(this, action);
}

bool TCustomForm::CloseQuery() {
  bool can = true;
  if (OnCloseQuery) OnCloseQuery(this, can);
  return can;
}

void TCustomForm::Close() {
  if (FModal) {
    FModalResult = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  DoClose(action);
  if (action == caNone) return;
  if (Application().MainForm() == this) {
    Application().Terminate();
    return;
  }
  switch (action) {
    case caHide: Hide(); break;
    case caMinimize: SetWindowState(wsMinimized); break;
    case caFree: Release(); break;
    default: break;
  }
}

void TCustomForm::Release() {
  // Behind the messages already queued for the window.
  if (FHandle) {
    PostMessage(FHandle, CM_RELEASE);
    return;
  }
  std::weak_ptr<const void> alive = Liveness();
  Application().PostCallback(
      [this, alive] {
        if (!alive.expired()) Free();
      },
      this);
}

void TCustomForm::closeModal() {
  TCloseAction action = CloseQuery() ? caHide : caNone;
  if (action != caNone) DoClose(action);
  switch (action) {
    case caNone: FModalResult = mrNone; break;
    case caFree: Release(); break;
    default: break;
  }
}

TModalResult TCustomForm::ShowModal() {
  if (FVisible || !Enabled() || FModal) throw EInvalidOperation("Cannot make a visible window modal");
  Application().Initialize();
  if (GetCapture()) ReleaseCapture();
  HandleNeeded();
  HWND activeBefore = GetActiveWindow();
  std::vector<HWND> disabled;
  for (HWND h : GetChildWindows(0))
    if (h != FHandle && IsWindowVisible(h) && IsWindowEnabled(h)) {
      EnableWindow(h, false);
      disabled.push_back(h);
    }
  // While it is modal the window it answers for owns it, so the desktop keeps it over that one.
  struct TModalOwner {
    HWND Form = 0;
    ~TModalOwner() {
      if (Form && IsWindow(Form)) SetWindowLongPtr(Form, GWL_HWNDPARENT, 0);
    }
  } owner;
  if (activeBefore && activeBefore != FHandle && !GetWindowLongPtr(FHandle, GWL_HWNDPARENT)) {
    SetWindowLongPtr(FHandle, GWL_HWNDPARENT, static_cast<intptr_t>(activeBefore));
    owner.Form = FHandle;
  }
  std::weak_ptr<const void> alive = Liveness();
  // The other windows come back before this one hides, so the activation can go to them.
  auto enableOthers = [&] {
    for (HWND h : disabled)
      if (IsWindow(h)) EnableWindow(h, true);
    disabled.clear();
  };
  auto restore = [&] {
    enableOthers();
    if (activeBefore && IsWindow(activeBefore) && IsWindowVisible(activeBefore)) SetActiveWindow(activeBefore);
  };
  FModal = true;
  FModalResult = mrNone;
  try {
    Show();
    TApplication& app = Application();
    // ModalResult is looked at after every message, whoever set it.
    while (!alive.expired()) {
      if (!app.HandleOne()) {
        app.Idle();
        if (!alive.expired() && FModalResult == mrNone && !app.Terminated() && !app.waitForMessage())
          FModalResult = mrCancel;
      }
      if (alive.expired()) break;
      if (app.Terminated()) FModalResult = mrCancel;
      else if (FModalResult != mrNone) closeModal();
      if (FModalResult != mrNone) break;
    }
  } catch (...) {
    enableOthers();
    if (!alive.expired()) {
      FModal = false;
      Hide();
    }
    restore();
    throw;
  }
  if (alive.expired()) {
    restore();
    return mrCancel;
  }
  TModalResult r = FModalResult;
  FModal = false;
  enableOthers();
  Hide();
  restore();
  return r;
}

void TCustomForm::SetActiveControl(TWinControl* c) {
  if (c == FActiveControl) return;
  if (c && (c == this || !ContainsControl(c) || (FVisible && !c->CanFocus())))
    throw EInvalidOperation("Cannot focus a disabled or invisible window");
  FActiveControl = c;
  if (FActive && c && FHandle) ::SetFocus(c->Handle());
}

void TCustomForm::FocusControl(TWinControl* c) {
  if (!c || !ContainsControl(c)) return;
  if (!c->CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  FActiveControl = c;
  if (!FHandle || !FVisible) return;
  if (FActive) {
    ::SetFocus(c->Handle());
    return;
  }
  // An inactive form comes forward; its activation focuses the control.
  if (IsWindowEnabled(FHandle)) SetActiveWindow(FHandle);
}

void TCustomForm::SetFocus() {
  if (!FVisible || !Enabled()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  SetActiveWindow(Handle());
}

void TCustomForm::setWindowFocus() {
  if (FActiveControl && FActiveControl->CanFocus()) ::SetFocus(FActiveControl->Handle());
  else if (FHandle) ::SetFocus(FHandle);
}

void TCustomForm::SetFocusedControl(TWinControl* c) {
  if (c == FFocusedControl) return;
  TWinControl* old = FFocusedControl;
  FFocusedControl = c;
  if (c != this) FActiveControl = c;
  if (old && old != this) {
    std::weak_ptr<const void> alive = c->Liveness();
    old->Perform(CM_EXIT);
    if (alive.expired() || FFocusedControl != c) return;
  }
  if (c != this) c->Perform(CM_ENTER);
  TMessage m{CM_FOCUSCHANGED, reinterpret_cast<WPARAM>(c), 0, 0};
  Broadcast(m);
}

void TCustomForm::forgetControl(TControl* c) {
  auto gone = [&](TWinControl* w) {
    return w && (w == c || (dynamic_cast<TWinControl*>(c) && static_cast<TWinControl*>(c)->ContainsControl(w)));
  };
  if (gone(FActiveControl)) FActiveControl = nullptr;
  if (gone(FFocusedControl)) FFocusedControl = nullptr;
}

void TCustomForm::ControlsListChanging(TControl* control, bool inserting) {
  if (!inserting) forgetControl(control);
}

void TCustomForm::Activate() {
  if (OnActivate) OnActivate(this);
}

void TCustomForm::Deactivate() {
  if (OnDeactivate) OnDeactivate(this);
}

void TCustomForm::Paint() {
  if (OnPaint) OnPaint(this);
}

namespace {

void InitiateActions(TWinControl* parent) {
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (!c->Visible()) continue;
    c->InitiateAction();
    if (auto* w = dynamic_cast<TWinControl*>(c)) InitiateActions(w);
  }
}

void InitiateItemActions(TMenuItem& item) {
  if (TBasicAction* a = item.Action()) a->Update();
  for (int i = 0; i < item.Count(); ++i) InitiateItemActions(*item.Items(i));
}

}  // namespace

void TCustomForm::UpdateActions() {
  for (int i = 0; i < ComponentCount(); ++i)
    if (auto* list = dynamic_cast<TActionList*>(Components(i))) list->UpdateActions();
  // Actions outside the form's lists, through the controls and items linked to them.
  InitiateActions(this);
  for (int i = 0; i < ComponentCount(); ++i)
    if (auto* menu = dynamic_cast<TMenu*>(Components(i))) InitiateItemActions(menu->Items());
}

bool TCustomForm::IsShortCut(uint16_t key, TShiftState shift) {
  bool handled = false;
  if (OnShortCut) OnShortCut(key, shift, handled);
  if (handled) return true;
  TShortCut sc = ShortCut(key, shift);
  if (FMenu && FMenu->IsShortCut(sc)) return true;
  for (int i = 0; i < ComponentCount(); ++i)
    if (auto* list = dynamic_cast<TActionList*>(Components(i)))
      for (int a = 0; a < list->ActionCount(); ++a)
        if (auto* act = dynamic_cast<TCustomAction*>(list->Actions(a)); act && act->ShortCut() == sc) {
          act->Execute();
          return true;
        }
  return false;
}

void TCustomForm::wmNextDlgCtl(TMessage& m) {
  if (m.LParam) {
    if (auto* c = FindControl(static_cast<HWND>(m.WParam)); c && c->CanFocus()) c->SetFocus();
    return;
  }
  SelectNext(FActiveControl, m.WParam == 0, true);
}

void TCustomForm::WndProc(TMessage& m) {
  // Controls on the form lose their place in it when they go, wherever they sat.
  if (m.Msg == CM_CONTROLLISTCHANGE && !m.LParam) forgetControl(reinterpret_cast<TControl*>(m.WParam));
  TCustomControl::WndProc(m);
}

void TCustomForm::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_ACTIVATE: {
      bool active = LOWORD(m.WParam) != WA_INACTIVE;
      if (active == FActive) return;
      FActive = active;
      if (active) {
        setWindowFocus();
        Activate();
        if (Screen().OnActiveFormChange) Screen().OnActiveFormChange(&Screen());
      } else {
        Deactivate();
      }
      return;
    }
    case WM_CLOSE: Close(); return;
    case CM_RELEASE: Free(); return;
    case WM_NEXTDLGCTL: wmNextDlgCtl(m); return;
    case WM_SETFOCUS:
      // The form itself has the focus only when none of its controls can take it.
      DefaultHandler(m);
      if (FActiveControl && FActiveControl->CanFocus() && FActiveControl->HandleAllocated()) {
        ::SetFocus(FActiveControl->Handle());
        return;
      }
      SetFocusedControl(this);
      return;
    case WM_SYSCOMMAND:
      if ((m.WParam & 0xFFF0) == SC_MINIMIZE && Application().MainForm() == this) {
        Application().Minimize();
        return;
      }
      break;
  }
  TCustomControl::Dispatch(m);
}

void TCustomForm::CMDialogKey(TMessage& m) {
  auto key = static_cast<uint16_t>(m.WParam);
  TShiftState shift = KeyDataToShiftState(m.LParam);
  if (!(shift & (ssAlt | ssCtrl))) {
    switch (key) {
      case VK_TAB:
        SelectNext(FActiveControl, !(shift & ssShift), true);
        m.Result = 1;
        return;
      case VK_LEFT:
      case VK_UP:
      case VK_RIGHT:
      case VK_DOWN:
        if (FActiveControl && FActiveControl->Parent()) {
          FActiveControl->Parent()->SelectNext(FActiveControl, key == VK_RIGHT || key == VK_DOWN, false);
          m.Result = 1;
        }
        return;
    }
  }
  Broadcast(m);
}

void TCustomForm::CMDialogChar(TMessage& m) {
  // The menu's accelerators come before the controls'.
  if (FMenu && (KeyDataToShiftState(m.LParam) & ssAlt)) {
    if (TMenuItem* item = FMenu->Items().FindAccel(static_cast<uint16_t>(m.WParam))) {
      item->Click();
      m.Result = 1;
      return;
    }
  }
  Broadcast(m);
}

// What the window manager is told of our windows (hints, states, icon) and how we follow what it does.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>

#include "platform/rtl/Ticks.h"
#include "platform/win/X11BackendImpl.h"
#include "platform/win/X11Icon.h"
#include "platform/win/X11WmHints.h"

namespace {

// How long a manager may take to carry out a minimise, restore or maximise we asked of it.
constexpr uint64_t ManagerAnswerMs = 2000;

}  // namespace

// Which program a window belongs to, for the desktop's task list and its icon.
void TX11Backend::TImpl::SetProgramHints(Window w) {
  XClassHint cls{const_cast<char*>("quorvex"), const_cast<char*>("Quorvex")};
  XSetClassHint(Dpy, w, &cls);
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) == 0) {
    char* names[] = {host};
    XTextProperty text{};
    if (XStringListToTextProperty(names, 1, &text)) {
      XSetWMClientMachine(Dpy, w, &text);
      XFree(text.value);
    }
  }
  long pid = static_cast<long>(getpid());
  XChangeProperty(Dpy, w, NetPid, XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&pid), 1);
  if (!Icon) Icon = ProgramNetWmIcon();
  if (!Icon->empty())
    XChangeProperty(Dpy, w, NetIcon, XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<unsigned char*>(Icon->data()),
                    static_cast<int>(Icon->size()));
}

void TX11Backend::TImpl::SetDecorationHint(Window w, const TWindowRec& rec, const TXState& x) {
  long hints[MwmHintsLength] = {};
  if (x.Framed) {
    // The manager's frame offers what our own caption would, and no button more: managers draw
    // minimise and maximise unless the decorations leave them out.
    long f = MwmFuncMove, decor = MwmDecorBorder | MwmDecorTitle | MwmDecorMenu;
    if (rec.Style & WS_THICKFRAME) f |= MwmFuncResize, decor |= MwmDecorResizeH;
    if (rec.Style & WS_MINIMIZEBOX) f |= MwmFuncMinimize, decor |= MwmDecorMinimize;
    if (rec.Style & WS_MAXIMIZEBOX) f |= MwmFuncMaximize, decor |= MwmDecorMaximize;
    if ((rec.Style & WS_SYSMENU) && !(rec.ClassStyle & CS_NOCLOSE)) f |= MwmFuncClose;
    hints[0] = MwmHintsFunctions | MwmHintsDecorations;
    hints[1] = f;
    hints[2] = decor;
  } else if (NonClientInsets(rec.Style, rec.ExStyle) != TRect{} || OwnedToolWindow(rec)) {
    // We draw our own caption and frame: a manager's would be a second one. The manager keeps
    // moving, sizing and closing as it likes.
    hints[0] = MwmHintsDecorations;
  } else {
    XDeleteProperty(Dpy, w, MotifHints);
    return;
  }
  XChangeProperty(Dpy, w, MotifHints, MotifHints, 32, PropModeReplace, reinterpret_cast<unsigned char*>(hints),
                  MwmHintsLength);
}

// Places are those of the window itself, not of a manager's frame around it; a window without a
// sizing frame keeps its size.
void TX11Backend::TImpl::SetSizeHints(Window w, const TWindowRec& rec) {
  XSizeHints hints{};
  TRect b = rec.Bounds;
  hints.flags = USPosition | USSize | PPosition | PSize | PWinGravity;
  hints.x = b.Left, hints.y = b.Top, hints.width = b.Width(), hints.height = b.Height();
  hints.win_gravity = StaticGravity;
  if (!(rec.Style & WS_THICKFRAME) && !(rec.Style & (WS_MINIMIZE | WS_MAXIMIZE))) {
    hints.flags |= PMinSize | PMaxSize;
    hints.min_width = hints.max_width = std::max(1, b.Width());
    hints.min_height = hints.max_height = std::max(1, b.Height());
  }
  XSetWMNormalHints(Dpy, w, &hints);
}

Window TX11Backend::TImpl::WindowProperty(Window w, Atom name) {
  const std::vector<long> v = Longs(w, name, XA_WINDOW, 1);
  Window found = v.size() == 1 ? static_cast<Window>(v[0]) : 0;
  // A running manager's check window names itself; one left behind by a manager that ended is gone.
  if (found && name == NetCheck && w == Root && WindowProperty(found, NetCheck) != found) found = 0;
  return found;
}

bool TX11Backend::TImpl::ManagerMovesWindows() {
  const std::vector<long> atoms = Longs(Root, NetSupported, XA_ATOM, 4096);
  return std::find(atoms.begin(), atoms.end(), static_cast<long>(NetMoveResize)) != atoms.end();
}

void TX11Backend::BeginMoveSize(HWND hwnd, int hit, TPoint screen) {
  Window w = static_cast<Window>(XWindowOf(hwnd));
  long direction = -1;
  switch (hit) {
    case HTCAPTION: direction = NetMoveResizeMove; break;
    case HTTOPLEFT: direction = NetMoveResizeSizeTopLeft; break;
    case HTTOP: direction = NetMoveResizeSizeTop; break;
    case HTTOPRIGHT: direction = NetMoveResizeSizeTopRight; break;
    case HTRIGHT: direction = NetMoveResizeSizeRight; break;
    case HTBOTTOMRIGHT: direction = NetMoveResizeSizeBottomRight; break;
    case HTBOTTOM: direction = NetMoveResizeSizeBottom; break;
    case HTBOTTOMLEFT: direction = NetMoveResizeSizeBottomLeft; break;
    case HTLEFT: direction = NetMoveResizeSizeLeft; break;
  }
  if (!w || direction < 0 || !F->ManagerMovesWindows()) {
    TDisplayBackend::BeginMoveSize(hwnd, hit, screen);
    return;
  }
  // The manager can grab the pointer only once our own grab is gone.
  if (GetCapture()) ReleaseCapture();
  XUngrabPointer(F->Dpy, F->LastTime);
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = w;
  ev.xclient.message_type = F->NetMoveResize;
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = screen.X;
  ev.xclient.data.l[1] = screen.Y;
  ev.xclient.data.l[2] = direction;
  ev.xclient.data.l[3] = Button1;
  ev.xclient.data.l[4] = NetSourceApplication;
  XSendEvent(F->Dpy, F->Root, False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
  XFlush(F->Dpy);
}

void TX11Backend::TImpl::SetOwnerHint(Window w, HWND owner) {
  auto it = Windows.find(owner);
  if (it != Windows.end()) XSetTransientForHint(Dpy, w, it->second);
  else XDeleteProperty(Dpy, w, XA_WM_TRANSIENT_FOR);
}

// Owned windows and dialogs are typed as dialogs, so that the manager keeps them over their owner.
void TX11Backend::TImpl::SetTypeHint(Window w, const TWindowRec& rec) {
  Atom type = NetNormal;
  if (rec.ExStyle & WS_EX_TOOLWINDOW) type = NetUtility;
  else if (rec.Owner || (rec.ExStyle & WS_EX_DLGMODALFRAME)) type = NetDialog;
  XChangeProperty(Dpy, w, NetType, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&type), 1);
}

// A shown window whose owner is disabled while it is not waits for an answer: it is modal.
unsigned TX11Backend::TImpl::WantedStates(const TWindowRec& rec, const TXState& x) {
  unsigned s = 0;
  if (rec.ExStyle & WS_EX_TOPMOST) s |= 1u << StateAbove;
  if (rec.ExStyle & WS_EX_TOOLWINDOW) s |= 1u << StateSkipTaskbar;
  if (rec.Owner && !IsWindowEnabled(rec.Owner) && !(rec.Style & WS_DISABLED) && (rec.Style & WS_VISIBLE))
    s |= 1u << StateModal;
  if (x.Framed && (rec.Style & WS_MAXIMIZE)) s |= (1u << StateMaxVert) | (1u << StateMaxHorz);
  return s;
}

// The manager owns the state of a window it manages and hears of changes by requests to the
// root; otherwise the property is ours to write.
void TX11Backend::TImpl::SetStates(Window w, TXState& x, unsigned want) {
  if (Managed && x.Mapped) {
    for (int i = 0; i < StateCount; ++i) {
      unsigned bit = 1u << i;
      if ((x.States & bit) == (want & bit)) continue;
      XEvent ev{};
      ev.xclient.type = ClientMessage;
      ev.xclient.window = w;
      ev.xclient.message_type = NetState;
      ev.xclient.format = 32;
      ev.xclient.data.l[0] = (want & bit) ? 1 : 0;  // add or remove
      ev.xclient.data.l[1] = static_cast<long>(StateAtoms[i]);
      // Both directions of a maximise in one request, so that the manager makes one change.
      if (i == StateMaxVert && ((x.States ^ want) & (1u << StateMaxHorz))) {
        ev.xclient.data.l[2] = static_cast<long>(StateAtoms[StateMaxHorz]);
        x.States = (x.States & ~(1u << StateMaxHorz)) | (want & (1u << StateMaxHorz));
      }
      ev.xclient.data.l[3] = NetSourceApplication;
      XSendEvent(Dpy, Root, False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
      if (i == StateMaxVert || i == StateMaxHorz) Asked(x);
    }
  } else {
    std::vector<Atom> atoms;
    for (int i = 0; i < StateCount; ++i)
      if (want & (1u << i)) atoms.push_back(StateAtoms[i]);
    XChangeProperty(Dpy, w, NetState, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(atoms.data()),
                    static_cast<int>(atoms.size()));
  }
  x.States = want;
}

long TX11Backend::TImpl::WmStateOf(Window w) {
  const std::vector<long> v = Longs(w, WmState, WmState, 2);
  return v.empty() ? long(WithdrawnState) : v[0];
}

unsigned TX11Backend::TImpl::NetStatesOf(Window w) {
  const std::vector<long> atoms = Longs(w, NetState, XA_ATOM, 64);
  unsigned states = 0;
  for (int i = 0; i < StateCount; ++i)
    if (std::find(atoms.begin(), atoms.end(), static_cast<long>(StateAtoms[i])) != atoms.end()) states |= 1u << i;
  return states;
}

// A change was asked of the manager: until it answers, or the time runs out, what it shows is older.
void TX11Backend::TImpl::Asked(TXState& x) {
  x.AskedUntil = GetTickCount64() + ManagerAnswerMs;
  RecheckAt = RecheckAt ? std::min(RecheckAt, x.AskedUntil) : x.AskedUntil;
}

// The manager minimised, restored or maximised the window: our state follows through the system
// commands its own buttons would send. While a change we asked for is on its way, what the
// manager reports is older than it and is not followed.
void TX11Backend::TImpl::FollowManager(HWND h, Window w) {
  if (!Managed) return;
  TXState& x = XState[w];
  TWindowRec* rec = FindWindowRec(h);
  if (!x.Mapped || !rec) return;
  long wm = WmStateOf(w);
  unsigned now = NetStatesOf(w);
  unsigned both = (1u << StateMaxVert) | (1u << StateMaxHorz);
  bool maximised = (now & both) == both;
  if (x.AskedUntil) {
    bool done = (wm == IconicState) == IsIconic(h) && (!x.Framed || IsIconic(h) || maximised == IsZoomed(h));
    if (!done && GetTickCount64() < x.AskedUntil) return;
    x.AskedUntil = 0;
  }
  if (wm == IconicState && !IsIconic(h) && x.Framed && (!(rec->Style & WS_MINIMIZEBOX) || !IsWindowEnabled(h))) {
    // A dialog, or a window waiting for its modal dialog, is not minimised: a manager that minimises
    // it anyway takes the dialog along and leaves the program without a window. It comes back.
    XMapRaised(Dpy, w);
    Asked(x);
  } else if (wm == IconicState && !IsIconic(h)) {
    x.Iconified = true;
    SendMessage(h, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  } else if (wm == NormalState && IsIconic(h)) {
    x.Iconified = false;
    SendMessage(h, WM_SYSCOMMAND, SC_RESTORE, 0);
  }
  if (!IsWindow(h) || !x.Framed || IsIconic(h) || wm != NormalState) return;
  // What the manager set is not asked of it again.
  x.States = (x.States & ~both) | (now & both);
  if (maximised != IsZoomed(h)) SendMessage(h, WM_SYSCOMMAND, maximised ? SC_MAXIMIZE : SC_RESTORE, 0);
}

// Places are those of the window inside the manager's frame: once the frame is known, a window
// placed at the edge of the work area moves in so that the manager's caption stays within reach.
void TX11Backend::TImpl::KeepCaptionOnScreen(HWND h, Window w) {
  if (!Managed || !XState[w].Framed || IsIconic(h) || IsZoomed(h)) return;
  const std::vector<long> extents = Longs(w, NetFrameExtents, XA_CARDINAL, 4);
  long left = 0, top = 0;
  if (extents.size() == 4) left = extents[0], top = extents[2];
  TRect b = GetWindowRect(h);
  int x = std::max(b.Left, Work.Left + static_cast<int>(left));
  int y = std::max(b.Top, Work.Top + static_cast<int>(top));
  if (x != b.Left || y != b.Top) SetWindowPos(h, 0, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A manager started or ended: framed windows change hands between its frame and ours, keeping
// their client area where it is; windows it did not take in are mapped again.
bool TX11Backend::TImpl::FindManager() {
  ManagerCheck = WindowProperty(Root, NetCheck);
  // A manager that ends leaves its name on the root: the end of its check window tells.
  if (ManagerCheck) XSelectInput(Dpy, ManagerCheck, StructureNotifyMask);
  return ManagerCheck != 0;
}

void TX11Backend::TImpl::ManagerChanged() {
  bool now = FindManager();
  if (now == Managed) return;
  Managed = now;
  std::vector<HWND> tops;
  for (auto& [h, w] : Windows) tops.push_back(h);
  for (HWND h : tops) {
    TWindowRec* rec = FindWindowRec(h);
    auto it = Windows.find(h);
    if (!rec || it == Windows.end()) continue;
    TXState& x = XState[it->second];
    bool framed = ManagerFramed(rec->Style, rec->ExStyle);
    if (framed == x.Framed) continue;
    TRect client = rec->Client;  // on the screen, for a top-level window
    x.Framed = framed;
    TRect in = NonClientInsets(rec->Style, rec->ExStyle);
    uint32_t flags = SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOACTIVATE;
    if (IsIconic(h) || IsZoomed(h)) flags |= SWP_NOMOVE | SWP_NOSIZE;
    SetWindowPos(h, 0, client.Left - in.Left, client.Top - in.Top, client.Width() + in.Left + in.Right,
                 client.Height() + in.Top + in.Bottom, flags);
    rec = FindWindowRec(h);
    if (rec && !PlacedByUs(*rec)) SetDecorationHint(it->second, *rec, x);
  }
  RecheckAt = GetTickCount64() + RecheckDelayMs;
}

void TX11Backend::TImpl::UpdateModalStates() {
  for (auto& [h, w] : Windows) {
    TWindowRec* rec = FindWindowRec(h);
    if (!rec) continue;
    TXState& x = XState[w];
    unsigned want = WantedStates(*rec, x);
    constexpr unsigned modal = 1u << StateModal;
    if ((want & modal) != (x.States & modal)) SetStates(w, x, (x.States & ~modal) | (want & modal));
  }
}

// Windows that should be on the screen and are not, and that no manager took in, are mapped
// again: a map sent while a manager starts can be lost between it and the server.
void TX11Backend::TImpl::Recheck() {
  RecheckAt = 0;
  // A change asked of the manager that it did not carry out: our state follows what it shows.
  std::vector<std::pair<HWND, Window>> unanswered;
  for (auto& [h, w] : Windows) {
    uint64_t until = XState[w].AskedUntil;
    if (until && GetTickCount64() >= until) unanswered.push_back({h, w});
    else if (until) RecheckAt = RecheckAt ? std::min(RecheckAt, until) : until;
  }
  for (auto& [h, w] : unanswered)
    if (IsWindow(h)) FollowManager(h, w);
  for (auto& [h, w] : Windows) {
    TXState& x = XState[w];
    if (!x.Mapped || x.Iconified) continue;
    XWindowAttributes a{};
    if (!XGetWindowAttributes(Dpy, w, &a) || a.map_state == IsViewable) continue;
    // A manager that took it in keeps it as it likes (on another desktop, say).
    if (Managed && WmStateOf(w) != WithdrawnState) continue;
    XMapRaised(Dpy, w);
  }
  XFlush(Dpy);
}

// The X windows of top-level windows: made, shown, placed, titled, stacked, activated.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>

#include "platform/gdi/Colors.h"
#include "platform/rtl/Ticks.h"
#include "platform/win/X11BackendImpl.h"
#include "platform/win/X11WmHints.h"

namespace {

constexpr long WindowEvents = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                              PointerMotionMask | LeaveWindowMask | ExposureMask | StructureNotifyMask | FocusChangeMask |
                              PropertyChangeMask;

}  // namespace

void TX11Backend::WindowCreated(HWND hwnd) {
  TWindowRec* rec = FindWindowRec(hwnd);
  if (!rec || F->Windows.count(hwnd)) return;
  Display* d = F->Dpy;
  TRect b = rec->Bounds;
  XSetWindowAttributes a{};
  // Until the first paint reaches the server the window shows button face, not the screen behind.
  const TColorRef face = GetSysColor(COLOR_BTNFACE);
  a.background_pixel = ((face & 0xFF) << 16) | (face & 0xFF00) | ((face >> 16) & 0xFF);
  a.bit_gravity = NorthWestGravity;
  a.event_mask = WindowEvents;
  a.cursor = F->CursorFor(F->Shape);
  a.override_redirect = PlacedByUs(*rec) ? True : False;
  Window w = XCreateWindow(d, F->Root, b.Left, b.Top, static_cast<unsigned>(std::max(1, b.Width())),
                           static_cast<unsigned>(std::max(1, b.Height())), 0, CopyFromParent, InputOutput,
                           CopyFromParent, CWBackPixel | CWBitGravity | CWEventMask | CWCursor | CWOverrideRedirect,
                           &a);
  F->Windows[hwnd] = w;
  F->ByX[w] = hwnd;
  TImpl::TXState& x = F->XState[w];
  x.Framed = ManagerFramed(rec->Style, rec->ExStyle);
  XSetWMProtocols(d, w, &F->DeleteWindow, 1);
  F->SetSizeHints(w, *rec);
  F->SetProgramHints(w);
  F->SetOwnerHint(w, rec->Owner);
  F->SetTypeHint(w, *rec);
  F->SetStates(w, x, F->WantedStates(*rec, x));
  if (!a.override_redirect) F->SetDecorationHint(w, *rec, x);
  WindowTitled(hwnd, rec->Text);
}

void TX11Backend::WindowRestyled(HWND hwnd) {
  Window w = static_cast<Window>(XWindowOf(hwnd));
  TWindowRec* rec = FindWindowRec(hwnd);
  if (!w || !rec) return;
  TImpl::TXState& x = F->XState[w];
  F->SetOwnerHint(w, rec->Owner);
  F->SetTypeHint(w, *rec);
  F->SetStates(w, x, F->WantedStates(*rec, x));
  XWindowAttributes attrs{};
  if (XGetWindowAttributes(F->Dpy, w, &attrs) && !attrs.override_redirect) F->SetDecorationHint(w, *rec, x);
  XFlush(F->Dpy);
}

void TX11Backend::WindowDestroyed(HWND hwnd) {
  auto it = F->Windows.find(hwnd);
  if (it == F->Windows.end()) return;
  XDestroyWindow(F->Dpy, it->second);
  F->ByX.erase(it->second);
  F->XState.erase(it->second);
  F->Windows.erase(it);
  XFlush(F->Dpy);
}

void TX11Backend::WindowShown(HWND hwnd, bool visible) {
  Window w = static_cast<Window>(XWindowOf(hwnd));
  TWindowRec* rec = FindWindowRec(hwnd);
  if (!w || !rec) return;
  TImpl::TXState& x = F->XState[w];
  if (!visible) {
    // Withdrawn, so that a manager forgets it until it is shown again.
    XWithdrawWindow(F->Dpy, w, F->Screen);
    x.Mapped = x.Iconified = false;
    XFlush(F->Dpy);
    return;
  }
  // The state goes with the map, before the manager takes the window in.
  F->SetStates(w, x, F->WantedStates(*rec, x));
  XWMHints hints{};
  hints.flags = StateHint | InputHint;
  // A floating tool window is clicked without taking the focus from its form.
  hints.input = OwnedToolWindow(*rec) ? False : True;
  // Minimised without a manager: the small caption of our own stays on the screen.
  x.Iconified = IsIconic(hwnd) && F->Managed;
  hints.initial_state = x.Iconified ? IconicState : NormalState;
  XSetWMHints(F->Dpy, w, &hints);
  x.Mapped = true;
  XMapRaised(F->Dpy, w);
  F->Restack();
  F->RecheckAt = GetTickCount64() + RecheckDelayMs;
  XFlush(F->Dpy);
}

void TX11Backend::WindowMoved(HWND hwnd, const TRect& b) {
  Window w = static_cast<Window>(XWindowOf(hwnd));
  TWindowRec* rec = FindWindowRec(hwnd);
  if (!w || !rec) return;
  TImpl::TXState& x = F->XState[w];
  // Under a manager a minimised window goes to the desktop's icons rather than shrinking to a caption.
  if (IsIconic(hwnd) && F->Managed) {
    if (x.Mapped && !x.Iconified) {
      XIconifyWindow(F->Dpy, w, F->Screen);
      F->Asked(x);
    }
    x.Iconified = true;
    XFlush(F->Dpy);
    return;
  }
  if (x.Iconified) {
    x.Iconified = false;
    if (x.Mapped) {
      XMapRaised(F->Dpy, w);
      F->Asked(x);
    }
  }
  if (!(rec->Style & WS_THICKFRAME)) F->SetSizeHints(w, *rec);  // the size it keeps
  F->SetStates(w, x, F->WantedStates(*rec, x));
  // The manager fits a maximised window into its frame on the work area itself.
  if (F->FromServer == hwnd || (x.Framed && F->Managed && IsZoomed(hwnd))) {
    XFlush(F->Dpy);
    return;
  }
  x.ConfigureSerial = NextRequest(F->Dpy);
  XMoveResizeWindow(F->Dpy, w, b.Left, b.Top, static_cast<unsigned>(std::max(1, b.Width())),
                    static_cast<unsigned>(std::max(1, b.Height())));
  XFlush(F->Dpy);
}

void TX11Backend::WindowTitled(HWND hwnd, const AnsiString& title) {
  Window w = static_cast<Window>(XWindowOf(hwnd));
  if (!w) return;
  std::string latin = AnsiToLatin1(title);
  XStoreName(F->Dpy, w, latin.c_str());
  std::string utf8 = AnsiToUtf8(title);
  XChangeProperty(F->Dpy, w, F->NetName, F->Utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
  XFlush(F->Dpy);
}

// Without a manager the server stacks our windows as the window layer orders them; with one, the
// manager keeps owned windows over their owners by their transient hints.
void TX11Backend::TImpl::Restack() {
  if (Managed) return;
  std::vector<Window> order;
  for (HWND h : GetChildWindows(0)) {
    auto it = Windows.find(h);
    if (it != Windows.end() && XState[it->second].Mapped) order.push_back(it->second);
  }
  if (order.empty()) return;
  XRaiseWindow(Dpy, order.front());
  if (order.size() > 1) XRestackWindows(Dpy, order.data(), static_cast<int>(order.size()));
}

void TX11Backend::WindowsRestacked() {
  F->Restack();
  XFlush(F->Dpy);
}

void TX11Backend::WindowActivated(HWND hwnd) {
  Window w = static_cast<Window>(XWindowOf(hwnd));
  // A manager asked to show a minimised window would restore it.
  if (!w || IsIconic(hwnd)) return;
  XWindowAttributes a{};
  if (!XGetWindowAttributes(F->Dpy, w, &a) || a.map_state != IsViewable) return;
  if (F->Managed) XRaiseWindow(F->Dpy, w);
  else F->Restack();
  XSetInputFocus(F->Dpy, w, RevertToParent, CurrentTime);
  if (F->Managed && !a.override_redirect) {
    // A window in a manager's frame comes to the front only when the manager raises the frame.
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = F->NetActive;
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = NetSourceApplication;
    ev.xclient.data.l[1] = static_cast<long>(F->LastTime);
    XSendEvent(F->Dpy, F->Root, False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
  }
  XFlush(F->Dpy);
}

void TX11Backend::CaptureChanged(HWND top) {
  Window w = static_cast<Window>(XWindowOf(top));
  if (w) {
    // Another program's grab wins; the capture then holds inside our windows only.
    XGrabPointer(F->Dpy, w, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                 GrabModeAsync, None, None, F->LastTime);
  } else {
    XUngrabPointer(F->Dpy, F->LastTime);
  }
  XFlush(F->Dpy);
}

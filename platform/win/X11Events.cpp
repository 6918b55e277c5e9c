// X events turned into input and window changes: the pump, the wait, the keyboard's rules.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>

#include "platform/rtl/Ticks.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/X11BackendImpl.h"
#include "platform/win/X11Keys.h"

namespace {

// Takes the window's next configure notice from the queue, unless a reparenting of the window
// comes before it.
bool NextConfigureBeforeReparent(Display* dpy, Window w, XEvent& out) {
  struct TScan {
    Window W;
    bool Blocked = false;
  } scan{w};
  auto match = [](Display*, XEvent* e, XPointer arg) -> Bool {
    auto* s = reinterpret_cast<TScan*>(arg);
    if (e->xany.window != s->W || s->Blocked) return False;
    if (e->type == ReparentNotify) s->Blocked = true;
    return e->type == ConfigureNotify;
  };
  return XCheckIfEvent(dpy, &out, match, reinterpret_cast<XPointer>(&scan));
}

}  // namespace

// Keys let go while another program had the focus never sent us their release.
void TX11Backend::TImpl::ReleaseModifiersUp() {
  char keys[32] = {};
  XQueryKeymap(Dpy, keys);
  auto down = [&](KeySym sym) {
    KeyCode code = XKeysymToKeycode(Dpy, sym);
    return code && (keys[code / 8] & (1 << (code % 8)));
  };
  struct TModifier { uint16_t Vk; KeySym Left, Right; };
  const TModifier mods[] = {{VK_SHIFT, XK_Shift_L, XK_Shift_R}, {VK_CONTROL, XK_Control_L, XK_Control_R},
                            {VK_MENU, XK_Alt_L, XK_Alt_R}};
  for (const TModifier& m : mods)
    if (GetAsyncKeyState(m.Vk) < 0 && !down(m.Left) && !down(m.Right)) InjectKeyUp(m.Vk);
}

// What a key types in the server's layout, as a character of the code page. With Ctrl held the
// standard rules apply, as the system's own do (Ctrl+A is 1, Ctrl+5 types nothing).
int TX11Backend::TImpl::TypedChar(XKeyEvent& key, uint16_t vk) {
  if (key.state & ControlMask) return TypedByLayout;
  if (vk == VK_DELETE) return TypesNothing;
  if (vk == VK_TAB) return '\t';  // also with Shift, which X reads as another symbol
  char buf[16] = {};
  KeySym sym = 0;
  int n = XLookupString(&key, buf, sizeof buf, &sym, nullptr);
  if (n == 1 && static_cast<uint8_t>(buf[0]) != 0x7F) return static_cast<uint8_t>(buf[0]);  // Latin-1
  // Symbols beyond Latin-1 that the code page still has, as the euro sign.
  unsigned long code = 0;
  if (sym == XK_EuroSign) code = 0x20AC;
  else if ((sym & 0xFF000000) == 0x01000000) code = sym & 0x00FFFFFF;
  if (code >= 0x100 && code < 0x10000) {
    std::string utf8;
    if (code < 0x800) {
      utf8 += static_cast<char>(0xC0 | (code >> 6));
    } else {
      utf8 += static_cast<char>(0xE0 | (code >> 12));
      utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    }
    utf8 += static_cast<char>(0x80 | (code & 0x3F));
    AnsiString a = Utf8ToAnsi(utf8);
    if (a.size() == 1 && a[0] != '?') return static_cast<uint8_t>(a[0]);
  }
  return TypesNothing;
}

// Keypad digits typed while Alt alone is held come as the keypad's keys, Num Lock or not, type
// nothing themselves, and add up to the code of one character.
bool TX11Backend::TImpl::AltKeypad(const XKeyEvent& key) {
  auto held = std::find(AltDigitKeys.begin(), AltDigitKeys.end(), key.keycode);
  KeySym digitSym = XkbKeycodeToKeysym(Dpy, static_cast<KeyCode>(key.keycode), 0, 1);
  if (digitSym < XK_KP_0 || digitSym > XK_KP_9) digitSym = XkbKeycodeToKeysym(Dpy, static_cast<KeyCode>(key.keycode), 0, 0);
  bool digit = digitSym >= XK_KP_0 && digitSym <= XK_KP_9;
  auto vk = static_cast<uint16_t>(VK_NUMPAD0 + (digitSym - XK_KP_0));
  if (key.type == KeyRelease) {
    if (held == AltDigitKeys.end()) return false;
    AltDigitKeys.erase(held);
    InjectKeyUp(vk);
    return true;
  }
  if (!digit || GetAsyncKeyState(VK_MENU) >= 0 || GetAsyncKeyState(VK_CONTROL) < 0 || GetAsyncKeyState(VK_SHIFT) < 0) {
    // Any other key ends the code; Num Lock, which tools press to reach the digits, does not.
    if (XkbKeycodeToKeysym(Dpy, static_cast<KeyCode>(key.keycode), 0, 0) != XK_Num_Lock) AltCode.reset();
    return false;
  }
  AltCode = (AltCode.value_or(0) * 10 + static_cast<int>(digitSym - XK_KP_0)) % 256;
  if (held == AltDigitKeys.end()) AltDigitKeys.push_back(key.keycode);
  InjectKeyDown(vk, TypesNothing);
  return true;
}

// Alt went up: the code spelt types its character in the code page.
void TX11Backend::TImpl::EndAltCode() {
  if (AltCode && *AltCode) InjectChar(static_cast<uint8_t>(*AltCode));
  AltCode.reset();
}

void TX11Backend::TImpl::Handle(XEvent& ev) {
  HWND h = Find(ev.xany.window);
  switch (ev.type) {
    case Expose:
      if (h) {
        TRect r{ev.xexpose.x, ev.xexpose.y, ev.xexpose.x + ev.xexpose.width, ev.xexpose.y + ev.xexpose.height};
        PutArea(h, ev.xany.window, r);
      }
      break;
    case ConfigureNotify: {
      if (!h) break;
      Window w = ev.xany.window;
      TXState& x = XState[w];
      // Of the notices waiting, the latest counts. A manager's own notices carry the place on the
      // screen; the server's carry it while the window sits on the root rather than in a frame.
      // Without a manager our requests are carried out in order: notices older than the last are stale.
      // Notices behind a reparenting wait for it: the server's place means another thing after it.
      std::optional<TPoint> place, size;
      XEvent e = ev;
      do {
        const XConfigureEvent& c = e.xconfigure;
        if (!Managed && c.serial < x.ConfigureSerial) continue;
        if (c.send_event || !x.InFrame) place = TPoint{c.x, c.y};
        size = TPoint{c.width, c.height};
      } while (NextConfigureBeforeReparent(Dpy, w, e));
      if (!size) break;
      TRect b = GetWindowRect(h);
      bool sized = size->X != std::max(1, b.Width()) || size->Y != std::max(1, b.Height());
      // A maximise by the manager is taken before the size it brings, so the size to restore stays.
      if (sized && Managed && x.Framed) {
        FollowManager(h, w);
        if (!IsWindow(h)) break;
        b = GetWindowRect(h);
        sized = size->X != std::max(1, b.Width()) || size->Y != std::max(1, b.Height());
      }
      if (IsIconic(h) && Managed) break;
      if (!place) place = TPoint{b.Left, b.Top};
      bool moved = place->X != b.Left || place->Y != b.Top;
      if (!moved && !sized) break;
      FromServer = h;
      struct TGuard {
        HWND& Flag;
        ~TGuard() { Flag = 0; }
      } guard{FromServer};
      SetWindowPos(h, 0, place->X, place->Y, sized ? size->X : b.Width(), sized ? size->Y : b.Height(),
                   SWP_NOZORDER | SWP_NOACTIVATE);
      // The window may keep a size of its own (a minimum, say): the server learns it.
      TRect now = GetWindowRect(h);
      if (IsWindow(h) && sized && (now.Width() != size->X || now.Height() != size->Y)) {
        x.ConfigureSerial = NextRequest(Dpy);
        XResizeWindow(Dpy, w, static_cast<unsigned>(std::max(1, now.Width())),
                      static_cast<unsigned>(std::max(1, now.Height())));
      }
      break;
    }
    case ReparentNotify:
      if (h) XState[ev.xany.window].InFrame = ev.xreparent.parent != Root;
      break;
    case KeyPress:
    case KeyRelease: {
      LastTime = ev.xkey.time;
      KeySym sym = XkbKeycodeToKeysym(Dpy, static_cast<KeyCode>(ev.xkey.keycode), 0, 0);
      bool numLock = ev.xkey.state & Mod2Mask;
      if (numLock) {
        // Keypad keys hold their digit at the second level.
        KeySym second = XkbKeycodeToKeysym(Dpy, static_cast<KeyCode>(ev.xkey.keycode), 0, 1);
        if (second >= XK_KP_0 && second <= XK_KP_9) sym = second;
        if (second == XK_KP_Decimal) sym = second;
      }
      uint16_t vk = VirtualKeyOfKeysym(sym, numLock);
      if (AltKeypad(ev.xkey)) break;
      if (ev.type == KeyRelease) {
        if (vk) InjectKeyUp(vk);
        if (vk == VK_MENU) EndAltCode();
        break;
      }
      if (vk == VK_MENU) AltCode.reset();
      int typed = TypedChar(ev.xkey, vk);
      if (vk) InjectKeyDown(vk, typed);
      else if (typed >= 0x20) InjectChar(static_cast<uint8_t>(typed));  // a key known only by what it types
      break;
    }
    case ButtonPress:
    case ButtonRelease: {
      LastTime = ev.xbutton.time;
      if (!h) break;
      // Root coordinates: a window we are dragging may have moved since the event left.
      TPoint p{ev.xbutton.x_root, ev.xbutton.y_root};
      unsigned b = ev.xbutton.button;
      if (b == Button4 || b == Button5) {
        if (ev.type == ButtonPress) InjectWheel(b == Button4 ? WHEEL_DELTA : -WHEEL_DELTA, p.X, p.Y);
        break;
      }
      TMouseButton mb = b == Button3 ? TMouseButton::Right : b == Button2 ? TMouseButton::Middle : TMouseButton::Left;
      if (b > Button3) break;
      if (ev.type == ButtonPress) InjectMouseDown(mb, p.X, p.Y);
      else InjectMouseUp(mb, p.X, p.Y);
      break;
    }
    case MotionNotify: {
      // Only the latest place counts.
      while (XCheckTypedWindowEvent(Dpy, ev.xany.window, MotionNotify, &ev)) {
      }
      LastTime = ev.xmotion.time;
      if (h) {
        TPoint p{ev.xmotion.x_root, ev.xmotion.y_root};
        InjectMouseMove(p.X, p.Y);
      }
      break;
    }
    case LeaveNotify:
      // Hot tracking asks where the pointer is: out of our windows no move tells it any more.
      if (h && ev.xcrossing.mode == NotifyNormal && ev.xcrossing.detail != NotifyInferior && !GetCapture())
        InjectPointerLeft(ev.xcrossing.x_root, ev.xcrossing.y_root);
      break;
    case MapNotify:
      if (!h) break;
      FollowManager(h, ev.xany.window);
      // Focus can go to a window only once it is viewable.
      if (IsWindow(h) && GetActiveWindow() == h) XSetInputFocus(Dpy, ev.xany.window, RevertToParent, CurrentTime);
      break;
    case UnmapNotify:
      if (h) FollowManager(h, ev.xany.window);
      if (h) RecheckAt = GetTickCount64() + RecheckDelayMs;  // a manager taking it in maps it again
      break;
    case FocusIn:
      if (h && ev.xfocus.detail != NotifyPointer) {
        FocusLeaving = false;
        ReleaseModifiersUp();
        // A notice of a focus we have moved on from since: following it would bring it back, and
        // two windows activated in a row would take the focus from each other for ever.
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(Dpy, &focus, &revert);
        if (focus == ev.xany.window && GetActiveWindow() != h && IsWindowEnabled(h) && !IsIconic(h))
          SetActiveWindow(h);
      }
      break;
    case FocusOut:
      if (h && ev.xfocus.detail != NotifyPointer && ev.xfocus.detail != NotifyInferior) FocusLeaving = true;
      break;
    case ClientMessage:
      if (h && ev.xclient.message_type == Protocols && static_cast<Atom>(ev.xclient.data.l[0]) == DeleteWindow)
        PostMessage(h, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
    case SelectionRequest: AnswerSelection(ev.xselectionrequest); break;
    case SelectionClear:
      // A clear can come in after we took the selection back (emptying, then setting it): only
      // an owner other than us ends our text.
      if (ev.xselectionclear.selection == Clipboard && XGetSelectionOwner(Dpy, Clipboard) != Helper) Owned.reset();
      break;
    case PropertyNotify:
      if (ev.xproperty.window == Root && ev.xproperty.atom == NetWorkArea) ReadWorkArea();
      if (ev.xproperty.window == Root && ev.xproperty.atom == NetCheck) ManagerChanged();
      if (h && (ev.xproperty.atom == WmState || ev.xproperty.atom == NetState)) FollowManager(h, ev.xany.window);
      if (h && ev.xproperty.atom == NetFrameExtents) KeepCaptionOnScreen(h, ev.xany.window);
      if (ev.xproperty.window == Helper) LastTime = ev.xproperty.time;
      if (!h && ev.xproperty.state == PropertyDelete) SendNextPiece(ev.xproperty.window, ev.xproperty.atom);
      break;
    case MappingNotify: XRefreshKeyboardMapping(&ev.xmapping); break;
    case DestroyNotify:
      if (ev.xdestroywindow.window == ManagerCheck && ManagerCheck) ManagerChanged();
      break;
  }
}

void TX11Backend::PumpInput() {
  Display* d = F->Dpy;
  while (XPending(d)) {
    XEvent ev;
    XNextEvent(d, &ev);
    F->Handle(ev);
  }
  F->UpdateModalStates();
  const uint64_t now = GetTickCount64();
  std::erase_if(F->IncrOut, [&](const TImpl::TIncrOut& t) { return now >= t.Due; });
  if (F->RecheckAt && GetTickCount64() >= F->RecheckAt) F->Recheck();
  if (F->FocusLeaving) {
    F->FocusLeaving = false;
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(d, &focus, &revert);
    // The focus went to another program: our active window is no longer active.
    if (!F->Find(focus) && GetActiveWindow()) InjectAppDeactivate();
  }
}

void TX11Backend::WaitInput(int timeoutMs) {
  XFlush(F->Dpy);
  if (XEventsQueued(F->Dpy, QueuedAlready) > 0) return;
  if (F->RecheckAt) {
    uint64_t now = GetTickCount64();
    int due = F->RecheckAt > now ? static_cast<int>(F->RecheckAt - now) : 0;
    if (timeoutMs < 0 || due < timeoutMs) timeoutMs = due;
  }
  pollfd p{ConnectionNumber(F->Dpy), POLLIN, 0};
  while (poll(&p, 1, timeoutMs) < 0 && errno == EINTR) {
  }
}

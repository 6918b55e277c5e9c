#include "platform/win/Activation.h"

#include "platform/win/DisplayBackend.h"
#include "platform/win/Hooks.h"
#include "platform/win/WindowTree.h"

namespace winsys {

HWND NextActivation(HWND leaving) {
  TWindowRec* w = FindWindowRec(leaving);
  if (w && w->Owner && IsWindow(w->Owner) && IsWindowVisible(w->Owner) && IsWindowEnabled(w->Owner))
    return w->Owner;
  for (HWND h : WinState().TopLevel) {
    TWindowRec& t = Need(h);
    if (h != leaving && !t.Destroying && (t.Style & WS_VISIBLE) && !(t.Style & WS_DISABLED) &&
        !(t.ExStyle & WS_EX_TOOLWINDOW))
      return h;
  }
  return 0;
}

void SendActivation(HWND old, HWND now, uint32_t how) {
  TWinState& s = WinState();
  if (old && IsWindow(old)) {
    SendMessage(old, WM_NCACTIVATE, 0, 0);
    SendMessage(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, IsIconic(old)), static_cast<LPARAM>(now));
  }
  if (!old || !now) {
    // The application as a whole changes state.
    std::vector<HWND> tops = s.TopLevel;
    for (HWND h : tops)
      if (IsWindow(h)) SendMessage(h, WM_ACTIVATEAPP, now ? 1 : 0, 0);
  }
  if (!now) {
    if (s.Focus && IsWindow(s.Focus)) {
      HWND f = s.Focus;
      s.Focus = 0;
      SendMessage(f, WM_KILLFOCUS, 0, 0);
    }
    return;
  }
  if (IsWindow(now)) SendMessage(now, WM_NCACTIVATE, 1, 0);
  if (IsWindow(now)) SendMessage(now, WM_ACTIVATE, MAKEWPARAM(how, IsIconic(now)), static_cast<LPARAM>(old));
}

HWND Activate(HWND hwnd, uint32_t how) {
  TWinState& s = WinState();
  if (hwnd) hwnd = TopOf(hwnd).Handle;
  HWND old = s.Active;
  if (hwnd == old) return old;
  if (hwnd && CallHookChain(WH_CBT, HCBT_ACTIVATE, hwnd, 0) != 0) return old;
  s.Active = hwnd;
  if (hwnd) SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (hwnd && IsWindow(hwnd)) DisplayBackend().WindowActivated(hwnd);
  SendActivation(IsWindow(old) ? old : 0, hwnd, how);
  return old;
}

}  // namespace winsys

using namespace winsys;

bool IsWindowEnabled(HWND hwnd) {
  TWindowRec* w = FindWindowRec(hwnd);
  return w && !(w->Style & WS_DISABLED);
}

bool EnableWindow(HWND hwnd, bool enable) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return false;
  bool wasDisabled = w->Style & WS_DISABLED;
  if (wasDisabled == !enable) return wasDisabled;
  if (enable) {
    w->Style &= ~WS_DISABLED;
  } else {
    w->Style |= WS_DISABLED;
    TWinState& s = WinState();
    if (s.Focus && (s.Focus == hwnd || IsChild(hwnd, s.Focus))) SetFocus(0);
    if (s.Capture && (s.Capture == hwnd || IsChild(hwnd, s.Capture))) ReleaseCapture();
  }
  SendMessage(hwnd, WM_ENABLE, enable ? 1 : 0, 0);
  return wasDisabled;
}

HWND SetFocus(HWND hwnd) {
  TWinState& s = WinState();
  HWND old = s.Focus;
  if (hwnd) {
    TWindowRec* w = FindWindowRec(hwnd);
    if (!w || w->MessageOnly) return 0;
    if (hwnd == old) return old;
    if (CallHookChain(WH_CBT, HCBT_SETFOCUS, hwnd, static_cast<LPARAM>(old)) != 0) return 0;
    HWND top = TopOf(hwnd).Handle;
    if (s.Active != top) {
      Activate(top, WA_ACTIVE);
      if (!IsWindow(hwnd)) return 0;
      old = s.Focus;
      if (hwnd == old) return old;
    }
  } else if (!old) {
    return 0;
  }
  s.Focus = hwnd;
  if (old && IsWindow(old)) SendMessage(old, WM_KILLFOCUS, hwnd, 0);
  if (hwnd && IsWindow(hwnd) && s.Focus == hwnd) SendMessage(hwnd, WM_SETFOCUS, old, 0);
  return IsWindow(old) ? old : 0;
}

HWND GetFocus() { return WinState().Focus; }

HWND SetActiveWindow(HWND hwnd) {
  if (hwnd && !IsWindow(hwnd)) return 0;
  HWND old = Activate(hwnd, WA_ACTIVE);
  return IsWindow(old) ? old : 0;
}

HWND GetActiveWindow() { return WinState().Active; }
bool SetForegroundWindow(HWND hwnd) { return IsWindow(hwnd) && (SetActiveWindow(hwnd), true); }
HWND GetForegroundWindow() { return WinState().Active; }

HWND SetCapture(HWND hwnd) {
  TWinState& s = WinState();
  HWND old = s.Capture;
  if (!IsWindow(hwnd) || hwnd == old) return old;
  s.Capture = hwnd;
  DisplayBackend().CaptureChanged(GetAncestorRoot(hwnd));
  if (old && IsWindow(old)) SendMessage(old, WM_CAPTURECHANGED, 0, static_cast<LPARAM>(hwnd));
  return old;
}

bool ReleaseCapture() {
  TWinState& s = WinState();
  HWND old = s.Capture;
  if (!old) return true;
  s.Capture = 0;
  DisplayBackend().CaptureChanged(0);
  if (IsWindow(old)) SendMessage(old, WM_CAPTURECHANGED, 0, 0);
  return true;
}

HWND GetCapture() { return WinState().Capture; }

void MouseActivate(HWND target, UINT msg, int hit, bool& eat) {
  eat = false;
  TWinState& s = WinState();
  if (!IsWindow(target)) return;
  HWND top = TopOf(target).Handle;
  if (s.Active == top || TopOf(target).MessageOnly) return;
  LRESULT r = SendMessage(target, WM_MOUSEACTIVATE, top, MAKELPARAM(hit, static_cast<int>(msg)));
  if (r == MA_ACTIVATE || r == MA_ACTIVATEANDEAT) {
    if (IsWindow(top)) Activate(top, WA_CLICKACTIVE);
  }
  eat = r == MA_ACTIVATEANDEAT || r == MA_NOACTIVATEANDEAT;
}

#include "platform/win/Input.h"

#include <array>

#include "platform/rtl/Ticks.h"
#include "platform/win/DisplayBackend.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/WinState.h"

namespace {

struct TInputState {
  std::array<uint8_t, 256> Sync{};   // as of the last message taken
  std::array<uint8_t, 256> Async{};  // the device now
  TPoint Cursor;
  TRect Clip;
  bool Clipped = false;
  int CursorId = 0;
  // For double clicks.
  UINT LastDown = 0;
  HWND LastDownWindow = 0;
  uint64_t LastDownTime = 0;
  TPoint LastDownPos;
};

TInputState& In() {
  static TInputState s;
  return s;
}

void Press(std::array<uint8_t, 256>& keys, uint16_t vk, bool down) {
  auto& k = keys[vk & 0xFF];
  if (down) {
    if (!(k & 0x80)) k ^= 0x01;
    k |= 0x80;
  } else {
    k &= ~0x80;
  }
}

// Side keys also count as the generic one.
uint16_t Generic(uint16_t vk) {
  switch (vk) {
    case VK_LSHIFT: case VK_RSHIFT: return VK_SHIFT;
    case VK_LCONTROL: case VK_RCONTROL: return VK_CONTROL;
    case VK_LMENU: case VK_RMENU: return VK_MENU;
  }
  return vk;
}

void PressBoth(std::array<uint8_t, 256>& keys, uint16_t vk, bool down) {
  Press(keys, vk, down);
  if (Generic(vk) != vk) Press(keys, Generic(vk), down);
}

// A window takes input only while it and every window above it are enabled: a modal dialog
// disables its owner, and nothing inside the owner may then be clicked or typed into.
bool TakesInput(HWND hwnd) {
  for (TWindowRec* w = FindWindowRec(hwnd); w; w = FindWindowRec(w->Parent))
    if (w->Style & WS_DISABLED) return false;
  return hwnd != 0;
}

HWND KeyTarget() {
  TWinState& s = WinState();
  HWND t = s.Focus ? s.Focus : s.Active;
  return TakesInput(t) ? t : 0;
}

void QueueInput(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, int typed = TypedByLayout) {
  TMsg m{hwnd, msg, wp, lp, GetTickCount(), In().Cursor, typed};
  WinState().InputQueue.push_back(m);
}

void QueueKey(uint16_t vk, bool down, int typed = TypedByLayout) {
  bool alt = In().Async[VK_MENU] & 0x80;
  bool ctrl = In().Async[VK_CONTROL] & 0x80;
  bool wasDown = In().Async[vk & 0xFF] & 0x80;
  PressBoth(In().Async, vk, down);
  HWND target = KeyTarget();
  if (!target) return;
  bool sys = (alt && !ctrl) || vk == VK_MENU || vk == VK_F10;
  UINT msg = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
  LPARAM lp = 1;
  if (alt) lp |= KeyDataAltDown;
  if (wasDown) lp |= LPARAM(1) << 30;
  if (!down) lp |= (LPARAM(1) << 30) | (LPARAM(1) << 31);
  QueueInput(target, msg, vk, lp, down ? typed : TypedByLayout);
}

WPARAM MouseKeys() {
  auto& a = In().Async;
  WPARAM k = 0;
  if (a[VK_LBUTTON] & 0x80) k |= MK_LBUTTON;
  if (a[VK_RBUTTON] & 0x80) k |= MK_RBUTTON;
  if (a[VK_MBUTTON] & 0x80) k |= MK_MBUTTON;
  if (a[VK_SHIFT] & 0x80) k |= MK_SHIFT;
  if (a[VK_CONTROL] & 0x80) k |= MK_CONTROL;
  return k;
}

// Client messages, their non-client forms, and the virtual key of the button.
struct TButtonMsgs {
  UINT Down, Up, Dbl, NcDown, NcUp, NcDbl;
  uint16_t Vk;
};

TButtonMsgs Msgs(TMouseButton b) {
  switch (b) {
    case TMouseButton::Right: return {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK, WM_NCRBUTTONDOWN, WM_NCRBUTTONUP, WM_NCRBUTTONDBLCLK, VK_RBUTTON};
    case TMouseButton::Middle: return {WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK, 0, 0, 0, VK_MBUTTON};
    default: return {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_NCLBUTTONDOWN, WM_NCLBUTTONUP, WM_NCLBUTTONDBLCLK, VK_LBUTTON};
  }
}

void MoveCursor(int x, int y) {
  if (In().Clipped) {
    x = std::clamp(x, In().Clip.Left, In().Clip.Right - 1);
    y = std::clamp(y, In().Clip.Top, In().Clip.Bottom - 1);
  }
  In().Cursor = TPoint{x, y};
}

// The window and message a mouse event at the cursor turns into.
void QueueMouse(UINT clientMsg, UINT ncMsg) {
  TPoint p = In().Cursor;
  HWND capture = WinState().Capture;
  HWND target = capture ? capture : WindowFromPoint(p);
  if (!target) return;
  int hit = HTCLIENT;
  if (!capture) {
    hit = static_cast<int>(SendMessage(target, WM_NCHITTEST, 0, MAKELPARAM(p.X, p.Y)));
    if (!IsWindow(target)) return;
    if (clientMsg == WM_MOUSEMOVE || clientMsg == WM_LBUTTONDOWN || clientMsg == WM_RBUTTONDOWN) {
      // The window under the pointer chooses the cursor; a disabled one shows the default.
      SendMessage(target, WM_SETCURSOR, target, MAKELPARAM(hit, static_cast<int>(clientMsg)));
      if (!IsWindow(target)) return;
    }
    if (!TakesInput(target)) return;
  }
  if (hit == HTCLIENT) {
    TPoint c = ScreenToClient(target, p);
    QueueInput(target, clientMsg, MouseKeys(), MAKELPARAM(c.X, c.Y));
  } else if (ncMsg) {
    QueueInput(target, ncMsg, static_cast<WPARAM>(hit), MAKELPARAM(p.X, p.Y));
  }
}

}  // namespace

void InjectKeyDown(uint16_t vk, int typed) { QueueKey(vk, true, typed); }
void InjectKeyUp(uint16_t vk) { QueueKey(vk, false); }
void InjectKeyPress(uint16_t vk) {
  QueueKey(vk, true);
  QueueKey(vk, false);
}

void InjectChar(uint8_t ch) {
  if (HWND t = KeyTarget()) QueueInput(t, WM_CHAR, ch, 1);
}

void InjectMouseMove(int x, int y) {
  MoveCursor(x, y);
  QueueMouse(WM_MOUSEMOVE, WM_NCMOUSEMOVE);
}

void InjectPointerLeft(int x, int y) { MoveCursor(x, y); }

void InjectMouseDown(TMouseButton b, int x, int y) {
  MoveCursor(x, y);
  TButtonMsgs m = Msgs(b);
  Press(In().Async, m.Vk, true);
  UINT msg = m.Down;
  UINT ncMsg = m.NcDown;
  HWND target = WinState().Capture ? WinState().Capture : WindowFromPoint(In().Cursor);
  uint64_t now = GetTickCount64();
  TInputState& s = In();
  TWindowRec* w = FindWindowRec(target);
  if (w && s.LastDown == m.Down && s.LastDownWindow == target && now - s.LastDownTime <= GetDoubleClickTime() &&
      std::abs(s.LastDownPos.X - x) <= 2 && std::abs(s.LastDownPos.Y - y) <= 2) {
    // The frame hears double clicks whatever the class asks; the client area only with CS_DBLCLKS.
    if (w->ClassStyle & CS_DBLCLKS) msg = m.Dbl;
    if (m.NcDbl) ncMsg = m.NcDbl;
    s.LastDown = 0;
  } else {
    s.LastDown = m.Down;
    s.LastDownWindow = target;
    s.LastDownTime = now;
    s.LastDownPos = TPoint{x, y};
  }
  QueueMouse(msg, ncMsg);
}

void InjectMouseUp(TMouseButton b, int x, int y) {
  MoveCursor(x, y);
  TButtonMsgs m = Msgs(b);
  Press(In().Async, m.Vk, false);
  QueueMouse(m.Up, m.NcUp);
}

void InjectClick(TMouseButton b, int x, int y) {
  InjectMouseDown(b, x, y);
  InjectMouseUp(b, x, y);
}

void InjectWheel(int delta, int x, int y) {
  MoveCursor(x, y);
  HWND t = KeyTarget();
  if (!t) t = WindowFromPoint(In().Cursor);
  if (TakesInput(t)) QueueInput(t, WM_MOUSEWHEEL, MAKEWPARAM(static_cast<int>(MouseKeys()), delta), MAKELPARAM(x, y));
}

void InjectAppDeactivate() { SetActiveWindow(0); }

int16_t GetKeyState(int vk) {
  uint8_t k = In().Sync[vk & 0xFF];
  return static_cast<int16_t>(((k & 0x80) ? 0xFF80 : 0) | (k & 0x01));
}

int16_t GetAsyncKeyState(int vk) {
  uint8_t k = In().Async[vk & 0xFF];
  return static_cast<int16_t>((k & 0x80) ? 0x8000 : 0);
}

bool GetCursorPos(TPoint& p) {
  p = In().Cursor;
  return true;
}

bool SetCursorPos(int x, int y) {
  MoveCursor(x, y);
  return true;
}

bool ClipCursor(const TRect* r) {
  In().Clipped = r != nullptr && !r->IsEmpty();
  if (In().Clipped) {
    In().Clip = *r;
    MoveCursor(In().Cursor.X, In().Cursor.Y);
  }
  return true;
}

int SetCursor(int cursor) {
  int old = In().CursorId;
  In().CursorId = cursor;
  if (cursor != old) DisplayBackend().SetCursorShape(cursor);
  return old;
}

int GetCursor() { return In().CursorId; }
uint32_t GetDoubleClickTime() { return 500; }

void InputMessageTaken(const TMsg& msg) {
  auto& sync = In().Sync;
  auto vk = static_cast<uint16_t>(msg.wParam);
  switch (msg.message) {
    case WM_KEYDOWN: case WM_SYSKEYDOWN: PressBoth(sync, vk, true); break;
    case WM_KEYUP: case WM_SYSKEYUP: PressBoth(sync, vk, false); break;
    case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK: case WM_NCLBUTTONDOWN: case WM_NCLBUTTONDBLCLK: Press(sync, VK_LBUTTON, true); break;
    case WM_LBUTTONUP: case WM_NCLBUTTONUP: Press(sync, VK_LBUTTON, false); break;
    case WM_RBUTTONDOWN: case WM_RBUTTONDBLCLK: case WM_NCRBUTTONDOWN: case WM_NCRBUTTONDBLCLK: Press(sync, VK_RBUTTON, true); break;
    case WM_RBUTTONUP: case WM_NCRBUTTONUP: Press(sync, VK_RBUTTON, false); break;
    case WM_MBUTTONDOWN: case WM_MBUTTONDBLCLK: Press(sync, VK_MBUTTON, true); break;
    case WM_MBUTTONUP: Press(sync, VK_MBUTTON, false); break;
  }
}

void ResetInput() { In() = TInputState{}; }

#include "platform/win/MessageQueue.h"

#include <algorithm>

#include "platform/rtl/Ticks.h"
#include "platform/win/Caret.h"
#include "platform/win/DisplayBackend.h"
#include "platform/win/Hooks.h"
#include "platform/win/Input.h"
#include "platform/win/NonClient.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/WinState.h"

namespace {

TMsg Stamp(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  TMsg m{hwnd, msg, wp, lp, GetTickCount(), {}};
  GetCursorPos(m.pt);
  return m;
}

bool InRange(UINT msg, UINT lo, UINT hi) { return (lo == 0 && hi == 0) || (msg >= lo && msg <= hi); }

bool WindowMatches(HWND target, HWND filter) {
  if (filter == 0) return true;
  if (filter == static_cast<HWND>(-1)) return target == 0;
  return target == filter || IsChild(filter, target);
}

// Takes the first live message of a queue that passes the filter; messages for destroyed windows
// are dropped on the way.
bool TakeFrom(std::deque<TMsg>& q, TMsg& out, HWND filter, UINT lo, UINT hi, bool remove) {
  for (auto it = q.begin(); it != q.end();) {
    if (it->hwnd && !IsWindow(it->hwnd)) {
      it = q.erase(it);
      continue;
    }
    if (WindowMatches(it->hwnd, filter) && InRange(it->message, lo, hi)) {
      out = *it;
      if (remove) q.erase(it);
      return true;
    }
    ++it;
  }
  return false;
}

bool IsMouseButtonDown(UINT m) {
  return m == WM_LBUTTONDOWN || m == WM_RBUTTONDOWN || m == WM_MBUTTONDOWN || m == WM_LBUTTONDBLCLK ||
         m == WM_RBUTTONDBLCLK || m == WM_MBUTTONDBLCLK || m == WM_NCLBUTTONDOWN || m == WM_NCRBUTTONDOWN ||
         m == WM_NCLBUTTONDBLCLK || m == WM_NCRBUTTONDBLCLK;
}

bool TakeTimer(TMsg& out, HWND filter, UINT lo, UINT hi, bool remove) {
  if (!InRange(WM_TIMER, lo, hi)) return false;
  TWinState& s = WinState();
  uint64_t now = GetTickCount64();
  for (auto& t : s.Timers) {
    if (t.Due > now || (t.Window && !IsWindow(t.Window)) || !WindowMatches(t.Window, filter)) continue;
    out = Stamp(t.Window, WM_TIMER, t.Id, 0);
    // A proc travels in lParam as a pointer to our record's copy.
    out.lParam = t.Proc ? static_cast<LPARAM>(t.Id) : 0;
    if (remove) t.Due = now + t.Elapse;  // late ticks merge into one
    // Timers taken go to the back so that equal ones take turns.
    if (remove) std::rotate(&t, &t + 1, s.Timers.data() + s.Timers.size());
    return true;
  }
  return false;
}

bool PeekOnce(TMsg& msg, HWND hwnd, UINT lo, UINT hi, bool remove) {
  TWinState& s = WinState();
  if (TakeFrom(s.Posted, msg, hwnd, lo, hi, remove)) return true;
  if (s.QuitPending) {
    msg = Stamp(0, WM_QUIT, static_cast<WPARAM>(s.QuitCode), 0);
    if (remove) s.QuitPending = false;
    return true;
  }
  while (TakeFrom(s.InputQueue, msg, hwnd, lo, hi, remove)) {
    if (!remove) return true;
    InputMessageTaken(msg);
    if (IsMouseButtonDown(msg.message)) {
      bool eat = false;
      int hit = msg.message >= WM_MOUSEFIRST ? HTCLIENT : static_cast<int>(msg.wParam);
      MouseActivate(msg.hwnd, msg.message, hit, eat);
      if (eat || !IsWindow(msg.hwnd)) continue;
    }
    return true;
  }
  if (InRange(WM_PAINT, lo, hi)) {
    if (HWND p = FindWindowToPaint(hwnd == static_cast<HWND>(-1) ? 0 : hwnd); p && hwnd != static_cast<HWND>(-1)) {
      msg = Stamp(p, WM_PAINT, 0, 0);
      return true;
    }
  }
  return TakeTimer(msg, hwnd, lo, hi, remove);
}

TIMERPROC FindTimerProc(HWND hwnd, uintptr_t id) {
  for (auto& t : WinState().Timers)
    if (t.Window == hwnd && t.Id == id) return t.Proc;
  return {};
}

}  // namespace

void KillWindowTimers(HWND hwnd) {
  auto& t = WinState().Timers;
  t.erase(std::remove_if(t.begin(), t.end(), [&](const TTimerRec& r) { return r.Window == hwnd; }), t.end());
}

bool PostMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (hwnd && !IsWindow(hwnd)) return false;
  WinState().Posted.push_back(Stamp(hwnd, msg, wp, lp));
  return true;
}

bool PostThreadMessage(UINT msg, WPARAM wp, LPARAM lp) { return PostMessage(0, msg, wp, lp); }

void PostQuitMessage(int exitCode) {
  WinState().QuitPending = true;
  WinState().QuitCode = exitCode;
}

bool PeekMessage(TMsg& msg, HWND hwnd, UINT lo, UINT hi, UINT removeFlags) {
  BlinkCaret();
  DisplayBackend().PumpInput();
  bool remove = removeFlags & PM_REMOVE;
  if (!PeekOnce(msg, hwnd, lo, hi, remove)) {
    // Idle: what was painted can be shown now.
    PresentChangedWindows();
    return false;
  }
  WinState().LastMessageTime = msg.time;
  WinState().LastMessagePos = msg.pt;
  if (HasHooks(WH_GETMESSAGE)) {
    CallHookChain(WH_GETMESSAGE, HC_ACTION, remove ? PM_REMOVE : PM_NOREMOVE, reinterpret_cast<LPARAM>(&msg));
  }
  return true;
}

bool GetMessage(TMsg& msg, HWND hwnd, UINT lo, UINT hi) {
  while (!PeekMessage(msg, hwnd, lo, hi, PM_REMOVE)) WaitMessage();
  return msg.message != WM_QUIT;
}

bool HasPendingMessages() {
  TMsg m;
  TWinState& s = WinState();
  if (!s.Posted.empty() || !s.InputQueue.empty() || s.QuitPending) return true;
  return PeekOnce(m, 0, 0, 0, false);
}

void WaitMessage() {
  TDisplayBackend& display = DisplayBackend();
  display.PumpInput();
  if (HasPendingMessages()) return;
  PresentChangedWindows();
  TWinState& s = WinState();
  uint64_t now = GetTickCount64();
  uint64_t next = UINT64_MAX;
  for (auto& t : s.Timers) next = std::min(next, t.Due);
  if (next == UINT64_MAX && !display.BringsInput())
    throw EWindowError("Nothing to wait for: no input can arrive and no timer is set");
  // A blinking caret wakes the loop too, though it brings no message.
  next = std::min(next, NextCaretBlink());
  int timeout = -1;
  if (next != UINT64_MAX) timeout = next > now ? static_cast<int>(std::min<uint64_t>(next - now, 0x7FFFFFFF)) : 0;
  display.WaitInput(timeout);
}

bool TranslateMessage(const TMsg& msg) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
  auto vk = static_cast<uint16_t>(msg.wParam);
  bool shift = GetKeyState(VK_SHIFT) < 0;
  bool ctrl = GetKeyState(VK_CONTROL) < 0;
  bool alt = GetKeyState(VK_MENU) < 0;
  bool caps = GetKeyState(VK_CAPITAL) & 1;
  int ch = -1;
  if (msg.typed == TypesNothing) {
    return false;
  } else if (msg.typed >= 0) {
    ch = msg.typed;
  } else if (vk >= 'A' && vk <= 'Z') {
    if (ctrl && !alt) ch = vk - 'A' + 1;
    else ch = (shift != caps) ? vk : vk + 32;
  } else if (vk >= '0' && vk <= '9') {
    static const char shifted[] = ")!@#$%^&*(";
    if (!ctrl) ch = shift ? shifted[vk - '0'] : vk;
  } else if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) {
    ch = '0' + (vk - VK_NUMPAD0);
  } else {
    struct TOem { uint16_t Vk; char Plain, Shifted; };
    static const TOem oem[] = {{VK_OEM_1, ';', ':'}, {VK_OEM_PLUS, '=', '+'}, {VK_OEM_COMMA, ',', '<'},
                               {VK_OEM_MINUS, '-', '_'}, {VK_OEM_PERIOD, '.', '>'}, {VK_OEM_2, '/', '?'},
                               {VK_OEM_3, '`', '~'}, {VK_OEM_4, '[', '{'}, {VK_OEM_5, '\\', '|'},
                               {VK_OEM_6, ']', '}'}, {VK_OEM_7, '\'', '"'}, {VK_MULTIPLY, '*', '*'},
                               {VK_ADD, '+', '+'}, {VK_SUBTRACT, '-', '-'}, {VK_DECIMAL, '.', '.'},
                               {VK_DIVIDE, '/', '/'}};
    for (auto& o : oem)
      if (o.Vk == vk && !ctrl) ch = shift ? o.Shifted : o.Plain;
    switch (vk) {
      case VK_SPACE: ch = ' '; break;
      case VK_RETURN: ch = ctrl ? 10 : 13; break;
      case VK_BACK: ch = ctrl ? 127 : 8; break;
      case VK_TAB: if (!ctrl) ch = 9; break;
      case VK_ESCAPE: ch = 27; break;
      case VK_CANCEL: ch = 3; break;
    }
    if (ctrl && vk == VK_OEM_4) ch = 27;
    if (ctrl && vk == VK_OEM_5) ch = 28;
    if (ctrl && vk == VK_OEM_6) ch = 29;
  }
  if (ch < 0) return false;
  UINT m = msg.message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
  TWinState& s = WinState();
  s.Posted.push_front(TMsg{msg.hwnd, m, static_cast<WPARAM>(ch & 0xFF), msg.lParam, msg.time, msg.pt, TypedByLayout});
  return true;
}

LRESULT DispatchMessage(const TMsg& msg) {
  if (msg.message == WM_TIMER && msg.lParam) {
    if (TIMERPROC proc = FindTimerProc(msg.hwnd, static_cast<uintptr_t>(msg.lParam))) {
      proc(msg.hwnd, WM_TIMER, static_cast<uintptr_t>(msg.wParam), msg.time);
      return 0;
    }
    return 0;
  }
  if (!msg.hwnd || !IsWindow(msg.hwnd)) return 0;
  if (NonClientTakesInput(msg)) return 0;
  WNDPROC proc = GetWindowProc(msg.hwnd);
  LRESULT r = CallWindowProc(proc, msg.hwnd, msg.message, msg.wParam, msg.lParam);
  return r;
}

uintptr_t SetTimer(HWND hwnd, uintptr_t id, uint32_t elapseMs, TIMERPROC proc) {
  TWinState& s = WinState();
  if (hwnd && !IsWindow(hwnd)) return 0;
  if (!hwnd) id = s.NextTimerId++;  // a timer without a window gets its own id
  elapseMs = std::max<uint32_t>(elapseMs, 10);
  for (auto& t : s.Timers)
    if (t.Window == hwnd && t.Id == id) {
      t.Elapse = elapseMs;
      t.Due = GetTickCount64() + elapseMs;
      t.Proc = std::move(proc);
      return id ? id : 1;
    }
  s.Timers.push_back(TTimerRec{hwnd, id, elapseMs, GetTickCount64() + elapseMs, std::move(proc)});
  return id ? id : 1;
}

bool KillTimer(HWND hwnd, uintptr_t id) {
  auto& t = WinState().Timers;
  auto it = std::find_if(t.begin(), t.end(), [&](const TTimerRec& r) { return r.Window == hwnd && r.Id == id; });
  if (it == t.end()) return false;
  t.erase(it);
  return true;
}

uint32_t GetMessageTime() { return WinState().LastMessageTime; }
TPoint GetMessagePos() { return WinState().LastMessagePos; }

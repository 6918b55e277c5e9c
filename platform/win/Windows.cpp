// Window classes, creation and destruction, and the state they live in.
#include "platform/win/Windows.h"

#include "platform/win/Activation.h"
#include "platform/win/Caret.h"
#include "platform/win/Clipboard.h"
#include "platform/win/DisplayBackend.h"
#include "platform/win/Hooks.h"
#include "platform/win/Input.h"
#include "platform/win/WindowPos.h"
#include "platform/win/WindowTree.h"

using namespace winsys;

namespace {

void DestroyTree(HWND hwnd, std::vector<HWND>& order) {
  TWindowRec& w = Need(hwnd);
  w.Destroying = true;
  order.push_back(hwnd);
  std::vector<HWND> kids = w.Children;
  for (HWND c : kids)
    if (IsWindow(c)) DestroyTree(c, order);
}

}  // namespace

TWinState& WinState() {
  static TWinState state;
  return state;
}

TWindowRec* FindWindowRec(HWND hwnd) {
  auto& m = WinState().Windows;
  auto it = m.find(hwnd);
  return it == m.end() ? nullptr : it->second.get();
}

void ResetWindowSystem() {
  TWinState& s = WinState();
  // Numbers are never handed out twice in a process, so a handle kept from before the reset
  // can only miss, never reach a newer window.
  const HWND nextHandle = s.NextHandle;
  const uintptr_t nextTimerId = s.NextTimerId;
  s = TWinState{};
  s.NextHandle = nextHandle;
  s.NextTimerId = nextTimerId;
  DisplayBackend().Reset();
  ForgetDeviceContexts();
  ResetHooks();
  ResetCaret();
  ResetClipboard();
  ResetInput();
  SetDcProvider({});
  SetSysColorResolver({});
}

bool RegisterClass(const TWndClass& wc) {
  auto& c = WinState().Classes;
  if (wc.lpszClassName.empty() || c.count(wc.lpszClassName)) return false;
  c[wc.lpszClassName] = wc;
  return true;
}

bool UnregisterClass(const AnsiString& name) {
  auto& s = WinState();
  for (auto& [h, w] : s.Windows)
    if (w->ClassName == name) return false;
  return s.Classes.erase(name) > 0;
}

bool GetClassInfo(const AnsiString& name, TWndClass& wc) {
  auto& c = WinState().Classes;
  auto it = c.find(name);
  if (it == c.end()) return false;
  wc = it->second;
  return true;
}

AnsiString GetClassName(HWND hwnd) {
  TWindowRec* w = FindWindowRec(hwnd);
  return w ? w->ClassName : AnsiString();
}

HWND CreateWindowEx(uint32_t exStyle, const AnsiString& className, const AnsiString& windowName,
                    uint32_t style, int x, int y, int width, int height, HWND parent, intptr_t id,
                    void* param) {
  TWinState& s = WinState();
  auto cls = s.Classes.find(className);
  if (cls == s.Classes.end()) return 0;
  bool messageOnly = parent == HWND_MESSAGE;
  if (messageOnly) parent = 0;
  if (parent && !IsWindow(parent)) return 0;
  if ((style & WS_CHILD) && !parent && !messageOnly) return 0;
  auto rec = std::make_unique<TWindowRec>();
  TWindowRec& w = *rec;
  w.Handle = s.NextHandle++;
  w.ClassName = className;
  w.ClassStyle = cls->second.style;
  w.Background = cls->second.hbrBackground;
  w.Proc = cls->second.lpfnWndProc;
  w.Style = style & ~WS_VISIBLE;
  w.ExStyle = exStyle;
  w.MessageOnly = messageOnly;
  if (style & WS_CHILD) {
    w.Parent = parent;
    w.Id = id;
  } else if (parent) {
    w.Owner = GetAncestorRoot(parent);
  }
  if (x == CW_USEDEFAULT) x = y = 0;
  if (width == CW_USEDEFAULT) {
    width = 640;
    height = 480;
  }
  w.Bounds = TRect{x, y, x + width, y + height};
  w.NormalBounds = w.Bounds;
  HWND h = w.Handle;
  s.Windows[h] = std::move(rec);
  Link(w, HWND_TOP);
  if (!w.Parent && (w.ExStyle & WS_EX_TOPMOST)) Link(w, HWND_TOPMOST);
  SyncSurface(w);

  TCreateStruct cs;
  cs.lpCreateParams = param;
  cs.id = id;
  cs.hwndParent = parent;
  cs.x = x, cs.y = y, cs.cx = width, cs.cy = height;
  cs.style = style;
  cs.lpszName = windowName.c_str();
  cs.lpszClass = className.c_str();
  cs.dwExStyle = exStyle;
  auto fail = [&]() -> HWND {
    if (IsWindow(h)) DestroyWindow(h);
    return 0;
  };
  if (CallHookChain(WH_CBT, HCBT_CREATEWND, h, reinterpret_cast<LPARAM>(&cs)) != 0) return fail();
  if (SendMessage(h, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) == 0) return fail();
  if (!IsWindow(h)) return 0;
  RecalcClient(Need(h));
  if (SendMessage(h, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) return fail();
  if (!IsWindow(h)) return 0;
  Need(h).Created = true;
  if (Shown(Need(h))) DisplayBackend().WindowCreated(h);
  TRect c = Need(h).Client;
  SendMessage(h, WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.Width(), c.Height()));
  SendMessage(h, WM_MOVE, 0, MAKELPARAM(c.Left, c.Top));
  if (IsWindow(h) && (style & WS_VISIBLE)) ShowWindow(h, SW_SHOW);
  return IsWindow(h) ? h : 0;
}

bool DestroyWindow(HWND hwnd) {
  TWinState& s = WinState();
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return false;
  if (w->Destroying) return true;
  if (CallHookChain(WH_CBT, HCBT_DESTROYWND, hwnd, 0) != 0) return false;
  if (!IsWindow(hwnd)) return true;
  // Owned windows go before their owner.
  if (!w->Parent) {
    std::vector<HWND> owned;
    for (auto& [h, o] : s.Windows)
      if (o->Owner == hwnd && !o->Destroying) owned.push_back(h);
    for (HWND h : owned) DestroyWindow(h);
    w = FindWindowRec(hwnd);
    if (!w) return true;
  }
  if (w->Style & WS_VISIBLE)
    SetWindowPos(hwnd, 0, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (!IsWindow(hwnd)) return true;
  std::vector<HWND> order;
  DestroyTree(hwnd, order);
  for (HWND h : order) {
    if (s.Capture == h) ReleaseCapture();
    if (s.Focus == h) s.Focus = 0;
    CaretWindowDestroyed(h);
  }
  if (s.Active == hwnd) {
    s.Active = 0;
    HWND next = NextActivation(hwnd);
    if (next) Activate(next, WA_ACTIVE);
    else SendActivation(0, 0, 0);
  }
  // WM_DESTROY runs parents first, WM_NCDESTROY children first.
  for (HWND h : order)
    if (IsWindow(h)) SendMessage(h, WM_DESTROY, 0, 0);
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    HWND h = *it;
    if (!IsWindow(h)) continue;
    SendMessage(h, WM_NCDESTROY, 0, 0);
    TWindowRec* r = FindWindowRec(h);
    if (!r) continue;
    if (Shown(*r)) DisplayBackend().WindowDestroyed(h);
    Unlink(*r);
    KillWindowTimers(h);
    if (s.Locked == h) s.Locked = 0;
    for (auto& [oh, o] : s.Windows)
      if (o->Owner == h) o->Owner = 0;
    s.Windows.erase(h);
  }
  return true;
}

bool IsWindow(HWND hwnd) { return hwnd && FindWindowRec(hwnd) != nullptr; }

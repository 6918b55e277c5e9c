#include "platform/win/Windows.h"

#include <algorithm>

#include "platform/win/Caret.h"
#include "platform/win/Clipboard.h"
#include "platform/win/Cursors.h"
#include "platform/win/DisplayBackend.h"
#include "platform/win/PaintContext.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/Hooks.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/MoveSize.h"
#include "platform/win/NonClient.h"
#include "platform/win/WinState.h"

namespace {

constexpr int CaptionHeight = 19;
constexpr int SmallCaptionHeight = 15;
constexpr int BorderWidth = 1;
constexpr int DlgFrameWidth = 3;
constexpr int SizeFrameWidth = 4;
constexpr int EdgeWidth = 2;
constexpr HWND DesktopHandle = 0x10000;

TWindowRec& Need(HWND hwnd) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) throw EWindowError("Invalid window handle %d", {static_cast<int64_t>(hwnd)});
  return *w;
}

std::vector<HWND>& SiblingList(TWindowRec& w) {
  static std::vector<HWND> none;
  if (w.MessageOnly) return none;
  if (w.Parent) return Need(w.Parent).Children;
  return WinState().TopLevel;
}

void Unlink(TWindowRec& w) {
  auto& list = SiblingList(w);
  list.erase(std::remove(list.begin(), list.end(), w.Handle), list.end());
}

bool Topmost(HWND h) { return Need(h).ExStyle & WS_EX_TOPMOST; }

// Owned windows sit above their owner, as the desktop shows them: w goes no lower than its owner,
// and what w owns, directly or through others, comes right above it in the order it had.
void KeepOwnedAbove(std::vector<HWND>& list, TWindowRec& w) {
  auto at = [&](HWND h) { return std::find(list.begin(), list.end(), h); };
  if (w.Owner && at(w.Owner) != list.end() && Topmost(w.Owner) == Topmost(w.Handle) && at(w.Handle) > at(w.Owner)) {
    list.erase(at(w.Handle));
    list.insert(at(w.Owner), w.Handle);
  }
  std::vector<HWND> owned;
  for (HWND h : list)
    if (Need(h).Owner == w.Handle && Topmost(h) == Topmost(w.Handle)) owned.push_back(h);
  if (owned.empty()) return;
  for (HWND h : owned) list.erase(at(h));
  list.insert(at(w.Handle), owned.begin(), owned.end());
  for (HWND h : owned) KeepOwnedAbove(list, Need(h));
}

// Places w in its sibling list after insertAfter (or at the top / bottom).
void Link(TWindowRec& w, HWND insertAfter) {
  if (w.MessageOnly) return;
  auto& list = SiblingList(w);
  const std::vector<HWND> before = w.Parent ? std::vector<HWND>{} : list;
  list.erase(std::remove(list.begin(), list.end(), w.Handle), list.end());
  bool topmost = !w.Parent && (w.ExStyle & WS_EX_TOPMOST);
  // The topmost band leads the top-level list.
  auto bandStart = list.begin();
  auto bandEnd = list.end();
  if (!w.Parent) {
    auto firstNormal = std::find_if(list.begin(), list.end(), [](HWND h) {
      return !(Need(h).ExStyle & WS_EX_TOPMOST);
    });
    if (topmost)
      bandEnd = firstNormal;
    else
      bandStart = firstNormal;
  }
  auto pos = bandStart;
  if (insertAfter == HWND_BOTTOM) {
    pos = bandEnd;
  } else if (insertAfter != HWND_TOP && insertAfter != HWND_TOPMOST && insertAfter != HWND_NOTOPMOST) {
    auto it = std::find(bandStart, bandEnd, insertAfter);
    pos = it == bandEnd ? bandStart : it + 1;
  }
  list.insert(pos, w.Handle);
  if (w.Parent) return;
  KeepOwnedAbove(list, w);
  if (list != before) DisplayBackend().WindowsRestacked();
}

TPoint ClientOriginOnScreen(const TWindowRec& w) {
  TPoint p{w.Client.Left, w.Client.Top};
  for (HWND h = w.Parent; h; h = Need(h).Parent) {
    p.X += Need(h).Client.Left;
    p.Y += Need(h).Client.Top;
  }
  return p;
}

TRect ScreenBounds(const TWindowRec& w) {
  TPoint origin{0, 0};
  if (w.Parent) origin = ClientOriginOnScreen(Need(w.Parent));
  return OffsetRect(w.Bounds, origin.X, origin.Y);
}

TWindowRec& TopOf(HWND hwnd) {
  TWindowRec* w = &Need(hwnd);
  while (w->Parent) w = &Need(w->Parent);
  return *w;
}

void RecalcClient(TWindowRec& w) {
  TRect r = w.Bounds;
  SendMessage(w.Handle, WM_NCCALCSIZE, 0, reinterpret_cast<LPARAM>(&r));
  if (TWindowRec* again = FindWindowRec(w.Handle)) again->Client = r;
}

void SyncSurface(TWindowRec& w) {
  if (w.Parent || w.MessageOnly) return;
  if (!w.Surface) w.Surface = std::make_unique<TWindowSurface>();
  w.Surface->Resize(std::max(0, w.Bounds.Width()), std::max(0, w.Bounds.Height()));
}

void InvalidateInParent(TWindowRec& w, const TRect& boundsInParent) {
  if (w.Parent) InvalidateRect(w.Parent, &boundsInParent, true);
}

// Top-level windows that the display shows: not children, not message-only.
bool Shown(const TWindowRec& w) { return !w.Parent && !w.MessageOnly; }

// The next top-level window to activate after hwnd goes away or hides.
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

bool IsChild(HWND parent, HWND hwnd) {
  TWindowRec* w = FindWindowRec(hwnd);
  while (w && w->Parent) {
    if (w->Parent == parent) return true;
    w = FindWindowRec(w->Parent);
  }
  return false;
}

bool IsWindowVisible(HWND hwnd) {
  for (TWindowRec* w = FindWindowRec(hwnd); w; w = w->Parent ? FindWindowRec(w->Parent) : nullptr)
    if (!(w->Style & WS_VISIBLE)) return false;
  return IsWindow(hwnd);
}

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

bool IsIconic(HWND hwnd) {
  TWindowRec* w = FindWindowRec(hwnd);
  return w && (w->Style & WS_MINIMIZE);
}

bool IsZoomed(HWND hwnd) {
  TWindowRec* w = FindWindowRec(hwnd);
  return w && (w->Style & WS_MAXIMIZE);
}

HWND GetParent(HWND hwnd) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return 0;
  return w->Parent ? w->Parent : w->Owner;
}

HWND SetParent(HWND hwnd, HWND parent) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w || (parent && !IsWindow(parent)) || parent == hwnd || IsChild(hwnd, parent)) return 0;
  HWND old = w->Parent;
  bool wasVisible = w->Style & WS_VISIBLE;
  TRect screen = ScreenBounds(*w);
  if (Shown(*w) && parent) DisplayBackend().WindowDestroyed(hwnd);
  if (wasVisible) InvalidateInParent(*w, w->Bounds);
  Unlink(*w);
  w->Parent = parent;
  if (parent) {
    w->Style = (w->Style | WS_CHILD) & ~WS_POPUP;
    w->Surface.reset();
  } else {
    w->Style &= ~WS_CHILD;
  }
  // Keeps the window where it was on the screen.
  TPoint origin{0, 0};
  if (parent) origin = ClientOriginOnScreen(Need(parent));
  TRect b = OffsetRect(screen, -origin.X, -origin.Y);
  TPoint shift{b.Left - w->Bounds.Left, b.Top - w->Bounds.Top};
  w->Bounds = b;
  w->Client = OffsetRect(w->Client, shift.X, shift.Y);
  Link(*w, HWND_TOP);
  SyncSurface(*w);
  if (Shown(*w) && old) {
    DisplayBackend().WindowCreated(hwnd);
    if (wasVisible) DisplayBackend().WindowShown(hwnd, true);
  }
  if (wasVisible) InvalidateRect(hwnd, nullptr, true);
  return old ? old : GetDesktopWindow();
}

HWND GetDesktopWindow() { return DesktopHandle; }

HWND GetAncestorRoot(HWND hwnd) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return 0;
  return TopOf(hwnd).Handle;
}

std::vector<HWND> GetChildWindows(HWND parent) {
  if (!parent || parent == DesktopHandle) return WinState().TopLevel;
  TWindowRec* w = FindWindowRec(parent);
  return w ? w->Children : std::vector<HWND>{};
}

HWND GetTopWindow(HWND parent) {
  auto list = GetChildWindows(parent);
  return list.empty() ? 0 : list.front();
}

HWND GetWindow(HWND hwnd, unsigned relation) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return 0;
  if (relation == GW_OWNER) return w->Owner;
  if (relation == GW_CHILD) return w->Children.empty() ? 0 : w->Children.front();
  auto& list = SiblingList(*w);
  auto it = std::find(list.begin(), list.end(), hwnd);
  if (it == list.end()) return 0;
  switch (relation) {
    case GW_HWNDFIRST: return list.front();
    case GW_HWNDLAST: return list.back();
    case GW_HWNDNEXT: return it + 1 == list.end() ? 0 : *(it + 1);
    case GW_HWNDPREV: return it == list.begin() ? 0 : *(it - 1);
  }
  return 0;
}

intptr_t GetWindowLongPtr(HWND hwnd, int index) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return 0;
  switch (index) {
    case GWL_STYLE: return static_cast<intptr_t>(w->Style);
    case GWL_EXSTYLE: return static_cast<intptr_t>(w->ExStyle);
    case GWL_USERDATA: return w->UserData;
    case GWL_ID: return w->Id;
    case GWL_HWNDPARENT: return static_cast<intptr_t>(w->Parent ? w->Parent : w->Owner);
  }
  return 0;
}

intptr_t SetWindowLongPtr(HWND hwnd, int index, intptr_t value) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return 0;
  intptr_t old = GetWindowLongPtr(hwnd, index);
  switch (index) {
    case GWL_STYLE:
      // Visibility changes through ShowWindow only.
      w->Style = (static_cast<uint32_t>(value) & ~WS_VISIBLE) | (w->Style & WS_VISIBLE);
      break;
    case GWL_EXSTYLE: {
      uint32_t was = w->ExStyle;
      w->ExStyle = static_cast<uint32_t>(value);
      if (!w->Parent && ((was ^ w->ExStyle) & WS_EX_TOPMOST)) Link(*w, HWND_TOP);
      if (Shown(*w) && w->Created && ((was ^ w->ExStyle) & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW)))
        DisplayBackend().WindowRestyled(hwnd);
      break;
    }
    case GWL_USERDATA: w->UserData = value; break;
    case GWL_ID: w->Id = value; break;
    case GWL_HWNDPARENT:
      if (!w->Parent) {
        w->Owner = IsWindow(static_cast<HWND>(value)) ? static_cast<HWND>(value) : 0;
        if (w->Owner && !w->MessageOnly) {
          std::vector<HWND>& list = WinState().TopLevel;
          const std::vector<HWND> before = list;
          KeepOwnedAbove(list, *w);
          if (list != before) DisplayBackend().WindowsRestacked();
        }
        if (Shown(*w) && w->Created) DisplayBackend().WindowRestyled(hwnd);
      }
      break;
  }
  return old;
}

WNDPROC GetWindowProc(HWND hwnd) {
  TWindowRec* w = FindWindowRec(hwnd);
  return w ? w->Proc : WNDPROC{};
}

WNDPROC SetWindowProc(HWND hwnd, WNDPROC proc) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return {};
  WNDPROC old = std::move(w->Proc);
  w->Proc = std::move(proc);
  return old;
}

LRESULT CallWindowProc(const WNDPROC& proc, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  return proc ? proc(hwnd, msg, wp, lp) : DefWindowProc(hwnd, msg, wp, lp);
}

bool SetProp(HWND hwnd, const AnsiString& name, intptr_t value) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return false;
  w->Props[name] = value;
  return true;
}

intptr_t GetProp(HWND hwnd, const AnsiString& name) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return 0;
  auto it = w->Props.find(name);
  return it == w->Props.end() ? 0 : it->second;
}

intptr_t RemoveProp(HWND hwnd, const AnsiString& name) {
  intptr_t v = GetProp(hwnd, name);
  if (TWindowRec* w = FindWindowRec(hwnd)) w->Props.erase(name);
  return v;
}

bool SetWindowText(HWND hwnd, const AnsiString& text) {
  return IsWindow(hwnd) && SendMessage(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) != 0;
}

AnsiString GetWindowText(HWND hwnd) {
  if (!IsWindow(hwnd)) return {};
  auto len = SendMessage(hwnd, WM_GETTEXTLENGTH, 0, 0);
  if (len <= 0) return {};
  AnsiString buf(static_cast<size_t>(len) + 1, '\0');
  auto got = SendMessage(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()));
  buf.resize(static_cast<size_t>(std::clamp<LRESULT>(got, 0, len)));
  return buf;
}

TRect GetWindowRect(HWND hwnd) {
  if (hwnd == DesktopHandle) return DisplayBackend().ScreenRect();
  TWindowRec* w = FindWindowRec(hwnd);
  return w ? ScreenBounds(*w) : TRect{};
}

TRect GetClientRect(HWND hwnd) {
  if (hwnd == DesktopHandle) return DisplayBackend().ScreenRect();
  TWindowRec* w = FindWindowRec(hwnd);
  return w ? TRect{0, 0, std::max(0, w->Client.Width()), std::max(0, w->Client.Height())} : TRect{};
}

TPoint ClientToScreen(HWND hwnd, TPoint p) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return p;
  TPoint o = ClientOriginOnScreen(*w);
  return TPoint{p.X + o.X, p.Y + o.Y};
}

TPoint ScreenToClient(HWND hwnd, TPoint p) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return p;
  TPoint o = ClientOriginOnScreen(*w);
  return TPoint{p.X - o.X, p.Y - o.Y};
}

TRect NonClientInsets(uint32_t style, uint32_t exStyle) {
  if (ManagerFramed(style, exStyle)) {
    style &= ~(WS_CAPTION | WS_THICKFRAME);
    exStyle &= ~WS_EX_DLGMODALFRAME;
  }
  int frame = 0;
  if (style & WS_THICKFRAME)
    frame = SizeFrameWidth;
  else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME))
    frame = DlgFrameWidth;
  else if (style & WS_BORDER)
    frame = BorderWidth;
  TRect r{frame, frame, frame, frame};
  if ((style & WS_CAPTION) == WS_CAPTION)
    r.Top += (exStyle & WS_EX_TOOLWINDOW) ? SmallCaptionHeight : CaptionHeight;
  int edge = 0;
  if (exStyle & WS_EX_CLIENTEDGE) edge += EdgeWidth;
  if (exStyle & WS_EX_STATICEDGE) edge += BorderWidth;
  r.Left += edge, r.Top += edge, r.Right += edge, r.Bottom += edge;
  return r;
}

bool AdjustWindowRectEx(TRect& r, uint32_t style, uint32_t exStyle) {
  TRect in = NonClientInsets(style, exStyle);
  r = TRect{r.Left - in.Left, r.Top - in.Top, r.Right + in.Right, r.Bottom + in.Bottom};
  return true;
}

HWND ChildWindowFromPoint(HWND parent, TPoint client) {
  TWindowRec* w = FindWindowRec(parent);
  if (!w) return 0;
  for (HWND c : w->Children) {
    TWindowRec& k = Need(c);
    if ((k.Style & WS_VISIBLE) && k.Bounds.Contains(client.X, client.Y)) return c;
  }
  return parent;
}

HWND WindowFromPoint(TPoint screen) {
  for (HWND h : WinState().TopLevel) {
    TWindowRec& t = Need(h);
    if (!(t.Style & WS_VISIBLE) || !t.Bounds.Contains(screen.X, screen.Y)) continue;
    HWND cur = h;
    for (;;) {
      TPoint c = ScreenToClient(cur, screen);
      HWND next = ChildWindowFromPoint(cur, c);
      if (next == cur || !(Need(next).Style & WS_VISIBLE)) break;
      if (Need(next).Style & WS_DISABLED) return next;
      cur = next;
    }
    return cur;
  }
  return 0;
}

TRect GetWorkArea() { return DisplayBackend().WorkArea(); }

LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return 0;
  switch (msg) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<const TCreateStruct*>(lp);
      if (cs && cs->lpszName) w->Text = cs->lpszName;
      return 1;
    }
    case WM_NCCALCSIZE: {
      auto* r = reinterpret_cast<TRect*>(lp);
      TRect in = NonClientInsets(w->Style, w->ExStyle);
      r->Left += in.Left, r->Top += in.Top, r->Right -= in.Right, r->Bottom -= in.Bottom;
      if (r->Right < r->Left) r->Right = r->Left;
      if (r->Bottom < r->Top) r->Bottom = r->Top;
      return 0;
    }
    case WM_NCHITTEST: {
      TPoint p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      TRect wr = ScreenBounds(*w);
      if (!wr.Contains(p.X, p.Y)) return HTNOWHERE;
      TPoint c = ScreenToClient(hwnd, p);
      if (GetClientRect(hwnd).Contains(c.X, c.Y)) return HTCLIENT;
      TRect in = NonClientInsets(w->Style, w->ExStyle);
      int frame = (w->Style & WS_THICKFRAME) ? SizeFrameWidth : 0;
      if (frame) {
        bool left = p.X < wr.Left + frame, right = p.X >= wr.Right - frame;
        bool top = p.Y < wr.Top + frame, bottom = p.Y >= wr.Bottom - frame;
        if (top && left) return HTTOPLEFT;
        if (top && right) return HTTOPRIGHT;
        if (bottom && left) return HTBOTTOMLEFT;
        if (bottom && right) return HTBOTTOMRIGHT;
        if (left) return HTLEFT;
        if (right) return HTRIGHT;
        if (top) return HTTOP;
        if (bottom) return HTBOTTOM;
      }
      if ((w->Style & WS_CAPTION) == WS_CAPTION && p.Y < wr.Top + in.Top) {
        // The same places the caption buttons are drawn at.
        TNonClientLayout l = NonClientLayout(w->Style, w->ExStyle, wr.Width(), wr.Height());
        if (int button = CaptionButtonAt(l, TPoint{p.X - wr.Left, p.Y - wr.Top})) return button;
        return HTCAPTION;
      }
      return HTBORDER;
    }
    case WM_NCACTIVATE:
      w->NcActive = wp != 0;
      PaintNonClient(hwnd);
      return 1;
    case WM_NCPAINT: PaintNonClient(hwnd); return 0;
    case WM_NCLBUTTONDBLCLK:
      if (wp == HTCAPTION && (w->Style & WS_MAXIMIZEBOX)) {
        SendMessage(hwnd, WM_SYSCOMMAND, IsZoomed(hwnd) ? SC_RESTORE : SC_MAXIMIZE, lp);
        return 0;
      }
      [[fallthrough]];  // elsewhere the second press counts as a press
    case WM_NCLBUTTONDOWN: {
      int hit = static_cast<int>(wp);
      if (NonClientButtonDown(hwnd, hit)) return 0;
      bool sizes = IsSizingHit(hit) && (w->Style & WS_THICKFRAME);
      // A maximised window stays where it is.
      if ((hit == HTCAPTION || sizes) && !w->Parent && !IsZoomed(hwnd) && !IsIconic(hwnd))
        DisplayBackend().BeginMoveSize(hwnd, hit, TPoint{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      return 0;
    }
    case WM_NCMOUSEMOVE: NonClientButtonMove(hwnd, TPoint{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}); return 0;
    case WM_NCLBUTTONUP: NonClientButtonUp(hwnd, TPoint{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}); return 0;
    // While a caption button is held the captured mouse comes as client messages.
    case WM_MOUSEMOVE:
      NonClientButtonMove(hwnd, ClientToScreen(hwnd, TPoint{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}));
      return 0;
    case WM_LBUTTONUP:
      NonClientButtonUp(hwnd, ClientToScreen(hwnd, TPoint{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}));
      return 0;
    case WM_CAPTURECHANGED: NonClientCaptureLost(hwnd); return 0;
    case WM_SETTEXT:
      w->Text = lp ? reinterpret_cast<const char*>(lp) : "";
      if (Shown(*w) && w->Created) DisplayBackend().WindowTitled(hwnd, w->Text);
      if ((w->Style & WS_CAPTION) == WS_CAPTION) PaintNonClient(hwnd);
      return 1;
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(w->Text.size());
    case WM_GETTEXT: {
      if (wp == 0 || !lp) return 0;
      size_t n = std::min<size_t>(wp - 1, w->Text.size());
      auto* out = reinterpret_cast<char*>(lp);
      std::copy_n(w->Text.data(), n, out);
      out[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_SYSKEYDOWN:
      // Alt+F4 closes the top-level window, whichever of its windows has the focus.
      if (wp == VK_F4 && (lp & KeyDataAltDown)) PostMessage(GetAncestorRoot(hwnd), WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_SYSCOMMAND:
      switch (wp & 0xFFF0) {
        case SC_CLOSE: SendMessage(hwnd, WM_CLOSE, 0, 0); break;
        case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); break;
        case SC_MAXIMIZE: ShowWindow(hwnd, SW_MAXIMIZE); break;
        case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); break;
      }
      return 0;
    case WM_ERASEBKGND: {
      if (w->Background < 0) return 0;
      TColorRef bg = ResolveColor(static_cast<TColorRef>(w->Background));
      if (TDeviceContext* dc = DeviceContextOf(static_cast<HDC>(wp))) {
        dc->FillRect(GetClientRect(hwnd), SolidBrush(bg));
        return 1;
      }
      TWindowSurface* s = GetWindowSurface(hwnd);
      const TDcTarget* t = BuiltInDcTarget(static_cast<HDC>(wp));
      if (!s) return 1;
      TRect area = GetWindowSurfaceRect(hwnd);
      if (t && t->Surface == s) area = IntersectRect(area, t->Clip);
      if (t && t->Surface == s && !t->Excluded.empty()) {
        TDeviceContext own(s->Bitmap);
        own.SetViewportOrg(t->Origin.X, t->Origin.Y);
        TRegion clip(area);
        own.SelectClipRgn(&clip);
        ExcludeChildWindows(own, *t);
        own.FillRect(OffsetRect(area, -t->Origin.X, -t->Origin.Y), SolidBrush(bg));
        s->MarkChanged(area);
        return 1;
      }
      s->Fill(area, bg);
      return 1;
    }
    case WM_PAINT: {
      TPaintStruct ps;
      BeginPaint(hwnd, ps);
      EndPaint(hwnd, ps);
      return 0;
    }
    case WM_SETREDRAW:
      w->Redraw = wp != 0;
      return 0;
    case WM_WINDOWPOSCHANGED: {
      auto* pos = reinterpret_cast<const TWindowPos*>(lp);
      if (!(pos->flags & SWP_NOMOVE)) SendMessage(hwnd, WM_MOVE, 0, MAKELPARAM(w->Client.Left, w->Client.Top));
      if (!(pos->flags & SWP_NOSIZE) && IsWindow(hwnd)) {
        WPARAM kind = IsIconic(hwnd) ? SIZE_MINIMIZED : IsZoomed(hwnd) ? SIZE_MAXIMIZED : SIZE_RESTORED;
        TRect c = GetClientRect(hwnd);
        SendMessage(hwnd, WM_SIZE, kind, MAKELPARAM(c.Width(), c.Height()));
      }
      return 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wp) != WA_INACTIVE && !HIWORD(wp)) SetFocus(hwnd);
      return 0;
    case WM_MOUSEACTIVATE:
      if (w->Parent) {
        LRESULT r = SendMessage(w->Parent, WM_MOUSEACTIVATE, wp, lp);
        if (r) return r;
      }
      return MA_ACTIVATE;
    case WM_MOUSEWHEEL:
      if (w->Parent) return SendMessage(w->Parent, msg, wp, lp);
      return 0;
    case WM_SETCURSOR: {
      if (w->Parent && SendMessage(w->Parent, msg, wp, lp)) return 1;
      if (static_cast<HWND>(wp) != hwnd) return 0;
      auto cls = WinState().Classes.find(w->ClassName);
      int classCursor = cls == WinState().Classes.end() ? 0 : cls->second.hCursor;
      SetCursor(DefaultCursorFor(static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lp))), classCursor));
      return 0;
    }
    case WM_PRINT:
      if ((lp & PRF_CHECKVISIBLE) && !IsWindowVisible(hwnd)) return 0;
      if (lp & PRF_ERASEBKGND) SendMessage(hwnd, WM_ERASEBKGND, wp, 0);
      if (lp & PRF_CLIENT) SendMessage(hwnd, WM_PRINTCLIENT, wp, lp);
      return 0;
  }
  return 0;
}

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return 0;
  if (HasHooks(WH_CALLWNDPROC)) {
    TCwpStruct cwp{lp, wp, msg, hwnd};
    CallHookChain(WH_CALLWNDPROC, HC_ACTION, 1, reinterpret_cast<LPARAM>(&cwp));
    w = FindWindowRec(hwnd);
    if (!w) return 0;
  }
  WNDPROC proc = w->Proc;  // a copy: the procedure may replace itself or destroy the window
  return CallWindowProc(proc, hwnd, msg, wp, lp);
}

bool SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, uint32_t flags) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return false;
  TWindowPos pos{hwnd, insertAfter, x, y, cx, cy, flags};
  if (flags & SWP_NOMOVE) pos.x = w->Bounds.Left, pos.y = w->Bounds.Top;
  if (flags & SWP_NOSIZE) pos.cx = w->Bounds.Width(), pos.cy = w->Bounds.Height();
  if (!(flags & SWP_NOSENDCHANGING)) {
    SendMessage(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
    w = FindWindowRec(hwnd);
    if (!w) return false;
  }
  pos.cx = std::max(0, pos.cx);
  pos.cy = std::max(0, pos.cy);
  TRect oldBounds = w->Bounds;
  TRect oldClient = w->Client;
  bool wasVisible = w->Style & WS_VISIBLE;
  TRect nb{pos.x, pos.y, pos.x + pos.cx, pos.y + pos.cy};
  bool moved = nb.Left != oldBounds.Left || nb.Top != oldBounds.Top;
  bool sized = nb.Width() != oldBounds.Width() || nb.Height() != oldBounds.Height();
  if (moved || sized || (pos.flags & SWP_FRAMECHANGED)) {
    w->Bounds = nb;
    RecalcClient(*w);
    w = FindWindowRec(hwnd);
    if (!w) return false;
    SyncSurface(*w);
  }
  if (!(pos.flags & SWP_NOZORDER)) {
    if (!w->Parent) {
      uint32_t was = w->ExStyle;
      if (pos.hwndInsertAfter == HWND_TOPMOST) w->ExStyle |= WS_EX_TOPMOST;
      if (pos.hwndInsertAfter == HWND_NOTOPMOST) w->ExStyle &= ~WS_EX_TOPMOST;
      if (Shown(*w) && w->Created && was != w->ExStyle) DisplayBackend().WindowRestyled(hwnd);
    }
    Link(*w, pos.hwndInsertAfter);
  }
  if (pos.flags & SWP_SHOWWINDOW) w->Style |= WS_VISIBLE;
  if (pos.flags & SWP_HIDEWINDOW) w->Style &= ~WS_VISIBLE;
  bool visible = w->Style & WS_VISIBLE;
  bool clientSized = w->Client.Width() != oldClient.Width() || w->Client.Height() != oldClient.Height();
  if (!(pos.flags & SWP_NOREDRAW)) {
    if (wasVisible && (!visible || moved || sized)) InvalidateInParent(*w, oldBounds);
    if (visible && (!wasVisible || sized || (pos.flags & SWP_FRAMECHANGED))) {
      bool whole = !wasVisible || (w->ClassStyle & (CS_HREDRAW | CS_VREDRAW)) || (pos.flags & SWP_FRAMECHANGED);
      if (whole || clientSized) {
        TRect c = GetClientRect(hwnd);
        TRect fresh = c;
        if (!whole) {
          // Only the uncovered strips need paint when the class keeps its contents.
          TRect keep{0, 0, std::min(c.Width(), oldClient.Width()), std::min(c.Height(), oldClient.Height())};
          if (keep.Width() == c.Width()) fresh.Top = keep.Height();
          else if (keep.Height() == c.Height()) fresh.Left = keep.Width();
        }
        RedrawWindow(hwnd, &fresh, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
      }
      if (w->Parent && (moved || sized || !wasVisible)) InvalidateInParent(*w, w->Bounds);
    } else if (visible && moved && w->Parent) {
      InvalidateRect(hwnd, nullptr, true);
    }
  }
  // Hidden windows give up focus and capture.
  TWinState& s = WinState();
  if (!visible && wasVisible) {
    if (s.Focus && (s.Focus == hwnd || IsChild(hwnd, s.Focus))) {
      if (w->Parent) SetFocus(w->Parent);
    }
    if (s.Capture && (s.Capture == hwnd || IsChild(hwnd, s.Capture))) ReleaseCapture();
  }
  w = FindWindowRec(hwnd);
  if (!w) return true;
  if (Shown(*w) && w->Created) {
    if (moved || sized) DisplayBackend().WindowMoved(hwnd, w->Bounds);
    if (visible != wasVisible) DisplayBackend().WindowShown(hwnd, visible);
  }
  TWindowPos done = pos;
  done.x = w->Bounds.Left, done.y = w->Bounds.Top;
  if (!moved) done.flags |= SWP_NOMOVE;
  if (!sized) done.flags |= SWP_NOSIZE;
  if (!w->Created) return true;
  SendMessage(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&done));
  w = FindWindowRec(hwnd);
  if (w && !w->Parent && visible && !wasVisible && !(pos.flags & SWP_NOACTIVATE) && !w->MessageOnly)
    Activate(hwnd, WA_ACTIVE);
  return true;
}

bool MoveWindow(HWND hwnd, int x, int y, int width, int height, bool repaint) {
  return SetWindowPos(hwnd, 0, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

bool BringWindowToTop(HWND hwnd) {
  return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

bool ShowWindow(HWND hwnd, int cmd) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return false;
  TWinState& s = WinState();
  bool wasVisible = w->Style & WS_VISIBLE;
  if (cmd == SW_HIDE) {
    if (!wasVisible) return false;
    SendMessage(hwnd, WM_SHOWWINDOW, 0, 0);
    SetWindowPos(hwnd, 0, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (IsWindow(hwnd) && s.Active == hwnd) {
      s.Active = 0;
      HWND next = NextActivation(hwnd);
      if (next) {
        s.Active = hwnd;  // so the old window hears that it lost activation
        Activate(next, WA_ACTIVE);
      } else {
        SendActivation(hwnd, 0, 0);
      }
    }
    return true;
  }
  bool noActivate = cmd == SW_SHOWNOACTIVATE || cmd == SW_SHOWNA || cmd == SW_SHOWMINNOACTIVE || w->Parent;
  uint32_t flags = SWP_SHOWWINDOW | SWP_NOZORDER | (noActivate ? SWP_NOACTIVATE : 0);
  if (!wasVisible) {
    SendMessage(hwnd, WM_SHOWWINDOW, 1, 0);
    if (!IsWindow(hwnd)) return false;
  }
  w = FindWindowRec(hwnd);
  auto restoreStyle = [&](uint32_t add) {
    if (!(w->Style & (WS_MINIMIZE | WS_MAXIMIZE))) w->NormalBounds = w->Bounds;
    w->Style = (w->Style & ~(WS_MINIMIZE | WS_MAXIMIZE)) | add;
  };
  TRect target = w->Bounds;
  switch (cmd) {
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
      restoreStyle(WS_MINIMIZE);
      target = TRect{w->NormalBounds.Left, w->NormalBounds.Top, w->NormalBounds.Left + 160,
                     w->NormalBounds.Top + NonClientInsets(w->Style, w->ExStyle).Top};
      if (cmd == SW_MINIMIZE) flags |= SWP_NOACTIVATE;
      break;
    case SW_SHOWMAXIMIZED:
      restoreStyle(WS_MAXIMIZE);
      target = w->Parent ? GetClientRect(w->Parent) : GetWorkArea();
      break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
      if (w->Style & (WS_MINIMIZE | WS_MAXIMIZE)) {
        w->Style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
        target = w->NormalBounds;
      }
      break;
    default: break;
  }
  SetWindowPos(hwnd, 0, target.Left, target.Top, target.Width(), target.Height(), flags);
  if (IsWindow(hwnd) && !noActivate && wasVisible && !(flags & SWP_NOACTIVATE) && !Need(hwnd).Parent)
    Activate(hwnd, WA_ACTIVE);
  if (IsWindow(hwnd) && (cmd == SW_MINIMIZE) && s.Active == hwnd) {
    HWND next = NextActivation(hwnd);
    Activate(next, WA_ACTIVE);
  }
  return wasVisible;
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

bool InvalidateRect(HWND hwnd, const TRect* rect, bool erase) {
  if (!hwnd) {
    for (HWND h : WinState().TopLevel) RedrawWindow(h, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    return true;
  }
  return RedrawWindow(hwnd, rect, RDW_INVALIDATE | (erase ? RDW_ERASE : 0u));
}

bool ValidateRect(HWND hwnd, const TRect* rect) { return RedrawWindow(hwnd, rect, RDW_VALIDATE); }

bool GetUpdateRect(HWND hwnd, TRect* rect, bool erase) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return false;
  if (rect) *rect = w->Update;
  if (erase && !w->Update.IsEmpty() && w->UpdateErase) {
    HDC dc = GetDC(hwnd);
    if (SendMessage(hwnd, WM_ERASEBKGND, dc, 0)) {
      if (TWindowRec* again = FindWindowRec(hwnd)) again->UpdateErase = false;
    }
    ReleaseDC(hwnd, dc);
  }
  return !w->Update.IsEmpty();
}

bool RedrawWindow(HWND hwnd, const TRect* rect, unsigned flags) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return false;
  TRect client = GetClientRect(hwnd);
  TRect area = rect ? IntersectRect(*rect, client) : client;
  if (flags & RDW_INVALIDATE) {
    if (!area.IsEmpty()) {
      w->Update = UnionRect(w->Update, area);
      if (flags & RDW_ERASE) w->UpdateErase = true;
    }
    if (flags & RDW_FRAME) SendMessage(hwnd, WM_NCPAINT, 1, 0);
  }
  if (flags & RDW_VALIDATE) {
    if (!rect || (area.Left <= w->Update.Left && area.Top <= w->Update.Top && area.Right >= w->Update.Right &&
                  area.Bottom >= w->Update.Bottom)) {
      w->Update = TRect{};
      w->UpdateErase = false;
    }
  }
  if ((flags & RDW_ALLCHILDREN) && IsWindow(hwnd)) {
    std::vector<HWND> kids = Need(hwnd).Children;
    for (HWND c : kids) {
      TWindowRec* k = FindWindowRec(c);
      if (!k) continue;
      TRect inChild = OffsetRect(area, -k->Client.Left, -k->Client.Top);
      RedrawWindow(c, &inChild, flags & ~(RDW_UPDATENOW | RDW_ERASENOW));
    }
  }
  if ((flags & RDW_UPDATENOW) && IsWindow(hwnd)) UpdateWindow(hwnd);
  return true;
}

bool UpdateWindow(HWND hwnd) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return false;
  if (!w->Update.IsEmpty() && w->Redraw && IsWindowVisible(hwnd) && WinState().Locked != hwnd)
    SendMessage(hwnd, WM_PAINT, 0, 0);
  if (!IsWindow(hwnd)) return true;
  std::vector<HWND> kids = Need(hwnd).Children;
  for (auto it = kids.rbegin(); it != kids.rend(); ++it) UpdateWindow(*it);
  return true;
}

HWND FindWindowToPaint(HWND filter) {
  TWinState& s = WinState();
  // Parents paint before their children, so children draw over them.
  std::vector<HWND> stack(s.TopLevel.rbegin(), s.TopLevel.rend());
  for (auto& [h, w] : s.Windows)
    if (w->MessageOnly) stack.push_back(h);
  std::vector<HWND> order;
  while (!stack.empty()) {
    HWND h = stack.back();
    stack.pop_back();
    TWindowRec& w = Need(h);
    if (!(w.Style & WS_VISIBLE) || !w.Redraw || s.Locked == h) continue;
    if (!w.Update.IsEmpty() && (!filter || filter == h || IsChild(filter, h))) return h;
    for (auto it = w.Children.rbegin(); it != w.Children.rend(); ++it) stack.push_back(*it);
  }
  return 0;
}

namespace {

// A window paints without clipping out its children, so those it paints over must paint again,
// frame and all, after it.
void InvalidateCoveredChildren(HWND hwnd, const TRect& area) {
  if (area.IsEmpty()) return;
  std::vector<HWND> kids = Need(hwnd).Children;
  for (HWND c : kids) {
    TWindowRec* k = FindWindowRec(c);
    if (!k || !(k->Style & WS_VISIBLE)) continue;
    TRect covered = IntersectRect(area, k->Bounds);
    if (covered.IsEmpty()) continue;
    TRect inClient = OffsetRect(IntersectRect(covered, k->Client), -k->Client.Left, -k->Client.Top);
    if (covered != IntersectRect(covered, k->Client)) {
      k->FramePending = true;
      inClient = GetClientRect(c);  // a frame repaint comes with its window's paint
    }
    RedrawWindow(c, &inClient, RDW_INVALIDATE | RDW_ERASE);
    InvalidateCoveredChildren(c, inClient);
  }
}

}  // namespace

HDC BeginPaint(HWND hwnd, TPaintStruct& ps) {
  ps = TPaintStruct{};
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return 0;
  if (w->FramePending) {
    w->FramePending = false;
    SendMessage(hwnd, WM_NCPAINT, 1, 0);
    w = FindWindowRec(hwnd);
    if (!w) return 0;
  }
  HideCaret(hwnd);
  TRect update = w->Update;
  bool erase = w->UpdateErase;
  w->Update = TRect{};
  w->UpdateErase = false;
  InvalidateCoveredChildren(hwnd, update);
  HDC dc = GetPaintDC(hwnd, update);
  ps.hdc = dc;
  ps.rcPaint = update;
  ps.fErase = true;
  if (erase) ps.fErase = SendMessage(hwnd, WM_ERASEBKGND, dc, 0) == 0;
  return dc;
}

bool EndPaint(HWND hwnd, const TPaintStruct& ps) {
  ReleaseDC(hwnd, ps.hdc);
  ShowCaret(hwnd);
  return true;
}

namespace {

HDC AcquireFor(HWND hwnd, bool whole, const TRect* update) {
  if (hwnd == 0 || hwnd == DesktopHandle) {
    // The screen itself: drawing there stays in the process; the display shows only XOR frames.
    TDcTarget t;
    t.Window = DesktopHandle;
    t.Surface = GetWindowSurface(DesktopHandle);
    t.Clip = GetWindowSurfaceRect(DesktopHandle);
    return AcquireDc(t);
  }
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return 0;
  TDcTarget t;
  t.Window = hwnd;
  t.Surface = GetWindowSurface(hwnd);
  TRect area = GetWindowSurfaceRect(hwnd);
  if (whole) {
    TRect top = GetWindowRect(GetAncestorRoot(hwnd));
    TRect wr = GetWindowRect(hwnd);
    area = OffsetRect(wr, -top.Left, -top.Top);
  }
  t.Origin = TPoint{area.Left, area.Top};
  // Clipped by every parent's client area.
  for (HWND p = w->Parent; p; p = Need(p).Parent) area = IntersectRect(area, GetWindowSurfaceRect(p));
  if (update) area = IntersectRect(area, OffsetRect(*update, t.Origin.X, t.Origin.Y));
  t.Clip = area;
  if (w->Style & WS_CLIPCHILDREN) {
    const TRect top = GetWindowRect(GetAncestorRoot(hwnd));
    // Children show inside the client area only: one still reaching past it (its parent just
    // shrank, its own move comes later) must not keep the frame from being drawn.
    const TRect client = GetWindowSurfaceRect(hwnd);
    for (HWND c : w->Children) {
      // A transparent child shows what its parent paints beneath it.
      const TWindowRec& k = Need(c);
      if (!(k.Style & WS_VISIBLE) || (k.ExStyle & WS_EX_TRANSPARENT)) continue;
      TRect r = IntersectRect(IntersectRect(OffsetRect(GetWindowRect(c), -top.Left, -top.Top), client), area);
      if (!r.IsEmpty()) t.Excluded.push_back(r);
    }
  }
  return AcquireDc(t);
}

}  // namespace

HDC GetDC(HWND hwnd) { return AcquireFor(hwnd, false, nullptr); }
HDC GetWindowDC(HWND hwnd) { return AcquireFor(hwnd, true, nullptr); }
HDC GetPaintDC(HWND hwnd, const TRect& update) { return AcquireFor(hwnd, false, &update); }

int ReleaseDC(HWND, HDC dc) {
  if (!dc) return 0;
  ReleaseDcHandle(dc);
  return 1;
}

bool LockWindowUpdate(HWND hwnd) {
  TWinState& s = WinState();
  if (hwnd && s.Locked && s.Locked != hwnd) return false;
  HWND old = s.Locked;
  s.Locked = hwnd;
  if (!hwnd && old && IsWindow(old)) InvalidateRect(old, nullptr, true);
  return true;
}

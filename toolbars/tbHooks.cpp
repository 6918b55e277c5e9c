#include "toolbars/tbHooks.h"

#include <algorithm>
#include <array>
#include <memory>

#include "platform/win/Hooks.h"
#include "platform/win/PaintContext.h"
#include "platform/win/Windows.h"

namespace {

struct TCallbackEntry {
  TtbHookProc Proc = nullptr;
  TtbHookEventKinds Kinds = 0;
  // What each registration installed, newest last.
  std::vector<TtbHookSet> Installed;
};

struct THookSlot {
  HHOOK Handle = 0;
  int RefCount = 0;
};

struct TRegistry {
  std::unique_ptr<std::vector<TCallbackEntry>> List;
  std::array<THookSlot, 3> Slots;
};

TRegistry& Registry() {
  static TRegistry r;
  return r;
}

constexpr int HookIds[3] = {WH_CALLWNDPROC, WH_CBT, WH_GETMESSAGE};

// Calls every entry that wants the kind, in list order; one that raises does not stop the rest.
void CallCallbacks(TtbHookEventKind kind, HWND wnd, WPARAM wp, LPARAM lp) {
  auto* list = Registry().List.get();
  if (!list) return;
  std::vector<TtbHookProc> procs;
  for (const TCallbackEntry& e : *list)
    if (e.Kinds & HookKind(kind)) procs.push_back(e.Proc);
  for (TtbHookProc p : procs) {
    try {
      p(kind, wnd, wp, lp);
    } catch (...) {
    }
  }
}

LRESULT CallWndProcHook(int code, WPARAM wp, LPARAM lp) {
  HHOOK self = Registry().Slots[hiCallWndProc].Handle;
  if (code == HC_ACTION && lp) {
    const auto* cwp = reinterpret_cast<const TCwpStruct*>(lp);
    if (cwp->message == WM_ACTIVATEAPP) CallCallbacks(hpeActivateApp, cwp->hwnd, cwp->wParam, cwp->lParam);
    else if (cwp->message == WM_WINDOWPOSCHANGED)
      CallCallbacks(hpeWindowPosChanged, cwp->hwnd, cwp->wParam, cwp->lParam);
  }
  return CallNextHookEx(self, code, wp, lp);
}

LRESULT CbtHook(int code, WPARAM wp, LPARAM lp) {
  HHOOK self = Registry().Slots[hiCBT].Handle;
  if (code == HCBT_DESTROYWND) CallCallbacks(hpeDestroyWindow, static_cast<HWND>(wp), 0, 0);
  return CallNextHookEx(self, code, wp, lp);
}

LRESULT GetMessageHook(int code, WPARAM wp, LPARAM lp) {
  HHOOK self = Registry().Slots[hiGetMessage].Handle;
  if (code == HC_ACTION && lp) {
    const auto* msg = reinterpret_cast<const TMsg*>(lp);
    if (msg->message == WM_MOUSEMOVE) CallCallbacks(hpeMouseMove, msg->hwnd, msg->wParam, msg->lParam);
  }
  return CallNextHookEx(self, code, wp, lp);
}

const HOOKPROC HookProcs[3] = {CallWndProcHook, CbtHook, GetMessageHook};

TCallbackEntry* FindEntry(TtbHookProc proc) {
  auto* list = Registry().List.get();
  if (!list) return nullptr;
  auto it = std::find_if(list->begin(), list->end(), [&](const TCallbackEntry& e) { return e.Proc == proc; });
  return it == list->end() ? nullptr : &*it;
}

}  // namespace

TtbHookSet HooksOfKinds(TtbHookEventKinds kinds) {
  TtbHookSet hooks = 0;
  if (kinds & (HookKind(hpeActivateApp) | HookKind(hpeWindowPosChanged))) hooks |= 1u << hiCallWndProc;
  if (kinds & HookKind(hpeDestroyWindow)) hooks |= 1u << hiCBT;
  if (kinds & HookKind(hpeMouseMove)) hooks |= 1u << hiGetMessage;
  return hooks;
}

void InstallHooks(TtbHookSet hooks) {
  for (unsigned i = 0; i < 3; ++i) {
    if (!(hooks & (1u << i))) continue;
    THookSlot& s = Registry().Slots[i];
    ++s.RefCount;
    if (!s.Handle) s.Handle = SetWindowsHookEx(HookIds[i], HookProcs[i], GetCurrentThreadId());
  }
}

void RemoveHooks(TtbHookSet hooks, bool forced) {
  for (unsigned i = 0; i < 3; ++i) {
    if (!(hooks & (1u << i))) continue;
    THookSlot& s = Registry().Slots[i];
    if (s.RefCount > 0) --s.RefCount;
    if ((s.RefCount == 0 || forced) && s.Handle) {
      UnhookWindowsHookEx(s.Handle);
      s.Handle = 0;
    }
  }
}

void RegisterHookCallback(TtbHookProc proc, TtbHookEventKinds kinds, bool designing) {
  auto& list = Registry().List;
  if (!list) list = std::make_unique<std::vector<TCallbackEntry>>();
  TCallbackEntry* e = FindEntry(proc);
  if (!e) {
    list->push_back(TCallbackEntry{proc, kinds, {}});
    e = &list->back();
  }
  TtbHookSet installed = designing ? 0 : HooksOfKinds(kinds);
  e->Installed.push_back(installed);
  InstallHooks(installed);
}

void UnregisterHookCallback(TtbHookProc proc) {
  auto& list = Registry().List;
  TCallbackEntry* e = FindEntry(proc);
  if (!e) return;
  TtbHookSet installed = e->Installed.back();
  e->Installed.pop_back();
  if (e->Installed.empty())
    list->erase(list->begin() + (e - list->data()));
  RemoveHooks(installed, false);
  if (list->empty()) list.reset();
}

bool HookInstalled(TtbHookIndex hook) { return Registry().Slots[hook].Handle != 0; }
int HookRefCount(TtbHookIndex hook) { return Registry().Slots[hook].RefCount; }
int RegisteredHookCallbackCount() {
  auto* list = Registry().List.get();
  return list ? static_cast<int>(list->size()) : 0;
}

void CloseDownHooks() {
  RemoveHooks((1u << hiCallWndProc) | (1u << hiCBT) | (1u << hiGetMessage), true);
  for (THookSlot& s : Registry().Slots) s.RefCount = 0;
  Registry().List.reset();
}

void SelectNCUpdateRgn(HWND wnd, TDeviceContext& dc, const TRegion* region, uintptr_t regionHandle) {
  if (regionHandle == 0 || regionHandle == 1) return;
  TRect wr = GetWindowRect(wnd);
  TRegion clip = region ? *region : TRegion(wr);
  if (clip.Empty()) clip = TRegion(wr);
  // Screen to window coordinates, then to the context's device pixels.
  TPoint org = dc.ViewportOrg();
  clip.Offset(org.X - wr.Left, org.Y - wr.Top);
  dc.ExtSelectClipRgn(&clip, RGN_AND);
}

LRESULT HandleWMPrint(TWinControl& control, HDC hdc, uint32_t flags, const TtbDrawNCProc& drawNC) {
  HWND wnd = control.Handle();
  TDeviceContext* dc = DeviceContextOf(hdc);
  if (!dc) return 1;
  if ((flags & PRF_CHECKVISIBLE) && !IsWindowVisible(wnd)) return 1;
  // Each step draws through the same handle, its origin and clip set for it and put back after.
  auto step = [&](auto&& body) {
    int saved = dc->SaveDC();
    try {
      body();
    } catch (...) {
      dc->RestoreDC(saved);
      throw;
    }
    dc->RestoreDC(saved);
  };
  TRect wr = GetWindowRect(wnd);
  if ((flags & PRF_NONCLIENT) && drawNC) step([&] { drawNC(*dc); });
  if (flags & PRF_CLIENT) step([&] {
      TPoint org = ClientToScreen(wnd, TPoint{0, 0});
      dc->OffsetViewportOrg(org.X - wr.Left, org.Y - wr.Top);
      if (flags & PRF_ERASEBKGND) SendMessage(wnd, WM_ERASEBKGND, hdc, 0);
      SendMessage(wnd, WM_PRINTCLIENT, hdc, static_cast<LPARAM>(flags));
    });
  if (flags & PRF_CHILDREN) {
    for (HWND child : GetChildWindows(wnd)) {
      if (!IsWindowVisible(child) || GetParent(child) != wnd) continue;
      step([&] {
        TRect cr = GetWindowRect(child);
        dc->OffsetViewportOrg(cr.Left - wr.Left, cr.Top - wr.Top);
        dc->IntersectClipRect(0, 0, cr.Width(), cr.Height());
        SendMessage(child, WM_PRINT, hdc, PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
      });
    }
  }
  if (flags & PRF_OWNED) {
    for (HWND top : GetChildWindows(0)) {
      if (GetWindow(top, GW_OWNER) != wnd || !IsWindowVisible(top)) continue;
      step([&] { SendMessage(top, WM_PRINT, hdc, static_cast<LPARAM>(flags)); });
    }
  }
  return 1;
}

LRESULT HandleWMPrintClient(TWinControl& control, HDC dc) {
  TDeviceContext* ctx = DeviceContextOf(dc);
  int saved = ctx ? ctx->SaveDC() : 0;
  try {
    control.Perform(WM_PAINT, dc, 0);
  } catch (...) {
    if (ctx) ctx->RestoreDC(saved);
    throw;
  }
  if (ctx) ctx->RestoreDC(saved);
  return 0;
}

LRESULT HandleWMNCCalcSize(LPARAM rect, const TRect& insets) {
  auto* r = reinterpret_cast<TRect*>(rect);
  r->Left += insets.Left;
  r->Top += insets.Top;
  r->Right = std::max(r->Left, r->Right - insets.Right);
  r->Bottom = std::max(r->Top, r->Bottom - insets.Bottom);
  return 0;
}

// The shared window hooks of the toolbars: callbacks hear of application activation, window moves,
// window destruction and mouse moves anywhere in the thread, through at most three hooks installed
// while someone needs them. Beside it: a sort with a context value, and WM_PRINT and WM_NCCALCSIZE
// for self-drawn frames.
#pragma once

#include <functional>
#include <vector>

#include "platform/classlib/Controls.h"
#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/Region.h"

// Event kinds, as bits of a set.
enum TtbHookEventKind : unsigned {
  hpeActivateApp = 0,      // WM_ACTIVATEAPP sent to a window of the thread
  hpeWindowPosChanged = 1, // WM_WINDOWPOSCHANGED sent to a window of the thread
  hpeDestroyWindow = 2,    // a window is being destroyed
  hpeMouseMove = 3,        // WM_MOUSEMOVE taken from the thread's queue
};
using TtbHookEventKinds = unsigned;
constexpr TtbHookEventKinds HookKind(TtbHookEventKind k) { return 1u << k; }

// The three hooks the kinds need, as bits of a set.
enum TtbHookIndex : unsigned { hiCallWndProc = 0, hiCBT = 1, hiGetMessage = 2 };
using TtbHookSet = unsigned;
TtbHookSet HooksOfKinds(TtbHookEventKinds kinds);

// A callback is a plain procedure; it is told apart from others by its address.
using TtbHookProc = void (*)(TtbHookEventKind kind, HWND wnd, WPARAM wParam, LPARAM lParam);

// A callback already listed keeps its first kinds and counts one more registration. Each
// registration remembers the hooks it installed for its kinds (none while designing), and
// unregistering takes away exactly those of the latest one.
void RegisterHookCallback(TtbHookProc proc, TtbHookEventKinds kinds, bool designing = false);
void UnregisterHookCallback(TtbHookProc proc);
void InstallHooks(TtbHookSet hooks);
void RemoveHooks(TtbHookSet hooks, bool forced);
// Whether a hook is installed now, and how many users count on it.
bool HookInstalled(TtbHookIndex hook);
int HookRefCount(TtbHookIndex hook);
int RegisteredHookCallbackCount();
// Close-down: every hook goes, whatever the counts, and the list is freed.
void CloseDownHooks();

// Quicksort with the middle item as pivot, ascending by the comparer's answer.
template <class T, class Context>
void ListSortEx(std::vector<T>& list, int (*compare)(const T& a, const T& b, Context context), Context context) {
  std::function<void(int, int)> sort = [&](int l, int r) {
    while (l < r) {
      int i = l, j = r;
      T pivot = list[static_cast<size_t>((l + r) / 2)];
      do {
        while (compare(list[static_cast<size_t>(i)], pivot, context) < 0) ++i;
        while (compare(list[static_cast<size_t>(j)], pivot, context) > 0) --j;
        if (i <= j) {
          std::swap(list[static_cast<size_t>(i)], list[static_cast<size_t>(j)]);
          ++i;
          --j;
        }
      } while (i <= j);
      if (l < j) sort(l, j);
      l = i;
    }
  };
  if (list.size() > 1) sort(0, static_cast<int>(list.size()) - 1);
}

// Clips dc to the update region of a WM_NCPAINT (given in screen coordinates) in window
// coordinates; region handles 0 and 1 mean the whole window and leave dc alone.
void SelectNCUpdateRgn(HWND wnd, TDeviceContext& dc, const TRegion* region, uintptr_t regionHandle);

// WM_PRINT for a window that draws its own frame with drawNC; the answer is 1.
using TtbDrawNCProc = std::function<void(TDeviceContext& dc)>;
LRESULT HandleWMPrint(TWinControl& control, HDC dc, uint32_t flags, const TtbDrawNCProc& drawNC);
// WM_PRINTCLIENT: the control's paint handler on the given context.
LRESULT HandleWMPrintClient(TWinControl& control, HDC dc);
// WM_NCCALCSIZE for a window whose frame takes insets from each side; the client area never
// turns inside out. The answer is 0.
LRESULT HandleWMNCCalcSize(LPARAM rect, const TRect& insets);

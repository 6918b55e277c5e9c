#include "platform/win/WindowTree.h"

#include <algorithm>

#include "platform/win/DisplayBackend.h"
#include "platform/win/WindowGeometry.h"
#include "platform/win/WindowPos.h"

namespace winsys {

namespace {

bool Topmost(HWND h) { return Need(h).ExStyle & WS_EX_TOPMOST; }

}  // namespace

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

TWindowRec& TopOf(HWND hwnd) {
  TWindowRec* w = &Need(hwnd);
  while (w->Parent) w = &Need(w->Parent);
  return *w;
}

}  // namespace winsys

using namespace winsys;

bool IsChild(HWND parent, HWND hwnd) {
  TWindowRec* w = FindWindowRec(hwnd);
  while (w && w->Parent) {
    if (w->Parent == parent) return true;
    w = FindWindowRec(w->Parent);
  }
  return false;
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

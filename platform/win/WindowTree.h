// The window tree the window units share: records by handle, sibling lists in stacking order
// (topmost band first, owned windows above their owner) and the top-level window of any window.
#pragma once

#include <vector>

#include "platform/win/WinState.h"

namespace winsys {

inline constexpr HWND DesktopHandle = 0x10000;

// The record of a live window; throws EWindowError for a handle that is gone.
TWindowRec& Need(HWND hwnd);
std::vector<HWND>& SiblingList(TWindowRec& w);
void Unlink(TWindowRec& w);
// Owned windows sit above their owner, as the desktop shows them: w goes no lower than its owner,
// and what w owns, directly or through others, comes right above it in the order it had.
void KeepOwnedAbove(std::vector<HWND>& list, TWindowRec& w);
// Places w in its sibling list after insertAfter (or at the top / bottom).
void Link(TWindowRec& w, HWND insertAfter);
TWindowRec& TopOf(HWND hwnd);
// Top-level windows that the display shows: not children, not message-only.
inline bool Shown(const TWindowRec& w) { return !w.Parent && !w.MessageOnly; }

}  // namespace winsys

// The window system's records, shared by its units; not for callers outside platform/win.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "platform/win/WindowSurface.h"
#include "platform/win/Windows.h"

struct TWindowRec {
  HWND Handle = 0;
  AnsiString ClassName;
  uint32_t ClassStyle = 0;
  int64_t Background = -1;
  WNDPROC Proc;
  uint32_t Style = 0;
  uint32_t ExStyle = 0;
  HWND Parent = 0;  // 0 for top-level windows
  HWND Owner = 0;
  bool MessageOnly = false;
  std::vector<HWND> Children;  // top first
  TRect Bounds;                // window rectangle in the parent's client coordinates (screen for top-level)
  TRect Client;                // client rectangle in the same coordinates
  TRect NormalBounds;          // restored bounds while minimised or maximised
  AnsiString Text;
  intptr_t Id = 0;
  intptr_t UserData = 0;
  std::map<AnsiString, intptr_t> Props;
  bool Destroying = false;
  bool Created = false;
  TRect Update;  // client coordinates; empty when valid
  bool UpdateErase = false;
  bool FramePending = false;  // painted over by its parent: the frame draws again with the next paint
  bool Redraw = true;
  bool NcActive = false;  // the caption's look as WM_NCACTIVATE last set it
  std::unique_ptr<TWindowSurface> Surface;  // top-level windows only
};

struct TQueued {
  TMsg Msg;
};

struct TTimerRec {
  HWND Window = 0;
  uintptr_t Id = 0;
  uint32_t Elapse = 0;
  uint64_t Due = 0;
  TIMERPROC Proc;
};

struct TWinState {
  std::map<AnsiString, TWndClass> Classes;
  std::map<HWND, std::unique_ptr<TWindowRec>> Windows;
  std::vector<HWND> TopLevel;  // top first; topmost windows lead
  HWND NextHandle = 0x10010;
  HWND Focus = 0;
  HWND Active = 0;
  HWND Capture = 0;
  HWND Locked = 0;
  std::deque<TMsg> Posted;
  std::deque<TMsg> InputQueue;
  bool QuitPending = false;
  int QuitCode = 0;
  std::vector<TTimerRec> Timers;
  uintptr_t NextTimerId = 1;
  uint32_t LastMessageTime = 0;
  TPoint LastMessagePos;
  std::unique_ptr<TWindowSurface> Desktop;  // made on first use, screen-sized
};

TWinState& WinState();
TWindowRec* FindWindowRec(HWND hwnd);
// The first window in paint order that needs WM_PAINT and passes the filter.
HWND FindWindowToPaint(HWND filter);
void KillWindowTimers(HWND hwnd);
void MouseActivate(HWND target, UINT msg, int hit, bool& eat);
HDC AcquireDc(const TDcTarget& target);
void ReleaseDcHandle(HDC dc);
HDC GetPaintDC(HWND hwnd, const TRect& update);
// Hands the changed parts of visible back buffers to the display backend.
void PresentChangedWindows();
void ForgetDeviceContexts();

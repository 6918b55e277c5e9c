// The thread's message queue: posted messages, input, paint and timer messages, quit.
#pragma once

#include "platform/win/Messages.h"
#include "platform/win/WinTypes.h"

bool PostMessage(HWND hwnd, UINT msg, WPARAM wp = 0, LPARAM lp = 0);
bool PostThreadMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0);
void PostQuitMessage(int exitCode);
// A pending quit is reported whatever the filter. hwnd filter: 0 any, a window means it and its
// children, HWND -1 only messages without a window.
bool PeekMessage(TMsg& msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
// False on WM_QUIT.
bool GetMessage(TMsg& msg, HWND hwnd = 0, UINT filterMin = 0, UINT filterMax = 0);
bool TranslateMessage(const TMsg& msg);
LRESULT DispatchMessage(const TMsg& msg);
// Waits until something may be pending: the backend's input or the next timer.
void WaitMessage();
bool HasPendingMessages();

uintptr_t SetTimer(HWND hwnd, uintptr_t id, uint32_t elapseMs, TIMERPROC proc = nullptr);
bool KillTimer(HWND hwnd, uintptr_t id);

uint32_t GetMessageTime();
TPoint GetMessagePos();

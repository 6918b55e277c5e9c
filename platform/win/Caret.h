// The one caret of the application, drawn by inverting the window's pixels and blinked from the
// message loop.
#pragma once

#include "platform/win/WinTypes.h"

bool CreateCaret(HWND hwnd, int width, int height);
bool DestroyCaret();
bool ShowCaret(HWND hwnd);
bool HideCaret(HWND hwnd);
bool SetCaretPos(int x, int y);
TPoint GetCaretPos();
void SetCaretBlinkTime(uint32_t ms);
uint32_t GetCaretBlinkTime();
HWND CaretWindow();
bool CaretShown();  // created, not hidden and its blink phase on

// Used by the window system.
void BlinkCaret();
// When the caret next changes phase; UINT64_MAX when it does not blink.
uint64_t NextCaretBlink();
void CaretWindowDestroyed(HWND hwnd);
void ResetCaret();

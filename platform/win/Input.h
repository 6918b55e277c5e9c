// Input from the display turned into messages, and the key, button and cursor state it leaves.
// The headless backend takes input from these calls only; a display backend calls them too.
#pragma once

#include "platform/win/WinTypes.h"

enum class TMouseButton { Left, Right, Middle };

// typed: the character the key types in the display's keyboard layout, for TranslateMessage.
void InjectKeyDown(uint16_t vk, int typed = TypedByLayout);
void InjectKeyUp(uint16_t vk);
void InjectKeyPress(uint16_t vk);  // down and up
void InjectChar(uint8_t ch);       // a character in the code page, as a WM_CHAR
void InjectMouseMove(int x, int y);  // screen coordinates
void InjectMouseDown(TMouseButton b, int x, int y);
void InjectMouseUp(TMouseButton b, int x, int y);
void InjectClick(TMouseButton b, int x, int y);
void InjectWheel(int delta, int x, int y);
// The pointer went over a window of another program, or the bare screen: the cursor is there, and
// no window of ours hears of it.
void InjectPointerLeft(int x, int y);
// The application lost the display's focus: the active window is deactivated.
void InjectAppDeactivate();

// State as of the last message taken from the queue: bit 15 down, bit 0 toggled.
int16_t GetKeyState(int vk);
// State of the device now.
int16_t GetAsyncKeyState(int vk);
bool GetCursorPos(TPoint& p);
bool SetCursorPos(int x, int y);
bool ClipCursor(const TRect* r);
int SetCursor(int cursor);
int GetCursor();
uint32_t GetDoubleClickTime();

// Used by the queue when it hands out an input message.
void InputMessageTaken(const TMsg& msg);
void ResetInput();

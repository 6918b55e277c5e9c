// Windows as objects behind integer handles: classes, creation and destruction, relations, bounds
// with the non-client frame, default processing, sent messages, positions, focus, activation,
// capture and painting.
#pragma once

#include <vector>

#include "platform/rtl/Exceptions.h"
#include "platform/win/Messages.h"
#include "platform/win/WinTypes.h"
#include "platform/win/WindowStyles.h"

QUORVEX_EXCEPTION(EWindowError, Exception);

bool RegisterClass(const TWndClass& wc);  // false when the name is taken
bool UnregisterClass(const AnsiString& name);
bool GetClassInfo(const AnsiString& name, TWndClass& wc);
AnsiString GetClassName(HWND hwnd);

HWND CreateWindowEx(uint32_t exStyle, const AnsiString& className, const AnsiString& windowName,
                    uint32_t style, int x, int y, int width, int height, HWND parent, intptr_t id = 0,
                    void* param = nullptr);
bool DestroyWindow(HWND hwnd);
bool IsWindow(HWND hwnd);
bool IsChild(HWND parent, HWND hwnd);
bool IsWindowVisible(HWND hwnd);  // the window and all its parents
bool IsWindowEnabled(HWND hwnd);
bool EnableWindow(HWND hwnd, bool enable);  // returns whether it was disabled
bool IsIconic(HWND hwnd);
bool IsZoomed(HWND hwnd);

HWND GetParent(HWND hwnd);  // the parent of a child, else the owner
HWND SetParent(HWND hwnd, HWND parent);
HWND GetWindow(HWND hwnd, unsigned relation);
HWND GetAncestorRoot(HWND hwnd);
HWND GetDesktopWindow();
HWND GetTopWindow(HWND parent);  // 0 for the top-level windows
// Children of parent (0 for the top-level windows) from top to bottom.
std::vector<HWND> GetChildWindows(HWND parent);
intptr_t GetWindowLongPtr(HWND hwnd, int index);
intptr_t SetWindowLongPtr(HWND hwnd, int index, intptr_t value);
WNDPROC GetWindowProc(HWND hwnd);
WNDPROC SetWindowProc(HWND hwnd, WNDPROC proc);  // returns the previous procedure
LRESULT CallWindowProc(const WNDPROC& proc, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
bool SetProp(HWND hwnd, const AnsiString& name, intptr_t value);
intptr_t GetProp(HWND hwnd, const AnsiString& name);
intptr_t RemoveProp(HWND hwnd, const AnsiString& name);

bool SetWindowText(HWND hwnd, const AnsiString& text);
AnsiString GetWindowText(HWND hwnd);

// Window rectangle in screen coordinates; client rectangle at 0,0.
TRect GetWindowRect(HWND hwnd);
TRect GetClientRect(HWND hwnd);
TPoint ClientToScreen(HWND hwnd, TPoint p);
TPoint ScreenToClient(HWND hwnd, TPoint p);
// Frame widths that a style adds around the client area (as left, top, right, bottom insets).
TRect NonClientInsets(uint32_t style, uint32_t exStyle);
bool AdjustWindowRectEx(TRect& r, uint32_t style, uint32_t exStyle);
HWND WindowFromPoint(TPoint screen);
HWND ChildWindowFromPoint(HWND parent, TPoint client);
TRect GetWorkArea();

LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
// Runs the window's procedure now, after the call-window hooks; 0 for a window that is gone.
LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wp = 0, LPARAM lp = 0);

bool SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, uint32_t flags);
bool MoveWindow(HWND hwnd, int x, int y, int width, int height, bool repaint = true);
bool ShowWindow(HWND hwnd, int cmd);  // returns whether it was visible
bool BringWindowToTop(HWND hwnd);

HWND SetFocus(HWND hwnd);
HWND GetFocus();
HWND SetActiveWindow(HWND hwnd);
HWND GetActiveWindow();
bool SetForegroundWindow(HWND hwnd);
HWND GetForegroundWindow();
HWND SetCapture(HWND hwnd);
bool ReleaseCapture();
HWND GetCapture();

bool InvalidateRect(HWND hwnd, const TRect* rect, bool erase);
bool ValidateRect(HWND hwnd, const TRect* rect);
bool GetUpdateRect(HWND hwnd, TRect* rect, bool erase = false);
bool UpdateWindow(HWND hwnd);
bool RedrawWindow(HWND hwnd, const TRect* rect, unsigned flags);
HDC BeginPaint(HWND hwnd, TPaintStruct& ps);
bool EndPaint(HWND hwnd, const TPaintStruct& ps);
HDC GetDC(HWND hwnd);        // client area
HDC GetWindowDC(HWND hwnd);  // whole window
int ReleaseDC(HWND hwnd, HDC dc);
bool LockWindowUpdate(HWND hwnd);

// Forgets every window, class, timer, hook and queued message: tests start from nothing.
void ResetWindowSystem();

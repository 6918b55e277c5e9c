// Handles, message parameters and the structures that messages point at.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/rtl/AnsiString.h"

#include "platform/gdi/GdiTypes.h"

using HWND = uint32_t;  // 0 is no window; handles are never reused within a run
using HDC = uintptr_t;
using HHOOK = uint32_t;
using UINT = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

inline const HWND HWND_TOP = 0;
inline const HWND HWND_BOTTOM = 1;
inline const HWND HWND_TOPMOST = static_cast<HWND>(-1);
inline const HWND HWND_NOTOPMOST = static_cast<HWND>(-2);
inline const HWND HWND_MESSAGE = static_cast<HWND>(-3);
constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);

using WNDPROC = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;
using TIMERPROC = std::function<void(HWND, UINT, uintptr_t, uint32_t)>;
using HOOKPROC = std::function<LRESULT(int code, WPARAM, LPARAM)>;

constexpr uint16_t LOWORD(uintptr_t v) { return static_cast<uint16_t>(v & 0xFFFF); }
constexpr uint16_t HIWORD(uintptr_t v) { return static_cast<uint16_t>((v >> 16) & 0xFFFF); }
constexpr LPARAM MAKELPARAM(int lo, int hi) {
  return static_cast<LPARAM>(static_cast<int32_t>((static_cast<uint32_t>(lo) & 0xFFFF) |
                                                  ((static_cast<uint32_t>(hi) & 0xFFFF) << 16)));
}
constexpr WPARAM MAKEWPARAM(int lo, int hi) {
  return static_cast<WPARAM>((static_cast<uint32_t>(lo) & 0xFFFF) | ((static_cast<uint32_t>(hi) & 0xFFFF) << 16));
}
// Signed coordinates packed in an lParam.
constexpr int GET_X_LPARAM(LPARAM lp) { return static_cast<int16_t>(lp & 0xFFFF); }
constexpr int GET_Y_LPARAM(LPARAM lp) { return static_cast<int16_t>((lp >> 16) & 0xFFFF); }
constexpr int GET_WHEEL_DELTA_WPARAM(WPARAM wp) { return static_cast<int16_t>((wp >> 16) & 0xFFFF); }

struct TMsg {
  HWND hwnd = 0;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  uint32_t time = 0;
  TPoint pt;
  // For a key press from a display that knows its keyboard layout: the character it types
  // (TypesNothing for none); TypedByLayout lets TranslateMessage use the standard layout.
  int typed = -1;
};
constexpr int TypedByLayout = -1;
constexpr int TypesNothing = -2;

struct TCreateStruct {
  void* lpCreateParams = nullptr;
  intptr_t id = 0;
  HWND hwndParent = 0;
  int cy = 0, cx = 0, y = 0, x = 0;
  uint32_t style = 0;
  const char* lpszName = "";
  const char* lpszClass = "";
  uint32_t dwExStyle = 0;
};

struct TWindowPos {
  HWND hwnd = 0;
  HWND hwndInsertAfter = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  uint32_t flags = 0;
};

// lParam of the call-window hook.
struct TCwpStruct {
  LPARAM lParam = 0;
  WPARAM wParam = 0;
  UINT message = 0;
  HWND hwnd = 0;
};

struct TPaintStruct {
  HDC hdc = 0;
  bool fErase = false;
  TRect rcPaint;
};

struct TWndClass {
  uint32_t style = 0;
  WNDPROC lpfnWndProc;
  AnsiString lpszClassName;
  // Background for WM_ERASEBKGND; none when negative.
  int64_t hbrBackground = -1;
  int hCursor = 0;
};

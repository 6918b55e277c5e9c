#include "platform/vcl/HiddenWindow.h"

#include "platform/win/Windows.h"

namespace {

constexpr const char* HiddenWindowClass = "TPUtilWindow";

// Registered on demand: tests reset the window system, classes included.
bool EnsureClass() {
  TWndClass wc;
  if (GetClassInfo(HiddenWindowClass, wc)) return true;
  wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProc(h, m, w, l); };
  wc.lpszClassName = HiddenWindowClass;
  return RegisterClass(wc);
}

}  // namespace

HWND AllocateHWnd(WNDPROC proc) {
  if (!EnsureClass()) return 0;
  HWND h = CreateWindowEx(WS_EX_TOOLWINDOW, HiddenWindowClass, "", WS_POPUP, 0, 0, 0, 0, HWND_MESSAGE);
  if (h && proc) SetWindowProc(h, std::move(proc));
  return h;
}

// DeallocateHWnd is the class library's (Controls.cpp): it destroys these windows as well.

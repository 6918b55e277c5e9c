#include "platform/win/MoveSize.h"

#include <algorithm>

#include "platform/win/DisplayBackend.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Messages.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/WindowStyles.h"
#include "platform/win/Windows.h"

namespace {

bool SizesLeft(int hit) { return hit == HTLEFT || hit == HTTOPLEFT || hit == HTBOTTOMLEFT; }
bool SizesRight(int hit) { return hit == HTRIGHT || hit == HTTOPRIGHT || hit == HTBOTTOMRIGHT; }
bool SizesTop(int hit) { return hit == HTTOP || hit == HTTOPLEFT || hit == HTTOPRIGHT; }
bool SizesBottom(int hit) { return hit == HTBOTTOM || hit == HTBOTTOMLEFT || hit == HTBOTTOMRIGHT; }

void Follow(HWND hwnd, int hit, const TRect& old, TPoint start, TPoint now) {
  int dx = now.X - start.X, dy = now.Y - start.Y;
  constexpr uint32_t flags = SWP_NOZORDER | SWP_NOACTIVATE;
  if (hit == HTCAPTION) {
    SetWindowPos(hwnd, 0, old.Left + dx, old.Top + dy, 0, 0, flags | SWP_NOSIZE);
    return;
  }
  TRect r = old;
  if (SizesLeft(hit)) r.Left += dx;
  if (SizesRight(hit)) r.Right += dx;
  if (SizesTop(hit)) r.Top += dy;
  if (SizesBottom(hit)) r.Bottom += dy;
  // Never smaller than the frame and caption themselves.
  TRect in = NonClientInsets(static_cast<uint32_t>(GetWindowLongPtr(hwnd, GWL_STYLE)),
                             static_cast<uint32_t>(GetWindowLongPtr(hwnd, GWL_EXSTYLE)));
  int minW = in.Left + in.Right, minH = in.Top + in.Bottom;
  if (r.Width() < minW) (SizesLeft(hit) ? r.Left = r.Right - minW : r.Right = r.Left + minW);
  if (r.Height() < minH) (SizesTop(hit) ? r.Top = r.Bottom - minH : r.Bottom = r.Top + minH);
  SetWindowPos(hwnd, 0, r.Left, r.Top, r.Width(), r.Height(), flags);
  if (!IsWindow(hwnd)) return;
  // A window that keeps a size of its own keeps its far edges where they were.
  TRect got = GetWindowRect(hwnd);
  int x = SizesLeft(hit) ? r.Right - got.Width() : got.Left;
  int y = SizesTop(hit) ? r.Bottom - got.Height() : got.Top;
  if (x != got.Left || y != got.Top) SetWindowPos(hwnd, 0, x, y, 0, 0, flags | SWP_NOSIZE);
}

bool IsInput(UINT m) {
  return (m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST) ||
         (m >= WM_NCMOUSEMOVE && m <= WM_NCRBUTTONUP);
}

}  // namespace

bool IsSizingHit(int hit) { return SizesLeft(hit) || SizesRight(hit) || SizesTop(hit) || SizesBottom(hit); }

void RunMoveSize(HWND hwnd, int hit, TPoint start) {
  if (!IsWindow(hwnd) || (hit != HTCAPTION && !IsSizingHit(hit))) return;
  TRect old = GetWindowRect(hwnd);
  SetCapture(hwnd);
  if (GetCapture() != hwnd) return;
  SendMessage(hwnd, WM_ENTERSIZEMOVE, 0, 0);
  bool restore = false;
  while (IsWindow(hwnd) && GetCapture() == hwnd) {
    TMsg m;
    if (!PeekMessage(m, 0, 0, 0, PM_REMOVE)) {
      // The headless display gets nothing more once its queue is empty: that ends the drag.
      if (!DisplayBackend().BringsInput()) break;
      WaitMessage();
      continue;
    }
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));
      break;
    }
    if (m.message == WM_MOUSEMOVE || m.message == WM_NCMOUSEMOVE) {
      Follow(hwnd, hit, old, start, m.pt);
    } else if (m.message == WM_LBUTTONUP || m.message == WM_NCLBUTTONUP) {
      Follow(hwnd, hit, old, start, m.pt);
      break;
    } else if ((m.message == WM_KEYDOWN || m.message == WM_SYSKEYDOWN) && m.wParam == VK_ESCAPE) {
      restore = true;
      break;
    } else if (!IsInput(m.message)) {
      DispatchMessage(m);  // paint and timers go on while the pointer drags
    }
  }
  if (!IsWindow(hwnd)) return;
  if (restore)
    SetWindowPos(hwnd, 0, old.Left, old.Top, old.Width(), old.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
  if (GetCapture() == hwnd) ReleaseCapture();
  if (IsWindow(hwnd)) SendMessage(hwnd, WM_EXITSIZEMOVE, 0, 0);
}

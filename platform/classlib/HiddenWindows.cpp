#include "platform/classlib/HiddenWindows.h"

#include <map>

#include "platform/classlib/Forms.h"
#include "platform/win/PaintContext.h"
#include "platform/win/Windows.h"

namespace {

// Registered with the library's first window; missing again after the window system was reset.
const AnsiString MarkerClass = "TQuorvexWindowing";

// Kept for the whole process: windows may still be freed while the process ends.
std::map<HWND, std::function<void(TMessage&)>>& HiddenHandlers() {
  static auto* h = new std::map<HWND, std::function<void(TMessage&)>>;
  return *h;
}

}  // namespace

void EnsureWindowing() {
  TWndClass wc;
  if (GetClassInfo(MarkerClass, wc)) return;
  wc.lpszClassName = MarkerClass;
  wc.lpfnWndProc = DefWindowProc;
  RegisterClass(wc);
  UseGdiDeviceContexts();
}

HWND AllocateHWnd(std::function<void(TMessage&)> handler) {
  EnsureWindowing();
  const AnsiString cls = "TQuorvexUtilWindow";
  TWndClass wc;
  if (!GetClassInfo(cls, wc)) {
    wc = TWndClass{};
    wc.lpszClassName = cls;
    wc.lpfnWndProc = [](HWND h, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
      auto it = HiddenHandlers().find(h);
      if (it == HiddenHandlers().end()) return DefWindowProc(h, msg, wp, lp);
      auto handler = it->second;  // a copy: the handler may free the window
      TMessage m{msg, wp, lp, 0};
      try {
        handler(m);
      } catch (...) {
        Application().HandleCurrentException();
      }
      return m.Result;
    };
    RegisterClass(wc);
  }
  HWND h = CreateWindowEx(0, cls, "", WS_POPUP, 0, 0, 0, 0, HWND_MESSAGE);
  if (!h) throw EOutOfResources("Error creating window");
  HiddenHandlers()[h] = std::move(handler);
  return h;
}

void DeallocateHWnd(HWND hwnd) {
  HiddenHandlers().erase(hwnd);
  if (IsWindow(hwnd)) DestroyWindow(hwnd);
}

// Long values, styles, procedures, properties and text of a window.
#include <algorithm>

#include "platform/win/DisplayBackend.h"
#include "platform/win/WindowTree.h"

using namespace winsys;

intptr_t GetWindowLongPtr(HWND hwnd, int index) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return 0;
  switch (index) {
    case GWL_STYLE: return static_cast<intptr_t>(w->Style);
    case GWL_EXSTYLE: return static_cast<intptr_t>(w->ExStyle);
    case GWL_USERDATA: return w->UserData;
    case GWL_ID: return w->Id;
    case GWL_HWNDPARENT: return static_cast<intptr_t>(w->Parent ? w->Parent : w->Owner);
  }
  return 0;
}

intptr_t SetWindowLongPtr(HWND hwnd, int index, intptr_t value) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return 0;
  intptr_t old = GetWindowLongPtr(hwnd, index);
  switch (index) {
    case GWL_STYLE:
      // Visibility changes through ShowWindow only.
      w->Style = (static_cast<uint32_t>(value) & ~WS_VISIBLE) | (w->Style & WS_VISIBLE);
      break;
    case GWL_EXSTYLE: {
      uint32_t was = w->ExStyle;
      w->ExStyle = static_cast<uint32_t>(value);
      if (!w->Parent && ((was ^ w->ExStyle) & WS_EX_TOPMOST)) Link(*w, HWND_TOP);
      if (Shown(*w) && w->Created && ((was ^ w->ExStyle) & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW)))
        DisplayBackend().WindowRestyled(hwnd);
      break;
    }
    case GWL_USERDATA: w->UserData = value; break;
    case GWL_ID: w->Id = value; break;
    case GWL_HWNDPARENT:
      if (!w->Parent) {
        w->Owner = IsWindow(static_cast<HWND>(value)) ? static_cast<HWND>(value) : 0;
        if (w->Owner && !w->MessageOnly) {
          std::vector<HWND>& list = WinState().TopLevel;
          const std::vector<HWND> before = list;
          KeepOwnedAbove(list, *w);
          if (list != before) DisplayBackend().WindowsRestacked();
        }
        if (Shown(*w) && w->Created) DisplayBackend().WindowRestyled(hwnd);
      }
      break;
  }
  return old;
}

WNDPROC GetWindowProc(HWND hwnd) {
  TWindowRec* w = FindWindowRec(hwnd);
  return w ? w->Proc : WNDPROC{};
}

WNDPROC SetWindowProc(HWND hwnd, WNDPROC proc) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return {};
  WNDPROC old = std::move(w->Proc);
  w->Proc = std::move(proc);
  return old;
}

LRESULT CallWindowProc(const WNDPROC& proc, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  return proc ? proc(hwnd, msg, wp, lp) : DefWindowProc(hwnd, msg, wp, lp);
}

bool SetProp(HWND hwnd, const AnsiString& name, intptr_t value) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return false;
  w->Props[name] = value;
  return true;
}

intptr_t GetProp(HWND hwnd, const AnsiString& name) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return 0;
  auto it = w->Props.find(name);
  return it == w->Props.end() ? 0 : it->second;
}

intptr_t RemoveProp(HWND hwnd, const AnsiString& name) {
  intptr_t v = GetProp(hwnd, name);
  if (TWindowRec* w = FindWindowRec(hwnd)) w->Props.erase(name);
  return v;
}

bool SetWindowText(HWND hwnd, const AnsiString& text) {
  return IsWindow(hwnd) && SendMessage(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) != 0;
}

AnsiString GetWindowText(HWND hwnd) {
  if (!IsWindow(hwnd)) return {};
  auto len = SendMessage(hwnd, WM_GETTEXTLENGTH, 0, 0);
  if (len <= 0) return {};
  AnsiString buf(static_cast<size_t>(len) + 1, '\0');
  auto got = SendMessage(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()));
  buf.resize(static_cast<size_t>(std::clamp<LRESULT>(got, 0, len)));
  return buf;
}

// The connection to the X server, its atoms and the screen; the windows, the manager, events, the
// clipboard and drawing are carried out in the X11*.cpp beside this one over X11BackendImpl.h.
#include "platform/win/X11Backend.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdlib>

#include "platform/win/X11BackendImpl.h"

namespace {

// A request on a window the server has already dropped, or focus on one not yet viewable, is
// no reason to end the program.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

}  // namespace

TX11Backend::TX11Backend(const char* displayName) : F(std::make_unique<TImpl>()) {
  const char* name = displayName ? displayName : std::getenv("DISPLAY");
  if (!name || !*name) throw EDisplayError("Cannot open the display: DISPLAY is not set");
  F->Dpy = XOpenDisplay(name);
  if (!F->Dpy) throw EDisplayError("Cannot open the display: %s", {AnsiString(name)});
  XSetErrorHandler(IgnoreXError);
  Display* d = F->Dpy;
  F->Screen = DefaultScreen(d);
  F->Root = RootWindow(d, F->Screen);
  F->Vis = DefaultVisual(d, F->Screen);
  F->Depth = DefaultDepth(d, F->Screen);
  F->Helper = XCreateSimpleWindow(d, F->Root, -10, -10, 1, 1, 0, 0, 0);
  XSelectInput(d, F->Helper, PropertyChangeMask);
  XSelectInput(d, F->Root, PropertyChangeMask);
  F->CopyGc = XCreateGC(d, F->Root, 0, nullptr);
  // Held keys repeat as presses only, so a repeat is not read as a release.
  XkbSetDetectableAutoRepeat(d, True, nullptr);
  F->Protocols = F->Intern("WM_PROTOCOLS");
  F->DeleteWindow = F->Intern("WM_DELETE_WINDOW");
  F->Clipboard = F->Intern("CLIPBOARD");
  F->Utf8 = F->Intern("UTF8_STRING");
  F->Targets = F->Intern("TARGETS");
  F->Text = F->Intern("TEXT");
  F->NetName = F->Intern("_NET_WM_NAME");
  F->MotifHints = F->Intern("_MOTIF_WM_HINTS");
  F->NetSupported = F->Intern("_NET_SUPPORTED");
  F->NetMoveResize = F->Intern("_NET_WM_MOVERESIZE");
  F->NetState = F->Intern("_NET_WM_STATE");
  F->NetType = F->Intern("_NET_WM_WINDOW_TYPE");
  F->NetUtility = F->Intern("_NET_WM_WINDOW_TYPE_UTILITY");
  F->NetNormal = F->Intern("_NET_WM_WINDOW_TYPE_NORMAL");
  F->NetWorkArea = F->Intern("_NET_WORKAREA");
  F->Incoming = F->Intern("QUORVEX_SELECTION");
  F->NetPid = F->Intern("_NET_WM_PID");
  F->NetIcon = F->Intern("_NET_WM_ICON");
  F->NetDialog = F->Intern("_NET_WM_WINDOW_TYPE_DIALOG");
  F->NetCheck = F->Intern("_NET_SUPPORTING_WM_CHECK");
  F->WmState = F->Intern("WM_STATE");
  F->NetActive = F->Intern("_NET_ACTIVE_WINDOW");
  F->NetFrameExtents = F->Intern("_NET_FRAME_EXTENTS");
  F->Incr = F->Intern("INCR");
  const char* states[] = {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_MODAL",
                          "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ"};
  for (int i = 0; i < TImpl::StateCount; ++i) F->StateAtoms[i] = F->Intern(states[i]);
  F->Managed = F->FindManager();
  F->ReadWorkArea();
}

TX11Backend::~TX11Backend() {
  Display* d = F->Dpy;
  for (auto& [h, w] : F->Windows) XDestroyWindow(d, w);
  for (auto& [shape, c] : F->Cursors) XFreeCursor(d, c);
  if (F->XorGc) XFreeGC(d, F->XorGc);
  if (F->Stipple) XFreePixmap(d, F->Stipple);
  XFreeGC(d, F->CopyGc);
  XDestroyWindow(d, F->Helper);
  XCloseDisplay(d);
}

std::vector<long> TX11Backend::TImpl::Longs(Window w, Atom name, Atom type, long most) {
  Atom actual = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::vector<long> items;
  if (XGetWindowProperty(Dpy, w, name, 0, most, False, type, &actual, &format, &count, &after, &data) == Success &&
      data) {
    if (format == 32) {
      auto* v = reinterpret_cast<long*>(data);  // 32-bit items arrive as longs
      items.assign(v, v + count);
    }
    XFree(data);
  }
  return items;
}

void TX11Backend::TImpl::ReadWorkArea() {
  Work = TRect{0, 0, DisplayWidth(Dpy, Screen), DisplayHeight(Dpy, Screen)};
  const std::vector<long> v = Longs(Root, NetWorkArea, XA_CARDINAL, 4);
  if (v.size() >= 4) {
    TRect r{static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[0] + v[2]),
            static_cast<int>(v[1] + v[3])};
    if (!r.IsEmpty()) Work = r;
  }
}

TRect TX11Backend::ScreenRect() const {
  return TRect{0, 0, DisplayWidth(F->Dpy, F->Screen), DisplayHeight(F->Dpy, F->Screen)};
}

TRect TX11Backend::WorkArea() const { return F->Work; }

unsigned long TX11Backend::XWindowOf(HWND hwnd) const {
  auto it = F->Windows.find(hwnd);
  return it == F->Windows.end() ? 0 : it->second;
}

void TX11Backend::Sync() { XSync(F->Dpy, False); }

void TX11Backend::Reset() {
  for (auto& [h, w] : F->Windows) XDestroyWindow(F->Dpy, w);
  F->Windows.clear();
  F->ByX.clear();
  F->XState.clear();
  F->RecheckAt = 0;
  SetClipboardText(std::nullopt);
  F->FocusLeaving = false;
  XSync(F->Dpy, False);
  // Events of the windows just destroyed have nobody left to go to.
  XEvent ev;
  while (XPending(F->Dpy)) {
    XNextEvent(F->Dpy, &ev);
    if (ev.type == SelectionRequest) F->AnswerSelection(ev.xselectionrequest);
  }
}

bool TX11Backend::ManagerDecorates() const { return F->Managed; }

#include "platform/win/X11Backend.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <vector>

#include "platform/rtl/Ticks.h"
#include "platform/win/Cursors.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/WinState.h"
#include "platform/win/X11Keys.h"
#include "platform/win/X11WmHints.h"

namespace {

// A request on a window the server has already dropped, or focus on one not yet viewable, is
// no reason to end the program.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

constexpr int SelectionWaitMs = 2000;
constexpr long WindowEvents = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                              PointerMotionMask | ExposureMask | StructureNotifyMask | FocusChangeMask;

// The clipboard keeps CR LF line ends; X clients expect LF.
std::string ToXText(const AnsiString& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  return out;
}

AnsiString FromXText(const std::string& text) {
  AnsiString out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

// Latin-1 and the code page differ only in 0x80..0x9F, which Latin-1 keeps for controls.
std::string AnsiToLatin1(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if (static_cast<uint8_t>(c) >= 0x80 && static_cast<uint8_t>(c) <= 0x9F) c = '?';
  return out;
}

int ShiftOf(unsigned long mask) {
  int s = 0;
  while (mask && !(mask & 1)) mask >>= 1, ++s;
  return s;
}

unsigned int FontCursorOf(int cursor) {
  switch (cursor) {
    case IDC_IBEAM: return XC_xterm;
    case IDC_WAIT: case IDC_APPSTARTING: return XC_watch;
    case IDC_CROSS: return XC_crosshair;
    case IDC_UPARROW: return XC_sb_up_arrow;
    case IDC_SIZE: case IDC_SIZEALL: return XC_fleur;
    case IDC_SIZENWSE: return XC_bottom_right_corner;
    case IDC_SIZENESW: return XC_bottom_left_corner;
    case IDC_SIZEWE: return XC_sb_h_double_arrow;
    case IDC_SIZENS: return XC_sb_v_double_arrow;
    case IDC_NO: return XC_X_cursor;
    case IDC_HAND: return XC_hand2;
    case IDC_HELP: return XC_question_arrow;
  }
  return XC_left_ptr;
}

}  // namespace

struct TX11Backend::TImpl {
  Display* Dpy = nullptr;
  int Screen = 0;
  Window Root = 0;
  Window Helper = 0;  // owns the selection and receives conversions
  Visual* Vis = nullptr;
  int Depth = 0;
  GC CopyGc = nullptr;
  GC XorGc = nullptr;
  Pixmap Stipple = 0;
  std::map<HWND, Window> Windows;
  // The request that last moved or sized each X window: older notices of its shape are stale.
  std::map<Window, unsigned long> ConfigureSerial;
  std::map<Window, bool> Iconified;
  std::map<Window, HWND> ByX;
  std::map<int, Cursor> Cursors;
  int Shape = IDC_ARROW;
  std::optional<AnsiString> Owned;  // our clipboard text while we own CLIPBOARD
  Time LastTime = CurrentTime;
  bool FocusLeaving = false;
  // Set while a shape the server reported is applied: sending it back would let a window
  // manager's frame offset move the window again and again.
  HWND FromServer = 0;
  TRect Work;
  Atom Protocols = 0, DeleteWindow = 0, Clipboard = 0, Utf8 = 0, Targets = 0, Text = 0, NetName = 0,
       NetState = 0, NetAbove = 0, NetSkipTaskbar = 0, NetType = 0, NetUtility = 0, NetNormal = 0,
       NetWorkArea = 0, Incoming = 0, MotifHints = 0, NetSupported = 0, NetMoveResize = 0;

  Atom Intern(const char* name) { return XInternAtom(Dpy, name, False); }
  HWND Find(Window w) const {
    auto it = ByX.find(w);
    return it == ByX.end() ? 0 : it->second;
  }
  Cursor CursorFor(int shape) {
    unsigned int font = FontCursorOf(shape);
    auto it = Cursors.find(static_cast<int>(font));
    if (it != Cursors.end()) return it->second;
    Cursor c = XCreateFontCursor(Dpy, font);
    Cursors[static_cast<int>(font)] = c;
    return c;
  }
  void ReadWorkArea();
  void ReleaseModifiersUp();
  int TypedChar(XKeyEvent& key, uint16_t vk);
  void SetStateHints(Window w, uint32_t exStyle);
  void SetDecorationHint(Window w, const TWindowRec& rec);
  bool ManagerMovesWindows();
  void SetOwnerHint(Window w, HWND owner);
  void Handle(XEvent& ev);
  void AnswerSelection(const XSelectionRequestEvent& req);
  void PutArea(HWND hwnd, Window w, const TRect& area);
  std::optional<std::string> Convert(Atom target, Atom& type);
};

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
  F->NetAbove = F->Intern("_NET_WM_STATE_ABOVE");
  F->NetSkipTaskbar = F->Intern("_NET_WM_STATE_SKIP_TASKBAR");
  F->NetType = F->Intern("_NET_WM_WINDOW_TYPE");
  F->NetUtility = F->Intern("_NET_WM_WINDOW_TYPE_UTILITY");
  F->NetNormal = F->Intern("_NET_WM_WINDOW_TYPE_NORMAL");
  F->NetWorkArea = F->Intern("_NET_WORKAREA");
  F->Incoming = F->Intern("QUORVEX_SELECTION");
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

void TX11Backend::TImpl::ReadWorkArea() {
  Work = TRect{0, 0, DisplayWidth(Dpy, Screen), DisplayHeight(Dpy, Screen)};
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(Dpy, Root, NetWorkArea, 0, 4, False, XA_CARDINAL, &type, &format, &count, &after,
                         &data) == Success &&
      data) {
    if (format == 32 && count >= 4) {
      auto* v = reinterpret_cast<long*>(data);  // 32-bit items arrive as longs
      TRect r{static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[0] + v[2]),
              static_cast<int>(v[1] + v[3])};
      if (!r.IsEmpty()) Work = r;
    }
    XFree(data);
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

void TX11Backend::WindowCreated(HWND hwnd) {
  TWindowRec* rec = FindWindowRec(hwnd);
  if (!rec || F->Windows.count(hwnd)) return;
  Display* d = F->Dpy;
  TRect b = rec->Bounds;
  XSetWindowAttributes a{};
  a.background_pixmap = None;  // the back buffer covers it all; no flash of another colour
  a.bit_gravity = NorthWestGravity;
  a.event_mask = WindowEvents;
  a.cursor = F->CursorFor(F->Shape);
  // Menus and other frameless pop-ups are placed by us alone, without a window manager's frame.
  a.override_redirect = (rec->Style & WS_POPUP) && (rec->Style & WS_CAPTION) != WS_CAPTION ? True : False;
  Window w = XCreateWindow(d, F->Root, b.Left, b.Top, static_cast<unsigned>(std::max(1, b.Width())),
                           static_cast<unsigned>(std::max(1, b.Height())), 0, CopyFromParent, InputOutput,
                           CopyFromParent, CWBackPixmap | CWBitGravity | CWEventMask | CWCursor | CWOverrideRedirect,
                           &a);
  F->Windows[hwnd] = w;
  F->ByX[w] = hwnd;
  XSetWMProtocols(d, w, &F->DeleteWindow, 1);
  XSizeHints hints{};
  hints.flags = USPosition | USSize | PPosition | PSize;
  hints.x = b.Left, hints.y = b.Top, hints.width = b.Width(), hints.height = b.Height();
  XSetWMNormalHints(d, w, &hints);
  XClassHint cls{const_cast<char*>("quorvex"), const_cast<char*>("Quorvex")};
  XSetClassHint(d, w, &cls);
  F->SetOwnerHint(w, rec->Owner);
  F->SetStateHints(w, rec->ExStyle);
  if (!a.override_redirect) F->SetDecorationHint(w, *rec);
  WindowTitled(hwnd, rec->Text);
}

void TX11Backend::TImpl::SetDecorationHint(Window w, const TWindowRec& rec) {
  // We draw our own caption and frame: a manager's would be a second one.
  if (NonClientInsets(rec.Style, rec.ExStyle) == TRect{}) {
    XDeleteProperty(Dpy, w, MotifHints);
    return;
  }
  // Only the decorations flag: the manager keeps moving, sizing and closing as it likes.
  long hints[MwmHintsLength] = {MwmHintsDecorations, 0, 0, 0, 0};
  XChangeProperty(Dpy, w, MotifHints, MotifHints, 32, PropModeReplace, reinterpret_cast<unsigned char*>(hints),
                  MwmHintsLength);
}

bool TX11Backend::TImpl::ManagerMovesWindows() {
  Atom type = 0;
  int format = 0;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  bool found = false;
  if (XGetWindowProperty(Dpy, Root, NetSupported, 0, 4096, False, XA_ATOM, &type, &format, &n, &after, &data) ==
          Success &&
      data) {
    if (format == 32) {
      auto* atoms = reinterpret_cast<Atom*>(data);
      found = std::find(atoms, atoms + n, NetMoveResize) != atoms + n;
    }
    XFree(data);
  }
  return found;
}

void TX11Backend::BeginMoveSize(HWND hwnd, int hit, TPoint screen) {
  Window w = static_cast<Window>(XWindowOf(hwnd));
  long direction = -1;
  switch (hit) {
    case HTCAPTION: direction = NetMoveResizeMove; break;
    case HTTOPLEFT: direction = NetMoveResizeSizeTopLeft; break;
    case HTTOP: direction = NetMoveResizeSizeTop; break;
    case HTTOPRIGHT: direction = NetMoveResizeSizeTopRight; break;
    case HTRIGHT: direction = NetMoveResizeSizeRight; break;
    case HTBOTTOMRIGHT: direction = NetMoveResizeSizeBottomRight; break;
    case HTBOTTOM: direction = NetMoveResizeSizeBottom; break;
    case HTBOTTOMLEFT: direction = NetMoveResizeSizeBottomLeft; break;
    case HTLEFT: direction = NetMoveResizeSizeLeft; break;
  }
  if (!w || direction < 0 || !F->ManagerMovesWindows()) {
    TDisplayBackend::BeginMoveSize(hwnd, hit, screen);
    return;
  }
  // The manager can grab the pointer only once our own grab is gone.
  if (GetCapture()) ReleaseCapture();
  XUngrabPointer(F->Dpy, F->LastTime);
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = w;
  ev.xclient.message_type = F->NetMoveResize;
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = screen.X;
  ev.xclient.data.l[1] = screen.Y;
  ev.xclient.data.l[2] = direction;
  ev.xclient.data.l[3] = Button1;
  ev.xclient.data.l[4] = NetSourceApplication;
  XSendEvent(F->Dpy, F->Root, False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
  XFlush(F->Dpy);
}

void TX11Backend::TImpl::SetOwnerHint(Window w, HWND owner) {
  auto it = Windows.find(owner);
  if (it != Windows.end()) XSetTransientForHint(Dpy, w, it->second);
  else XDeleteProperty(Dpy, w, XA_WM_TRANSIENT_FOR);
}

void TX11Backend::TImpl::SetStateHints(Window w, uint32_t exStyle) {
  std::vector<Atom> states;
  if (exStyle & WS_EX_TOPMOST) states.push_back(NetAbove);
  if (exStyle & WS_EX_TOOLWINDOW) states.push_back(NetSkipTaskbar);
  XChangeProperty(Dpy, w, NetState, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(states.data()),
                  static_cast<int>(states.size()));
  Atom type = (exStyle & WS_EX_TOOLWINDOW) ? NetUtility : NetNormal;
  XChangeProperty(Dpy, w, NetType, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&type), 1);
}

void TX11Backend::WindowRestyled(HWND hwnd) {
  Window w = static_cast<Window>(XWindowOf(hwnd));
  TWindowRec* rec = FindWindowRec(hwnd);
  if (!w || !rec) return;
  F->SetOwnerHint(w, rec->Owner);
  F->SetStateHints(w, rec->ExStyle);
  XWindowAttributes attrs{};
  if (XGetWindowAttributes(F->Dpy, w, &attrs) && !attrs.override_redirect) F->SetDecorationHint(w, *rec);
  // A window manager reads the state of a mapped window from a request to the root only.
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = w;
  ev.xclient.message_type = F->NetState;
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = (rec->ExStyle & WS_EX_TOPMOST) ? 1 : 0;  // add or remove
  ev.xclient.data.l[1] = static_cast<long>(F->NetAbove);
  ev.xclient.data.l[3] = 1;  // from an application
  XSendEvent(F->Dpy, F->Root, False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
  XFlush(F->Dpy);
}

void TX11Backend::WindowDestroyed(HWND hwnd) {
  auto it = F->Windows.find(hwnd);
  if (it == F->Windows.end()) return;
  XDestroyWindow(F->Dpy, it->second);
  F->ByX.erase(it->second);
  F->ConfigureSerial.erase(it->second);
  F->Iconified.erase(it->second);
  F->Windows.erase(it);
  XFlush(F->Dpy);
}

void TX11Backend::WindowShown(HWND hwnd, bool visible) {
  Window w = static_cast<Window>(XWindowOf(hwnd));
  if (!w) return;
  if (visible && IsIconic(hwnd)) {
    XIconifyWindow(F->Dpy, w, F->Screen);
    F->Iconified[w] = true;
  } else if (visible) {
    XMapRaised(F->Dpy, w);
  } else {
    XUnmapWindow(F->Dpy, w);
  }
  XFlush(F->Dpy);
}

void TX11Backend::WindowMoved(HWND hwnd, const TRect& b) {
  Window w = static_cast<Window>(XWindowOf(hwnd));
  if (!w) return;
  // A minimised window goes to the desktop's icons rather than shrinking to a caption.
  if (IsIconic(hwnd)) {
    if (IsWindowVisible(hwnd)) XIconifyWindow(F->Dpy, w, F->Screen);
    F->Iconified[w] = true;
    XFlush(F->Dpy);
    return;
  }
  if (F->FromServer == hwnd) return;
  if (F->Iconified[w]) {
    F->Iconified[w] = false;
    if (IsWindowVisible(hwnd)) XMapRaised(F->Dpy, w);
  }
  F->ConfigureSerial[w] = NextRequest(F->Dpy);
  XMoveResizeWindow(F->Dpy, w, b.Left, b.Top, static_cast<unsigned>(std::max(1, b.Width())),
                    static_cast<unsigned>(std::max(1, b.Height())));
  XFlush(F->Dpy);
}

void TX11Backend::WindowTitled(HWND hwnd, const AnsiString& title) {
  Window w = static_cast<Window>(XWindowOf(hwnd));
  if (!w) return;
  std::string latin = AnsiToLatin1(title);
  XStoreName(F->Dpy, w, latin.c_str());
  std::string utf8 = AnsiToUtf8(title);
  XChangeProperty(F->Dpy, w, F->NetName, F->Utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
  XFlush(F->Dpy);
}

void TX11Backend::WindowActivated(HWND hwnd) {
  Window w = static_cast<Window>(XWindowOf(hwnd));
  if (!w) return;
  XWindowAttributes a{};
  if (!XGetWindowAttributes(F->Dpy, w, &a) || a.map_state != IsViewable) return;
  XRaiseWindow(F->Dpy, w);
  XSetInputFocus(F->Dpy, w, RevertToParent, CurrentTime);
  XFlush(F->Dpy);
}

void TX11Backend::CaptureChanged(HWND top) {
  Window w = static_cast<Window>(XWindowOf(top));
  if (w) {
    // Another program's grab wins; the capture then holds inside our windows only.
    XGrabPointer(F->Dpy, w, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                 GrabModeAsync, None, None, F->LastTime);
  } else {
    XUngrabPointer(F->Dpy, F->LastTime);
  }
  XFlush(F->Dpy);
}

void TX11Backend::TImpl::PutArea(HWND hwnd, Window w, const TRect& area) {
  TWindowSurface* s = GetWindowSurface(hwnd);
  if (!s) return;
  TRect r = IntersectRect(area, TRect{0, 0, s->Width(), s->Height()});
  if (r.IsEmpty()) return;
  int width = r.Width(), height = r.Height();
  XImage* img = XCreateImage(Dpy, Vis, static_cast<unsigned>(Depth), ZPixmap, 0, nullptr,
                             static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
  if (!img) return;
  std::vector<char> bits(static_cast<size_t>(img->bytes_per_line) * static_cast<size_t>(height));
  img->data = bits.data();
  int rs = ShiftOf(img->red_mask), gs = ShiftOf(img->green_mask), bs = ShiftOf(img->blue_mask);
  auto pixelOf = [&](TColorRef c) {  // c is 0x00BBGGRR
    return ((static_cast<unsigned long>(c & 0xFF) << rs) & img->red_mask) |
           ((static_cast<unsigned long>((c >> 8) & 0xFF) << gs) & img->green_mask) |
           ((static_cast<unsigned long>((c >> 16) & 0xFF) << bs) & img->blue_mask);
  };
  const uint16_t one = 1;
  bool littleEndian = *reinterpret_cast<const uint8_t*>(&one) == 1;
  // The usual 32-bit layout in our own byte order takes the pixels directly.
  bool direct = img->bits_per_pixel == 32 && (img->byte_order == LSBFirst) == littleEndian;
  for (int y = 0; y < height; ++y) {
    const TColorRef* row = s->Bitmap->Row(r.Top + y) + r.Left;
    if (direct) {
      auto* out = reinterpret_cast<uint32_t*>(img->data + static_cast<size_t>(y) * static_cast<size_t>(img->bytes_per_line));
      for (int x = 0; x < width; ++x) out[x] = static_cast<uint32_t>(pixelOf(row[x]));
    } else {
      for (int x = 0; x < width; ++x) XPutPixel(img, x, y, pixelOf(row[x]));
    }
  }
  XPutImage(Dpy, w, CopyGc, img, 0, 0, r.Left, r.Top, static_cast<unsigned>(width), static_cast<unsigned>(height));
  img->data = nullptr;  // the vector frees the bits
  XDestroyImage(img);
}

void TX11Backend::Present(HWND hwnd, const TRect& area) {
  Window w = static_cast<Window>(XWindowOf(hwnd));
  if (!w) return;
  F->PutArea(hwnd, w, area);
  XFlush(F->Dpy);
}

void TX11Backend::TImpl::AnswerSelection(const XSelectionRequestEvent& req) {
  XSelectionEvent reply{};
  reply.type = SelectionNotify;
  reply.display = Dpy;
  reply.requestor = req.requestor;
  reply.selection = req.selection;
  reply.target = req.target;
  reply.time = req.time;
  reply.property = None;
  // Old clients name no property: the target serves as one.
  Atom prop = req.property ? req.property : req.target;
  if (req.selection == Clipboard && Owned) {
    if (req.target == Targets) {
      Atom list[] = {Targets, Utf8, XA_STRING, Text};
      XChangeProperty(Dpy, req.requestor, prop, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(list),
                      4);
      reply.property = prop;
    } else if (req.target == Utf8 || req.target == Text || req.target == XA_STRING) {
      std::string text = ToXText(*Owned);
      std::string data = req.target == XA_STRING ? AnsiToLatin1(text) : AnsiToUtf8(text);
      Atom type = req.target == XA_STRING ? XA_STRING : Utf8;
      long limit = XExtendedMaxRequestSize(Dpy) ? XExtendedMaxRequestSize(Dpy) : XMaxRequestSize(Dpy);
      // Text beyond one request would need transfer in pieces, which we do not offer: refuse
      // rather than hand over nothing as if it were the text.
      if (static_cast<long>(data.size()) < (limit - 64) * 4) {
        XChangeProperty(Dpy, req.requestor, prop, type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
        reply.property = prop;
      }
    }
  }
  XSendEvent(Dpy, req.requestor, False, 0, reinterpret_cast<XEvent*>(&reply));
}

// Keys let go while another program had the focus never sent us their release.
void TX11Backend::TImpl::ReleaseModifiersUp() {
  char keys[32] = {};
  XQueryKeymap(Dpy, keys);
  auto down = [&](KeySym sym) {
    KeyCode code = XKeysymToKeycode(Dpy, sym);
    return code && (keys[code / 8] & (1 << (code % 8)));
  };
  struct TModifier { uint16_t Vk; KeySym Left, Right; };
  const TModifier mods[] = {{VK_SHIFT, XK_Shift_L, XK_Shift_R}, {VK_CONTROL, XK_Control_L, XK_Control_R},
                            {VK_MENU, XK_Alt_L, XK_Alt_R}};
  for (const TModifier& m : mods)
    if (GetAsyncKeyState(m.Vk) < 0 && !down(m.Left) && !down(m.Right)) InjectKeyUp(m.Vk);
}

// What a key types in the server's layout, as a character of the code page. With Ctrl held the
// standard rules apply, as the system's own do (Ctrl+A is 1, Ctrl+5 types nothing).
int TX11Backend::TImpl::TypedChar(XKeyEvent& key, uint16_t vk) {
  if (key.state & ControlMask) return TypedByLayout;
  if (vk == VK_DELETE) return TypesNothing;
  if (vk == VK_TAB) return '\t';  // also with Shift, which X reads as another symbol
  char buf[16] = {};
  KeySym sym = 0;
  int n = XLookupString(&key, buf, sizeof buf, &sym, nullptr);
  if (n == 1 && static_cast<uint8_t>(buf[0]) != 0x7F) return static_cast<uint8_t>(buf[0]);  // Latin-1
  // Symbols beyond Latin-1 that the code page still has, as the euro sign.
  unsigned long code = 0;
  if (sym == XK_EuroSign) code = 0x20AC;
  else if ((sym & 0xFF000000) == 0x01000000) code = sym & 0x00FFFFFF;
  if (code >= 0x100 && code < 0x10000) {
    std::string utf8;
    if (code < 0x800) {
      utf8 += static_cast<char>(0xC0 | (code >> 6));
    } else {
      utf8 += static_cast<char>(0xE0 | (code >> 12));
      utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    }
    utf8 += static_cast<char>(0x80 | (code & 0x3F));
    AnsiString a = Utf8ToAnsi(utf8);
    if (a.size() == 1 && a[0] != '?') return static_cast<uint8_t>(a[0]);
  }
  return TypesNothing;
}

void TX11Backend::TImpl::Handle(XEvent& ev) {
  HWND h = Find(ev.xany.window);
  switch (ev.type) {
    case Expose:
      if (h) {
        TRect r{ev.xexpose.x, ev.xexpose.y, ev.xexpose.x + ev.xexpose.width, ev.xexpose.y + ev.xexpose.height};
        PutArea(h, ev.xany.window, r);
      }
      break;
    case ConfigureNotify: {
      if (!h || IsIconic(h)) break;
      if (ev.xany.serial < ConfigureSerial[ev.xany.window]) break;  // our own later request is on its way
      TRect b = GetWindowRect(h);
      const XConfigureEvent& c = ev.xconfigure;
      // A window manager's own notice carries the place on the screen; the server's, the size.
      bool moved = ev.xany.send_event && (c.x != b.Left || c.y != b.Top);
      bool sized = c.width != std::max(1, b.Width()) || c.height != std::max(1, b.Height());
      if (!moved && !sized) break;
      FromServer = h;
      struct TGuard {
        HWND& Flag;
        ~TGuard() { Flag = 0; }
      } guard{FromServer};
      SetWindowPos(h, 0, moved ? c.x : b.Left, moved ? c.y : b.Top, sized ? c.width : b.Width(),
                   sized ? c.height : b.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
      // The window may keep a size of its own (a minimum, say): the server learns it.
      TRect now = GetWindowRect(h);
      if (IsWindow(h) && sized && (now.Width() != c.width || now.Height() != c.height))
      {
        ConfigureSerial[ev.xany.window] = NextRequest(Dpy);
        XResizeWindow(Dpy, ev.xany.window, static_cast<unsigned>(std::max(1, now.Width())),
                      static_cast<unsigned>(std::max(1, now.Height())));
      }
      break;
    }
    case KeyPress:
    case KeyRelease: {
      LastTime = ev.xkey.time;
      KeySym sym = XkbKeycodeToKeysym(Dpy, static_cast<KeyCode>(ev.xkey.keycode), 0, 0);
      bool numLock = ev.xkey.state & Mod2Mask;
      if (numLock) {
        // Keypad keys hold their digit at the second level.
        KeySym second = XkbKeycodeToKeysym(Dpy, static_cast<KeyCode>(ev.xkey.keycode), 0, 1);
        if (second >= XK_KP_0 && second <= XK_KP_9) sym = second;
        if (second == XK_KP_Decimal) sym = second;
      }
      uint16_t vk = VirtualKeyOfKeysym(sym, numLock);
      if (ev.type == KeyRelease) {
        if (vk) InjectKeyUp(vk);
        break;
      }
      int typed = TypedChar(ev.xkey, vk);
      if (vk) InjectKeyDown(vk, typed);
      else if (typed >= 0x20) InjectChar(static_cast<uint8_t>(typed));  // a key known only by what it types
      break;
    }
    case ButtonPress:
    case ButtonRelease: {
      LastTime = ev.xbutton.time;
      if (!h) break;
      // Root coordinates: a window we are dragging may have moved since the event left.
      TPoint p{ev.xbutton.x_root, ev.xbutton.y_root};
      unsigned b = ev.xbutton.button;
      if (b == Button4 || b == Button5) {
        if (ev.type == ButtonPress) InjectWheel(b == Button4 ? WHEEL_DELTA : -WHEEL_DELTA, p.X, p.Y);
        break;
      }
      TMouseButton mb = b == Button3 ? TMouseButton::Right : b == Button2 ? TMouseButton::Middle : TMouseButton::Left;
      if (b > Button3) break;
      if (ev.type == ButtonPress) InjectMouseDown(mb, p.X, p.Y);
      else InjectMouseUp(mb, p.X, p.Y);
      break;
    }
    case MotionNotify: {
      // Only the latest place counts.
      while (XCheckTypedWindowEvent(Dpy, ev.xany.window, MotionNotify, &ev)) {
      }
      LastTime = ev.xmotion.time;
      if (h) {
        TPoint p{ev.xmotion.x_root, ev.xmotion.y_root};
        InjectMouseMove(p.X, p.Y);
      }
      break;
    }
    case MapNotify:
      // Focus can go to a window only once it is viewable.
      if (h && GetActiveWindow() == h) XSetInputFocus(Dpy, ev.xany.window, RevertToParent, CurrentTime);
      break;
    case FocusIn:
      if (h && ev.xfocus.detail != NotifyPointer) {
        FocusLeaving = false;
        ReleaseModifiersUp();
        if (GetActiveWindow() != h && IsWindowEnabled(h)) SetActiveWindow(h);
      }
      break;
    case FocusOut:
      if (h && ev.xfocus.detail != NotifyPointer && ev.xfocus.detail != NotifyInferior) FocusLeaving = true;
      break;
    case ClientMessage:
      if (h && ev.xclient.message_type == Protocols && static_cast<Atom>(ev.xclient.data.l[0]) == DeleteWindow)
        PostMessage(h, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
    case SelectionRequest: AnswerSelection(ev.xselectionrequest); break;
    case SelectionClear:
      // A clear can come in after we took the selection back (emptying, then setting it): only
      // an owner other than us ends our text.
      if (ev.xselectionclear.selection == Clipboard && XGetSelectionOwner(Dpy, Clipboard) != Helper) Owned.reset();
      break;
    case PropertyNotify:
      if (ev.xproperty.window == Root && ev.xproperty.atom == NetWorkArea) ReadWorkArea();
      if (ev.xproperty.window == Helper) LastTime = ev.xproperty.time;
      break;
    case MappingNotify: XRefreshKeyboardMapping(&ev.xmapping); break;
  }
}

void TX11Backend::PumpInput() {
  Display* d = F->Dpy;
  while (XPending(d)) {
    XEvent ev;
    XNextEvent(d, &ev);
    F->Handle(ev);
  }
  if (F->FocusLeaving) {
    F->FocusLeaving = false;
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(d, &focus, &revert);
    // The focus went to another program: our active window is no longer active.
    if (!F->Find(focus) && GetActiveWindow()) InjectAppDeactivate();
  }
}

void TX11Backend::WaitInput(int timeoutMs) {
  XFlush(F->Dpy);
  if (XEventsQueued(F->Dpy, QueuedAlready) > 0) return;
  pollfd p{ConnectionNumber(F->Dpy), POLLIN, 0};
  while (poll(&p, 1, timeoutMs) < 0 && errno == EINTR) {
  }
}

std::optional<std::string> TX11Backend::TImpl::Convert(Atom target, Atom& type) {
  XDeleteProperty(Dpy, Helper, Incoming);
  XConvertSelection(Dpy, Clipboard, target, Incoming, Helper, CurrentTime);
  XFlush(Dpy);
  uint64_t deadline = GetTickCount64() + SelectionWaitMs;
  XEvent ev;
  // Other events wait in Xlib's queue for the next pump.
  while (!XCheckTypedWindowEvent(Dpy, Helper, SelectionNotify, &ev)) {
    uint64_t now = GetTickCount64();
    if (now >= deadline) return std::nullopt;
    pollfd p{ConnectionNumber(Dpy), POLLIN, 0};
    poll(&p, 1, static_cast<int>(deadline - now));
  }
  if (ev.xselection.property == None) return std::nullopt;
  Atom actual = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::optional<std::string> out;
  if (XGetWindowProperty(Dpy, Helper, Incoming, 0, 0x7FFFFFF, True, AnyPropertyType, &actual, &format, &count, &after,
                         &data) == Success) {
    // Transfers in pieces (INCR) are not taken.
    if (format == 8 && (actual == Utf8 || actual == XA_STRING || actual == Text))
      out = std::string(reinterpret_cast<char*>(data), count);
    type = actual;
  }
  if (data) XFree(data);
  return out;
}

std::optional<AnsiString> TX11Backend::ClipboardText() {
  Window owner = XGetSelectionOwner(F->Dpy, F->Clipboard);
  if (owner == F->Helper) return F->Owned;
  F->Owned.reset();
  if (owner == None) return std::nullopt;
  Atom type = 0;
  if (auto utf8 = F->Convert(F->Utf8, type)) return FromXText(type == XA_STRING ? *utf8 : Utf8ToAnsi(*utf8));
  if (auto latin = F->Convert(XA_STRING, type)) return FromXText(type == F->Utf8 ? Utf8ToAnsi(*latin) : *latin);
  return std::nullopt;
}

void TX11Backend::SetClipboardText(const std::optional<AnsiString>& text) {
  Display* d = F->Dpy;
  F->Owned = text;
  if (text) {
    XSetSelectionOwner(d, F->Clipboard, F->Helper, F->LastTime);
    if (XGetSelectionOwner(d, F->Clipboard) != F->Helper) F->Owned.reset();
  } else if (XGetSelectionOwner(d, F->Clipboard) == F->Helper) {
    XSetSelectionOwner(d, F->Clipboard, None, F->LastTime);
  }
  XFlush(d);
}

void TX11Backend::SetCursorShape(int cursor) {
  F->Shape = cursor;
  Cursor c = F->CursorFor(cursor);
  for (auto& [h, w] : F->Windows) XDefineCursor(F->Dpy, w, c);
  XFlush(F->Dpy);
}

void TX11Backend::XorFrame(const TRect& r, int thickness) {
  if (r.IsEmpty() || thickness <= 0) return;
  Display* d = F->Dpy;
  if (!F->XorGc) {
    // Set bits where x + y is odd, counted from the screen's corner.
    static const char checker[] = {'\xAA', '\x55', '\xAA', '\x55', '\xAA', '\x55', '\xAA', '\x55'};
    F->Stipple = XCreateBitmapFromData(d, F->Root, checker, 8, 8);
    XGCValues v{};
    v.function = GXxor;
    v.foreground = WhitePixel(d, F->Screen) ^ BlackPixel(d, F->Screen);
    v.plane_mask = AllPlanes;
    v.fill_style = FillStippled;
    v.stipple = F->Stipple;
    v.subwindow_mode = IncludeInferiors;  // over every window on the screen
    v.ts_x_origin = 0;
    v.ts_y_origin = 0;
    F->XorGc = XCreateGC(d, F->Root,
                         GCFunction | GCForeground | GCPlaneMask | GCFillStyle | GCStipple | GCSubwindowMode |
                             GCTileStipXOrigin | GCTileStipYOrigin,
                         &v);
  }
  std::vector<XRectangle> bands;
  auto add = [&](int l, int t, int rr, int b) {
    if (rr > l && b > t)
      bands.push_back(XRectangle{static_cast<short>(l), static_cast<short>(t), static_cast<unsigned short>(rr - l),
                                 static_cast<unsigned short>(b - t)});
  };
  TRect in{r.Left + thickness, r.Top + thickness, r.Right - thickness, r.Bottom - thickness};
  if (in.IsEmpty()) {
    add(r.Left, r.Top, r.Right, r.Bottom);
  } else {
    add(r.Left, r.Top, r.Right, in.Top);
    add(r.Left, in.Bottom, r.Right, r.Bottom);
    add(r.Left, in.Top, in.Left, in.Bottom);
    add(in.Right, in.Top, r.Right, in.Bottom);
  }
  XFillRectangles(d, F->Root, F->XorGc, bands.data(), static_cast<int>(bands.size()));
  XFlush(d);
}

void TX11Backend::Reset() {
  for (auto& [h, w] : F->Windows) XDestroyWindow(F->Dpy, w);
  F->Windows.clear();
  F->ByX.clear();
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

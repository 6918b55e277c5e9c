#include "platform/win/X11Backend.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <vector>

#include "platform/gdi/Colors.h"
#include "platform/rtl/Ticks.h"
#include "platform/win/Cursors.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/WinState.h"
#include "platform/win/X11Icon.h"
#include "platform/win/X11Keys.h"
#include "platform/win/X11WmHints.h"

namespace {

// A request on a window the server has already dropped, or focus on one not yet viewable, is
// no reason to end the program.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

constexpr int SelectionWaitMs = 2000;
// Clipboard text is taken up to this size; a transfer in pieces that grows beyond it is refused.
constexpr size_t MaxSelectionBytes = 64u << 20;
// Text larger than this goes to other programs in pieces (INCR), as large selections do.
constexpr size_t SelectionChunkBytes = 256u << 10;
// A transfer in pieces whose requestor stops taking them is dropped after this long.
constexpr uint64_t IncrTimeoutMs = 10000;
constexpr uint64_t RecheckDelayMs = 500;
// How long a manager may take to carry out a minimise, restore or maximise we asked of it.
constexpr uint64_t ManagerAnswerMs = 2000;
constexpr long WindowEvents = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                              PointerMotionMask | LeaveWindowMask | ExposureMask | StructureNotifyMask | FocusChangeMask |
                              PropertyChangeMask;

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

// A floating tool window: a pop-up owned by its form, drawing its own small caption.
bool OwnedToolWindow(const TWindowRec& rec) {
  return (rec.Style & WS_POPUP) && (rec.ExStyle & WS_EX_TOOLWINDOW) && !(rec.ExStyle & WS_EX_TOPMOST) && rec.Owner;
}

// Menus and other frameless pop-ups are placed by us alone, without a window manager's frame. A
// floating tool window is not: above every window on the screen it would cover its form's dialogs.
bool PlacedByUs(const TWindowRec& rec) {
  return (rec.Style & WS_POPUP) && (rec.Style & WS_CAPTION) != WS_CAPTION && !OwnedToolWindow(rec);
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

// An X cursor from a loaded picture: the mask shows the pixels that are not clear, the source picks
// black (foreground) or white among them.
Cursor PictureCursor(Display* d, Window root, const TCursorImage& img) {
  const size_t stride = (static_cast<size_t>(img.Width) + 7) / 8;
  std::vector<char> source(stride * static_cast<size_t>(img.Height)), mask(source.size());
  for (int y = 0; y < img.Height; ++y)
    for (int x = 0; x < img.Width; ++x) {
      const TCursorImage::TPixel p = img.Pixels[static_cast<size_t>(y * img.Width + x)];
      const size_t at = static_cast<size_t>(y) * stride + static_cast<size_t>(x / 8);
      const char bit = static_cast<char>(1 << (x % 8));  // X bitmap data runs from the low bit
      if (p != TCursorImage::Clear) mask[at] = static_cast<char>(mask[at] | bit);
      if (p == TCursorImage::Black) source[at] = static_cast<char>(source[at] | bit);
    }
  const auto w = static_cast<unsigned>(img.Width), h = static_cast<unsigned>(img.Height);
  Pixmap src = XCreateBitmapFromData(d, root, source.data(), w, h);
  Pixmap msk = XCreateBitmapFromData(d, root, mask.data(), w, h);
  XColor black{}, white{};
  white.red = white.green = white.blue = 0xFFFF;
  black.flags = white.flags = DoRed | DoGreen | DoBlue;
  Cursor c = XCreatePixmapCursor(d, src, msk, &black, &white, static_cast<unsigned>(img.HotX),
                                 static_cast<unsigned>(img.HotY));
  XFreePixmap(d, src);
  XFreePixmap(d, msk);
  return c;
}

// Takes the window's next configure notice from the queue, unless a reparenting of the window
// comes before it.
bool NextConfigureBeforeReparent(Display* dpy, Window w, XEvent& out) {
  struct TScan {
    Window W;
    bool Blocked = false;
  } scan{w};
  auto match = [](Display*, XEvent* e, XPointer arg) -> Bool {
    auto* s = reinterpret_cast<TScan*>(arg);
    if (e->xany.window != s->W || s->Blocked) return False;
    if (e->type == ReparentNotify) s->Blocked = true;
    return e->type == ConfigureNotify;
  };
  return XCheckIfEvent(dpy, &out, match, reinterpret_cast<XPointer>(&scan));
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
  // What the server and the window manager were last told of each X window.
  struct TXState {
    unsigned long ConfigureSerial = 0;  // the request that last moved or sized it: older notices are stale
    bool Mapped = false;                // shown, perhaps as the manager's icon
    bool Iconified = false;             // handed to the manager's icons
    bool Framed = false;                // the manager draws its frame and caption
    bool InFrame = false;               // the manager put it into a frame of its own
    unsigned States = 0;                // bits of StateAtoms set in _NET_WM_STATE
    uint64_t AskedUntil = 0;            // a change asked of the manager is on its way until then
  };
  std::map<Window, TXState> XState;
  bool Managed = false;  // a window manager runs
  Window ManagerCheck = 0;  // its check window, watched for its end
  // When the windows are looked at again: a map can get lost while a manager starts, and a
  // manager may not carry out a change we asked of it.
  uint64_t RecheckAt = 0;
  std::map<Window, HWND> ByX;
  std::map<int, Cursor> Cursors;
  int Shape = IDC_ARROW;
  std::optional<AnsiString> Owned;  // our clipboard text while we own CLIPBOARD
  // Text going to another program in pieces: each piece follows its deletion of the last one.
  struct TIncrOut {
    Window Requestor = 0;
    Atom Property = 0, Type = 0;
    std::string Data;
    size_t Sent = 0;
    uint64_t Due = 0;
  };
  std::vector<TIncrOut> IncrOut;
  Time LastTime = CurrentTime;
  bool FocusLeaving = false;
  // Set while a shape the server reported is applied: sending it back would let a window
  // manager's frame offset move the window again and again.
  HWND FromServer = 0;
  TRect Work;
  Atom Protocols = 0, DeleteWindow = 0, Clipboard = 0, Utf8 = 0, Targets = 0, Text = 0, NetName = 0,
       NetState = 0, NetType = 0, NetUtility = 0, NetNormal = 0, NetDialog = 0, NetWorkArea = 0, Incoming = 0,
       MotifHints = 0, NetSupported = 0, NetMoveResize = 0, NetPid = 0, NetIcon = 0, NetCheck = 0, WmState = 0,
       NetActive = 0, NetFrameExtents = 0, Incr = 0;
  enum { StateAbove, StateSkipTaskbar, StateModal, StateMaxVert, StateMaxHorz, StateCount };
  Atom StateAtoms[StateCount] = {};
  std::optional<std::vector<long>> Icon;  // read from the resources on first use
  // The character code that keypad digits spell while Alt is held, modulo 256, and the keys
  // that went down as such digits.
  std::optional<int> AltCode;
  std::vector<unsigned> AltDigitKeys;

  Atom Intern(const char* name) { return XInternAtom(Dpy, name, False); }
  HWND Find(Window w) const {
    auto it = ByX.find(w);
    return it == ByX.end() ? 0 : it->second;
  }
  // Keyed by font glyph for system cursors and by handle for pictures, whose handles lie far above
  // every glyph number.
  Cursor CursorFor(int shape) {
    const TCursorImage* picture = CursorImage(shape);
    const int key = picture ? shape : static_cast<int>(FontCursorOf(shape));
    auto it = Cursors.find(key);
    if (it != Cursors.end()) return it->second;
    Cursor c = picture ? PictureCursor(Dpy, Root, *picture) : XCreateFontCursor(Dpy, FontCursorOf(shape));
    Cursors[key] = c;
    return c;
  }
  void ReadWorkArea();
  void ReleaseModifiersUp();
  int TypedChar(XKeyEvent& key, uint16_t vk);
  bool AltKeypad(const XKeyEvent& key);
  void EndAltCode();
  unsigned WantedStates(const TWindowRec& rec, const TXState& x);
  void SetStates(Window w, TXState& x, unsigned want);
  void SetTypeHint(Window w, const TWindowRec& rec);
  void SetDecorationHint(Window w, const TWindowRec& rec, const TXState& x);
  void SetSizeHints(Window w, const TWindowRec& rec);
  Window WindowProperty(Window w, Atom name);
  long WmStateOf(Window w);
  unsigned NetStatesOf(Window w);
  void FollowManager(HWND h, Window w);
  void Asked(TXState& x);
  void KeepCaptionOnScreen(HWND h, Window w);
  bool FindManager();
  void ManagerChanged();
  void UpdateModalStates();
  void Recheck();
  bool ManagerMovesWindows();
  void SetOwnerHint(Window w, HWND owner);
  void Restack();
  void SetProgramHints(Window w);
  void Handle(XEvent& ev);
  void AnswerSelection(const XSelectionRequestEvent& req);
  void SendNextPiece(Window requestor, Atom property);
  std::optional<std::string> ReceivePieces();
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
  // Until the first paint reaches the server the window shows button face, not the screen behind.
  const TColorRef face = GetSysColor(COLOR_BTNFACE);
  a.background_pixel = ((face & 0xFF) << 16) | (face & 0xFF00) | ((face >> 16) & 0xFF);
  a.bit_gravity = NorthWestGravity;
  a.event_mask = WindowEvents;
  a.cursor = F->CursorFor(F->Shape);
  a.override_redirect = PlacedByUs(*rec) ? True : False;
  Window w = XCreateWindow(d, F->Root, b.Left, b.Top, static_cast<unsigned>(std::max(1, b.Width())),
                           static_cast<unsigned>(std::max(1, b.Height())), 0, CopyFromParent, InputOutput,
                           CopyFromParent, CWBackPixel | CWBitGravity | CWEventMask | CWCursor | CWOverrideRedirect,
                           &a);
  F->Windows[hwnd] = w;
  F->ByX[w] = hwnd;
  TImpl::TXState& x = F->XState[w];
  x.Framed = ManagerFramed(rec->Style, rec->ExStyle);
  XSetWMProtocols(d, w, &F->DeleteWindow, 1);
  F->SetSizeHints(w, *rec);
  F->SetProgramHints(w);
  F->SetOwnerHint(w, rec->Owner);
  F->SetTypeHint(w, *rec);
  F->SetStates(w, x, F->WantedStates(*rec, x));
  if (!a.override_redirect) F->SetDecorationHint(w, *rec, x);
  WindowTitled(hwnd, rec->Text);
}

// Which program a window belongs to, for the desktop's task list and its icon.
void TX11Backend::TImpl::SetProgramHints(Window w) {
  XClassHint cls{const_cast<char*>("quorvex"), const_cast<char*>("Quorvex")};
  XSetClassHint(Dpy, w, &cls);
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) == 0) {
    char* names[] = {host};
    XTextProperty text{};
    if (XStringListToTextProperty(names, 1, &text)) {
      XSetWMClientMachine(Dpy, w, &text);
      XFree(text.value);
    }
  }
  long pid = static_cast<long>(getpid());
  XChangeProperty(Dpy, w, NetPid, XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&pid), 1);
  if (!Icon) Icon = ProgramNetWmIcon();
  if (!Icon->empty())
    XChangeProperty(Dpy, w, NetIcon, XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<unsigned char*>(Icon->data()),
                    static_cast<int>(Icon->size()));
}

void TX11Backend::TImpl::SetDecorationHint(Window w, const TWindowRec& rec, const TXState& x) {
  long hints[MwmHintsLength] = {};
  if (x.Framed) {
    // The manager's frame offers what our own caption would, and no button more: managers draw
    // minimise and maximise unless the decorations leave them out.
    long f = MwmFuncMove, decor = MwmDecorBorder | MwmDecorTitle | MwmDecorMenu;
    if (rec.Style & WS_THICKFRAME) f |= MwmFuncResize, decor |= MwmDecorResizeH;
    if (rec.Style & WS_MINIMIZEBOX) f |= MwmFuncMinimize, decor |= MwmDecorMinimize;
    if (rec.Style & WS_MAXIMIZEBOX) f |= MwmFuncMaximize, decor |= MwmDecorMaximize;
    if ((rec.Style & WS_SYSMENU) && !(rec.ClassStyle & CS_NOCLOSE)) f |= MwmFuncClose;
    hints[0] = MwmHintsFunctions | MwmHintsDecorations;
    hints[1] = f;
    hints[2] = decor;
  } else if (NonClientInsets(rec.Style, rec.ExStyle) != TRect{} || OwnedToolWindow(rec)) {
    // We draw our own caption and frame: a manager's would be a second one. The manager keeps
    // moving, sizing and closing as it likes.
    hints[0] = MwmHintsDecorations;
  } else {
    XDeleteProperty(Dpy, w, MotifHints);
    return;
  }
  XChangeProperty(Dpy, w, MotifHints, MotifHints, 32, PropModeReplace, reinterpret_cast<unsigned char*>(hints),
                  MwmHintsLength);
}

// Places are those of the window itself, not of a manager's frame around it; a window without a
// sizing frame keeps its size.
void TX11Backend::TImpl::SetSizeHints(Window w, const TWindowRec& rec) {
  XSizeHints hints{};
  TRect b = rec.Bounds;
  hints.flags = USPosition | USSize | PPosition | PSize | PWinGravity;
  hints.x = b.Left, hints.y = b.Top, hints.width = b.Width(), hints.height = b.Height();
  hints.win_gravity = StaticGravity;
  if (!(rec.Style & WS_THICKFRAME) && !(rec.Style & (WS_MINIMIZE | WS_MAXIMIZE))) {
    hints.flags |= PMinSize | PMaxSize;
    hints.min_width = hints.max_width = std::max(1, b.Width());
    hints.min_height = hints.max_height = std::max(1, b.Height());
  }
  XSetWMNormalHints(Dpy, w, &hints);
}

Window TX11Backend::TImpl::WindowProperty(Window w, Atom name) {
  Atom type = 0;
  int format = 0;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  Window found = 0;
  if (XGetWindowProperty(Dpy, w, name, 0, 1, False, XA_WINDOW, &type, &format, &n, &after, &data) == Success &&
      data) {
    if (format == 32 && n == 1) found = static_cast<Window>(*reinterpret_cast<long*>(data));
    XFree(data);
  }
  // A running manager's check window names itself; one left behind by a manager that ended is gone.
  if (found && name == NetCheck && w == Root && WindowProperty(found, NetCheck) != found) found = 0;
  return found;
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

// Owned windows and dialogs are typed as dialogs, so that the manager keeps them over their owner.
void TX11Backend::TImpl::SetTypeHint(Window w, const TWindowRec& rec) {
  Atom type = NetNormal;
  if (rec.ExStyle & WS_EX_TOOLWINDOW) type = NetUtility;
  else if (rec.Owner || (rec.ExStyle & WS_EX_DLGMODALFRAME)) type = NetDialog;
  XChangeProperty(Dpy, w, NetType, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&type), 1);
}

// A shown window whose owner is disabled while it is not waits for an answer: it is modal.
unsigned TX11Backend::TImpl::WantedStates(const TWindowRec& rec, const TXState& x) {
  unsigned s = 0;
  if (rec.ExStyle & WS_EX_TOPMOST) s |= 1u << StateAbove;
  if (rec.ExStyle & WS_EX_TOOLWINDOW) s |= 1u << StateSkipTaskbar;
  if (rec.Owner && !IsWindowEnabled(rec.Owner) && !(rec.Style & WS_DISABLED) && (rec.Style & WS_VISIBLE))
    s |= 1u << StateModal;
  if (x.Framed && (rec.Style & WS_MAXIMIZE)) s |= (1u << StateMaxVert) | (1u << StateMaxHorz);
  return s;
}

// The manager owns the state of a window it manages and hears of changes by requests to the
// root; otherwise the property is ours to write.
void TX11Backend::TImpl::SetStates(Window w, TXState& x, unsigned want) {
  if (Managed && x.Mapped) {
    for (int i = 0; i < StateCount; ++i) {
      unsigned bit = 1u << i;
      if ((x.States & bit) == (want & bit)) continue;
      XEvent ev{};
      ev.xclient.type = ClientMessage;
      ev.xclient.window = w;
      ev.xclient.message_type = NetState;
      ev.xclient.format = 32;
      ev.xclient.data.l[0] = (want & bit) ? 1 : 0;  // add or remove
      ev.xclient.data.l[1] = static_cast<long>(StateAtoms[i]);
      // Both directions of a maximise in one request, so that the manager makes one change.
      if (i == StateMaxVert && ((x.States ^ want) & (1u << StateMaxHorz))) {
        ev.xclient.data.l[2] = static_cast<long>(StateAtoms[StateMaxHorz]);
        x.States = (x.States & ~(1u << StateMaxHorz)) | (want & (1u << StateMaxHorz));
      }
      ev.xclient.data.l[3] = NetSourceApplication;
      XSendEvent(Dpy, Root, False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
      if (i == StateMaxVert || i == StateMaxHorz) Asked(x);
    }
  } else {
    std::vector<Atom> atoms;
    for (int i = 0; i < StateCount; ++i)
      if (want & (1u << i)) atoms.push_back(StateAtoms[i]);
    XChangeProperty(Dpy, w, NetState, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(atoms.data()),
                    static_cast<int>(atoms.size()));
  }
  x.States = want;
}

void TX11Backend::WindowRestyled(HWND hwnd) {
  Window w = static_cast<Window>(XWindowOf(hwnd));
  TWindowRec* rec = FindWindowRec(hwnd);
  if (!w || !rec) return;
  TImpl::TXState& x = F->XState[w];
  F->SetOwnerHint(w, rec->Owner);
  F->SetTypeHint(w, *rec);
  F->SetStates(w, x, F->WantedStates(*rec, x));
  XWindowAttributes attrs{};
  if (XGetWindowAttributes(F->Dpy, w, &attrs) && !attrs.override_redirect) F->SetDecorationHint(w, *rec, x);
  XFlush(F->Dpy);
}

void TX11Backend::WindowDestroyed(HWND hwnd) {
  auto it = F->Windows.find(hwnd);
  if (it == F->Windows.end()) return;
  XDestroyWindow(F->Dpy, it->second);
  F->ByX.erase(it->second);
  F->XState.erase(it->second);
  F->Windows.erase(it);
  XFlush(F->Dpy);
}

void TX11Backend::WindowShown(HWND hwnd, bool visible) {
  Window w = static_cast<Window>(XWindowOf(hwnd));
  TWindowRec* rec = FindWindowRec(hwnd);
  if (!w || !rec) return;
  TImpl::TXState& x = F->XState[w];
  if (!visible) {
    // Withdrawn, so that a manager forgets it until it is shown again.
    XWithdrawWindow(F->Dpy, w, F->Screen);
    x.Mapped = x.Iconified = false;
    XFlush(F->Dpy);
    return;
  }
  // The state goes with the map, before the manager takes the window in.
  F->SetStates(w, x, F->WantedStates(*rec, x));
  XWMHints hints{};
  hints.flags = StateHint | InputHint;
  // A floating tool window is clicked without taking the focus from its form.
  hints.input = OwnedToolWindow(*rec) ? False : True;
  // Minimised without a manager: the small caption of our own stays on the screen.
  x.Iconified = IsIconic(hwnd) && F->Managed;
  hints.initial_state = x.Iconified ? IconicState : NormalState;
  XSetWMHints(F->Dpy, w, &hints);
  x.Mapped = true;
  XMapRaised(F->Dpy, w);
  F->Restack();
  F->RecheckAt = GetTickCount64() + RecheckDelayMs;
  XFlush(F->Dpy);
}

void TX11Backend::WindowMoved(HWND hwnd, const TRect& b) {
  Window w = static_cast<Window>(XWindowOf(hwnd));
  TWindowRec* rec = FindWindowRec(hwnd);
  if (!w || !rec) return;
  TImpl::TXState& x = F->XState[w];
  // Under a manager a minimised window goes to the desktop's icons rather than shrinking to a caption.
  if (IsIconic(hwnd) && F->Managed) {
    if (x.Mapped && !x.Iconified) {
      XIconifyWindow(F->Dpy, w, F->Screen);
      F->Asked(x);
    }
    x.Iconified = true;
    XFlush(F->Dpy);
    return;
  }
  if (x.Iconified) {
    x.Iconified = false;
    if (x.Mapped) {
      XMapRaised(F->Dpy, w);
      F->Asked(x);
    }
  }
  if (!(rec->Style & WS_THICKFRAME)) F->SetSizeHints(w, *rec);  // the size it keeps
  F->SetStates(w, x, F->WantedStates(*rec, x));
  // The manager fits a maximised window into its frame on the work area itself.
  if (F->FromServer == hwnd || (x.Framed && F->Managed && IsZoomed(hwnd))) {
    XFlush(F->Dpy);
    return;
  }
  x.ConfigureSerial = NextRequest(F->Dpy);
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

// Without a manager the server stacks our windows as the window layer orders them; with one, the
// manager keeps owned windows over their owners by their transient hints.
void TX11Backend::TImpl::Restack() {
  if (Managed) return;
  std::vector<Window> order;
  for (HWND h : GetChildWindows(0)) {
    auto it = Windows.find(h);
    if (it != Windows.end() && XState[it->second].Mapped) order.push_back(it->second);
  }
  if (order.empty()) return;
  XRaiseWindow(Dpy, order.front());
  if (order.size() > 1) XRestackWindows(Dpy, order.data(), static_cast<int>(order.size()));
}

void TX11Backend::WindowsRestacked() {
  F->Restack();
  XFlush(F->Dpy);
}

void TX11Backend::WindowActivated(HWND hwnd) {
  Window w = static_cast<Window>(XWindowOf(hwnd));
  // A manager asked to show a minimised window would restore it.
  if (!w || IsIconic(hwnd)) return;
  XWindowAttributes a{};
  if (!XGetWindowAttributes(F->Dpy, w, &a) || a.map_state != IsViewable) return;
  if (F->Managed) XRaiseWindow(F->Dpy, w);
  else F->Restack();
  XSetInputFocus(F->Dpy, w, RevertToParent, CurrentTime);
  if (F->Managed && !a.override_redirect) {
    // A window in a manager's frame comes to the front only when the manager raises the frame.
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = F->NetActive;
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = NetSourceApplication;
    ev.xclient.data.l[1] = static_cast<long>(F->LastTime);
    XSendEvent(F->Dpy, F->Root, False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
  }
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
      if (data.size() <= SelectionChunkBytes) {
        XChangeProperty(Dpy, req.requestor, prop, type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
      } else {
        // In pieces: the size first, then a piece each time the requestor deletes the last.
        std::erase_if(IncrOut, [&](const TIncrOut& t) { return t.Requestor == req.requestor && t.Property == prop; });
        XSelectInput(Dpy, req.requestor, PropertyChangeMask);
        long size = static_cast<long>(data.size());
        XChangeProperty(Dpy, req.requestor, prop, Incr, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&size),
                        1);
        IncrOut.push_back(TIncrOut{req.requestor, prop, type, std::move(data), 0, GetTickCount64() + IncrTimeoutMs});
      }
      reply.property = prop;
    }
  }
  XSendEvent(Dpy, req.requestor, False, 0, reinterpret_cast<XEvent*>(&reply));
}

void TX11Backend::TImpl::SendNextPiece(Window requestor, Atom property) {
  auto it = std::find_if(IncrOut.begin(), IncrOut.end(),
                         [&](const TIncrOut& t) { return t.Requestor == requestor && t.Property == property; });
  if (it == IncrOut.end()) return;
  const size_t n = std::min(SelectionChunkBytes, it->Data.size() - it->Sent);
  XChangeProperty(Dpy, requestor, property, it->Type, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(it->Data.data() + it->Sent), static_cast<int>(n));
  it->Sent += n;
  it->Due = GetTickCount64() + IncrTimeoutMs;
  // The empty piece that ends the text has gone too.
  if (n == 0) {
    XSelectInput(Dpy, requestor, NoEventMask);
    IncrOut.erase(it);
  }
  XFlush(Dpy);
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

// Keypad digits typed while Alt alone is held come as the keypad's keys, Num Lock or not, type
// nothing themselves, and add up to the code of one character.
bool TX11Backend::TImpl::AltKeypad(const XKeyEvent& key) {
  auto held = std::find(AltDigitKeys.begin(), AltDigitKeys.end(), key.keycode);
  KeySym digitSym = XkbKeycodeToKeysym(Dpy, static_cast<KeyCode>(key.keycode), 0, 1);
  if (digitSym < XK_KP_0 || digitSym > XK_KP_9) digitSym = XkbKeycodeToKeysym(Dpy, static_cast<KeyCode>(key.keycode), 0, 0);
  bool digit = digitSym >= XK_KP_0 && digitSym <= XK_KP_9;
  auto vk = static_cast<uint16_t>(VK_NUMPAD0 + (digitSym - XK_KP_0));
  if (key.type == KeyRelease) {
    if (held == AltDigitKeys.end()) return false;
    AltDigitKeys.erase(held);
    InjectKeyUp(vk);
    return true;
  }
  if (!digit || GetAsyncKeyState(VK_MENU) >= 0 || GetAsyncKeyState(VK_CONTROL) < 0 || GetAsyncKeyState(VK_SHIFT) < 0) {
    // Any other key ends the code; Num Lock, which tools press to reach the digits, does not.
    if (XkbKeycodeToKeysym(Dpy, static_cast<KeyCode>(key.keycode), 0, 0) != XK_Num_Lock) AltCode.reset();
    return false;
  }
  AltCode = (AltCode.value_or(0) * 10 + static_cast<int>(digitSym - XK_KP_0)) % 256;
  if (held == AltDigitKeys.end()) AltDigitKeys.push_back(key.keycode);
  InjectKeyDown(vk, TypesNothing);
  return true;
}

// Alt went up: the code spelt types its character in the code page.
void TX11Backend::TImpl::EndAltCode() {
  if (AltCode && *AltCode) InjectChar(static_cast<uint8_t>(*AltCode));
  AltCode.reset();
}

long TX11Backend::TImpl::WmStateOf(Window w) {
  Atom type = 0;
  int format = 0;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  long state = WithdrawnState;
  if (XGetWindowProperty(Dpy, w, WmState, 0, 2, False, WmState, &type, &format, &n, &after, &data) == Success &&
      data) {
    if (format == 32 && n >= 1) state = *reinterpret_cast<long*>(data);
    XFree(data);
  }
  return state;
}

unsigned TX11Backend::TImpl::NetStatesOf(Window w) {
  Atom type = 0;
  int format = 0;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  unsigned states = 0;
  if (XGetWindowProperty(Dpy, w, NetState, 0, 64, False, XA_ATOM, &type, &format, &n, &after, &data) == Success &&
      data) {
    auto* atoms = reinterpret_cast<Atom*>(data);
    for (int i = 0; i < StateCount; ++i)
      if (format == 32 && std::find(atoms, atoms + n, StateAtoms[i]) != atoms + n) states |= 1u << i;
    XFree(data);
  }
  return states;
}

// A change was asked of the manager: until it answers, or the time runs out, what it shows is older.
void TX11Backend::TImpl::Asked(TXState& x) {
  x.AskedUntil = GetTickCount64() + ManagerAnswerMs;
  RecheckAt = RecheckAt ? std::min(RecheckAt, x.AskedUntil) : x.AskedUntil;
}

// The manager minimised, restored or maximised the window: our state follows through the system
// commands its own buttons would send. While a change we asked for is on its way, what the
// manager reports is older than it and is not followed.
void TX11Backend::TImpl::FollowManager(HWND h, Window w) {
  if (!Managed) return;
  TXState& x = XState[w];
  TWindowRec* rec = FindWindowRec(h);
  if (!x.Mapped || !rec) return;
  long wm = WmStateOf(w);
  unsigned now = NetStatesOf(w);
  unsigned both = (1u << StateMaxVert) | (1u << StateMaxHorz);
  bool maximised = (now & both) == both;
  if (x.AskedUntil) {
    bool done = (wm == IconicState) == IsIconic(h) && (!x.Framed || IsIconic(h) || maximised == IsZoomed(h));
    if (!done && GetTickCount64() < x.AskedUntil) return;
    x.AskedUntil = 0;
  }
  if (wm == IconicState && !IsIconic(h) && x.Framed && (!(rec->Style & WS_MINIMIZEBOX) || !IsWindowEnabled(h))) {
    // A dialog, or a window waiting for its modal dialog, is not minimised: a manager that minimises
    // it anyway takes the dialog along and leaves the program without a window. It comes back.
    XMapRaised(Dpy, w);
    Asked(x);
  } else if (wm == IconicState && !IsIconic(h)) {
    x.Iconified = true;
    SendMessage(h, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  } else if (wm == NormalState && IsIconic(h)) {
    x.Iconified = false;
    SendMessage(h, WM_SYSCOMMAND, SC_RESTORE, 0);
  }
  if (!IsWindow(h) || !x.Framed || IsIconic(h) || wm != NormalState) return;
  // What the manager set is not asked of it again.
  x.States = (x.States & ~both) | (now & both);
  if (maximised != IsZoomed(h)) SendMessage(h, WM_SYSCOMMAND, maximised ? SC_MAXIMIZE : SC_RESTORE, 0);
}

// Places are those of the window inside the manager's frame: once the frame is known, a window
// placed at the edge of the work area moves in so that the manager's caption stays within reach.
void TX11Backend::TImpl::KeepCaptionOnScreen(HWND h, Window w) {
  if (!Managed || !XState[w].Framed || IsIconic(h) || IsZoomed(h)) return;
  Atom type = 0;
  int format = 0;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  long left = 0, top = 0;
  if (XGetWindowProperty(Dpy, w, NetFrameExtents, 0, 4, False, XA_CARDINAL, &type, &format, &n, &after, &data) ==
          Success &&
      data) {
    if (format == 32 && n == 4) left = reinterpret_cast<long*>(data)[0], top = reinterpret_cast<long*>(data)[2];
    XFree(data);
  }
  TRect b = GetWindowRect(h);
  int x = std::max(b.Left, Work.Left + static_cast<int>(left));
  int y = std::max(b.Top, Work.Top + static_cast<int>(top));
  if (x != b.Left || y != b.Top) SetWindowPos(h, 0, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A manager started or ended: framed windows change hands between its frame and ours, keeping
// their client area where it is; windows it did not take in are mapped again.
bool TX11Backend::TImpl::FindManager() {
  ManagerCheck = WindowProperty(Root, NetCheck);
  // A manager that ends leaves its name on the root: the end of its check window tells.
  if (ManagerCheck) XSelectInput(Dpy, ManagerCheck, StructureNotifyMask);
  return ManagerCheck != 0;
}

void TX11Backend::TImpl::ManagerChanged() {
  bool now = FindManager();
  if (now == Managed) return;
  Managed = now;
  std::vector<HWND> tops;
  for (auto& [h, w] : Windows) tops.push_back(h);
  for (HWND h : tops) {
    TWindowRec* rec = FindWindowRec(h);
    auto it = Windows.find(h);
    if (!rec || it == Windows.end()) continue;
    TXState& x = XState[it->second];
    bool framed = ManagerFramed(rec->Style, rec->ExStyle);
    if (framed == x.Framed) continue;
    TRect client = rec->Client;  // on the screen, for a top-level window
    x.Framed = framed;
    TRect in = NonClientInsets(rec->Style, rec->ExStyle);
    uint32_t flags = SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOACTIVATE;
    if (IsIconic(h) || IsZoomed(h)) flags |= SWP_NOMOVE | SWP_NOSIZE;
    SetWindowPos(h, 0, client.Left - in.Left, client.Top - in.Top, client.Width() + in.Left + in.Right,
                 client.Height() + in.Top + in.Bottom, flags);
    rec = FindWindowRec(h);
    if (rec && !PlacedByUs(*rec)) SetDecorationHint(it->second, *rec, x);
  }
  RecheckAt = GetTickCount64() + RecheckDelayMs;
}

void TX11Backend::TImpl::UpdateModalStates() {
  for (auto& [h, w] : Windows) {
    TWindowRec* rec = FindWindowRec(h);
    if (!rec) continue;
    TXState& x = XState[w];
    unsigned want = WantedStates(*rec, x);
    constexpr unsigned modal = 1u << StateModal;
    if ((want & modal) != (x.States & modal)) SetStates(w, x, (x.States & ~modal) | (want & modal));
  }
}

// Windows that should be on the screen and are not, and that no manager took in, are mapped
// again: a map sent while a manager starts can be lost between it and the server.
void TX11Backend::TImpl::Recheck() {
  RecheckAt = 0;
  // A change asked of the manager that it did not carry out: our state follows what it shows.
  std::vector<std::pair<HWND, Window>> unanswered;
  for (auto& [h, w] : Windows) {
    uint64_t until = XState[w].AskedUntil;
    if (until && GetTickCount64() >= until) unanswered.push_back({h, w});
    else if (until) RecheckAt = RecheckAt ? std::min(RecheckAt, until) : until;
  }
  for (auto& [h, w] : unanswered)
    if (IsWindow(h)) FollowManager(h, w);
  for (auto& [h, w] : Windows) {
    TXState& x = XState[w];
    if (!x.Mapped || x.Iconified) continue;
    XWindowAttributes a{};
    if (!XGetWindowAttributes(Dpy, w, &a) || a.map_state == IsViewable) continue;
    // A manager that took it in keeps it as it likes (on another desktop, say).
    if (Managed && WmStateOf(w) != WithdrawnState) continue;
    XMapRaised(Dpy, w);
  }
  XFlush(Dpy);
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
      if (!h) break;
      Window w = ev.xany.window;
      TXState& x = XState[w];
      // Of the notices waiting, the latest counts. A manager's own notices carry the place on the
      // screen; the server's carry it while the window sits on the root rather than in a frame.
      // Without a manager our requests are carried out in order: notices older than the last are stale.
      // Notices behind a reparenting wait for it: the server's place means another thing after it.
      std::optional<TPoint> place, size;
      XEvent e = ev;
      do {
        const XConfigureEvent& c = e.xconfigure;
        if (!Managed && c.serial < x.ConfigureSerial) continue;
        if (c.send_event || !x.InFrame) place = TPoint{c.x, c.y};
        size = TPoint{c.width, c.height};
      } while (NextConfigureBeforeReparent(Dpy, w, e));
      if (!size) break;
      TRect b = GetWindowRect(h);
      bool sized = size->X != std::max(1, b.Width()) || size->Y != std::max(1, b.Height());
      // A maximise by the manager is taken before the size it brings, so the size to restore stays.
      if (sized && Managed && x.Framed) {
        FollowManager(h, w);
        if (!IsWindow(h)) break;
        b = GetWindowRect(h);
        sized = size->X != std::max(1, b.Width()) || size->Y != std::max(1, b.Height());
      }
      if (IsIconic(h) && Managed) break;
      if (!place) place = TPoint{b.Left, b.Top};
      bool moved = place->X != b.Left || place->Y != b.Top;
      if (!moved && !sized) break;
      FromServer = h;
      struct TGuard {
        HWND& Flag;
        ~TGuard() { Flag = 0; }
      } guard{FromServer};
      SetWindowPos(h, 0, place->X, place->Y, sized ? size->X : b.Width(), sized ? size->Y : b.Height(),
                   SWP_NOZORDER | SWP_NOACTIVATE);
      // The window may keep a size of its own (a minimum, say): the server learns it.
      TRect now = GetWindowRect(h);
      if (IsWindow(h) && sized && (now.Width() != size->X || now.Height() != size->Y)) {
        x.ConfigureSerial = NextRequest(Dpy);
        XResizeWindow(Dpy, w, static_cast<unsigned>(std::max(1, now.Width())),
                      static_cast<unsigned>(std::max(1, now.Height())));
      }
      break;
    }
    case ReparentNotify:
      if (h) XState[ev.xany.window].InFrame = ev.xreparent.parent != Root;
      break;
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
      if (AltKeypad(ev.xkey)) break;
      if (ev.type == KeyRelease) {
        if (vk) InjectKeyUp(vk);
        if (vk == VK_MENU) EndAltCode();
        break;
      }
      if (vk == VK_MENU) AltCode.reset();
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
    case LeaveNotify:
      // Hot tracking asks where the pointer is: out of our windows no move tells it any more.
      if (h && ev.xcrossing.mode == NotifyNormal && ev.xcrossing.detail != NotifyInferior && !GetCapture())
        InjectPointerLeft(ev.xcrossing.x_root, ev.xcrossing.y_root);
      break;
    case MapNotify:
      if (!h) break;
      FollowManager(h, ev.xany.window);
      // Focus can go to a window only once it is viewable.
      if (IsWindow(h) && GetActiveWindow() == h) XSetInputFocus(Dpy, ev.xany.window, RevertToParent, CurrentTime);
      break;
    case UnmapNotify:
      if (h) FollowManager(h, ev.xany.window);
      if (h) RecheckAt = GetTickCount64() + RecheckDelayMs;  // a manager taking it in maps it again
      break;
    case FocusIn:
      if (h && ev.xfocus.detail != NotifyPointer) {
        FocusLeaving = false;
        ReleaseModifiersUp();
        // A notice of a focus we have moved on from since: following it would bring it back, and
        // two windows activated in a row would take the focus from each other for ever.
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(Dpy, &focus, &revert);
        if (focus == ev.xany.window && GetActiveWindow() != h && IsWindowEnabled(h) && !IsIconic(h))
          SetActiveWindow(h);
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
      if (ev.xproperty.window == Root && ev.xproperty.atom == NetCheck) ManagerChanged();
      if (h && (ev.xproperty.atom == WmState || ev.xproperty.atom == NetState)) FollowManager(h, ev.xany.window);
      if (h && ev.xproperty.atom == NetFrameExtents) KeepCaptionOnScreen(h, ev.xany.window);
      if (ev.xproperty.window == Helper) LastTime = ev.xproperty.time;
      if (!h && ev.xproperty.state == PropertyDelete) SendNextPiece(ev.xproperty.window, ev.xproperty.atom);
      break;
    case MappingNotify: XRefreshKeyboardMapping(&ev.xmapping); break;
    case DestroyNotify:
      if (ev.xdestroywindow.window == ManagerCheck && ManagerCheck) ManagerChanged();
      break;
  }
}

void TX11Backend::PumpInput() {
  Display* d = F->Dpy;
  while (XPending(d)) {
    XEvent ev;
    XNextEvent(d, &ev);
    F->Handle(ev);
  }
  F->UpdateModalStates();
  const uint64_t now = GetTickCount64();
  std::erase_if(F->IncrOut, [&](const TImpl::TIncrOut& t) { return now >= t.Due; });
  if (F->RecheckAt && GetTickCount64() >= F->RecheckAt) F->Recheck();
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
  if (F->RecheckAt) {
    uint64_t now = GetTickCount64();
    int due = F->RecheckAt > now ? static_cast<int>(F->RecheckAt - now) : 0;
    if (timeoutMs < 0 || due < timeoutMs) timeoutMs = due;
  }
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
  bool pieces = false;
  // The property is deleted as it is read: for a transfer in pieces that asks for the first one.
  if (XGetWindowProperty(Dpy, Helper, Incoming, 0, static_cast<long>(MaxSelectionBytes / 4), True, AnyPropertyType,
                         &actual, &format, &count, &after, &data) == Success) {
    if (actual == Incr) pieces = true;
    else if (format == 8 && after == 0 && (actual == Utf8 || actual == XA_STRING || actual == Text))
      out = std::string(reinterpret_cast<char*>(data), count);
    type = actual;
  }
  if (data) XFree(data);
  if (!pieces) return out;
  out = ReceivePieces();
  return out;
}

AnsiString ClipboardTextFromX(const std::string& bytes, bool utf8) {
  return FromXText(utf8 ? Utf8ToAnsi(bytes) : bytes);
}

// The pieces of a large selection: each arrives as a new value of the property, which we delete to
// ask for the next; an empty one ends the text.
std::optional<std::string> TX11Backend::TImpl::ReceivePieces() {
  XFlush(Dpy);
  std::string text;
  struct TScan {
    Window W;
    Atom A;
  } scan{Helper, Incoming};
  auto match = [](Display*, XEvent* e, XPointer arg) -> Bool {
    auto* s = reinterpret_cast<TScan*>(arg);
    return e->type == PropertyNotify && e->xproperty.window == s->W && e->xproperty.atom == s->A &&
           e->xproperty.state == PropertyNewValue;
  };
  for (;;) {
    uint64_t deadline = GetTickCount64() + SelectionWaitMs;
    XEvent ev;
    while (!XCheckIfEvent(Dpy, &ev, match, reinterpret_cast<XPointer>(&scan))) {
      uint64_t now = GetTickCount64();
      if (now >= deadline) return std::nullopt;
      pollfd p{ConnectionNumber(Dpy), POLLIN, 0};
      poll(&p, 1, static_cast<int>(deadline - now));
    }
    Atom actual = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const long room = static_cast<long>((MaxSelectionBytes - text.size()) / 4 + 1);
    if (XGetWindowProperty(Dpy, Helper, Incoming, 0, room, True, AnyPropertyType, &actual, &format, &count, &after,
                           &data) != Success)
      return std::nullopt;
    // A notice older than our last read: the piece it told of is taken, or the next not yet there.
    if (actual == None) {
      if (data) XFree(data);
      continue;
    }
    const bool ok = format == 8 && after == 0 && text.size() + count <= MaxSelectionBytes;
    if (ok) text.append(reinterpret_cast<char*>(data), count);
    if (data) XFree(data);
    XFlush(Dpy);
    if (!ok) return std::nullopt;
    if (count == 0) return text;
  }
}

std::optional<AnsiString> TX11Backend::ClipboardText() {
  Window owner = XGetSelectionOwner(F->Dpy, F->Clipboard);
  if (owner == F->Helper) return F->Owned;
  F->Owned.reset();
  if (owner == None) return std::nullopt;
  Atom type = 0;
  if (auto utf8 = F->Convert(F->Utf8, type)) return ClipboardTextFromX(*utf8, type != XA_STRING);
  if (auto latin = F->Convert(XA_STRING, type)) return ClipboardTextFromX(*latin, type == F->Utf8);
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

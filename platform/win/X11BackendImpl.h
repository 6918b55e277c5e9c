// What the X11 display keeps between calls, shared by the sources that carry it out: the connection
// and its atoms, the X window of each top-level window, the clipboard text and its transfers.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/win/Cursors.h"
#include "platform/win/WinState.h"
#include "platform/win/X11Backend.h"

// How long after a show, or a manager's start, the windows are looked at again.
constexpr uint64_t RecheckDelayMs = 500;

// A floating tool window: a pop-up owned by its form, drawing its own small caption.
inline bool OwnedToolWindow(const TWindowRec& rec) {
  return (rec.Style & WS_POPUP) && (rec.ExStyle & WS_EX_TOOLWINDOW) && !(rec.ExStyle & WS_EX_TOPMOST) && rec.Owner;
}

// Menus and other frameless pop-ups are placed by us alone, without a window manager's frame. A
// floating tool window is not: above every window on the screen it would cover its form's dialogs.
inline bool PlacedByUs(const TWindowRec& rec) {
  return (rec.Style & WS_POPUP) && (rec.Style & WS_CAPTION) != WS_CAPTION && !OwnedToolWindow(rec);
}

// Latin-1 and the code page differ only in 0x80..0x9F, which Latin-1 keeps for controls.
inline std::string AnsiToLatin1(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if (static_cast<uint8_t>(c) >= 0x80 && static_cast<uint8_t>(c) <= 0x9F) c = '?';
  return out;
}

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
  Cursor CursorFor(int shape);
  // The 32-bit items of a window's property of that type, at most Most; none when it is missing
  // or of another form.
  std::vector<long> Longs(Window w, Atom name, Atom type, long most);
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

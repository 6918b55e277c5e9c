// The display that shows the windows and brings their input: the headless one in the process, or
// X11. The window system tells it what changed; it feeds input through the injection calls.
#pragma once

#include <memory>
#include <optional>

#include "platform/rtl/Exceptions.h"
#include "platform/win/WinTypes.h"

QUORVEX_EXCEPTION(EDisplayError, Exception);

class TDisplayBackend {
public:
  virtual ~TDisplayBackend() = default;

  // Top-level windows only; children live in their top-level window's back buffer.
  virtual void WindowCreated(HWND) {}
  virtual void WindowDestroyed(HWND) {}
  virtual void WindowShown(HWND, bool /*visible*/) {}
  virtual void WindowMoved(HWND, const TRect& /*screenBounds*/) {}
  virtual void WindowTitled(HWND, const AnsiString&) {}
  virtual void WindowActivated(HWND) {}
  // Topmost or tool-window state or the owner changed.
  virtual void WindowRestyled(HWND) {}
  // The order of the top-level windows changed.
  virtual void WindowsRestacked() {}
  // The mouse is captured by a window inside this top-level window (0: released): its moves
  // and buttons come here wherever the pointer is.
  virtual void CaptureChanged(HWND /*top*/) {}
  // A press on a window's own caption (HTCAPTION) or sizing edge (the sizing hit code) at the
  // screen point: moves or sizes it until the button goes up. A window manager may do it.
  virtual void BeginMoveSize(HWND hwnd, int hit, TPoint screen);
  // Part of the window's back buffer (window coordinates) changed and may be shown.
  virtual void Present(HWND, const TRect&) {}

  // Moves what the display has received into the queue; cheap when nothing is there.
  virtual void PumpInput() {}
  // Whether input can arrive from outside the process at all.
  virtual bool BringsInput() const { return false; }
  // Waits until input may be there or timeoutMs passed (-1: no limit, only when BringsInput).
  virtual void WaitInput(int timeoutMs) = 0;

  virtual std::optional<AnsiString> ClipboardText() = 0;
  virtual void SetClipboardText(const std::optional<AnsiString>& text) = 0;

  virtual TRect ScreenRect() const = 0;
  virtual TRect WorkArea() const = 0;
  virtual void SetCursorShape(int /*cursor*/) {}
  // Inverts the frame between r and r shrunk by thickness on the screen itself, in the 8 x 8
  // checker pattern; the same call again restores it.
  virtual void XorFrame(const TRect& /*r*/, int /*thickness*/) {}
  // The window system forgot every window (tests start again).
  virtual void Reset() {}
  // Whether a window manager draws the frames and captions of framed top-level windows.
  virtual bool ManagerDecorates() const { return false; }
};

// A top-level window with a caption, other than a tool window, whose frame and caption the window
// manager draws when there is one; the window itself is then its client area.
bool ManagerFramed(uint32_t style, uint32_t exStyle);

// The backend in use; the headless one until another is set.
TDisplayBackend& DisplayBackend();
// Takes over the backend; nullptr goes back to a fresh headless one.
void SetDisplayBackend(std::unique_ptr<TDisplayBackend> backend);

// The X11 display: each top-level window an X window showing its back buffer, X input turned into
// messages, the CLIPBOARD selection, the screen's work area and the drag frame on the root window.
#pragma once

#include <memory>

#include "platform/win/DisplayBackend.h"

// The text a CLIPBOARD selection gives the program: UTF-8 (or Latin-1) turned into the code page,
// line ends into CR LF.
AnsiString ClipboardTextFromX(const std::string& bytes, bool utf8);

class TX11Backend final : public TDisplayBackend {
public:
  // Opens the display by its name, or $DISPLAY for nullptr; raises EDisplayError
  // "Cannot open the display: ..." when there is none.
  explicit TX11Backend(const char* displayName = nullptr);
  ~TX11Backend() override;
  TX11Backend(const TX11Backend&) = delete;
  TX11Backend& operator=(const TX11Backend&) = delete;

  void WindowCreated(HWND hwnd) override;
  void WindowDestroyed(HWND hwnd) override;
  void WindowShown(HWND hwnd, bool visible) override;
  void WindowMoved(HWND hwnd, const TRect& screenBounds) override;
  void WindowTitled(HWND hwnd, const AnsiString& title) override;
  void WindowActivated(HWND hwnd) override;
  void WindowRestyled(HWND hwnd) override;
  void WindowsRestacked() override;
  void CaptureChanged(HWND top) override;
  // Hands the drag to the window manager when it says it can take it; runs it ourselves otherwise.
  void BeginMoveSize(HWND hwnd, int hit, TPoint screen) override;
  void Present(HWND hwnd, const TRect& area) override;

  void PumpInput() override;
  bool BringsInput() const override { return true; }
  void WaitInput(int timeoutMs) override;

  std::optional<AnsiString> ClipboardText() override;
  void SetClipboardText(const std::optional<AnsiString>& text) override;

  TRect ScreenRect() const override;
  TRect WorkArea() const override;
  void SetCursorShape(int cursor) override;
  void XorFrame(const TRect& r, int thickness) override;
  void Reset() override;
  // A window manager runs: it draws the frames of framed top-level windows and keeps their state.
  bool ManagerDecorates() const override;

  // The X window that shows a top-level window, 0 for none: for screenshots and tests.
  unsigned long XWindowOf(HWND hwnd) const;
  // Returns once the server has carried out every request sent so far.
  void Sync();

private:
  struct TImpl;
  std::unique_ptr<TImpl> F;
};

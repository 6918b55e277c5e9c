// A test on a private X display: the tools it needs are checked, Xvfb is started, the window
// system is switched to it and back, and the X tools run against it while messages are pumped.
// Free of the class library, whose names clash with Xlib's; FormX11Fixture.h adds forms.
#pragma once

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "platform/win/DisplayBackend.h"
#include "platform/win/Windows.h"
#include "platform/win/X11Backend.h"
#include "platform/x11/XvfbSupport.h"

// A derived SetUp() calls this one first and returns when Ready() is false.
template <class TBase = ::testing::Test>
class TXvfbTest : public TBase {
protected:
  // The X tools the test runs besides Xvfb; without one of them it is skipped.
  explicit TXvfbTest(std::initializer_list<const char*> tools = {}) : FTools(tools) {}

  void SetUp() override {
    FTools.insert(FTools.begin(), "Xvfb");
    for (const char* tool : FTools)
      if (!ToolInstalled(tool)) GTEST_SKIP() << tool << " is not installed";
    FServer = std::make_unique<TXvfb>();
    ASSERT_FALSE(FServer->Display().empty()) << "Xvfb did not start";
    ResetWindowSystem();
    auto backend = std::make_unique<TX11Backend>(FServer->Display().c_str());
    FBackend = backend.get();
    SetDisplayBackend(std::move(backend));
  }
  void TearDown() override {
    ResetWindowSystem();
    SetDisplayBackend(nullptr);
    FBackend = nullptr;
    FServer.reset();
  }
  bool Ready() const { return !this->IsSkipped() && !this->HasFatalFailure(); }

  // One round of the test's message loop, run while it waits and while the X tools run.
  virtual void Pump() = 0;
  std::function<void()> Pumper() {
    return [this] { Pump(); };
  }
  // Runs a shell command against the display; returns its standard output.
  std::string Tool(const std::string& cmd) { return FServer->Run(cmd, Pumper()); }
  std::string XId(HWND h) { return std::to_string(FBackend->XWindowOf(h)); }
  // As another client sees it.
  bool Viewable(HWND h) {
    FBackend->Sync();
    if (!FBackend->XWindowOf(h)) return false;
    return Tool("xwininfo -id " + XId(h)).find("Map State: IsViewable") != std::string::npos;
  }
  // A top-level window with this caption is on the screen.
  bool Shown(const std::string& caption) {
    return !Tool("xdotool search --onlyvisible --name '" + caption + "'").empty();
  }
  // What another client reads from the CLIPBOARD selection.
  std::string ClipboardText() { return Tool("xclip -selection clipboard -o"); }
  // Hands xclip a printf format to offer as the CLIPBOARD selection; true when it took it.
  // xclip takes the selection in the background, a moment after it returns.
  bool OfferClipboard(const std::string& format) {
    int status = -1;
    FServer->Run("printf '" + format + "' | xclip -selection clipboard -i >/dev/null 2>&1", Pumper(), &status);
    return status == 0;
  }

  // Screen points in the form xdotool takes them.
  static std::string At(TPoint p) { return std::to_string(p.X) + " " + std::to_string(p.Y); }
  static std::string At(const TRect& r) { return At(TPoint{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2}); }
  void Click(const std::string& at) { Tool("xdotool mousemove --sync " + at + " click 1"); }

  std::unique_ptr<TXvfb> FServer;
  TX11Backend* FBackend = nullptr;

private:
  std::vector<const char*> FTools;
};

// A form like the main window on a real X display, with openbox and without a window manager:
// xdotool clicks its caption buttons, an open message box shows xprop its hints, and a second copy
// reaches xclip.
#include <cstdio>
#include <memory>
#include <sstream>

#include "platform/classlib/Forms.h"
#include "platform/classlib/Memo.h"
#include "platform/classlib/MessageBox.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/classlib/Timer.h"
#include "platform/classlib/WindowPump.h"
#include "platform/win/DisplayBackend.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/NonClient.h"
#include "platform/win/Windows.h"
#include "platform/win/X11Backend.h"
#include "platform/x11/XvfbSupport.h"

namespace {

class DemoFormX11Test : public ::testing::TestWithParam<bool> {
protected:
  void SetUp() override {
    for (const char* tool : {"Xvfb", "xdotool", "xclip", "xprop", "xwininfo"})
      if (!ToolInstalled(tool)) GTEST_SKIP() << tool << " is not installed";
    FServer = std::make_unique<TXvfb>();
    ASSERT_FALSE(FServer->Display().empty()) << "Xvfb did not start";
    ResetWindowSystem();
    auto backend = std::make_unique<TX11Backend>(FServer->Display().c_str());
    FBackend = backend.get();
    SetDisplayBackend(std::move(backend));
    UseWindowSystemPump();
    if (GetParam()) {
      if (!FServer->StartWindowManager()) GTEST_SKIP() << "openbox is not installed";
      ASSERT_TRUE(PumpUntil([] { return DisplayBackend().ManagerDecorates(); }, Pumper(), 10000));
    }
    FForm = std::make_unique<TForm>(nullptr);
    FForm->SetCaption("Quorvex demo");
    FForm->SetBounds(60, 40, 480, 320);
    for (int i = 0; i < 2; ++i) {
      auto* group = new TGroupBox(FForm.get());
      group->SetParent(FForm.get());
      group->SetBounds(8 + 160 * i, 8, 150, 200);
      group->SetCaption(i ? "Agents" : "Airline Plates");
      FMemos[i] = new TMemo(FForm.get());
      FMemos[i]->SetParent(group);
      FMemos[i]->SetAlign(alClient);
    }
    auto* password = new TEdit(FForm.get());
    password->SetParent(FForm.get());
    password->SetBounds(330, 16, 120, 21);
    password->SetPasswordChar('*');
    FSplit = new TButton(FForm.get());
    FSplit->SetParent(FForm.get());
    FSplit->SetBounds(330, 50, 75, 25);
    FSplit->OnClick = [](TObject*) { ShowMessageBox("The split is done.", "", TMsgDlgType::mtInformation, mbOKOnly); };
    FForm->Show();
    ASSERT_TRUE(PumpUntil([&] { return Viewable(FForm->Handle()); }, Pumper()));
  }
  void TearDown() override {
    FForm.reset();
    Application().SetMessagePump({});
    ResetWindowSystem();
    SetDisplayBackend(nullptr);
    FServer.reset();
  }
  static std::function<void()> Pumper() {
    return [] { Application().ProcessMessages(); };
  }
  std::string Tool(const std::string& cmd) { return FServer->Run(cmd, Pumper()); }
  std::string XId(HWND h) { return std::to_string(FBackend->XWindowOf(h)); }
  bool Viewable(HWND h) { return Tool("xwininfo -id " + XId(h)).find("IsViewable") != std::string::npos; }
  static std::string At(const TRect& r) {
    return std::to_string((r.Left + r.Right) / 2) + " " + std::to_string((r.Top + r.Bottom) / 2);
  }
  void Click(const TRect& r) { Tool("xdotool mousemove --sync " + At(r) + " click 1"); }

  // The children of an X window (all of the window's frame for "Parent") on the screen, from xwininfo.
  std::vector<std::pair<std::string, TRect>> Children(const std::string& id) {
    std::vector<std::pair<std::string, TRect>> out;
    std::istringstream in(Tool("xwininfo -children -id " + id));
    for (std::string line; std::getline(in, line);) {
      int w = 0, h = 0, x = 0, y = 0, rx = 0, ry = 0;
      size_t at = line.rfind("  ");
      size_t id = line.find("0x");
      if (line.find("Parent window id: ") != std::string::npos) out.push_back({line.substr(id, line.find(' ', id) - id), {}});
      else if (line.find("     0x") == 0 && at != std::string::npos &&
               std::sscanf(line.c_str() + line.rfind("  ", at - 1), " %dx%d+%d+%d +%d+%d", &w, &h, &x, &y, &rx, &ry) == 6)
        out.push_back({line.substr(5, line.find(' ', 5) - 5), TRect(rx, ry, rx + w, ry + h)});
    }
    return out;
  }
  // The manager's minimise, maximise and close buttons: the small squares of its title bar at the
  // window's top right, once the frame has stopped moving there.
  std::vector<TRect> ManagerButtons() {
    auto read = [&] {
      TRect w = GetWindowRect(FForm->Handle());
      std::vector<TRect> b;
      for (auto& [frame, none] : Children(XId(FForm->Handle())))
        for (auto& [bar, r] : Children(frame))
          if (r.Height() < 40 && r.Width() >= w.Width())
            for (auto& [button, s] : Children(bar))
              if (s.Width() >= 8 && s.Width() == s.Height() && s.Bottom <= w.Top && s.Left > w.Right - 90) b.push_back(s);
      std::sort(b.begin(), b.end(), [](const TRect& p, const TRect& q) { return p.Left < q.Left; });
      return b;
    };
    std::vector<TRect> b = read();
    if (b.size() != 3) return {};
    usleep(50000);
    return read() == b ? b : std::vector<TRect>{};
  }
  TRect OwnButton(int hit) {
    HWND h = FForm->Handle();
    TRect w = GetWindowRect(h);
    TNonClientLayout l = NonClientLayout(static_cast<uint32_t>(GetWindowLongPtr(h, GWL_STYLE)),
                                         static_cast<uint32_t>(GetWindowLongPtr(h, GWL_EXSTYLE)), w.Width(), w.Height());
    return OffsetRect(hit == HTCLOSE ? l.Close : l.Min, w.Left, w.Top);
  }

  std::unique_ptr<TXvfb> FServer;
  TX11Backend* FBackend = nullptr;
  std::unique_ptr<TForm> FForm;
  TMemo* FMemos[2] = {};
  TButton* FSplit = nullptr;
};

TEST_P(DemoFormX11Test, ASecondCopyReachesOtherPrograms) {
  for (TMemo* memo : FMemos) {
    memo->SetText(memo == FMemos[0] ? "220 125" : "0012345");
    memo->SetFocus();
    memo->SelectAll();
    Tool("xdotool key ctrl+c");
    EXPECT_EQ(memo->Text(), Tool("xclip -selection clipboard -o"));
  }
}

TEST_P(DemoFormX11Test, AnOpenMessageBoxIsTransientAndModal) {
  std::string hints;
  TTimer look(nullptr);
  look.SetInterval(200);
  // Runs inside the box's modal loop.
  look.OnTimer = [&](TObject*) {
    look.SetEnabled(false);
    HWND box = GetActiveWindow();
    if (box == FForm->Handle() || !PumpUntil([&] { return Viewable(box); }, Pumper())) return;
    hints = Tool("xprop -id " + XId(box));
    PostMessage(box, WM_SYSCOMMAND, SC_CLOSE, 0);
  };
  look.SetEnabled(true);
  Click(OffsetRect(TRect(0, 0, 75, 25), FSplit->ClientToScreen(TPoint{0, 0}).X, FSplit->ClientToScreen(TPoint{0, 0}).Y));
  ASSERT_TRUE(PumpUntil([&] { return !hints.empty(); }, Pumper()));
  char owner[64];
  std::snprintf(owner, sizeof owner, "WM_TRANSIENT_FOR(WINDOW): window id # 0x%lx", FBackend->XWindowOf(FForm->Handle()));
  for (std::string hint : {std::string(owner), std::string("_NET_WM_STATE_MODAL"), std::string("_NET_WM_WINDOW_TYPE_DIALOG")})
    EXPECT_NE(std::string::npos, hints.find(hint)) << hint << " in\n" << hints;
}

TEST_P(DemoFormX11Test, CaptionButtonsMinimiseRestoreAndClose) {
  HWND h = FForm->Handle();
  const TRect normal(60, 40, 540, 360);
  auto state = [&](TWindowState s) { return PumpUntil([&] { return FForm->WindowState() == s; }, Pumper()); };
  std::vector<TRect> buttons;
  auto manager = [&] { return PumpUntil([&] { return !(buttons = ManagerButtons()).empty(); }, Pumper()); };
  if (GetParam()) {
    ASSERT_TRUE(manager());
    Click(buttons[0]);
    ASSERT_TRUE(state(wsMinimized));
    Tool("xdotool windowactivate --sync " + XId(h));  // as a task bar restores it
    ASSERT_TRUE(state(wsNormal));
    EXPECT_EQ(normal, GetWindowRect(h));
    ASSERT_TRUE(manager());
    Click(buttons[1]);
    ASSERT_TRUE(state(wsMaximized));
    ASSERT_TRUE(manager());
    Click(buttons[1]);
    ASSERT_TRUE(PumpUntil([&] { return GetWindowRect(h) == normal; }, Pumper()));
    EXPECT_EQ(wsNormal, FForm->WindowState());
    ASSERT_TRUE(manager());
    Click(buttons[2]);
  } else {
    // Pressed and released in separate pumps, as a user's click arrives.
    auto press = [&](int hit) {
      Tool("xdotool mousemove --sync " + At(OwnButton(hit)) + " mousedown 1");
      Application().ProcessMessages();
      Tool("xdotool mouseup 1");
    };
    for (TWindowState after : {wsMinimized, wsNormal}) {
      press(HTMINBUTTON);
      ASSERT_TRUE(state(after));
      EXPECT_TRUE(Viewable(h)) << "its small caption stays on the screen";
    }
    EXPECT_EQ(normal, GetWindowRect(h));
    press(HTCLOSE);
  }
  EXPECT_TRUE(PumpUntil([&] { return !FForm->Visible(); }, Pumper()));
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutAManager, DemoFormX11Test, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Openbox" : "NoManager"; });

}  // namespace

// A form like the main window on a real X display, with openbox and without a window manager:
// xdotool clicks its caption buttons, an open message box shows xprop its hints, and a second copy
// reaches xclip.
#include <algorithm>
#include <memory>

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
#include "platform/x11/XPeer.h"
#include "platform/x11/XvfbSupport.h"

namespace {

class DemoFormX11Test : public ::testing::TestWithParam<bool> {
protected:
  void SetUp() override {
    if (!ToolInstalled("Xvfb") || !ToolInstalled("xdotool") || !ToolInstalled("xclip") || !ToolInstalled("xprop"))
      GTEST_SKIP() << "Xvfb, xdotool, xclip and xprop are needed";
    FServer = std::make_unique<TXvfb>();
    ASSERT_FALSE(FServer->Display().empty()) << "Xvfb did not start";
    ResetWindowSystem();
    auto backend = std::make_unique<TX11Backend>(FServer->Display().c_str());
    FBackend = backend.get();
    SetDisplayBackend(std::move(backend));
    UseWindowSystemPump();
    FPeer = std::make_unique<TXPeer>(FServer->Display());
    ASSERT_TRUE(FPeer->Connected());
    if (Managed()) {
      if (!FServer->StartWindowManager()) GTEST_SKIP() << "openbox is not installed";
      ASSERT_TRUE(PumpUntil([] { return DisplayBackend().ManagerDecorates(); }, Pumper(), 10000));
    }
    BuildForm();
  }
  void TearDown() override {
    FForm.reset();
    Application().SetMessagePump({});
    ResetWindowSystem();
    SetDisplayBackend(nullptr);
    FPeer.reset();
    FServer.reset();
  }
  bool Managed() const { return GetParam(); }
  static std::function<void()> Pumper() {
    return [] { Application().ProcessMessages(); };
  }
  std::string Tool(const std::string& cmd) { return FServer->Run(cmd, Pumper()); }
  static std::string At(TPoint p) { return std::to_string(p.X) + " " + std::to_string(p.Y); }
  static TPoint Centre(const TRect& r) { return TPoint{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2}; }
  void Click(TPoint p) { Tool("xdotool mousemove --sync " + At(p) + " click 1"); }
  bool Viewable(HWND h) { return FPeer->Viewable(FBackend->XWindowOf(h)); }

  void BuildForm() {
    FForm = std::make_unique<TForm>(nullptr);
    FForm->SetCaption("Quorvex demo");
    FForm->SetBounds(60, 40, 480, 320);
    int left = 8;
    for (TMemo** memo : {&FPlates, &FAgents}) {
      auto* group = new TGroupBox(FForm.get());
      group->SetParent(FForm.get());
      group->SetBounds(left, 8, 150, 200);
      group->SetCaption(memo == &FPlates ? "Airline Plates" : "Agents");
      *memo = new TMemo(FForm.get());
      (*memo)->SetParent(group);
      (*memo)->SetAlign(alClient);
      left += 160;
    }
    FPassword = new TEdit(FForm.get());
    FPassword->SetParent(FForm.get());
    FPassword->SetBounds(330, 16, 120, 21);
    FPassword->SetPasswordChar('*');
    FSplit = new TButton(FForm.get());
    FSplit->SetParent(FForm.get());
    FSplit->SetBounds(330, 50, 75, 25);
    FSplit->SetCaption("Split");
    FSplit->OnClick = [](TObject*) { ShowMessageBox("The split is done.", "", TMsgDlgType::mtInformation, mbOKOnly); };
    FForm->Show();
    ASSERT_TRUE(PumpUntil([&] { return Viewable(FForm->Handle()); }, Pumper()));
  }

  // The manager's minimise, maximise and close buttons, right of its title; none while the frame
  // is not yet above the window (the manager animates it).
  std::vector<TRect> ManagerButtons() {
    auto read = [&] {
      std::vector<TRect> b = FPeer->TitleButtons(FBackend->XWindowOf(FForm->Handle()));
      if (b.size() > 3) b.erase(b.begin(), b.end() - 3);
      return b;
    };
    std::vector<TRect> b = read();
    TRect w = GetWindowRect(FForm->Handle());
    for (const TRect& r : b)
      if (r.Bottom > w.Top || r.Top < w.Top - 40 || r.Right > w.Right + 10 || r.Left < w.Right - 90) return {};
    usleep(50000);
    return read() == b ? b : std::vector<TRect>{};  // still a moment later
  }

  // Our own caption's buttons on the screen.
  TRect OwnButton(int hit) {
    HWND h = FForm->Handle();
    TRect w = GetWindowRect(h);
    TNonClientLayout l = NonClientLayout(static_cast<uint32_t>(GetWindowLongPtr(h, GWL_STYLE)),
                                         static_cast<uint32_t>(GetWindowLongPtr(h, GWL_EXSTYLE)), w.Width(), w.Height());
    TRect b = hit == HTCLOSE ? l.Close : hit == HTMAXBUTTON ? l.Max : l.Min;
    return OffsetRect(b, w.Left, w.Top);
  }

  std::unique_ptr<TXvfb> FServer;
  TX11Backend* FBackend = nullptr;
  std::unique_ptr<TXPeer> FPeer;
  std::unique_ptr<TForm> FForm;
  TMemo* FPlates = nullptr;
  TMemo* FAgents = nullptr;
  TEdit* FPassword = nullptr;
  TButton* FSplit = nullptr;
};

TEST_P(DemoFormX11Test, ASecondCopyReachesOtherPrograms) {
  for (TMemo* memo : {FPlates, FAgents}) {
    memo->SetText(memo == FPlates ? "220 125" : "0012345");
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
  look.OnTimer = [&](TObject*) {
    look.SetEnabled(false);
    HWND box = GetActiveWindow();
    if (box == FForm->Handle() || !PumpUntil([&] { return Viewable(box); }, Pumper())) return;
    hints = Tool("xprop -id " + std::to_string(FBackend->XWindowOf(box)));
    PostMessage(box, WM_SYSCOMMAND, SC_CLOSE, 0);
  };
  look.SetEnabled(true);
  Click(FSplit->ClientToScreen(TPoint{30, 12}));
  ASSERT_TRUE(PumpUntil([&] { return !hints.empty(); }, Pumper()));
  char owner[64];
  std::snprintf(owner, sizeof owner, "WM_TRANSIENT_FOR(WINDOW): window id # 0x%lx", FBackend->XWindowOf(FForm->Handle()));
  EXPECT_NE(std::string::npos, hints.find(owner)) << hints;
  EXPECT_NE(std::string::npos, hints.find("_NET_WM_STATE_MODAL")) << hints;
  EXPECT_NE(std::string::npos, hints.find("_NET_WM_WINDOW_TYPE_DIALOG")) << hints;
}

TEST_P(DemoFormX11Test, CaptionButtonsMinimiseRestoreAndClose) {
  HWND h = FForm->Handle();
  if (Managed()) {
    std::vector<TRect> buttons;
    ASSERT_TRUE(PumpUntil([&] { return (buttons = ManagerButtons()).size() == 3; }, Pumper()));
    Click(Centre(buttons[0]));
    ASSERT_TRUE(PumpUntil([&] { return FForm->WindowState() == wsMinimized; }, Pumper()));
    // A task bar restores it so.
    Tool("xdotool windowactivate --sync " + std::to_string(FBackend->XWindowOf(h)));
    ASSERT_TRUE(PumpUntil([&] { return FForm->WindowState() == wsNormal && Viewable(h); }, Pumper()));
    EXPECT_EQ(TRect(60, 40, 540, 360), GetWindowRect(h));
    ASSERT_TRUE(PumpUntil([&] { return (buttons = ManagerButtons()).size() == 3; }, Pumper()));
    Click(Centre(buttons[1]));
    ASSERT_TRUE(PumpUntil([&] { return FForm->WindowState() == wsMaximized; }, Pumper()));
    ASSERT_TRUE(PumpUntil([&] { return (buttons = ManagerButtons()).size() == 3; }, Pumper()));
    Click(Centre(buttons[1]));
    ASSERT_TRUE(PumpUntil([&] { return GetWindowRect(h) == TRect(60, 40, 540, 360); }, Pumper()));
    EXPECT_EQ(wsNormal, FForm->WindowState());
    ASSERT_TRUE(PumpUntil([&] { return (buttons = ManagerButtons()).size() == 3; }, Pumper()));
    Click(Centre(buttons[2]));
  } else {
    // Pressed and released in separate pumps, as a user's click arrives.
    auto press = [&](int hit) {
      Tool("xdotool mousemove --sync " + At(Centre(OwnButton(hit))) + " mousedown 1");
      Application().ProcessMessages();
      Tool("xdotool mouseup 1");
    };
    for (TWindowState after : {wsMinimized, wsNormal}) {
      press(HTMINBUTTON);
      ASSERT_TRUE(PumpUntil([&] { return FForm->WindowState() == after; }, Pumper()));
      EXPECT_TRUE(Viewable(h)) << "its small caption stays on the screen";
    }
    EXPECT_EQ(TRect(60, 40, 540, 360), GetWindowRect(h));
    press(HTCLOSE);
  }
  EXPECT_TRUE(PumpUntil([&] { return !FForm->Visible(); }, Pumper()));
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutAManager, DemoFormX11Test, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Openbox" : "NoManager"; });

}  // namespace

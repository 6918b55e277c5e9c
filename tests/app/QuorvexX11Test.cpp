// The program as a user meets it: the real binary on a private X server, driven by xdotool alone.
// A fresh start makes the folder tree; Split with no codes warns and opens no file dialog; codes,
// a password, two HOT files and an archive typed and clicked through the file dialog give the
// "Split_" files in "Outbound"; the settings file keeps the lists and the password across starts.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "XScreenshot.h"
#include "core/HotFiles.h"
#include "core/fQuorvex.h"
#include "core/uHotFileLines.h"
#include "platform/classlib/ClassLibTestSupport.h"
#include "platform/rtl/Files.h"
#include "platform/x11/XvfbSupport.h"

namespace {

namespace fs = std::filesystem;

// As xdotool matches window names: a regular expression.
const char* const kTitle = "^Quorvex Utility 1\\.2 - Copyright \\(c\\) 2026 Keldara$";

std::string Q(const std::string& s) { return "'" + s + "'"; }

std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// extra: more transactions, so that the archive's progress window stays up long enough to be seen.
std::string HotFile(std::vector<hot::Record>& records, bool layoutA, const char* agent, int extra = 0) {
  hot::Generator g(layoutA);
  g.FileHeader();
  g.CycleHeader();
  g.Office(agent);
  for (int i = 0; i < extra; ++i) g.Transaction("074", 3);
  g.Transaction("074", 2);
  g.Transaction("220", 1);
  g.Office("7654321");
  g.Transaction("125", 1);
  g.EndOfFile();
  records = g.records;
  return g.Text();
}

// Where the window's parts are, in client coordinates: the same form laid out on the headless
// screen, which measures text with the same fonts as the program does.
struct TLayout {
  TPoint Tacns, Agtns, Password, Split, Exit;
  TRect PasswordBox{};
  TPoint Handle{};                // the logo toolbar's drag handle
  TPoint FloatSplit{}, FloatCaption{};  // on the toolbar floated where it was docked
  int ExitRight = 0;
};

class QuorvexX11Test : public ClassLibTest {
protected:
  void SetUp() override {
    if (!ToolInstalled("Xvfb") || !ToolInstalled("xdotool") || !ToolInstalled("xwd") || !ToolInstalled("zip") ||
        !ToolInstalled("unzip"))
      GTEST_SKIP() << "Xvfb, xdotool, xwd, zip and unzip are needed";
    ClassLibTest::SetUp();
    char tmpl[] = "/tmp/quorvexx11XXXXXX";
    Dir = std::string(::mkdtemp(tmpl)) + "/";
    Layout = Probe();
    Server = std::make_unique<TXvfb>();
    ASSERT_FALSE(Server->Display().empty()) << "Xvfb did not start";
    fs::create_directories(Shots);
  }
  void TearDown() override {
    if (Pid > 0) {
      kill(Pid, SIGTERM);
      WaitOrKill(Pid);
    }
    Server.reset();
    if (!Dir.empty()) fs::remove_all(Dir);
    ClassLibTest::TearDown();
  }

  TLayout Probe() {
    const AnsiString saved = ParamStr(0);
    fs::create_directories(Dir + "probe");
    SetExeNameForTesting(Dir + "probe/quorvex");
    TfrmQuorvex* f = nullptr;
    Application().CreateForm(f);
    f->Show();
    Pump();
    auto at = [f](TControl* c, int x, int y) {
      const TPoint p = c->ClientToScreen(Point(x, y));
      const TPoint o = f->ClientOrigin();
      return Point(p.X - o.X, p.Y - o.Y);
    };
    TLayout l{at(f->memTacns, 40, 20), at(f->memAgtns, 40, 20), at(f->edtZipPassword, 20, 10),
              at(f->btnSplitHot, f->btnSplitHot->Width() / 2, f->btnSplitHot->Height() / 2),
              at(f->btnExit, f->btnExit->Width() / 2, f->btnExit->Height() / 2)};
    const TPoint box = at(f->edtZipPassword, 0, 0);
    l.PasswordBox = {box.X, box.Y, box.X + f->edtZipPassword->Width(), box.Y + f->edtZipPassword->Height()};
    l.Handle = at(f->tlbLogo, -4, 10);
    l.ExitRight = at(f->btnExit, f->btnExit->Width(), 0).X;
    const TRect docked = GetWindowRect(f->tlbLogo->Handle());
    f->tlbLogo->SetFloatingPosition(Point(docked.Left, docked.Top));
    f->tlbLogo->SetParent(f);
    Pump();
    l.FloatSplit = at(f->btnSplitHot, f->btnSplitHot->Width() / 2, f->btnSplitHot->Height() / 2);
    const TRect floating = GetWindowRect(f->tlbLogo->Handle());
    const TPoint o = f->ClientOrigin();
    l.FloatCaption = Point(floating.Left + 60 - o.X, floating.Top + 8 - o.Y);
    f->Free();
    SetExeNameForTesting(saved);
    return l;
  }

  std::string X(const std::string& command, int* status = nullptr) {
    return Server->Run(command, [] {}, status);
  }
  // Starts a copy of the program in folder and waits for its window.
  void Start(const std::string& folder, bool manager = false) {
    if (manager) {
      ASSERT_TRUE(Server->StartWindowManager());
      WaitFor([&] { return !X("xprop -root _NET_SUPPORTING_WM_CHECK | grep -i window").empty(); }, 10);
    }
    fs::create_directories(folder);
    fs::copy_file(QUORVEX_BINARY_DIR "/app/quorvex", folder + "quorvex", fs::copy_options::overwrite_existing);
    const std::string display = Server->Display();
    Pid = fork();
    if (Pid == 0) {
      setenv("DISPLAY", display.c_str(), 1);
      unsetenv("QUORVEX_HEADLESS");
      execl((folder + "quorvex").c_str(), "quorvex", static_cast<char*>(nullptr));
      _exit(127);
    }
    Window = Search(kTitle);
    ASSERT_FALSE(Window.empty()) << "no main window";
    // A manager may still move it into its frame: the place counts once it stays.
    std::map<std::string, int> g, last;
    for (int i = 0; i < 20 && (g.empty() || g != last); ++i) {
      last = g;
      if (i) usleep(300000);
      g = Geometry(Window);
    }
    const int border = (g["WIDTH"] - QuorvexClientWidth) / 2;
    Origin = Point(g["X"] + border, g["Y"] + g["HEIGHT"] - QuorvexClientHeight - border);
    // Until its first paint a window shows bare button face; a slow start takes a while.
    WaitFor([&] {
      std::vector<TColorRef> px = Pixels(TRect{0, 0, QuorvexClientWidth, 60});
      std::sort(px.begin(), px.end());
      return std::unique(px.begin(), px.end()) - px.begin() > 8;
    }, 30);
  }
  // X, Y (on the screen, inside a manager's frame), WIDTH and HEIGHT of a window.
  std::map<std::string, int> Geometry(const std::string& id) {
    std::map<std::string, int> g;
    std::istringstream in(X("xwininfo -id " + id));
    const std::pair<const char*, const char*> keys[] = {{"Absolute upper-left X:", "X"},
                                                        {"Absolute upper-left Y:", "Y"},
                                                        {"Width:", "WIDTH"},
                                                        {"Height:", "HEIGHT"}};
    for (std::string line; std::getline(in, line);)
      for (auto [label, key] : keys)
        if (auto at = line.find(label); at != std::string::npos) g[key] = std::atoi(line.c_str() + at + strlen(label));
    return g;
  }
  // The id of the visible window whose name matches pattern, waiting up to the time given.
  std::string Search(const std::string& pattern, int seconds = 20) {
    std::string id;
    WaitFor([&] {
      id = X("xdotool search --onlyvisible --name " + Q(pattern) + " | head -1");
      return !id.empty();
    }, seconds);
    while (!id.empty() && id.back() == '\n') id.pop_back();
    return id;
  }
  bool Visible(const std::string& pattern) { return !X("xdotool search --onlyvisible --name " + Q(pattern)).empty(); }
  // A click as a hand makes it: the button held down for a moment.
  void Click(int x, int y) {
    X("xdotool mousemove --sync " + std::to_string(x) + " " + std::to_string(y) +
      " mousedown 1 sleep 0.15 mouseup 1 sleep 0.2");
  }
  void ClickClient(TPoint p) { Click(Origin.X + p.X, Origin.Y + p.Y); }
  std::string AtClient(TPoint p) { return std::to_string(Origin.X + p.X) + " " + std::to_string(Origin.Y + p.Y); }
  // The whole of a button of the logo toolbar around its middle, frame included.
  static TRect ButtonAround(TPoint middle) { return OffsetRect(TRect{-30, -22, 30, 22}, middle.X, middle.Y); }
  // The pointer well away from every window, as a hand leaves the mouse.
  void Away() { X("xdotool mousemove --sync 1015 760 sleep 0.4"); }
  // The screen's pixels in a rectangle of client coordinates.
  std::vector<TColorRef> Pixels(TRect r) {
    TGdiBitmap shot = XScreenImage(Server->Display());
    EXPECT_TRUE(shot.Width() > 0 && TRect(0, 0, shot.Width(), shot.Height()).Contains(Origin.X + r.Left, Origin.Y + r.Top))
        << "no picture of " << Origin.X + r.Left << "," << Origin.Y + r.Top;
    std::vector<TColorRef> px;
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) px.push_back(shot.Pixel(Origin.X + x, Origin.Y + y));
    return px;
  }
  // The pixels once they stop changing: the program has painted what it shows.
  std::vector<TColorRef> Settled(TRect r) {
    std::vector<TColorRef> now = Pixels(r), last;
    for (int i = 0; i < 30 && now != last; ++i) {
      usleep(300000);
      last = now;
      now = Pixels(r);
    }
    return now;
  }
  static int Differing(const std::vector<TColorRef>& a, const std::vector<TColorRef>& b) {
    int n = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) n += a[i] != b[i];
    return n;
  }
  // The visible windows of the program, as xdotool names them.
  std::vector<std::string> OurWindows() {
    std::istringstream in(X("xdotool search --onlyvisible --class quorvex"));
    std::vector<std::string> ids;
    for (std::string id; std::getline(in, id);)
      if (!id.empty()) ids.push_back(id);
    return ids;
  }
  void TypeCode() {
    ClickClient(Layout.Tacns);
    X("xdotool type --delay 40 '74'");
  }
  void Shot(const std::string& name) { SaveXScreenshot(Server->Display(), Shots + name + ".png"); }
  // Pixels of the highlight text colour, smoothed into the highlight, inside the highlight of the
  // password field on screen. A caret inverts the highlight into another hue and does not count.
  int StarsInHighlight() {
    TGdiBitmap screen = XScreenImage(Server->Display());
    if (screen.Width() == 0) return -1;
    const TColorRef back = ColorToRGB(clHighlight);
    const auto star = [back](TColorRef c) {
      const auto part = [](TColorRef v, int shift) { return int((v >> shift) & 0xFF); };
      return c != back && part(c, 0) == part(c, 8) && part(c, 16) > part(c, 0) && part(c, 0) > part(back, 0) + 40;
    };
    const TRect& b = Layout.PasswordBox;
    int stars = 0;
    for (int y = b.Top + 3; y < b.Bottom - 3; ++y) {
      int first = -1, last = -1;
      for (int x = b.Left + 3; x < b.Right - 3; ++x)
        if (screen.Pixel(Origin.X + x, Origin.Y + y) == back) {
          if (first < 0) first = x;
          last = x;
        }
      for (int x = first + 1; first >= 0 && x < last; ++x) stars += star(screen.Pixel(Origin.X + x, Origin.Y + y));
    }
    return stars;
  }
  int WaitExit(int seconds = 20) {
    for (int i = 0; i < seconds * 20; ++i) {
      int status = 0;
      if (waitpid(Pid, &status, WNOHANG) == Pid) {
        Pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      usleep(50000);
    }
    return -2;
  }
  static bool WaitFor(const std::function<bool()>& done, int seconds = 30) {
    for (int i = 0; i < seconds * 20 && !done(); ++i) usleep(50000);
    return done();
  }

  std::string Dir;
  std::string Shots = QUORVEX_BINARY_DIR "/screenshots/";
  TLayout Layout;
  std::unique_ptr<TXvfb> Server;
  pid_t Pid = -1;
  std::string Window;
  TPoint Origin;
};

TEST_F(QuorvexX11Test, SplitThroughTheWindowAndKeepTheSettings) {
  const std::string home = Dir + "fresh/";
  const std::string root = home + "Quorvex/";
  Start(home);
  for (const char* folder : {"", "Database", "Working", "Working/Processd", "Working/Unzipped", "Outbound",
                             "Outbound/Sent"})
    EXPECT_TRUE(fs::is_directory(root + folder)) << folder;

  // No codes: a warning, and no file dialog.
  ClickClient(Layout.Split);
  ASSERT_FALSE(Search("^Warning$", 10).empty()) << "no warning";
  Shot("mainwin-warning");
  EXPECT_FALSE(Visible("^Open$"));
  X("xdotool key --delay 50 Return");
  ASSERT_TRUE(WaitFor([&] { return !Visible("^Warning$"); }, 10));
  EXPECT_FALSE(Visible("^Open$"));

  ClickClient(Layout.Tacns);
  X("xdotool type --delay 40 '74'; xdotool key Return; xdotool type --delay 40 '220'");
  ClickClient(Layout.Agtns);
  X("xdotool type --delay 40 '1234567'");
  ClickClient(Layout.Password);
  X("xdotool type --delay 40 'pa55'");

  std::vector<hot::Record> a, b, m1, m2;
  std::ofstream(root + "Working/a.hot", std::ios::binary) << HotFile(a, true, "1234567");
  std::ofstream(root + "Working/b.hot", std::ios::binary) << HotFile(b, false, "1234567");
  fs::create_directories(Dir + "src");
  std::ofstream(Dir + "src/m1.hot", std::ios::binary) << HotFile(m1, true, "1234567", 10000);
  std::ofstream(Dir + "src/m2.hot", std::ios::binary) << HotFile(m2, false, "7654321");
  ASSERT_EQ(0, std::system(("cd " + Q(Dir + "src") + " && zip -q " + Q(root + "Working/c.zip") + " m1.hot m2.hot")
                               .c_str()));
  Shot("mainwin-typed");

  ClickClient(Layout.Split);
  const std::string open = Search("^Open$", 10);
  ASSERT_FALSE(open.empty()) << "no file dialog";
  X("xdotool type --delay 30 '\"a.hot\" \"b.hot\" \"c.zip\"'");
  Shot("mainwin-file-dialog");
  std::map<std::string, int> g = Geometry(open);
  // The Open button sits at the dialog's bottom right, beside the name field.
  const int border = (g["WIDTH"] - 440) / 2;
  Click(g["X"] + border + 391, g["Y"] + g["HEIGHT"] - 282 - border + 226);
  if (!Search("zipping", 5).empty()) {
    usleep(100000);
    Shot("mainwin-progress");
  }

  const std::string out = root + "Outbound/";
  ASSERT_TRUE(WaitFor([&] {
    return fs::exists(out + "Split_a.hot") && fs::exists(out + "Split_b.hot") && fs::exists(out + "Split_c.zip") &&
           fs::exists(root + "Working/Processd/c.zip") && !fs::exists(root + "Working/Split_c.zip");  // moved whole
  }, 120)) << "the split did not finish";
  const std::set<std::string> agents{"1234567"}, airlines{"074", "220"};
  EXPECT_EQ(hot::ExpectedSplit(a, true, agents, airlines), ReadFile(out + "Split_a.hot"));
  EXPECT_EQ(hot::ExpectedSplit(b, false, agents, airlines), ReadFile(out + "Split_b.hot"));
  for (const char* f : {"a.hot", "b.hot", "c.zip"}) {
    EXPECT_TRUE(fs::exists(root + "Working/Processd/" + f)) << f;
    EXPECT_FALSE(fs::exists(root + "Working/" + f)) << f;
  }
  fs::create_directories(Dir + "unzipped");
  ASSERT_EQ(0, std::system(("unzip -q -P pa55 -d " + Q(Dir + "unzipped") + " " + Q(out + "Split_c.zip")).c_str()));
  EXPECT_EQ(hot::ExpectedSplit(m1, true, agents, airlines), ReadFile(Dir + "unzipped/Split_m1.hot"));
  EXPECT_EQ(hot::ExpectedSplit(m2, false, agents, airlines), ReadFile(Dir + "unzipped/Split_m2.hot"));
  Shot("mainwin-done");

  ClickClient(Layout.Exit);
  ASSERT_EQ(0, WaitExit());
  const std::string ini = root + "Database/quorvex.ini";
  const std::string read = "python3 -c \"import configparser,sys; c=configparser.ConfigParser(); c.read(sys.argv[1]); "
                           "print(c['SplitFor']['TacnList'], c['SplitFor']['AgtnList'], c['ZipFile']['Password'])\" " +
                           Q(ini);
  EXPECT_EQ("74;220 1234567 pa55\n", X(read));

  // Started again, the window takes the lists and the password back, and so saves them unchanged.
  const std::string before = ReadFile(ini);
  Start(home);
  usleep(500000);  // the first paint follows the mapping
  Shot("mainwin-restarted");
  ClickClient(Layout.Exit);
  ASSERT_EQ(0, WaitExit());
  EXPECT_EQ(before, ReadFile(ini));
}

// The password field as a user meets it: entered by Tab its stars stay in view, and what is typed
// replaces the saved password, a short one or one of the full 64 characters.
TEST_F(QuorvexX11Test, ThePasswordIsRetypedOverItsSelectionWithItsStarsInView) {
  const std::string home = Dir + "password/";
  Start(home);
  ClickClient(Layout.Password);
  X("xdotool type --delay 30 'pa55'");
  X("xdotool key --delay 100 Tab shift+Tab");
  // A loaded machine may take a while to draw what was typed.
  EXPECT_TRUE(WaitFor([&] { return StarsInHighlight() > 0; }, 15)) << "a solid highlight without stars";
  Shot("mainwin-password-tab");

  X("xdotool type --delay 20 '" + std::string(64, 'k') + "'");
  X("xdotool key --delay 100 Tab shift+Tab");
  EXPECT_TRUE(WaitFor([&] { return StarsInHighlight() > 0; }, 15));
  X("xdotool type --delay 40 'n3w'");
  ClickClient(Layout.Exit);
  ASSERT_EQ(0, WaitExit());
  const std::string ini = home + "Quorvex/Database/quorvex.ini";
  const std::string read = "python3 -c \"import configparser,sys; c=configparser.ConfigParser(); c.read(sys.argv[1]); "
                           "print(c['ZipFile']['Password'])\" " + Q(ini);
  EXPECT_EQ("n3w\n", X(read));
}

// The same steps with openbox managing the windows and with none.
class QuorvexToolbarX11Test : public QuorvexX11Test, public ::testing::WithParamInterface<bool> {
protected:
  bool Managed() const { return GetParam(); }
  // The program's top-level X windows from the bottom up, as the server or the manager stacks them.
  std::vector<unsigned long> Stacking() {
    std::vector<unsigned long> order;
    if (Managed()) {
      std::string list = X("xprop -root _NET_CLIENT_LIST_STACKING");
      for (size_t at = list.find("0x"); at != std::string::npos; at = list.find("0x", at + 2))
        order.push_back(std::stoul(list.substr(at), nullptr, 16));
    } else {
      // Listed from the top down.
      std::istringstream in(X("xwininfo -root -children"));
      for (std::string line; std::getline(in, line);)
        if (line.rfind("     0x", 0) == 0) order.insert(order.begin(), std::stoul(line.substr(5), nullptr, 16));
    }
    return order;
  }
  std::string Mode() const { return Managed() ? "-openbox" : "-nomanager"; }
  void StartFloating() {
    Start(Dir + "home/", Managed());
    X("xdotool mousemove --sync " + AtClient(Layout.Handle) + " click --repeat 2 --delay 80 1 sleep 0.5");
    ASSERT_TRUE(WaitFor([&] { return OurWindows().size() == 2; }, 10)) << "the toolbar did not float";
  }
};

TEST_P(QuorvexToolbarX11Test, AFloatedToolbarWorksAfterAModalDialog) {
  StartFloating();
  Shot("toolbar-floated" + Mode());
  const TRect button = ButtonAround(Layout.FloatSplit);
  Away();
  const std::vector<TColorRef> resting = Settled(button);
  ClickClient(Layout.FloatSplit);
  ASSERT_FALSE(Search("^Warning$", 10).empty()) << "no warning";
  Shot("toolbar-warning" + Mode());
  X("xdotool key --delay 50 Return");
  ASSERT_TRUE(WaitFor([&] { return !Visible("^Warning$"); }, 10));

  // Hover and click reach the toolbar, not the window beneath it.
  Away();
  X("xdotool mousemove --sync " + AtClient(Layout.FloatSplit) + " sleep 0.4");
  EXPECT_TRUE(WaitFor([&] { return Differing(resting, Pixels(button)) > 20; }, 5)) << "no hot frame";
  Shot("toolbar-hover" + Mode());
  X("xdotool mousedown 1 sleep 0.15 mouseup 1 sleep 0.2");  // where the pointer rests
  ASSERT_FALSE(Search("^Warning$", 10).empty()) << "the click did not reach Split";
  X("xdotool key --delay 50 Return");
  ASSERT_TRUE(WaitFor([&] { return !Visible("^Warning$"); }, 10));

  // Dragged by its caption onto the dock at the window's top, it docks.
  const TPoint grab = Layout.FloatCaption;
  Away();
  X("xdotool mousemove --sync " + AtClient(grab) + " mousedown 1 sleep 0.2 mousemove --sync " +
    AtClient(Point(grab.X, grab.Y - 4)) + " sleep 0.2 mousemove --sync " + AtClient(Point(grab.X + 2, -6)) +
    " sleep 0.2 mouseup 1 sleep 0.5");
  ASSERT_TRUE(WaitFor([&] { return OurWindows().size() == 1; }, 10)) << "the toolbar did not dock";
  Shot("toolbar-docked" + Mode());
  ClickClient(Layout.Split);
  EXPECT_FALSE(Search("^Warning$", 10).empty()) << "Split does not answer once docked";
}

TEST_P(QuorvexToolbarX11Test, AFailedSplitLeavesSplitDrawnUp) {
  const std::string home = Dir + "home/";
  Start(home, Managed());
  std::ofstream(home + "Quorvex/Working/X.hot") << "x";
  std::ofstream(home + "Quorvex/Working/Split_X.hot") << "y";
  const TRect button = ButtonAround(Layout.Split);
  Away();
  const std::vector<TColorRef> normal = Settled(button);
  TypeCode();
  ClickClient(Layout.Split);
  ASSERT_FALSE(Search("^Open$", 10).empty()) << "no file dialog";
  X("xdotool type --delay 30 'X.hot'; xdotool key Return");
  ASSERT_FALSE(Search("^quorvex$", 10).empty()) << "no error";
  Shot("split-error" + Mode());
  X("xdotool key --delay 50 Return");
  ASSERT_TRUE(WaitFor([&] { return !Visible("^quorvex$"); }, 10));
  Away();
  EXPECT_TRUE(WaitFor([&] { return Differing(normal, Pixels(button)) == 0; }, 5)) << "Split is not drawn up";
  Shot("split-after-error" + Mode());
}

TEST_P(QuorvexToolbarX11Test, AFloatingToolbarLiesBelowTheFileDialog) {
  StartFloating();
  std::string bar;
  for (const std::string& id : OurWindows())
    if (id != Window) bar = id;
  TypeCode();
  ClickClient(Layout.FloatSplit);
  const std::string open = Search("^Open$", 10);
  ASSERT_FALSE(open.empty()) << "no file dialog";
  Shot("toolbar-and-file-dialog" + Mode());
  auto below = [&](const std::string& a, const std::string& b) {
    const std::vector<unsigned long> order = Stacking();
    auto at = [&](const std::string& id) { return std::find(order.begin(), order.end(), std::stoul(id)); };
    return at(a) != order.end() && at(b) != order.end() && at(a) < at(b);
  };
  EXPECT_TRUE(below(bar, open)) << "the toolbar lies over the dialog";
  EXPECT_TRUE(below(Window, bar));
  // The key goes to the dialog itself, wherever a loaded machine has left the focus.
  for (int i = 0; i < 10 && Visible("^Open$"); ++i)
    X("xdotool windowfocus " + open + " sleep 0.3 key --delay 50 Escape sleep 0.7");
  ASSERT_FALSE(Visible("^Open$"));
  EXPECT_TRUE(below(Window, bar)) << "the form came back over its toolbar";
}

TEST_P(QuorvexToolbarX11Test, ExitShowsWholeAtTheMinimumWidth) {
  Start(Dir + "home/", Managed());
  X("xdotool windowsize " + Window + " 100 " + std::to_string(QuorvexClientHeight) + " sleep 0.8");
  std::map<std::string, int> g = Geometry(Window);
  Shot("minimum-width" + Mode());
  EXPECT_LT(g["WIDTH"], QuorvexClientWidth) << "it did not shrink";
  EXPECT_GE(g["WIDTH"] - (Managed() ? 0 : 8), Layout.ExitRight) << "Exit is cut off";
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutAManager, QuorvexToolbarX11Test, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "Openbox" : "NoManager"; });

TEST_F(QuorvexX11Test, AMessageBoxOffersNoMinimiseOrMaximiseAndStaysInReach) {
  Start(Dir + "home/", true);
  ClickClient(Layout.Split);
  const std::string box = Search("^Warning$", 10);
  ASSERT_FALSE(box.empty()) << "no warning";
  const std::string actions = X("xprop -id " + box + " _NET_WM_ALLOWED_ACTIONS");
  EXPECT_EQ(std::string::npos, actions.find("MAXIMIZE")) << actions;
  // Motif's decorations (the third field) without minimise (32) and maximise (64).
  const std::string motif = X("xprop -id " + box + " _MOTIF_WM_HINTS");
  long fields[5] = {};
  ASSERT_EQ(5, std::sscanf(motif.substr(motif.find('=') + 1).c_str(), "%li, %li, %li, %li, %li", &fields[0],
                           &fields[1], &fields[2], &fields[3], &fields[4]))
      << motif;
  EXPECT_TRUE(fields[0] & 2) << "the decorations are asked for";
  EXPECT_EQ(0, fields[2] & (32 | 64));
  EXPECT_EQ(0, fields[1] & (8 | 16)) << "nor the functions";
  // Minimised by the manager all the same, it comes back, with the window it answers for.
  X("xdotool windowminimize " + box + " sleep 1.5");
  EXPECT_TRUE(WaitFor([&] { return Visible("^Warning$"); }, 10)) << "the program has no window left";
  Shot("message-box-after-minimise");
  // Where the focus lands after the restore is the manager's choice: the box is given it first.
  for (int i = 0; i < 10 && Visible("^Warning$"); ++i)
    X("xdotool windowfocus " + box + " sleep 0.3 key --delay 50 Return sleep 0.7");
  EXPECT_FALSE(Visible("^Warning$"));
}

TEST_F(QuorvexX11Test, MaximiseAndRestoreLeaveNoStalePixels) {
  Start(Dir + "home/");
  const TRect client{0, 0, QuorvexClientWidth, QuorvexClientHeight};
  // The caret blinks in the first list: its corner is left out of the comparison.
  const TRect caret{Layout.Tacns.X - 44, Layout.Tacns.Y - 24, Layout.Tacns.X - 30, Layout.Tacns.Y};
  auto picture = [&] {
    std::vector<TColorRef> px = Settled(InflateRect(client, 4, 4));
    for (int y = caret.Top; y < caret.Bottom; ++y)
      for (int x = caret.Left; x < caret.Right; ++x) px[size_t((y + 4) * (client.Width() + 8) + x + 4)] = 0;
    return px;
  };
  Away();
  const std::vector<TColorRef> before = picture();
  // Our own caption's buttons: maximise, then restore at the screen's top right.
  const TPoint maximise{client.Right - 30, -11};
  ClickClient(maximise);
  WaitFor([&] { return Geometry(Window)["WIDTH"] == 1024; }, 10);
  X("sleep 0.5");
  Shot("maximised");
  Click(1024 - 32, 12);
  WaitFor([&] { return Geometry(Window)["WIDTH"] == QuorvexClientWidth + 8; }, 10);
  Away();
  Shot("restored");
  EXPECT_TRUE(WaitFor([&] { return Differing(before, picture()) == 0; }, 10))
      << Differing(before, picture()) << " pixels differ";
}

}  // namespace

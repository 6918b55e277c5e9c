// The program as a user meets it: the real binary on a private X server, driven by xdotool alone.
// A fresh start makes the folder tree; Split with no codes warns and opens no file dialog; codes,
// a password, two HOT files and an archive typed and clicked through the file dialog give the
// "Split_" files in "Outbound"; the settings file keeps the lists and the password across starts.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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
  for (int i = 0; i < extra; ++i) g.Transaction("074", layoutA ? "074" : "074  ", 3);
  g.Transaction("074", layoutA ? "074" : "074  ", 2);
  g.Transaction("220", layoutA ? "220" : "220  ", 1);
  g.Office("7654321");
  g.Transaction("125", layoutA ? "125" : "125  ", 1);
  g.Totals(hot::Kind::Totals94);
  g.Totals(hot::Kind::Totals95);
  g.Totals(hot::Kind::Totals99);
  records = g.records;
  return hot::Join(g.records, "\r\n");
}

// Where the window's parts are, in client coordinates: the same form laid out on the headless
// screen, which measures text with the same fonts as the program does.
struct TLayout {
  TPoint Tacns, Agtns, Password, Split, Exit;
  TRect PasswordBox{};
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
      waitpid(Pid, nullptr, 0);
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
    f->Free();
    SetExeNameForTesting(saved);
    return l;
  }

  std::string X(const std::string& command, int* status = nullptr) {
    return Server->Run(command, [] {}, status);
  }
  // Starts a copy of the program in folder and waits for its window.
  void Start(const std::string& folder) {
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
    std::map<std::string, int> g;
    std::istringstream in(X("xdotool getwindowgeometry --shell " + Window));
    for (std::string line; std::getline(in, line);)
      if (auto eq = line.find('='); eq != std::string::npos) g[line.substr(0, eq)] = std::atoi(line.c_str() + eq + 1);
    const int border = (g["WIDTH"] - QuorvexClientWidth) / 2;
    Origin = Point(g["X"] + border, g["Y"] + g["HEIGHT"] - QuorvexClientHeight - border);
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
  void Shot(const std::string& name) { SaveXScreenshot(Server->Display(), Shots + name + ".png"); }
  // Pixels of the highlight text colour, smoothed into the highlight, inside the highlight of the
  // password field on screen. A caret inverts the highlight into another hue and does not count.
  int StarsInHighlight() {
    TGdiBitmap screen;
    if (!XScreenImage(Server->Display(), screen)) return -1;
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
  std::map<std::string, int> g;
  {
    std::istringstream in(X("xdotool getwindowgeometry --shell " + open));
    for (std::string line; std::getline(in, line);)
      if (auto eq = line.find('='); eq != std::string::npos) g[line.substr(0, eq)] = std::atoi(line.c_str() + eq + 1);
  }
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

}  // namespace

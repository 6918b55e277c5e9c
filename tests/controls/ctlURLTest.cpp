// The hyperlink label: its text, the hover colour on the fake clock, and the address handed to the
// desktop's handler (a stand-in xdg-open on PATH that writes down what it was given).
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "WindowSystemTest.h"
#include "controls/ctlURL.h"
#include "platform/rtl/Ticks.h"
#include "platform/classlib/Forms.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Windows.h"

namespace {

namespace fs = std::filesystem;

class URLTest : public WindowSystemTest {
protected:
  void SetUp() override {
    WindowSystemTest::SetUp();
    Form = std::make_unique<TForm>(nullptr);
    Form->SetBounds(100, 100, 300, 200);
    Link = new TCtlURL(Form.get());
    Link->SetParent(Form.get());
    Link->SetBounds(10, 10, 120, 16);
    Form->Show();
    Pump();
  }
  void TearDown() override {
    Form.reset();
    WindowSystemTest::TearDown();
  }
  // A screen point inside the label, or well outside it.
  TPoint Inside() { return Link->ClientToScreen(TPoint{2, 2}); }
  TPoint Outside() { return Link->ClientToScreen(TPoint{200, 150}); }
  void Hover() {
    TPoint p = Inside();
    InjectMouseMove(p.X, p.Y);
    Pump();
  }
  void Leave() {
    TPoint p = Outside();
    InjectMouseMove(p.X, p.Y);
    Pump();
    Clock.Advance(100);
    Pump();
  }

  TFakeClock Clock;
  std::unique_ptr<TForm> Form;
  TCtlURL* Link = nullptr;
};

TEST_F(URLTest, ShowsTheCaptionOrElseTheAddress) {
  EXPECT_EQ("v3.07", Link->About());
  EXPECT_EQ(crHandPoint, Link->Cursor());
  Link->SetURL("https://example.org/");
  EXPECT_EQ("https://example.org/", Link->Text());
  Link->SetCaption("Example");
  EXPECT_EQ("Example", Link->Text());
  EXPECT_EQ("Example", Link->Caption());
  Link->SetCaption("");
  EXPECT_EQ("https://example.org/", Link->Text());
  EXPECT_EQ(clRed, Link->HighlightColor());
  Link->Font().SetColor(0x123456);
  Link->SetHighlightColor(clNone);  // the font's colour of the moment
  EXPECT_EQ(0x123456u, Link->HighlightColor());
  Link->BeginLoading();
  Link->EndLoading();
  EXPECT_TRUE(Link->Font().Style() & fsUnderline);
}

TEST_F(URLTest, HoverLightsUpAndTheColourComesBack) {
  Link->SetCaption("Example site");  // the label sizes itself to its text
  Link->Font().SetColor(0x00AA00);
  Hover();
  EXPECT_TRUE(Link->Hovering());
  EXPECT_EQ(clRed, Link->Font().Color());
  Clock.Advance(100);
  Pump();  // still inside: the light stays
  EXPECT_EQ(clRed, Link->Font().Color());
  Leave();
  EXPECT_FALSE(Link->Hovering());
  EXPECT_EQ(0x00AA00u, Link->Font().Color());

  // A click without the visited colour: after the hover the colour is the one from before it.
  Hover();
  Link->Click();
  Leave();
  EXPECT_EQ(0x00AA00u, Link->Font().Color());

  Link->SetUseVisitedColor(true);
  Link->SetVisitedColor(0x800080);
  Hover();
  Link->Click();
  Leave();
  EXPECT_EQ(0x800080u, Link->Font().Color());
}

TEST_F(URLTest, ClickHandsTheAddressToTheDesktopHandler) {
  char tmpl[] = "/tmp/ctlURLXXXXXX";
  const std::string dir = ::mkdtemp(tmpl);
  const std::string record = dir + "/opened.txt";
  {
    std::ofstream s(dir + "/xdg-open");
    s << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << record << "'\n";
  }
  fs::permissions(dir + "/xdg-open", fs::perms::owner_all);
  const std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  ::setenv("PATH", (dir + ":/usr/bin:/bin").c_str(), 1);
  int clicks = 0;
  Link->OnClick = [&](TObject*) { ++clicks; };
  Link->SetURL("https://example.org/a b");
  Link->Click();
  ::setenv("PATH", savedPath.c_str(), 1);
  EXPECT_EQ(1, clicks);
  std::string line;
  for (int i = 0; i < 200 && line.empty(); ++i) {
    std::ifstream in(record);
    std::getline(in, line);
    if (line.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ("https://example.org/a b", line);

  // An empty address opens nothing but is still a click.
  Link->SetURL("");
  Link->Click();
  EXPECT_EQ(2, clicks);
  fs::remove_all(dir);
}

}  // namespace

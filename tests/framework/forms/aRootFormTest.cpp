// The root form on a headless screen: size constraints, default position, keeping on the screen,
// geometry settings when switched on, the option file, right-click help and minimizing.
#include "FormsTestSupport.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "framework/base/uMessageDialog.h"
#include "framework/base/uStringUtils.h"
#include "framework/forms/QsDbCtrl.h"
#include "framework/forms/aRoot.h"
#include "platform/rtl/Files.h"

namespace {

namespace fs = std::filesystem;

std::string readAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

void writeAll(const std::string& path, const std::string& data) {
  std::ofstream f(path, std::ios::binary);
  f << data;
}

class RootFormTest : public FormsTest {
protected:
  void SetUp() override {
    FormsTest::SetUp();
    FSavedExe = ParamStr(0);
    char tmpl[] = "/tmp/aRootFormXXXXXX";
    Dir = ::mkdtemp(tmpl);
    fs::create_directories(Dir + "/bin");
    SetExeNameForTesting(Dir + "/bin/Quorvex.EXE");
  }
  void TearDown() override {
    FormsTest::TearDown();
    SetCollectMessages(false);
    ClearCollectedMessages();
    SetUseExeDirForOptions(false);
    SetOptionFolder("");
    SetCaptionPrefix("");
    SetExeNameForTesting(FSavedExe);
    fs::remove_all(Dir);
  }
  TabsRoot* MakeForm() {
    auto* f = new TabsRoot(&Application());
    f->AfterConstruction();
    return f;
  }
  // A form that keeps its geometry in ini under section.
  TabsRoot* MakeSavingForm(const std::string& ini, const AnsiString& section) {
    TabsRoot* f = MakeForm();
    f->iniForm->SetIniFileName(ini);
    f->bSaveFormSettings = true;
    f->sIniSection = section;
    return f;
  }
  std::string Dir, FSavedExe;
};

TEST_F(RootFormTest, ShowSetsConstraintsAndDefaultPositionWithoutTouchingSettings) {
  TabsRoot* f = MakeForm();
  EXPECT_EQ(f->iniForm->Name(), "iniForm");
  EXPECT_EQ(f->tilBackground->Name(), "tilBackground");
  EXPECT_EQ(f->tilBackground->Parent(), f);
  EXPECT_TRUE(f->sIniSection.empty());
  ASSERT_NE(f->UserData(), nullptr);
  EXPECT_NE(f->UserData(), &CtlUserData());  // its own, not the library's
  f->iniForm->SetIniFileName(Dir + "/never.ini");
  f->SetBounds(3, 4, 200, 100);
  f->Show();
  Pump();
  EXPECT_EQ(f->Constraints().MinHeight(), 18);
  EXPECT_EQ(f->Constraints().MinWidth(), 8);
  EXPECT_EQ(f->DefaultLeft, (Screen().Width() - 8) / 2);
  EXPECT_EQ(f->DefaultTop, (Screen().Height() - 18) / 2);
  EXPECT_EQ(f->BoundsRect(), Rect(3, 4, 203, 104));
  f->Close();
  EXPECT_TRUE(f->FormClosed);
  EXPECT_FALSE(fs::exists(Dir + "/never.ini"));
}

TEST_F(RootFormTest, CaptionTakesThePrefixOnce) {
  SetCaptionPrefix("TEST");
  TabsRoot* f = MakeForm();
  f->SetCaption("Split");
  f->Show();
  f->Hide();
  f->Show();
  EXPECT_EQ(f->Caption(), "TEST Split");
}

TEST_F(RootFormTest, KeepOnScreenPullsTheFormBack) {
  TabsRoot* f = MakeForm();
  const TRect area = Screen().WorkAreaRect();
  f->SetBounds(2000, 10, 300, 200);
  f->KeepOnScreen();
  EXPECT_EQ(f->Left() + f->Width(), area.Right);
  EXPECT_EQ(f->Top(), 10);
  f->SetBounds(-40, -30, area.Width() + 100, area.Height() + 50);
  f->KeepOnScreen();
  EXPECT_EQ(f->BoundsRect(), area);  // sizeable: shrunk to the screen
  f->SetBorderStyle(bsDialog);
  f->SetBounds(-40, -30, 300, 200);
  f->KeepOnScreen();
  EXPECT_EQ(f->BoundsRect(), Rect(area.Left, area.Top, area.Left + 300, area.Top + 200));
}

TEST_F(RootFormTest, GeometryLoadedOnShowAndSavedOnClose) {
  const std::string ini = Dir + "/forms.ini";
  writeAll(ini, "[frmA]\r\nTop=50\r\nLeft=60\r\nHeight=10\r\nWidth=400\r\n");
  TabsRoot* f = MakeSavingForm(ini, "frmA");
  f->Show();
  Pump();
  EXPECT_EQ(f->BoundsRect(), Rect(60, 50, 460, 68));  // height raised to the minimum
  EXPECT_FALSE(f->SettingsSaved);
  EXPECT_FALSE(f->iniForm->IsOpen());
  f->SetBounds(70, 80, 320, 240);
  f->Close();
  EXPECT_TRUE(f->SettingsSaved);
  std::string text = readAll(ini);
  EXPECT_NE(text.find("Top=80"), std::string::npos) << text;
  EXPECT_NE(text.find("Left=70"), std::string::npos) << text;
  EXPECT_NE(text.find("Height=240"), std::string::npos) << text;
  EXPECT_NE(text.find("Width=320"), std::string::npos) << text;
  // Freed after closing: nothing is written a second time.
  writeAll(ini, "");
  delete f;
  EXPECT_EQ(readAll(ini), "");
}

TEST_F(RootFormTest, FixedBorderKeepsItsSizeOutOfTheSettings) {
  const std::string ini = Dir + "/fixed.ini";
  writeAll(ini, "[frmB]\r\nTop=5\r\nLeft=6\r\nHeight=500\r\nWidth=500\r\n");
  TabsRoot* f = MakeSavingForm(ini, "frmB");
  f->SetBorderStyle(bsDialog);
  f->SetBounds(0, 0, 200, 100);
  f->Show();
  EXPECT_EQ(f->BoundsRect(), Rect(6, 5, 206, 105));
  writeAll(ini, "");
  f->Close();
  std::string text = readAll(ini);
  EXPECT_NE(text.find("Top=5"), std::string::npos) << text;
  EXPECT_EQ(text.find("Height"), std::string::npos) << text;
  EXPECT_EQ(text.find("Width"), std::string::npos) << text;
}

TEST_F(RootFormTest, StoredPositionOffTheScreenIsBroughtBack) {
  const std::string ini = Dir + "/far.ini";
  writeAll(ini, "[frmC]\r\nTop=10\r\nLeft=2000\r\nHeight=200\r\nWidth=300\r\n");
  TabsRoot* f = MakeSavingForm(ini, "frmC");
  f->Show();
  EXPECT_EQ(f->Left() + f->Width(), Screen().WorkAreaRect().Right);
}

TEST_F(RootFormTest, UnwritableOptionFileWarnsOnceAndStillCloses) {
  // A folder where the file should be cannot be written, whoever runs the test.
  const std::string ini = Dir + "/ro/forms.ini";
  fs::create_directories(ini);
  TabsRoot* f = MakeSavingForm(ini, "frmD");
  f->Show();
  SetCollectMessages(true);
  f->Close();
  EXPECT_TRUE(f->FormClosed);
  EXPECT_TRUE(f->SettingsSaved);
  ASSERT_EQ(CollectedMessages().Count(), 1);
  EXPECT_NE(CollectedMessages()[0].find("Unable to write to user option file forms.ini"), std::string::npos)
      << CollectedMessages()[0];
  EXPECT_NE(CollectedMessages()[0].find(Dir + "/ro\r"), std::string::npos) << CollectedMessages()[0];
  delete f;
  EXPECT_EQ(CollectedMessages().Count(), 1);  // no second warning when freed
}

TEST_F(RootFormTest, FreedWithoutClosingStillSaves) {
  const std::string ini = Dir + "/destroy.ini";
  TabsRoot* f = MakeSavingForm(ini, "frmE");
  f->SetBounds(11, 12, 200, 100);
  delete f;
  std::string text = readAll(ini);
  EXPECT_NE(text.find("[frmE]"), std::string::npos) << text;
  EXPECT_NE(text.find("Left=11"), std::string::npos) << text;
}

TEST_F(RootFormTest, OptionFileFilledFromTheIniCopyAtCreation) {
  fs::create_directories(Dir + "/opt");
  writeAll(Dir + "/opt/Quorvex.INI", "[frmF]\r\nTop=1\r\n");
  SetOptionFolder(Dir + "/opt/");
  TabsRoot* f = MakeForm();
  EXPECT_EQ(f->iniForm->IniFileName(), Dir + "/opt/Quorvex.ACOPT");
  EXPECT_EQ(readAll(Dir + "/opt/Quorvex.ACOPT"), "[frmF]\r\nTop=1\r\n");
  // Without an option folder the store keeps the name it has.
  SetOptionFolder("");
  auto* g = new TabsRoot(&Application());
  g->iniForm->SetIniFileName(Dir + "/own.ini");
  g->AfterConstruction();
  EXPECT_EQ(g->iniForm->IniFileName(), Dir + "/own.ini");
}

TEST_F(RootFormTest, RightClickHelpChoice) {
  TabsRoot* f = MakeForm();
  f->SetHelpContext(7);
  auto* edit = new TEdit(f);
  auto* bordered = new tQsBorderedLabel(f);
  auto* plainBx = new TBxLabel(f);
  auto* label = new TQslLabel(f);
  auto* image = new TtbTiledImage(f);
  struct Case {
    TControl* Control;
    int Own;
    int Expected;
  } cases[] = {
      {edit, 33, 33},       // a windowed control with its own
      {edit, 0, 7},         // else the form's
      {bordered, 44, 44},   // a bordered label with its own
      {plainBx, 55, 7},     // a plain label's own does not count
      {image, 66, 7},
      {nullptr, 0, 7},
  };
  for (const Case& c : cases) {
    if (c.Control) c.Control->SetHelpContext(c.Own);
    EXPECT_EQ(RootHelpContextFor(c.Control, f->HelpContext()), c.Expected)
        << (c.Control ? c.Control->ClassName() : AnsiString("none"));
  }
  // A label whose focus control carries a context opens that one.
  edit->SetHelpContext(120);
  label->SetFocusControl(edit);
  EXPECT_EQ(RootHelpContextFor(label, f->HelpContext()), 120);
  edit->SetHelpContext(0);
  EXPECT_EQ(RootHelpContextFor(label, f->HelpContext()), 7);
  bordered->SetHelpContext(0);
  bordered->SetFocusControl(edit);
  edit->SetHelpContext(121);
  EXPECT_EQ(RootHelpContextFor(bordered, f->HelpContext()), 121);
  // The shared handler takes right-clicks only and never fails on an unknown sender.
  f->MouseDown(label, mbRight, 0, 1, 1);
  f->MouseDown(nullptr, mbRight, 0, 1, 1);
  f->MouseDown(label, mbLeft, 0, 1, 1);
}

TEST_F(RootFormTest, MinimizeCommandMinimizesTheApplication) {
  TabsRoot* f = MakeForm();
  auto* other = new TForm(&Application());
  f->Show();
  other->Show();
  Pump();
  int minimized = 0;
  Application().OnMinimize = [&](TObject*) { ++minimized; };
  SendMessage(f->Handle(), WM_SYSCOMMAND, SC_MINIMIZE | 2, 0);
  EXPECT_EQ(minimized, 1);
  EXPECT_TRUE(IsIconic(f->Handle()));
  EXPECT_TRUE(IsIconic(other->Handle()));
  Application().OnMinimize = nullptr;
}

TEST_F(RootFormTest, PlaceAtControlMovesTheCornerToTheClickPoint) {
  auto* host = new TForm(&Application());
  host->SetBounds(100, 100, 300, 200);
  auto* panel = new TPanel(host);
  panel->SetParent(host);
  panel->SetBounds(10, 20, 100, 50);
  host->Show();
  TabsRoot* f = MakeForm();
  f->SetBounds(0, 0, 120, 80);
  TMessage m{WM_RBUTTONDOWN, 0, MAKELPARAM(5, 6), 0};
  f->PlaceAtControl(panel, &m);
  TPoint expected = panel->ClientToScreen(Point(5, 6));
  EXPECT_EQ(f->Left(), expected.X);
  EXPECT_EQ(f->Top(), expected.Y);
  EXPECT_EQ(f->Width(), 120);
  f->PlaceAtControl(nullptr, &m);
  f->PlaceAtControl(panel, nullptr);
  EXPECT_EQ(f->Left(), expected.X);
}

}  // namespace

// The root form's geometry rules and its option file, against real ini files in a temp folder.
#include "framework/forms/aRoot.h"
#include "platform/rtl/TempExeFolderTestSupport.h"

namespace {

namespace fs = std::filesystem;

class RootFilesTest : public TempExeFolderTest {
protected:
  void SetUp() override {
    TempExeFolderTest::SetUp();
    fs::create_directories(FDir + "/opt");
  }
  void TearDown() override {
    SetUseExeDirForOptions(false);
    SetOptionFolder("");
    TempExeFolderTest::TearDown();
  }
};

TEST(RootGeometry, DefaultPositionCentresTheMinimumSize) {
  EXPECT_EQ(RootDefaultPosition(1024, 768, RootMinWidth, RootMinHeight), Point(508, 375));
  EXPECT_EQ(RootDefaultPosition(1023, 767, 0, 0), Point(511, 383));
  // A minimum wider than the screen truncates toward zero, not downward.
  EXPECT_EQ(RootDefaultPosition(100, 100, 103, 105), Point(-1, -2));
}

TEST(RootGeometry, KeepOnScreen) {
  const TRect screen = Rect(0, 0, 1024, 768);
  struct Case {
    TRect Bounds;
    bool Sizeable;
    TRect Expected;
  } cases[] = {
      {Rect(2000, 10, 2300, 210), true, Rect(724, 10, 1024, 210)},      // right edge meets the screen's
      {Rect(100, 700, 400, 900), false, Rect(100, 568, 400, 768)},      // bottom pulled up
      {Rect(-50, -20, 250, 180), true, Rect(0, 0, 300, 200)},           // negative raised to 0
      {Rect(10, 10, 1510, 1010), true, Rect(0, 0, 1024, 768)},          // sizeable: shrunk to the screen
      {Rect(10, 10, 1510, 1010), false, Rect(0, 0, 1500, 1000)},        // fixed size: kept, top-left shown
      {Rect(5, 6, 105, 106), true, Rect(5, 6, 105, 106)},               // inside: untouched
  };
  for (const Case& c : cases) EXPECT_EQ(KeepBoundsOnScreen(c.Bounds, screen, c.Sizeable), c.Expected);
  // A work area that does not start at the origin keeps the form within it.
  EXPECT_EQ(KeepBoundsOnScreen(Rect(0, 0, 100, 100), Rect(0, 30, 1024, 768), false), Rect(0, 30, 100, 130));
}

TEST_F(RootFilesTest, GeometryLoadAndSave) {
  const std::string ini = FDir + "/geom.ini";
  WriteWholeFile(ini, "[frmTest]\r\nTop=40\r\nLeft=abc\r\nHeight=5\r\nWidth=640\r\n");
  TCtlIniFileStore store;
  store.SetIniFileName(ini);
  TFormGeometryItems items;
  const TRect current = Rect(1, 2, 301, 202);
  store.Open();
  // Height below the minimum is raised; letters in Left give the default.
  EXPECT_EQ(LoadFormGeometry(store, "frmTest", items, current, true, TSize{8, 18}, Point(7, 9)),
            Rect(7, 40, 647, 58));
  // A fixed border keeps its own size whatever is stored.
  EXPECT_EQ(LoadFormGeometry(store, "frmTest", items, current, false, TSize{8, 18}, Point(7, 9)),
            Rect(7, 40, 307, 240));
  // Nothing stored: the minimum size at the default position.
  EXPECT_EQ(LoadFormGeometry(store, "other", items, current, true, TSize{80, 60}, Point(3, 4)),
            Rect(3, 4, 83, 64));

  SaveFormGeometry(store, "fixed", items, Rect(10, 20, 110, 220), false);
  SaveFormGeometry(store, "sized", items, Rect(10, 20, 110, 220), true);
  store.Close();
  std::string text = ReadWholeFile(ini);
  EXPECT_NE(text.find("[fixed]\r\nTop=20\r\nLeft=10\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[sized]\r\nTop=20\r\nLeft=10\r\nHeight=200\r\nWidth=100\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("[fixed]\r\nTop=20\r\nLeft=10\r\nHeight"), std::string::npos) << text;
}

TEST_F(RootFilesTest, OptionFileFilledFromIniCopyInTheOptionFolder) {
  WriteWholeFile(FDir + "/opt/Quorvex.INI", "[a]\r\nb=1\r\n");
  SetOptionFolder(FDir + "/opt");  // without its trailing separator
  TOptionFileChoice choice;
  ASSERT_TRUE(ChooseOptionFile(ParamStr(0), choice));
  EXPECT_EQ(choice.FileName, FDir + "/opt/Quorvex.ACOPT");
  EXPECT_FALSE(choice.UseExeDir);
  EXPECT_EQ(ReadWholeFile(FDir + "/opt/Quorvex.ACOPT"), "[a]\r\nb=1\r\n");
}

TEST_F(RootFilesTest, OptionFileNamesAreExact) {
  // Only the name as written counts: a lower-case twin is a different file.
  WriteWholeFile(FDir + "/opt/Quorvex.ini", "[a]\r\n");
  SetOptionFolder(FDir + "/opt/");
  TOptionFileChoice choice;
  ASSERT_TRUE(ChooseOptionFile(ParamStr(0), choice));
  EXPECT_FALSE(fs::exists(FDir + "/opt/Quorvex.ACOPT"));
  EXPECT_FALSE(fs::exists(FDir + "/opt/Quorvex.acopt"));
}

TEST_F(RootFilesTest, OptionFileInTheProgramFolderWhenAsked) {
  WriteWholeFile(FDir + "/bin/Quorvex.INI", "[x]\r\n");
  SetUseExeDirForOptions(true);
  TOptionFileChoice choice;
  ASSERT_TRUE(ChooseOptionFile(ParamStr(0), choice));
  EXPECT_EQ(choice.FileName, "Quorvex.ACOPT");
  EXPECT_TRUE(choice.UseExeDir);
  EXPECT_TRUE(fs::exists(FDir + "/bin/Quorvex.ACOPT"));
  // The store then reads the filled file in the program's folder.
  TCtlIniFileStore store;
  store.SetIniFileName(choice.FileName);
  store.SetUseExeDir(true);
  EXPECT_EQ(store.StoragePath(), FDir + "/bin/Quorvex.ACOPT");
}

TEST_F(RootFilesTest, NoOptionFileWithoutFolderOrExeDir) {
  TOptionFileChoice choice;
  EXPECT_FALSE(ChooseOptionFile(ParamStr(0), choice));
  EXPECT_TRUE(fs::is_empty(FDir + "/opt"));
}

TEST(RootGeometry, WriteWarningNamesFileAndFolder) {
  AnsiString text = OptionFileWriteWarning("/home/u/Quorvex.ACOPT");
  EXPECT_EQ(text,
            "Unable to write to user option file Quorvex.ACOPT\rIt is likely that you do not have WRITE "
            "permission to the following folder:\r/home/u\rPlease request your System Administrator to "
            "make sure you have full permissions\r for this folder.");
}

}  // namespace

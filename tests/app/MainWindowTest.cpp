// The main window on a headless screen: the folder tree it makes, its caption and help text, and
// the code lists and password it keeps in its settings file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/fQuorvex.h"
#include "core/uHotFileLines.h"
#include "framework/base/uMessageDialog.h"
#include "platform/classlib/ClassLibTestSupport.h"
#include "platform/rtl/Files.h"
#include "platform/com/XlServer.h"
#include "platform/engines/Modules.h"
#include "tables/XBE7.h"

namespace {

namespace fs = std::filesystem;

class MainWindowTest : public ClassLibTest {
protected:
  void SetUp() override {
    ClassLibTest::SetUp();
    FSavedExe = ParamStr(0);
    char tmpl[] = "/tmp/mainwinXXXXXX";
    Dir = std::string(::mkdtemp(tmpl)) + "/";
    SetExeNameForTesting(Dir + "quorvex");
    std::ofstream(Dir + "quorvex") << "";  // the version block is the running program's
    CreateGlobalHotFileLine();
  }
  void TearDown() override {
    ClassLibTest::TearDown();
    FreeGlobalHotFileLine();
    SetExeNameForTesting(FSavedExe);
    fs::remove_all(Dir);
  }
  TfrmQuorvex* Start() {
    TfrmQuorvex* f = nullptr;
    Application().CreateForm(f);
    f->Show();
    Pump();
    return f;
  }
  std::string Settings() {
    std::ifstream in(Dir + "Quorvex/Database/quorvex.ini", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::string Dir;

private:
  AnsiString FSavedExe;
};

TEST_F(MainWindowTest, AFreshStartMakesTheTreeAndShowsCaptionAndHelp) {
  TfrmQuorvex* f = Start();
  for (const char* folder : {"Quorvex", "Quorvex/Database", "Quorvex/Working", "Quorvex/Working/Processd",
                             "Quorvex/Working/Unzipped", "Quorvex/Outbound", "Quorvex/Outbound/Sent"})
    EXPECT_TRUE(fs::is_directory(Dir + folder)) << folder;
  EXPECT_EQ(Dir + "Quorvex/Working/", f->Folders().WorkingFolder);
  EXPECT_EQ("Quorvex Utility 1.2 - Copyright (c) 2026 Keldara", f->Caption());
  EXPECT_EQ(880, f->ClientWidth());
  EXPECT_EQ(0, f->memTacns->Lines().Count());
  EXPECT_EQ(0, f->memAgtns->Lines().Count());
  TStrings& help = f->memProductInfo->Lines();
  ASSERT_EQ(10, help.Count());
  EXPECT_NE(AnsiString::npos, help[0].find("click on the Split button above"));
  EXPECT_EQ(f->Folders().WorkingFolder, help[1]);
  EXPECT_EQ("", help[2]);
  EXPECT_EQ(f->Folders().OutboundFolder, help[4]);
  EXPECT_EQ(f->Folders().ProcessdFolder, help[7]);
  EXPECT_NE(AnsiString::npos, help[9].find("contact sales@keldara.example"));
  EXPECT_TRUE(Errors.empty()) << Errors[0];
}

TEST_F(MainWindowTest, ListsAndPasswordGoToTheSettingsFileAndComeBack) {
  TfrmQuorvex* f = Start();
  f->memTacns->Lines().Add("220");
  f->memTacns->Lines().Add("");
  f->memTacns->Lines().Add("125");
  f->memAgtns->Lines().Add("1234567");
  f->edtZipPassword->SetAsString("  secret ");
  f->Free();
  const std::string ini = Settings();
  EXPECT_NE(std::string::npos, ini.find("[SplitFor]\r\nAgtnList=1234567\r\nTacnList=220;125\r\n")) << ini;
  EXPECT_NE(std::string::npos, ini.find("[ZipFile]\r\nPassword=secret\r\n")) << ini;

  f = Start();
  ASSERT_EQ(2, f->memTacns->Lines().Count());
  EXPECT_EQ("125", f->memTacns->Lines()[1]);
  EXPECT_EQ("1234567", f->memAgtns->Lines()[0]);
  EXPECT_EQ("secret", f->edtZipPassword->AsString());
  // Showing again loads again; the help text is only added to.
  f->Hide();
  f->Show();
  Pump();
  EXPECT_EQ(20, f->memProductInfo->Lines().Count());
}

TEST_F(MainWindowTest, AFolderThatCannotBeMadeStopsTheRestOfTheCreation) {
  SetExeNameForTesting("/proc/quorvex");  // nobody makes folders there
  TfrmQuorvex* f = nullptr;
  Application().CreateForm(f);
  ASSERT_EQ(1u, Errors.size());
  EXPECT_EQ("Quorvex Utility", f->Caption());
  EXPECT_EQ(AnsiString::npos, f->iniForm->IniFileName().find("Database"));
}

// The table environment loads the engine and hands it its settings; without the engine the
// window starts all the same. The spreadsheet component is there and never connects.
TEST_F(MainWindowTest, StartsWithTheTableEngineAndWithoutIt) {
  XBEEngine().Unload();
  TfrmQuorvex* f = Start();
  ASSERT_TRUE(TableEngineReady());
  EXPECT_EQ(-1, xb_SysProp(xbPropGetDeleted, 0));
  EXPECT_EQ(-1, xb_SysProp(xbPropGetExact, 0));
  EXPECT_FALSE(f->xlaOp->Connected());
  f->Close();
  Pump();
  EXPECT_EQ(0, XlServerInstances());

  XBEEngine().Unload();
  SetLibraryFolders({Dir});  // a folder with no engine in it
  f = Start();
  EXPECT_FALSE(TableEngineReady());
  EXPECT_TRUE(f->envMain->Deleted());
  EXPECT_EQ(Dir + "Quorvex/Working/", f->Folders().WorkingFolder);
  SetLibraryFolders({});
  EXPECT_TRUE(Errors.empty()) << Errors[0];
}

TEST_F(MainWindowTest, TheProgramStepsMakeTheRecordReaderLast) {
  FreeGlobalHotFileLine();
  EXPECT_THROW(GlobalHotFileLine(), EInvalidOperation);
  TModuleSteps steps;
  AddMainWindowSteps(steps);
  steps.Startup();
  EXPECT_NO_THROW(GlobalHotFileLine());
  steps.Shutdown();
  EXPECT_THROW(GlobalHotFileLine(), EInvalidOperation);
}

}  // namespace

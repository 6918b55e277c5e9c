// The main window on a headless screen: the folder tree it makes, its caption and help text, and
// the code lists and password it keeps in its settings file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/fQuorvex.h"
#include "core/uHotFileLines.h"
#include "framework/base/uMessageDialog.h"
#include "SmallDisk.h"
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
  EXPECT_EQ("zip", f->dlgFileOpen->DefaultExt());
  EXPECT_EQ("Zip Files|*.zip|any file|*.*", f->dlgFileOpen->Filter());
  EXPECT_EQ(OpenOption(ofAllowMultiSelect) | OpenOption(ofPathMustExist) | OpenOption(ofFileMustExist),
            f->dlgFileOpen->Options());
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

// What the settings file holds is never lost: a failed save is shown while the program still runs
// and leaves the old file whole; a byte-order mark, a folder in the file's place and a password
// longer than the field are each handled or told.
TEST_F(MainWindowTest, TheSettingsFileIsKeptWholeAndItsTroublesAreTold) {
  struct Shown {
    std::string Text;
    bool Terminated;
  };
  std::vector<Shown> shown;
  SetMessageBoxHook([&](const AnsiString& text, TMsgDlgType, TMsgDlgButtons, int32_t) {
    shown.push_back({text, Application().Terminated()});
    return mrOk;
  });
  const std::string database = Dir + "Quorvex/Database/";
  const std::string ini = database + "quorvex.ini";
  const std::string old = "[SplitFor]\r\nAgtnList=1111111\r\nTacnList=220\r\n[ZipFile]\r\nPassword=secret\r\n";
  auto shownWith = [&](const std::string& part) {
    for (const Shown& s : shown)
      if (s.Text.find(part) != std::string::npos) return &s;
    return static_cast<const Shown*>(nullptr);
  };
  {
    // A full disk at close.
    SmallDisk disk(database, 2 * 4096);
    if (disk.Mounted()) {
      std::ofstream(ini, std::ios::binary) << old;
      std::ofstream(database + "filler", std::ios::binary) << std::string(4096, 'x');
      TfrmQuorvex* f = Start();
      f->memAgtns->Lines().Add(std::string(5000, '1'));
      f->Close();
      Pump();
      EXPECT_EQ(Settings(), old);
      const Shown* error = shownWith(ini);
      ASSERT_NE(error, nullptr);
      EXPECT_FALSE(error->Terminated) << "the box would be gone before the user saw it";
      delete f;
      EXPECT_EQ(Settings(), old);
    } else {
      std::printf("full disk case skipped: %s\n", disk.Why().c_str());
    }
  }
  Application().ResetTerminated();
  shown.clear();
  {
    // A byte-order mark before the first section.
    fs::create_directories(database);
    std::ofstream(ini, std::ios::binary) << "\xEF\xBB\xBF" + old;
    TfrmQuorvex* f = Start();
    ASSERT_EQ(f->memAgtns->Lines().Count(), 1);
    EXPECT_EQ(f->memAgtns->Lines()[0], "1111111");
    EXPECT_EQ(f->edtZipPassword->AsString(), "secret");
    delete f;
    EXPECT_EQ(Settings(), "\xEF\xBB\xBF" + old);
  }
  {
    // A password longer than the field.
    const std::string longer(70, 'p');
    std::ofstream(ini, std::ios::binary) << "[ZipFile]\r\nPassword=" + longer + "\r\n";
    TfrmQuorvex* f = Start();
    EXPECT_NE(shownWith("has 70 characters"), nullptr);
    delete f;
  }
  {
    // A folder where the file goes.
    fs::remove(ini);
    fs::create_directory(ini);
    shown.clear();
    TfrmQuorvex* f = Start();
    EXPECT_NE(shownWith(ini + " is a folder"), nullptr);
    f->memTacns->Lines().Add("125");
    f->Close();
    Pump();
    EXPECT_GE(shown.size(), 2u);
    delete f;
  }
  SetMessageBoxHook(nullptr);
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

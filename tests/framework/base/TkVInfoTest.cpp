// The tool library: its fixed version, numbered texts, the reader's errors, and version blocks of
// files that have none (the program's own block is read back in the program's tests).
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "framework/base/TkConst.h"
#include "framework/base/TkFileOp.h"
#include "framework/base/TkShBase.h"
#include "framework/base/TkSrMgr.h"
#include "framework/base/TkStartup.h"
#include "framework/base/TkVInfo.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Resources.h"

namespace {

const uint8_t NotATable[] = {'S', 'T', 'R', '1', 0, 0, 0, 0};
const uint8_t EmptyTable[] = {'S', 'T', 'R', '0', 0, 0, 0, 0};
const TResourceRegistration RegBad("RCDATA", "TK_TEST_NOT_A_TABLE", NotATable, sizeof NotATable);
const TResourceRegistration RegEmpty("RCDATA", "TK_TEST_EMPTY", EmptyTable, sizeof EmptyTable);

TEST(TkComponent, VersionIsFixed) {
  TTkVersionInfo info;
  EXPECT_EQ("3.02", info.Version());
  info.SetVersion("9.99");
  EXPECT_EQ("3.02", info.Version());
  TTkFileOperation op;
  EXPECT_EQ("3.02", op.Version());
}

TEST(TkStrings, TextsByNumberAndTheReadersErrors) {
  struct {
    int Id;
    const char* Text;
  } const cases[] = {
      {tkErrorOpeningFile, "Error opening file"},
      {tkNoVersionInfo, "File does not contain version info"},
      {tkUnableToReadVersionInfo, "Unable to read version info"},
      {tkVersionKeyNotFound, "The specified key cannnot be found in version info"},
      {tkNoSourceFiles, "No source files specified"},
      {tkMappingInDelete, "Cannot use file mappings in a delete operation"},
      {9999, "Unknown"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.Text, TkStringById(c.Id));
    ETkException e(c.Id);
    EXPECT_EQ(c.Text, e.Message());
    EXPECT_EQ(c.Id, e.ErrorCode());
  }
  TTkStringResource own(TkSrMgrStrings);
  EXPECT_EQ("Invalid string resource", own.GetString(5));
  EXPECT_EQ("", TTkStringResource("TK_TEST_EMPTY").GetString(1));
  EXPECT_EQ("", TTkStringResource("").GetString(1));
  try {
    TTkStringResource bad("TK_TEST_NOT_A_TABLE");
    ADD_FAILURE();
  } catch (const ETkStringResourceError& e) {
    EXPECT_EQ("Invalid string resource", e.Message());
  }
  try {
    TTkStringResource missing("TK_NO_SUCH_TABLE");
    ADD_FAILURE();
  } catch (const ETkStringResourceError& e) {
    EXPECT_EQ("String resource not found: TK_NO_SUCH_TABLE", e.Message());
  }
  // After close-down a late caller still gets its text.
  TkSrMgrShutdown();
  EXPECT_EQ("Error opening file", TkStringById(tkErrorOpeningFile));
}

TEST(TkFileOp, ArgumentErrorsAreToolLibraryExceptions) {
  TTkFileOperation op;
  op.SetOperation(TTkFileOp::fopDelete);
  try {
    op.Execute();
    ADD_FAILURE();
  } catch (const ETkException& e) {
    EXPECT_NE(nullptr, dynamic_cast<const ETkFileOpError*>(&e));
    EXPECT_EQ(tkNoSourceFiles, e.ErrorCode());
    EXPECT_EQ("No source files specified", e.Message());
  }
}

TEST(TkVersionInfo, FilesWithoutABlock) {
  // This test program carries no version block.
  TTkVersionInfo info;
  EXPECT_EQ(ParamStr(0), info.FileName());
  try {
    info.GetProductVersion();
    ADD_FAILURE();
  } catch (const ETkVersionInfoError& e) {
    EXPECT_EQ(tkNoVersionInfo, e.ErrorCode());
    EXPECT_EQ("File does not contain version info", e.Message());
  }
  EXPECT_FALSE(info.VersionInfoLoaded());

  char name[] = "/tmp/tkvinfoXXXXXX";
  int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  close(fd);
  info.SetFileName(name);
  EXPECT_THROW(info.LoadVersionInfo(), ETkVersionInfoError);
  std::remove(name);

  try {
    info.SetFileName("/no/such/file.exe");
    ADD_FAILURE();
  } catch (const ETkVersionInfoError& e) {
    EXPECT_EQ(tkErrorOpeningFile, e.ErrorCode());
  }
  EXPECT_EQ(AnsiString(name), info.FileName());  // the failed name was not taken
  info.SetFileName("");
  EXPECT_EQ(ParamStr(0), info.FileName());

  // While loading from form data a missing name is kept, and an empty one filled in afterwards.
  TTkVersionInfo loading;
  loading.BeginLoading();
  loading.SetFileName("/no/such/file.exe");
  EXPECT_EQ("/no/such/file.exe", loading.FileName());
  loading.SetFileName("");
  EXPECT_EQ("", loading.FileName());
  loading.EndLoading();
  EXPECT_EQ(ParamStr(0), loading.FileName());
}

TEST(TkVersionInfo, FileVersionAsANumber) {
  struct {
    const char* Text;
    char Separator;
    double Value;
  } const cases[] = {
      {"1.2.3.4", '.', 1.2}, {"10.20.3", '.', 0}, {"2", '.', 2}, {"3.5", '.', 3.5}, {"1.2.3.4", ',', 1.2},
      {"3,5", ',', 3.5},     {"", '.', 0},        {"v1.2.3", '.', 0}, {"12.3.4", '.', 12.3}, {"123.4.5", '.', 0},
  };
  for (const auto& c : cases)
    EXPECT_DOUBLE_EQ(c.Value, TTkCustomVersionInfo::VersionTextToFloat(c.Text, c.Separator))
        << c.Text << " with " << c.Separator;
}

TEST(TkStartup, ShellStepsRunAndNeverStopStartUp) {
  TModuleSteps steps;
  AddToolLibrarySteps(steps);
  std::vector<AnsiString> ran;
  steps.OnStep = [&](const AnsiString& n, bool up) {
    if (up) ran.push_back(n);
  };
  steps.Startup();
  EXPECT_EQ((std::vector<AnsiString>{"Tool library strings", "Shell file operation", "File utilities"}), ran);
  EXPECT_TRUE(ShellLibraryLoaded());
  EXPECT_EQ(0, ShellLibraryVersion());
  EXPECT_EQ(0, TTkFileOperation().ShellVersion());
  steps.Shutdown();
  EXPECT_FALSE(ShellLibraryLoaded());
}

}  // namespace

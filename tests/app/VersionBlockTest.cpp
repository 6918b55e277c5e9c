// The program's version block read back through the version-information component.
#include <gtest/gtest.h>

#include "app/ProgramSteps.h"
#include "framework/base/TkVInfo.h"
#include "platform/rtl/Files.h"

TEST(ProgramVersion, BlockReadsBackThroughTheQueries) {
  TTkVersionInfo info;
  EXPECT_EQ(ParamStr(0), info.FileName());
  EXPECT_EQ("1.2", info.GetProductVersion());
  EXPECT_EQ("1.2.0.0", info.GetFileVersion());
  EXPECT_EQ("Copyright (c) 2026 Keldara", info.GetLegalCopyright());
  EXPECT_EQ("Keldara", info.GetCompanyName());
  EXPECT_EQ("HOT Splitter", info.GetProductName());
  EXPECT_EQ("HOT Splitter", info.GetFileDescription());
  EXPECT_EQ("Quorvex", info.GetInternalName());
  EXPECT_EQ("Quorvex.exe", info.GetOriginalFilename());
  EXPECT_EQ("", info.GetLegalTrademarks());
  EXPECT_FALSE(info.GetComments().empty());
  EXPECT_TRUE(info.VersionInfoLoaded());
  EXPECT_EQ(0x0409, info.LanguageId());
  EXPECT_EQ(0x04E4, info.CodePage());
  EXPECT_EQ(1, info.TranslationCount());
  EXPECT_EQ("English (United States)", info.LanguageName());
  EXPECT_EQ(0x00010002u, info.FileVersionMS());
  EXPECT_EQ(0u, info.FileVersionLS());
  EXPECT_EQ(0x00010002u, info.ProductVersionMS());
  EXPECT_DOUBLE_EQ(1.2, info.GetFileVersionFloat());
}

TEST(ProgramVersion, OneKeyAtATime) {
  TTkVersionInfo info;
  EXPECT_EQ("Keldara", info.LoadVersionInfo("CompanyName"));
  EXPECT_EQ("Keldara", info.LoadVersionInfo("companyname"));
  try {
    info.LoadVersionInfo("NoSuchKey");
    ADD_FAILURE();
  } catch (const ETkVersionInfoError& e) {
    EXPECT_EQ(134, e.ErrorCode());
    EXPECT_EQ("The specified key cannnot be found in version info", e.Message());
  }
  // A keyed read leaves the rest to be read on first use.
  EXPECT_EQ("1.2", info.GetProductVersion());
}

TEST(ProgramVersion, StartUpRunsTheShellStepsInModuleOrder) {
  TModuleSteps steps;
  AddProgramSteps(steps);
  const int strings = steps.IndexOf("Tool library strings");
  const int shell = steps.IndexOf("Shell file operation");
  const int files = steps.IndexOf("File utilities");
  ASSERT_GE(strings, 0);
  EXPECT_LT(steps.IndexOf("Application"), strings);
  EXPECT_LT(strings, shell);
  EXPECT_LT(shell, files);
}

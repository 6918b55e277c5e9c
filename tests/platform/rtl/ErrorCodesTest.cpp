// The version block's and the shell's error numbers are one set: both headers go into one source.
#include <gtest/gtest.h>

#include "platform/rtl/ShellOps.h"
#include "platform/rtl/VersionInfo.h"

TEST(ErrorCodes, VersionAndShellFailuresShareNumbers) {
  int error = ERROR_SUCCESS;
  EXPECT_EQ(GetFileVersionInfoSize("/nonexistent/quorvex/none.exe", &error), 0u);
  EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ShellErrorMessage(error), "The system cannot find the file specified.");
}

#include <gtest/gtest.h>

#include <sys/wait.h>

#include "app/ProgramSteps.h"
#include "platform/rtl/Regional.h"

TEST(Program, StepsStartWithThePlatformInOrder) {
  TModuleSteps steps;
  AddProgramSteps(steps);
  ASSERT_GE(steps.Count(), 2);
  EXPECT_EQ(steps.Steps(0).Name, "Regional settings");
  EXPECT_LT(steps.IndexOf("Regional settings"), steps.IndexOf("Application"));
  std::vector<std::string> ran;
  steps.OnStep = [&](const AnsiString& n, bool up) { ran.push_back((up ? "+" : "-") + n); };
  steps.Startup();
  steps.Shutdown();
  ASSERT_EQ(ran.size(), static_cast<std::size_t>(2 * steps.Count()));
  for (int i = 0; i < steps.Count(); ++i) {
    EXPECT_EQ(ran[static_cast<std::size_t>(i)], "+" + steps.Steps(i).Name);
    EXPECT_EQ(ran[ran.size() - 1 - static_cast<std::size_t>(i)], "-" + steps.Steps(i).Name);
  }
  LoadRegionalSettings("C");
}

TEST(Program, EndsWithStatusZero) {
  std::string exe = std::string(QUORVEX_BINARY_DIR) + "/app/quorvex";
  int rc = std::system((exe + " </dev/null >/dev/null 2>&1").c_str());
  ASSERT_TRUE(WIFEXITED(rc));
  EXPECT_EQ(WEXITSTATUS(rc), 0);
}

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "app/ProgramSteps.h"
#include "platform/rtl/Regional.h"
#include "platform/classlib/Forms.h"

TEST(Program, StepsStartWithThePlatformInOrder) {
  TModuleSteps steps;
  AddProgramSteps(steps);
  ASSERT_GE(steps.Count(), 2);
  EXPECT_EQ(steps.Steps(0).Name, "Regional settings");
  EXPECT_LT(steps.IndexOf("Regional settings"), steps.IndexOf("Application"));
  std::vector<std::string> ran;
  steps.OnStep = [&](const AnsiString& n, bool up) { ran.push_back((up ? "+" : "-") + n); };
  steps.Startup();
  auto* form = new TComponent(&Application());
  bool freed = false;
  struct TWatch : TComponent {
    bool* Flag;
    TWatch(TComponent* o, bool* f) : TComponent(o), Flag(f) {}
    ~TWatch() override { *Flag = true; }
  };
  new TWatch(form, &freed);
  steps.Shutdown();
  EXPECT_TRUE(freed);  // the close-down frees what the application owns
  EXPECT_EQ(Application().ComponentCount(), 0);
  ASSERT_EQ(ran.size(), static_cast<std::size_t>(2 * steps.Count()));
  for (int i = 0; i < steps.Count(); ++i) {
    EXPECT_EQ(ran[static_cast<std::size_t>(i)], "+" + steps.Steps(i).Name);
    EXPECT_EQ(ran[ran.size() - 1 - static_cast<std::size_t>(i)], "-" + steps.Steps(i).Name);
  }
  LoadRegionalSettings("C");
}

namespace {

struct TRun {
  int Status = -1;
  std::string Errors;
};

// Runs a copy of the program in a folder of its own (it makes its folder tree beside itself), with
// the environment changes given as a prefix for env(1).
TRun RunProgramWith(const std::string& env) {
  char tmpl[] = "/tmp/programXXXXXX";
  const std::string dir = ::mkdtemp(tmpl);
  const std::string exe = dir + "/quorvex";
  std::filesystem::copy_file(std::string(QUORVEX_BINARY_DIR) + "/app/quorvex", exe);
  struct TGone {
    std::string Dir;
    ~TGone() { std::filesystem::remove_all(Dir); }
  } gone{dir};
  TRun r;
  FILE* f = popen(("env " + env + " " + exe + " </dev/null 2>&1 >/dev/null").c_str(), "r");
  if (!f) return r;
  char buf[256];
  while (size_t n = fread(buf, 1, sizeof buf, f)) r.Errors.append(buf, n);
  int rc = pclose(f);
  if (WIFEXITED(rc)) r.Status = WEXITSTATUS(rc);
  return r;
}

}  // namespace

TEST(Program, EndsWithStatusZeroOnTheHeadlessDisplay) {
  TRun r = RunProgramWith("-u DISPLAY QUORVEX_HEADLESS=1");
  EXPECT_EQ(0, r.Status) << r.Errors;
}

TEST(Program, WithoutADisplaySaysSoAndEndsWithStatusOne) {
  struct TCase {
    const char* Env;
    const char* Message;
  };
  const TCase cases[] = {
      {"-u DISPLAY -u QUORVEX_HEADLESS", "Cannot open the display: DISPLAY is not set\n"},
      {"-u QUORVEX_HEADLESS DISPLAY=:32765", "Cannot open the display: :32765\n"},  // no server there
      {"DISPLAY= QUORVEX_HEADLESS=0", "Cannot open the display: DISPLAY is not set\n"},
  };
  for (const TCase& c : cases) {
    TRun r = RunProgramWith(c.Env);
    EXPECT_EQ(1, r.Status) << c.Env;
    EXPECT_EQ(c.Message, r.Errors) << c.Env;
  }
}

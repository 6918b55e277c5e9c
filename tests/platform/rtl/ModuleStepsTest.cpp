#include <gtest/gtest.h>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/ModuleSteps.h"

namespace {
using Log = std::vector<std::string>;

void addLogged(TModuleSteps& steps, Log& log, const std::string& name, bool failStart = false, bool failStop = false) {
  steps.Add(
      name,
      [&log, name, failStart] {
        log.push_back("start " + name);
        if (failStart) throw EInOutError("cannot start " + name, 5);
      },
      [&log, name, failStop] {
        log.push_back("stop " + name);
        if (failStop) throw EInOutError("cannot stop " + name, 6);
      });
}
}  // namespace

TEST(ModuleSteps, StartInOrderCloseDownInReverse) {
  Log log;
  TModuleSteps steps;
  for (const char* n : {"rtl", "controls", "zip", "framework"}) addLogged(steps, log, n);
  steps.Add("no close-down", [&] { log.push_back("start bare"); });
  std::vector<std::string> seen;
  steps.OnStep = [&](const AnsiString& n, bool up) { seen.push_back((up ? "+" : "-") + n); };
  steps.Startup();
  EXPECT_EQ(steps.StartedCount(), 5);
  EXPECT_THROW(steps.Startup(), EInvalidOperation);
  EXPECT_THROW(steps.Add("late", nullptr), EInvalidOperation);
  log.push_back("loop");
  steps.Shutdown();
  steps.Shutdown();  // a second close-down does nothing
  EXPECT_EQ(log, (Log{"start rtl", "start controls", "start zip", "start framework", "start bare", "loop",
                      "stop framework", "stop zip", "stop controls", "stop rtl"}));
  EXPECT_EQ(seen.front(), "+rtl");
  EXPECT_EQ(seen.back(), "-rtl");
  EXPECT_EQ(steps.IndexOf("ZIP"), 2);
  EXPECT_THROW(steps.Add("zip", nullptr), EInvalidOperation);
}

TEST(ModuleSteps, FailedStartUpClosesDownWhatStarted) {
  Log log;
  TModuleSteps steps;
  addLogged(steps, log, "a");
  addLogged(steps, log, "b", false, true);  // its close-down error must not hide the start-up error
  addLogged(steps, log, "c", true);
  addLogged(steps, log, "d");
  try {
    steps.Startup();
    FAIL() << "start-up should fail";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), "cannot start c");
  }
  EXPECT_EQ(log, (Log{"start a", "start b", "start c", "stop b", "stop a"}));
  EXPECT_EQ(steps.StartedCount(), 0);
}

TEST(ModuleSteps, EveryCloseDownRunsAndTheFirstErrorComesBack) {
  Log log;
  {
    TModuleSteps steps;
    addLogged(steps, log, "a", false, true);
    addLogged(steps, log, "b", false, true);
    addLogged(steps, log, "c");
    steps.Startup();
    try {
      steps.Shutdown();
      FAIL() << "close-down should raise";
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.Message(), "cannot stop b");
    }
  }
  EXPECT_EQ(log, (Log{"start a", "start b", "start c", "stop c", "stop b", "stop a"}));

  // Left started, the list closes down when it goes.
  log.clear();
  {
    TModuleSteps steps;
    addLogged(steps, log, "x", false, true);
    steps.Startup();
  }
  EXPECT_EQ(log, (Log{"start x", "stop x"}));
}

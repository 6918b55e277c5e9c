#include "platform/classlib/Forms.h"

#include <gtest/gtest.h>

#include "platform/rtl/Files.h"

namespace {
struct AppScope {
  AppScope() {
    Application().ResetTerminated();
    Application().OnException = nullptr;
  }
  ~AppScope() {
    Application().SetMessagePump({});
    Application().SetExceptionDisplay(nullptr);
    Application().OnException = nullptr;
    Application().ProcessMessages();
    Application().ResetTerminated();
  }
};
}  // namespace

TEST(Application, PostedCallbacksRunInOrderAndSkipFreedTargets) {
  AppScope s;
  std::vector<int> ran;
  auto target = std::make_unique<TComponent>(nullptr);
  Application().PostCallback([&] { ran.push_back(1); });
  Application().PostCallback([&] { ran.push_back(2); }, target.get());
  Application().PostCallback([&] { ran.push_back(3); });
  target.reset();
  Application().ProcessMessages();
  EXPECT_EQ(ran, (std::vector<int>{1, 3}));
  EXPECT_FALSE(Application().HasPending());

  // A callback that posts again runs on the next call, so ProcessMessages always returns.
  int rounds = 0;
  std::function<void()> again = [&] {
    ran.push_back(9);
    if (++rounds < 2) Application().PostCallback(again);
  };
  Application().PostCallback(again);
  Application().ProcessMessages();
  Application().ProcessMessages();
  EXPECT_EQ(ran, (std::vector<int>{1, 3, 9, 9}));
  EXPECT_FALSE(Application().HasPending());
}

TEST(Application, RunEndsOnTerminateAndErrorsReachTheDisplay) {
  AppScope s;
  std::vector<std::pair<AnsiString, AnsiString>> shown;
  Application().SetTitle("Quorvex");
  Application().SetExceptionDisplay([&](const AnsiString& m, const AnsiString& t) { shown.push_back({m, t}); });
  Application().PostCallback([] { throw EInOutError("Disk full", 112); });
  Application().PostCallback([] { Abort(); });
  Application().PostCallback([] { throw std::runtime_error("bad"); });
  Application().PostCallback([] { Application().Terminate(); });
  bool neverRuns = false;
  Application().PostCallback([&] { neverRuns = true; });
  Application().Run();
  EXPECT_TRUE(Application().Terminated());
  EXPECT_FALSE(neverRuns);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].first, "Disk full.");
  EXPECT_EQ(shown[0].second, "Quorvex");
  EXPECT_EQ(shown[1].first, "bad.");

  std::vector<AnsiString> handled;
  Application().OnException = [&](const Exception& e) { handled.push_back(e.Message()); };
  Application().HandleException(EConvertError("x."));
  EXPECT_EQ(handled, std::vector<AnsiString>{"x."});
  EXPECT_EQ(shown.size(), 2u);
}

TEST(Application, PumpIsAskedUntilEmptyAndExeNameIsTheProgram) {
  AppScope s;
  int pending = 3, asked = 0;
  Application().SetMessagePump({[&] {
                                  ++asked;
                                  return pending > 0 && pending--;
                                },
                                nullptr});
  Application().ProcessMessages();
  EXPECT_EQ(pending, 0);
  EXPECT_EQ(asked, 4);
  EXPECT_EQ(Application().ExeName(), ParamStr(0));
  EXPECT_FALSE(Application().ExeName().empty());
}

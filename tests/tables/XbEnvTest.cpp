#include <gtest/gtest.h>

#include "EngineRecorder.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/ExtCtrls.h"
#include "tables/xbEnv.h"

namespace {

using TLog = std::vector<std::string>;

TEST(XbEnv, StartUpPassesTheMainFormsSettingsInOrder) {
  XBEEngine().Unload();
  TXbEnv env(nullptr);
  env.BeginLoading();
  env.SetDeleted(true);  // the first setter loads the engine
  EXPECT_TRUE(TableEngineReady());
  TEngineRecorder recorder;
  env.SetExact(true);
  env.EndLoading();
  env.SetDateFormat(dfWinDefault);
  EXPECT_EQ(TEngineRecorder::Log(), (TLog{"SetExact(-1)", "SetDateFormat(99)", "SetCentury(-1)"}));
}

TEST(XbEnv, EachSetterSendsWhatItShould) {
  TEngineRecorder recorder;
  struct TCase {
    const char* Name;
    std::function<void(TXbEnv&)> Set;
    TLog Sent;
  } cases[] = {
      {"epoch 0", [](TXbEnv& e) { e.SetEpoch(0); }, {"SetEpoch(1900)"}},
      {"epoch 99", [](TXbEnv& e) { e.SetEpoch(99); }, {"SetEpoch(100)"}},
      {"epoch -5", [](TXbEnv& e) { e.SetEpoch(-5); }, {"SetEpoch(100)"}},
      {"epoch 3000", [](TXbEnv& e) { e.SetEpoch(3000); }, {"SetEpoch(2999)"}},
      {"epoch 1950", [](TXbEnv& e) { e.SetEpoch(1950); }, {"SetEpoch(1950)"}},
      {"german", [](TXbEnv& e) { e.SetDateFormat(dfGerman); }, {"SetDateFormat(4)", "SetCentury(-1)"}},
      {"no century",
       [](TXbEnv& e) {
         e.SetCentury(false);
         e.SetDateFormat(dfAnsi);
       },
       {"SetCentury(0)", "SetDateFormat(1)"}},
      {"century again", [](TXbEnv& e) { e.SetCentury(true); }, {"SetCentury(-1)"}},
      {"exact unchanged", [](TXbEnv& e) { e.SetExact(false); }, {}},
      {"soft seek", [](TXbEnv& e) { e.SetSoftSeek(true); }, {"SetSoftSeek(-1)"}},
      {"lock time-out",
       [](TXbEnv& e) {
         e.SetLockTimeOut(1);
         e.SetLockTimeOut(70000);
       },
       {"SetLockTimeout(70000)"}},
      {"memo blocks", [](TXbEnv& e) { e.SetMemoBlockSize(512); }, {"SetMemoBlockSize(512)"}},
      {"optimistic", [](TXbEnv& e) { e.SetOptimisticBuffer(true); }, {"SysProp1009(1)", "SysProp1008(0)"}},
      {"nowhere",
       [](TXbEnv& e) {
         e.SetApplyTo(0);
         e.SetDeleted(true);
         e.SetEpoch(2000);
       },
       {}},
  };
  for (const TCase& c : cases) {
    TXbEnv env(nullptr);
    TEngineRecorder::Log().clear();
    c.Set(env);
    EXPECT_EQ(TEngineRecorder::Log(), c.Sent) << c.Name;
  }
  TXbEnv env(nullptr);
  env.SetEpoch(99);
  EXPECT_EQ(env.Epoch(), 100);
  env.SetOptimisticBuffer(true);
  EXPECT_TRUE(env.OptimisticBuffer());
  env.SetApplyTo(0);
  env.SetDeleted(true);
  EXPECT_FALSE(env.Deleted());
}

TEST(XbEnv, ServerOnlySettingsStayOffTheLocalEngine) {
  TEngineRecorder recorder;
  TXbEnv env(nullptr);
  env.SetApplyTo(atServer);
  int toServer = 0;
  env.OnServerSetting = [&](TXbConnection*, TXbEnvSetting, int32_t) { ++toServer; };
  env.SetDeleted(true);
  EXPECT_TRUE(env.Deleted());
  env.SetOptimisticBuffer(true);
  EXPECT_FALSE(env.OptimisticBuffer());
  EXPECT_TRUE(TEngineRecorder::Log().empty());
  EXPECT_EQ(toServer, 0);  // no connection
}

TEST(XbDatabase, RegistersOnceAndLeavesEveryTrace) {
  TComponent owner(nullptr);
  auto* a = new TXbDatabase(&owner);
  auto* b = new TXbDatabase(&owner);
  TxbdbStringList& list = XbDatabaseRegistry();
  EXPECT_EQ(list.IndexOf(a), list.Count() - 2);
  EXPECT_EQ(list.IndexOf(b), list.Count() - 1);
  int before = list.Count();
  list.Add(a);  // a stray second entry goes with the first
  delete a;
  EXPECT_EQ(list.Count(), before - 1);
  EXPECT_LT(list.IndexOf(a), 0);
  try {
    TxbdbStringList::Destroy(&list);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Cannot manually destroy a TxbdbStringList");
  }
}

TEST(XbSearchObject, AnswersEveryMatchOnceDataModulesFirst) {
  std::vector<TComponent*> expected;
  std::vector<TComponent*> owners;
  for (int i = 0; i < 2; ++i) {
    auto* module = new TComponent(&Application());
    owners.push_back(module);
    new TComponent(module);
    expected.push_back(new TXbEnv(module));
  }
  auto* form = new TForm(&Application());
  owners.push_back(form);
  auto* frame = new TPanel(form);  // does not match: its own components are searched
  expected.push_back(new TXbEnv(frame));
  expected.push_back(new TXbEnv(form));
  TXbSearchObject search;
  auto isEnv = TXbSearchObject::ClassOf<TXbEnv>();
  std::vector<TComponent*> found;
  for (TComponent* c = search.Start(isEnv); c; c = search.Continue(isEnv)) found.push_back(c);
  EXPECT_EQ(found, expected);
  EXPECT_EQ(search.Continue(isEnv), nullptr);
  for (TComponent* o : owners) delete o;
}

}  // namespace

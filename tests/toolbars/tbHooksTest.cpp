// The shared window hooks: reference counts per registration, which hooks each kind needs, callbacks
// that raise, and the messages that reach each kind; and the sort with a context.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/win/Hooks.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Windows.h"
#include "toolbars/tbHooks.h"

namespace {

std::vector<std::pair<TtbHookEventKind, HWND>> Heard;
void Listen(TtbHookEventKind k, HWND w, WPARAM, LPARAM) { Heard.emplace_back(k, w); }
void Raise(TtbHookEventKind, HWND, WPARAM, LPARAM) { throw Exception("callback failed"); }

class HooksTest : public ::testing::Test {
protected:
  void SetUp() override {
    ResetWindowSystem();
    CloseDownHooks();
    Heard.clear();
  }
  void TearDown() override {
    CloseDownHooks();
    ResetWindowSystem();
  }
};

TEST_F(HooksTest, EachRegistrationTakesAwayWhatItInstalled) {
  RegisterHookCallback(Listen, HookKind(hpeMouseMove));
  RegisterHookCallback(Listen, HookKind(hpeMouseMove));
  EXPECT_EQ(2, HookRefCount(hiGetMessage));
  UnregisterHookCallback(Listen);
  EXPECT_TRUE(HookInstalled(hiGetMessage)) << "still registered once";
  EXPECT_EQ(1, RegisteredHookCallbackCount());
  // A registration made while designing installed nothing, so removing it removes nothing.
  RegisterHookCallback(Listen, HookKind(hpeMouseMove), true);
  UnregisterHookCallback(Listen);
  EXPECT_TRUE(HookInstalled(hiGetMessage));
  UnregisterHookCallback(Listen);
  EXPECT_FALSE(HookInstalled(hiGetMessage));
  EXPECT_EQ(0, RegisteredHookCallbackCount());
  UnregisterHookCallback(Listen);  // not listed: nothing happens

  // A second registration with other kinds takes back its own hooks, not the first one's.
  RegisterHookCallback(Listen, HookKind(hpeMouseMove));
  RegisterHookCallback(Listen, HookKind(hpeDestroyWindow));
  EXPECT_TRUE(HookInstalled(hiCBT));
  UnregisterHookCallback(Listen);
  EXPECT_FALSE(HookInstalled(hiCBT));
  EXPECT_TRUE(HookInstalled(hiGetMessage));
}

TEST_F(HooksTest, KindsInstallOnlyTheHooksTheyNeed) {
  const struct {
    TtbHookEventKinds Kinds;
    TtbHookSet Hooks;
  } cases[] = {{HookKind(hpeActivateApp), 1u << hiCallWndProc},
               {HookKind(hpeWindowPosChanged), 1u << hiCallWndProc},
               {HookKind(hpeDestroyWindow), 1u << hiCBT},
               {HookKind(hpeMouseMove), 1u << hiGetMessage},
               {HookKind(hpeActivateApp) | HookKind(hpeMouseMove), (1u << hiCallWndProc) | (1u << hiGetMessage)}};
  for (const auto& c : cases) EXPECT_EQ(c.Hooks, HooksOfKinds(c.Kinds)) << c.Kinds;
  RegisterHookCallback(Listen, HookKind(hpeDestroyWindow));
  EXPECT_TRUE(HookInstalled(hiCBT));
  EXPECT_FALSE(HookInstalled(hiCallWndProc));
  EXPECT_FALSE(HookInstalled(hiGetMessage));
}

TEST_F(HooksTest, EventsReachTheirKindsAndARaisingCallbackStopsNothing) {
  static bool chained = false;
  HHOOK next = SetWindowsHookEx(WH_CBT, [](int, WPARAM, LPARAM) -> LRESULT {
    chained = true;
    return 0;
  });
  // Ours go in after the test's hook, so they run first and must pass each event on.
  RegisterHookCallback(Raise, HookKind(hpeDestroyWindow) | HookKind(hpeMouseMove));
  RegisterHookCallback(Listen, HookKind(hpeDestroyWindow) | HookKind(hpeMouseMove) | HookKind(hpeWindowPosChanged));
  TWndClass wc;
  wc.lpszClassName = "HookTarget";
  wc.lpfnWndProc = DefWindowProc;
  RegisterClass(wc);
  HWND w = CreateWindowEx(0, "HookTarget", "", WS_POPUP | WS_VISIBLE, 10, 10, 100, 100, 0);
  Heard.clear();
  MoveWindow(w, 20, 20, 100, 100);
  ASSERT_FALSE(Heard.empty());
  EXPECT_EQ(hpeWindowPosChanged, Heard.back().first);

  Heard.clear();
  InjectMouseMove(50, 50);
  TMsg m;
  while (PeekMessage(m, 0, 0, 0, PM_REMOVE)) DispatchMessage(m);
  ASSERT_FALSE(Heard.empty()) << "after the raising callback, the next one still runs";
  for (auto& h : Heard) EXPECT_EQ(hpeMouseMove, h.first);

  Heard.clear();
  PostMessage(w, WM_NCMOUSEMOVE, HTCAPTION, 0);
  while (PeekMessage(m, 0, 0, 0, PM_REMOVE)) DispatchMessage(m);
  EXPECT_TRUE(Heard.empty()) << "a non-client move is no mouse move";

  DestroyWindow(w);
  auto destroyed = std::pair<TtbHookEventKind, HWND>{hpeDestroyWindow, w};
  EXPECT_EQ(1, std::count(Heard.begin(), Heard.end(), destroyed));
  EXPECT_TRUE(chained);
  UnhookWindowsHookEx(next);
}

int ByValue(const int& a, const int& b, int descending) { return descending ? b - a : a - b; }

TEST(ListSortEx, SortsByTheComparerWithItsContext) {
  std::vector<int> v{5, 3, 9, 1, 7, 3};
  ListSortEx(v, ByValue, 0);
  EXPECT_EQ((std::vector<int>{1, 3, 3, 5, 7, 9}), v);
  ListSortEx(v, ByValue, 1);
  EXPECT_EQ((std::vector<int>{9, 7, 5, 3, 3, 1}), v);
  std::vector<int> one{4}, none;
  ListSortEx(one, ByValue, 0);
  ListSortEx(none, ByValue, 0);
  EXPECT_EQ(std::vector<int>{4}, one);
}

}  // namespace

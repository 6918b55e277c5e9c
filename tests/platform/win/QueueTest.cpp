#include "WinTestSupport.h"

TEST_F(WinTest, SendRunsAtOncePostWaitsForThePump) {
  HWND h = Top();
  Log.clear();
  Only = {WM_USER, WM_USER + 1, WM_USER + 2};
  PostMessage(h, WM_USER, 1);
  SendMessage(h, WM_USER + 1, 2);
  PostMessage(h, WM_USER + 2, 3);
  EXPECT_EQ(std::vector<UINT>{WM_USER + 1}, Msgs());
  Pump();
  EXPECT_EQ((std::vector<UINT>{WM_USER + 1, WM_USER, WM_USER + 2}), Msgs());
}

TEST_F(WinTest, PeekFiltersAndRemove) {
  HWND a = Top(), b = Top();
  HWND kid = Child(a, 0, 0, 5, 5);
  PostMessage(b, WM_USER + 1);
  PostMessage(kid, WM_USER + 2);
  PostMessage(0, WM_USER + 3);
  TMsg m;
  ASSERT_TRUE(PeekMessage(m, a, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(kid, m.hwnd) << "a window filter takes its children too";
  ASSERT_TRUE(PeekMessage(m, static_cast<HWND>(-1), 0, 0, PM_REMOVE));
  EXPECT_EQ(WM_USER + 3, m.message);
  ASSERT_TRUE(PeekMessage(m, 0, WM_USER + 2, WM_USER + 5, PM_REMOVE));
  EXPECT_EQ(WM_USER + 2, m.message);
  ASSERT_TRUE(PeekMessage(m, 0, 0, 0, PM_REMOVE));
  EXPECT_EQ(WM_USER + 1, m.message);
  EXPECT_FALSE(PeekMessage(m, 0, 0, 0, PM_REMOVE));
}

TEST_F(WinTest, QuitIsReportedWhateverTheFilter) {
  HWND h = Top();
  PostQuitMessage(7);
  PostMessage(h, WM_USER);
  TMsg m;
  ASSERT_TRUE(PeekMessage(m, 0, 0, 0, PM_REMOVE));
  EXPECT_EQ(WM_USER, m.message) << "posted messages come first";
  ASSERT_TRUE(PeekMessage(m, h, WM_TIMER, WM_TIMER, PM_NOREMOVE));
  EXPECT_EQ(WM_QUIT, m.message);
  EXPECT_FALSE(GetMessage(m));
  EXPECT_EQ(7u, m.wParam);
  EXPECT_FALSE(PeekMessage(m, 0, 0, 0, PM_REMOVE));
}

TEST_F(WinTest, PostsToDestroyedWindowsAreDropped) {
  HWND a = Top(), b = Top();
  HWND kid = Child(a, 0, 0, 5, 5);
  PostMessage(a, WM_USER);
  PostMessage(kid, WM_USER);
  PostMessage(b, WM_USER + 1);
  DestroyWindow(a);
  Log.clear();
  Only = {WM_USER, WM_USER + 1};
  Pump();
  EXPECT_EQ((std::vector<std::pair<HWND, UINT>>{{b, WM_USER + 1}}), Pairs());
  EXPECT_FALSE(PostMessage(a, WM_USER));
  // A fresh window never takes a dead one's handle, so old posts cannot reach it.
  HWND c = Top();
  EXPECT_NE(a, c);
  EXPECT_NE(kid, c);
}

TEST_F(WinTest, MessageOnlyWindows) {
  HWND m = CreateWindowEx(0, "Rec", "", 0, 0, 0, 0, 0, HWND_MESSAGE);
  ASSERT_TRUE(m);
  EXPECT_TRUE(GetChildWindows(0).empty());
  Only = {WM_USER};
  PostMessage(m, WM_USER);
  Pump();
  EXPECT_EQ(1u, Log.size());
  EXPECT_EQ(0u, SetFocus(m));
}

TEST_F(WinTest, HooksSeeSentAndTakenMessagesInChainOrder) {
  HWND h = Top();
  std::vector<std::string> seen;
  HHOOK h1 = 0, h2 = 0;
  h1 = SetWindowsHookEx(WH_CALLWNDPROC, [&](int code, WPARAM w, LPARAM l) {
    auto* c = reinterpret_cast<TCwpStruct*>(l);
    if (c->message == WM_USER) seen.push_back("old");
    return CallNextHookEx(h1, code, w, l);
  });
  h2 = SetWindowsHookEx(WH_CALLWNDPROC, [&](int code, WPARAM w, LPARAM l) {
    auto* c = reinterpret_cast<TCwpStruct*>(l);
    if (c->message == WM_USER) seen.push_back("new");
    return CallNextHookEx(h2, code, w, l);
  });
  HHOOK g = SetWindowsHookEx(WH_GETMESSAGE, [&](int code, WPARAM w, LPARAM l) {
    auto* m = reinterpret_cast<TMsg*>(l);
    if (m->message == WM_USER + 1) {
      seen.push_back(w == PM_REMOVE ? "get-remove" : "get-peek");
      m->wParam = 42;  // the hook may change what the loop receives
    }
    return CallNextHookEx(g, code, w, l);
  });
  Only = {WM_USER, WM_USER + 1};
  SendMessage(h, WM_USER);
  EXPECT_EQ((std::vector<std::string>{"new", "old"}), seen);
  PostMessage(h, WM_USER + 1, 1);
  Pump();
  EXPECT_EQ("get-remove", seen.back());
  EXPECT_EQ(42u, Log.back().W);
  seen.clear();
  EXPECT_TRUE(UnhookWindowsHookEx(h2));
  EXPECT_FALSE(UnhookWindowsHookEx(h2));
  SendMessage(h, WM_USER);
  EXPECT_EQ((std::vector<std::string>{"old"}), seen);
}

TEST_F(WinTest, CbtHookSeesCreateAndDestroyAndMayVeto) {
  std::vector<int> codes;
  bool veto = false;
  HHOOK hk = SetWindowsHookEx(WH_CBT, [&](int code, WPARAM, LPARAM) -> LRESULT {
    codes.push_back(code);
    return veto && code == HCBT_DESTROYWND ? 1 : 0;
  });
  HWND h = Top();
  veto = true;
  EXPECT_FALSE(DestroyWindow(h));
  EXPECT_TRUE(IsWindow(h));
  veto = false;
  codes.clear();
  EXPECT_TRUE(DestroyWindow(h));
  EXPECT_EQ(std::vector<int>{HCBT_DESTROYWND}, codes);
  UnhookWindowsHookEx(hk);
}

TEST_F(WinTest, HookRemovedWhileRunningIsSafe) {
  HWND h = Top();
  HHOOK self = 0;
  int calls = 0;
  self = SetWindowsHookEx(WH_CALLWNDPROC, [&](int code, WPARAM w, LPARAM l) {
    ++calls;
    UnhookWindowsHookEx(self);
    return CallNextHookEx(self, code, w, l);
  });
  SendMessage(h, WM_USER);
  SendMessage(h, WM_USER);
  EXPECT_EQ(1, calls);
}

TEST_F(WinTest, TranslateKeysToCodePageCharacters) {
  HWND h = Top();
  ShowWindow(h, SW_SHOW);
  struct TCase {
    std::vector<uint16_t> Held;
    int Key;
    int Char;  // -1 for none
  } cases[] = {
      {{}, 'A', 'a'},           {{VK_SHIFT}, 'A', 'A'},     {{VK_CONTROL}, 'A', 1},
      {{VK_CONTROL}, 'Z', 26},  {{VK_SHIFT}, '5', '%'},     {{}, VK_OEM_MINUS, '-'},
      {{}, VK_RETURN, 13},      {{}, VK_F5, -1},            {{VK_LSHIFT}, VK_OEM_2, '?'},
      {{}, VK_NUMPAD0 + 7, '7'},    {{}, VK_ESCAPE, 27},        {{}, VK_LEFT, -1},
  };
  Only = {WM_CHAR, WM_SYSCHAR};
  for (auto& c : cases) {
    Log.clear();
    for (auto k : c.Held) InjectKeyDown(k);
    InjectKeyPress(static_cast<uint16_t>(c.Key));
    for (auto k : c.Held) InjectKeyUp(k);
    Pump();
    if (c.Char < 0) {
      EXPECT_TRUE(Log.empty()) << c.Key;
    } else {
      ASSERT_EQ(1u, Log.size()) << c.Key;
      EXPECT_EQ(WPARAM(c.Char), Log[0].W) << c.Key;
    }
  }
  Log.clear();
  InjectChar(0xE9);
  Pump();
  ASSERT_EQ(1u, Log.size());
  EXPECT_EQ(0xE9u, Log[0].W);
  // Caps Lock toggles the letter case.
  InjectKeyPress(VK_CAPITAL);
  InjectKeyPress('Q');
  Log.clear();
  Pump();
  EXPECT_EQ(WPARAM('Q'), Log.at(0).W);
}

TEST_F(WinTest, KeyStateFollowsTheQueueAsyncStateTheDevice) {
  HWND h = Top();
  ShowWindow(h, SW_SHOW);
  InjectKeyDown(VK_SHIFT);
  EXPECT_LT(GetAsyncKeyState(VK_SHIFT), 0);
  EXPECT_GE(GetKeyState(VK_SHIFT), 0) << "not taken from the queue yet";
  Pump();
  EXPECT_LT(GetKeyState(VK_SHIFT), 0);
  InjectKeyUp(VK_SHIFT);
  Pump();
  EXPECT_GE(GetKeyState(VK_SHIFT), 0);
  InjectMouseDown(TMouseButton::Left, 150, 150);
  EXPECT_LT(GetAsyncKeyState(VK_LBUTTON), 0);
  InjectMouseUp(TMouseButton::Left, 150, 150);
  EXPECT_GE(GetAsyncKeyState(VK_LBUTTON), 0);
  TPoint p;
  GetCursorPos(p);
  EXPECT_EQ(Point(150, 150), p);
  TRect clip = Rect(0, 0, 100, 100);
  ClipCursor(&clip);
  SetCursorPos(500, 20);
  GetCursorPos(p);
  EXPECT_EQ(Point(99, 20), p);
}

// A recording window class for the window-system tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/rtl/Ticks.h"
#include "platform/win/Caret.h"
#include "platform/win/Clipboard.h"
#include "platform/win/Hooks.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/PaintContext.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/WindowSurface.h"
#include "platform/win/Windows.h"

struct TLogged {
  HWND Window;
  UINT Msg;
  WPARAM W;
  LPARAM L;
};

class WinTest : public ::testing::Test {
protected:
  void SetUp() override {
    ResetWindowSystem();
    TWndClass wc;
    wc.lpszClassName = "Rec";
    wc.hbrBackground = 0x00FF0000;
    wc.lpfnWndProc = [this](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
      if (Watched(m)) Log.push_back({h, m, w, l});
      if (OnMsg) {
        LRESULT r = 0;
        if (OnMsg(h, m, w, l, r)) return r;
      }
      return DefWindowProc(h, m, w, l);
    };
    ASSERT_TRUE(RegisterClass(wc));
  }
  void TearDown() override { ResetWindowSystem(); }

  bool Watched(UINT m) const {
    for (UINT o : Only)
      if (o == m) return true;
    return false;
  }
  HWND Top(int x = 100, int y = 100, int w = 200, int h = 150, uint32_t style = WS_OVERLAPPEDWINDOW) {
    return CreateWindowEx(0, "Rec", "top", style, x, y, w, h, 0);
  }
  HWND Child(HWND parent, int x, int y, int w, int h, uint32_t style = WS_CHILD | WS_VISIBLE) {
    return CreateWindowEx(0, "Rec", "child", style, x, y, w, h, parent);
  }
  std::vector<UINT> Msgs() const {
    std::vector<UINT> r;
    for (auto& l : Log) r.push_back(l.Msg);
    return r;
  }
  std::vector<std::pair<HWND, UINT>> Pairs() const {
    std::vector<std::pair<HWND, UINT>> r;
    for (auto& l : Log) r.push_back({l.Window, l.Msg});
    return r;
  }
  int Pump() {
    int n = 0;
    TMsg m;
    while (PeekMessage(m, 0, 0, 0, PM_REMOVE)) {
      if (m.message == WM_QUIT) break;
      TranslateMessage(m);
      DispatchMessage(m);
      ++n;
    }
    return n;
  }

  std::vector<TLogged> Log;
  std::vector<UINT> Only;
  std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT&)> OnMsg;
};

#include <gtest/gtest.h>

#include "platform/classlib/Forms.h"
#include "platform/classlib/WindowPump.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Windows.h"

TEST(WindowPumpTest, ProcessMessagesDispatchesWindowMessagesAndQuitTerminates) {
  ResetWindowSystem();
  int got = 0;
  TWndClass wc;
  wc.lpszClassName = "PumpTest";
  wc.lpfnWndProc = [&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_USER) ++got;
    return DefWindowProc(h, m, w, l);
  };
  RegisterClass(wc);
  HWND h = CreateWindowEx(0, "PumpTest", "", WS_POPUP, 0, 0, 10, 10, 0);
  UseWindowSystemPump();
  PostMessage(h, WM_USER);
  PostMessage(h, WM_USER);
  Application().ProcessMessages();
  EXPECT_EQ(2, got);
  PostQuitMessage(0);
  Application().ResetTerminated();
  Application().Run();
  EXPECT_TRUE(Application().Terminated());
  Application().ResetTerminated();
  Application().SetMessagePump({});
  ResetWindowSystem();
}

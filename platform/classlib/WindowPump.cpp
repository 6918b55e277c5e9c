#include "platform/classlib/WindowPump.h"

#include "platform/classlib/Forms.h"
#include "platform/win/MessageQueue.h"

void UseWindowSystemPump() {
  TMessagePump pump;
  pump.ProcessOne = [] {
    TMsg msg;
    if (!PeekMessage(msg, 0, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
      Application().Terminate();
      return true;
    }
    if (Application().IsKeyMsg(msg)) return true;
    TranslateMessage(msg);
    DispatchMessage(msg);
    return true;
  };
  pump.WaitMessage = [] { WaitMessage(); };
  Application().SetMessagePump(std::move(pump));
}

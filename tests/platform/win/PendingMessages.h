// The tests' stand-in for the program's message loop.
#pragma once

#include "platform/win/MessageQueue.h"

// Runs every message waiting in the queue, translated as the program's loop translates them.
inline void DispatchPendingMessages() {
  TMsg m;
  while (PeekMessage(m, 0, 0, 0, PM_REMOVE)) {
    TranslateMessage(m);
    DispatchMessage(m);
  }
}

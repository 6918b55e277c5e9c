#include "platform/win/HeadlessBackend.h"

#include "platform/rtl/Ticks.h"

void THeadlessBackend::WaitInput(int timeoutMs) {
  // No input can come from outside: only a timer ends the wait.
  if (timeoutMs > 0) Sleep(static_cast<uint32_t>(timeoutMs));
}

void THeadlessBackend::Reset() { *this = THeadlessBackend{}; }

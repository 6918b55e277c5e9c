#include "framework/base/uMessagePump.h"

#include <utility>

namespace {
TMessagePump& Pump() {
  static TMessagePump pump;
  return pump;
}
}  // namespace

void SetMessagePump(TMessagePump pump) { Pump() = std::move(pump); }

void ProcessPendingMessages() {
  if (Pump()) Pump()();
}

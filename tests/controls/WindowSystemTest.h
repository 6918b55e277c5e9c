// A fresh window system for every test of the control library, and the pump that runs its queue.
#pragma once

#include <gtest/gtest.h>

#include "platform/win/PendingMessages.h"
#include "platform/win/Windows.h"

class WindowSystemTest : public ::testing::Test {
protected:
  void SetUp() override { ResetWindowSystem(); }
  void TearDown() override { ResetWindowSystem(); }
  static void Pump() { DispatchPendingMessages(); }
};

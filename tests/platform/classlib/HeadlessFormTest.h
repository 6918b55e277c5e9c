// A shown form on the headless display, fresh for every test, with the pump and screen points the
// class library's and the toolbars' tests share.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "platform/classlib/Forms.h"
#include "platform/classlib/WindowPump.h"
#include "platform/win/Clipboard.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Windows.h"

class HeadlessFormTest : public ::testing::Test {
protected:
  explicit HeadlessFormTest(int pumpRounds = 20) : FPumpRounds(pumpRounds) {}

  void SetUp() override {
    ResetWindowSystem();
    ResetClipboard();
    Application().ResetTerminated();
    Application().OnException = nullptr;
    Prepare();
    Application().Initialize();
    Application().CancelHint();
    UseWindowSystemPump();
    Form = std::make_unique<TForm>(nullptr);
    Form->SetBounds(100, 100, 420, 320);
    Form->Show();
    Pump();
  }
  void TearDown() override {
    Form.reset();
    Application().CancelHint();
    Pump();
    Application().OnException = nullptr;
    Application().SetMessagePump({});
    ResetClipboard();
    ResetWindowSystem();
  }
  // Settings of the window system and the application made before the form is.
  virtual void Prepare() {}

  void Pump() {
    for (int i = 0; i < FPumpRounds && HasPendingMessages(); ++i) Application().ProcessMessages();
  }
  static TPoint Screen(TControl* c, int x, int y) { return c->ClientToScreen(TPoint{x, y}); }

  std::unique_ptr<TForm> Form;

private:
  int FPumpRounds;
};

// An X11 test with forms.
#pragma once

#include <memory>
#include <string>

#include "platform/classlib/Controls.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/WindowPump.h"
#include "platform/x11/X11Fixture.h"

// The same with forms: the application's loop takes the window system's messages, and the test's
// form goes before the display does.
template <class TBase = ::testing::Test>
class TFormX11Test : public TXvfbTest<TBase> {
protected:
  using TXvfbTest<TBase>::TXvfbTest;

  void SetUp() override {
    TXvfbTest<TBase>::SetUp();
    if (this->Ready()) UseWindowSystemPump();
  }
  void TearDown() override {
    FForm.reset();
    Application().SetMessagePump({});
    TXvfbTest<TBase>::TearDown();
  }
  void Pump() override { Application().ProcessMessages(); }
  using TXvfbTest<TBase>::At;
  static std::string At(TControl* c, int x, int y) { return At(c->ClientToScreen(TPoint{x, y})); }

  std::unique_ptr<TForm> FForm;
};

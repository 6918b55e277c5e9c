// A clean window system and application for the class library's tests.
#pragma once

#include <gtest/gtest.h>

#include "platform/rtl/Ticks.h"
#include "platform/classlib/Forms.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/WindowSurface.h"
#include "platform/win/Windows.h"

class ClassLibTest : public ::testing::Test {
protected:
  void SetUp() override {
    ResetWindowSystem();
    Application().ResetTerminated();
    Application().OnException = nullptr;
    Application().SetExceptionDisplay([this](const AnsiString& m, const AnsiString&) { Errors.push_back(m); });
    Application().Initialize();
  }
  void TearDown() override {
    Application().CancelHint();
    Application().DestroyComponents();
    Application().ProcessMessages();
    Application().SetMessagePump({});
    Application().SetExceptionDisplay(nullptr);
    Application().ResetTerminated();
    ResetWindowSystem();
  }
  // Runs every pending message.
  void Pump() { Application().ProcessMessages(); }
  // Colour of a client pixel of a windowed control, as drawn in its window's back buffer.
  static TColorRef PixelOf(TWinControl& c, int x, int y) {
    TWindowSurface* s = GetWindowSurface(c.Handle());
    TRect r = GetWindowSurfaceRect(c.Handle());
    return s->Pixel(r.Left + x, r.Top + y);
  }
  // A click at a client point of a control.
  static void ClickAt(TControl& c, int x, int y) {
    TPoint p = c.ClientToScreen(TPoint{x, y});
    InjectClick(TMouseButton::Left, p.X, p.Y);
  }

  std::vector<AnsiString> Errors;
};

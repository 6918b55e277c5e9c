// A clean window system and application for the tests of the framework's forms and controls.
#pragma once

#include <gtest/gtest.h>

#include "platform/vcl/Forms.h"
#include "platform/win/Input.h"
#include "platform/win/WindowSurface.h"
#include "platform/win/Windows.h"

class FormsTest : public ::testing::Test {
protected:
  void SetUp() override {
    ResetWindowSystem();
    Application().ResetTerminated();
    Application().OnException = nullptr;
    Application().SetExceptionDisplay([this](const AnsiString& m, const AnsiString&) { Errors.push_back(m); });
    Application().Initialize();
  }
  void TearDown() override {
    Application().DestroyComponents();
    Application().ProcessMessages();
    Application().SetMessagePump({});
    Application().SetExceptionDisplay(nullptr);
    Application().ResetTerminated();
    ResetWindowSystem();
  }
  void Pump() { Application().ProcessMessages(); }
  // Colour of a client pixel of a windowed control, as its window's back buffer holds it.
  static TColorRef PixelOf(TWinControl& c, int x, int y) {
    TWindowSurface* s = GetWindowSurface(c.Handle());
    TRect r = GetWindowSurfaceRect(c.Handle());
    return s->Pixel(r.Left + x, r.Top + y);
  }

  std::vector<AnsiString> Errors;
};

// A form on the headless display for the standard controls' tests, with input and pixel helpers.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "platform/classlib/StdCtrls.h"
#include "platform/classlib/HeadlessFormTest.h"
#include "platform/win/Input.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/WindowSurface.h"
#include "platform/win/Windows.h"

class StdControlsTest : public HeadlessFormTest {
protected:
  template <class T>
  T* Make(int x, int y, int w, int h, TWinControl* parent = nullptr) {
    auto* c = new T(Form.get());
    c->SetParent(parent ? parent : Form.get());
    c->SetBounds(x, y, w, h);
    return c;
  }

  void Click(TControl* c, int x, int y) {
    TPoint p = Screen(c, x, y);
    InjectClick(TMouseButton::Left, p.X, p.Y);
    Pump();
  }
  void Drag(TControl* c, int x0, int y0, int x1, int y1) {
    TPoint a = Screen(c, x0, y0), b = Screen(c, x1, y1);
    InjectMouseMove(a.X, a.Y);
    InjectMouseDown(TMouseButton::Left, a.X, a.Y);
    // Input goes where it is aimed when it is made: the press must take the capture first.
    Pump();
    InjectMouseMove(b.X, b.Y);
    InjectMouseUp(TMouseButton::Left, b.X, b.Y);
    Pump();
  }
  void Key(uint16_t vk, bool shift = false, bool ctrl = false) {
    if (shift) InjectKeyDown(VK_SHIFT);
    if (ctrl) InjectKeyDown(VK_CONTROL);
    InjectKeyPress(vk);
    if (ctrl) InjectKeyUp(VK_CONTROL);
    if (shift) InjectKeyUp(VK_SHIFT);
    Pump();
  }
  void Type(std::string_view s) {
    for (char c : s) {
      if (c == '\n') InjectKeyPress(VK_RETURN);
      else InjectChar(static_cast<uint8_t>(c));
    }
    Pump();
  }
  void Redraw() {
    Pump();
    RedrawWindow(Form->Handle(), nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }
  // The pixel of a control's client point as the form shows it (after Redraw).
  TColorRef Pixel(TControl* c, int x, int y) {
    HWND top = Form->Handle();
    TPoint s = Screen(c, x, y);
    // The surface rectangle of a top-level window is its client area.
    TPoint origin = Form->ClientToScreen(TPoint{0, 0});
    TRect fr = GetWindowSurfaceRect(top);
    return GetWindowSurface(top)->Pixel(fr.Left + s.X - origin.X, fr.Top + s.Y - origin.Y);
  }
};

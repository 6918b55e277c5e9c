// A shown form on the headless display for the toolbar tests, with a dock, a toolbar and input helpers.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "platform/classlib/HeadlessFormTest.h"
#include "platform/win/Input.h"
#include "platform/win/PaintContext.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/Windows.h"
#include "toolbars/tbDock.h"
#include "toolbars/tbToolbar.h"
#include "toolbars/tbToolbarButton.h"

class ToolbarFormTest : public HeadlessFormTest {
protected:
  ToolbarFormTest() : HeadlessFormTest(50) {}
  void Prepare() override {
    UseGdiDeviceContexts();
    Application().OnException = [this](const Exception& e) { Errors.push_back(e.Message()); };
  }
  TtbDock* MakeDock(TtbDockPosition pos = adpTop) {
    auto* d = new TtbDock(Form.get());
    d->SetPosition(pos);
    d->SetParent(Form.get());
    return d;
  }
  TtbToolbar* MakeToolbar(TtbDock* dock) {
    auto* t = new TtbToolbar(Form.get());
    t->SetParent(dock);
    return t;
  }
  TtbToolbarButton* MakeButton(TWinControl* parent, int left, int w = 23, int h = 22) {
    auto* b = new TtbToolbarButton(Form.get());
    b->SetBounds(left, 0, w, h);
    b->SetParent(parent);
    return b;
  }
  void Click(TControl* c, int x, int y) {
    TPoint p = Screen(c, x, y);
    InjectMouseMove(p.X, p.Y);
    InjectClick(TMouseButton::Left, p.X, p.Y);
    Pump();
  }
  // A press, moves and a release queued together: the modal loops take them from the queue.
  void DragScreen(TPoint from, std::initializer_list<TPoint> path, bool release = true) {
    InjectMouseMove(from.X, from.Y);
    InjectMouseDown(TMouseButton::Left, from.X, from.Y);
    TPoint last = from;
    for (TPoint p : path) {
      InjectMouseMove(p.X, p.Y);
      last = p;
    }
    if (release) InjectMouseUp(TMouseButton::Left, last.X, last.Y);
    Pump();
  }

  std::vector<AnsiString> Errors;
};

// A shown form on the headless display for the toolbar tests, with a dock, a toolbar and input helpers.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "platform/classlib/Forms.h"
#include "platform/classlib/WindowPump.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/PaintContext.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/Windows.h"
#include "toolbars/tbDock.h"
#include "toolbars/tbToolbar.h"
#include "toolbars/tbToolbarButton.h"

class ToolbarFormTest : public ::testing::Test {
protected:
  void SetUp() override {
    ResetWindowSystem();
    UseGdiDeviceContexts();
    Application().ResetTerminated();
    Application().OnException = [this](const Exception& e) { Errors.push_back(e.Message()); };
    Application().Initialize();
    UseWindowSystemPump();
    Form = std::make_unique<TForm>(nullptr);
    Form->SetBounds(100, 100, 420, 320);
    Form->Show();
    Pump();
  }
  void TearDown() override {
    Form.reset();
    Pump();
    Application().OnException = nullptr;
    Application().SetMessagePump({});
    ResetWindowSystem();
  }
  void Pump() {
    for (int i = 0; i < 50 && HasPendingMessages(); ++i) Application().ProcessMessages();
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
  static TPoint Screen(TControl* c, int x, int y) { return c->ClientToScreen(TPoint{x, y}); }
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

  std::unique_ptr<TForm> Form;
  std::vector<AnsiString> Errors;
};

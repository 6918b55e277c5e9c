// Drives modal dialogs in the tests as a user would: keys, characters and clicks injected once
// the dialog is the active form.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "platform/classlib/Forms.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/VirtualKeys.h"

// Bumped at the end of each test: what an earlier test left queued does nothing.
inline int& DrivingRound() {
  static int round = 0;
  return round;
}
inline void EndDriving() {
  ++DrivingRound();
  Application().ProcessMessages();
}

// Runs fn from the message loop once the input injected before has been handled and the active
// form is of the class named; gives up (failing the test and pressing Escape) when it never comes.
// A timer carries it because timers come after every other message.
inline void WhenActive(const AnsiString& formClass, std::function<void(TCustomForm&)> fn, int triesLeft = 300) {
  const int round = DrivingRound();
  auto id = std::make_shared<uintptr_t>(0);
  auto tries = std::make_shared<int>(triesLeft);
  *id = SetTimer(0, 0, 10, [=](HWND, UINT, uintptr_t, uint32_t) {
    if (round != DrivingRound()) {
      KillTimer(0, *id);
      return;
    }
    TCustomForm* f = Screen().ActiveForm();
    if (f && f->ClassName() == formClass) {
      KillTimer(0, *id);
      fn(*f);
      return;
    }
    if (--*tries > 0) return;
    KillTimer(0, *id);
    ADD_FAILURE() << formClass << " never became the active form";
    InjectKeyPress(VK_ESCAPE);
  });
}

inline void TypeText(const AnsiString& text) {
  for (char c : text) InjectChar(static_cast<uint8_t>(c));
}

inline void PressWith(uint16_t modifier, uint16_t vk) {
  InjectKeyDown(modifier);
  InjectKeyPress(vk);
  InjectKeyUp(modifier);
}

// The controls of a form of one class, in creation order.
template <class T>
std::vector<T*> ControlsOf(TWinControl& parent) {
  std::vector<T*> out;
  for (int i = 0; i < parent.ControlCount(); ++i) {
    if (auto* c = dynamic_cast<T*>(parent.Controls(i))) out.push_back(c);
    if (auto* w = dynamic_cast<TWinControl*>(parent.Controls(i))) {
      for (T* inner : ControlsOf<T>(*w))
        if (static_cast<TControl*>(inner) != parent.Controls(i)) out.push_back(inner);
    }
  }
  return out;
}

template <class T>
T* ControlWithCaption(TWinControl& parent, const AnsiString& caption) {
  for (T* c : ControlsOf<T>(parent))
    if (c->Caption() == caption) return c;
  return nullptr;
}

inline void ClickControl(TControl& c) {
  TPoint p = c.ClientToScreen(TPoint{c.Width() / 2, c.Height() / 2});
  InjectClick(TMouseButton::Left, p.X, p.Y);
}

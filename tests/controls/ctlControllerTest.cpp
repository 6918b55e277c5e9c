// The controller: defaults, the epoch, error events and their fallback box, deferred notices that
// reach only live objects, timer triggers, and keys translated with the keyboard's shift state.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "WindowSystemTest.h"
#include "controls/ctlController.h"
#include "controls/ctlHelpers.h"
#include "controls/ctlIniStore.h"
#include "controls/ctlMsgBox.h"
#include "platform/rtl/Ticks.h"
#include "platform/classlib/Controls.h"
#include "platform/classlib/Forms.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/Windows.h"

namespace {

class ControllerTest : public WindowSystemTest {
protected:
  void TearDown() override {
    SetCtlMessageBox(nullptr);
    Application().OnException = nullptr;
    WindowSystemTest::TearDown();
  }
};

TEST_F(ControllerTest, DefaultsAndTheEpoch) {
  TCtlController c;
  EXPECT_EQ("v3.07", c.About());
  EXPECT_EQ((TCtlBaseEFOptions{efoAutoSelect, efoBeepOnError, efoInsertPushes}), c.EntryOptions());
  EXPECT_EQ(0x38, c.EntryOptions().Bits());
  EXPECT_TRUE(c.InsertState());
  EXPECT_FALSE(c.ErrorPending());
  EXPECT_EQ("", c.ErrorText());
  EXPECT_EQ(3, c.EntryCommands().Count());
  EXPECT_EQ(CenturyOfToday(), c.GetEpoch());
  EXPECT_EQ(0, CenturyOfToday() % 100);

  struct {
    int Set;
    int Expect;
  } const cases[] = {{1599, 1600}, {1600, 1600}, {4000, 1600}, {3999, 3999}, {1900, 1900}, {-5, 1900}};
  c.SetEpoch(1600);
  for (const auto& k : cases) {
    c.SetEpoch(k.Set);
    EXPECT_EQ(k.Expect, c.GetEpoch()) << k.Set;
  }
  int calls = 0;
  c.OnGetEpoch = [&](TCtlController*, int& e) {
    ++calls;
    e = 2100;
  };
  EXPECT_EQ(2100, c.GetEpoch());
  EXPECT_EQ(2100, c.GetEpoch());
  EXPECT_EQ(2, calls);
}

TEST_F(ControllerTest, StoresAreControlLibraryComponents) {
  TCtlIniFileStore store;
  const TCtlComponent* base = &store;
  EXPECT_EQ("v3.07", base->About());
}

TEST_F(ControllerTest, ErrorEventOrTheFallbackBox) {
  TCtlController c;
  TComponent field(nullptr);
  std::vector<std::string> boxes;
  SetCtlMessageBox([&](const AnsiString& text, uint32_t flags, int help) {
    boxes.push_back(text + "|" + std::to_string(flags) + "|" + std::to_string(help));
    return IDOK;
  });
  c.DoOnError(&field, 7, "Invalid date");
  EXPECT_EQ((std::vector<std::string>{"Invalid date|16|0"}), boxes);

  std::vector<std::string> events;
  c.OnError = [&](TComponent* sender, uint16_t code, const AnsiString& msg) {
    EXPECT_EQ(&field, sender);
    events.push_back(std::to_string(code) + " " + msg);
  };
  c.DoOnError(&field, 9, "Value is not within required range");
  EXPECT_EQ((std::vector<std::string>{"9 Value is not within required range"}), events);
  EXPECT_EQ(1u, boxes.size());  // the event replaces the box
}

TEST_F(ControllerTest, DeferredNoticesArriveInOrder) {
  TCtlController c;
  TComponent a(nullptr), b(nullptr);
  std::vector<std::string> log;
  c.OnDelayNotify = [&](TComponent* s, uint16_t code) {
    log.push_back((s == &a ? "a" : s == &b ? "b" : "none ") + std::to_string(code));
  };
  c.OnPreEdit = [&](TComponent* s, TWinControl*) { log.push_back(s == &a ? "pre a" : "pre b"); };
  c.OnPostEdit = [&](TComponent* s, TWinControl*) { log.push_back(s == &a ? "post a" : "post b"); };
  c.DelayNotify(&a, 1);
  c.DelayNotify(nullptr, 5);  // a notice about no object still arrives
  c.PostPreEdit(&b, 0);
  c.DelayNotify(&b, 0xFFFF);
  c.PostPostEdit(&a, 0);
  EXPECT_TRUE(log.empty());  // nothing runs until the loop takes the messages
  Pump();
  EXPECT_EQ((std::vector<std::string>{"a1", "none 5", "pre b", "b65535", "post a"}), log);
}

TEST_F(ControllerTest, NoticesAboutFreedObjectsAreDropped) {
  auto form = std::make_unique<TComponent>(nullptr);
  auto* c = new TCtlController(form.get());
  auto sender = std::make_unique<TComponent>(nullptr);
  TComponent survivor(nullptr);
  std::vector<const TComponent*> got;
  c->OnDelayNotify = [&](TComponent* s, uint16_t) { got.push_back(s); };
  c->DelayNotify(sender.get(), 1);
  c->DelayNotify(&survivor, 2);
  sender.reset();
  Pump();
  EXPECT_EQ((std::vector<const TComponent*>{&survivor}), got);

  // The form closes with a notice queued: its controller and hidden window go, nothing arrives.
  got.clear();
  bool reached = false;
  c->OnDelayNotify = [&](TComponent*, uint16_t) { reached = true; };
  HWND hidden = c->WindowHandle();
  c->DelayNotify(&survivor, 3);
  form.reset();
  EXPECT_FALSE(IsWindow(hidden));
  Pump();
  EXPECT_FALSE(reached);
}

TEST_F(ControllerTest, RefocusNoticeShowsAndFocusesALiveControl) {
  TForm form(nullptr);
  auto* edit = new TCustomControl(&form);
  edit->SetParent(&form);
  edit->SetBounds(10, 10, 80, 20);
  edit->SetTabStop(true);
  auto* gone = new TCustomControl(&form);
  gone->SetParent(&form);
  form.Show();
  edit->Hide();
  TCtlController c(&form);
  c.PostSetFocus(edit);
  c.PostSetFocus(gone);
  delete gone;
  Pump();
  EXPECT_TRUE(edit->Visible());
  EXPECT_TRUE(edit->Focused());

  std::vector<TWinControl*> losing;
  c.OnPreEdit = [&](TComponent*, TWinControl* w) { losing.push_back(w); };
  c.PostPreEdit(edit, edit->Handle());
  c.PostPreEdit(edit, 0);
  Pump();
  EXPECT_EQ((std::vector<TWinControl*>{edit, nullptr}), losing);
}

TEST_F(ControllerTest, ExceptionInANoticeGoesToTheApplication) {
  TCtlController c;
  TComponent s(nullptr);
  std::vector<AnsiString> shown;
  Application().OnException = [&](const Exception& e) { shown.push_back(e.Message()); };
  int delivered = 0;
  c.OnDelayNotify = [&](TComponent*, uint16_t code) {
    if (code == 1) throw Exception("notice failed");
    ++delivered;
  };
  c.DelayNotify(&s, 1);
  c.DelayNotify(&s, 2);
  Pump();
  EXPECT_EQ((std::vector<AnsiString>{"notice failed"}), shown);
  EXPECT_EQ(1, delivered);
}

TEST_F(ControllerTest, TimerTriggersReachTheControllerEvent) {
  TFakeClock clock;
  TCtlController c;
  std::vector<int> handles;
  c.OnTimerTrigger = [&](TCtlTimerPool* pool, int h, uint32_t, int) {
    EXPECT_EQ(&c.TimerPool(), pool);
    handles.push_back(h);
  };
  int h = c.TimerPool().AddTrigger(100, nullptr);
  for (int i = 0; i < 200; ++i) {
    clock.Advance(1);
    Pump();
  }
  EXPECT_EQ((std::vector<int>{h, h}), handles);
}

TEST_F(ControllerTest, KeysTranslateWithTheKeyboardsShiftState) {
  TWndClass wc;
  wc.lpszClassName = "KeyTarget";
  wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProc(h, m, w, l); };
  ASSERT_TRUE(RegisterClass(wc));
  HWND w = CreateWindowEx(0, "KeyTarget", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, 0);
  SetActiveWindow(w);
  SetFocus(w);
  TCtlController c;
  TCtlCommandProcessor& p = c.EntryCommands();
  EXPECT_EQ(ccLeft, p.TranslateKey(VK_LEFT));
  InjectKeyDown(VK_CONTROL);
  Pump();
  EXPECT_EQ(cksCtrl, CurrentShiftBits());
  EXPECT_EQ(ccWordLeft, p.TranslateKey(VK_LEFT));
  InjectKeyDown(VK_SHIFT);
  Pump();
  EXPECT_EQ(ccExtWordLeft, p.TranslateKey(VK_LEFT));
  EXPECT_EQ(ccSetMarker5, p.TranslateKey('5'));
  InjectKeyUp(VK_SHIFT);
  InjectKeyUp(VK_CONTROL);
  Pump();
  EXPECT_EQ(0, CurrentShiftBits());
  EXPECT_EQ(ccNotCommand, p.TranslateKey('Q'));
}

}  // namespace

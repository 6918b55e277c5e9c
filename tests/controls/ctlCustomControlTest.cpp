// The windowed bases: finding a controller, focus notices after the fact, the mouse wheel, and the
// attached label that follows its control and names itself after it.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "WindowSystemTest.h"
#include "controls/ctlController.h"
#include "controls/ctlCustomControl.h"
#include "controls/ctlExcept.h"
#include "platform/classlib/Forms.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Windows.h"

namespace {

class TTestField final : public TCtlCustomControlEx {
public:
  using TCtlCustomControlEx::TCtlCustomControlEx;
};

class CustomControlTest : public WindowSystemTest {
protected:
  void TearDown() override {
    Application().DestroyComponents();
    WindowSystemTest::TearDown();
  }
  static TTestField* Field(TForm* form, const char* name, int x = 20, int y = 40) {
    auto* f = new TTestField(form);
    f->SetName(name);
    f->SetParent(form);
    f->SetBounds(x, y, 100, 22);
    return f;
  }
};

TEST_F(CustomControlTest, ControllerOfTheFormOrElseOfTheMainForm) {
  TForm* main = nullptr;
  Application().CreateForm(main);
  ASSERT_EQ(main, Application().MainForm());
  auto* mainController = new TCtlController(main);

  TForm* other = nullptr;
  Application().CreateForm(other);
  TTestField* onOther = Field(other, "edtOther");
  onOther->Handle();
  EXPECT_EQ(mainController, onOther->Controller());

  auto* own = new TCtlController(other);  // a controller made later is adopted only by controls without one
  EXPECT_EQ(mainController, onOther->Controller());
  TTestField* second = Field(other, "edtSecond");
  EXPECT_EQ(own, second->Controller());

  // The remembered main-form controller is forgotten when it is freed.
  delete mainController;
  EXPECT_EQ(nullptr, onOther->Controller());
  TForm* third = nullptr;
  Application().CreateForm(third);
  auto* lone = new TTestField(third);
  lone->SetBounds(0, 0, 50, 20);
  EXPECT_THROW(
      {
        lone->SetParent(third);
        lone->Handle();
      },
      ENoControllerAssigned);
  delete lone;
  auto* again = new TCtlController(main);
  TTestField* late = Field(third, "edtLate");
  late->Handle();
  EXPECT_EQ(again, late->Controller());
}

TEST_F(CustomControlTest, DesignTimeMakesTheFormsController) {
  TForm form(nullptr);
  form.SetDesigning(true);
  TTestField* f = Field(&form, "edtDesign");
  f->SetDesigning(true);
  f->Handle();
  auto* made = dynamic_cast<TCtlController*>(form.FindComponent("CtlController1"));
  ASSERT_NE(nullptr, made);
  EXPECT_EQ(made, f->Controller());
}

TEST_F(CustomControlTest, FocusNoticesComeAfterTheFocusChange) {
  TForm form(nullptr);
  new TCtlController(&form);
  TTestField* a = Field(&form, "edtA");
  TTestField* b = Field(&form, "edtB", 20, 80);
  form.Show();
  std::vector<std::string> log;
  a->AfterEnter = [&](TObject*) { log.push_back("enter a"); };
  a->AfterExit = [&](TObject*) { log.push_back(GetFocus() == b->Handle() ? "exit a, b focused" : "exit a"); };
  a->SetFocus();
  EXPECT_TRUE(log.empty());
  Pump();
  b->SetFocus();
  Pump();
  EXPECT_EQ((std::vector<std::string>{"enter a", "exit a, b focused"}), log);
  // A control freed with its notice queued hears nothing.
  b->SetFocus();
  a->SetFocus();
  delete b;
  Pump();
}

TEST_F(CustomControlTest, MouseWheelIsDecoded) {
  TForm form(nullptr);
  new TCtlController(&form);
  TTestField* f = Field(&form, "edtWheel");
  int delta = 0, x = 0, y = 0;
  TShiftState shift = 0;
  f->OnMouseWheel = [&](TObject*, TShiftState s, int d, int xp, int yp) {
    shift = s;
    delta = d;
    x = xp;
    y = yp;
  };
  SendMessage(f->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(MK_SHIFT, -120), MAKELPARAM(300, 200));
  EXPECT_EQ(-120, delta);
  EXPECT_EQ(300, x);
  EXPECT_EQ(200, y);
  EXPECT_TRUE(shift & ssShift);
}

TEST_F(CustomControlTest, AttachedLabelFollowsItsControl) {
  TForm form(nullptr);
  new TCtlController(&form);
  TTestField* f = Field(&form, "edtCode", 20, 60);
  form.Show();
  auto* taken = new TComponent(&form);
  taken->SetName("edtCodeLabel1");
  EXPECT_THROW(f->AttachedLabel(), Exception);
  f->LabelInfo().SetVisible(true);
  TCtlAttachedLabel* label = f->AttachedLabel();
  ASSERT_NE(nullptr, label);
  EXPECT_EQ("edtCodeLabel2", label->Name());
  EXPECT_EQ("edtCodeLabel2", label->Caption());
  EXPECT_EQ(&form, label->Owner());
  EXPECT_EQ(&form, label->Parent());
  EXPECT_EQ(f, label->FocusControl());
  EXPECT_EQ(20, label->Left());
  EXPECT_EQ(60 - label->Height(), label->Top());

  f->SetBounds(50, 100, 100, 22);
  Pump();
  EXPECT_EQ(50, label->Left());
  EXPECT_EQ(100 - label->Height(), label->Top());

  // Moving the label by hand makes its place the new offset.
  label->SetBounds(55, 90 - label->Height(), label->Width(), label->Height());
  Pump();
  EXPECT_EQ(5, f->LabelInfo().OffsetX());
  EXPECT_EQ(-10, f->LabelInfo().OffsetY());
  f->SetBounds(0, 200, 100, 22);
  Pump();
  EXPECT_EQ(5, label->Left());
  EXPECT_EQ(190 - label->Height(), label->Top());

  f->SetLabelBelow(true);
  EXPECT_EQ(200 + 22 - 10, label->Top());

  f->Hide();
  EXPECT_FALSE(label->Visible());
  f->Show();
  EXPECT_TRUE(label->Visible());

  f->LabelInfo().SetVisible(false);
  EXPECT_EQ(nullptr, form.FindComponent("edtCodeLabel2"));
}

TEST_F(CustomControlTest, FreeingTheLabelOrTheControl) {
  TForm form(nullptr);
  new TCtlController(&form);
  TTestField* f = Field(&form, "edtX");
  f->LabelInfo().SetVisible(true);
  delete f->AttachedLabel();
  EXPECT_FALSE(f->LabelInfo().Visible());
  EXPECT_EQ(nullptr, f->LabelInfo().Label());

  f->LabelInfo().SetVisible(true);
  ASSERT_NE(nullptr, form.FindComponent("edtXLabel1"));
  delete f;
  EXPECT_EQ(nullptr, form.FindComponent("edtXLabel1"));
  // The form goes with a labelled control on it, label and all.
  TTestField* g = Field(&form, "edtY");
  g->LabelInfo().SetVisible(true);
}

}  // namespace

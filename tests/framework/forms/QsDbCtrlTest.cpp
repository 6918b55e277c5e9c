// The framework's form controls on a real (headless) form: transparency, links that clear when their
// control goes, and the painting of transparent panels and bordered labels.
#include "FormsTestSupport.h"

#include "framework/forms/QsDbCtrl.h"

namespace {

class QsControlsTest : public FormsTest {
protected:
  void SetUp() override {
    FormsTest::SetUp();
    Form = new TForm(&Application());
    Form->SetBounds(10, 10, 300, 200);
    Form->SetColor(clRed);
  }
  TForm* Form = nullptr;
};

template <class T>
void checkTransparentSwitch(TForm* form) {
  auto* c = new T(form);
  c->SetParent(form);
  c->SetBounds(5, 5, 100, 60);
  HWND before = c->Handle();
  c->SetTransparent(false);  // already opaque: the window stays
  EXPECT_EQ(c->Handle(), before);
  EXPECT_TRUE(c->ControlStyle() & csOpaque);
  c->SetTransparent(true);
  HWND after = c->Handle();
  EXPECT_NE(after, before);
  EXPECT_TRUE(GetWindowLongPtr(after, GWL_EXSTYLE) & WS_EX_TRANSPARENT);
  EXPECT_FALSE(GetWindowLongPtr(after, GWL_STYLE) & (WS_CLIPCHILDREN | WS_CLIPSIBLINGS));
  EXPECT_FALSE(c->ControlStyle() & csOpaque);
  c->SetTransparent(true);
  EXPECT_EQ(c->Handle(), after);
}

TEST_F(QsControlsTest, TransparencyRecreatesTheWindowOnlyOnChange) {
  checkTransparentSwitch<TQsPanel>(Form);
  checkTransparentSwitch<TQsGroupBox>(Form);
  checkTransparentSwitch<TQsRadioGroup>(Form);
}

TEST_F(QsControlsTest, TransparentPanelDrawsOnlyItsFrames) {
  auto* panel = new TQsPanel(Form);
  panel->SetParent(Form);
  panel->SetBounds(10, 10, 80, 40);
  panel->SetColor(clBlue);
  panel->SetCaption("");
  panel->SetTransparent(true);
  Form->Show();
  Pump();
  UpdateWindow(Form->Handle());
  EXPECT_EQ(PixelOf(*panel, 0, 0), ColorToRGB(clBtnHighlight));  // raised outer bevel
  EXPECT_EQ(PixelOf(*panel, 79, 39), ColorToRGB(clBtnShadow));
  EXPECT_NE(PixelOf(*panel, 40, 20), ColorToRGB(clBlue));  // no fill inside
  // Opaque again: the panel colour fills it.
  panel->SetTransparent(false);
  Pump();
  UpdateWindow(Form->Handle());
  EXPECT_EQ(PixelOf(*panel, 40, 20), ColorToRGB(clBlue));
}

TEST_F(QsControlsTest, TransparentPanelCaptionInTheMiddleBand) {
  auto* panel = new TQsPanel(Form);
  panel->SetParent(Form);
  panel->SetBounds(10, 10, 120, 60);
  panel->SetCaption("WWW");
  panel->Font().SetColor(clLime);
  panel->SetTransparent(true);
  Form->Show();
  Pump();
  UpdateWindow(Form->Handle());
  int top = 60, bottom = -1;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 120; ++x)
      if (PixelOf(*panel, x, y) == clLime) {
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  ASSERT_GE(bottom, 0);
  EXPECT_GT(top, 15);
  EXPECT_LT(bottom, 45);
}

TEST_F(QsControlsTest, TransparentGroupBoxesDrawOnlyFrameAndCaption) {
  auto check = [&](auto* box) {
    box->SetParent(Form);
    box->SetBounds(150, 10, 120, 80);
    box->SetColor(clBlue);
    box->SetCaption("WWW");
    box->Font().SetColor(clLime);
    box->SetTransparent(true);
    Form->Show();
    Pump();
    UpdateWindow(Form->Handle());
    int blue = 0, caption = 0;
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 120; ++x) {
        blue += PixelOf(*box, x, y) == ColorToRGB(clBlue);
        caption += PixelOf(*box, x, y) == ColorToRGB(clLime);
      }
    EXPECT_EQ(blue, 0) << box->ClassName();
    EXPECT_GT(caption, 0) << box->ClassName();
    EXPECT_EQ(PixelOf(*box, 0, 40), ColorToRGB(clBtnShadow)) << box->ClassName();  // etched frame
    box->SetTransparent(false);
    Pump();
    UpdateWindow(Form->Handle());
    EXPECT_EQ(PixelOf(*box, 60, 40), ColorToRGB(clBlue)) << box->ClassName();
    delete box;
  };
  check(new TQsGroupBox(Form));
  check(new TQsRadioGroup(Form));
}

TEST_F(QsControlsTest, LinksClearWhenTheirControlIsFreed) {
  auto* memo = new TQslMemo(Form);
  auto* box = new TQsGroupBox(Form);
  auto* a = new TEdit(Form);
  auto* b = new TEdit(Form);
  auto* elsewhere = new TEdit(nullptr);  // not a sibling: told directly
  memo->SetNAssocControl1(a);
  memo->SetNAssocControl2(b);
  memo->SetNAssocControl3(b);
  box->SetNextControl(b);
  box->SetPrevControl(elsewhere);
  delete b;
  EXPECT_EQ(memo->NAssocControl1(), a);
  EXPECT_EQ(memo->NAssocControl2(), nullptr);
  EXPECT_EQ(memo->NAssocControl3(), nullptr);
  EXPECT_EQ(box->NextControl(), nullptr);
  // Pointing elsewhere first, then freeing the old one, leaves the new link alone.
  memo->SetNAssocControl1(elsewhere);
  delete a;
  EXPECT_EQ(memo->NAssocControl1(), elsewhere);
  delete elsewhere;
  EXPECT_EQ(memo->NAssocControl1(), nullptr);
  EXPECT_EQ(box->PrevControl(), nullptr);
}

TEST_F(QsControlsTest, BorderedLabelStartsAsTheFamilyDefines) {
  auto* label = new tQsBorderedLabel(Form);
  EXPECT_TRUE(label->AutoSize());
  EXPECT_TRUE(label->ShowAccelChar());
  EXPECT_EQ(label->BorderStyle(), TBxBorderStyle::Single);
  EXPECT_EQ(label->Margin(), 1);
  EXPECT_EQ(label->ShadowColor(), clBtnHighlight);
  EXPECT_EQ(label->ShadowSize(), 0);
  EXPECT_EQ(label->ShadowPos(), spLeftTop);
  EXPECT_FALSE(label->Transparent());
  EXPECT_TRUE(label->ControlStyle() & csOpaque);
  EXPECT_TRUE(label->BorderColorSameAsFont());
  EXPECT_FALSE(label->BorderColorSameAsParentFont());
  // A colour set directly stops following the fonts.
  label->SetBorderColor(clTeal);
  EXPECT_FALSE(label->BorderColorSameAsFont());
  label->Font().SetColor(clNavy);
  EXPECT_EQ(label->BorderColor(), clTeal);
  label->SetBorderColorSameAsFont(true);
  EXPECT_EQ(label->BorderColor(), clNavy);
  label->Font().SetColor(clMaroon);
  EXPECT_EQ(label->BorderColor(), clMaroon);
}

TEST_F(QsControlsTest, BorderedLabelAutoSizesAndFollowsTheParentFont) {
  auto* panel = new TQsPanel(Form);
  panel->SetParent(Form);
  auto* label = new tQsBorderedLabel(Form);
  label->SetParent(panel);
  label->SetCaption("Some text");
  int wide = label->Width();
  EXPECT_GT(wide, 20);
  label->SetCaption("S");
  EXPECT_LT(label->Width(), wide);
  label->SetShadowSize(3);
  int h = label->Height();
  label->SetShadowSize(0);
  EXPECT_EQ(label->Height(), h - 3);

  label->SetBorderColorSameAsParentFont(true);
  panel->Font().SetColor(clPurple);
  EXPECT_EQ(label->BorderColor(), clPurple);
}

TEST_F(QsControlsTest, BorderedLabelPaintsOnItsForm) {
  auto* label = new tQsBorderedLabel(Form);
  label->SetParent(Form);
  label->SetBounds(20, 20, 65, 17);
  label->SetAutoSize(false);
  label->SetColor(clYellow);
  label->SetBorderColor(clBlue);
  label->SetCaption("Hi");
  Form->Show();
  Pump();
  UpdateWindow(Form->Handle());
  EXPECT_EQ(PixelOf(*Form, 20, 20), clBlue);
  EXPECT_EQ(PixelOf(*Form, 84, 36), clBlue);
  EXPECT_EQ(PixelOf(*Form, 80, 30), clYellow);
}

TEST_F(QsControlsTest, AcceleratorFocusesTheFocusControl) {
  auto* edit = new TEdit(Form);
  edit->SetParent(Form);
  auto* other = new TEdit(Form);
  other->SetParent(Form);
  other->SetTop(40);
  auto* label = new tQsBorderedLabel(Form);
  label->SetParent(Form);
  label->SetCaption("&Name");
  label->SetFocusControl(edit);
  Form->Show();
  Pump();
  other->SetFocus();
  ASSERT_TRUE(other->Focused());
  TMessage m{CM_DIALOGCHAR, 'n', 0, 0};
  Form->Broadcast(m);
  EXPECT_TRUE(edit->Focused());
  delete edit;
  EXPECT_EQ(label->FocusControl(), nullptr);
}

}  // namespace

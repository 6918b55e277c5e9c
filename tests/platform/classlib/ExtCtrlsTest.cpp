#include "platform/classlib/ExtCtrls.h"

#include <filesystem>

#include "platform/gdi/BmpFile.h"
#include "StdCtrlsTestSupport.h"

namespace {

class ExtCtrlsTest : public StdControlsTest {};

TEST_F(ExtCtrlsTest, PanelDrawsItsBevelsAndKeepsChildrenInsideThem) {
  auto* panel = Make<TPanel>(10, 10, 100, 50);
  Redraw();
  EXPECT_EQ(Pixel(panel, 0, 0), ColorToRGB(clBtnHighlight));  // raised outer bevel
  EXPECT_EQ(Pixel(panel, 99, 49), ColorToRGB(clBtnShadow));
  EXPECT_EQ(Pixel(panel, 5, 5), ColorToRGB(clBtnFace));
  panel->SetBevelOuter(bvLowered);
  panel->SetBevelInner(bvRaised);
  panel->SetBorderWidth(2);
  Redraw();
  EXPECT_EQ(Pixel(panel, 0, 0), ColorToRGB(clBtnShadow));
  EXPECT_EQ(Pixel(panel, 3, 3), ColorToRGB(clBtnHighlight));  // inner bevel after the border

  auto* child = Make<TButton>(0, 0, 10, 10, panel);
  child->SetAlign(alClient);
  EXPECT_EQ(child->Left(), 4);
  EXPECT_EQ(child->Width(), 92);
}

TEST_F(ExtCtrlsTest, BevelShapesUseShadowThenHighlight) {
  auto* box = Make<TBevel>(10, 10, 40, 40, nullptr);
  box->SetParent(Form.get());
  auto* line = new TBevel(Form.get());
  line->SetParent(Form.get());
  line->SetBounds(60, 10, 40, 2);
  line->SetShape(bsTopLine);
  Redraw();
  EXPECT_EQ(Pixel(box, 0, 0), ColorToRGB(clBtnShadow));
  EXPECT_EQ(Pixel(box, 39, 39), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(Pixel(line, 20, 0), ColorToRGB(clBtnShadow));
  EXPECT_EQ(Pixel(line, 20, 1), ColorToRGB(clBtnHighlight));
  box->SetStyle(bsRaised);
  Redraw();
  EXPECT_EQ(Pixel(box, 0, 0), ColorToRGB(clBtnHighlight));
}

TEST_F(ExtCtrlsTest, ImageShowsABmpAtItsSizeStretchedAndTransparent) {
  auto dir = std::filesystem::temp_directory_path() / ("imgtest" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  AnsiString file = (dir / "two.bmp").string();
  TGdiBitmap bmp(4, 4, 24);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) bmp.SetPixel(x, y, x < 2 ? clRed : clLime);
  bmp.SetPixel(0, 3, clWhite);  // the bottom-left pixel names the see-through colour
  SaveBmpFile(bmp, file);

  Form->SetColor(clBlue);
  auto* image = Make<TImage>(10, 10, 40, 40);
  image->Picture().LoadFromFile(file);
  EXPECT_EQ(image->Picture().Width(), 4);
  Redraw();
  EXPECT_EQ(Pixel(image, 1, 1), ColorToRGB(clRed));
  EXPECT_EQ(Pixel(image, 3, 1), ColorToRGB(clLime));
  EXPECT_EQ(Pixel(image, 20, 20), ColorToRGB(clBlue));

  image->SetStretch(true);
  Redraw();
  EXPECT_EQ(Pixel(image, 10, 5), ColorToRGB(clRed));
  EXPECT_EQ(Pixel(image, 30, 5), ColorToRGB(clLime));

  image->SetTransparent(true);
  Redraw();
  EXPECT_EQ(Pixel(image, 2, 38), ColorToRGB(clBlue));

  image->SetStretch(false);
  image->SetAutoSize(true);
  EXPECT_EQ(image->Width(), 4);
  EXPECT_THROW(image->Picture().LoadFromFile((dir / "missing.bmp").string()), Exception);
  std::filesystem::remove_all(dir);
}

TEST_F(ExtCtrlsTest, RadioGroupMakesAButtonPerItemAndTracksTheChecked) {
  auto* group = Make<TRadioGroup>(10, 10, 200, 80);
  group->SetCaption("Page &Orientation");
  group->Items().Add("Portrait");
  group->Items().Add("Landscape");
  ASSERT_EQ(group->ButtonCount(), 2);
  EXPECT_EQ(group->Buttons(1)->Caption(), "Landscape");
  EXPECT_GT(group->Buttons(1)->Top(), group->Buttons(0)->Top());
  int clicks = 0;
  group->OnClick = [&](TObject*) { ++clicks; };
  group->SetItemIndex(0);
  EXPECT_TRUE(group->Buttons(0)->Checked());
  EXPECT_EQ(clicks, 0);
  TRadioButton* b = group->Buttons(1);
  Click(b, 5, b->Height() / 2);
  EXPECT_EQ(group->ItemIndex(), 1);
  EXPECT_FALSE(group->Buttons(0)->Checked());
  EXPECT_EQ(clicks, 1);

  group->SetEnabled(false);
  EXPECT_FALSE(group->Buttons(0)->Enabled());
  group->Items().Delete(1);
  EXPECT_EQ(group->ButtonCount(), 1);
  EXPECT_EQ(group->ItemIndex(), -1);
  group->SetColumns(2);
  group->Items().Add("B");
  group->Items().Add("C");
  EXPECT_GT(group->Buttons(2)->Left(), group->Buttons(0)->Left());
}

}  // namespace

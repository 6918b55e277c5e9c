// The framework's form chain on a headless screen: what each form adds, its minimum size, the
// optional bitmaps of the main form, its mask characters, and the printer dialog it opens.
#include "FormsTestSupport.h"

#include <filesystem>
#include <fstream>

#include "framework/base/uMessageDialog.h"
#include "controls/ctlPicField.h"
#include "framework/forms/aMain.h"
#include "platform/win/Input.h"
#include "framework/forms/dPrinter.h"
#include "tables/XBE7.h"
#include "platform/classlib/Printers.h"
#include "platform/gdi/BmpFile.h"
#include "platform/rtl/Files.h"
#include "platform/win/WindowImage.h"

namespace {

namespace fs = std::filesystem;

class FormChainTest : public FormsTest {
protected:
  void SetUp() override {
    FormsTest::SetUp();
    FSavedExe = ParamStr(0);
    char tmpl[] = "/tmp/aFormChainXXXXXX";
    Dir = ::mkdtemp(tmpl);
    SetExeNameForTesting(Dir + "/prog.exe");
    SetMessageBoxHook([this](const AnsiString& text, TMsgDlgType, TMsgDlgButtons, int32_t) {
      Messages.push_back(text);
      return int(mrOk);
    });
  }
  void TearDown() override {
    FormsTest::TearDown();
    SetMessageBoxHook(nullptr);
    SetPrinter(nullptr);
    SetExeNameForTesting(FSavedExe);
    CtlUserDataStartup();  // the main form's mask characters stay on the library's user data
    fs::remove_all(Dir);
  }
  TabsMain* MakeMain() {
    TabsMain* f = nullptr;
    Application().CreateForm(f);
    return f;
  }
  void UsePrinters(std::vector<AnsiString> names, int defaultIndex) {
    SetPrinter(std::make_unique<TPrinter>([names, defaultIndex] { return TPrinterQueues{names, defaultIndex}; }));
  }
  // Runs check on the printer dialog once it is up, then presses one of its buttons.
  template <class F>
  void WhenDialogShows(F check, bool ok = true) {
    Application().PostCallback([this, check, ok] {
      auto* d = dynamic_cast<TdlgPrinterSelect*>(Screen().ActiveForm());
      ASSERT_NE(nullptr, d);
      check(*d);
      (ok ? d->btnOk : d->btnCancel)->Click();
    });
  }

  std::string Dir;
  std::vector<AnsiString> Messages;

private:
  AnsiString FSavedExe;
};

TEST_F(FormChainTest, MainFormCarriesTheChainsPartsAndMinimumSize) {
  TabsMain* f = MakeMain();
  EXPECT_EQ("Abstract Main Form", f->Caption());
  EXPECT_TRUE(f->ReturnsTrueHook());
  EXPECT_EQ(Dir + "/prog.exe", ParamStr(0));
  EXPECT_EQ("REPORT.STR", f->ReportTemplateFile.substr(f->ReportTemplateFile.size() - 10));
  EXPECT_NE(AnsiString::npos, f->ReportTemplateFile.find("/progREPORT.STR"));
  EXPECT_FALSE(f->btnPrint->Visible());
  EXPECT_FALSE(f->btnKeldaraWebsite->Visible());

  f->PrinterSelectEnabled = true;
  f->Show();
  Pump();
  // Selecting a printer needs printing, and the website shows on the main form.
  EXPECT_TRUE(f->PrintEnabled);
  EXPECT_TRUE(f->btnPrint->Visible() && f->btnPrint->Enabled());
  EXPECT_TRUE(f->btnPrinterSelect->Visible());
  EXPECT_TRUE(f->btnKeldaraWebsite->Visible() && f->btnKeldaraWebsite->Enabled());
  EXPECT_EQ(44, f->dckLogo->Height());
  EXPECT_EQ(44 + 38, f->Constraints().MinHeight());
  const TPoint exitRight = f->btnExit->ClientToScreen(Point(f->btnExit->Width(), 0));
  EXPECT_EQ(exitRight.X - f->ClientOrigin().X + 8, f->Constraints().MinWidth());
  EXPECT_FALSE(f->tlbLogo->CloseButton()) << "floated, it cannot be closed away";
  // Exit comes last on the toolbar, after the buttons added since.
  EXPECT_GT(f->btnExit->Left(), f->btnPrinterSelect->Left());

  f->btnPrint->Click();
  ASSERT_EQ(1u, Messages.size());
  EXPECT_EQ(0u, Messages[0].find("No data available for printing"));
  f->btnExit->Click();
  EXPECT_TRUE(Application().Terminated());  // closing the main form ends the program
}

TEST_F(FormChainTest, OptionalBitmapsLoadWhenPresentAndABadOneIsReported) {
  const TMainBitmapFiles names = MainBitmapFiles("/x/prog.exe");
  EXPECT_EQ("/x/prog.BMP", names.Logo);
  EXPECT_EQ("/x/prog.Background.BMP", names.Background);
  EXPECT_EQ("/x/prog.Skin.BMP", names.Skin);

  TabsMain* bare = MakeMain();
  EXPECT_TRUE(bare->imgDefault->Picture().Bitmap().Empty());
  EXPECT_TRUE(bare->Background()->Empty());
  bare->Free();

  TGdiBitmap logo(12, 7, 32);
  SaveBmpFile(logo, Dir + "/prog.BMP");
  SaveBmpFile(TGdiBitmap(5, 4, 32), Dir + "/prog.Skin.BMP");
  std::ofstream(Dir + "/prog.Background.BMP") << "not a bitmap";
  TabsMain* f = MakeMain();
  EXPECT_EQ(12, f->imgDefault->Picture().Width());
  EXPECT_EQ(5, f->Skin()->Width());
  EXPECT_TRUE(f->Background()->Empty());
  ASSERT_EQ(1u, Messages.size());
  EXPECT_NE(AnsiString::npos, Messages[0].find("prog.Background.BMP"));
}

TEST_F(FormChainTest, MaskCharactersOfTheMainForm) {
  TabsMain* f = MakeMain();
  struct TCase {
    bool First;
    char Mask;
    unsigned char Ch;
    bool In;
  };
  const TCase cases[] = {
      {true, '1', 'Q', true},  {true, '1', '5', false}, {true, '2', '5', true},  {true, '3', 'q', true},
      {true, '4', ',', true},  {true, '4', '.', false}, {true, '5', '?', false}, {true, '5', 0xE9, true},
      {true, '6', '|', true},  {true, '7', 'A', false}, {true, '8', '.', true},  {false, '1', '_', true},
      {false, '1', '#', false}, {false, '4', 'Y', true}, {false, '4', 'y', false},
  };
  for (const TCase& c : cases) {
    const TCtlUserData& data = c.First ? *f->MaskData1() : *f->MaskData2();
    EXPECT_EQ(c.In, data.UserCharSet(c.Mask).test(c.Ch)) << c.Mask << " " << int(c.Ch);
  }
  EXPECT_EQ(1, f->MaskData1()->ForceCase('2'));
  EXPECT_EQ(0, f->MaskData1()->ForceCase('3'));
  EXPECT_EQ(1, f->MaskData2()->ForceCase('4'));

  // A field on the form takes "1" as the form defines it: letters only, made upper case.
  auto* field = new TCtlPictureField(f);
  field->SetParent(f);
  field->SetPictureMask("111");
  field->SetMaxLength(3);
  f->Show();
  field->SetFocus();
  Pump();
  for (char c : std::string_view("q5z")) {
    const auto vk = uint16_t(c >= 'a' ? c - 32 : c);
    InjectKeyDown(vk, uint8_t(c));
    InjectKeyUp(vk);
    Pump();
  }
  EXPECT_EQ("QZ ", field->EditText());
}

TEST_F(FormChainTest, PrinterDialogOrientationModesAndDropDownCount) {
  EXPECT_EQ(20, PrinterDropDownCount(3));
  EXPECT_EQ(25, PrinterDropDownCount(25));
  TabsMain* f = MakeMain();
  f->Show();
  struct TCase {
    int Mode;
    int Shown;
    bool Free;
  };
  for (const TCase c : {TCase{0, 0, false}, TCase{1, 1, false}, TCase{2, 0, true}}) {
    UsePrinters({"Zeta", "alpha", "Mid"}, 2);
    int copies = 1;
    bool collate = true;
    WhenDialogShows([&](TdlgPrinterSelect& d) {
      EXPECT_EQ("Select Printer and Set Page Orientation", d.Caption());
      EXPECT_EQ(c.Shown, d.rgpPageOrientation->ItemIndex()) << c.Mode;
      EXPECT_EQ(c.Free, d.rgpPageOrientation->Enabled()) << c.Mode;
      EXPECT_EQ("alpha", d.cmbSelectPrinter->Items()[0]);
      EXPECT_EQ("Mid", d.cmbSelectPrinter->Items()[d.cmbSelectPrinter->ItemIndex()]);
      EXPECT_EQ(20, d.cmbSelectPrinter->DropDownCount());
      EXPECT_FALSE(d.edtNumberOfCopies->Visible());
      EXPECT_EQ("O&K", d.btnOk->Caption());
      d.cmbSelectPrinter->SetItemIndex(2);  // "Zeta"
      if (c.Free) d.rgpPageOrientation->SetItemIndex(1);
    });
    EXPECT_TRUE(f->SelectPrinter(c.Mode, false, copies, collate));
    EXPECT_EQ("Zeta", Printer().PrinterName());
    EXPECT_EQ(c.Mode == 0 ? poPortrait : poLandscape, Printer().Orientation()) << c.Mode;
  }
}

TEST_F(FormChainTest, PrinterDialogCopiesWithSpinButtonAndCollation) {
  UsePrinters({"One"}, 0);
  TabsMain* f = MakeMain();
  f->Show();
  int copies = 3;
  bool collate = true;
  WhenDialogShows([&](TdlgPrinterSelect& d) {
    EXPECT_TRUE(d.edtNumberOfCopies->Visible() && d.spnNumberOfCopies->Visible());
    EXPECT_EQ(3, d.edtNumberOfCopies->AsInteger());
    EXPECT_TRUE(d.imgCollated->Visible());
    EXPECT_FALSE(d.imgUnCollated->Visible());
    d.cbxCollatedCopies->SetChecked(false);
    d.cbxCollatedCopies->Click();
    EXPECT_TRUE(d.imgUnCollated->Visible());
    Application().ProcessMessages();
    std::filesystem::create_directories(QUORVEX_BINARY_DIR "/screenshots");
    SavePngFile(GetWindowImage(d.Handle()), QUORVEX_BINARY_DIR "/screenshots/printer-dialog.png");
    d.edtNumberOfCopies->SetFocus();
    Application().ProcessMessages();
    EXPECT_TRUE(d.edtNumberOfCopies->Focused());
    ClickAt(*d.spnNumberOfCopies, 8, 4);  // the upper half
    Application().ProcessMessages();
    EXPECT_EQ(4, d.edtNumberOfCopies->AsInteger());
  });
  EXPECT_TRUE(f->SelectPrinter(2, true, copies, collate));
  EXPECT_EQ(4, copies);
  EXPECT_FALSE(collate);

  // Cancel hands nothing back.
  WhenDialogShows([&](TdlgPrinterSelect& d) { d.edtNumberOfCopies->SetAsInteger(9); }, false);
  EXPECT_FALSE(f->SelectPrinter(2, true, copies, collate));
  EXPECT_EQ(4, copies);
}

TEST_F(FormChainTest, AFormUnderTheMainFormUsesItsWebsiteAndPrinterDialog) {
  UsePrinters({"One"}, 0);
  TabsMain* main = MakeMain();
  main->Show();
  TabsPanel* f = nullptr;
  Application().CreateForm(f);
  f->ShowCopies = true;
  f->Copies = 5;
  f->Show();
  Pump();
  EXPECT_TRUE(f->btnKeldaraWebsite->Visible() && f->btnKeldaraWebsite->Enabled());
  WhenDialogShows([&](TdlgPrinterSelect& d) {
    EXPECT_TRUE(d.edtNumberOfCopies->Visible());
    d.edtNumberOfCopies->SetAsInteger(7);
  });
  f->btnPrinterSelect->Click();
  EXPECT_EQ(7, f->Copies);
}

TEST_F(FormChainTest, PrinterDialogWithoutPrintersSaysSoAndChangesNothing) {
  UsePrinters({}, -1);
  TabsMain* f = MakeMain();
  f->Show();
  Printer().SetOrientation(poPortrait);
  int copies = 2;
  bool collate = false;
  WhenDialogShows([&](TdlgPrinterSelect& d) {
    EXPECT_TRUE(d.lblNoPrinters->Visible());
    EXPECT_FALSE(d.cmbSelectPrinter->Enabled());
    d.rgpPageOrientation->SetItemIndex(1);
    d.cbxCollatedCopies->SetChecked(true);
  });
  EXPECT_TRUE(f->SelectPrinter(2, true, copies, collate));
  EXPECT_EQ(poPortrait, Printer().Orientation());
  EXPECT_EQ(2, copies);
  EXPECT_FALSE(collate);
}

TEST_F(FormChainTest, DialogMinimumSizeCountsItsVisibleButtons) {
  auto* d = TCustomForm::Create<TabsDialog>(&Application());
  d->Show();
  Pump();
  EXPECT_FALSE(d->btnExit->Visible());
  EXPECT_EQ("&Help", d->btnHelp->Caption());
  EXPECT_EQ(3 * DialogButtonWidth + 8, d->Constraints().MinWidth());
  EXPECT_EQ(31, d->dckDialog->Height());
  EXPECT_EQ(44 + 31 + 38, d->Constraints().MinHeight());
  d->btnHelp->SetVisible(false);
  d->SetSizeConstraints();
  EXPECT_EQ(2 * DialogButtonWidth + 8, d->Constraints().MinWidth());
  // The dialog's table is loaded with the form and stays closed.
  EXPECT_EQ("Keldara_Inst_RS", d->tblSave->DatabaseName());
  EXPECT_FALSE(d->tblSave->Active());
  EXPECT_TRUE(TableEngineReady());
}

}  // namespace

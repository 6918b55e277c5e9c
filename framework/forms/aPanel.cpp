#include "framework/forms/aPanel.h"

#include "framework/base/uMessageDialog.h"
#include "platform/rtl/Resources.h"

namespace {

constexpr int SNoDataToPrint = 65152;

}  // namespace

TabsPanel::TabsPanel(TComponent* AOwner) : TabsLogo(AOwner) {
  SetCaption("Standard Data Entry Form");
  pnlData = new TQsPanel(this);
  pnlData->SetName("pnlData");
  pnlData->SetCaption("");
  pnlData->SetParent(this);
  btnPrint = AddToolbarButton(tlbLogo, "btnPrint", "Print", LogoOrderPrint, LogoButtonWidth, LogoButtonHeight);
  btnPrint->OnClick = [this](TObject* Sender) { btnPrintClick(Sender); };
  btnPrinterSelect = AddToolbarButton(tlbLogo, "btnPrinterSelect", "Select", LogoOrderPrinterSelect, LogoButtonWidth,
                                      LogoButtonHeight);
  btnPrinterSelect->OnClick = [this](TObject* Sender) { btnPrinterSelectClick(Sender); };
  for (TtbToolbarButton* b : {btnPrint, btnPrinterSelect}) {
    b->SetVisible(false);
    b->SetEnabled(false);
  }
  dlgPrinterSetup = new TPrinterSetupDialog(this);
  dlgPrinterSetup->SetName("dlgPrinterSetup");
}

TabsPanel::~TabsPanel() { BeforeDestruction(); }

void TabsPanel::SetSizeConstraints() {
  Constraints().SetMinHeight(BottomInForm(dckLogo) + PanelMinHeightExtra);
  Constraints().SetMinWidth(RightInForm(btnExit) + LogoMinWidthExtra);
}

void TabsPanel::FormCreate(TObject* Sender) {
  TabsLogo::FormCreate(Sender);
  PrintEnabled = false;
  PrinterSelectEnabled = false;
  OrientationMode = omUserChoice;
}

void TabsPanel::FormShow(TObject* Sender) {
  TabsLogo::FormShow(Sender);
  if (PrinterSelectEnabled) PrintEnabled = true;
  btnPrint->SetVisible(PrintEnabled);
  btnPrint->SetEnabled(PrintEnabled);
  btnPrinterSelect->SetVisible(PrinterSelectEnabled);
  btnPrinterSelect->SetEnabled(PrinterSelectEnabled);
  pnlData->SetControlStyle(pnlData->ControlStyle() | csOpaque);
  btnPrint->SetOpaque(true);
  btnPrinterSelect->SetOpaque(true);
}

void TabsPanel::btnPrintClick(TObject*) {
  ShowMessageDialog(LoadResString(SNoDataToPrint), TMsgDlgType::mtWarning, mbOKOnly);
}

void TabsPanel::btnPrinterSelectClick(TObject*) {
  if (auto* main = AsMainFrame(Application().MainForm()))
    main->SelectPrinter(OrientationMode, ShowCopies, Copies, Collate);
  else
    dlgPrinterSetup->Execute();
}

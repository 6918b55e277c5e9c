// The data-entry form: the logo form with a data panel and the Print and printer Select buttons.
#pragma once

#include "framework/forms/QsDbCtrl.h"
#include "framework/forms/aLogo.h"
#include "platform/classlib/Dialogs.h"

// Room kept below the logo dock of a data-entry form.
constexpr int PanelMinHeightExtra = 38;

// How the printer dialog offers the page orientation.
enum TOrientationMode { omPortrait = 0, omLandscape = 1, omUserChoice = 2 };

class TabsPanel : public TabsLogo {
public:
  explicit TabsPanel(TComponent* AOwner);
  ~TabsPanel() override;
  AnsiString ClassName() const override { return "TabsPanel"; }

  TQsPanel* pnlData = nullptr;
  TtbToolbarButton* btnPrint = nullptr;
  TtbToolbarButton* btnPrinterSelect = nullptr;
  TPrinterSetupDialog* dlgPrinterSetup = nullptr;

  bool PrintEnabled = false;
  bool PrinterSelectEnabled = false;
  int OrientationMode = omUserChoice;

  void SetSizeConstraints() override;
  void FormCreate(TObject* Sender) override;
  void FormShow(TObject* Sender) override;

  void btnPrintClick(TObject* Sender);
  void btnPrinterSelectClick(TObject* Sender);
};

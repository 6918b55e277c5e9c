// The dialog form: the logo form without its Exit button, with a second dock at the bottom that
// holds the OK, Cancel and Help buttons.
#pragma once

#include "framework/forms/QsApTabl.h"
#include "framework/forms/aLogo.h"

constexpr int DialogButtonWidth = 75;
constexpr int DialogButtonHeight = 27;
// Room kept below the two docks of a dialog and right of its buttons.
constexpr int DialogMinHeightExtra = 38;
constexpr int DialogMinWidthExtra = 8;

class TabsDialog : public TabsLogo {
public:
  explicit TabsDialog(TComponent* AOwner);
  ~TabsDialog() override;
  AnsiString ClassName() const override { return "TabsDialog"; }

  // Buttons a dialog may show on the logo toolbar; hidden and disabled here.
  TtbToolbarButton* btnSaveSettings = nullptr;
  TtbToolbarButton* btnLoadSettings = nullptr;
  TtbToolbarButton* btnExport = nullptr;
  TtbToolbarButton* btnImport = nullptr;
  TtbToolbarButton* btnPaste = nullptr;
  TtbToolbarButton* btnCopyToClipboard = nullptr;

  TtbDock* dckDialog = nullptr;
  TtbToolbar* tlbDialog = nullptr;
  TtbToolbarButton* btnHelp = nullptr;
  TtbToolbarButton* btnOk = nullptr;
  TtbToolbarButton* btnCancel = nullptr;
  // Loaded with the form, which loads the table engine; never opened.
  TQslXbTable* tblSave = nullptr;

  void SetSizeConstraints() override;
  void FormShow(TObject* Sender) override;

  void btnHelpClick(TObject* Sender);
};

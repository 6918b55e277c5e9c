// The printer dialog: the printer by name, the page orientation and, when asked, the number of
// copies with a spin button and whether they are collated.
#pragma once

#include "controls/ctlSpinner.h"
#include "framework/forms/QsDbCtrl.h"
#include "framework/forms/aDialog.h"
#include "platform/classlib/ListBoxes.h"

// The drop-down list shows at least this many printers at once.
constexpr int PrinterDropDownMinimum = 20;
constexpr int PrinterMaxCopies = 99;

// The drop-down count for a list of count printers.
int PrinterDropDownCount(int count);

class TdlgPrinterSelect : public TabsDialog {
public:
  explicit TdlgPrinterSelect(TComponent* AOwner);
  ~TdlgPrinterSelect() override;
  AnsiString ClassName() const override { return "TdlgPrinterSelect"; }

  TLabel* lblPrinter = nullptr;
  TComboBox* cmbSelectPrinter = nullptr;
  TLabel* lblNoPrinters = nullptr;
  TQsRadioGroup* rgpPageOrientation = nullptr;
  TLabel* lblNumberOfCopies = nullptr;
  TQslPictureField* edtNumberOfCopies = nullptr;
  TCtlSpinner* spnNumberOfCopies = nullptr;
  TCheckBox* cbxCollatedCopies = nullptr;
  TImage* imgCollated = nullptr;
  TImage* imgUnCollated = nullptr;

  void FormCreate(TObject* Sender) override;
  void FormShow(TObject* Sender) override;
  void FormDestroy(TObject* Sender) override;

  void cbxCollatedCopiesClick(TObject* Sender);
  void btnOkClick(TObject* Sender);

  // The printer names as the list shows them, sorted.
  const TStringList& SortedPrinters() const { return FSorted; }

private:
  TStringList FSorted;
};

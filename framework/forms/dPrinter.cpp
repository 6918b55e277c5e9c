#include "framework/forms/dPrinter.h"

#include <algorithm>

#include "platform/classlib/Printers.h"

namespace {

constexpr int ContentTop = 52;
constexpr int ImageWidth = 58;
constexpr int ImageHeight = 40;

// How copies come out of the printer: collated, two sets of pages 1-2-3; else three piles of
// two equal pages.
void DrawCopies(TImage* image, bool collated) {
  TBitmap& bmp = image->Picture().Bitmap();
  bmp.SetSize(ImageWidth, ImageHeight);
  TCanvas& c = bmp.Canvas();
  c.Brush().SetColor(clBtnFace);
  c.FillRect(Rect(0, 0, ImageWidth, ImageHeight));
  c.Pen().SetColor(clBlack);
  c.Font().SetSize(7);
  const int stacks = collated ? 2 : 3;
  const int pages = collated ? 3 : 2;
  const int stride = ImageWidth / stacks;
  for (int stack = 0; stack < stacks; ++stack) {
    for (int page = pages - 1; page >= 0; --page) {
      const int x = 1 + stack * stride + page * 4;
      const int y = 1 + page * 5;
      c.Brush().SetColor(clWhite);
      c.Rectangle(x, y, x + 14, y + 20);
      c.TextOut(x + 4, y + 4, IntToStr(collated ? page + 1 : stack + 1));
    }
  }
}

}  // namespace

int PrinterDropDownCount(int count) { return std::max(PrinterDropDownMinimum, count); }

TdlgPrinterSelect::TdlgPrinterSelect(TComponent* AOwner) : TabsDialog(AOwner) {
  SetCaption("Select Printer and Set Page Orientation");
  SetBorderStyle(bsDialog);
  SetPosition(poOwnerFormCenter);
  SetClientSize(340, 250);

  auto place = [this](auto* c, const char* name, int left, int top, int width, int height) {
    c->SetName(name);
    c->SetBounds(left, top, width, height);
    c->SetParent(this);
    return c;
  };
  cmbSelectPrinter = place(new TComboBox(this), "cmbSelectPrinter", 8, ContentTop + 18, 324, 21);
  cmbSelectPrinter->SetStyle(csDropDownList);
  lblPrinter = place(new TLabel(this), "lblPrinter", 8, ContentTop, 200, 15);
  lblPrinter->SetCaption("&Select Printer");
  lblPrinter->SetFocusControl(cmbSelectPrinter);
  lblNoPrinters = place(new TLabel(this), "lblNoPrinters", 8, ContentTop + 42, 324, 15);
  lblNoPrinters->SetCaption("No printer is installed.");
  lblNoPrinters->SetVisible(false);

  rgpPageOrientation = place(new TQsRadioGroup(this), "rgpPageOrientation", 8, ContentTop + 62, 150, 70);
  rgpPageOrientation->SetCaption("Page &Orientation");
  rgpPageOrientation->Items().Add("Portrait");
  rgpPageOrientation->Items().Add("Landscape");

  edtNumberOfCopies = place(new TQslPictureField(this), "edtNumberOfCopies", 176, ContentTop + 84, 32, 21);
  edtNumberOfCopies->SetDataType(pftShortInt);
  edtNumberOfCopies->SetPictureMask("ii");
  edtNumberOfCopies->SetMaxLength(2);
  edtNumberOfCopies->SetOptions(edtNumberOfCopies->Options().Include(efoRightJustify));
  edtNumberOfCopies->SetRangeLo("1");
  edtNumberOfCopies->SetRangeHi(IntToStr(PrinterMaxCopies));
  lblNumberOfCopies = place(new TLabel(this), "lblNumberOfCopies", 176, ContentTop + 66, 110, 15);
  lblNumberOfCopies->SetCaption("Number of &Copies");
  lblNumberOfCopies->SetFocusControl(edtNumberOfCopies);
  spnNumberOfCopies = place(new TCtlSpinner(this), "spnNumberOfCopies", 208, ContentTop + 84, 16, 21);
  spnNumberOfCopies->SetFocusedControl(edtNumberOfCopies);
  spnNumberOfCopies->SetWrapMode(false);
  cbxCollatedCopies = place(new TCheckBox(this), "cbxCollatedCopies", 176, ContentTop + 112, 70, 17);
  cbxCollatedCopies->SetCaption("Collate");
  cbxCollatedCopies->OnClick = [this](TObject* Sender) { cbxCollatedCopiesClick(Sender); };
  imgCollated = place(new TImage(this), "imgCollated", 250, ContentTop + 84, ImageWidth, ImageHeight);
  imgUnCollated = place(new TImage(this), "imgUnCollated", 250, ContentTop + 84, ImageWidth, ImageHeight);
  DrawCopies(imgCollated, true);
  DrawCopies(imgUnCollated, false);
  for (TControl* c : std::initializer_list<TControl*>{lblNumberOfCopies, edtNumberOfCopies, spnNumberOfCopies,
                                                      cbxCollatedCopies, imgCollated, imgUnCollated}) {
    c->SetVisible(false);
    c->SetEnabled(false);
  }
  btnOk->OnClick = [this](TObject* Sender) { btnOkClick(Sender); };
}

TdlgPrinterSelect::~TdlgPrinterSelect() { BeforeDestruction(); }

void TdlgPrinterSelect::FormCreate(TObject* Sender) {
  TabsDialog::FormCreate(Sender);
  TPrinter& printer = Printer();
  FSorted.Assign(printer.Printers());
  FSorted.Sort();
  cmbSelectPrinter->Items().Assign(FSorted);
  cmbSelectPrinter->SetItemIndex(FSorted.IndexOf(printer.PrinterName()));
  cmbSelectPrinter->SetDropDownCount(PrinterDropDownCount(FSorted.Count()));
  const bool none = FSorted.Count() == 0;
  cmbSelectPrinter->SetEnabled(!none);
  lblNoPrinters->SetVisible(none);
  rgpPageOrientation->SetItemIndex(printer.Orientation() == poLandscape ? 1 : 0);
}

void TdlgPrinterSelect::FormShow(TObject* Sender) {
  TabsDialog::FormShow(Sender);
  if (!ShowCopies) return;
  for (TControl* c : std::initializer_list<TControl*>{lblNumberOfCopies, edtNumberOfCopies, spnNumberOfCopies,
                                                      cbxCollatedCopies}) {
    c->SetVisible(true);
    c->SetEnabled(true);
  }
  imgCollated->SetEnabled(true);
  imgUnCollated->SetEnabled(true);
  edtNumberOfCopies->SetAsInteger(std::clamp(Copies, 1, PrinterMaxCopies));
  cbxCollatedCopies->SetChecked(Collate);
  cbxCollatedCopiesClick(cbxCollatedCopies);
}

void TdlgPrinterSelect::FormDestroy(TObject* Sender) {
  TabsDialog::FormDestroy(Sender);
  FSorted.Clear();
}

void TdlgPrinterSelect::cbxCollatedCopiesClick(TObject*) {
  const bool checked = cbxCollatedCopies->Checked();
  imgCollated->SetVisible(checked);
  imgUnCollated->SetVisible(!checked);
}

void TdlgPrinterSelect::btnOkClick(TObject*) {
  TPrinter& printer = Printer();
  // Without a printer there is nothing to choose, and nothing is changed.
  if (FSorted.Count() == 0) return;
  const int chosen = cmbSelectPrinter->ItemIndex();
  if (chosen >= 0) {
    const int index = printer.Printers().IndexOf(FSorted[chosen]);
    if (index >= 0) printer.SetPrinterIndex(index);
  }
  printer.SetOrientation(rgpPageOrientation->ItemIndex() == 1 ? poLandscape : poPortrait);
  if (ShowCopies) {
    Collate = cbxCollatedCopies->Checked();
    Copies = std::clamp(edtNumberOfCopies->AsInteger(), 1, PrinterMaxCopies);
  }
}

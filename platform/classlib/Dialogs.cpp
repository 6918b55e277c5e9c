#include "platform/classlib/Dialogs.h"

#include <memory>

#include "platform/rtl/Files.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Printers.h"
#include "platform/classlib/StdCtrls.h"

namespace {

constexpr const char* kOpenCaption = "Open";
constexpr const char* kPrinterSetupCaption = "Printer Setup";
constexpr const char* kBadCopies = "The number of copies must be a whole number from 1 to %d.";
constexpr int kMaxCopies = 999;

// A list box that tells of every selection change the user makes.
class TFileListBox final : public TListBox {
public:
  using TListBox::TListBox;
  AnsiString ClassName() const override { return "TFileListBox"; }
  std::function<void()> OnSelectionChanged;

protected:
  void SelectionChanged() override {
    TListBox::SelectionChanged();
    if (OnSelectionChanged) OnSelectionChanged();
  }
};

template <class T>
T* Place(TWinControl* parent, int left, int top, int width, int height, const AnsiString& caption = AnsiString()) {
  auto* c = new T(parent);
  c->SetBounds(left, top, width, height);
  if (!caption.empty()) c->SetCaption(caption);
  c->SetParent(parent);
  return c;
}

TLabel* PlaceLabel(TWinControl* parent, int left, int top, const AnsiString& caption, TWinControl* focus) {
  auto* l = Place<TLabel>(parent, left, top, 80, 13, caption);
  l->SetFocusControl(focus);
  return l;
}

class TOpenForm final : public TForm {
public:
  TOpenForm(TFileDialogModel& model, TOpenOptions options, const AnsiString& defaultExt, const AnsiString& title,
            const AnsiString& fileName)
      : TForm(nullptr), FModel(model), FOptions(options), FDefaultExt(defaultExt) {
    SetBorderStyle(bsDialog);
    SetBorderIcons(biSystemMenu);
    SetPosition(poScreenCenter);
    SetCaption(title.empty() ? AnsiString(kOpenCaption) : title);
    SetClientSize(440, 282);

    Place<TLabel>(this, 8, 12, 60, 13, "Look in:");
    FFolderLabel = Place<TLabel>(this, 72, 12, 300, 13);
    FFolderLabel->SetAutoSize(false);
    FFolderLabel->SetShowAccelChar(false);
    auto* up = Place<TButton>(this, 382, 6, 50, 23, "&Up");
    up->OnClick = [this](TObject*) {
      if (FModel.GoUp()) refresh();
    };
    FList = Place<TFileListBox>(this, 8, 34, 424, 170);
    FList->SetMultiSelect((options & OpenOption(ofAllowMultiSelect)) != 0);
    FList->OnSelectionChanged = [this] { selectionChanged(); };
    FList->OnDblClick = [this](TObject*) { openClicked(true); };

    FName = Place<TEdit>(this, 96, 216, 246, 21);
    FName->SetText(fileName);
    FName->OnChange = [this](TObject*) { FNamesPicked = false; };
    PlaceLabel(this, 8, 220, "File &name:", FName);
    FTypes = Place<TComboBox>(this, 96, 246, 246, 21);
    FTypes->SetStyle(csDropDownList);
    for (const TFileFilterItem& item : FModel.FilterItems()) FTypes->Items().Add(item.Description);
    if (!FModel.FilterItems().empty()) FTypes->SetItemIndex(FModel.FilterIndex() - 1);
    FTypes->OnChange = [this](TObject*) {
      FModel.SetFilterIndex(FTypes->ItemIndex() + 1);
      refresh();
    };
    PlaceLabel(this, 8, 250, "Files of &type:", FTypes);

    auto* open = Place<TButton>(this, 350, 214, 82, 25, "&Open");
    open->SetDefault(true);
    open->OnClick = [this](TObject*) { openClicked(false); };
    auto* cancel = Place<TButton>(this, 350, 244, 82, 25, "Cancel");
    cancel->SetCancel(true);
    cancel->SetModalResult(mrCancel);
    refresh();
    SetActiveControl(FName);
  }
  AnsiString ClassName() const override { return "TOpenForm"; }

  const std::vector<AnsiString>& Chosen() const { return FChosen; }

private:
  void refresh() {
    FEntries = FModel.Entries();
    FPickOrder.clear();
    FList->Items().BeginUpdate();
    FList->Items().Clear();
    for (const TFolderEntry& e : FEntries) FList->Items().Add(e.IsFolder ? e.Name + PathDelim : e.Name);
    FList->Items().EndUpdate();
    FList->SetItemIndex(-1);
    FFolderLabel->SetCaption(FModel.Folder());
  }

  void selectionChanged() {
    std::vector<AnsiString> picked;
    for (int i = 0; i < static_cast<int>(FEntries.size()); ++i) {
      const bool on = FList->MultiSelect() ? FList->Selected(i) : i == FList->ItemIndex();
      if (on && !FEntries[i].IsFolder) picked.push_back(FEntries[i].Name);
    }
    FPickOrder = KeepPickOrder(FPickOrder, picked);
    if (FPickOrder.empty()) return;
    FName->SetText(JoinTypedNames(FPickOrder));
    FNamesPicked = true;
  }

  // From the list (Enter on it or a double click) a folder opens; otherwise the typed names count.
  void openClicked(bool fromList) {
    const int current = FList->ItemIndex();
    if ((fromList || FList->Focused()) && current >= 0 && current < static_cast<int>(FEntries.size()) &&
        FEntries[current].IsFolder) {
      // Names picked in the folder left behind mean nothing in the new one.
      if (FModel.SetFolder(FEntries[current].Name)) {
        if (FNamesPicked) FName->SetText("");
        refresh();
      }
      return;
    }
    TOpenOutcome outcome = FModel.Accept(FName->Text(), FOptions, FDefaultExt);
    switch (outcome.Kind) {
      case TOpenOutcome::okNothing: return;
      case TOpenOutcome::okFolderChanged:
        FName->SetText("");
        refresh();
        break;
      case TOpenOutcome::okMaskChanged: refresh(); break;
      case TOpenOutcome::okChosen:
        FChosen = std::move(outcome.Files);
        SetModalResult(mrOk);
        return;
      case TOpenOutcome::okRejected:
        ShowMessageBox(outcome.Message, Caption(), TMsgDlgType::mtWarning, mbOKOnly, mbOK);
        break;
    }
    if (FName->CanFocus()) FName->SetFocus();
  }

  TFileDialogModel& FModel;
  TOpenOptions FOptions = 0;
  AnsiString FDefaultExt;
  std::vector<TFolderEntry> FEntries;
  std::vector<AnsiString> FPickOrder;
  std::vector<AnsiString> FChosen;
  bool FNamesPicked = false;  // the name field holds what the list picked, not what was typed
  TLabel* FFolderLabel = nullptr;
  TFileListBox* FList = nullptr;
  TEdit* FName = nullptr;
  TComboBox* FTypes = nullptr;
};

class TPrinterSetupForm final : public TForm {
public:
  TPrinterSetupForm() : TForm(nullptr) {
    SetBorderStyle(bsDialog);
    SetBorderIcons(biSystemMenu);
    SetPosition(poScreenCenter);
    SetCaption(kPrinterSetupCaption);
    SetClientSize(330, 170);
    TPrinter& printer = Printer();

    FPrinters = Place<TComboBox>(this, 80, 12, 240, 21);
    FPrinters->SetStyle(csDropDownList);
    FPrinters->Items().Assign(printer.Printers());
    FPrinters->SetItemIndex(printer.PrinterIndex());
    FPrinters->SetEnabled(FPrinters->Items().Count() > 0);
    PlaceLabel(this, 8, 16, "&Printer:", FPrinters);

    auto* orientation = Place<TGroupBox>(this, 8, 44, 150, 74, "Orientation");
    FPortrait = Place<TRadioButton>(orientation, 10, 20, 120, 17, "P&ortrait");
    FLandscape = Place<TRadioButton>(orientation, 10, 44, 120, 17, "&Landscape");
    (printer.Orientation() == poLandscape ? FLandscape : FPortrait)->SetChecked(true);

    FCopies = Place<TEdit>(this, 240, 60, 80, 21);
    FCopies->SetText(IntToStr(printer.Copies()));
    PlaceLabel(this, 170, 64, "&Copies:", FCopies);

    auto* ok = Place<TButton>(this, 156, 134, 80, 25, "OK");
    ok->SetDefault(true);
    ok->OnClick = [this](TObject*) { okClicked(); };
    auto* cancel = Place<TButton>(this, 242, 134, 80, 25, "Cancel");
    cancel->SetCancel(true);
    cancel->SetModalResult(mrCancel);
    SetActiveControl(FPrinters->Enabled() ? static_cast<TWinControl*>(FPrinters) : FCopies);
  }
  AnsiString ClassName() const override { return "TPrinterSetupForm"; }

private:
  // Nothing is applied until every value is good, so a bad entry changes no setting.
  void okClicked() {
    int64_t copies = 0;
    if (!TryStrToInt(Trim(FCopies->Text()), copies) || copies < 1 || copies > kMaxCopies) {
      ShowMessageBox(Format(kBadCopies, {kMaxCopies}), Caption(), TMsgDlgType::mtWarning, mbOKOnly, mbOK);
      if (FCopies->CanFocus()) FCopies->SetFocus();
      return;
    }
    TPrinter& printer = Printer();
    if (FPrinters->ItemIndex() >= 0) printer.SetPrinterIndex(FPrinters->ItemIndex());
    printer.SetOrientation(FLandscape->Checked() ? poLandscape : poPortrait);
    printer.SetCopies(static_cast<int>(copies));
    SetModalResult(mrOk);
  }

  TComboBox* FPrinters = nullptr;
  TRadioButton* FPortrait = nullptr;
  TRadioButton* FLandscape = nullptr;
  TEdit* FCopies = nullptr;
};

}  // namespace

void TOpenDialog::SetDefaultExt(const AnsiString& v) {
  FDefaultExt = !v.empty() && v[0] == '.' ? v.substr(1) : v;
}

bool TOpenDialog::Execute() {
  TFileDialogModel model;
  const bool started = (!FInitialDir.empty() && model.SetFolder(ExpandFileName(FInitialDir))) ||
                       (!ExtractFilePath(FFileName).empty() && model.SetFolder(ExpandFileName(ExtractFilePath(FFileName))));
  if (!started) model.SetFolder(GetCurrentDir());
  model.SetFilter(FFilter);
  model.SetFilterIndex(FFilterIndex);
  auto form = std::make_unique<TOpenForm>(model, FOptions, FDefaultExt, FTitle, ExtractFileName(FFileName));
  form->SetHelpContext(HelpContext());
  if (form->ShowModal() != mrOk) return false;
  FFiles.Clear();
  for (const AnsiString& f : form->Chosen()) FFiles.Add(f);
  FFileName = FFiles.Count() > 0 ? FFiles.Get(0) : AnsiString();
  FFilterIndex = model.FilterIndex();
  return true;
}

bool TPrinterSetupDialog::Execute() {
  auto form = std::make_unique<TPrinterSetupForm>();
  form->SetHelpContext(HelpContext());
  return form->ShowModal() == mrOk;
}

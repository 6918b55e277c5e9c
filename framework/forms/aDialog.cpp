#include "framework/forms/aDialog.h"

#include "platform/rtl/Resources.h"

namespace {

constexpr int SOkCaption = 65197;
constexpr int SCancelCaption = 65198;
constexpr int SHelpCaption = 65199;

}  // namespace

TabsDialog::TabsDialog(TComponent* AOwner) : TabsLogo(AOwner) {
  SetCaption("Abstract Dialog");
  btnExit->SetVisible(false);
  struct TSpare {
    TtbToolbarButton*& Button;
    const char* Name;
    const char* Caption;
  };
  const TSpare spares[] = {
      {btnSaveSettings, "btnSaveSettings", "SaveAs"}, {btnLoadSettings, "btnLoadSettings", "Load"},
      {btnExport, "btnExport", "Export"},             {btnImport, "btnImport", "Import"},
      {btnPaste, "btnPaste", "Paste"},                {btnCopyToClipboard, "btnCopyToClipboard", "Clipbrd"},
  };
  int order = LogoOrderForm;
  for (const TSpare& s : spares) {
    s.Button = AddToolbarButton(tlbLogo, s.Name, s.Caption, order++, LogoButtonWidth, LogoButtonHeight);
    s.Button->SetVisible(false);
    s.Button->SetEnabled(false);
    s.Button->OnClick = [](TObject*) {};
  }

  tblSave = new TQslXbTable(this);
  tblSave->SetName("tblSave");
  tblSave->SetDatabaseName("Keldara_Inst_RS");
  tblSave->SetValidateTable(true);
  tblSave->SetOEMTranslate(false);

  dckDialog = new TtbDock(this);
  dckDialog->SetName("dckDialog");
  dckDialog->SetPosition(adpBottom);
  dckDialog->SetParent(this);
  tlbDialog = new TtbToolbar(this);
  tlbDialog->SetName("tlbDialog");
  tlbDialog->SetParent(dckDialog);
  btnHelp = AddToolbarButton(tlbDialog, "btnHelp", "Help", 0, DialogButtonWidth, DialogButtonHeight);
  btnHelp->OnClick = [this](TObject* Sender) { btnHelpClick(Sender); };
  btnOk = AddToolbarButton(tlbDialog, "btnOk", "OK", 1, DialogButtonWidth, DialogButtonHeight);
  btnOk->SetModalResult(mrOk);
  btnOk->SetDefault(true);
  btnCancel = AddToolbarButton(tlbDialog, "btnCancel", "Cancel", 2, DialogButtonWidth, DialogButtonHeight);
  btnCancel->SetModalResult(mrCancel);
  btnCancel->SetCancel(true);
}

TabsDialog::~TabsDialog() { BeforeDestruction(); }

void TabsDialog::SetSizeConstraints() {
  Constraints().SetMinHeight(BottomInForm(dckLogo) + dckDialog->Height() + DialogMinHeightExtra);
  int width = 0;
  for (int i = 0; i < tlbDialog->ControlCount(); ++i) {
    TControl* c = tlbDialog->Controls(i);
    if (c->Visible() && dynamic_cast<TtbToolbarButton*>(c)) width += c->Width();
  }
  Constraints().SetMinWidth(width + DialogMinWidthExtra);
}

void TabsDialog::FormShow(TObject* Sender) {
  TabsLogo::FormShow(Sender);
  const std::pair<TtbToolbarButton*, int> captions[] = {
      {btnOk, SOkCaption}, {btnCancel, SCancelCaption}, {btnHelp, SHelpCaption}};
  for (const auto& [button, id] : captions) {
    button->SetOpaque(true);
    button->SetCaption(LoadResString(id));
  }
}

void TabsDialog::btnHelpClick(TObject*) { Application().HelpContext(HelpContext()); }

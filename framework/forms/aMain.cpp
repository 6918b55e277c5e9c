#include "framework/forms/aMain.h"

#include "framework/base/uMessageDialog.h"
#include "framework/base/uStringUtils.h"
#include "framework/base/uSysFolders.h"
#include "framework/forms/dPrinter.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Format.h"

namespace {

// Case rules of the mask characters.
constexpr uint8_t CaseUnchanged = 0;
constexpr uint8_t CaseUpper = 1;

const char* const SBitmapUnreadable = "The picture %s could not be read and is not shown:\r%s";

TCtlCharSet CharRange(TCtlCharSet set, unsigned char first, unsigned char last) {
  for (unsigned c = first; c <= last; ++c) set.set(c);
  return set;
}

TCtlCharSet Chars(TCtlCharSet set, std::string_view chars) {
  for (unsigned char c : chars) set.set(c);
  return set;
}

}  // namespace

TMainBitmapFiles MainBitmapFiles(const AnsiString& exeName) {
  return {ReplaceExtension(exeName, "BMP"), ReplaceExtension(exeName, "Background") + ".BMP",
          ReplaceExtension(exeName, "Skin") + ".BMP"};
}

AnsiString ReportTemplateName(const AnsiString& tempFolder, const AnsiString& exeName) {
  AnsiString name;
  SafeFormat(name, "%sREPORT.STR", {ExtractBaseName(exeName)});
  return EnsureTrailingBackslash(tempFolder) + name;
}

void DefineMainMaskCharacters(TCtlUserData& first, TCtlUserData& second) {
  const TCtlCharSet none;
  const TCtlCharSet upper = CharRange(none, 'A', 'Z');
  const TCtlCharSet digits = CharRange(none, '0', '9');
  const TCtlCharSet all = CharRange(none, 1, 255);
  TCtlCharSet fileName = all;
  for (unsigned char c : std::string_view("\"*/:<>?\\|")) fileName.reset(c);

  struct TDef {
    TCtlUserData& Data;
    char Ch;
    TCtlCharSet Set;
    uint8_t Case;
  };
  const TDef defs[] = {
      {first, '1', upper, CaseUpper},
      {first, '2', digits | upper, CaseUpper},
      {first, '3', digits | upper | CharRange(none, 'a', 'z'), CaseUnchanged},
      {first, '4', Chars(digits | upper, ",-"), CaseUpper},
      {first, '5', fileName, CaseUnchanged},
      {first, '6', all, CaseUnchanged},
      {first, '7', digits, CaseUpper},
      {first, '8', Chars(digits, "."), CaseUpper},
      {second, '1', Chars(digits | upper, " $%&()-._"), CaseUpper},
      {second, '4', Chars(none, " NY"), CaseUpper},
  };
  for (const TDef& d : defs) {
    d.Data.SetUserCharSet(d.Ch, d.Set);
    d.Data.SetForceCase(d.Ch, d.Case);
  }
}

TabsMain::TabsMain(TComponent* AOwner) : TabsPanel(AOwner) {
  SetCaption("Abstract Main Form");
  imgDefault = new TImage(this);
  imgDefault->SetName("imgDefault");
  imgDefault->SetVisible(false);
  imgDefault->SetParent(this);
  urlKeldara = new TCtlURL(this);
  urlKeldara->SetName("urlKeldara");
  urlKeldara->SetURL(KeldaraWebAddress);
  urlKeldara->SetVisible(false);
  urlKeldara->SetParent(this);
  ctlDefault = new TCtlController(this);
  ctlDefault->SetName("ctlDefault");
  tmpMain = new TCtlTimerPool(this);
  tmpMain->SetName("tmpMain");
  dlgOpenFiles = new TOpenDialog(this);
  dlgOpenFiles->SetName("dlgOpenFiles");
  envMain = new TXbEnv(this);
  envMain->SetName("envMain");
  xlaOp = new TOxExcel(this);
  xlaOp->SetName("xlaOp");
}

TabsMain::~TabsMain() { BeforeDestruction(); }

void TabsMain::loadOptionalBitmap(const AnsiString& fileName, const std::function<void(const AnsiString&)>& load) {
  if (!FileExists(fileName)) return;
  try {
    load(fileName);
  } catch (const Exception& e) {
    ShowMessageDialog(Format(SBitmapUnreadable, {fileName, e.Message()}), TMsgDlgType::mtWarning, mbOKOnly);
  }
}

void TabsMain::FormCreate(TObject* Sender) {
  SetUseExeDirForOptions(iniForm->UseExeDir());
  FBackground = std::make_unique<TBitmap>();
  FSkin = std::make_unique<TBitmap>();
  AnsiString temp;
  TempFolder("", temp);
  ReportTemplateFile = ReportTemplateName(temp, ParamStr(0));
  const TMainBitmapFiles files = MainBitmapFiles(ParamStr(0));
  loadOptionalBitmap(files.Logo, [this](const AnsiString& f) { imgDefault->Picture().Bitmap().LoadFromFile(f); });
  loadOptionalBitmap(files.Background, [this](const AnsiString& f) { FBackground->LoadFromFile(f); });
  loadOptionalBitmap(files.Skin, [this](const AnsiString& f) { FSkin->LoadFromFile(f); });
  TabsPanel::FormCreate(Sender);
  // The fields read the library's one user data, so the first set is made on it.
  FMaskData2 = std::make_unique<TCtlUserData>();
  DefineMainMaskCharacters(CtlUserData(), *FMaskData2);
  envMain->SetDateFormat(dfWinDefault);
}

void TabsMain::FormShow(TObject* Sender) { TabsPanel::FormShow(Sender); }

void TabsMain::FormDestroy(TObject* Sender) {
  // The server may still post to us while it lets go; those messages run before the form goes.
  if (xlaOp->Connected()) {
    xlaOp->SetConnected(false);
    Application().ProcessMessages();
  }
  FBackground.reset();
  FSkin.reset();
  FMaskData2.reset();
  TabsPanel::FormDestroy(Sender);
}

bool TabsMain::SelectPrinter(int orientationMode, bool showCopies, int& copies, bool& collate) {
  std::unique_ptr<TdlgPrinterSelect> dialog(TCustomForm::Create<TdlgPrinterSelect>(this));
  dialog->edtNumberOfCopies->SetController(ctlDefault);
  if (orientationMode == omPortrait || orientationMode == omLandscape) {
    dialog->rgpPageOrientation->SetItemIndex(orientationMode == omPortrait ? 0 : 1);
    dialog->rgpPageOrientation->SetEnabled(false);
  }
  dialog->ShowCopies = showCopies;
  dialog->Copies = copies;
  dialog->Collate = collate;
  if (dialog->ShowModal() != mrOk) return false;
  copies = dialog->Copies;
  collate = dialog->Collate;
  return true;
}

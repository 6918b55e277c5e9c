#include "core/fQuorvex.h"

#include <exception>

#include "controls/ctlHelpers.h"
#include "core/uHotFileLines.h"
#include "framework/base/uFileUtils.h"
#include "framework/base/uMessageDialog.h"
#include "framework/base/uStringUtils.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Resources.h"
#include "platform/rtl/WholeFiles.h"

namespace {

constexpr int SHelpIntro = 65156;
constexpr int SHelpFolder = 65157;
constexpr int SHelpOutput = 65158;
constexpr int SHelpOutputFolder = 65159;
constexpr int SHelpProcessed = 65160;
constexpr int SHelpProcessedFolder = 65161;
constexpr int SHelpContact = 65162;

constexpr const char* kSplitGlyph = "SPLITHOT";
constexpr const char* kSalesContact = "sales@keldara.example";
constexpr const char* kSettingsExtension = "ini";
constexpr const char* kListSeparator = ";";
constexpr int PasswordPanelHeight = 36;
constexpr const char* kSettingsIsFolder =
    "The settings file %s is a folder: the code lists and the password can be neither read nor saved";
constexpr const char* kPasswordTooLong =
    "The archive password stored in %s has %d characters, more than the password field holds (%d): it is cut "
    "to that length, and saved so when the program closes";
constexpr int ZipPasswordLeft = 160;
constexpr int ZipPasswordWidth = 260;

const AnsiString SectionSplitFor = "SplitFor";
const AnsiString SectionZipFile = "ZipFile";
const AnsiString ItemAgtnList = "AgtnList";
const AnsiString ItemTacnList = "TacnList";
const AnsiString ItemPassword = "Password";

// Closes the store on every way out of a load or a save; closing writes the file.
class TStoreOpen {
public:
  explicit TStoreOpen(TCtlAbstractStore& store) : FStore(store) { FStore.Open(); }
  ~TStoreOpen() noexcept(false) {
    if (std::uncaught_exceptions() > FUncaught) {
      try {
        FStore.Close();
      } catch (...) {
        // The error already on its way tells the user.
      }
    } else {
      FStore.Close();
    }
  }

private:
  TCtlAbstractStore& FStore;
  int FUncaught = std::uncaught_exceptions();
};

// The memo takes its lines as one text: line by line it would lay itself out after every one.
void LoadMemoLines(TStrings& memo, const AnsiString& list) {
  TStringList lines;
  SplitToLines(lines, list, kListSeparator, true);
  memo.SetText(lines.Text());
}

}  // namespace

TQuorvexFolders QuorvexFolders(const AnsiString& exeName) {
  TQuorvexFolders f;
  f.ExeFolder = EnsureTrailingBackslash(ExtractFolderPart(exeName));
  f.RootFolder = EnsureTrailingBackslash(f.ExeFolder + "Quorvex");
  f.DatabaseFolder = EnsureTrailingBackslash(f.RootFolder + "Database");
  f.WorkingFolder = EnsureTrailingBackslash(f.RootFolder + "Working");
  f.ProcessdFolder = EnsureTrailingBackslash(f.WorkingFolder + "Processd");
  f.UnzippedFolder = EnsureTrailingBackslash(f.WorkingFolder + "Unzipped");
  f.OutboundFolder = EnsureTrailingBackslash(f.RootFolder + "Outbound");
  f.SentFolder = EnsureTrailingBackslash(f.OutboundFolder + "Sent");
  return f;
}

void CreateQuorvexFolders(const TQuorvexFolders& f) {
  for (const AnsiString* folder : {&f.RootFolder, &f.DatabaseFolder, &f.WorkingFolder, &f.ProcessdFolder,
                                   &f.UnzippedFolder, &f.OutboundFolder, &f.SentFolder})
    ForceDirectoriesChecked(*folder);
}

void RemoveLeftoverTemps(const TQuorvexFolders& f) {
  for (const AnsiString* folder : {&f.DatabaseFolder, &f.WorkingFolder, &f.ProcessdFolder, &f.UnzippedFolder,
                                   &f.OutboundFolder})
    RemoveStaleTemps(*folder);
}

AnsiString QuorvexSettingsFile(const TQuorvexFolders& folders, const AnsiString& exeName) {
  return folders.DatabaseFolder + ReplaceExtension(ExtractFilePart(exeName), kSettingsExtension);
}

void AddMainWindowSteps(TModuleSteps& steps) {
  steps.Add("Main window", [] { CreateGlobalHotFileLine(); }, [] { FreeGlobalHotFileLine(); });
}

// ---- TfrmQuorvex ----

void TfrmQuorvex::buildCodeMemo(TQsGroupBox*& box, TQslMemo*& memo, const char* boxName, const char* memoName,
                                const char* caption, int order) {
  box = new TQsGroupBox(this);
  box->SetName(boxName);
  box->SetCaption(caption);
  box->SetBounds(order, 0, CodeMemoWidth, 100);
  box->SetAlign(alLeft);
  box->SetParent(this);
  memo = new TQslMemo(this);
  memo->SetName(memoName);
  memo->SetAlign(alClient);
  memo->SetScrollBars(ssVertical);
  memo->SetParent(box);
}

TfrmQuorvex::TfrmQuorvex(TComponent* AOwner) : TabsMain(AOwner) {
  SetCaption("Quorvex Utility");
  SetPosition(poScreenCenter);
  SetClientSize(QuorvexClientWidth, QuorvexClientHeight);
  // The environment's settings load the table engine and reach it at once.
  envMain->SetApplyTo(atLocal);
  envMain->SetDeleted(true);
  envMain->SetExact(true);

  // The viewer is the splitter's line source and is never seen: a sliver of panel holds it.
  pnlData->SetAlign(alBottom);
  pnlData->SetHeight(3);
  pnlData->SetBevelOuter(bvNone);
  vwr = new TCtlTextFileViewer(this);
  vwr->SetName("vwr");
  vwr->SetVisible(false);
  vwr->SetExpandTabs(true);
  vwr->SetTabSize(8);
  vwr->SetParent(pnlData);

  buildCodeMemo(gbxTacns, memTacns, "gbxTacns", "memTacns", "Airline Plates", 0);
  buildCodeMemo(gbxAgtns, memAgtns, "gbxAgtns", "memAgtns", "Agent IATAs", CodeMemoWidth);

  gbxQuorvex = new TQsGroupBox(this);
  gbxQuorvex->SetName("gbxQuorvex");
  gbxQuorvex->SetCaption("Quorvex");
  gbxQuorvex->SetAlign(alClient);
  gbxQuorvex->SetParent(this);
  pnlZipPassword = new TQsPanel(this);
  pnlZipPassword->SetName("pnlZipPassword");
  pnlZipPassword->SetCaption("");
  pnlZipPassword->SetBevelOuter(bvNone);
  pnlZipPassword->SetAlign(alBottom);
  pnlZipPassword->SetHeight(PasswordPanelHeight);
  pnlZipPassword->SetParent(gbxQuorvex);
  memProductInfo = new TQslMemo(this);
  memProductInfo->SetName("memProductInfo");
  memProductInfo->SetAlign(alClient);
  memProductInfo->SetColor(clBtnFace);
  memProductInfo->SetReadOnly(true);
  memProductInfo->SetScrollBars(ssVertical);
  memProductInfo->SetParent(gbxQuorvex);

  edtZipPassword = new TQslPictureField(this);
  edtZipPassword->SetName("edtZipPassword");
  edtZipPassword->SetDataType(pftString);
  edtZipPassword->SetMaxLength(ZipPasswordLength);
  edtZipPassword->SetPictureMask(AnsiString(ZipPasswordLength, 'X'));
  edtZipPassword->SetOptions({efoCaretToEnd, efoPasswordMode, efoTrimBlanks});
  edtZipPassword->Font().SetName("Courier");
  edtZipPassword->SetBounds(ZipPasswordLeft, 8, ZipPasswordWidth, 22);
  edtZipPassword->SetParent(pnlZipPassword);
  lblZipPassword = new TQslLabel(this);
  lblZipPassword->SetName("lblZipPassword");
  lblZipPassword->SetCaption("Zip Encryption Password");
  lblZipPassword->SetFocusControl(edtZipPassword);
  lblZipPassword->SetBounds(8, 12, ZipPasswordLeft - 16, 15);
  lblZipPassword->SetParent(pnlZipPassword);

  btnSplitHot = AddToolbarButton(tlbLogo, "btnSplitHot", "Split", LogoOrderForm, LogoButtonWidth, LogoButtonHeight);
  btnSplitHot->SetLayout(blGlyphTop);
  btnSplitHot->SetNumGlyphs(2);
  {
    TBitmap glyph;
    glyph.SetImage(std::make_shared<TGdiBitmap>(LoadBitmapFromLibrary(kSplitGlyph)));
    btnSplitHot->SetGlyph(&glyph);
  }
  btnSplitHot->OnClick = [this](TObject* Sender) { btnSplitHotClick(Sender); };

  dlgFileOpen = new TOpenDialog(this);
  dlgFileOpen->SetName("dlgFileOpen");
  dlgFileOpen->SetDefaultExt("zip");
  dlgFileOpen->SetFilter("Zip Files|*.zip|any file|*.*");
  dlgFileOpen->SetOptions(OpenOption(ofAllowMultiSelect) | OpenOption(ofPathMustExist) |
                          OpenOption(ofFileMustExist));
  verQuorvex = new TTkVersionInfo(this);
  verQuorvex->SetName("verQuorvex");

  FRequest = std::make_unique<TSplitRequest>(*vwr);
  FRequest->SetTacnLines(&memTacns->Lines());
  FRequest->SetAgtnLines(&memAgtns->Lines());
  FRequest->SetZipOwner(this);
  FRequest->SetTimerPool(&tmpMain);
  FRequest->ChooseFiles = [this](TSplitFileDialog& dialog) { return chooseFiles(dialog); };
}

TfrmQuorvex::~TfrmQuorvex() { BeforeDestruction(); }

void TfrmQuorvex::FormCreate(TObject* Sender) {
  TabsMain::FormCreate(Sender);
  const AnsiString exe = ParamStr(0);
  FFolders = QuorvexFolders(exe);
  FRequest->SetWorkingFolder(FFolders.WorkingFolder);
  FRequest->SetProcessdFolder(FFolders.ProcessdFolder);
  FRequest->SetUnzippedFolder(FFolders.UnzippedFolder);
  FRequest->SetOutboundFolder(FFolders.OutboundFolder);
  CreateQuorvexFolders(FFolders);
  RemoveLeftoverTemps(FFolders);
  iniForm->SetIniFileName(QuorvexSettingsFile(FFolders, exe));
  AnsiString caption;
  SafeFormat(caption, "%s %s - %s",
             {Caption(), verQuorvex->GetProductVersion(), verQuorvex->GetLegalCopyright()});
  SetCaption(caption);
}

void TfrmQuorvex::appendHelpText() {
  TStrings& lines = memProductInfo->Lines();
  lines.Add(Format(LoadResString(SHelpIntro), {btnSplitHot->Caption()}));
  lines.Add(Format(LoadResString(SHelpFolder), {FFolders.WorkingFolder}));
  lines.Add("");
  lines.Add(LoadResString(SHelpOutput));
  lines.Add(Format(LoadResString(SHelpOutputFolder), {FFolders.OutboundFolder}));
  lines.Add("");
  lines.Add(LoadResString(SHelpProcessed));
  lines.Add(Format(LoadResString(SHelpProcessedFolder), {FFolders.ProcessdFolder}));
  lines.Add("");
  lines.Add(LoadResString(SHelpContact) + " " + kSalesContact);
}

void TfrmQuorvex::FormShow(TObject* Sender) {
  TabsMain::FormShow(Sender);
  appendHelpText();
  LoadSettings();
}

// Saved while the window closes: the program still runs then, so an error box stays until the
// user has read it. Once the program ends, a box would be gone before it was seen.
void TfrmQuorvex::FormClose(TObject* Sender, TCloseAction& Action) {
  TabsMain::FormClose(Sender, Action);
  if (FSavedAtClose) return;
  FSavedAtClose = true;
  try {
    SaveSettings();
  } catch (const Exception& e) {
    ShowMessageDialog(e.Message(), TMsgDlgType::mtError, mbOKOnly, 0, mbOK, false);
  }
}

void TfrmQuorvex::FormDestroy(TObject* Sender) {
  const bool save = !FSavedAtClose;
  FSavedAtClose = true;  // the framework's own close step, run below, must not save again
  try {
    if (save) SaveSettings();
  } catch (...) {
    TabsMain::FormDestroy(Sender);
    throw;
  }
  TabsMain::FormDestroy(Sender);
}

void TfrmQuorvex::LoadSettings() {
  AnsiString agents, airlines, password;
  if (DirectoryExists(iniForm->StoragePath()))
    ShowMessageDialog(Format(kSettingsIsFolder, {iniForm->StoragePath()}), TMsgDlgType::mtError, mbOKOnly, 0, mbOK,
                      false);
  try {
    TStoreOpen open(*iniForm);
    agents = iniForm->ReadString(SectionSplitFor, ItemAgtnList, "");
    airlines = iniForm->ReadString(SectionSplitFor, ItemTacnList, "");
    password = iniForm->ReadString(SectionZipFile, ItemPassword, "");
  } catch (const Exception& e) {
    // The window still comes up, with empty lists; saving will say the same again.
    ShowMessageDialog(e.Message(), TMsgDlgType::mtError, mbOKOnly, 0, mbOK, false);
  }
  if (password.size() > std::size_t(ZipPasswordLength))
    ShowMessageDialog(Format(kPasswordTooLong, {iniForm->StoragePath(), int(password.size()), ZipPasswordLength}),
                      TMsgDlgType::mtWarning, mbOKOnly, 0, mbOK, false);
  edtZipPassword->SetAsString(password);
  LoadMemoLines(memAgtns->Lines(), agents);
  LoadMemoLines(memTacns->Lines(), airlines);
}

void TfrmQuorvex::SaveSettings() {
  const AnsiString agents = JoinLines(memAgtns->Lines(), kListSeparator);
  const AnsiString airlines = JoinLines(memTacns->Lines(), kListSeparator);
  TStoreOpen open(*iniForm);
  iniForm->WriteString(SectionSplitFor, ItemAgtnList, agents);
  iniForm->WriteString(SectionSplitFor, ItemTacnList, airlines);
  iniForm->WriteString(SectionZipFile, ItemPassword, edtZipPassword->AsString());
}

bool TfrmQuorvex::chooseFiles(TSplitFileDialog& dialog) {
  dlgFileOpen->SetInitialDir(dialog.InitialDir);
  if (!dlgFileOpen->Execute()) return false;
  dialog.Files.clear();
  for (int i = 0; i < dlgFileOpen->Files().Count(); ++i) dialog.Files.push_back(dlgFileOpen->Files()[i]);
  return true;
}

void TfrmQuorvex::btnSplitHotClick(TObject* Sender) {
  FRequest->SetZipPassword(edtZipPassword->AsString());
  FRequest->btnSplitHotClick(Sender);
}

#include "framework/forms/aRoot.h"

#include <algorithm>

#include "framework/base/uFileUtils.h"
#include "framework/base/uMessageDialog.h"
#include "framework/base/uStringUtils.h"
#include "framework/forms/BxCtrls.h"
#include "framework/forms/QsDbCtrl.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Format.h"
#include "platform/classlib/StdCtrls.h"

namespace {

bool GUseExeDirForOptions = false;
AnsiString GOptionFolder;

const char* const SUnableToWriteOptions =
    "Unable to write to user option file %s\rIt is likely that you do not have WRITE permission to the "
    "following folder:\r%s\rPlease request your System Administrator to make sure you have full "
    "permissions\r for this folder.";

const char* const OptionFileExtension = "ACOPT";

// The low four bits of a system command are the platform's own.
constexpr WPARAM SysCommandMask = 0xFFF0;

}  // namespace

bool UseExeDirForOptions() { return GUseExeDirForOptions; }
void SetUseExeDirForOptions(bool value) { GUseExeDirForOptions = value; }
const AnsiString& OptionFolder() { return GOptionFolder; }
void SetOptionFolder(const AnsiString& folder) { GOptionFolder = folder; }

TPoint RootDefaultPosition(int screenWidth, int screenHeight, int minWidth, int minHeight) {
  return Point((screenWidth - minWidth) / 2, (screenHeight - minHeight) / 2);
}

TRect KeepBoundsOnScreen(const TRect& bounds, const TRect& area, bool sizeable) {
  int w = bounds.Width(), h = bounds.Height();
  if (sizeable) {
    w = std::min(w, area.Width());
    h = std::min(h, area.Height());
  }
  int top = bounds.Top, left = bounds.Left;
  if (top + h > area.Bottom) top = area.Bottom - h;
  if (top < area.Top) top = area.Top;
  if (left + w > area.Right) left = area.Right - w;
  if (left < area.Left) left = area.Left;
  return Rect(left, top, left + w, top + h);
}

TRect LoadFormGeometry(TCtlAbstractStore& store, const AnsiString& section, const TFormGeometryItems& items,
                       const TRect& current, bool sizeable, TSize minimum, TPoint defaultPosition) {
  int w = current.Width(), h = current.Height();
  if (sizeable) {
    h = std::max(store.ReadInteger(section, items.Height, minimum.cy), minimum.cy);
    w = std::max(store.ReadInteger(section, items.Width, minimum.cx), minimum.cx);
  }
  int top = store.ReadInteger(section, items.Top, defaultPosition.Y);
  int left = store.ReadInteger(section, items.Left, defaultPosition.X);
  return Rect(left, top, left + w, top + h);
}

void SaveFormGeometry(TCtlAbstractStore& store, const AnsiString& section, const TFormGeometryItems& items,
                      const TRect& bounds, bool sizeable) {
  store.WriteInteger(section, items.Top, bounds.Top);
  store.WriteInteger(section, items.Left, bounds.Left);
  if (sizeable) {
    store.WriteInteger(section, items.Height, bounds.Height());
    store.WriteInteger(section, items.Width, bounds.Width());
  }
}

bool ChooseOptionFile(const AnsiString& exeName, TOptionFileChoice& choice) {
  AnsiString name = ReplaceExtension(ExtractBaseName(exeName), OptionFileExtension);
  AnsiString prepared;
  if (GUseExeDirForOptions) {
    // The store reads the file in the program's folder, so that is where a missing one is filled.
    PrepareOptionFile(EnsureTrailingBackslash(ExtractFolderPart(exeName)) + name, prepared);
    choice.FileName = name;
    choice.UseExeDir = true;
    return true;
  }
  if (!GOptionFolder.empty()) {
    PrepareOptionFile(EnsureTrailingBackslash(GOptionFolder) + name, prepared);
    choice.FileName = prepared;
    choice.UseExeDir = false;
    return true;
  }
  return false;
}

AnsiString OptionFileWriteWarning(const AnsiString& path) {
  return Format(SUnableToWriteOptions, {ExtractFilePart(path), ExtractFolderPart(path)});
}

int RootHelpContextFor(const TControl* control, int formContext) {
  if (!control) return formContext;
  if (dynamic_cast<const TWinControl*>(control) && control->HelpContext() > 0) return control->HelpContext();
  bool ownContext = dynamic_cast<const TQsSpeedButton*>(control) || dynamic_cast<const tQsBorderedLabel*>(control);
  if (ownContext && control->HelpContext() > 0) return control->HelpContext();
  if (dynamic_cast<const tQsDbBorderedLabel*>(control) && control->HelpContext() > 0) return control->HelpContext();
  // A label stands for the control it names.
  const TWinControl* named = nullptr;
  if (auto* label = dynamic_cast<const TCustomLabel*>(control)) named = label->FocusControl();
  else if (auto* bx = dynamic_cast<const TBxCustomLabel*>(control)) named = bx->FocusControl();
  if (named && named->HelpContext() > 0) return named->HelpContext();
  return formContext;
}

// ---- TabsRoot ----

TabsRoot::TabsRoot(TComponent* AOwner) : TForm(AOwner) {
  iniForm = new TCtlIniFileStore(this);
  iniForm->SetName("iniForm");
  tilBackground = new TtbTiledImage(this);
  tilBackground->SetName("tilBackground");
  tilBackground->SetParent(this);
  tilBackground->SetAlign(alClient);
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  OnShow = [this](TObject* Sender) {
    FormShow(Sender);
    // Again once every form of the chain has shown what it shows: a button made visible on the
    // way (the website on the main window) moves the ones the minimum size must keep in view.
    SetSizeConstraints();
  };
  OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
  OnDestroy = [this](TObject* Sender) { FormDestroy(Sender); };
}

TabsRoot::~TabsRoot() { BeforeDestruction(); }

void TabsRoot::SetSizeConstraints() {
  Constraints().SetMinHeight(RootMinHeight);
  Constraints().SetMinWidth(RootMinWidth);
}

void TabsRoot::ComputeDefaultPosition() {
  TPoint p = RootDefaultPosition(Screen().Width(), Screen().Height(), Constraints().MinWidth(),
                                 Constraints().MinHeight());
  DefaultLeft = p.X;
  DefaultTop = p.Y;
}

void TabsRoot::LoadFormSettings() {
  TSize minimum{Constraints().MinWidth(), Constraints().MinHeight()};
  SetBoundsRect(LoadFormGeometry(*iniForm, sIniSection, GeometryItems, BoundsRect(), Sizeable(), minimum,
                                 Point(DefaultLeft, DefaultTop)));
}

void TabsRoot::SaveFormSettings() {
  try {
    SaveFormGeometry(*iniForm, sIniSection, GeometryItems, BoundsRect(), Sizeable());
  } catch (...) {
    SettingsSaved = true;
    throw;
  }
  SettingsSaved = true;
}

void TabsRoot::PlaceAtControl(TControl* control, const TMessage* mouseMessage) {
  if (!control || !mouseMessage) return;
  TPoint p = control->ClientToScreen(Point(GET_X_LPARAM(mouseMessage->LParam), GET_Y_LPARAM(mouseMessage->LParam)));
  SetBounds(p.X, p.Y, Width(), Height());
}

void TabsRoot::FormCreate(TObject*) {
  FormClosed = false;
  SettingsSaved = false;
  sIniSection.clear();
  GeometryItems = TFormGeometryItems{};
  FUserData = std::make_unique<TCtlUserData>();
  TOptionFileChoice choice;
  if (ChooseOptionFile(ParamStr(0), choice)) {
    iniForm->SetIniFileName(choice.FileName);
    iniForm->SetUseExeDir(choice.UseExeDir);
  }
}

void TabsRoot::FormShow(TObject*) {
  SetSizeConstraints();
  ComputeDefaultPosition();
  if (bSaveFormSettings && !sIniSection.empty()) {
    iniForm->Open();
    try {
      LoadFormSettings();
      KeepOnScreen();
    } catch (...) {
      iniForm->Close();
      SettingsSaved = false;
      throw;
    }
    iniForm->Close();
    SettingsSaved = false;
  }
  SetPrefixedCaption(Caption());
}

bool TabsRoot::saveGeometry() {
  iniForm->Open();
  try {
    SaveFormSettings();
  } catch (...) {
    iniForm->Close();
    throw;
  }
  // Closing writes the file, so a refused write shows here.
  iniForm->Close();
  return true;
}

void TabsRoot::FormClose(TObject*, TCloseAction&) {
  if (bSaveFormSettings && !sIniSection.empty() && !SettingsSaved) {
    try {
      saveGeometry();
    } catch (const Exception&) {
      ShowMessageDialog(OptionFileWriteWarning(iniForm->StoragePath()), TMsgDlgType::mtWarning, mbOKOnly);
    }
  }
  FormClosed = true;
}

void TabsRoot::FormDestroy(TObject* Sender) {
  if (!FormClosed) {
    TCloseAction action = caFree;
    FormClose(Sender, action);
  }
  if (bSaveFormSettings && !SettingsSaved && !sIniSection.empty()) {
    try {
      saveGeometry();
    } catch (const Exception&) {
      // Reported once already when the form closed.
    }
  }
  FUserData.reset();
  sIniSection.clear();
}

void TabsRoot::MouseDown(TObject* Sender, TMouseButton Button, TShiftState, int, int) {
  if (Button != mbRight) return;
  Application().HelpContext(RootHelpContextFor(dynamic_cast<TControl*>(Sender), HelpContext()));
}

void TabsRoot::KeepOnScreen() {
  SetBoundsRect(KeepBoundsOnScreen(BoundsRect(), Screen().WorkAreaRect(), Sizeable()));
}

void TabsRoot::SetPrefixedCaption(const AnsiString& text) { SetCaption(ApplyCaptionPrefix(text)); }

void TabsRoot::WndProc(TMessage& Message) {
  // Minimizing any window minimizes the whole application.
  if (Message.Msg == WM_SYSCOMMAND && (Message.WParam & SysCommandMask) == SC_MINIMIZE) {
    Application().Minimize();
    Message.Result = 0;
    return;
  }
  TForm::WndProc(Message);
}

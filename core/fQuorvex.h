// The program's one window: the airline and agent code memos, the archive password, the help
// text and the "Split" button; the program's folder tree and its settings file.
#pragma once

#include <memory>

#include "controls/ctlViewer.h"
#include "core/uSplitRequest.h"
#include "framework/base/TkVInfo.h"
#include "framework/forms/aMain.h"
#include "platform/rtl/ModuleSteps.h"

constexpr int QuorvexClientWidth = 880;
constexpr int QuorvexClientHeight = 478;
constexpr int CodeMemoWidth = 153;
constexpr int ZipPasswordLength = 64;

// The folders under the program's folder, each ending in a separator.
struct TQuorvexFolders {
  AnsiString ExeFolder;
  AnsiString RootFolder;
  AnsiString DatabaseFolder;
  AnsiString WorkingFolder;
  AnsiString ProcessdFolder;
  AnsiString UnzippedFolder;
  AnsiString OutboundFolder;
  AnsiString SentFolder;
};
TQuorvexFolders QuorvexFolders(const AnsiString& exeName);
// Creates the tree, the root first; a folder that cannot be made raises and stops the rest.
void CreateQuorvexFolders(const TQuorvexFolders& folders);
// Removes what killed runs left under temporary names in the tree's folders.
void RemoveLeftoverTemps(const TQuorvexFolders& folders);
// The settings file in the "Database" folder, named after the program file.
AnsiString QuorvexSettingsFile(const TQuorvexFolders& folders, const AnsiString& exeName);

// "Main window": makes the record reader every split shares, and frees it at the end.
void AddMainWindowSteps(TModuleSteps& steps);

class TfrmQuorvex : public TabsMain {
public:
  explicit TfrmQuorvex(TComponent* AOwner);
  ~TfrmQuorvex() override;
  AnsiString ClassName() const override { return "TfrmQuorvex"; }

  TQsGroupBox* gbxTacns = nullptr;
  TQslMemo* memTacns = nullptr;
  TQsGroupBox* gbxAgtns = nullptr;
  TQslMemo* memAgtns = nullptr;
  TQsGroupBox* gbxQuorvex = nullptr;
  TQslMemo* memProductInfo = nullptr;
  TQsPanel* pnlZipPassword = nullptr;
  TQslLabel* lblZipPassword = nullptr;
  TQslPictureField* edtZipPassword = nullptr;
  TtbToolbarButton* btnSplitHot = nullptr;
  TCtlTextFileViewer* vwr = nullptr;
  TOpenDialog* dlgFileOpen = nullptr;
  TTkVersionInfo* verQuorvex = nullptr;

  const TQuorvexFolders& Folders() const { return FFolders; }
  TSplitRequest& Request() { return *FRequest; }

  void FormCreate(TObject* Sender) override;
  void FormShow(TObject* Sender) override;
  void FormClose(TObject* Sender, TCloseAction& Action) override;
  void FormDestroy(TObject* Sender) override;

  void LoadSettings();
  void SaveSettings();
  void btnSplitHotClick(TObject* Sender);

private:
  void buildCodeMemo(TQsGroupBox*& box, TQslMemo*& memo, const char* boxName, const char* memoName,
                     const char* caption, int order);
  void appendHelpText();
  // The file-open dialog as the split request asks for it.
  bool chooseFiles(TSplitFileDialog& dialog);

  TQuorvexFolders FFolders;
  std::unique_ptr<TSplitRequest> FRequest;
  bool FSavedAtClose = false;
};

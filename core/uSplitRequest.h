// One press of "Split": the code lists from the two memos, the files chosen in the "Working"
// folder, each split and then moved, the input to "Processd" and the result to "Outbound".
#pragma once

#include <functional>
#include <vector>

#include "controls/ctlViewer.h"
#include "core/uHotSplitter.h"
#include "platform/rtl/AnsiString.h"
#include "platform/rtl/StringList.h"

class TComponent;
class TCtlTimerPool;

// One run of the file-open dialog: the request gives the folder to start in, the chooser fills
// Files and returns False on cancel. Extension, filter and options are the dialog's own.
struct TSplitFileDialog {
  AnsiString InitialDir;
  std::vector<AnsiString> Files;
};
using TFileChooser = std::function<bool(TSplitFileDialog& Dialog)>;

// The ZIP road: splits the archive and returns the name of the result to move out.
using TZipSplitter = std::function<AnsiString(const AnsiString& Archive)>;

bool ValidAirlineCode(const AnsiString& Text);
bool ValidAgentCode(const AnsiString& Text);

class TSplitRequest {
public:
  // The ZIP road is the request's own SplitZipArchive until a caller plugs in another.
  explicit TSplitRequest(TCtlCustomTextFileViewer& Viewer);

  // The memos' lines; not owned.
  void SetTacnLines(const TStrings* Lines) { FTacnLines = Lines; }
  void SetAgtnLines(const TStrings* Lines) { FAgtnLines = Lines; }
  const AnsiString& ZipPassword() const { return FZipPassword; }
  void SetZipPassword(const AnsiString& Value) { FZipPassword = Value; }

  const AnsiString& WorkingFolder() const { return FWorkingFolder; }
  void SetWorkingFolder(const AnsiString& Value);
  const AnsiString& ProcessdFolder() const { return FProcessdFolder; }
  void SetProcessdFolder(const AnsiString& Value);
  const AnsiString& UnzippedFolder() const { return FUnzippedFolder; }
  void SetUnzippedFolder(const AnsiString& Value);
  const AnsiString& OutboundFolder() const { return FOutboundFolder; }
  void SetOutboundFolder(const AnsiString& Value);

  // What the zip service's progress window needs: its owner and the window's timer pool variable.
  void SetZipOwner(TComponent* Owner) { FZipOwner = Owner; }
  void SetTimerPool(TCtlTimerPool** Pool) { FTimerPool = Pool; }

  // Without a chooser no file is chosen, as if the dialog were cancelled.
  TFileChooser ChooseFiles;
  TZipSplitter SplitZipFile;

  const AnsiString& AirlineList() const { return FSplitter.AirlineList(); }
  const AnsiString& AgentList() const { return FSplitter.AgentList(); }
  bool Running() const { return FRunning; }

  // The "Split" button's click; a click let through while a request runs is ignored.
  void btnSplitHotClick(void* Sender = nullptr);

  bool BuildCodeLists();
  static AnsiString BuildCodeList(const TStrings* Memo, bool (*Validator)(const AnsiString&), int Width);
  void ProcessSelectedFile(const AnsiString& FileName);
  // Unzips into UnzippedFolder, splits each file and zips the results with the password into
  // "Split_" + the archive's name beside it. A failed unzip or zip raises, naming the archive.
  AnsiString SplitZipArchive(const AnsiString& Archive);

private:
  TCtlCustomTextFileViewer& FViewer;
  THotSplitter FSplitter{FViewer};
  const TStrings* FTacnLines = nullptr;
  const TStrings* FAgtnLines = nullptr;
  AnsiString FZipPassword;
  AnsiString FWorkingFolder;
  AnsiString FProcessdFolder;
  AnsiString FUnzippedFolder;
  AnsiString FOutboundFolder;
  bool FRunning = false;
  TComponent* FZipOwner = nullptr;
  TCtlTimerPool** FTimerPool = nullptr;
};

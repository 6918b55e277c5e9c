#include "core/uSplitRequest.h"

#include "framework/base/uFileUtils.h"
#include "framework/base/uMessageDialog.h"
#include "framework/base/uStringUtils.h"
#include "platform/rtl/Resources.h"
#include "zip/service/uZipService.h"

namespace {

constexpr int SMustSpecifyCodes = 65155;
constexpr int SUnableToUnzip = 65170;
constexpr int SUnableToZip = 65171;
constexpr std::size_t kPasswordLength = 255;
constexpr const char* kSplitPrefix = "Split_";

// Takes the listed files away on a way out that did not get to delete them.
class TFilesCleanup {
public:
  explicit TFilesCleanup(const TStrings& Files) : FFiles(Files) {}
  ~TFilesCleanup() {
    if (FArmed) DeleteFiles(FFiles, false);
  }
  void Disarm() { FArmed = false; }

private:
  const TStrings& FFiles;
  bool FArmed = true;
};

bool ValidCode(const AnsiString& text, std::size_t width) {
  const AnsiString code = TrimBlanks(text);
  return code.size() <= width && IsAllDigits(code);
}

}  // namespace

TSplitRequest::TSplitRequest(TCtlCustomTextFileViewer& Viewer) : FViewer(Viewer) {
  SplitZipFile = [this](const AnsiString& Archive) { return SplitZipArchive(Archive); };
}

bool ValidAirlineCode(const AnsiString& Text) { return ValidCode(Text, 3); }
bool ValidAgentCode(const AnsiString& Text) { return ValidCode(Text, 7); }

void TSplitRequest::SetWorkingFolder(const AnsiString& Value) { FWorkingFolder = EnsureTrailingBackslash(Value); }
void TSplitRequest::SetProcessdFolder(const AnsiString& Value) { FProcessdFolder = EnsureTrailingBackslash(Value); }
void TSplitRequest::SetUnzippedFolder(const AnsiString& Value) { FUnzippedFolder = EnsureTrailingBackslash(Value); }
void TSplitRequest::SetOutboundFolder(const AnsiString& Value) { FOutboundFolder = EnsureTrailingBackslash(Value); }

void TSplitRequest::btnSplitHotClick(void* /*Sender*/) {
  if (FRunning) return;
  FRunning = true;
  struct TDone {
    bool& Flag;
    ~TDone() { Flag = false; }
  } done{FRunning};

  if (!BuildCodeLists()) return;
  TSplitFileDialog dialog;
  dialog.InitialDir = FWorkingFolder;
  if (!ChooseFiles || !ChooseFiles(dialog)) return;
  for (const AnsiString& file : dialog.Files) ProcessSelectedFile(file);
}

bool TSplitRequest::BuildCodeLists() {
  FSplitter.SetAirlineList(BuildCodeList(FTacnLines, ValidAirlineCode, 3));
  FSplitter.SetAgentList(BuildCodeList(FAgtnLines, ValidAgentCode, 7));
  if (FSplitter.AirlineList().empty() && FSplitter.AgentList().empty()) {
    ShowMessageDialog(LoadResString(SMustSpecifyCodes), TMsgDlgType::mtWarning, mbOKOnly, 0, mbOK, false);
    return false;
  }
  return true;
}

AnsiString TSplitRequest::BuildCodeList(const TStrings* Memo, bool (*Validator)(const AnsiString&), int Width) {
  AnsiString list;
  if (!Memo) return list;
  for (int i = 0; i < Memo->Count(); ++i) {
    const AnsiString code = TrimBlanks((*Memo)[i]);
    // An empty line names no code; it must not become a code of zeros.
    if (code.empty() || !Validator(code)) continue;
    list = AppendWithSeparator(list, LeftPadZeros(Str255(code), Width).Str(), "|", false, false, true);
  }
  return list;
}

void TSplitRequest::ProcessSelectedFile(const AnsiString& FileName) {
  AnsiString output;
  if (IsZipFile(FileName)) {
    if (!SplitZipFile) throw EInvalidOperation("Cannot split the archive %s: no zip road", {FileName});
    output = SplitZipFile(FileName);
  } else {
    output = FSplitter.SplitOneFile(FileName);
  }
  MoveFileChecked(FileName, FProcessdFolder + ExtractFilePart(FileName), true, true, false);
  MoveFileChecked(output, FOutboundFolder + ExtractFilePart(output), true, true, false);
}

AnsiString TSplitRequest::SplitZipArchive(const AnsiString& Archive) {
  const AnsiString output = EnsureTrailingBackslash(ExtractFolderPart(Archive)) + kSplitPrefix + ExtractFilePart(Archive);
  TStringList extracted;
  TStringList split;
  // The request stops here, before any move, so the archive stays where the user chose it.
  if (!UnzipFiles(FZipOwner, FTimerPool, Archive, FUnzippedFolder, extracted, false, "", nullptr))
    throw Exception(LoadResString(SUnableToUnzip), {Archive});
  TFilesCleanup cleanup(extracted);
  for (int i = 0; i < extracted.Count(); ++i) split.Add(FSplitter.SplitOneFile(extracted[i]));
  const bool zipped = ZipFiles(FZipOwner, FTimerPool, split, output, FZipPassword.substr(0, kPasswordLength), false,
                               "", false, false, false);
  if (zipped) DeleteFiles(split, true);
  cleanup.Disarm();
  DeleteFiles(extracted, true);
  if (!zipped) {
    // A part-written archive beside the input would pass for a finished one.
    DeleteOneFile(output, false);
    throw Exception(LoadResString(SUnableToZip), {output});
  }
  return output;
}

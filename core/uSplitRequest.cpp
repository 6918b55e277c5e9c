#include "core/uSplitRequest.h"

#include <map>
#include <utility>
#include <vector>

#include "framework/base/uFileUtils.h"
#include "framework/base/uMessageDialog.h"
#include "framework/base/uStringUtils.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Resources.h"
#include "zip/engine/ZpUnzipItem.h"
#include "zip/service/uZipService.h"

namespace {

constexpr int SMustSpecifyCodes = 65155;
constexpr int SUnableToUnzip = 65170;
constexpr int SUnableToZip = 65171;
constexpr std::size_t kPasswordLength = 255;
constexpr const char* kSplitPrefix = "Split_";

constexpr const char* kOutputTaken = "%s was not split: %s already exists and would be overwritten";
constexpr const char* kMembersClash =
    "The archive %s was not split: its members %s and %s would land on one file name in %s";
constexpr const char* kUnzippedTaken = "The archive %s was not split: %s already holds %s";

// Takes what the ZIP road wrote into "Unzipped" away again on a way out that did not.
class TFilesCleanup {
public:
  TFilesCleanup(const TStrings& Landing, const TStrings& Extracted, const TStrings& Split)
      : FLists{&Landing, &Extracted, &Split} {}
  ~TFilesCleanup() {
    if (!FArmed) return;
    for (const TStrings* list : FLists)
      for (int i = 0; i < list->Count(); ++i) DeleteOneFile((*list)[i], false);
  }
  void Disarm() { FArmed = false; }

private:
  const TStrings* FLists[3];
  bool FArmed = true;
};

bool PathTaken(const AnsiString& Path) { return FileExists(Path) || DirectoryExists(Path); }

// A split never overwrites a file this request did not write.
void CheckOutputFree(const AnsiString& Input) {
  const AnsiString output = SplitOutputName(Input);
  if (PathTaken(output)) throw EHotFileError(kOutputTaken, {Input, output});
}

// The members' names as they land in a folder (paths are not restored); an archive that cannot
// be listed gives none, and the unzip that follows reports it.
std::vector<std::pair<AnsiString, AnsiString>> LandingNames(const AnsiString& Archive) {
  std::vector<std::pair<AnsiString, AnsiString>> names;
  try {
    TZpZipKit kit(nullptr);
    kit.SetReadOnly(true);
    if (!OpenZipFile(kit, Archive, false, "")) return names;
    for (int i = 0; i < kit.Count(); ++i) {
      const TZpArchiveItem* item = kit.Items(i);
      const AnsiString bare = ExtractFilePart(ZpSafeExtractName(item->FileName()));
      if (!item->IsDirectory() && !bare.empty()) names.emplace_back(bare, item->FileName());
    }
  } catch (const Exception&) {
    names.clear();
  }
  return names;
}

// Every member and its split must get a file of its own in "Unzipped", one that was not there
// before: otherwise one member's data would overwrite another's, or a file of the user's. Landing
// gets those files, so that whatever of them exists after a failure is known to be ours.
void CheckMembersLandApart(const AnsiString& Archive, const AnsiString& Folder, TStrings& Landing) {
  std::map<AnsiString, AnsiString> owner;  // file name in Folder -> the member that writes it
  for (const auto& [bare, member] : LandingNames(Archive)) {
    for (const AnsiString& name : {bare, AnsiString(kSplitPrefix) + bare}) {
      const auto [it, fresh] = owner.emplace(name, member);
      if (!fresh) throw EHotFileError(kMembersClash, {Archive, it->second, member, Folder});
      if (PathTaken(Folder + name)) throw EHotFileError(kUnzippedTaken, {Archive, Folder, name});
      Landing.Add(Folder + name);
    }
  }
}

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
  for (const AnsiString& file : dialog.Files) CheckOutputFree(file);
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
  CheckOutputFree(FileName);
  AnsiString output;
  if (IsZipFile(FileName)) {
    if (!SplitZipFile) throw EInvalidOperation("Cannot split the archive %s: no zip road", {FileName});
    output = SplitZipFile(FileName);
  } else {
    output = FSplitter.SplitOneFile(FileName);
  }
  try {
    MoveFileChecked(FileName, FProcessdFolder + ExtractFilePart(FileName), true, true, false);
  } catch (...) {
    // The input stays in "Working"; its result, written by this request, goes again, so that
    // the next try does not find it in the way.
    DeleteOneFile(output, false);
    throw;
  }
  MoveFileChecked(output, FOutboundFolder + ExtractFilePart(output), true, true, false);
}

AnsiString TSplitRequest::SplitZipArchive(const AnsiString& Archive) {
  const AnsiString output = SplitOutputName(Archive);
  TStringList landing;
  CheckMembersLandApart(Archive, FUnzippedFolder, landing);
  TStringList extracted;
  TStringList split;
  TFilesCleanup cleanup(landing, extracted, split);
  // The request stops here, before any move, so the archive stays where the user chose it.
  if (!UnzipFiles(FZipOwner, FTimerPool, Archive, FUnzippedFolder, extracted, false, "", nullptr))
    throw Exception(LoadResString(SUnableToUnzip), {Archive});
  for (int i = 0; i < extracted.Count(); ++i) {
    // Listed before it is written, so that a split cut short goes too.
    split.Add(SplitOutputName(extracted[i]));
    FSplitter.SplitOneFile(extracted[i]);
  }
  const bool zipped = ZipFiles(FZipOwner, FTimerPool, split, output, FZipPassword.substr(0, kPasswordLength), false,
                               "", false, false, false);
  if (!zipped) {
    // A part-written archive beside the input would pass for a finished one.
    DeleteOneFile(output, false);
    throw Exception(LoadResString(SUnableToZip), {output});
  }
  DeleteFiles(split, true);
  DeleteFiles(extracted, true);
  cleanup.Disarm();
  return output;
}

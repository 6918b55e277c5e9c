#include "zip/service/uZipJob.h"

#include "framework/base/uFileUtils.h"
#include "framework/base/uMessageDialog.h"
#include "framework/base/uStringUtils.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Resources.h"
#include "platform/rtl/WholeFiles.h"
#include "platform/classlib/Forms.h"
#include "zip/engine/ZpUnzipItem.h"
#include "zip/engine/ZpUtils.h"

namespace {

constexpr const char* kCompletedAdding = "Completed Adding Files";
constexpr const char* kCompleted = "Completed";
constexpr const char* kLogHeader = "List of files that were unable to be zipped in %s:";
constexpr const char* kLogLine = "Zip error adding: %s class=%s code=%d";
constexpr std::size_t kPasswordLength = 255;
constexpr int kVolumeDigits = 3;

void LetMessagesRun() { Application().ProcessMessages(); }

AnsiString Formatted(const AnsiString& fmt, std::initializer_list<TVarRec> args) {
  AnsiString text;
  SafeFormat(text, fmt, args);
  return text;
}

void Warn(int id, const AnsiString& name) {
  ShowMessageDialog(Formatted(LoadResString(id), {name}), TMsgDlgType::mtWarning, mbOKOnly);
}

bool NeedsData(TZpArchiveAction a) { return a == aaAdd || a == aaFreshen || a == aaReplace || a == aaStreamAdd; }

}  // namespace

AnsiString ZipErrorClassName(int ErrorClass) {
  switch (ErrorClass) {
    case ecZpEngineError: return "Zip Engine Error";
    case ecZpInOutError: return "In/Out Error";
    case ecZpFilerError: return "Filer Error";
    case ecZpFileCreateError: return "File Create Error";
    case ecZpFileOpenError: return "File Open Error";
    case ecZpOtherError: return "Other Error";
    default: return "";
  }
}

bool NextZipVolumeName(const AnsiString& ZipName, AnsiString& NextName) {
  const AnsiString base = ExtractBaseName(ZipName);
  const std::size_t n = base.size();
  if (n <= 3 || base[n - 4] != '_') return false;
  const AnsiString digits = base.substr(n - 3);
  if (!IsAllDigits(digits)) return false;
  AnsiString number = std::to_string(std::stoi(digits) + 1);
  while (number.size() < std::size_t(kVolumeDigits)) number.insert(0, "0");
  NextName = EnsureTrailingBackslash(ExtractFolderPart(ZipName)) + base.substr(0, n - 3) + number + ".ZIP";
  return true;
}

bool OpenZipFile(TZpZipKit& Kit, const AnsiString& ZipName, bool ShowMessages, const AnsiString& Password) {
  try {
    Kit.SetPassword(Password);
    Kit.SetFileName(ZipName);
    // A read-only kit makes nothing for a missing name: as good as an empty archive.
    if (!Kit.IsOpen()) throw EZpFileNotFound();
  } catch (const EZpFileNotFound&) {
    if (ShowMessages) Warn(ZipServiceText::ZipIsEmpty, ZipName);
    return false;
  } catch (const EReadError&) {
    if (ShowMessages) Warn(ZipServiceText::CorruptedZip, ZipName);
    return false;
  } catch (const EZpReadError&) {
    if (ShowMessages) Warn(ZipServiceText::CorruptedZip, ZipName);
    return false;
  }
  return true;
}

int ZipItemCount(TComponent* Owner, const AnsiString& ZipName) {
  auto kit = std::make_unique<TZpZipKit>(Owner);
  kit->SetReadOnly(true);
  int count = 0;
  if (OpenZipFile(*kit, ZipName, false, "")) count = kit->Count();
  kit->CloseArchive();
  return count;
}

TZipJob::TZipJob() : FKit(std::make_unique<TZpZipKit>(nullptr)) {
  // Two items differing only in letter case are two files here.
  FWritten.SetCaseSensitive(true);
  FKit->SetAutoSave(false);
  FKit->SetDOSMode(false);
  FKit->SetExtractOptions(0);
  FKit->SetPasswordRetries(2);
  FKit->SetStoreOptions(soStripDrive | soStripPath | soRemoveDots);
  FKit->SetMaxZipFileSizeInMb(ZipMaxSizeInMb);
  WireKit();
}

TZipJob::~TZipJob() {
  try {
    FKit->CloseArchive();
  } catch (...) {
  }
}

void TZipJob::WireKit() {
  FKit->OnArchiveItemProgress = [this](TComponent*, TZpArchiveItem* item, uint8_t, bool&) {
    if (item) SetStatus(item->FileName());
    LetMessagesRun();
  };
  FKit->OnSave = [this](TComponent*) {
    SetStatus(kCompleted);
    LetMessagesRun();
  };
  FKit->OnConfirmOverwrite = [](AnsiString&, bool& confirm) { confirm = true; };
  // An encrypted item whose password is wrong is not extracted: no second guess is offered.
  FKit->OnNeedPassword = [](TComponent*, AnsiString& password) { password.clear(); };
  FKit->OnConfirmProcessItem = [this](TComponent*, TZpArchiveItem* item, TZpProcessType type, bool& confirm) {
    confirm = true;
    if (type == ptExtract && item) FConfirmedItem = item->FileName();
  };
  FKit->OnProcessItemFailure = [this](TComponent*, TZpArchiveItem* item, TZpProcessType type, TZpErrorClass cls,
                                      int code) { ItemFailure(item, type, cls, code); };
}

void TZipJob::SetStatus(const AnsiString& text) {
  if (OnStatus) OnStatus(text);
}

int TZipJob::Run() { return IsUnzip ? RunUnzip() : RunZip(); }

void TZipJob::ItemFailure(TZpArchiveItem* Item, TZpProcessType ProcessType, TZpErrorClass ErrorClass, int ErrorCode) {
  const AnsiString name = Item ? Item->FileName() : AnsiString();
  if (ProcessType == ptExtract) {
    if (FFirstFailedItem.empty()) FFirstFailedItem = name.empty() ? AnsiString("?") : name;
    FFailed.insert(name);
    return;
  }
  if (ProcessType != ptAdd) return;
  if (ErrorClass == ecZpFileOpenError && ErrorCode > 1) {
    // The size cap: this item and every later one with new data were left out of the save.
    NextVolumeFiles.Clear();
    for (int i = ErrorCode - 1; i < FKit->Count(); ++i) {
      TZpArchiveItem* left = FKit->Items(i);
      if (NeedsData(left->Action())) NextVolumeFiles.Add(left->DiskFileName());
    }
    return;
  }
  FAddFailed = true;
  if (!ErrorLogName.empty()) {
    AppendLogLine(ErrorLogName, Formatted(kLogLine, {name, ZipErrorClassName(ErrorClass), ErrorCode}));
    ErrorsLogged = true;
  }
}

AnsiString TZipJob::TargetFile(const AnsiString& StoredName) const {
  const AnsiString safe = ZpSafeExtractName(StoredName);
  return EnsureTrailingBackslash(TargetDir) + (RestorePaths ? safe : ExtractFilePart(safe));
}

bool TZipJob::ArchiveHasName(const AnsiString& UpperBareName) const {
  for (int i = 0; i < FKit->Count(); ++i)
    if (UpperCase(ExtractFilePart(ZpForwardSlashes(FKit->Items(i)->FileName()))) == UpperBareName) return true;
  return false;
}

int TZipJob::ExtractCounted(const AnsiString& Mask) {
  // Items are confirmed in archive order; only those are looked at afterwards.
  std::vector<TZpArchiveItem*> confirmed;
  auto note = FKit->OnConfirmProcessItem;
  FKit->OnConfirmProcessItem = [&](TComponent* s, TZpArchiveItem* item, TZpProcessType type, bool& confirm) {
    note(s, item, type, confirm);
    if (type == ptExtract && item && confirm) confirmed.push_back(item);
  };
  try {
    FKit->ExtractByMask(Mask);
  } catch (...) {
    FKit->OnConfirmProcessItem = note;
    throw;
  }
  FKit->OnConfirmProcessItem = note;
  int written = 0;
  for (TZpArchiveItem* item : confirmed) {
    const AnsiString stored = item->FileName();
    if (item->IsDirectory() || FFailed.count(stored)) continue;
    ++written;
    const AnsiString target = TargetFile(stored);
    if (FWrittenSet.insert(target).second) FWritten.Add(target);
  }
  return written;
}

int TZipJob::FailUnzip() {
  for (int i = 0; i < FWritten.Count(); ++i) DeleteOneFile(FWritten[i], false);
  FWritten.Clear();
  FWrittenSet.clear();
  ShowMessageDialog(Formatted(LoadResString(ZipServiceText::ItemNotUnzipped), {FFirstFailedItem, ZipName}),
                    TMsgDlgType::mtWarning, mbOKOnly);
  return mrCancel;
}

int TZipJob::RunUnzip() {
  SetStatus(Formatted(LoadResString(ZipServiceText::Unzipping), {ZipName}));
  LetMessagesRun();
  if (!FileExists(ZipName)) {
    Warn(ZipServiceText::NoZipToUnzip, ZipName);
    return mrCancel;
  }
  FKit->SetPassword(Password.substr(0, kPasswordLength));
  FKit->SetBaseDirectory(TargetDir);
  FKit->SetSpanningThreshold(ZipSpanningThreshold);
  // Reading never changes the archive.
  FKit->SetReadOnly(true);
  if (ZipItemCount(nullptr, ZipName) == 0) {
    Warn(ZipServiceText::ZipIsEmpty, ZipName);
    return mrCancel;
  }
  if (!OpenZipFile(*FKit, ZipName, true, Password.substr(0, kPasswordLength))) return mrCancel;

  FFailed.clear();
  FFirstFailedItem.clear();
  FWritten.Clear();
  FWrittenSet.clear();
  if (RestorePaths) FKit->SetExtractOptions(FKit->ExtractOptions() | eoCreateDirs | eoRestorePath);
  if (JobFiles.Count() == 0) {
    if (Filter) {
      for (int i = 0; i < FKit->Count(); ++i) {
        TZpArchiveItem* item = FKit->Items(i);
        if (item->IsDirectory()) continue;
        const AnsiString bare = ExtractFilePart(ZpForwardSlashes(item->FileName()));
        if (Filter(EnsureTrailingBackslash(TargetDir) + bare)) ExtractCounted(bare);
      }
    } else {
      ExtractCounted("*.*");
    }
    FKit->CloseArchive();
    if (!FFailed.empty()) return FailUnzip();
    JobFiles.Assign(FWritten);
    return mrOk;
  }

  // Only what this run wrote counts; an older file of the same name does not.
  bool allWritten = true;
  for (int i = 0; i < JobFiles.Count(); ++i)
    if (ExtractCounted(ExtractFilePart(JobFiles[i])) == 0) allWritten = false;
  FKit->CloseArchive();
  if (!FFailed.empty()) return FailUnzip();
  return allWritten ? mrOk : mrCancel;
}

int TZipJob::RunZip() {
  SetStatus(Formatted(LoadResString(ZipServiceText::Zipping), {ZipName}));
  LetMessagesRun();
  // A new archive is built under a temporary name and replaces an old one only when saved whole,
  // so that a full disk or a killed process never leaves a short archive under the real name.
  std::unique_ptr<TTempBeside> temp;
  if (!Append) {
    if (DirectoryExists(ZipName)) {
      ShowMessageDialog(Formatted(LoadResString(ZipServiceText::CannotDeleteOld), {ZipName}),
                        TMsgDlgType::mtError, mbOKOnly);
      return mrCancel;
    }
    try {
      temp = std::make_unique<TTempBeside>(ZipName);
    } catch (const EInOutError& e) {
      ShowMessageDialog(e.Message(), TMsgDlgType::mtError, mbOKOnly);
      return mrCancel;
    }
  }
  const AnsiString file = temp ? temp->Name() : ZipName;
  // Dots are taken out of stored names so that no item can point outside its folder.
  FKit->SetStoreOptions(soStripDrive | soRemoveDots);
  if (FileExists(file) && ZipItemCount(nullptr, file) == 0) DeleteOneFile(file, true);
  FKit->SetBaseDirectory(BaseDir);

  if (!BaseDir.empty()) {
    const AnsiString upperBase = UpperCase(BaseDir);
    for (int i = 0; i < JobFiles.Count(); ++i)
      if (UpperCase(JobFiles[i]).rfind(upperBase, 0) == 0) JobFiles.SetStrings(i, JobFiles[i].substr(BaseDir.size()));
  }

  if (!OpenZipFile(*FKit, file, true, Password.substr(0, kPasswordLength))) return mrCancel;

  TZpStoreOptions options = FKit->StoreOptions();
  if (Recurse) options |= soRecurse;
  if (Recurse || KeepPaths) options &= TZpStoreOptions(~soStripPath);
  else options |= soStripPath;
  if (Freshen) {
    FKit->SetBaseDirectory(ExtractFolderPart(JobFiles.Count() ? JobFiles[0] : AnsiString()));
    options |= soFreshen;
  } else {
    options &= TZpStoreOptions(~soFreshen);
  }
  if (Replace) options |= soReplace;
  else options &= TZpStoreOptions(~soReplace);
  FKit->SetStoreOptions(options);

  FAddFailed = false;
  NextVolumeFiles.Clear();
  AddedFiles.Clear();
  for (int i = 0; i < JobFiles.Count(); ++i) {
    const AnsiString entry = JobFiles[i];
    const AnsiString bare = ExtractFilePart(entry);
    if (HasWildcards(entry)) {
      if (Freshen) FKit->FreshenByMask(bare);
      else FKit->AddFilesByMask(entry, 0);
      continue;
    }
    // An entry made relative to the base folder is found there.
    const bool relative = !entry.empty() && entry[0] != PathDelim && !BaseDir.empty();
    if (!FileExists(entry) && !(relative && FileExists(EnsureTrailingBackslash(BaseDir) + entry))) continue;
    // A new file is added from where it lies, not from the first file's folder.
    if (Freshen && ArchiveHasName(UpperCase(bare))) FKit->FreshenByMask(bare);
    else FKit->AddFilesByMask(entry, 0);
    AddedFiles.Add(entry);
  }

  if (!ErrorLogName.empty()) {
    // The log goes in last, so it holds the failures of every item before it.
    AppendLogLine(ErrorLogName, Formatted(kLogHeader, {ExtractFilePart(ZipName)}));
    FKit->AddFilesByMask(ErrorLogName, 0);
  }

  SetStatus(kCompletedAdding);
  LetMessagesRun();
  FKit->SaveArchive();
  FKit->CloseArchive();
  // Saved whole: the archive stands even when an item failed, with the log that names it.
  if (temp) {
    try {
      temp->Commit();
    } catch (const EInOutError& e) {
      ShowMessageDialog(e.Message(), TMsgDlgType::mtError, mbOKOnly);
      return mrCancel;
    }
  }
  return FAddFailed ? mrCancel : mrOk;
}

#include "zip/engine/ZpArchive.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/rtl/DateTime.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/WholeFiles.h"
#include "zip/engine/ZpStringResource.h"

namespace {

AnsiString NowText() {
  int y, mo, d, h, mi, s, ms;
  TDateTime now = Now();
  DecodeDate(now, y, mo, d);
  DecodeTime(now, h, mi, s, ms);
  return Format("%d/%d/%d %d:%.2d:%.2d", {mo, d, y, h, mi, s});
}

// Restores the current folder on every way out of a search.
class TCurrentDirGuard {
public:
  explicit TCurrentDirGuard(const AnsiString& dir) : FSaved(GetCurrentDir()) {
    if (!dir.empty()) SetCurrentDir(dir);
  }
  ~TCurrentDirGuard() { SetCurrentDir(FSaved); }

private:
  AnsiString FSaved;
};

// Leaves a state on every way out: the busy state, an extraction run.
class TBusyGuard {
public:
  TBusyGuard(std::function<void()> enter, std::function<void()> leave) : FLeave(std::move(leave)) { enter(); }
  ~TBusyGuard() { FLeave(); }

private:
  std::function<void()> FLeave;
};

}  // namespace

bool TZpArchiveItem::IsDirectory() const {
  AnsiString n = FileName();
  return !n.empty() && (n.back() == '/' || n.back() == '\\');
}

unsigned TZpArchiveList::Bucket(const AnsiString& name) {
  uint32_t h = 0;
  for (unsigned char c : AnsiUpperCase(name)) {
    h = (h << 4) + c;
    uint32_t g = h & 0xF0000000u;
    if (g) h ^= g >> 24;
    h &= ~g;
  }
  return h % BucketCount;
}

int TZpArchiveList::Add(std::unique_ptr<TZpArchiveItem> item) {
  item->FSequence = FNextSequence++;
  Link(item.get());
  FItems.push_back(std::move(item));
  return Count() - 1;
}

void TZpArchiveList::Link(TZpArchiveItem* item) {
  unsigned b = Bucket(item->FileName());
  item->FNextItem = FBuckets[b];
  item->FBucket = int(b);
  FBuckets[b] = item;
}

void TZpArchiveList::Unlink(TZpArchiveItem* item) {
  if (item->FBucket < 0) return;
  for (TZpArchiveItem** p = &FBuckets[std::size_t(item->FBucket)]; *p; p = &(*p)->FNextItem) {
    if (*p == item) {
      *p = item->FNextItem;
      break;
    }
  }
  item->FNextItem = nullptr;
  item->FBucket = -1;
}

void TZpArchiveList::Relink(TZpArchiveItem* item) {
  Unlink(item);
  Link(item);
}

void TZpArchiveList::Delete(int index) {
  TZpArchiveItem* item = Items(index);
  Unlink(item);
  FItems.erase(FItems.begin() + index);
}

void TZpArchiveList::Clear() {
  FItems.clear();
  std::fill(FBuckets.begin(), FBuckets.end(), nullptr);
}

int TZpArchiveList::IndexOf(const TZpArchiveItem* item) const {
  // Items stay in the order they were added, so their sequence numbers ascend.
  auto at = std::lower_bound(FItems.begin(), FItems.end(), item->FSequence,
                             [](const std::unique_ptr<TZpArchiveItem>& i, uint64_t seq) { return i->FSequence < seq; });
  return at != FItems.end() && at->get() == item ? int(at - FItems.begin()) : -1;
}

int TZpArchiveList::FindFirst(const AnsiString& name, bool activeOnly, const TZpArchiveItem* except) const {
  const TZpArchiveItem* first = nullptr;
  for (const TZpArchiveItem* p = FBuckets[Bucket(name)]; p; p = p->FNextItem) {
    if (p == except || (activeOnly && p->Action() == aaDelete)) continue;
    if (first && p->FSequence > first->FSequence) continue;
    if (AnsiCompareText(p->FileName(), name) == 0) first = p;
  }
  return first ? IndexOf(first) : -1;
}

int TZpArchiveList::Find(const AnsiString& name) const { return FindFirst(name, false, nullptr); }

int TZpArchiveList::FindActive(const AnsiString& name, const TZpArchiveItem* except) const {
  return FindFirst(name, true, except);
}

TZpArchive::TZpArchive(const AnsiString& fileName, uint32_t mode) : FArchiveName(fileName) {
  FStream = std::make_unique<TFileStream>(fileName, mode);
  FBaseDirectory = ExcludeTrailingPathDelimiter(ExtractFilePath(ParamStr(0)));
  FStatus = asIdle;
}

TZpArchive::~TZpArchive() = default;

void TZpArchive::CheckValid() const {
  if (FStatus == asInvalid) throw EZpNoArchive();
}

void TZpArchive::Busy() {
  FPadLock.Lock(true);
  FStatus = asBusy;
}

void TZpArchive::NotBusy() {
  if (FStatus == asBusy) FStatus = asIdle;
  FPadLock.Lock(false);
}

void TZpArchive::SetBaseDirectory(const AnsiString& dir) {
  // An empty folder means no base folder at all.
  if (dir.empty()) {
    FBaseDirectory.clear();
    return;
  }
  AnsiString d = dir.size() > 1 ? ExcludeTrailingPathDelimiter(dir) : dir;
  if (!DirectoryExists(d)) throw EZpNoSuchDirectory();
  FBaseDirectory = d;
}

void TZpArchive::SetLogging(bool on) {
  FLogging = on;
  FLogStream.reset();
  if (!on || FLogFile.empty()) return;
  try {
    FLogStream = std::make_unique<TFileStream>(FLogFile, fmCreate);
    WriteLogLine(FArchiveName + ZpStringById(ZpText::LogLogging) + NowText());
  } catch (const EZpException&) {
    throw;
  } catch (const std::exception&) {
    FLogStream.reset();
    throw EZpBadStream();
  }
}

void TZpArchive::WriteLogLine(const AnsiString& line) {
  if (!FLogStream) return;
  AnsiString s = line + "\r\n";
  FLogStream->WriteBuffer(s.data(), int64_t(s.size()));
}

void TZpArchive::DoProcessItemFailure(TZpArchiveItem* item, TZpProcessType type, TZpErrorClass cls, int code) {
  if (OnProcessItemFailure) OnProcessItemFailure(*this, item, type, cls, code);
}

void TZpArchive::DoArchiveProgress(uint8_t progress, bool& abort) {
  abort = false;
  if (OnArchiveProgress) OnArchiveProgress(*this, progress, abort);
}

void TZpArchive::DoArchiveItemProgress(TZpArchiveItem* item, uint8_t progress, bool& abort) {
  abort = false;
  if (OnArchiveItemProgress) OnArchiveItemProgress(*this, item, progress, abort);
}

bool TZpArchive::DoConfirmProcessItem(TZpArchiveItem* item, TZpProcessType type) {
  bool confirm = true;
  if (OnConfirmProcessItem) OnConfirmProcessItem(*this, item, type, confirm);
  if (confirm && FLogging && FLogStream) {
    static const int words[] = {ZpText::LogAdded, ZpText::LogDeleted, ZpText::LogExtracted,
                                ZpText::LogFreshened, ZpText::LogMoved, ZpText::LogReplaced};
    WriteLogLine((item ? item->FileName() : AnsiString()) + ZpStringById(words[type]) + NowText());
  }
  return confirm;
}

bool TZpArchive::DoConfirmOverwrite(AnsiString& name) {
  bool confirm = true;
  if (OnConfirmOverwrite) OnConfirmOverwrite(name, confirm);
  return confirm;
}

AnsiString TZpArchive::MakeStoredName(const AnsiString& fileName) const { return fileName; }

void TZpArchive::Add(std::unique_ptr<TZpArchiveItem> item) {
  CheckValid();
  if (int at = FItemList.FindActive(item->FileName()); at >= 0) {
    if (FStoreOptions & soFreshen) {
      Freshen(Items(at));
    } else if (FStoreOptions & soReplace) {
      Replace(Items(at));
    } else {
      DoProcessItemFailure(item.get(), ptAdd, ecZpEngineError, ZpText::DuplicateName);
    }
    return;
  }
  if (!DoConfirmProcessItem(item.get(), ptAdd)) return;
  item->SetAction(aaAdd);
  FItemList.Add(std::move(item));
  FIsDirty = true;
  if (FAutoSave) Save();
}

void TZpArchive::AddOneFile(const AnsiString& fileName) {
  if (ExpandFileName(fileName) == ExpandFileName(FArchiveName)) return;
  Add(NewItem(fileName));
}

void TZpArchive::AddFiles(const AnsiString& mask, int searchAttr) { AddFilesEx(mask, "", searchAttr); }

void TZpArchive::AddFilesEx(const AnsiString& mask, const AnsiString& exclusionMask, int searchAttr) {
  CheckValid();
  TStringList files;
  bool relative = ZpPathType(mask) != 2;
  {
    TCurrentDirGuard guard(relative ? FBaseDirectory : AnsiString());
    if (!ZpHasWildcards(mask)) {
      if (FileExists(mask)) files.Add(mask);
    } else {
      ZpFindFiles(mask, searchAttr & ~faDirectory, files, (FStoreOptions & soRecurse) != 0);
    }
  }
  for (int i = 0; i < files.Count(); ++i) {
    AnsiString f = files[i];
    if (!exclusionMask.empty() && ZpMatchWildcard(f, exclusionMask)) continue;
    AnsiString full = relative && !FBaseDirectory.empty() ? ZpAddTrailingDelimiter(FBaseDirectory) + f : f;
    AddOneFile(relative ? f : full);
  }
}

void TZpArchive::DeleteAt(int index) {
  CheckValid();
  TZpArchiveItem* item = Items(index);
  if (!DoConfirmProcessItem(item, ptDelete)) return;
  item->SetAction(aaDelete);
  FIsDirty = true;
  if (FAutoSave) Save();
}

void TZpArchive::DeleteFiles(const AnsiString& mask) {
  CheckValid();
  for (int i = Count() - 1; i >= 0; --i)
    if (MatchItem(Items(i), mask)) DeleteAt(i);
}

AnsiString TZpArchive::ItemDiskFileName(TZpArchiveItem* item) const {
  AnsiString stored = ZpForwardSlashes(item->FileName());
  if ((FStoreOptions & soRecurse) && stored.find('/') == AnsiString::npos) {
    TStringList found;
    AnsiString root = FBaseDirectory.empty() ? AnsiString(".") : FBaseDirectory;
    ZpFindFiles(ZpAddTrailingDelimiter(root) + stored, faAnyFile & ~faDirectory, found, true);
    if (found.Count() == 0) return item->DiskFileName();
    return found[0];
  }
  if (FBaseDirectory.empty()) return stored;
  return ZpAddTrailingDelimiter(FBaseDirectory) + stored;
}

void TZpArchive::FreshenAt(int index) { Freshen(Items(index)); }

void TZpArchive::Freshen(TZpArchiveItem* item) {
  CheckValid();
  if (item->Action() != aaUnchanged) Save();
  bool newer = false;
  {
    TBusyGuard busy([this] { Busy(); }, [this] { NotBusy(); });
    try {
      item->SetDiskFileName(ItemDiskFileName(item));
      int32_t age = FileAge(item->DiskFileName());
      if (age == -1) throw EZpFileNotFound();
      newer = uint16_t(age >> 16) != item->LastModFileDate() || uint16_t(age & 0xFFFF) != item->LastModFileTime();
    } catch (...) {
      TZpErrorClass cls;
      int code;
      ZpConvertCurrentException(cls, code);
      DoProcessItemFailure(item, ptFreshen, cls, code);
      newer = false;
    }
  }
  if (newer && DoConfirmProcessItem(item, ptFreshen)) {
    item->SetAction(aaFreshen);
    FIsDirty = true;
    if (FAutoSave) Save();
  }
}

void TZpArchive::FreshenFiles(const AnsiString& mask) { FreshenFilesEx(mask, ""); }

void TZpArchive::FreshenFilesEx(const AnsiString& mask, const AnsiString& exclusionMask) {
  CheckValid();
  for (int i = Count() - 1; i >= 0; --i) {
    TZpArchiveItem* item = Items(i);
    if (MatchItem(item, mask) && (exclusionMask.empty() || !MatchItem(item, exclusionMask))) Freshen(item);
  }
}

void TZpArchive::Replace(TZpArchiveItem* item) {
  CheckValid();
  if (!DoConfirmProcessItem(item, ptReplace)) return;
  item->SetDiskFileName(ItemDiskFileName(item));
  item->SetAction(aaReplace);
  FIsDirty = true;
  if (FAutoSave) Save();
}

void TZpArchive::ReplaceAt(int index) { Replace(Items(index)); }

void TZpArchive::Move(TZpArchiveItem* item, const AnsiString& newStoredName) {
  CheckValid();
  AnsiString stored = MakeStoredName(newStoredName);
  if (FItemList.FindActive(stored, item) >= 0) {
    DoProcessItemFailure(item, ptMove, ecZpEngineError, ZpText::DuplicateName);
    return;
  }
  if (!DoConfirmProcessItem(item, ptMove)) return;
  item->SetFileName(stored);
  FItemList.Relink(item);
  item->SetAction(aaMove);
  FIsDirty = true;
  if (FAutoSave) Save();
}

void TZpArchive::ExtractAt(int index, const AnsiString& newName) {
  CheckValid();
  TZpArchiveItem* item = Items(index);
  if (item->Action() != aaUnchanged) Save();
  TBusyGuard busy([this] { Busy(); }, [this] { NotBusy(); });
  if (!DoConfirmProcessItem(item, ptExtract)) return;
  AnsiString name = newName.empty() ? item->FileName() : newName;
  FCurrentItem = item;
  TBusyGuard run([this] { ++FExtractRuns; }, [this] { EndExtractRun(); });
  try {
    ExtractItemToFile(item, name);
  } catch (...) {
    TZpErrorClass cls;
    int code;
    ZpConvertCurrentException(cls, code);
    DoProcessItemFailure(item, ptExtract, cls, code);
  }
}

void TZpArchive::TestItemAt(int index) {
  CheckValid();
  TZpArchiveItem* item = Items(index);
  TBusyGuard busy([this] { Busy(); }, [this] { NotBusy(); });
  FCurrentItem = item;
  try {
    TestItem(item);
  } catch (...) {
    TZpErrorClass cls;
    int code;
    ZpConvertCurrentException(cls, code);
    DoProcessItemFailure(item, ptExtract, cls, code);
  }
}

void TZpArchive::ExtractFiles(const AnsiString& mask) { ExtractFilesEx(mask, ""); }

void TZpArchive::ExtractFilesEx(const AnsiString& mask, const AnsiString& exclusionMask) {
  CheckValid();
  TBusyGuard run([this] { ++FExtractRuns; }, [this] { EndExtractRun(); });
  int total = Count();
  for (int i = 0; i < Count(); ++i) {
    TZpArchiveItem* item = Items(i);
    if (MatchItem(item, mask) && (exclusionMask.empty() || !MatchItem(item, exclusionMask))) ExtractAt(i, "");
    bool abort = false;
    DoArchiveProgress(ZpPercentage(i + 1, total), abort);
    if (abort) throw EZpUserAbort();
  }
  bool abort = false;
  DoArchiveProgress(100, abort);
}

void TZpArchive::SyncFolderLater(const AnsiString& folder) {
  if (FExtractRuns > 0) FFoldersToSync.insert(folder);
  else SyncFolder(folder);
}

namespace {

// Folders an extraction keeps the names of, and of those, the ones it keeps a handle open on;
// past that, the others are asked file by file, or go by their paths.
constexpr std::size_t FollowedFolderLimit = 4096;
constexpr std::size_t FolderHandleLimit = 64;

// Whether the folder open in fd holds nothing.
bool FolderIsEmpty(int fd) {
  const int own = ::dup(fd);
  DIR* dir = own >= 0 ? ::fdopendir(own) : nullptr;
  if (!dir) {
    if (own >= 0) ::close(own);
    return false;
  }
  bool empty = true;
  while (const dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
      empty = false;
      break;
    }
  }
  ::closedir(dir);
  return empty;
}

}  // namespace

bool TZpArchive::KnownAbsent(const AnsiString& folder, const AnsiString& name, int* handle) {
  *handle = -1;
  if (FExtractRuns <= 0) return false;
  auto it = FFolderNames.find(folder);
  if (it == FFolderNames.end()) {
    if (FFolderNames.size() >= FollowedFolderLimit) return false;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // A folder not there yet is looked at again once it is made.
    if (fd < 0) return false;
    TFolderNames names;
    names.Known = FolderIsEmpty(fd);
    if (names.Known && FFolderNames.size() < FolderHandleLimit) names.Handle = fd;
    else ::close(fd);
    it = FFolderNames.emplace(folder, std::move(names)).first;
  }
  if (!it->second.Known || it->second.Names.count(name) != 0) return false;
  *handle = it->second.Handle;
  return true;
}

void TZpArchive::NoteWritten(const AnsiString& folder, const AnsiString& name) {
  auto it = FFolderNames.find(folder);
  if (it != FFolderNames.end() && it->second.Known) it->second.Names.insert(name);
}

void TZpArchive::EndExtractRun() {
  if (--FExtractRuns > 0) return;
  for (const AnsiString& folder : FFoldersToSync) SyncFolder(folder);
  FFoldersToSync.clear();
  for (auto& [folder, names] : FFolderNames)
    if (names.Handle >= 0) ::close(names.Handle);
  FFolderNames.clear();
}

bool TZpArchive::MatchItem(TZpArchiveItem* item, const AnsiString& mask) const {
  AnsiString m = ZpStripDrive(ZpForwardSlashes(mask));
  return ZpMatchWildcard(ZpForwardSlashes(item->FileName()), m);
}

void TZpArchive::Load() {
  CheckValid();
  TBusyGuard busy([this] { Busy(); }, [this] { NotBusy(); });
  try {
    LoadArchive();
  } catch (...) {
    FStatus = asInvalid;
    throw;
  }
  FStatus = asBusy;
  FIsDirty = false;
  if (OnLoad) OnLoad(*this);
}

void TZpArchive::Save() {
  CheckValid();
  if (FStatus != asIdle) return;
  if (!FIsDirty && Count() != 0) return;
  TBusyGuard busy([this] { Busy(); }, [this] { NotBusy(); });
  bool confirm = true;
  if (OnConfirmSave) OnConfirmSave(*this, confirm);
  if (!confirm) return;
  SaveArchive();
  FIsDirty = false;
  if (OnSave) OnSave(*this);
}

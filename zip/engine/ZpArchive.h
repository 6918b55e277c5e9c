// The format-independent archive: items with a pending action each, a busy state under a lock,
// store and extract options, and the events through which the owner confirms and is told.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/Streams.h"
#include "zip/engine/ZpExceptions.h"
#include "zip/engine/ZpUtils.h"

enum TZpArchiveAction : uint8_t {
  aaFailed = 0,
  aaUnchanged = 1,
  aaAdd = 2,
  aaDelete = 3,
  aaFreshen = 4,
  aaMove = 5,
  aaReplace = 6,
  aaStreamAdd = 7
};

enum TZpProcessType : uint8_t { ptAdd = 0, ptDelete = 1, ptExtract = 2, ptFreshen = 3, ptMove = 4, ptReplace = 5 };

enum TZpStoreOption : uint8_t { soStripDrive = 1, soStripPath = 2, soRemoveDots = 4, soRecurse = 8, soFreshen = 16, soReplace = 32 };
using TZpStoreOptions = uint8_t;
enum TZpExtractOption : uint8_t { eoCreateDirs = 1, eoRestorePath = 2 };
using TZpExtractOptions = uint8_t;

enum TZpArchiveStatus : uint8_t { asInvalid = 0, asIdle = 1, asBusy = 2 };

class TZpArchiveItem {
public:
  virtual ~TZpArchiveItem() = default;

  virtual uint32_t CompressedSize() const { return FCompressedSize; }
  virtual uint32_t CRC32() const { return FCRC32; }
  virtual uint32_t ExternalFileAttributes() const { return FExternalFileAttributes; }
  virtual AnsiString FileName() const { return FFileName; }
  virtual bool IsEncrypted() const { return FIsEncrypted; }
  virtual uint16_t LastModFileDate() const { return FLastModFileDate; }
  virtual uint16_t LastModFileTime() const { return FLastModFileTime; }
  virtual uint32_t UncompressedSize() const { return FUncompressedSize; }
  virtual void SetCompressedSize(uint32_t v) { FCompressedSize = v; }
  virtual void SetCRC32(uint32_t v) { FCRC32 = v; }
  virtual void SetExternalFileAttributes(uint32_t v) { FExternalFileAttributes = v; }
  virtual void SetFileName(const AnsiString& v) { FFileName = v; }
  virtual void SetIsEncrypted(bool v) { FIsEncrypted = v; }
  virtual void SetLastModFileDate(uint16_t v) { FLastModFileDate = v; }
  virtual void SetLastModFileTime(uint16_t v) { FLastModFileTime = v; }
  virtual void SetUncompressedSize(uint32_t v) { FUncompressedSize = v; }

  TZpArchiveAction Action() const { return FAction; }
  void SetAction(TZpArchiveAction a) { FAction = a; }
  bool Tagged() const { return FTagged; }
  void SetTagged(bool t) { FTagged = t; }
  // The file on disk the item comes from or goes to; never converted between code pages.
  const AnsiString& DiskFileName() const { return FDiskFileName; }
  void SetDiskFileName(const AnsiString& n) { FDiskFileName = n; }
  // A name ending in a separator is a folder entry.
  bool IsDirectory() const;

private:
  friend class TZpArchiveList;
  uint32_t FCompressedSize = 0;
  uint32_t FCRC32 = 0;
  uint32_t FExternalFileAttributes = 0;
  AnsiString FFileName;
  bool FIsEncrypted = false;
  uint16_t FLastModFileDate = 0;
  uint16_t FLastModFileTime = 0;
  uint32_t FUncompressedSize = 0;
  TZpArchiveAction FAction = aaUnchanged;
  bool FTagged = false;
  AnsiString FDiskFileName;
  TZpArchiveItem* FNextItem = nullptr;  // next of its hash bucket
  int FBucket = -1;                      // the bucket it is linked in, -1 when none
  uint64_t FSequence = 0;                // order of adding; the list keeps it ascending
};

class TZpArchiveList {
public:
  static constexpr int BucketCount = 1021;
  TZpArchiveList() : FBuckets(BucketCount, nullptr) {}

  int Add(std::unique_ptr<TZpArchiveItem> item);
  void Delete(int index);
  void Clear();
  int Find(const AnsiString& name) const;
  // The first item of the name whose action is not Delete, other than except; -1 when none.
  int FindActive(const AnsiString& name, const TZpArchiveItem* except = nullptr) const;
  bool HasActiveName(const AnsiString& name) const { return FindActive(name) >= 0; }
  // Links the item under its current name again, after a rename.
  void Relink(TZpArchiveItem* item);
  TZpArchiveItem* Items(int index) const { return FItems.at(std::size_t(index)).get(); }
  int Count() const { return int(FItems.size()); }
  static unsigned Bucket(const AnsiString& name);

private:
  void Link(TZpArchiveItem* item);
  void Unlink(TZpArchiveItem* item);
  // Index of the earliest-added item of the name; -1 when none.
  int FindFirst(const AnsiString& name, bool activeOnly, const TZpArchiveItem* except) const;
  int IndexOf(const TZpArchiveItem* item) const;
  std::vector<std::unique_ptr<TZpArchiveItem>> FItems;
  std::vector<TZpArchiveItem*> FBuckets;
  uint64_t FNextSequence = 0;
};

class TZpArchive {
public:
  TZpArchive(const AnsiString& fileName, uint32_t mode);
  virtual ~TZpArchive();
  TZpArchive(const TZpArchive&) = delete;
  TZpArchive& operator=(const TZpArchive&) = delete;

  // Marking operations; Save carries the marks out.
  virtual void Add(std::unique_ptr<TZpArchiveItem> item);
  void AddFiles(const AnsiString& mask, int searchAttr);
  void AddFilesEx(const AnsiString& mask, const AnsiString& exclusionMask, int searchAttr);
  void DeleteAt(int index);
  void DeleteFiles(const AnsiString& mask);
  void FreshenAt(int index);
  void Freshen(TZpArchiveItem* item);
  void FreshenFiles(const AnsiString& mask);
  void FreshenFilesEx(const AnsiString& mask, const AnsiString& exclusionMask);
  void Replace(TZpArchiveItem* item);
  void ReplaceAt(int index);
  void Move(TZpArchiveItem* item, const AnsiString& newStoredName);

  // Run at once; failures go to OnProcessItemFailure.
  void ExtractAt(int index, const AnsiString& newName);
  void ExtractFiles(const AnsiString& mask);
  void ExtractFilesEx(const AnsiString& mask, const AnsiString& exclusionMask);
  void TestItemAt(int index);

  void Load();
  void Save();
  int FindFile(const AnsiString& storedName) const { return FItemList.Find(storedName); }

  virtual std::unique_ptr<TZpArchiveItem> NewItem(const AnsiString& fileName) = 0;
  virtual AnsiString MakeStoredName(const AnsiString& fileName) const;

  int Count() const { return FItemList.Count(); }
  TZpArchiveItem* Items(int index) const { return FItemList.Items(index); }
  const AnsiString& ArchiveName() const { return FArchiveName; }
  TStream* Stream() const { return FStream.get(); }
  const AnsiString& BaseDirectory() const { return FBaseDirectory; }
  void SetBaseDirectory(const AnsiString& dir);
  TZpArchiveItem* CurrentItem() const { return FCurrentItem; }
  bool DOSMode() const { return FDOSMode; }
  void SetDOSMode(bool v) { FDOSMode = v; }
  TZpStoreOptions StoreOptions() const { return FStoreOptions; }
  void SetStoreOptions(TZpStoreOptions o) { FStoreOptions = o; }
  TZpExtractOptions ExtractOptions() const { return FExtractOptions; }
  void SetExtractOptions(TZpExtractOptions o) { FExtractOptions = o; }
  bool AutoSave() const { return FAutoSave; }
  void SetAutoSave(bool v) { FAutoSave = v; }
  bool IsDirty() const { return FIsDirty; }
  void SetIsDirty(bool v) { FIsDirty = v; }
  int SpanningThreshold() const { return FSpanningThreshold; }
  void SetSpanningThreshold(int v) { FSpanningThreshold = v; }
  TZpArchiveStatus Status() const { return FStatus; }
  void SetStatus(TZpArchiveStatus s) { FStatus = s; }
  const AnsiString& LogFile() const { return FLogFile; }
  void SetLogFile(const AnsiString& name) { FLogFile = name; }
  bool Logging() const { return FLogging; }
  void SetLogging(bool on);

  std::function<void(TZpArchive&, TZpArchiveItem*, TZpProcessType, TZpErrorClass, int)> OnProcessItemFailure;
  std::function<void(TZpArchive&, uint8_t, bool&)> OnArchiveProgress;
  std::function<void(TZpArchive&, TZpArchiveItem*, uint8_t, bool&)> OnArchiveItemProgress;
  std::function<void(TZpArchive&, TZpArchiveItem*, TZpProcessType, bool&)> OnConfirmProcessItem;
  std::function<void(TZpArchive&, bool&)> OnConfirmSave;
  std::function<void(TZpArchive&)> OnLoad;
  std::function<void(TZpArchive&)> OnSave;
  std::function<void(AnsiString&, bool&)> OnConfirmOverwrite;
  std::function<void(TZpArchive&, AnsiString&)> OnNeedPassword;

  // Callers inside the engine report through these.
  void DoProcessItemFailure(TZpArchiveItem* item, TZpProcessType type, TZpErrorClass cls, int code);
  void DoArchiveProgress(uint8_t progress, bool& abort);
  void DoArchiveItemProgress(TZpArchiveItem* item, uint8_t progress, bool& abort);
  bool DoConfirmProcessItem(TZpArchiveItem* item, TZpProcessType type);
  bool DoConfirmOverwrite(AnsiString& name);
  // Extraction names its files in these folders; each reaches the disk once, when the outermost
  // extraction ends, instead of once per file.
  void SyncFolderLater(const AnsiString& folder);
  // Within an extraction: true when nothing is named name in folder, known without asking the
  // file system. That holds for a folder found empty, as far as the extraction's own files go;
  // others may still come in, so a file written on the strength of it must not replace what it finds.
  // *handle is then a handle open on the folder for the rest of the extraction, or -1.
  bool KnownAbsent(const AnsiString& folder, const AnsiString& name, int* handle);
  // A file the extraction named in folder.
  void NoteWritten(const AnsiString& folder, const AnsiString& name);

protected:
  virtual void LoadArchive() = 0;
  virtual void SaveArchive() = 0;
  virtual void ExtractItemToFile(TZpArchiveItem* item, const AnsiString& name) = 0;
  virtual void TestItem(TZpArchiveItem* item) = 0;
  void CheckValid() const;
  void Busy();
  void NotBusy();
  // The disk file of an item before freshen or replace.
  AnsiString ItemDiskFileName(TZpArchiveItem* item) const;
  bool MatchItem(TZpArchiveItem* item, const AnsiString& mask) const;

  AnsiString FArchiveName;
  std::unique_ptr<TStream> FStream;
  TZpArchiveList FItemList;
  TZpArchiveItem* FCurrentItem = nullptr;

private:
  void AddOneFile(const AnsiString& fileName);
  void WriteLogLine(const AnsiString& line);

  void EndExtractRun();

  int FExtractRuns = 0;
  std::set<AnsiString> FFoldersToSync;
  // The extraction's folders: for one found empty, the names it put there since.
  struct TFolderNames {
    bool Known = false;
    int Handle = -1;
    std::unordered_set<AnsiString> Names;
  };
  std::unordered_map<AnsiString, TFolderNames> FFolderNames;
  AnsiString FBaseDirectory;
  bool FDOSMode = false;
  TZpStoreOptions FStoreOptions = 0;
  TZpExtractOptions FExtractOptions = 0;
  bool FAutoSave = false;
  bool FIsDirty = false;
  int FSpanningThreshold = 0;
  AnsiString FLogFile;
  bool FLogging = false;
  std::unique_ptr<TFileStream> FLogStream;
  TZpArchiveStatus FStatus = asInvalid;
  TZpPadLock FPadLock;
};

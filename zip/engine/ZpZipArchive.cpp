#include "zip/engine/ZpZipArchive.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/rtl/DateTime.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/WholeFiles.h"
#include "zip/engine/ZpDeflater.h"
#include "zip/engine/ZpInflater.h"
#include "zip/engine/ZpVirtualMemoryStream.h"

namespace {

constexpr int64_t FourGiB = int64_t(1) << 32;
constexpr int64_t CopyChunk = 32768;
// A directory up to this size is read in one piece; a larger one item by item from the file.
constexpr int64_t HeldDirectoryLimit = 64 << 20;

void CopyBytes(TStream& from, TStream& to, int64_t count) {
  std::vector<uint8_t> buf(std::size_t(std::min(count, CopyChunk)) + 1);
  while (count > 0) {
    int64_t n = std::min<int64_t>(count, int64_t(buf.size()));
    from.ReadBuffer(buf.data(), n);
    to.WriteBuffer(buf.data(), n);
    count -= n;
  }
}

bool ActionNeedsData(TZpArchiveAction a) {
  return a == aaAdd || a == aaFreshen || a == aaReplace || a == aaStreamAdd;
}

// Zip64 records sit between the directory and the end record; the directory ends there. Their
// items need a newer version and are refused when extracted.
bool AtZip64Records(TStream& stream) {
  uint8_t b[4];
  int64_t at = stream.Position();
  int64_t n = stream.Read(b, 4);
  stream.SetPosition(at);
  if (n != 4) return false;
  uint32_t sig = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  return sig == ZpZip64EndSignature || sig == ZpZip64LocatorSignature;
}

}  // namespace

// A name flagged UTF-8 is kept as its bytes, as file names are on this system.
AnsiString TZpZipItem::FileName() const {
  if (FItemInfo.GeneralPurposeBitFlag & ZpFlagUtf8Name) return FItemInfo.FileName;
  return OemToAnsi(FItemInfo.FileName);
}

// A name in UTF-8 beyond ASCII goes in as those bytes, flagged so that peers read it right; any
// other name goes in the OEM code page, as ever.
void TZpZipItem::SetFileName(const AnsiString& v) {
  if (ZpIsUtf8BeyondAscii(v)) {
    FItemInfo.FileName = v;
    FItemInfo.GeneralPurposeBitFlag |= ZpFlagUtf8Name;
  } else {
    FItemInfo.FileName = AnsiToOem(v);
    FItemInfo.GeneralPurposeBitFlag &= uint16_t(~ZpFlagUtf8Name);
  }
}

void TZpZipItem::SetIsEncrypted(bool v) {
  if (v) FItemInfo.GeneralPurposeBitFlag |= ZpFlagEncrypted;
  else FItemInfo.GeneralPurposeBitFlag &= uint16_t(~ZpFlagEncrypted);
}

void TZpZipItem::SaveLFHToStream(TStream& stream) const {
  TZpZipLocalFileHeader lfh;
  lfh.VersionNeededToExtract = FItemInfo.VersionNeededToExtract;
  lfh.GeneralPurposeBitFlag = FItemInfo.GeneralPurposeBitFlag;
  lfh.CompressionMethod = FItemInfo.CompressionMethod;
  lfh.LastModFileTime = FItemInfo.LastModFileTime;
  lfh.LastModFileDate = FItemInfo.LastModFileDate;
  lfh.CRC32 = FItemInfo.CRC32;
  lfh.CompressedSize = FItemInfo.CompressedSize;
  lfh.UncompressedSize = FItemInfo.UncompressedSize;
  lfh.FileName = FItemInfo.FileName;
  lfh.ExtraField = FItemInfo.ExtraField;
  lfh.SaveToStream(stream);
}

bool ExceedsZipSizeCap(int limitMB, int64_t itemBytes, int64_t archiveBytes) {
  if (limitMB < 1 || limitMB > 2000) limitMB = 2000;
  return (itemBytes / 1024 + 1) + (archiveBytes / 1024 + 1) > int64_t(limitMB) * 1024;
}

TZpZipArchive::TZpZipArchive(const AnsiString& fileName, uint32_t mode) : TZpArchive(fileName, mode), FOpenMode(mode) {
  SetStoreOptions(soStripDrive);
}

TZpZipArchive::~TZpZipArchive() = default;

TZpDeflater& TZpZipArchive::Deflater() {
  if (!FDeflater) FDeflater = std::make_unique<TZpDeflater>();
  return *FDeflater;
}

TZpInflater& TZpZipArchive::Inflater() {
  if (!FInflater) FInflater = std::make_unique<TZpInflater>();
  return *FInflater;
}

void TZpZipArchive::SetZipfileComment(const AnsiString& c) {
  FFooter.ZipfileComment = c;
  SetIsDirty(true);
}

std::unique_ptr<TZpArchiveItem> TZpZipArchive::NewItem(const AnsiString& fileName) {
  auto item = std::make_unique<TZpZipItem>();
  item->SetCompressionMethod(ZpCompressionDeflated);
  item->SetGeneralPurposeBitFlag(0);
  AnsiString full = fileName;
  if (!full.empty() && full[0] != '/' && !BaseDirectory().empty())
    full = ZpAddTrailingDelimiter(BaseDirectory()) + full;
  item->SetDiskFileName(ExpandFileName(full));
  item->SetFileName(MakeStoredName(fileName));
  return item;
}

AnsiString TZpZipArchive::MakeStoredName(const AnsiString& fileName) const {
  AnsiString name = ZpForwardSlashes(fileName);
  if (DOSMode()) {
    bool rooted = (name.size() >= 2 && name[1] == ':') || (!name.empty() && name[0] == '/');
    if (!rooted && !BaseDirectory().empty()) name = ZpAddTrailingDelimiter(BaseDirectory()) + name;
    name = ZpShortPath(name);
  }
  name = ZpStripDrive(name);
  if (!name.empty() && name[0] == '/') name.erase(0, 1);
  if (StoreOptions() & soStripPath) name = ExtractFileName(name);
  if (StoreOptions() & soRemoveDots) name = ZpRemoveDotParts(name);
  return name;
}

AnsiString TZpZipArchive::VolumeName(int disk, bool forWriting, bool& abort) {
  abort = false;
  AnsiString name = disk == 0 ? FArchiveName : SpanVolumeName(FArchiveName, disk);
  if (disk > 0 && OnRequestImage) OnRequestImage(*this, disk, name, abort);
  (void)forWriting;
  return name;
}

void TZpZipArchive::OpenVolume(int disk) {
  if (disk == FCurrentDisk && FStream) return;
  if (!dynamic_cast<TFileStream*>(FStream.get())) throw EZpZipBadSpanStream();
  bool abort = false;
  if (OnRequestNthDisk && FIsRemovable) OnRequestNthDisk(*this, uint8_t(disk), abort);
  if (abort) throw EZpUserAbort();
  AnsiString name = VolumeName(disk, false, abort);
  if (abort) throw EZpUserAbort();
  if (!FileExists(name)) throw EZpFileNotFound();
  FStream.reset();
  FStream = std::make_unique<TFileStream>(name, fmOpenRead | fmShareDenyWrite);
  FCurrentDisk = disk;
}

bool TZpZipArchive::FindLastVolume() {
  // On a fixed disk the volume names are tried in turn; the first missing one ends the search.
  for (int n = 1; n <= MaxVolumes; ++n) {
    bool abort = false;
    if (OnRequestLastDisk && FIsRemovable) OnRequestLastDisk(*this, abort);
    if (abort) return false;
    AnsiString name = VolumeName(n, false, abort);
    if (abort) return false;
    if (!FileExists(name)) throw EZpFileNotFound();
    FStream.reset();
    FStream = std::make_unique<TFileStream>(name, fmOpenRead | fmShareDenyWrite);
    FCurrentDisk = n;
    if (FindCentralDirectoryTail(*FStream) >= 0) return true;
  }
  throw EZpFileNotFound();
}

void TZpZipArchive::LoadArchive() {
  FItemList.Clear();
  FIsSpanned = false;
  FHasStub = false;
  FStubSize = 0;
  FCurrentDisk = 0;
  FFooter = TZpZipDirectoryFileFooter();
  TStream& first = *FStream;
  if (first.Size() == 0) return;
  char magic[2] = {0, 0};
  first.SetPosition(0);
  first.Read(magic, 2);
  FHasStub = magic[0] == 'M' && magic[1] == 'Z';
  bool maybeSpanned = magic[0] == 'P' && magic[1] == 'K';
  auto* file = dynamic_cast<TFileStream*>(FStream.get());
  if (file) FIsRemovable = ZpDriveIsRemovable(file->FileName());

  int64_t tail = FindCentralDirectoryTail(*FStream);
  if (tail < 0) {
    if (!file) throw EZpZipBadSpanStream();
    if (!maybeSpanned) throw EZpZipInvalid();
    if (!FindLastVolume()) return;
    tail = FindCentralDirectoryTail(*FStream);
    FIsSpanned = true;
  }
  FStream->SetPosition(tail);
  FFooter.LoadFromStream(*FStream);
  FLastDisk = FCurrentDisk;
  if (FIsSpanned && FFooter.StartDiskNumber != FCurrentDisk) OpenVolume(FFooter.StartDiskNumber);
  int64_t tailOnLast = tail;
  // A directory said to hold items but starting at or past the end record is lost, not empty.
  if (FFooter.TotalEntries > 0 && FCurrentDisk == FLastDisk && int64_t(FFooter.DirectoryOffset) >= tailOnLast)
    throw EZpZipInvalid();
  FStream->SetPosition(FFooter.DirectoryOffset);
  // The directory of one volume is read at once, with what follows it, so that its items cost no
  // system calls; positions in it stay those of the file.
  TMemoryStream held;
  TStream* directory = FStream.get();
  int64_t heldAt = 0;
  const int64_t end = FStream->Size();
  if (!FIsSpanned && int64_t(FFooter.DirectoryOffset) < tailOnLast && end - FFooter.DirectoryOffset <= HeldDirectoryLimit) {
    held.SetSize(end - FFooter.DirectoryOffset);
    if (FStream->Read(held.Memory(), held.Size()) == held.Size()) {
      directory = &held;
      heldAt = FFooter.DirectoryOffset;
    } else {
      FStream->SetPosition(FFooter.DirectoryOffset);
    }
  }
  int total = FFooter.TotalEntries;
  int read = 0;
  int64_t lowestOffset = -1;
  for (;;) {
    int64_t pos = heldAt + directory->Position();
    if (FCurrentDisk == FLastDisk && pos >= tailOnLast) break;
    if (FIsSpanned && FCurrentDisk < FLastDisk && pos >= FStream->Size()) {
      OpenVolume(FCurrentDisk + 1);
      FStream->SetPosition(0);
      continue;
    }
    if (FCurrentDisk == FLastDisk && AtZip64Records(*directory)) break;
    auto item = std::make_unique<TZpZipItem>();
    item->LoadFromStream(*directory);
    item->SetAction(aaUnchanged);
    item->SetTagged(false);
    item->SetDiskFileName(ZpForwardSlashes(item->FileName()));
    if (lowestOffset < 0 || item->RelativeOffset() < lowestOffset) lowestOffset = item->RelativeOffset();
    FItemList.Add(std::move(item));
    ++read;
    bool abort = false;
    DoArchiveProgress(ZpPercentage(read, total), abort);
    if (abort) throw EZpUserAbort();
  }
  if (FHasStub && lowestOffset > 0) FStubSize = lowestOffset;
  else FHasStub = false;
  bool abort = false;
  DoArchiveProgress(100, abort);
}

void TZpZipArchive::SaveArchive() {
  // 1. A spanned set cannot be changed.
  if (FIsSpanned) {
    for (int i = 0; i < Count(); ++i)
      if (Items(i)->Action() != aaFailed) Items(i)->SetAction(aaUnchanged);
    SetIsDirty(false);
    throw EZpZipSpanOverwrite();
  }
  int kept = 0;
  for (int i = 0; i < Count(); ++i)
    if (Items(i)->Action() != aaDelete && Items(i)->Action() != aaFailed) ++kept;
  if (kept > MaxItems) throw EZpException("Cannot save archive - more than 65535 items");

  // 2. Volume size.
  bool spanning = false;
  int64_t volumeSize = 0;
  if (FIsRemovable) {
    volumeSize = ZpDiskFree(ExtractFilePath(FArchiveName));
    spanning = FStream->Size() == 0;
  } else if (SpanningThreshold() > 0) {
    spanning = true;
    volumeSize = SpanningThreshold();
  }
  if (!spanning || volumeSize < 1) volumeSize = 0;

  // 3. The new archive is built apart from the old one.
  TZpVirtualMemoryStream output;
  output.SetSwapFileDir(FTempDirectory);
  if (FHasStub && FStubSize > 0) {
    FStream->SetPosition(0);
    CopyBytes(*FStream, output, FStubSize);
  } else if (spanning) {
    uint32_t marker = ZpSingleVolumeSpanSignature;
    uint8_t b[4] = {uint8_t(marker), uint8_t(marker >> 8), uint8_t(marker >> 16), uint8_t(marker >> 24)};
    output.WriteBuffer(b, 4);
  }
  int64_t dataStart = output.Position();
  TMemoryStream directory;
  int entries = 0;
  bool capReported = false;
  auto volumeOf = [&](int64_t pos) { return volumeSize > 0 ? int(pos / volumeSize) : 0; };
  auto offsetIn = [&](int64_t pos) { return volumeSize > 0 ? pos % volumeSize : pos; };
  auto placeItem = [&](TZpZipItem& item) {
    int64_t pos = output.Position();
    if (offsetIn(pos) >= FourGiB) throw EZpException("Cannot save archive - 4 GiB or more");
    item.SetDiskNumberStart(uint16_t(volumeOf(pos)));
    item.SetRelativeOffset(uint32_t(offsetIn(pos)));
  };
  auto copyOld = [&](TZpZipItem& item) {
    // The old local header is read where it was, before the item gets its new place.
    FStream->SetPosition(item.RelativeOffset());
    TZpZipLocalFileHeader old;
    old.LoadFromStream(*FStream);
    int64_t dataAt = FStream->Position();
    placeItem(item);
    item.SaveLFHToStream(output);
    FStream->SetPosition(dataAt);
    CopyBytes(*FStream, output, item.CompressedSize());
  };
  auto finishItem = [&](TZpZipItem& item) {
    if (item.CompressionMethod() == ZpCompressionDeflated && (item.GeneralPurposeBitFlag() & ZpFlagDataDescriptor)) {
      TZpZipDataDescriptor dd;
      dd.CRC32 = item.CRC32();
      dd.CompressedSize = item.CompressedSize();
      dd.UncompressedSize = item.UncompressedSize();
      dd.SaveToStream(output);
    }
    if (offsetIn(output.Position()) >= FourGiB) throw EZpException("Cannot save archive - 4 GiB or more");
    item.SaveCDHToStream(directory);
    ++entries;
  };

  // 4. Every item in order.
  for (int i = 0; i < Count(); ++i) {
    TZpZipItem& item = *ZipItems(i);
    FCurrentItem = &item;
    TZpArchiveAction action = item.Action();
    if (ActionNeedsData(action)) {
      bool hasOldCopy = (action == aaFreshen || action == aaReplace);
      TZpZipDirectoryFileHeader before = item.ItemInfo();
      TZpVirtualMemoryStream temp;
      temp.SetSwapFileDir(FTempDirectory);
      bool compressed = false;
      // Once the cap is reached no item gets new data.
      if (!capReported) {
        try {
          if (action == aaStreamAdd) {
            if (!InsertFromStreamHelper) throw EZpZipNoInsertion();
            InsertFromStreamHelper(*this, item, temp, FStream.get());
          } else {
            if (!InsertHelper) throw EZpZipNoInsertion();
            InsertHelper(*this, item, temp);
          }
          if (temp.Size() >= FourGiB || int64_t(item.CompressedSize()) != temp.Size())
            throw EZpException("Cannot insert file - 4 GiB or more");
          compressed = true;
        } catch (...) {
          // Whatever stopped the compression, the item is reported as one that could not be read.
          item.ItemInfo() = before;
          DoProcessItemFailure(&item, ptAdd, ecZpFileOpenError, 0);
        }
        if (compressed && output.Position() > dataStart &&
            ExceedsZipSizeCap(FMaxZipFileSizeInMb, temp.Size(), output.Position())) {
          capReported = true;
          DoProcessItemFailure(&item, ptAdd, ecZpFileOpenError, i + 1);
          item.ItemInfo() = before;
          compressed = false;
        }
      }
      if (compressed) {
        placeItem(item);
        item.SaveLFHToStream(output);
        temp.SetPosition(0);
        CopyBytes(temp, output, temp.Size());
        finishItem(item);
      } else if (hasOldCopy) {
        // The archive already holds this item: a failed update keeps that copy.
        item.SetAction(aaUnchanged);
        copyOld(item);
        finishItem(item);
      } else {
        item.SetAction(aaDelete);
      }
    } else if (action == aaUnchanged || action == aaMove) {
      copyOld(item);
      finishItem(item);
    }
    bool abort = false;
    DoArchiveProgress(ZpPercentage(9 * int64_t(i + 1), 10 * int64_t(Count())), abort);
    if (abort) throw EZpUserAbort();
  }
  FCurrentItem = nullptr;

  // 5. The end record.
  int64_t dirPos = output.Position();
  TZpZipDirectoryFileFooter footer;
  footer.ZipfileComment = FFooter.ZipfileComment;
  int64_t endPos = dirPos + directory.Size() + ZpEndRecordSize + int64_t(footer.ZipfileComment.size());
  int lastVolume = volumeOf(endPos - 1);
  if (lastVolume + 1 > MaxVolumes) throw EZpException("Cannot save archive - more than 99 volumes");
  footer.DiskNumber = uint16_t(lastVolume);
  footer.StartDiskNumber = uint16_t(volumeOf(dirPos));
  footer.DirectoryOffset = uint32_t(offsetIn(dirPos));
  footer.DirectorySize = uint32_t(directory.Size());
  footer.EntriesOnDisk = footer.TotalEntries = uint16_t(entries);
  directory.SetPosition(0);
  CopyBytes(directory, output, directory.Size());
  footer.SaveToStream(output);
  bool spanned = spanning && lastVolume > 0;
  if (spanned) {
    uint32_t marker = ZpSpannedSetSignature;
    uint8_t b[4] = {uint8_t(marker), uint8_t(marker >> 8), uint8_t(marker >> 16), uint8_t(marker >> 24)};
    output.SetPosition(0);
    output.WriteBuffer(b, 4);
  }

  // 6. Write out.
  WriteOutput(output, spanned ? volumeSize : 0);
  FIsSpanned = spanned;
  FFooter = footer;

  // 7. Carry out the marks in the list.
  for (int i = Count() - 1; i >= 0; --i) {
    if (Items(i)->Action() == aaDelete) FItemList.Delete(i);
    else Items(i)->SetAction(aaUnchanged);
  }
  bool abort = false;
  DoArchiveProgress(100, abort);
}

void TZpZipArchive::WriteOutput(TStream& output, int64_t volumeSize) {
  int64_t total = output.Size();
  output.SetPosition(0);
  std::vector<AnsiString> written;
  // A temporary of a killed run is known by its name and removed by the next start.
  AnsiString tempName;
  try {
    tempName = CreateTempBeside(ExpandFileName(FArchiveName));
  } catch (const EInOutError&) {
    throw EFCreateError::ForFile(FArchiveName);
  }
  try {
    int volume = 0;
    int64_t done = 0;
    while (done < total || volume == 0) {
      AnsiString target = tempName;
      if (volume > 0) {
        bool abort = false;
        target = VolumeName(volume, true, abort);
        if (abort) throw EZpUserAbort();
      }
      int64_t length = volumeSize > 0 ? std::min(volumeSize, total - done) : total - done;
      {
        TFileStream out(target, fmCreate);
        written.push_back(target);
        CopyBytes(output, out, length);
      }
      done += length;
      ++volume;
      if (volumeSize <= 0) break;
    }
  } catch (...) {
    for (const AnsiString& f : written) DeleteFile(f);
    DeleteFile(tempName);
    throw;
  }
  ReplaceArchiveFile(tempName);
}

void TZpZipArchive::ReplaceArchiveFile(const AnsiString& tempName) {
  FStream.reset();
  FCurrentDisk = 0;
  // The new file takes the old one's place in one step, so either version is whole at any time.
  bool renamed = std::rename(tempName.c_str(), FArchiveName.c_str()) == 0;
  uint32_t mode = FOpenMode == fmCreate ? (fmOpenReadWrite | fmShareDenyWrite) : FOpenMode;
  FStream = std::make_unique<TFileStream>(FArchiveName, mode);
  if (!renamed) {
    DeleteFile(tempName);
    throw EFCreateError::ForFile(FArchiveName);
  }
}

void TZpZipArchive::ExtractItemToFile(TZpArchiveItem* item, const AnsiString& name) {
  if (!ExtractHelper) throw EZpZipNoExtraction();
  ExtractHelper(*this, *static_cast<TZpZipItem*>(item), name);
}

void TZpZipArchive::ExtractItemToStream(TZpZipItem& item, TStream* stream) {
  CheckValid();
  if (!ExtractToStreamHelper) throw EZpZipNoExtraction();
  ExtractToStreamHelper(*this, item, stream);
}

void TZpZipArchive::TestItem(TZpArchiveItem* item) {
  if (!TestHelper) throw EZpZipNoExtraction();
  TestHelper(*this, *static_cast<TZpZipItem*>(item));
}

// The zip archive: the archive model bound to the ZIP format. Reads the central directory into
// items, rebuilds the whole archive on save, applies the size cap and handles spanned sets.
#pragma once

#include <functional>
#include <memory>

#include "zip/engine/ZipArchiveFormat.h"
#include "zip/engine/ZpArchive.h"

class TZpDeflater;
class TZpInflater;

enum TZpZipSupportedMethod : uint8_t { smStored = 0, smDeflated = 1, smBestMethod = 2 };
// Scoped: the compressor's own option numbers share these names.
enum class TZpZipDeflationOption : uint8_t { doInvalid = 0, doNormal = 1, doMaximum = 2, doFast = 3, doSuperFast = 4 };

class TZpZipItem final : public TZpArchiveItem {
public:
  uint32_t CompressedSize() const override { return FItemInfo.CompressedSize; }
  uint32_t CRC32() const override { return FItemInfo.CRC32; }
  uint32_t ExternalFileAttributes() const override { return FItemInfo.ExternalFileAttributes; }
  // In the system code page; the header holds the OEM form.
  AnsiString FileName() const override;
  bool IsEncrypted() const override { return FItemInfo.Encrypted(); }
  uint16_t LastModFileDate() const override { return FItemInfo.LastModFileDate; }
  uint16_t LastModFileTime() const override { return FItemInfo.LastModFileTime; }
  uint32_t UncompressedSize() const override { return FItemInfo.UncompressedSize; }
  void SetCompressedSize(uint32_t v) override { FItemInfo.CompressedSize = v; }
  void SetCRC32(uint32_t v) override { FItemInfo.CRC32 = v; }
  void SetExternalFileAttributes(uint32_t v) override { FItemInfo.ExternalFileAttributes = v; }
  void SetFileName(const AnsiString& v) override;
  void SetIsEncrypted(bool v) override;
  void SetLastModFileDate(uint16_t v) override { FItemInfo.LastModFileDate = v; }
  void SetLastModFileTime(uint16_t v) override { FItemInfo.LastModFileTime = v; }
  void SetUncompressedSize(uint32_t v) override { FItemInfo.UncompressedSize = v; }

  uint16_t CompressionMethod() const { return FItemInfo.CompressionMethod; }
  void SetCompressionMethod(uint16_t v) { FItemInfo.CompressionMethod = v; }
  uint16_t GeneralPurposeBitFlag() const { return FItemInfo.GeneralPurposeBitFlag; }
  void SetGeneralPurposeBitFlag(uint16_t v) { FItemInfo.GeneralPurposeBitFlag = v; }
  uint16_t VersionMadeBy() const { return FItemInfo.VersionMadeBy; }
  void SetVersionMadeBy(uint16_t v) { FItemInfo.VersionMadeBy = v; }
  uint16_t VersionNeededToExtract() const { return FItemInfo.VersionNeededToExtract; }
  void SetVersionNeededToExtract(uint16_t v) { FItemInfo.VersionNeededToExtract = v; }
  uint16_t DiskNumberStart() const { return FItemInfo.DiskNumberStart; }
  void SetDiskNumberStart(uint16_t v) { FItemInfo.DiskNumberStart = v; }
  uint32_t RelativeOffset() const { return FItemInfo.RelativeOffset; }
  void SetRelativeOffset(uint32_t v) { FItemInfo.RelativeOffset = v; }
  uint16_t InternalFileAttributes() const { return FItemInfo.InternalFileAttributes; }
  void SetInternalFileAttributes(uint16_t v) { FItemInfo.InternalFileAttributes = v; }
  const AnsiString& ExtraField() const { return FItemInfo.ExtraField; }
  void SetExtraField(const AnsiString& v) { FItemInfo.ExtraField = v; }
  uint32_t DictionarySize() const { return FItemInfo.DictionarySize(); }
  uint8_t ShannonFanoTreeCount() const { return FItemInfo.ShannonFanoTreeCount(); }

  TZpZipDirectoryFileHeader& ItemInfo() { return FItemInfo; }
  const TZpZipDirectoryFileHeader& ItemInfo() const { return FItemInfo; }
  void LoadFromStream(TStream& stream) { FItemInfo.LoadFromStream(stream); }
  void SaveCDHToStream(TStream& stream) const { FItemInfo.SaveToStream(stream); }
  // A local header made from the central fields.
  void SaveLFHToStream(TStream& stream) const;

private:
  TZpZipDirectoryFileHeader FItemInfo;
};

class TZpZipArchive : public TZpArchive {
public:
  TZpZipArchive(const AnsiString& fileName, uint32_t mode);
  ~TZpZipArchive() override;

  std::unique_ptr<TZpArchiveItem> NewItem(const AnsiString& fileName) override;
  AnsiString MakeStoredName(const AnsiString& fileName) const override;
  TZpZipItem* ZipItems(int index) const { return static_cast<TZpZipItem*>(Items(index)); }

  // Routines plugged in by the owner: extraction, testing and compression of one item.
  std::function<void(TZpZipArchive&, TZpZipItem&, const AnsiString&)> ExtractHelper;
  std::function<void(TZpZipArchive&, TZpZipItem&, TStream*)> ExtractToStreamHelper;
  std::function<void(TZpZipArchive&, TZpZipItem&)> TestHelper;
  // Compress the item's disk file (or the given stream) into the output; sets CRC, sizes, method.
  std::function<void(TZpZipArchive&, TZpZipItem&, TStream&)> InsertHelper;
  std::function<void(TZpZipArchive&, TZpZipItem&, TStream&, TStream*)> InsertFromStreamHelper;

  // Volume requests; Abort set ends the operation.
  std::function<void(TZpZipArchive&, bool&)> OnRequestLastDisk;
  std::function<void(TZpZipArchive&, uint8_t, bool&)> OnRequestNthDisk;
  std::function<void(TZpZipArchive&, bool&)> OnRequestBlankDisk;
  std::function<void(TZpZipArchive&, int, AnsiString&, bool&)> OnRequestImage;

  void ExtractItemToStream(TZpZipItem& item, TStream* stream);
  // Opens volume disk of a spanned set as the input stream (0 is the archive file itself).
  void OpenVolume(int disk);

  TZpZipSupportedMethod CompressionMethodToUse() const { return FCompressionMethodToUse; }
  void SetCompressionMethodToUse(TZpZipSupportedMethod m) { FCompressionMethodToUse = m; }
  TZpZipDeflationOption DeflationOption() const { return FDeflationOption; }
  void SetDeflationOption(TZpZipDeflationOption o) { FDeflationOption = o; }
  const AnsiString& Password() const { return FPassword; }
  void SetPassword(const AnsiString& p) { FPassword = p; }
  uint8_t PasswordRetries() const { return FPasswordRetries; }
  void SetPasswordRetries(uint8_t n) { FPasswordRetries = n; }
  const AnsiString& TempDirectory() const { return FTempDirectory; }
  void SetTempDirectory(const AnsiString& d) { FTempDirectory = d; }
  int MaxZipFileSizeInMb() const { return FMaxZipFileSizeInMb; }
  void SetMaxZipFileSizeInMb(int mb) { FMaxZipFileSizeInMb = mb; }
  const AnsiString& ZipfileComment() const { return FFooter.ZipfileComment; }
  void SetZipfileComment(const AnsiString& c);
  bool IsSpanned() const { return FIsSpanned; }
  bool IsRemovable() const { return FIsRemovable; }
  bool HasStub() const { return FHasStub; }
  int64_t StubSize() const { return FStubSize; }
  int CurrentDisk() const { return FCurrentDisk; }
  const TZpZipDirectoryFileFooter& Footer() const { return FFooter; }

  // The codecs' buffers, set up once for all the items of the archive.
  TZpDeflater& Deflater();
  TZpInflater& Inflater();

  static constexpr int MaxVolumes = 99;
  static constexpr int MaxItems = 65535;

protected:
  void LoadArchive() override;
  void SaveArchive() override;
  void ExtractItemToFile(TZpArchiveItem* item, const AnsiString& name) override;
  void TestItem(TZpArchiveItem* item) override;

private:
  AnsiString VolumeName(int disk, bool forWriting, bool& abort);
  bool FindLastVolume();
  void WriteOutput(TStream& output, int64_t volumeSize);
  void ReplaceArchiveFile(const AnsiString& tempName);

  uint32_t FOpenMode;
  TZpZipSupportedMethod FCompressionMethodToUse = smBestMethod;
  TZpZipDeflationOption FDeflationOption = TZpZipDeflationOption::doNormal;
  AnsiString FPassword;
  uint8_t FPasswordRetries = 3;
  AnsiString FTempDirectory;
  int FMaxZipFileSizeInMb = 0;
  TZpZipDirectoryFileFooter FFooter;
  int FCurrentDisk = 0;
  int FLastDisk = 0;
  bool FIsSpanned = false;
  bool FIsRemovable = false;
  bool FHasStub = false;
  int64_t FStubSize = 0;
  std::unique_ptr<TZpDeflater> FDeflater;
  std::unique_ptr<TZpInflater> FInflater;
};

// True when an item of itemBytes added to an archive of archiveBytes passes the cap (megabytes,
// below 1 or above 2000 taken as 2000), both counted in whole kilobytes rounded up.
bool ExceedsZipSizeCap(int limitMB, int64_t itemBytes, int64_t archiveBytes);

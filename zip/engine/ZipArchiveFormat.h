// The ZIP records as the engine reads and writes them: local and central headers, the end of
// central directory record and the data descriptor; locating the end record; volume names.
#pragma once

#include <cstdint>

#include "platform/rtl/AnsiString.h"

class TStream;

constexpr uint32_t ZpLocalFileHeaderSignature = 0x04034B50;
constexpr uint32_t ZpCentralFileHeaderSignature = 0x02014B50;
constexpr uint32_t ZpEndOfCentralDirSignature = 0x06054B50;
constexpr uint32_t ZpSpannedSetSignature = 0x08074B50;
constexpr uint32_t ZpSingleVolumeSpanSignature = 0x30304B50;  // "PK00"
constexpr uint32_t ZpZip64EndSignature = 0x06064B50;
constexpr uint32_t ZpZip64LocatorSignature = 0x07064B50;

constexpr uint16_t ZpCompressionStored = 0;
constexpr uint16_t ZpCompressionImploded = 6;
constexpr uint16_t ZpCompressionDeflated = 8;
constexpr uint16_t ZpFlagEncrypted = 0x0001;
constexpr uint16_t ZpFlagDataDescriptor = 0x0008;
constexpr uint16_t ZpFlagUtf8Name = 0x0800;

constexpr int ZpLocalHeaderSize = 30;
constexpr int ZpCentralHeaderSize = 46;
constexpr int ZpEndRecordSize = 22;
constexpr int ZpDataDescriptorSize = 12;

// Fields shared by the local and the central header. Names, extras and comments are byte strings
// with their own lengths: extra fields may hold zero bytes.
class TZpZipFileHeader {
public:
  virtual ~TZpZipFileHeader() = default;
  virtual void LoadFromStream(TStream& stream) = 0;
  virtual void SaveToStream(TStream& stream) const = 0;

  bool IsValid() const { return FSignature == FValidSignature; }
  bool Encrypted() const { return (GeneralPurposeBitFlag & ZpFlagEncrypted) != 0; }
  bool HasDataDescriptor() const { return (GeneralPurposeBitFlag & ZpFlagDataDescriptor) != 0; }
  uint32_t DictionarySize() const;
  uint8_t ShannonFanoTreeCount() const;

  uint16_t VersionNeededToExtract = 0;
  uint16_t GeneralPurposeBitFlag = 0;
  uint16_t CompressionMethod = 0;
  uint16_t LastModFileTime = 0;
  uint16_t LastModFileDate = 0;
  uint32_t CRC32 = 0;
  uint32_t CompressedSize = 0;
  uint32_t UncompressedSize = 0;
  AnsiString FileName;    // as stored (OEM code page)
  AnsiString ExtraField;

protected:
  explicit TZpZipFileHeader(uint32_t validSignature) : FValidSignature(validSignature) {}
  void CheckSignature(uint32_t read);
  uint32_t FValidSignature;
  uint32_t FSignature = 0;
};

class TZpZipLocalFileHeader final : public TZpZipFileHeader {
public:
  TZpZipLocalFileHeader() : TZpZipFileHeader(ZpLocalFileHeaderSignature) {}
  // A short read raises EReadError, a wrong signature EZpZipInvalid.
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) const override;
};

class TZpZipDirectoryFileHeader final : public TZpZipFileHeader {
public:
  TZpZipDirectoryFileHeader() : TZpZipFileHeader(ZpCentralFileHeaderSignature) {}
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) const override;
  int64_t RecordSize() const { return ZpCentralHeaderSize + int64_t(FileName.size() + ExtraField.size() + FileComment.size()); }

  uint16_t VersionMadeBy = 0;
  uint16_t DiskNumberStart = 0;
  uint16_t InternalFileAttributes = 0;
  uint32_t ExternalFileAttributes = 0;
  uint32_t RelativeOffset = 0;
  AnsiString FileComment;
};

class TZpZipDirectoryFileFooter {
public:
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;
  bool IsValid() const { return FSignature == ZpEndOfCentralDirSignature; }

  uint16_t DiskNumber = 0;
  uint16_t StartDiskNumber = 0;
  uint16_t EntriesOnDisk = 0;
  uint16_t TotalEntries = 0;
  uint32_t DirectorySize = 0;
  uint32_t DirectoryOffset = 0;
  AnsiString ZipfileComment;

private:
  uint32_t FSignature = ZpEndOfCentralDirSignature;
};

// Written after data whose header has flag bit 3; no signature.
class TZpZipDataDescriptor {
public:
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;
  uint32_t CRC32 = 0;
  uint32_t CompressedSize = 0;
  uint32_t UncompressedSize = 0;
};

// The usual name of a compression method number, as other tools show it; "method n" when unknown.
AnsiString ZpCompressionMethodName(uint16_t method);
// Methods this engine decodes: stored, shrunk, reduced, imploded, deflated.
bool ZpCanDecodeMethod(uint16_t method);

// Position of the end record found by the backward search (the stream is left there), or -1.
int64_t FindCentralDirectoryTail(TStream& stream);

// Volume file of part n (n >= 1) of a spanned set on a fixed disk: x.zip gives x.z01, x.z02, ...
AnsiString SpanVolumeName(const AnsiString& archiveName, int n);
// Volume label of part n on removable media.
AnsiString SpanVolumeLabel(int n);

#include "zip/engine/ZipArchiveFormat.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Streams.h"
#include "zip/engine/ZpExceptions.h"

namespace {

// Little-endian field cursor over the fixed part of one record, read from the stream in one piece.
class TFieldReader {
public:
  TFieldReader(TStream& stream, std::size_t size) { stream.ReadBuffer(FB, int64_t(std::min(size, sizeof FB))); }
  uint16_t U16() {
    uint16_t v = uint16_t(FP[0] | FP[1] << 8);
    FP += 2;
    return v;
  }
  uint32_t U32() {
    uint32_t v = uint32_t(FP[0]) | uint32_t(FP[1]) << 8 | uint32_t(FP[2]) << 16 | uint32_t(FP[3]) << 24;
    FP += 4;
    return v;
  }

private:
  uint8_t FB[std::max({ZpLocalHeaderSize, ZpCentralHeaderSize, ZpEndRecordSize, ZpDataDescriptorSize})];
  const uint8_t* FP = FB;
};

class TFieldWriter {
public:
  void U16(uint16_t v) {
    FData.push_back(uint8_t(v));
    FData.push_back(uint8_t(v >> 8));
  }
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) FData.push_back(uint8_t(v >> (8 * i)));
  }
  void Bytes(const AnsiString& s) { FData.insert(FData.end(), s.begin(), s.end()); }
  void WriteTo(TStream& stream) const { stream.WriteBuffer(FData.data(), int64_t(FData.size())); }

private:
  std::vector<uint8_t> FData;
};

// The fields the local and the central header share, in the order both store them.
void ReadEntryFields(TFieldReader& r, TZpZipFileHeader& h) {
  h.VersionNeededToExtract = r.U16();
  h.GeneralPurposeBitFlag = r.U16();
  h.CompressionMethod = r.U16();
  h.LastModFileTime = r.U16();
  h.LastModFileDate = r.U16();
  h.CRC32 = r.U32();
  h.CompressedSize = r.U32();
  h.UncompressedSize = r.U32();
}

void WriteEntryFields(TFieldWriter& w, const TZpZipFileHeader& h) {
  w.U16(h.VersionNeededToExtract);
  w.U16(h.GeneralPurposeBitFlag);
  w.U16(h.CompressionMethod);
  w.U16(h.LastModFileTime);
  w.U16(h.LastModFileDate);
  w.U32(h.CRC32);
  w.U32(h.CompressedSize);
  w.U32(h.UncompressedSize);
}

AnsiString ReadBytes(TStream& stream, std::size_t n) {
  AnsiString s(n, '\0');
  if (n) stream.ReadBuffer(s.data(), int64_t(n));
  return s;
}

// Variable parts are limited by their 16-bit length fields; longer ones cannot be written honestly.
uint16_t Length16(const AnsiString& s) {
  if (s.size() > 0xFFFF) throw EZpException("Name, extra field or comment longer than 65535 bytes");
  return uint16_t(s.size());
}

}  // namespace

uint32_t TZpZipFileHeader::DictionarySize() const {
  if (CompressionMethod != ZpCompressionImploded) return 0;
  return (GeneralPurposeBitFlag & 0x0002) ? 8192 : 4096;
}

uint8_t TZpZipFileHeader::ShannonFanoTreeCount() const {
  if (CompressionMethod != ZpCompressionImploded) return 0;
  return (GeneralPurposeBitFlag & 0x0004) ? 3 : 2;
}

void TZpZipFileHeader::CheckSignature(uint32_t read) {
  FSignature = read;
  if (!IsValid()) throw EZpZipInvalid();
}

void TZpZipLocalFileHeader::LoadFromStream(TStream& stream) {
  TFieldReader r(stream, ZpLocalHeaderSize);
  CheckSignature(r.U32());
  ReadEntryFields(r, *this);
  uint16_t nameLength = r.U16();
  uint16_t extraLength = r.U16();
  FileName = ReadBytes(stream, nameLength);
  ExtraField = ReadBytes(stream, extraLength);
}

void TZpZipLocalFileHeader::SaveToStream(TStream& stream) const {
  TFieldWriter w;
  w.U32(ZpLocalFileHeaderSignature);
  WriteEntryFields(w, *this);
  w.U16(Length16(FileName));
  w.U16(Length16(ExtraField));
  w.Bytes(FileName);
  w.Bytes(ExtraField);
  w.WriteTo(stream);
}

void TZpZipDirectoryFileHeader::LoadFromStream(TStream& stream) {
  TFieldReader r(stream, ZpCentralHeaderSize);
  CheckSignature(r.U32());
  VersionMadeBy = r.U16();
  ReadEntryFields(r, *this);
  uint16_t nameLength = r.U16();
  uint16_t extraLength = r.U16();
  uint16_t commentLength = r.U16();
  DiskNumberStart = r.U16();
  InternalFileAttributes = r.U16();
  ExternalFileAttributes = r.U32();
  RelativeOffset = r.U32();
  FileName = ReadBytes(stream, nameLength);
  ExtraField = ReadBytes(stream, extraLength);
  FileComment = ReadBytes(stream, commentLength);
}

void TZpZipDirectoryFileHeader::SaveToStream(TStream& stream) const {
  TFieldWriter w;
  w.U32(ZpCentralFileHeaderSignature);
  w.U16(VersionMadeBy);
  WriteEntryFields(w, *this);
  w.U16(Length16(FileName));
  w.U16(Length16(ExtraField));
  w.U16(Length16(FileComment));
  w.U16(DiskNumberStart);
  w.U16(InternalFileAttributes);
  w.U32(ExternalFileAttributes);
  w.U32(RelativeOffset);
  w.Bytes(FileName);
  w.Bytes(ExtraField);
  w.Bytes(FileComment);
  w.WriteTo(stream);
}

void TZpZipDirectoryFileFooter::LoadFromStream(TStream& stream) {
  TFieldReader r(stream, ZpEndRecordSize);
  FSignature = r.U32();
  if (!IsValid()) throw EZpZipInvalid();
  DiskNumber = r.U16();
  StartDiskNumber = r.U16();
  EntriesOnDisk = r.U16();
  TotalEntries = r.U16();
  DirectorySize = r.U32();
  DirectoryOffset = r.U32();
  uint16_t commentLength = r.U16();
  // Writers that cut the comment short are common; keep what is there.
  AnsiString comment(commentLength, '\0');
  int64_t got = commentLength ? stream.Read(comment.data(), commentLength) : 0;
  comment.resize(std::size_t(got > 0 ? got : 0));
  ZipfileComment = comment;
}

void TZpZipDirectoryFileFooter::SaveToStream(TStream& stream) const {
  TFieldWriter w;
  w.U32(ZpEndOfCentralDirSignature);
  w.U16(DiskNumber);
  w.U16(StartDiskNumber);
  w.U16(EntriesOnDisk);
  w.U16(TotalEntries);
  w.U32(DirectorySize);
  w.U32(DirectoryOffset);
  w.U16(Length16(ZipfileComment));
  w.Bytes(ZipfileComment);
  w.WriteTo(stream);
}

void TZpZipDataDescriptor::LoadFromStream(TStream& stream) {
  TFieldReader r(stream, ZpDataDescriptorSize);
  CRC32 = r.U32();
  CompressedSize = r.U32();
  UncompressedSize = r.U32();
}

void TZpZipDataDescriptor::SaveToStream(TStream& stream) const {
  TFieldWriter w;
  w.U32(CRC32);
  w.U32(CompressedSize);
  w.U32(UncompressedSize);
  w.WriteTo(stream);
}

int64_t FindCentralDirectoryTail(TStream& stream) {
  static const uint8_t sig[4] = {0x50, 0x4B, 0x05, 0x06};
  constexpr int64_t Step = 28;
  constexpr int64_t Overlap = 4;
  int64_t size = stream.Size();
  // Windows walk back from the end, each overlapping the one after it, down to the first byte:
  // an archive of no items is its end record alone.
  int64_t end = size;
  int64_t start = std::max<int64_t>(0, size - Step);
  while (end - start >= 4) {
    uint8_t buf[Step + Overlap];
    stream.SetPosition(start);
    int64_t n = stream.Read(buf, end - start);
    for (int64_t i = 0; i + 4 <= n; ++i) {
      if (std::memcmp(buf + i, sig, 4) == 0) {
        stream.SetPosition(start + i);
        return start + i;
      }
    }
    if (start == 0) break;
    end = start + Overlap;
    start = std::max<int64_t>(0, start - Step);
  }
  return -1;
}

AnsiString ZpCompressionMethodName(uint16_t method) {
  switch (method) {
    case 0: return "Stored";
    case 1: return "Shrunk";
    case 2:
    case 3:
    case 4:
    case 5: return "Reduced";
    case 6: return "Imploded";
    case 7: return "Tokenized";
    case 8: return "Deflated";
    case 9: return "Deflate64";
    case 10: return "PKWARE DCL Imploded";
    case 12: return "BZip2";
    case 14: return "LZMA";
    case 16: return "IBM z/OS CMPSC";
    case 18: return "IBM TERSE";
    case 19: return "IBM LZ77";
    case 20:
    case 93: return "Zstandard";
    case 94: return "MP3";
    case 95: return "XZ";
    case 96: return "JPEG";
    case 97: return "WavPack";
    case 98: return "PPMd";
    case 99: return "AES";
    default: return "method " + std::to_string(method);
  }
}

bool ZpCanDecodeMethod(uint16_t method) { return method <= ZpCompressionImploded || method == ZpCompressionDeflated; }

AnsiString SpanVolumeName(const AnsiString& archiveName, int n) {
  AnsiString ext = ExtractFileExt(archiveName);
  char digits[4];
  std::snprintf(digits, sizeof digits, "%02d", n % 100);
  AnsiString newExt = ".";
  if (ext.size() >= 2) newExt += ext[1];
  newExt += digits;
  return ChangeFileExt(archiveName, newExt.substr(0, 4));
}

AnsiString SpanVolumeLabel(int n) { return Format("PKBACK# %3.3d", {n}).substr(0, 11); }

#include "zip/engine/ZpInsertItem.h"

#include <memory>

#include "platform/rtl/DateTime.h"
#include "platform/rtl/Files.h"
#include "zip/engine/ZpCrc32.h"
#include "zip/engine/ZpZDecoder.h"
#include "zip/engine/ZpZipArchive.h"
#include "zip/engine/ZpZipHelper.h"

namespace {

constexpr int64_t FourGiB = int64_t(1) << 32;
constexpr uint16_t MadeByDos20 = 20;
// Readers convert names of MS-DOS hosts from the OEM code page whatever the flag says; names of
// NTFS hosts they take as flagged.
constexpr uint16_t MadeByNtfs20 = 0x0A14;

int HelperMethod(TZpZipSupportedMethod m) {
  switch (m) {
    case smStored: return ZpMethodStored;
    case smDeflated: return ZpMethodDeflated;
    default: return ZpMethodBest;
  }
}

void Compress(TZpZipArchive& archive, TZpZipItem& item, TStream& output, TStream& source) {
  int64_t start = source.Position();
  if (source.Size() - start >= FourGiB) throw EZpException("Cannot insert file - 4 GiB or more");
  bool encrypt = !archive.Password().empty();
  std::unique_ptr<TZpZDecoder> encryptor;
  uint32_t crc = 0;
  if (encrypt) {
    crc = ZpStreamCrc32(source);
    encryptor = std::make_unique<TZpZDecoder>(archive.Password(), true, crc, &output);
    encryptor->WriteHeader();
  }
  TZpZipHelper helper(&source, encryptor.get(), &output);
  helper.SetDeflater(&archive.Deflater());
  helper.SetMethod(HelperMethod(archive.CompressionMethodToUse()));
  helper.SetDeflateOption(int(archive.DeflationOption()));
  helper.OnProgress = [&archive, &item](int percent, bool& abort) {
    archive.DoArchiveItemProgress(&item, uint8_t(percent), abort);
  };
  helper.Execute();
  int64_t compressed = output.Size();
  if (compressed >= FourGiB) throw EZpException("Cannot insert file - 4 GiB or more");
  item.SetCRC32(helper.CRC());
  item.SetUncompressedSize(uint32_t(helper.SourceSize()));
  item.SetCompressedSize(uint32_t(compressed));
  item.SetCompressionMethod(uint16_t(helper.Method()));
  item.SetVersionNeededToExtract(helper.Method() == ZpMethodDeflated ? 20 : 10);
  const uint16_t utf8Name = item.GeneralPurposeBitFlag() & ZpFlagUtf8Name;
  item.SetVersionMadeBy(utf8Name ? MadeByNtfs20 : MadeByDos20);
  item.SetGeneralPurposeBitFlag(uint16_t(utf8Name | (encrypt ? ZpFlagEncrypted : 0)));
  item.SetInternalFileAttributes(helper.IsText() ? 1 : 0);
}

}  // namespace

void ZpInsertFromFile(TZpZipArchive& archive, TZpZipItem& item, TStream& output) {
  TFileStream source(item.DiskFileName(), fmOpenRead | fmShareDenyWrite);
  int32_t age = FileGetDateHandle(source.Handle());
  if (age == -1) age = DateTimeToFileDate(Now());
  item.SetLastModFileDate(uint16_t(uint32_t(age) >> 16));
  item.SetLastModFileTime(uint16_t(age & 0xFFFF));
  int attr = FileGetAttr(item.DiskFileName());
  item.SetExternalFileAttributes(attr < 0 ? 0 : uint32_t(attr));
  Compress(archive, item, output, source);
}

void ZpInsertFromStream(TZpZipArchive& archive, TZpZipItem& item, TStream& output, TStream* source) {
  if (!source) throw EZpZipNoInsertion();
  int32_t age = DateTimeToFileDate(Now());
  item.SetLastModFileDate(uint16_t(uint32_t(age) >> 16));
  item.SetLastModFileTime(uint16_t(age & 0xFFFF));
  item.SetExternalFileAttributes(0);
  source->SetPosition(0);
  Compress(archive, item, output, *source);
}

#include "zip/engine/ZpUnzipItem.h"

#include <memory>

#include "platform/rtl/Files.h"
#include "platform/rtl/WholeFiles.h"
#include "zip/engine/ZpBitBucketStream.h"
#include "zip/engine/ZpUnzipHelper.h"
#include "zip/engine/ZpZDecoder.h"
#include "zip/engine/ZpZipArchive.h"

namespace {

constexpr int MaxVersionNeeded = 20;

// Reads the item's local header and leaves the input at the item's data. The header is read in
// one piece of the size the central directory gives for it; only when its own lengths differ
// is it read again field by field.
TZpZipLocalFileHeader ReadLocalHeader(TZpZipArchive& archive, TZpZipItem& item) {
  if (archive.IsSpanned() && item.DiskNumberStart() != archive.CurrentDisk()) archive.OpenVolume(item.DiskNumberStart());
  TStream& input = *archive.Stream();
  const int64_t at = item.RelativeOffset();
  input.SetPosition(at);
  TZpZipLocalFileHeader lfh;
  const TZpZipDirectoryFileHeader& cdh = item.ItemInfo();
  TMemoryStream head;
  head.SetSize(ZpLocalHeaderSize + int64_t(cdh.FileName.size()) + int64_t(cdh.ExtraField.size()));
  const int64_t got = input.Read(head.Memory(), head.Size());
  if (got >= ZpLocalHeaderSize) {
    const uint8_t* b = head.Memory();
    const int64_t size = ZpLocalHeaderSize + (b[26] | b[27] << 8) + (b[28] | b[29] << 8);
    if (size <= got) {
      head.SetSize(size);
      lfh.LoadFromStream(head);
      input.SetPosition(at + size);
      return lfh;
    }
  }
  input.SetPosition(at);
  lfh.LoadFromStream(input);
  return lfh;
}

// Runs the item's data through its decoder into output and checks the CRC.
void DecodeOnce(TZpZipArchive& archive, TZpZipItem& item, TStream& output, TZpZDecoder* decryptor) {
  TStream* input = archive.Stream();
  TZpUnzipHelper helper(input, &output, decryptor);
  helper.SetInflater(&archive.Inflater());
  helper.SetCompressedSize(item.CompressedSize());
  helper.SetUncompressedSize(item.UncompressedSize());
  helper.SetMethod(item.CompressionMethod());
  helper.SetDictionarySize(int(item.DictionarySize()));
  helper.SetTreeCount(item.ShannonFanoTreeCount());
  helper.OnProgress = [&archive, &item](int percent, bool& abort) {
    archive.DoArchiveItemProgress(&item, uint8_t(percent), abort);
  };
  if (archive.IsSpanned()) {
    helper.OnNextVolume = [&archive]() -> TStream* {
      archive.OpenVolume(archive.CurrentDisk() + 1);
      archive.Stream()->SetPosition(0);
      return archive.Stream();
    };
  }
  if (helper.Execute() != item.CRC32()) throw EZpZipBadCRC();
}

// Data that will not decode, or decodes to the wrong CRC, behind a header that passed its check.
bool SignOfWrongPassword(const EZpException& e) {
  return dynamic_cast<const EZpZipInflateBlock*>(&e) || dynamic_cast<const EZpZipBadCRC*>(&e) ||
         dynamic_cast<const EZpReadError*>(&e) || dynamic_cast<const EZpZipInvalidFactor*>(&e);
}

void Decode(TZpZipArchive& archive, TZpZipItem& item, TStream& output) {
  // An unknown method is named; a newer version is only what is left to say.
  if (!ZpCanDecodeMethod(item.CompressionMethod()))
    throw EZpZipInvalidMethod(ZpCompressionMethodName(item.CompressionMethod()));
  if ((item.VersionNeededToExtract() & 0xFF) > MaxVersionNeeded) throw EZpZipVersion();
  ReadLocalHeader(archive, item);
  if (!item.IsEncrypted()) {
    DecodeOnce(archive, item, output, nullptr);
    return;
  }
  const int64_t outputStart = output.Position();
  AnsiString password = archive.Password();
  for (int tried = 0;;) {
    TZpZDecoder decryptor(password, true, item.CRC32(), archive.Stream());
    decryptor.SetAttempts(archive.PasswordRetries() - tried);
    if (item.GeneralPurposeBitFlag() & ZpFlagDataDescriptor) decryptor.SetCheckTime(item.LastModFileTime());
    decryptor.OnNeedPassword = [&archive](AnsiString& p) {
      if (archive.OnNeedPassword) archive.OnNeedPassword(archive, p);
      else throw EZpZipInvalidPassword();
    };
    try {
      DecodeOnce(archive, item, output, &decryptor);
      return;
    } catch (const EZpException& e) {
      // One wrong password in 256 passes the one-byte check; its data then comes out as noise.
      if (!SignOfWrongPassword(e)) throw;
    }
    tried += decryptor.AttemptsUsed();
    password = decryptor.Password();
    if (tried >= archive.PasswordRetries() || !archive.OnNeedPassword) throw EZpZipInvalidPassword();
    archive.OnNeedPassword(archive, password);
    try {
      output.SetPosition(outputStart);
      output.SetSize(outputStart);
    } catch (const Exception&) {
      throw EZpZipInvalidPassword();  // what was written cannot be taken back
    }
    ReadLocalHeader(archive, item);
  }
}

}  // namespace

AnsiString ZpSafeExtractName(const AnsiString& storedName) {
  AnsiString name = ZpStripDrive(ZpForwardSlashes(storedName));
  // Separators and dots may hide a drive behind them ("/C:/x"), so strip until nothing changes.
  for (AnsiString before; before != name;) {
    before = name;
    while (!name.empty() && name[0] == '/') name.erase(0, 1);
    name = ZpStripDrive(ZpRemoveDotParts(name));
  }
  return name;
}

void ZpExtractToStream(TZpZipArchive& archive, TZpZipItem& item, TStream* stream) {
  if (!stream) throw EZpBadStream();
  Decode(archive, item, *stream);
}

void ZpExtractToFile(TZpZipArchive& archive, TZpZipItem& item, const AnsiString& name) {
  AnsiString safe = ZpSafeExtractName(name);
  bool folderEntry = !name.empty() && (name.back() == '/' || name.back() == '\\');
  bool restorePath = archive.ExtractOptions() & eoRestorePath;
  bool createDirs = archive.ExtractOptions() & eoCreateDirs;
  AnsiString base = archive.BaseDirectory();
  AnsiString prefix = base.empty() ? AnsiString() : ZpAddTrailingDelimiter(base);
  if (folderEntry) {
    if (restorePath && createDirs && !safe.empty()) ZpCreateDirectories(prefix + ExcludeTrailingPathDelimiter(safe));
    return;
  }
  AnsiString relative = restorePath ? safe : ExtractFileName(safe);
  if (relative.empty() || relative.back() == '/') throw EZpException("Cannot extract file - name leaves the target folder");
  AnsiString target = prefix + relative;
  if (!base.empty()) {
    AnsiString root = ZpAddTrailingDelimiter(ExpandFileName(base));
    if (ExpandFileName(target).compare(0, root.size(), root) != 0)
      throw EZpException("Cannot extract file - name leaves the target folder");
  }
  AnsiString folder = ExtractFileDir(target);
  if (!folder.empty() && !DirectoryExists(folder)) {
    if (!createDirs) throw EZpNoSuchDirectory();
    ZpCreateDirectories(folder);
  }
  const bool existed = PathExists(target);
  if (existed) {
    AnsiString asked = target;
    if (!archive.DoConfirmOverwrite(asked)) return;
    target = asked;
    if (DirectoryExists(target)) throw EFCreateError::ForFile(target);
  }
  try {
    // The file gets its name only when it is whole; a cut-short one is left under no name.
    std::unique_ptr<TTempBeside> temp;
    try {
      temp = std::make_unique<TTempBeside>(target);
    } catch (const EInOutError&) {
      throw EFCreateError::ForFile(target);
    }
    {
      TFileStream out(temp->Name(), fmCreate);
      Decode(archive, item, out);
      FileSetDateHandle(out.Handle(), int32_t(uint32_t(item.LastModFileDate()) << 16 | item.LastModFileTime()));
    }
    // A file made here is writable already; only a read-only item needs the mode set.
    if (const int readOnly = int(item.ExternalFileAttributes() & 0xFF) & faReadOnly) FileSetAttr(temp->Name(), readOnly);
    try {
      temp->Commit();
    } catch (const EInOutError& e) {
      throw EWriteError(e.Message());
    }
  } catch (...) {
    try {
      throw;
    } catch (const EZpUserAbort&) {
      archive.SetStatus(asInvalid);
    } catch (...) {
    }
    throw;
  }
}

void ZpTestItem(TZpZipArchive& archive, TZpZipItem& item) {
  TZpZipLocalFileHeader lfh = ReadLocalHeader(archive, item);
  const TZpZipDirectoryFileHeader& cdh = item.ItemInfo();
  bool same = lfh.VersionNeededToExtract == cdh.VersionNeededToExtract &&
              lfh.GeneralPurposeBitFlag == cdh.GeneralPurposeBitFlag && lfh.LastModFileTime == cdh.LastModFileTime &&
              lfh.LastModFileDate == cdh.LastModFileDate && lfh.FileName == cdh.FileName;
  // With a data descriptor the local header need not know the CRC and sizes.
  if (!(cdh.GeneralPurposeBitFlag & ZpFlagDataDescriptor))
    same = same && lfh.CRC32 == cdh.CRC32 && lfh.CompressedSize == cdh.CompressedSize &&
           lfh.UncompressedSize == cdh.UncompressedSize;
  if (!same) throw EZpZipInvalidLFH();
  TZpBitBucketStream bucket(0);
  Decode(archive, item, bucket);
}

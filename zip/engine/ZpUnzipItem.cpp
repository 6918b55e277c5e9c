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

// Items this small come in with their local header in one read.
constexpr int64_t HeldDataLimit = 64 * 1024;

// Reads the item's local header into lfh and returns the stream positioned at the item's data.
// The header is read in one piece of the size the central directory gives for it, together with
// the data of a small item, which then comes from held; only when the header's own lengths differ
// is it read again field by field.
TStream& ReadLocalHeader(TZpZipArchive& archive, TZpZipItem& item, TMemoryStream& held, TZpZipLocalFileHeader& lfh) {
  if (archive.IsSpanned() && item.DiskNumberStart() != archive.CurrentDisk()) archive.OpenVolume(item.DiskNumberStart());
  TStream& input = *archive.Stream();
  const int64_t at = item.RelativeOffset();
  input.SetPosition(at);
  const TZpZipDirectoryFileHeader& cdh = item.ItemInfo();
  const int64_t data = item.CompressedSize();
  const bool withData = !archive.IsSpanned() && data <= HeldDataLimit;
  const int64_t headSize = ZpLocalHeaderSize + int64_t(cdh.FileName.size()) + int64_t(cdh.ExtraField.size());
  held.SetSize(headSize + (withData ? data : 0));
  int64_t got = input.Read(held.Memory(), held.Size());
  if (got >= ZpLocalHeaderSize) {
    const uint8_t* b = held.Memory();
    const int64_t size = ZpLocalHeaderSize + (b[26] | b[27] << 8) + (b[28] | b[29] << 8);
    // Writers often give the local header a longer extra field than the central one: the rest
    // of the data follows on from where the read stopped.
    if (withData && got == held.Size() && size + data > got) {
      held.SetSize(size + data);
      got += input.Read(held.Memory() + got, held.Size() - got);
    }
    if (size <= got) {
      held.SetPosition(0);
      lfh.LoadFromStream(held);
      if (withData && got - size >= data) return held;
      input.SetPosition(at + size);
      return input;
    }
  }
  input.SetPosition(at);
  lfh.LoadFromStream(input);
  return input;
}

// Runs the item's data from input through its decoder into output and checks the CRC.
void DecodeOnce(TZpZipArchive& archive, TZpZipItem& item, TStream& input, TStream& output, TZpZDecoder* decryptor) {
  TZpUnzipHelper helper(&input, &output, decryptor);
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
  TMemoryStream held;
  TZpZipLocalFileHeader lfh;
  TStream* input = &ReadLocalHeader(archive, item, held, lfh);
  if (!item.IsEncrypted()) {
    DecodeOnce(archive, item, *input, output, nullptr);
    return;
  }
  const int64_t outputStart = output.Position();
  AnsiString password = archive.Password();
  for (int tried = 0;;) {
    TZpZDecoder decryptor(password, true, item.CRC32(), input);
    decryptor.SetAttempts(archive.PasswordRetries() - tried);
    if (item.GeneralPurposeBitFlag() & ZpFlagDataDescriptor) decryptor.SetCheckTime(item.LastModFileTime());
    decryptor.OnNeedPassword = [&archive](AnsiString& p) {
      if (archive.OnNeedPassword) archive.OnNeedPassword(archive, p);
      else throw EZpZipInvalidPassword();
    };
    try {
      DecodeOnce(archive, item, *input, output, &decryptor);
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
    input = &ReadLocalHeader(archive, item, held, lfh);
  }
}

bool HasParentPart(const AnsiString& path) {
  for (std::size_t i = 0; (i = path.find("..", i)) != AnsiString::npos; i += 2) {
    const bool starts = i == 0 || path[i - 1] == '/';
    const bool ends = i + 2 == path.size() || path[i + 2] == '/';
    if (starts && ends) return true;
  }
  return false;
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
  // A relative name without ".." parts stays below the folder it is appended to.
  if (!base.empty() && HasParentPart(relative)) {
    AnsiString root = ZpAddTrailingDelimiter(ExpandFileName(base));
    if (ExpandFileName(target).compare(0, root.size(), root) != 0)
      throw EZpException("Cannot extract file - name leaves the target folder");
  }
  const AnsiString folder = ExtractFileDir(target);
  // A folder found empty holds only what this extraction put there, so the usual case asks the
  // file system nothing before the file is written; the rename then refuses a name that another
  // writer took meanwhile, and the file goes the usual way.
  int folderHandle = -1;
  bool absent = archive.KnownAbsent(folder.empty() ? AnsiString(".") : folder, ExtractFileName(target), &folderHandle);
  for (;;) {
    // Where the name is taken, its folder is there; otherwise a missing folder shows when the
    // temporary cannot be made, so the usual case asks nothing of the folder.
    const bool existed = !absent && PathExists(target);
    if (existed) {
      AnsiString asked = target;
      if (!archive.DoConfirmOverwrite(asked)) return;
      target = asked;
      if (DirectoryExists(target)) throw EFCreateError::ForFile(target);
    }
    try {
      // The file gets its name only when it is whole; a cut-short one is left under no name.
      std::unique_ptr<TTempBeside> temp;
      int handle = -1;
      try {
        temp = std::make_unique<TTempBeside>(target, &handle, absent ? folderHandle : -1);
      } catch (const EInOutError&) {
        // The folder looked at may have gone since: its path decides from here on.
        if (absent) {
          absent = false;
          continue;
        }
        if (existed || folder.empty() || DirectoryExists(folder)) throw EFCreateError::ForFile(target);
        if (!createDirs) throw EZpNoSuchDirectory();
        ZpCreateDirectories(folder);
        try {
          temp = std::make_unique<TTempBeside>(target, &handle);
        } catch (const EInOutError&) {
          throw EFCreateError::ForFile(target);
        }
      }
      TFileStream out(temp->Name(), handle);
      Decode(archive, item, out);
      FileSetDateHandle(out.Handle(), int32_t(uint32_t(item.LastModFileDate()) << 16 | item.LastModFileTime()));
      // A file made here is writable already; only a read-only item needs the mode set.
      if (const int readOnly = int(item.ExternalFileAttributes() & 0xFF) & faReadOnly) FileSetAttr(temp->Name(), readOnly);
      bool placed = true;
      try {
        if (absent) placed = temp->CommitIfAbsent(out.Handle(), false);
        else temp->Commit(out.Handle(), false);
      } catch (const EInOutError& e) {
        throw EWriteError(e.Message());
      }
      if (placed) {
        const AnsiString written = ExtractFileDir(target);
        archive.SyncFolderLater(written.empty() ? AnsiString(".") : written);
        archive.NoteWritten(written.empty() ? AnsiString(".") : written, ExtractFileName(target));
        return;
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
    absent = false;
  }
}

void ZpTestItem(TZpZipArchive& archive, TZpZipItem& item) {
  TMemoryStream held;
  TZpZipLocalFileHeader lfh;
  ReadLocalHeader(archive, item, held, lfh);
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

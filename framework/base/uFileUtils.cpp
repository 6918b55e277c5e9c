#include "framework/base/uFileUtils.h"

#include <sys/stat.h>

#include <memory>
#include <optional>
#include <vector>

#include "framework/base/TkFileOp.h"
#include "framework/base/uMessageDialog.h"
#include "framework/base/uStringUtils.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/WholeFiles.h"
#include "platform/classlib/Forms.h"

namespace {

// Long file work lets the window stay responsive.
void ProcessPendingMessages() { Application().ProcessMessages(); }

constexpr int kWaitPasses = 1000;
// The shell reports an error of the platform's own numbering that still leaves the copy done.
constexpr int kShellCopyDoneCode = 6;
constexpr int kSizeTries = 10;

constexpr const char* kSourceLine = "\rsource: %s";
constexpr const char* kDestLine = "\rdest   : %s";
constexpr const char* kDeleteFailed = "Unable to delete file:";
constexpr const char* kDeleteNotGone = "Unable to delete file (waited for deletion):";
constexpr const char* kDirectoryNotCreated = "Directory does not exist and cannot be created";
constexpr const char* kFileInTheWay = "Directory cannot be created: a file of that name is in the way";
constexpr const char* kSizeUnknown = "Unable to get file size for\r %s\rRetry %d?";

// The texts of the two checked roads: moving and copying.
struct TCheckedTexts {
  const char* SourceMissing;
  const char* DestinationMissing;
  const char* SizeDiffers;  // may hold two %n for destination and source sizes
  const char* StreamError;
};

constexpr TCheckedTexts kMoveTexts = {
    "Unable to move file (source doesn't exist)",
    "Unable to move file (destination doesn't exist afer move)",
    "Unable to move file (destination (%0.0n) is not the same size as source (%0.0n))",
    "Unable to move file (stream error during move)",
};

constexpr TCheckedTexts kCopyTexts = {
    "Unable to copy file (source doesn't exist)",
    "Unable to copy file (destination doesn't exist afer copy)",
    "Unable to copy file (destination is not the same size as source)",
    "Unable to copy file (error during copy)",
};

// A destination that names an existing folder receives the file under its own name.
AnsiString ResolveCopyDestination(const AnsiString& source, const AnsiString& destination) {
  AnsiString dest = ExpandFileName(destination);
  if (DirectoryExists(dest)) dest = IncludeTrailingPathDelimiter(dest) + ExtractFileName(source);
  return dest;
}

bool SameFileOnDisk(const AnsiString& a, const AnsiString& b) {
  struct stat sa{}, sb{};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void CopyBlocks(TFileStream& in, TFileStream& out, const TCopyGauge& gauge, int64_t blockCount) {
  std::vector<char> buffer(CopyBlockSize);
  int64_t blocksDone = 0;
  int lastPercent = -1;
  for (;;) {
    int64_t got = in.Read(buffer.data(), CopyBlockSize);
    out.WriteBuffer(buffer.data(), got);
    ++blocksDone;
    if (gauge) {
      int percent = static_cast<int>(blocksDone * 100 / blockCount);
      if (percent != lastPercent) {
        lastPercent = percent;
        gauge(percent);
        ProcessPendingMessages();
      }
    }
    if (got < CopyBlockSize) break;
  }
}

// Steps shared by the move and the copy: source check, stream copy, arrival, size. False on a
// failure without raising; EFileMoveError with raising.
bool CheckedStreamCopy(const AnsiString& source, const AnsiString& destination, bool raiseOnError,
                       bool checkSize, bool missingSourceIsSuccess, const TCheckedTexts& texts, bool& copied) {
  copied = false;
  ProcessPendingMessages();
  if (!FileExists(source)) {
    if (missingSourceIsSuccess) return true;
    if (raiseOnError) throw EFileMoveError(texts.SourceMissing, source, destination);
    return false;
  }
  try {
    StreamCopyFile(source, destination);
    const AnsiString arrived = ResolveCopyDestination(source, destination);
    if (!WaitForFile(arrived, false)) {
      if (raiseOnError) throw EFileMoveError(texts.DestinationMissing, source, destination);
      return false;
    }
    if (checkSize) {
      int64_t sourceSize = -1, destSize = -1;
      if (!SameFileSize(source, arrived, sourceSize, destSize)) {
        if (raiseOnError)
          throw EFileMoveError(Format(texts.SizeDiffers, {static_cast<double>(destSize), static_cast<double>(sourceSize)}),
                               source, destination);
        return false;
      }
    }
  } catch (const EStreamError& e) {
    if (raiseOnError) throw EFileMoveError(AnsiString(texts.StreamError) + "\r(" + e.Message() + ")", source, destination);
    return false;
  }
  copied = true;
  return true;
}

}  // namespace

EFileException::EFileException(const AnsiString& reason, const AnsiString& source)
    : Exception(reason + Format(kSourceLine, {source})), FSource(source) {}

EFileMoveError::EFileMoveError(const AnsiString& reason, const AnsiString& source, const AnsiString& destination)
    : EFileException((reason + Format(kDestLine, {destination})).substr(0, 255), source), FDestination(destination) {}

bool UseShellFileOperations() { return false; }

void StreamCopyFile(const AnsiString& source, const AnsiString& destination, const TCopyGauge& gauge) {
  const AnsiString dest = ResolveCopyDestination(source, destination);
  const int32_t stamp = FileAge(source);
  int64_t blockCount = 1;
  if (gauge) {
    int64_t size = 0;
    GetFileSizeRetry(source, size);
    blockCount = (size > 0 ? size / CopyBlockSize : 0) + 1;
  }
  // Creating the destination would truncate the very file being read.
  if (SameFileOnDisk(source, dest)) throw EFCreateError::ForFile(dest);
  // The copy gets its real name only when it is whole: a full disk or a killed process leaves
  // a temporary that the next start removes, never a short file under the good name.
  TFileStream in(source, fmOpenRead | fmShareDenyWrite);
  AnsiString temp;
  try {
    temp = CreateTempBeside(dest);
  } catch (const EInOutError&) {
    throw EFCreateError::ForFile(dest);
  }
  try {
    {
      TFileStream out(temp, fmCreate);
      CopyBlocks(in, out, gauge, blockCount);
      if (out.Size() != in.Size()) throw EWriteError(Format("Copy of %s cut short", {source}));
    }
    if (stamp != -1) FileSetDate(temp, stamp);
    CommitTemp(temp, dest);
  } catch (const EInOutError& e) {
    DeleteFile(temp);
    throw EWriteError(e.Message());
  } catch (...) {
    DeleteFile(temp);
    throw;
  }
}

bool WaitForFile(const AnsiString& name, bool requireSize) {
  ProcessPendingMessages();
  for (int pass = 0; pass < kWaitPasses; ++pass) {
    if (FileExists(name) && (!requireSize || FileSizeByName(name) > 0)) {
      ProcessPendingMessages();
      return true;
    }
    ProcessPendingMessages();
  }
  return false;
}

bool WaitForFileGone(const AnsiString& name) {
  for (int pass = 0; pass < kWaitPasses && FileExists(name); ++pass) ProcessPendingMessages();
  return !FileExists(name);
}

bool DeleteOneFile(const AnsiString& name, bool raiseOnError) {
  ProcessPendingMessages();
  if (!FileExists(name)) return true;
  if (DeleteFile(name)) {
    if (WaitForFileGone(name)) return true;
    if (raiseOnError) throw EFileDeletionError(kDeleteNotGone, name);
    return false;
  }
  if (raiseOnError) throw EFileDeletionError(kDeleteFailed, name);
  return false;
}

bool DeleteFiles(const TStrings& names, bool raiseOnError) {
  for (int i = 0; i < names.Count(); ++i)
    if (!DeleteOneFile(names[i], raiseOnError)) return false;
  return true;
}

bool MoveFileChecked(const AnsiString& source, const AnsiString& destination, bool raiseOnError, bool checkSize,
                     bool missingSourceIsSuccess) {
  bool copied = false;
  if (!CheckedStreamCopy(source, destination, raiseOnError, checkSize, missingSourceIsSuccess, kMoveTexts, copied))
    return false;
  // A source that cannot be deleted stays beside its good copy.
  if (copied) DeleteOneFile(source, false);
  return true;
}

namespace {

// The second try of a checked copy. It writes the exact destination path, not a name of the
// shell's choosing in the destination folder, and checks that very path afterwards.
bool ShellCopyChecked(const AnsiString& source, const AnsiString& destination, AnsiString& failure) {
  const AnsiString arrived = ResolveCopyDestination(source, destination);
  TTkFileOperation op;
  op.SetOperation(TTkFileOp::fopCopy);
  op.SetOptions({TTkFileOpOption::foFilesOnly, TTkFileOpOption::foNoConfirmation, TTkFileOpOption::foNoConfirmMkDir});
  op.SetConfirmFiles(false);
  op.SetDestination(ExtractFileDir(arrived));
  op.SourceFiles().Add(source + "=" + arrived);
  bool done = false;
  try {
    done = op.Execute() || GetLastError() == kShellCopyDoneCode;
  } catch (const ETkFileOpError&) {
    done = false;
  }
  if (!done) {
    failure = kCopyTexts.StreamError;
    return false;
  }
  if (!WaitForFile(arrived, false)) {
    failure = kCopyTexts.DestinationMissing;
    return false;
  }
  int64_t sourceSize = -1, destSize = -1;
  if (!SameFileSize(source, arrived, sourceSize, destSize)) {
    failure = kCopyTexts.SizeDiffers;
    return false;
  }
  return true;
}

}  // namespace

bool CopyFileChecked(const AnsiString& source, const AnsiString& destination, bool raiseOnError,
                     bool missingSourceIsSuccess) {
  bool copied = false;
  std::optional<EFileMoveError> streamFailure;
  try {
    if (CheckedStreamCopy(source, destination, true, true, missingSourceIsSuccess, kCopyTexts, copied)) return true;
  } catch (const EFileMoveError& e) {
    streamFailure = e;
  }
  // Without a source the shell has nothing to copy; the stream road's reason stands.
  AnsiString shellFailure = kCopyTexts.StreamError;
  if (FileExists(source) && ShellCopyChecked(source, destination, shellFailure)) return true;
  if (!raiseOnError) return false;
  // A shell copy that got as far as writing says more than the stream road's first complaint.
  if (streamFailure && shellFailure == kCopyTexts.StreamError) throw *streamFailure;
  throw EFileMoveError(shellFailure, source, destination);
}

bool RestoreFromIniCopy(const AnsiString& name) {
  if (FileExists(name)) return true;
  if (UpperCase(ExtractExtension(ExtractFilePart(name))) == "INI") return false;
  const AnsiString iniCopy = ReplaceExtension(name, "INI");
  if (!FileExists(iniCopy)) return false;
  try {
    CopyFileChecked(iniCopy, name, true, false);
  } catch (const Exception&) {
    // A failed fill leaves the option file missing; the caller starts without it.
  }
  return FileExists(name);
}

bool PrepareOptionFile(const AnsiString& name, AnsiString& outName) {
  outName = name;
  return RestoreFromIniCopy(name);
}

bool ForceDirectoriesChecked(const AnsiString& folder) {
  if (folder.empty()) return false;
  const AnsiString path = EnsureTrailingBackslash(ExpandFileName(folder));
  AnsiString bare = ExcludeTrailingPathDelimiter(path);
  if (bare.empty()) bare = "/";
  // A file where a folder of the chain goes is the user's: it is named, never deleted.
  for (AnsiString part = bare; part.size() > 1; part = ExcludeTrailingPathDelimiter(ExtractFilePath(part))) {
    if (DirectoryExists(part)) break;
    if (FileExists(part)) throw EInvalidDrive(kFileInTheWay, part);
  }
  // There are no drives: every path lies on a fixed disk.
  ForceDirectories(bare);
  if (!DirectoryExists(bare)) throw EInvalidDrive(kDirectoryNotCreated, path);
  return true;
}

bool GetFileDate(const AnsiString& name, TDateTime& date) {
  if (!FileExists(name)) return false;
  int32_t stamp = FileAge(name);
  if (stamp == -1) return false;
  date = FileDateToDateTime(stamp);
  return true;
}

void SetFileDate(const AnsiString& name, TDateTime date) {
  if (FileExists(name)) FileSetDate(name, DateTimeToFileDate(date));
}

bool GetFileSizeRetry(const AnsiString& name, int64_t& size) {
  size = -1;
  for (int attempt = 0; attempt < kSizeTries; ++attempt) {
    if (FileExists(name)) {
      size = FileSizeByName(name);
      if (size >= 0) return true;
      if (ShowMessageDialog(Format(kSizeUnknown, {name, attempt}), TMsgDlgType::mtWarning, mbYesNo) == mrNo)
        return false;
    } else {
      ProcessPendingMessages();
    }
  }
  return false;
}

bool SameFileSize(const AnsiString& nameA, const AnsiString& nameB, int64_t& sizeA, int64_t& sizeB) {
  GetFileSizeRetry(nameA, sizeA);
  GetFileSizeRetry(nameB, sizeB);
  return sizeA >= 0 && sizeB >= 0 && sizeA == sizeB;
}

bool IsZipFile(const AnsiString& name) { return UpperCase(ExtractExtension(ExtractFilePart(name))) == "ZIP"; }

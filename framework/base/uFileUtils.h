// File routines of the splitting road: checked moves and copies, deletions that wait until the
// file is gone, folder chains, file dates and sizes, and the exceptions naming the paths involved.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/StringList.h"

class EFileException : public Exception {
public:
  // Message: reason, then a line "source: " + source.
  EFileException(const AnsiString& reason, const AnsiString& source);
  static EFileException CreateWithSource(const AnsiString& reason, const AnsiString& source) {
    return EFileException(reason, source);
  }
  const AnsiString& Source() const { return FSource; }

private:
  AnsiString FSource;
};

class EFileDeletionError : public EFileException {
public:
  using EFileException::EFileException;
};

class EInvalidDrive : public EFileException {
public:
  using EFileException::EFileException;
};

class EFileMoveError : public EFileException {
public:
  // Message: reason, a line "dest   : " + destination, a line "source: " + source.
  EFileMoveError(const AnsiString& reason, const AnsiString& source, const AnsiString& destination);
  static EFileMoveError CreateWithSourceDest(const AnsiString& reason, const AnsiString& source,
                                             const AnsiString& destination) {
    return EFileMoveError(reason, source, destination);
  }
  const AnsiString& Destination() const { return FDestination; }

private:
  AnsiString FDestination;
};

constexpr int CopyBlockSize = 8192;
bool UseShellFileOperations();

// Percentage of a copy, 0..100; no caller passes one yet.
using TCopyGauge = std::function<void(int percent)>;

// Copies source onto destination (into it, when it names a folder), keeping the file date.
// Copying a file onto itself raises EFCreateError and leaves it whole.
void StreamCopyFile(const AnsiString& source, const AnsiString& destination, const TCopyGauge& gauge = {});
bool WaitForFile(const AnsiString& name, bool requireSize);
bool WaitForFileGone(const AnsiString& name);
bool DeleteOneFile(const AnsiString& name, bool raiseOnError);
bool DeleteFiles(const TStrings& names, bool raiseOnError);
// Copy, check, delete. Failures give False, or EFileMoveError with raiseOnError.
bool MoveFileChecked(const AnsiString& source, const AnsiString& destination, bool raiseOnError,
                     bool checkSize, bool missingSourceIsSuccess);
// The copying twin of MoveFileChecked: the source stays. A failed stream copy is tried once more
// through the shell's copy operation.
bool CopyFileChecked(const AnsiString& source, const AnsiString& destination, bool raiseOnError,
                     bool missingSourceIsSuccess);
// A missing option file is filled from the same name with the extension "INI", when that exists.
// True when the name exists afterwards.
bool RestoreFromIniCopy(const AnsiString& name);
bool PrepareOptionFile(const AnsiString& name, AnsiString& outName);
// Creates the folder chain; raises EInvalidDrive when it cannot.
bool ForceDirectoriesChecked(const AnsiString& folder);
bool GetFileDate(const AnsiString& name, TDateTime& date);
void SetFileDate(const AnsiString& name, TDateTime date);
// size is -1 when unknown; may ask the user whether to retry.
bool GetFileSizeRetry(const AnsiString& name, int64_t& size);
bool SameFileSize(const AnsiString& nameA, const AnsiString& nameB, int64_t& sizeA, int64_t& sizeB);
bool IsZipFile(const AnsiString& name);

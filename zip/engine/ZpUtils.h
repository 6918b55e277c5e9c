// The engine's small shared routines: the pad lock, percentage, path and name routines, the file
// search and wildcard matcher, drive helpers and temporary file names.
#pragma once

#include <cstdint>
#include <mutex>

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/StringList.h"

class TStream;
class TFileStream;

// A critical section with a nesting count; it locks only when the program runs more than one thread.
class TZpPadLock {
public:
  void Lock(bool lock);
  int Count() const { return FCount; }

private:
  std::recursive_mutex FSection;
  int FCount = 0;
};

// done * 100 div total, 0 for an empty total, 100 when done; large totals are first scaled down.
uint8_t ZpPercentage(int64_t done, int64_t total);

// Path routines. Stored names may carry "\" from other systems; disk paths use PathDelim.
AnsiString ZpForwardSlashes(const AnsiString& path);   // every "\" becomes "/"
AnsiString ZpBackSlashes(const AnsiString& path);      // every "/" becomes "\"
// Splits into drive (a "X:" prefix or a "//server/share" root), folder and name.
void ZpParsePath(const AnsiString& path, AnsiString& drive, AnsiString& folder, AnsiString& name);
AnsiString ZpStripDrive(const AnsiString& path);       // folder + name
AnsiString ZpRemoveLeadingDots(const AnsiString& path); // leading "../" parts, repeatedly
AnsiString ZpRemoveDotParts(const AnsiString& path);   // every "." and ".." part
AnsiString ZpAddTrailingDelimiter(const AnsiString& path);
// 2 absolute ("//" or ":"), 1 relative (holds a separator), 0 a bare name.
int ZpPathType(const AnsiString& mask);
// 1-based position of the n-th separator, 0 when there are fewer.
std::size_t ZpFindNthSlash(const AnsiString& path, int n);
void ZpSplitFolder(const AnsiString& folder, TStrings& parts);
bool ZpHasWildcards(const AnsiString& name);
// True for well-formed UTF-8 that holds at least one character beyond ASCII.
bool ZpIsUtf8BeyondAscii(const AnsiString& name);

bool ZpDirectoryExists(const AnsiString& name);        // false for names with wildcards
void ZpCreateDirectories(const AnsiString& path);       // level by level; raises EZpNoSuchDirectory
// Each level as found on disk; a missing folder raises EZpException "Path not found", a missing file
// EZpFileNotFound.
AnsiString ZpShortPath(const AnsiString& path);

// Adds folder of mask + each name found; recurse searches sub-folders with the same file part.
void ZpFindFiles(const AnsiString& mask, int searchAttr, TStrings& files, bool recurse);
// Case-insensitive; when the mask has a folder part the folder parts must match too.
bool ZpMatchWildcard(const AnsiString& name, const AnsiString& mask);

bool ZpDriveIsRemovable(const AnsiString& path);
int64_t ZpDiskFree(const AnsiString& path);            // 0 when 2 GB or more, or unknown
int ZpSetVolumeLabel(const AnsiString& drive, const AnsiString& label);  // 0 on success
void ZpTruncateFile(TFileStream& stream, int64_t position);

// A new temporary file "VMS..." in folder when it exists, else in the system temp folder.
AnsiString ZpTempFileName(const AnsiString& folder);

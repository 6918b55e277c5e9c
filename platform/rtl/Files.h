// Files and folders as the run-time offers them: names, attributes, searches, dates and sizes.
#pragma once

#include <cstdint>

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/DateTime.h"

constexpr char PathDelim = '/';

// File attributes keep the platform's bit values.
constexpr int faReadOnly = 0x01;
constexpr int faHidden = 0x02;
constexpr int faSysFile = 0x04;
constexpr int faVolumeID = 0x08;
constexpr int faDirectory = 0x10;
constexpr int faArchive = 0x20;
constexpr int faAnyFile = 0x3F;

bool FileExists(const AnsiString& name);       // a file, not a folder
bool PathExists(const AnsiString& name);       // a file or a folder, in one look
bool DirectoryExists(const AnsiString& name);
AnsiString ExpandFileName(const AnsiString& name);
bool DeleteFile(const AnsiString& name);
bool RenameFile(const AnsiString& oldName, const AnsiString& newName);
bool CreateDir(const AnsiString& name);
bool RemoveDir(const AnsiString& name);
bool ForceDirectories(const AnsiString& name);
AnsiString GetCurrentDir();
bool SetCurrentDir(const AnsiString& name);

AnsiString ExtractFilePath(const AnsiString& name);   // with its trailing separator
AnsiString ExtractFileDir(const AnsiString& name);    // without it
AnsiString ExtractFileName(const AnsiString& name);
AnsiString ExtractFileExt(const AnsiString& name);    // with the dot
AnsiString ChangeFileExt(const AnsiString& name, const AnsiString& ext);
AnsiString IncludeTrailingPathDelimiter(const AnsiString& name);
AnsiString ExcludeTrailingPathDelimiter(const AnsiString& name);

// -1 when the file is missing; sizes are 64-bit.
int64_t FileSizeByName(const AnsiString& name);
int FileGetAttr(const AnsiString& name);               // -1 when missing
int FileSetAttr(const AnsiString& name, int attr);     // 0 on success; only faReadOnly has effect

// The platform's packed file date: local time, high word date, low word time (2-second units).
int32_t FileAge(const AnsiString& name);               // -1 when missing
int FileSetDate(const AnsiString& name, int32_t age);  // 0 on success, else an error number
int32_t FileGetDateHandle(int handle);                 // -1 on failure
int FileSetDateHandle(int handle, int32_t age);
TDateTime FileDateToDateTime(int32_t fileDate);
int32_t DateTimeToFileDate(TDateTime dt);

struct TSearchRec {
  int32_t Time = 0;
  int64_t Size = 0;
  int Attr = 0;
  AnsiString Name;
  int ExcludeAttr = 0;
  struct FindData;
  FindData* FFind = nullptr;
};
// Pattern in the last path part with '*' and '?'; folders only when attr asks for faDirectory.
int FindFirst(const AnsiString& path, int attr, TSearchRec& rec);  // 0 when found
int FindNext(TSearchRec& rec);
void FindClose(TSearchRec& rec);
bool MatchesMask(const AnsiString& name, const AnsiString& mask);  // case-insensitive

int64_t DiskFree(const AnsiString& path);     // bytes free on the file system of path, -1 unknown
int64_t DiskSize(const AnsiString& path);

// Drive types keep the platform's numbers; every path here is on a fixed disk.
constexpr int DRIVE_UNKNOWN = 0;
constexpr int DRIVE_NO_ROOT_DIR = 1;
constexpr int DRIVE_REMOVABLE = 2;
constexpr int DRIVE_FIXED = 3;
constexpr int DRIVE_REMOTE = 4;
constexpr int DRIVE_CDROM = 5;
constexpr int DRIVE_RAMDISK = 6;
int GetDriveType(const AnsiString& root);

AnsiString GetTempPath();                                      // with trailing separator
// Creates a new empty file in dir named prefix + a unique number + ".tmp" and returns its path.
AnsiString GetTempFileName(const AnsiString& dir, const AnsiString& prefix);

// The program file: ParamStr(0). Tests may point it elsewhere.
AnsiString ParamStr(int index);
int ParamCount();
void SetProgramArgs(int argc, char** argv);
void SetExeNameForTesting(const AnsiString& path);

// The last error number of the platform's file calls (errno).
int GetLastError();
AnsiString SysErrorMessage(int code);

// Files written whole or not at all: written under a temporary name in their target folder and
// renamed to their real name once complete, so a full disk or a killed process never leaves a
// part-written file under a good name.
#pragma once

#include <string_view>

#include "platform/rtl/AnsiString.h"

// A new, empty file in the folder of Target, named ".qvx-<process id>-<number>.part". The leading
// dot keeps it out of file lists; the process id tells a later run whether its writer still lives.
AnsiString CreateTempBeside(const AnsiString& Target);
// The same, leaving the new file open for reading and writing in *Handle, which the caller closes.
// A Folder handle open on Target's folder spares the system the walk along its path.
AnsiString CreateTempBeside(const AnsiString& Target, int* Handle, int Folder = -1);
bool IsTempName(const AnsiString& FileName);
// Flushes Temp to the disk and renames it over Target; on failure Temp is removed and
// EInOutError names Target. A Handle open on Temp is flushed instead of opening Temp again. The
// folder is flushed too unless SyncFolder is false: a writer of many files flushes it once, after.
void CommitTemp(const AnsiString& Temp, const AnsiString& Target, int Handle = -1, bool SyncFolder = true);
// The same where nothing is named Target; where something is, Target and Temp are left as they
// are and the result is false. Folder as for CreateTempBeside, with Temp beside Target.
bool CommitTempIfAbsent(const AnsiString& Temp, const AnsiString& Target, int Handle = -1, bool SyncFolder = true,
                        int Folder = -1);
// Flushes the names in Folder to the disk, as far as the file system lets it.
void SyncFolder(const AnsiString& Folder);
// Data to Target through a temporary beside it; Target is untouched when this raises.
void WriteFileWhole(const AnsiString& Target, std::string_view Data);
// Removes the temporaries of writers that no longer run from Folder; returns how many.
int RemoveStaleTemps(const AnsiString& Folder);

// A temporary beside Target for the life of a scope: removed on every way out unless committed.
class TTempBeside {
public:
  explicit TTempBeside(const AnsiString& Target) : FTarget(Target), FName(CreateTempBeside(Target)) {}
  // Keeps the new file open in *Handle for the caller, which closes it. Folder, a handle open on
  // Target's folder, must stay open while this lives.
  TTempBeside(const AnsiString& Target, int* Handle, int Folder = -1)
      : FTarget(Target), FName(CreateTempBeside(Target, Handle, Folder)), FFolder(Folder) {}
  ~TTempBeside();
  TTempBeside(const TTempBeside&) = delete;
  TTempBeside& operator=(const TTempBeside&) = delete;

  const AnsiString& Name() const { return FName; }
  void Commit(int Handle = -1, bool SyncFolder = true);
  // False, and still a temporary, where something has the target's name.
  bool CommitIfAbsent(int Handle = -1, bool SyncFolder = true);

private:
  AnsiString FTarget;
  AnsiString FName;
  int FFolder = -1;
  bool FCommitted = false;
};

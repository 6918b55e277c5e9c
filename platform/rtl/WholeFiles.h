// Files written whole or not at all: written under a temporary name in their target folder and
// renamed to their real name once complete, so a full disk or a killed process never leaves a
// part-written file under a good name.
#pragma once

#include <string_view>

#include "platform/rtl/AnsiString.h"

// A new, empty file in the folder of Target, named ".qvx-<process id>-<number>.part". The leading
// dot keeps it out of file lists; the process id tells a later run whether its writer still lives.
AnsiString CreateTempBeside(const AnsiString& Target);
bool IsTempName(const AnsiString& FileName);
// Flushes Temp to the disk and renames it over Target; on failure Temp is removed and
// EInOutError names Target.
void CommitTemp(const AnsiString& Temp, const AnsiString& Target);
// Data to Target through a temporary beside it; Target is untouched when this raises.
void WriteFileWhole(const AnsiString& Target, std::string_view Data);
// Removes the temporaries of writers that no longer run from Folder; returns how many.
int RemoveStaleTemps(const AnsiString& Folder);

// A temporary beside Target for the life of a scope: removed on every way out unless committed.
class TTempBeside {
public:
  explicit TTempBeside(const AnsiString& Target) : FTarget(Target), FName(CreateTempBeside(Target)) {}
  ~TTempBeside();
  TTempBeside(const TTempBeside&) = delete;
  TTempBeside& operator=(const TTempBeside&) = delete;

  const AnsiString& Name() const { return FName; }
  void Commit();

private:
  AnsiString FTarget;
  AnsiString FName;
  bool FCommitted = false;
};

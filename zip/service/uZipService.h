// The door through which the rest of the program uses the zip engine: zip a list of files into
// an archive, or unzip an archive into a folder, each inside the modal progress window.
#pragma once

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/StringList.h"
#include "zip/service/uZipJob.h"

class TComponent;
class TCtlTimerPool;

// TimerPool: the caller's pool variable; the job needs both it and the pool it holds.
bool ZipFiles(TComponent* Owner, TCtlTimerPool** TimerPool, const TStrings& Files, const AnsiString& ZipName,
              const AnsiString& Password, bool KeepPaths, const AnsiString& BaseDir, bool Append, bool Freshen,
              bool Replace);
// True only when every file went in: the first volume and any continuation volumes all saved, and
// no add failed. ErrorsLogged tells whether any volume wrote to the error log.
bool ZipFilesEx(TComponent* Owner, TCtlTimerPool** TimerPool, const TStrings& Files, const AnsiString& ZipName,
                bool& ErrorsLogged, const AnsiString& Password, const AnsiString& ErrorLogName, bool Recurse,
                bool KeepPaths, const AnsiString& BaseDir, bool Append, bool Freshen, bool Replace);
// Files: in, the names to extract (empty = all); out, on success, the files written. Fails when
// any item could not be extracted.
bool UnzipFiles(TComponent* Owner, TCtlTimerPool** TimerPool, const AnsiString& ZipName, const AnsiString& TargetDir,
                TStrings& Files, bool RestorePaths, const AnsiString& Password, const TZipFilter& Filter);


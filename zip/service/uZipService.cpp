#include "zip/service/uZipService.h"

#include <memory>

#include "framework/base/uMessageDialog.h"
#include "framework/base/uStringUtils.h"
#include "platform/classlib/Forms.h"
#include "zip/service/fZipProgress.h"

namespace {

constexpr const char* kZippingCaption = "Zipping %s";
constexpr const char* kUnzippingCaption = "Unzipping %s";

AnsiString Caption(const char* fmt, const AnsiString& zipName) {
  AnsiString text;
  SafeFormat(text, fmt, {ExtractFilePart(zipName)});
  return text;
}

// The progress form with the job both directions share; the caller sets the rest of the job.
std::unique_ptr<TfrmZipProgress> NewProgressForm(TComponent* Owner, bool IsUnzip, TCtlTimerPool** TimerPool,
                                                 const AnsiString& ZipName, const AnsiString& Password,
                                                 const TStrings& Files) {
  auto form = std::make_unique<TfrmZipProgress>(Owner);
  form->AfterConstruction();
  form->SetCaption(Caption(IsUnzip ? kUnzippingCaption : kZippingCaption, ZipName));
  TZipJob& job = form->Job();
  job.IsUnzip = IsUnzip;
  job.TimerPool = TimerPool;
  job.Password = Password;
  job.ZipName = ZipName;
  job.JobFiles.Assign(Files);
  return form;
}

}  // namespace

bool ZipFiles(TComponent* Owner, TCtlTimerPool** TimerPool, const TStrings& Files, const AnsiString& ZipName,
              const AnsiString& Password, bool KeepPaths, const AnsiString& BaseDir, bool Append, bool Freshen,
              bool Replace) {
  bool errorsLogged = false;
  return ZipFilesEx(Owner, TimerPool, Files, ZipName, errorsLogged, Password, "", false, KeepPaths, BaseDir, Append,
                    Freshen, Replace);
}

bool ZipFilesEx(TComponent* Owner, TCtlTimerPool** TimerPool, const TStrings& Files, const AnsiString& ZipName,
                bool& ErrorsLogged, const AnsiString& Password, const AnsiString& ErrorLogName, bool Recurse,
                bool KeepPaths, const AnsiString& BaseDir, bool Append, bool Freshen, bool Replace) {
  ErrorsLogged = false;
  if (Files.Count() == 0) return false;
  TStringList nextVolume;
  bool result = false;
  {
    auto form = NewProgressForm(Owner, false, TimerPool, ZipName, Password, Files);
    TZipJob& job = form->Job();
    job.ErrorLogName = ErrorLogName;
    job.Recurse = Recurse;
    job.KeepPaths = KeepPaths;
    job.BaseDir = BaseDir;
    job.Append = Append;
    job.Freshen = Freshen;
    job.Replace = Replace;
    result = form->ShowModal() == mrOk;
    ErrorsLogged = job.ErrorsLogged;
    nextVolume.Assign(job.NextVolumeFiles);
  }
  if (!result || nextVolume.Count() == 0) return result;
  // Files left out by the size cap go on into the next volume; without one they would be lost.
  AnsiString nextName;
  if (!NextZipVolumeName(ZipName, nextName)) return false;
  bool nextLogged = false;
  const bool next = ZipFilesEx(Owner, TimerPool, nextVolume, nextName, nextLogged, Password, ErrorLogName, Recurse,
                               KeepPaths, BaseDir, Append, Freshen, Replace);
  ErrorsLogged = ErrorsLogged || nextLogged;
  return next;
}

bool UnzipFiles(TComponent* Owner, TCtlTimerPool** TimerPool, const AnsiString& ZipName, const AnsiString& TargetDir,
                TStrings& Files, bool RestorePaths, const AnsiString& Password, const TZipFilter& Filter) {
  auto form = NewProgressForm(Owner, true, TimerPool, ZipName, Password, Files);
  TZipJob& job = form->Job();
  job.RestorePaths = RestorePaths;
  job.TargetDir = TargetDir;
  job.Filter = Filter;
  if (form->ShowModal() != mrOk) return false;
  Files.Assign(job.JobFiles);
  return true;
}

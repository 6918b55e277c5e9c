// One zip or unzip run of the zip service: the job the progress window's trigger performs, kept
// apart from the window so that it can also run on its own.
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <unordered_set>

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/StringList.h"
#include "zip/engine/ZpZipKit.h"

class TCtlTimerPool;

// Unit settings of the service; nothing changes them.
inline constexpr int ZipMaxSizeInMb = 0;
inline constexpr int ZipSpanningThreshold = 0;

namespace ZipServiceText {
constexpr int CorruptedZip = 65200;
constexpr int Zipping = 65201;
constexpr int Unzipping = 65202;
constexpr int CannotDeleteOld = 65203;
constexpr int NoZipToUnzip = 65204;
constexpr int ZipIsEmpty = 65231;
constexpr int ItemNotUnzipped = 65232;
}  // namespace ZipServiceText

using TZipFilter = std::function<bool(const AnsiString& FullPath)>;

class TZipJob {
public:
  TZipJob();
  ~TZipJob();
  TZipJob(const TZipJob&) = delete;
  TZipJob& operator=(const TZipJob&) = delete;

  TZpZipKit& zkt() { return *FKit; }

  // The job, as the caller sets it.
  TCtlTimerPool** TimerPool = nullptr;
  bool IsUnzip = false;
  bool Recurse = false;
  bool KeepPaths = false;
  bool RestorePaths = false;
  bool Append = false;
  bool Freshen = false;
  bool Replace = false;
  bool ErrorsLogged = false;
  int TriggerHandle = -1;
  AnsiString ZipName;
  AnsiString ErrorLogName;
  AnsiString TargetDir;
  AnsiString BaseDir;
  AnsiString Password;  // at most 255 characters are used
  TStringList JobFiles;
  TStringList AddedFiles;
  TStringList NextVolumeFiles;
  TZipFilter Filter;

  // The status line of the window.
  std::function<void(const AnsiString&)> OnStatus;

  // Runs the job; the modal result, mrOk or mrCancel. Exceptions pass to the caller.
  int Run();
  // True when an add failed for a reason other than the size cap.
  bool AddFailed() const { return FAddFailed; }

private:
  int RunUnzip();
  int RunZip();
  void SetStatus(const AnsiString& text);
  void WireKit();
  void ItemFailure(TZpArchiveItem* Item, TZpProcessType ProcessType, TZpErrorClass ErrorClass, int ErrorCode);
  // The file an extracted item lands in.
  AnsiString TargetFile(const AnsiString& StoredName) const;
  bool ArchiveHasName(const AnsiString& UpperBareName) const;
  // Extracts the items matching Mask; the number of files written.
  int ExtractCounted(const AnsiString& Mask);
  // After failed items: the warning, and the files this run wrote are taken away again.
  int FailUnzip();

  std::unique_ptr<TZpZipKit> FKit;
  bool FAddFailed = false;
  AnsiString FFirstFailedItem;
  std::set<AnsiString> FFailed;    // stored names of items whose extraction failed
  TStringList FWritten;            // files extracted by this run, in order
  std::unordered_set<AnsiString> FWrittenSet;  // the same, for lookups
  AnsiString FConfirmedItem;       // stored name of the item being extracted
};

// The text of an engine error class for the error log.
AnsiString ZipErrorClassName(int ErrorClass);
// The next volume's name: "Batch_007.zip" gives "Batch_008.ZIP"; False for other names.
bool NextZipVolumeName(const AnsiString& ZipName, AnsiString& NextName);
// Sets the kit's password, then its file name. A missing or empty archive and an unreadable one
// give False, with a warning when ShowMessages.
bool OpenZipFile(TZpZipKit& Kit, const AnsiString& ZipName, bool ShowMessages, const AnsiString& Password);
// Items of an archive, read without changing or creating anything; 0 when it cannot be opened.
int ZipItemCount(TComponent* Owner, const AnsiString& ZipName);

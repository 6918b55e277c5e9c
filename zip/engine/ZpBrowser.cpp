#include "zip/engine/ZpBrowser.h"

#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"

namespace {

// Read-only and shared: browsing never keeps others from the file.
constexpr uint32_t BrowseMode = fmOpenRead | fmShareDenyNone;

}  // namespace

TZpBaseBrowser::~TZpBaseBrowser() {
  // Archive callbacks reach back into this component; they must not outlive it.
  FreeArchive();
}

void TZpBaseBrowser::FreeArchive() {
  if (!FArchive) return;
  try {
    SaveBeforeClose();
  } catch (...) {
    // A close cannot fail: what could not be saved is lost with the archive.
  }
  FArchive.reset();
}

void TZpBaseBrowser::SetFileName(const AnsiString& Value) {
  FFileName = Value;
  if (HasState(csDesigning)) return;
  FreeArchive();
  if (Value.empty()) {
    DoChange();
    return;
  }
  FArchive = OpenArchive(Value);
  if (FArchive) {
    try {
      InitArchive();
      FArchive->Load();
    } catch (...) {
      FArchive.reset();
      throw;
    }
  }
  DoChange();
}

std::unique_ptr<TZpArchive> TZpBaseBrowser::OpenArchive(const AnsiString&) { return nullptr; }

TZpArchiveItem* TZpBaseBrowser::Items(int Index) const { return CheckedArchive().Items(Index); }

TZpArchive& TZpBaseBrowser::CheckedArchive() const {
  if (!FArchive) throw EZpNoArchive();
  return *FArchive;
}

void TZpBaseBrowser::SetArchiveProgressMeter(TZpCustomMeter* Value) {
  if (FArchiveProgressMeter && FArchiveProgressMeter != FItemProgressMeter)
    FArchiveProgressMeter->RemoveFreeNotification(this);
  FArchiveProgressMeter = Value;
  if (Value) Value->FreeNotification(this);
}

void TZpBaseBrowser::SetItemProgressMeter(TZpCustomMeter* Value) {
  if (FItemProgressMeter && FItemProgressMeter != FArchiveProgressMeter)
    FItemProgressMeter->RemoveFreeNotification(this);
  FItemProgressMeter = Value;
  if (Value) Value->FreeNotification(this);
}

void TZpBaseBrowser::Notification(TComponent* AComponent, TOperation Operation) {
  TZpBaseComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == FArchiveProgressMeter) FArchiveProgressMeter = nullptr;
  if (AComponent == FItemProgressMeter) FItemProgressMeter = nullptr;
}

void TZpBaseBrowser::Loaded() {
  TZpBaseComponent::Loaded();
  DoChange();
}

void TZpBaseBrowser::SetBaseDirectory(const AnsiString& Value) {
  FBaseDirectory = Value;
  if (FArchive && !Value.empty()) FArchive->SetBaseDirectory(Value);
}

void TZpBaseBrowser::SetLogFile(const AnsiString& Value) {
  FLogFile = Value;
  if (FArchive) FArchive->SetLogFile(Value);
}

void TZpBaseBrowser::SetLogging(bool Value) {
  FLogging = Value;
  if (FArchive) FArchive->SetLogging(Value);
}

void TZpBaseBrowser::SetSpanningThreshold(int Value) {
  FSpanningThreshold = Value;
  if (FArchive) FArchive->SetSpanningThreshold(Value);
}

void TZpBaseBrowser::SetTempDirectory(const AnsiString& Value) {
  FTempDirectory = Value;
  if (auto* zip = dynamic_cast<TZpZipArchive*>(FArchive.get())) zip->SetTempDirectory(Value);
}

void TZpBaseBrowser::DoArchiveItemProgress(TZpArchiveItem* Item, uint8_t Progress, bool& Abort) {
  if (FItemProgressMeter) FItemProgressMeter->DoProgress(Progress);
  if (OnArchiveItemProgress) OnArchiveItemProgress(this, Item, Progress, Abort);
}

void TZpBaseBrowser::DoArchiveProgress(uint8_t Progress, bool& Abort) {
  if (FArchiveProgressMeter) FArchiveProgressMeter->DoProgress(Progress);
  if (OnArchiveProgress) OnArchiveProgress(this, Progress, Abort);
}

void TZpBaseBrowser::DoChange() {
  if (OnChange) OnChange(this);
}

void TZpBaseBrowser::DoConfirmProcessItem(TZpArchiveItem* Item, TZpProcessType ProcessType, bool& Confirm) {
  if (FItemProgressMeter) FItemProgressMeter->Reset();
  Confirm = true;
  if (OnConfirmProcessItem) OnConfirmProcessItem(this, Item, ProcessType, Confirm);
}

void TZpBaseBrowser::DoLoad() {
  if (OnLoad) OnLoad(this);
}

void TZpBaseBrowser::DoProcessItemFailure(TZpArchiveItem* Item, TZpProcessType ProcessType, TZpErrorClass ErrorClass,
                                          int ErrorCode) {
  if (OnProcessItemFailure) OnProcessItemFailure(this, Item, ProcessType, ErrorClass, ErrorCode);
}

void TZpBaseBrowser::InitArchive() {
  if (FArchiveProgressMeter) FArchiveProgressMeter->Reset();
  if (FItemProgressMeter) FItemProgressMeter->Reset();
  TZpArchive& a = *FArchive;
  a.SetSpanningThreshold(FSpanningThreshold);
  a.SetLogFile(FLogFile);
  a.SetLogging(FLogging);
  if (!FBaseDirectory.empty()) a.SetBaseDirectory(FBaseDirectory);
  a.OnArchiveItemProgress = [this](TZpArchive&, TZpArchiveItem* item, uint8_t progress, bool& abort) {
    DoArchiveItemProgress(item, progress, abort);
  };
  a.OnArchiveProgress = [this](TZpArchive&, uint8_t progress, bool& abort) { DoArchiveProgress(progress, abort); };
  a.OnConfirmProcessItem = [this](TZpArchive&, TZpArchiveItem* item, TZpProcessType type, bool& confirm) {
    DoConfirmProcessItem(item, type, confirm);
  };
  a.OnLoad = [this](TZpArchive&) { DoLoad(); };
  a.OnProcessItemFailure = [this](TZpArchive&, TZpArchiveItem* item, TZpProcessType type, TZpErrorClass cls,
                                  int code) { DoProcessItemFailure(item, type, cls, code); };
}

void TZpCustomZipBrowser::SetPassword(const AnsiString& Value) {
  FPassword = Value;
  if (Archive()) ZipArchive()->SetPassword(Value);
}

AnsiString TZpCustomZipBrowser::ZipfileComment() const {
  return Archive() ? ZipArchive()->ZipfileComment() : AnsiString();
}

void TZpCustomZipBrowser::SetZipfileComment(const AnsiString& Value) {
  CheckedArchive();
  ZipArchive()->SetZipfileComment(Value);
}

std::unique_ptr<TZpArchive> TZpCustomZipBrowser::OpenArchive(const AnsiString& Name) {
  if (!FileExists(Name)) return nullptr;
  return std::make_unique<TZpZipArchive>(Name, BrowseMode);
}

void TZpCustomZipBrowser::InitArchive() {
  TZpBaseBrowser::InitArchive();
  TZpZipArchive& a = *ZipArchive();
  a.SetTempDirectory(TempDirectory());
  a.SetPassword(FPassword);
  a.OnRequestBlankDisk = [this](TZpZipArchive&, bool& abort) {
    if (OnRequestBlankDisk) OnRequestBlankDisk(this, abort);
  };
  a.OnRequestImage = [this](TZpZipArchive&, int number, AnsiString& name, bool& abort) {
    if (OnRequestImage) OnRequestImage(this, number, name, abort);
  };
  a.OnRequestLastDisk = [this](TZpZipArchive&, bool& abort) {
    if (OnRequestLastDisk) OnRequestLastDisk(this, abort);
  };
  a.OnRequestNthDisk = [this](TZpZipArchive&, uint8_t disk, bool& abort) {
    if (OnRequestNthDisk) OnRequestNthDisk(this, disk, abort);
  };
}

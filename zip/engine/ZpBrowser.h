// The reading layers of the zip component: an archive named by FileName, its settings and events,
// the progress meters it feeds (TZpBaseBrowser), and what reading a zip file adds: password and
// volume requests (TZpCustomZipBrowser).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/rtl/AnsiString.h"
#include "zip/engine/ZpArchive.h"
#include "zip/engine/ZpBase.h"
#include "zip/engine/ZpMeter.h"
#include "zip/engine/ZpZipArchive.h"

using TZpArchiveEvent = std::function<void(TComponent* Sender)>;
using TZpArchiveConfirmEvent = std::function<void(TComponent* Sender, bool& Confirm)>;
using TZpArchiveProgressEvent = std::function<void(TComponent* Sender, uint8_t Progress, bool& Abort)>;
using TZpArchiveItemConfirmEvent =
    std::function<void(TComponent* Sender, TZpArchiveItem* Item, TZpProcessType ProcessType, bool& Confirm)>;
using TZpConfirmOverwriteEvent = std::function<void(AnsiString& Name, bool& Confirm)>;
using TZpArchiveItemFailureEvent = std::function<void(TComponent* Sender, TZpArchiveItem* Item,
                                                      TZpProcessType ProcessType, TZpErrorClass ErrorClass,
                                                      int ErrorCode)>;
using TZpArchiveItemProgressEvent =
    std::function<void(TComponent* Sender, TZpArchiveItem* Item, uint8_t Progress, bool& Abort)>;
using TZpRequestDiskEvent = std::function<void(TComponent* Sender, bool& Abort)>;
using TZpRequestImageEvent =
    std::function<void(TComponent* Sender, int ImageNumber, AnsiString& ImageName, bool& Abort)>;
using TZpRequestNthDiskEvent = std::function<void(TComponent* Sender, uint8_t DiskNumber, bool& Abort)>;
using TZpNeedPasswordEvent = std::function<void(TComponent* Sender, AnsiString& NewPassword)>;

class TZpBaseBrowser : public TZpBaseComponent {
public:
  explicit TZpBaseBrowser(TComponent* AOwner) : TZpBaseComponent(AOwner) {}
  ~TZpBaseBrowser() override;

  const AnsiString& FileName() const { return FFileName; }
  // Closes the open archive, then opens (or, in the writing layers, creates) the named one.
  void SetFileName(const AnsiString& Value);
  void CloseArchive() { SetFileName(""); }
  bool IsOpen() const { return FArchive != nullptr; }

  TZpCustomMeter* ArchiveProgressMeter() const { return FArchiveProgressMeter; }
  void SetArchiveProgressMeter(TZpCustomMeter* Value);
  TZpCustomMeter* ItemProgressMeter() const { return FItemProgressMeter; }
  void SetItemProgressMeter(TZpCustomMeter* Value);
  // Empty: the archive works from the program's folder.
  const AnsiString& BaseDirectory() const { return FBaseDirectory; }
  void SetBaseDirectory(const AnsiString& Value);
  const AnsiString& LogFile() const { return FLogFile; }
  void SetLogFile(const AnsiString& Value);
  bool Logging() const { return FLogging; }
  void SetLogging(bool Value);
  int SpanningThreshold() const { return FSpanningThreshold; }
  void SetSpanningThreshold(int Value);
  const AnsiString& TempDirectory() const { return FTempDirectory; }
  void SetTempDirectory(const AnsiString& Value);

  int Count() const { return FArchive ? FArchive->Count() : 0; }
  TZpArchiveItem* Items(int Index) const;

  TZpArchiveItemProgressEvent OnArchiveItemProgress;
  TZpArchiveProgressEvent OnArchiveProgress;
  TZpArchiveEvent OnChange;
  TZpArchiveItemConfirmEvent OnConfirmProcessItem;
  TZpArchiveEvent OnLoad;
  TZpArchiveItemFailureEvent OnProcessItemFailure;

protected:
  // The layer's way of opening a name; nullptr when it makes nothing for it.
  virtual std::unique_ptr<TZpArchive> OpenArchive(const AnsiString& Name);
  // Runs before the open archive is freed; the reading layers have nothing to keep.
  virtual void SaveBeforeClose() {}
  virtual void DoArchiveItemProgress(TZpArchiveItem* Item, uint8_t Progress, bool& Abort);
  virtual void DoArchiveProgress(uint8_t Progress, bool& Abort);
  virtual void DoChange();
  virtual void DoConfirmProcessItem(TZpArchiveItem* Item, TZpProcessType ProcessType, bool& Confirm);
  virtual void DoLoad();
  virtual void DoProcessItemFailure(TZpArchiveItem* Item, TZpProcessType ProcessType, TZpErrorClass ErrorClass,
                                    int ErrorCode);
  // Copies the component's settings and handlers into the archive just opened.
  virtual void InitArchive();
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void Loaded() override;

  TZpArchive* Archive() const { return FArchive.get(); }
  // Raises EZpNoArchive when no archive is open.
  TZpArchive& CheckedArchive() const;

private:
  void FreeArchive();

  std::unique_ptr<TZpArchive> FArchive;
  AnsiString FFileName;
  TZpCustomMeter* FArchiveProgressMeter = nullptr;
  TZpCustomMeter* FItemProgressMeter = nullptr;
  AnsiString FBaseDirectory;
  AnsiString FLogFile;
  bool FLogging = false;
  int FSpanningThreshold = 0;
  AnsiString FTempDirectory;
};

class TZpCustomZipBrowser : public TZpBaseBrowser {
public:
  using TZpBaseBrowser::TZpBaseBrowser;

  const AnsiString& Password() const { return FPassword; }
  void SetPassword(const AnsiString& Value);
  AnsiString ZipfileComment() const;
  // Raises EZpNoArchive when no archive is open.
  virtual void SetZipfileComment(const AnsiString& Value);

  TZpRequestDiskEvent OnRequestBlankDisk;
  TZpRequestImageEvent OnRequestImage;
  TZpRequestDiskEvent OnRequestLastDisk;
  TZpRequestNthDiskEvent OnRequestNthDisk;

protected:
  std::unique_ptr<TZpArchive> OpenArchive(const AnsiString& Name) override;
  void InitArchive() override;
  TZpZipArchive* ZipArchive() const { return static_cast<TZpZipArchive*>(Archive()); }

private:
  AnsiString FPassword;
};

// The writing layer of the zip component: adds, freshens and saves, with the compression and
// store settings that each archive it opens receives.
#pragma once

#include "zip/engine/ZpBrowser.h"

class TZpCustomZipper : public TZpCustomZipBrowser {
public:
  using TZpCustomZipBrowser::TZpCustomZipBrowser;

  bool AutoSave() const { return FAutoSave; }
  void SetAutoSave(bool Value);
  TZpZipSupportedMethod CompressionMethodToUse() const { return FCompressionMethodToUse; }
  void SetCompressionMethodToUse(TZpZipSupportedMethod Value);
  TZpZipDeflationOption DeflationOption() const { return FDeflationOption; }
  void SetDeflationOption(TZpZipDeflationOption Value);
  bool DOSMode() const { return FDOSMode; }
  void SetDOSMode(bool Value);
  TZpStoreOptions StoreOptions() const { return FStoreOptions; }
  void SetStoreOptions(TZpStoreOptions Value);

  // Each raises EZpNoArchive when no archive is open.
  void AddFilesByMask(const AnsiString& Mask, int SearchAttr);
  void FreshenByMask(const AnsiString& Mask);
  void SaveArchive();
  void SetZipfileComment(const AnsiString& Value) override;

  TZpArchiveConfirmEvent OnConfirmSave;
  TZpArchiveEvent OnSave;

protected:
  // An existing file is opened for writing, others are kept from writing it; a missing one is
  // created on disk at once.
  std::unique_ptr<TZpArchive> OpenArchive(const AnsiString& Name) override;
  void SaveBeforeClose() override;
  void InitArchive() override;
  virtual void DoConfirmSave(bool& Confirm);
  virtual void DoSave();

private:
  bool FAutoSave = false;
  TZpZipSupportedMethod FCompressionMethodToUse = smBestMethod;
  TZpZipDeflationOption FDeflationOption = TZpZipDeflationOption::doNormal;
  bool FDOSMode = false;
  TZpStoreOptions FStoreOptions = soStripDrive | soRemoveDots;
};

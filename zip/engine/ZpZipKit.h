// The zip component that forms place: extraction on top of the writing layer, with password
// retries and requests, overwrite confirmation and the archive size cap.
#pragma once

#include "zip/engine/ZpZipper.h"

class TZpCustomZipKit : public TZpCustomZipper {
public:
  using TZpCustomZipper::TZpCustomZipper;

  TZpExtractOptions ExtractOptions() const { return FExtractOptions; }
  void SetExtractOptions(TZpExtractOptions Value);
  uint8_t PasswordRetries() const { return FPasswordRetries; }
  void SetPasswordRetries(uint8_t Value);
  // 0 is the engine's cap of 2000 MB.
  int MaxZipFileSizeInMb() const { return FMaxZipFileSizeInMb; }
  void SetMaxZipFileSizeInMb(int Value);
  // Opens archives as the reading layer does: read-only, nothing made for a missing name, nothing
  // saved on closing. For counting and extracting, which must leave the file as it is.
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value) { FReadOnly = Value; }

  // Raises EZpNoArchive when no archive is open; item failures go to OnProcessItemFailure.
  void ExtractByMask(const AnsiString& Mask);

  TZpConfirmOverwriteEvent OnConfirmOverwrite;
  TZpNeedPasswordEvent OnNeedPassword;

protected:
  std::unique_ptr<TZpArchive> OpenArchive(const AnsiString& Name) override;
  void SaveBeforeClose() override;
  void InitArchive() override;
  virtual void DoConfirmOverwrite(AnsiString& Name, bool& Confirm);
  // The answer also becomes the component's password.
  virtual void DoNeedPassword(AnsiString& NewPassword);

private:
  TZpExtractOptions FExtractOptions = 0;
  uint8_t FPasswordRetries = 3;
  int FMaxZipFileSizeInMb = 0;
  bool FReadOnly = false;
};

class TZpZipKit final : public TZpCustomZipKit {
public:
  using TZpCustomZipKit::TZpCustomZipKit;
};

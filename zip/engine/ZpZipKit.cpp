#include "zip/engine/ZpZipKit.h"

#include "zip/engine/ZpUnzipItem.h"

void TZpCustomZipKit::SetExtractOptions(TZpExtractOptions Value) {
  FExtractOptions = Value;
  if (Archive()) Archive()->SetExtractOptions(Value);
}

void TZpCustomZipKit::SetPasswordRetries(uint8_t Value) {
  FPasswordRetries = Value;
  if (Archive()) ZipArchive()->SetPasswordRetries(Value);
}

void TZpCustomZipKit::SetMaxZipFileSizeInMb(int Value) {
  FMaxZipFileSizeInMb = Value;
  if (Archive()) ZipArchive()->SetMaxZipFileSizeInMb(Value);
}

void TZpCustomZipKit::ExtractByMask(const AnsiString& Mask) { CheckedArchive().ExtractFiles(Mask); }

std::unique_ptr<TZpArchive> TZpCustomZipKit::OpenArchive(const AnsiString& Name) {
  if (FReadOnly) return TZpCustomZipBrowser::OpenArchive(Name);
  return TZpCustomZipper::OpenArchive(Name);
}

void TZpCustomZipKit::SaveBeforeClose() {
  if (!FReadOnly) TZpCustomZipper::SaveBeforeClose();
}

void TZpCustomZipKit::InitArchive() {
  TZpCustomZipper::InitArchive();
  TZpZipArchive& a = *ZipArchive();
  a.SetExtractOptions(FExtractOptions);
  a.SetPasswordRetries(FPasswordRetries);
  a.SetMaxZipFileSizeInMb(FMaxZipFileSizeInMb);
  a.OnConfirmOverwrite = [this](AnsiString& name, bool& confirm) { DoConfirmOverwrite(name, confirm); };
  a.OnNeedPassword = [this](TZpArchive&, AnsiString& password) { DoNeedPassword(password); };
  a.ExtractHelper = ZpExtractToFile;
  a.ExtractToStreamHelper = ZpExtractToStream;
  a.TestHelper = ZpTestItem;
}

void TZpCustomZipKit::DoConfirmOverwrite(AnsiString& Name, bool& Confirm) {
  Confirm = true;
  if (OnConfirmOverwrite) OnConfirmOverwrite(Name, Confirm);
}

void TZpCustomZipKit::DoNeedPassword(AnsiString& NewPassword) {
  if (OnNeedPassword) OnNeedPassword(this, NewPassword);
  SetPassword(NewPassword);
}

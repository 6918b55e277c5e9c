#include "zip/engine/ZpZipper.h"

#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"
#include "zip/engine/ZpInsertItem.h"

namespace {

constexpr uint32_t WriteMode = fmOpenReadWrite | fmShareDenyWrite;

}  // namespace

void TZpCustomZipper::SetAutoSave(bool Value) {
  FAutoSave = Value;
  if (Archive()) Archive()->SetAutoSave(Value);
}

void TZpCustomZipper::SetCompressionMethodToUse(TZpZipSupportedMethod Value) {
  FCompressionMethodToUse = Value;
  if (Archive()) ZipArchive()->SetCompressionMethodToUse(Value);
}

void TZpCustomZipper::SetDeflationOption(TZpZipDeflationOption Value) {
  FDeflationOption = Value;
  if (Archive()) ZipArchive()->SetDeflationOption(Value);
}

void TZpCustomZipper::SetDOSMode(bool Value) {
  FDOSMode = Value;
  if (Archive()) Archive()->SetDOSMode(Value);
}

void TZpCustomZipper::SetStoreOptions(TZpStoreOptions Value) {
  FStoreOptions = Value;
  if (Archive()) Archive()->SetStoreOptions(Value);
}

void TZpCustomZipper::AddFilesByMask(const AnsiString& Mask, int SearchAttr) {
  CheckedArchive().AddFiles(Mask, SearchAttr);
}

void TZpCustomZipper::FreshenByMask(const AnsiString& Mask) { CheckedArchive().FreshenFiles(Mask); }

void TZpCustomZipper::SaveArchive() {
  CheckedArchive().Save();
  DoChange();
}

void TZpCustomZipper::SetZipfileComment(const AnsiString& Value) {
  TZpCustomZipBrowser::SetZipfileComment(Value);
  DoChange();
}

std::unique_ptr<TZpArchive> TZpCustomZipper::OpenArchive(const AnsiString& Name) {
  return std::make_unique<TZpZipArchive>(Name, FileExists(Name) ? WriteMode : fmCreate);
}

void TZpCustomZipper::SaveBeforeClose() {
  if (Archive()) Archive()->Save();
}

void TZpCustomZipper::InitArchive() {
  TZpCustomZipBrowser::InitArchive();
  TZpZipArchive& a = *ZipArchive();
  a.SetAutoSave(FAutoSave);
  a.SetCompressionMethodToUse(FCompressionMethodToUse);
  a.SetDeflationOption(FDeflationOption);
  a.SetDOSMode(FDOSMode);
  a.SetStoreOptions(FStoreOptions);
  a.OnConfirmSave = [this](TZpArchive&, bool& confirm) { DoConfirmSave(confirm); };
  a.OnSave = [this](TZpArchive&) { DoSave(); };
  a.InsertHelper = ZpInsertFromFile;
  a.InsertFromStreamHelper = ZpInsertFromStream;
}

void TZpCustomZipper::DoConfirmSave(bool& Confirm) {
  Confirm = true;
  if (OnConfirmSave) OnConfirmSave(this, Confirm);
}

void TZpCustomZipper::DoSave() {
  if (OnSave) OnSave(this);
}

// Version information of a program file: its translation, fixed numbers and the texts of its block.
#pragma once

#include <cstdint>

#include "framework/base/TkBase.h"
#include "platform/rtl/VersionInfo.h"

class ETkVersionInfoError : public ETkException {
public:
  using ETkException::ETkException;
};

class TTkCustomVersionInfo : public TTkComponent {
public:
  explicit TTkCustomVersionInfo(TComponent* AOwner = nullptr);

  const AnsiString& FileName() const { return FFileName; }
  // A missing file raises ETkVersionInfoError 73 (not while loading from form data); an empty name
  // means the running program.
  void SetFileName(const AnsiString& Value);
  bool VersionInfoLoaded() const { return FLoaded; }

  // Each getter reads the block on first use.
  uint16_t LanguageId();
  uint16_t CodePage();
  AnsiString LanguageName();
  int TranslationCount();
  TVSFixedFileInfo FixedFileInfo();
  uint32_t FileVersionMS() { return FixedFileInfo().dwFileVersionMS; }
  uint32_t FileVersionLS() { return FixedFileInfo().dwFileVersionLS; }
  uint32_t ProductVersionMS() { return FixedFileInfo().dwProductVersionMS; }
  uint32_t ProductVersionLS() { return FixedFileInfo().dwProductVersionLS; }
  uint32_t FileFlags() { return FixedFileInfo().dwFileFlags; }
  uint32_t FileOS() { return FixedFileInfo().dwFileOS; }
  uint32_t FileType() { return FixedFileInfo().dwFileType; }
  uint32_t FileSubtype() { return FixedFileInfo().dwFileSubtype; }
  uint64_t FileDate() { return uint64_t(FixedFileInfo().dwFileDateMS) << 32 | FixedFileInfo().dwFileDateLS; }

  AnsiString GetComments() { return text(FComments); }
  AnsiString GetCompanyName() { return text(FCompanyName); }
  AnsiString GetFileDescription() { return text(FFileDescription); }
  AnsiString GetFileVersion() { return text(FFileVersion); }
  AnsiString GetInternalName() { return text(FInternalName); }
  AnsiString GetLegalCopyright() { return text(FLegalCopyright); }
  AnsiString GetLegalTrademarks() { return text(FLegalTrademarks); }
  AnsiString GetOriginalFilename() { return text(FOriginalFilename); }
  AnsiString GetProductName() { return text(FProductName); }
  AnsiString GetProductVersion() { return text(FProductVersion); }
  // FileVersion as a number: the whole text, else its first two parts, else 0.
  double GetFileVersionFloat();

  // Reads the block. With a key, returns that key's text only; without one, reads everything and
  // returns an empty text. Failures raise ETkVersionInfoError 100, 101 or 134.
  AnsiString LoadVersionInfo(const AnsiString& Key = {});

  // The rule of GetFileVersionFloat, with the given decimal separator.
  static double VersionTextToFloat(const AnsiString& Text, char DecimalSeparator);

protected:
  void Loaded() override;

private:
  AnsiString text(const AnsiString& field);
  void ensureLoaded();

  AnsiString FFileName;
  bool FLoaded = false;
  uint16_t FLanguageId = 0;
  uint16_t FCodePage = 0;
  AnsiString FLanguageName;
  int FTranslationCount = 0;
  TVSFixedFileInfo FFixed;
  AnsiString FComments, FCompanyName, FFileDescription, FFileVersion, FInternalName, FLegalCopyright,
      FLegalTrademarks, FOriginalFilename, FProductName, FProductVersion;
  double FFileVersionFloat = 0;
};

class TTkVersionInfo final : public TTkCustomVersionInfo {
public:
  using TTkCustomVersionInfo::TTkCustomVersionInfo;
};

#include "framework/base/TkVInfo.h"

#include <charconv>
#include <vector>

#include "framework/base/TkConst.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Regional.h"

namespace {

// The names the platform gives the languages a translation entry may name.
AnsiString LanguageNameOf(uint16_t id) {
  struct {
    uint16_t Id;
    const char* Name;
  } const names[] = {
      {0x0000, "Language Neutral"}, {0x0407, "German (Germany)"},  {0x0409, "English (United States)"},
      {0x040C, "French (France)"},  {0x0410, "Italian (Italy)"},   {0x0413, "Dutch (Netherlands)"},
      {0x0809, "English (United Kingdom)"}, {0x0C0A, "Spanish (Spain)"},
  };
  for (const auto& n : names)
    if (n.Id == id) return n.Name;
  return "Unknown language";
}

// A decimal number in text form with the given separator; false when the text is anything else.
bool TextToFloat(const AnsiString& s, char sep, double& out) {
  AnsiString t = Trim(s);
  if (t.empty()) return false;
  if (sep != '.' && t.find('.') != AnsiString::npos) return false;
  for (char& c : t)
    if (c == sep) c = '.';
  const char* first = t.data();
  if (*first == '+') ++first;
  const char* last = t.data() + t.size();
  auto [p, ec] = std::from_chars(first, last, out, std::chars_format::general);
  return ec == std::errc() && p == last;
}

AnsiString Hex4(uint16_t v) { return Format("%.4x", {static_cast<int64_t>(v)}); }

}  // namespace

TTkCustomVersionInfo::TTkCustomVersionInfo(TComponent* AOwner) : TTkComponent(AOwner) {
  FFileName = ParamStr(0);
}

void TTkCustomVersionInfo::SetFileName(const AnsiString& Value) {
  const bool loading = HasState(csLoading);
  if (!Value.empty() && !loading && !FileExists(Value)) throw ETkVersionInfoError(tkErrorOpeningFile);
  AnsiString name = Value.empty() && !loading ? ParamStr(0) : Value;
  if (name != FFileName) FLoaded = false;
  FFileName = name;
}

void TTkCustomVersionInfo::Loaded() {
  TTkComponent::Loaded();
  if (FFileName.empty()) SetFileName({});
}

void TTkCustomVersionInfo::ensureLoaded() {
  if (!FLoaded) LoadVersionInfo();
}

AnsiString TTkCustomVersionInfo::text(const AnsiString& field) {
  ensureLoaded();
  return field;
}

uint16_t TTkCustomVersionInfo::LanguageId() { return ensureLoaded(), FLanguageId; }
uint16_t TTkCustomVersionInfo::CodePage() { return ensureLoaded(), FCodePage; }
AnsiString TTkCustomVersionInfo::LanguageName() { return ensureLoaded(), FLanguageName; }
int TTkCustomVersionInfo::TranslationCount() { return ensureLoaded(), FTranslationCount; }
TVSFixedFileInfo TTkCustomVersionInfo::FixedFileInfo() { return ensureLoaded(), FFixed; }
double TTkCustomVersionInfo::GetFileVersionFloat() { return ensureLoaded(), FFileVersionFloat; }

AnsiString TTkCustomVersionInfo::LoadVersionInfo(const AnsiString& Key) {
  int error = 0;
  if (GetFileVersionInfoSize(FFileName, &error) == 0)
    throw ETkVersionInfoError(error == ERROR_RESOURCE_TYPE_NOT_FOUND ? tkNoVersionInfo : tkUnableToReadVersionInfo);
  std::vector<uint8_t> block;
  if (!GetFileVersionInfo(FFileName, block, &error)) throw ETkVersionInfoError(tkUnableToReadVersionInfo);
  std::vector<uint8_t> translation;
  if (!VerQueryValue(block, "\\VarFileInfo\\Translation", translation) || translation.size() < 4)
    throw ETkVersionInfoError(tkUnableToReadVersionInfo);
  const uint16_t language = static_cast<uint16_t>(translation[0] | translation[1] << 8);
  const uint16_t codePage = static_cast<uint16_t>(translation[2] | translation[3] << 8);
  const AnsiString path = "\\StringFileInfo\\" + Hex4(language) + Hex4(codePage) + "\\";

  if (!Key.empty()) {
    AnsiString value;
    if (!VerQueryString(block, path + Key, value)) throw ETkVersionInfoError(tkVersionKeyNotFound);
    return value;
  }

  TVSFixedFileInfo fixed;
  if (!VerQueryFixedFileInfo(block, fixed)) throw ETkVersionInfoError(tkUnableToReadVersionInfo);
  auto read = [&](const char* name) {
    AnsiString value;
    return VerQueryString(block, path + name, value) ? value : AnsiString();
  };
  FLanguageId = language;
  FCodePage = codePage;
  FTranslationCount = static_cast<int>(translation.size() / 4);
  FLanguageName = LanguageNameOf(language);
  FFixed = fixed;
  FComments = read("Comments");
  FCompanyName = read("CompanyName");
  FFileDescription = read("FileDescription");
  FFileVersion = read("FileVersion");
  FInternalName = read("InternalName");
  FLegalCopyright = read("LegalCopyright");
  FLegalTrademarks = read("LegalTrademarks");
  FOriginalFilename = read("OriginalFilename");
  FProductName = read("ProductName");
  FProductVersion = read("ProductVersion");
  FFileVersionFloat = VersionTextToFloat(FFileVersion, FormatSettings().DecimalSeparator);
  // Only a full read counts as loaded: a read of one key leaves the texts unread.
  FLoaded = true;
  return {};
}

double TTkCustomVersionInfo::VersionTextToFloat(const AnsiString& Text, char DecimalSeparator) {
  double v = 0;
  if (TextToFloat(Text, DecimalSeparator, v)) return v;
  const std::size_t first = Text.find('.');
  const std::size_t second = first == AnsiString::npos ? AnsiString::npos : Text.find('.', first + 1);
  // The second dot must fall within the first five characters: "1.2.3.4" gives 1.2, "10.20.3" 0.
  if (second == AnsiString::npos || second >= 5) return 0;
  AnsiString head = Text.substr(0, second);
  for (char& c : head)
    if (c == '.') c = DecimalSeparator;
  return TextToFloat(head, DecimalSeparator, v) ? v : 0;
}

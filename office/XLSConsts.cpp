#include "office/XLSConsts.h"

#include <memory>

#include "office/XLSHtml.h"
#include "platform/rtl/Files.h"

const char16_t* const XLSErrorNames[XLSErrorCount] = {
    u"[int] No error value", u"#NULL!", u"#DIV/0!", u"#VALUE!", u"#REF!", u"#NAME?", u"#NUM!", u"N/A"};
const char16_t* const XLSErrorTexts[XLSErrorCount] = {
    u"[int] No error value", u"#NULL!", u"#DIV/0!", u"#VALUE!", u"#REF!", u"#NAME?", u"#NUM!", u"#N/A"};

const char16_t* const XLSTrueText = u"TRUE";
const char16_t* const XLSFalseText = u"FALSE";

const char* const XLSPictureKindNames[XLSPictureKindCount] = {"ERROR", "UNKNOWN", "EMF", "WMF",
                                                              "PICT",  "JPEG",    "PNG", "BMP"};
const char* const XLSPictureExtensions[XLSPictureExtensionCount] = {"wmf", "emf", "pic", "jpg",
                                                                    "jpeg", "png", "bmp"};
const char* const XLSPictureFilter =
    "Picture files|*.wmf;*.emf;*.pic;*.jpg;*.jpeg;*.png;*.bmp|All files (*.*)|*.*";

const char16_t* const XLSFillPatternNames[XLSFillPatternCount] = {
    u"none",        u"solid",          u"mediumGray",    u"darkGray",  u"lightGray",
    u"darkHorizontal", u"darkVertical", u"darkDown",     u"darkUp",    u"darkGrid",
    u"darkTrellis", u"lightHorizontal", u"lightVertical", u"lightDown", u"lightUp",
    u"lightGrid",   u"lightTrellis",   u"gray125",       u"gray0625"};

const char16_t* const XLSBorderStyleNames[XLSBorderStyleCount] = {
    u"none",         u"thin",    u"medium",        u"dashed",          u"dotted",
    u"thick",        u"double",  u"hair",          u"mediumDashed",    u"dashDot",
    u"mediumDashDot", u"dashDotDot", u"mediumDashDotDot", u"slantedDashDot"};

const char16_t* const XLSAlignmentWords[XLSAlignmentWordCount] = {
    u"hidden", u"locked",
    u"general", u"left", u"center", u"right", u"fill", u"justify", u"centerContinuous", u"distributed",
    u"top", u"center", u"bottom", u"justify", u"distributed"};

const char16_t* const XLSTargetModes[XLSTargetModeCount] = {u"Internal", u"External"};
const char16_t* const XLSRelNamespaces[XLSRelNamespaceCount] = {
    u"http://schemas.openxmlformats.org/officeDocument/2006/relationships",
    u"http://schemas.microsoft.com/office/2006/relationships"};

const char16_t* const XLSLexerCharSets[XLSLexerCharSetCount] = {
    u"'_abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ", u"$", u"'[", u"()[]{}"};

int XLSStartupValues[XLSStartupValueCount] = {};

namespace {
constexpr int StartupValues[XLSStartupValueCount] = {1000, 2000, 3000, 4000, 5000, 6000, 7000, 900000, 901000};

int GInitCount = 0;
AnsiString GIdentifier;
std::unique_ptr<TXLSStringBucketList> GFillPatterns;
std::unique_ptr<TXLSStringBucketList> GBorderStyles;

template <int N>
std::unique_ptr<TXLSStringBucketList> bucketListOf(const char16_t* const (&names)[N]) {
  return std::unique_ptr<TXLSStringBucketList>(
      TXLSStringBucketList::CreateFrom(std::vector<XLSWideString>(names, names + N)));
}
}  // namespace

void InitXLSConsts() {
  if (GInitCount++ > 0) return;
  try {
    InitXLSHtml();
    GFillPatterns = bucketListOf(XLSFillPatternNames);
    GBorderStyles = bucketListOf(XLSBorderStyleNames);
    GIdentifier = "XLS_" + ReadProgramIdentifier(ParamStr(0));
    for (int i = 0; i < XLSStartupValueCount; ++i) XLSStartupValues[i] = StartupValues[i];
  } catch (...) {
    GInitCount = 1;
    DoneXLSConsts();
    throw;
  }
}

void DoneXLSConsts() {
  if (GInitCount == 0 || --GInitCount > 0) return;
  for (int& v : XLSStartupValues) v = 0;
  GIdentifier.clear();
  GBorderStyles.reset();
  GFillPatterns.reset();
  DoneXLSHtml();
}

const AnsiString& XLSIdentifier() { return GIdentifier; }
const TXLSStringBucketList* XLSFillPatternList() { return GFillPatterns.get(); }
const TXLSStringBucketList* XLSBorderStyleList() { return GBorderStyles.get(); }

void AddSpreadsheetFileSteps(TModuleSteps& steps) {
  steps.Add("Spreadsheet-file tables", [] { InitXLSConsts(); }, [] { DoneXLSConsts(); });
}

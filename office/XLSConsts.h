// Constants of the spreadsheet-file layer (an Office Open XML reader and writer with an HTML
// exporter) and the tables it builds when the program starts.
#pragma once

#include <cstdint>

#include "office/XLSUtils.h"
#include "platform/rtl/ModuleSteps.h"

constexpr int XLSMaxColumn = 0x3FFF;
constexpr int XLSMaxRow = 0xFFFFF;

// Cell error values: the first table names them, the second spells them as cells show them.
constexpr int XLSErrorCount = 8;
extern const char16_t* const XLSErrorNames[XLSErrorCount];
extern const char16_t* const XLSErrorTexts[XLSErrorCount];

extern const char16_t* const XLSTrueText;
extern const char16_t* const XLSFalseText;

// Picture kinds in the order of their kind numbers, with the file types a picture is read from.
constexpr int XLSPictureKindCount = 8;
extern const char* const XLSPictureKindNames[XLSPictureKindCount];
constexpr int XLSPictureExtensionCount = 7;
extern const char* const XLSPictureExtensions[XLSPictureExtensionCount];
extern const char* const XLSPictureFilter;

constexpr int XLSFillPatternCount = 19;
extern const char16_t* const XLSFillPatternNames[XLSFillPatternCount];
constexpr int XLSBorderStyleCount = 14;
extern const char16_t* const XLSBorderStyleNames[XLSBorderStyleCount];

// The protection attributes of a cell format, then the horizontal and the vertical alignment values.
constexpr int XLSAlignmentWordCount = 15;
extern const char16_t* const XLSAlignmentWords[XLSAlignmentWordCount];

constexpr int XLSTargetModeCount = 2;
extern const char16_t* const XLSTargetModes[XLSTargetModeCount];
// The office-document relationships of the standard, then the office relationships that carry
// the macro and toolbar parts.
constexpr int XLSRelNamespaceCount = 2;
extern const char16_t* const XLSRelNamespaces[XLSRelNamespaceCount];

// Characters that start a name, the absolute-reference mark, what opens a quoted or external
// reference, and the brackets.
constexpr int XLSLexerCharSetCount = 4;
extern const char16_t* const XLSLexerCharSets[XLSLexerCharSetCount];

// Set at start-up, zero before it and after close-down.
constexpr int XLSStartupValueCount = 9;
extern int XLSStartupValues[XLSStartupValueCount];
// "XLS_" and the program identifier.
const AnsiString& XLSIdentifier();
const TXLSStringBucketList* XLSFillPatternList();
const TXLSStringBucketList* XLSBorderStyleList();

// Builds and frees everything above and the HTML tables; nested calls only count.
void InitXLSConsts();
void DoneXLSConsts();
void AddSpreadsheetFileSteps(TModuleSteps& steps);

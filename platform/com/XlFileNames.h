// The words of SpreadsheetML files and the server values they stand for, and the spelling of
// colours, numbers and dates in those files.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "platform/com/ExcelTlb.h"

struct TXlFileName {
  int Value;
  const char* Name;
};

extern const std::span<const TXlFileName> XlHorizontalNames;
extern const std::span<const TXlFileName> XlVerticalNames;
extern const std::span<const TXlFileName> XlLineNames;
extern const std::span<const TXlFileName> XlWeightNames;
extern const std::span<const TXlFileName> XlPatternNames;
extern const char* const XlEdgeNames[4];  // in the order of TXlStyle::Borders

const char* XlNameOf(std::span<const TXlFileName> table, int value);  // nullptr when none
bool XlValueOf(std::span<const TXlFileName> table, std::string_view name, int& value);

// "#RRGGBB" for 0x00BBGGRR, and back (false for anything else).
std::string XlColourText(int bgr);
bool XlParseColour(std::string_view text, int& bgr);

// The shortest text that reads back as the same number, and back (blanks around it allowed).
std::string XlNumberText(double value);
bool XlParseNumber(std::string_view text, double& value);

// "2024-02-29T13:30:00.000" for a date value, and back (the fraction of a second optional).
std::string XlDateTimeText(double date);
bool XlParseDateTime(std::string_view text, double& date);

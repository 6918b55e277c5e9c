// The server's sheet data, and its SpreadsheetML (the XML workbook format of 2003) files.
#pragma once

#include <map>
#include <utility>
#include <vector>

#include "platform/com/ExcelTlb.h"

struct TXlBorder {
  int LineStyle = xlNone;
  int Weight = 2;
  friend bool operator==(const TXlBorder&, const TXlBorder&) = default;
};

struct TXlStyle {
  WideString FontName = L"Arial";
  double FontSize = 10;
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool Strikethrough = false;
  int FontColor = 0;  // 0x00BBGGRR
  int InteriorColor = 0xFFFFFF;
  int Pattern = xlNone;
  int PatternColor = 0;
  TXlBorder Borders[4];  // by edge: left, top, bottom, right
  int IndentLevel = 0;
  int Orientation = xlHorizontal;
  bool ShrinkToFit = false;
  int HorizontalAlignment = xlHAlignGeneral;
  int VerticalAlignment = xlVAlignBottom;
  bool WrapText = false;
  friend bool operator==(const TXlStyle&, const TXlStyle&) = default;
};

struct TXlCell {
  OleVariant Value;
  TXlStyle Style;
};

// Rows and columns count from 1.
struct TXlSheetData {
  WideString Name;
  std::map<std::pair<int, int>, TXlCell> Cells;  // by (row, column)
  std::map<int, double> ColumnWidths;            // in characters
  std::map<int, double> RowHeights;              // in points
  std::map<int, int> RowLevels;                  // outline levels above 1
  std::map<std::pair<int, int>, WideString> Links;  // hyperlink targets by cell
};

constexpr int XlMaxRows = 1048576;
constexpr int XlMaxColumns = 16384;

// Raise EAutoServerError with a description the user can act on.
void SaveSpreadsheetML(const AnsiString& fileName, const std::vector<const TXlSheetData*>& sheets);
std::vector<TXlSheetData> LoadSpreadsheetML(const AnsiString& fileName);

// The text a cell shows for its value.
WideString XlCellText(const OleVariant& value);

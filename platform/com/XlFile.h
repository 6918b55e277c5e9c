// The server's sheet data, and its SpreadsheetML (the XML workbook format of 2003) files.
#pragma once

#include <cstdint>
#include <map>
#include <unordered_map>
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
  WideString NumberFormat;  // as the file names it; empty: general
  friend bool operator==(const TXlStyle&, const TXlStyle&) = default;
};

// The distinct styles of a sheet; cells refer to them by index, 0 being the default style.
class TXlStylePool {
public:
  TXlStylePool() { Intern(TXlStyle()); }
  uint32_t Intern(const TXlStyle& style);
  const TXlStyle& operator[](uint32_t index) const { return FStyles[index]; }
  size_t Count() const { return FStyles.size(); }

private:
  std::vector<TXlStyle> FStyles;
  std::unordered_multimap<size_t, uint32_t> FByHash;
};

struct TXlLink {
  WideString Address;     // a file or web address; empty for a place in this workbook
  WideString SubAddress;  // the place inside it
  friend bool operator==(const TXlLink&, const TXlLink&) = default;
};

struct TXlCell {
  OleVariant Value;
  uint32_t Style = 0;  // in the sheet's pool
};

// Rows and columns count from 1.
struct TXlSheetData {
  WideString Name;
  TXlStylePool Styles;
  std::map<std::pair<int, int>, TXlCell> Cells;  // by (row, column)
  // Formats of whole columns and rows, which cells made later in them take; a row's comes first.
  std::map<int, uint32_t> ColumnStyles;
  std::map<int, uint32_t> RowStyles;
  std::map<int, double> ColumnWidths;            // in characters
  std::map<int, double> RowHeights;              // in points
  std::map<int, int> RowLevels;                  // outline levels above 1
  std::map<std::pair<int, int>, TXlLink> Links;     // hyperlinks by cell
  std::map<std::pair<int, int>, std::pair<int, int>> Merges;  // cells merged across and down, by the top-left cell

  // The style a cell has, or would have when made now.
  uint32_t StyleAt(int row, int column) const;
  // The cell, made with the style of its row or column when it was not there.
  TXlCell& CellAt(int row, int column);
};

constexpr int XlMaxRows = 1048576;
constexpr int XlMaxColumns = 16384;
// The most sheets a workbook holds, however it is made.
constexpr int XlMaxSheets = 32767;

// Raise EAutoServerError with a description the user can act on: what failed, the file, and for a
// file that cannot be read the line where reading stopped.
void SaveSpreadsheetML(const AnsiString& fileName, const std::vector<const TXlSheetData*>& sheets);
std::vector<TXlSheetData> LoadSpreadsheetML(const AnsiString& fileName);

// The text a cell shows for its value.
WideString XlCellText(const OleVariant& value);

// Cell error values as the server holds them (0x800A0000 and the error number) and as cells show them.
HRESULT XlErrorCode(const std::string& text);  // S_OK for a text that names no error
const char* XlErrorText(HRESULT code);            // "#N/A" for a code that names no error

// Sheet names: at most 31 characters, none of : \ / ? * [ ], unique without regard to letter case.
bool XlValidSheetName(const WideString& name);
AnsiString XlSheetNameKey(const WideString& name);  // equal for names that count as the same

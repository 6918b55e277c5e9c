// Reads a SpreadsheetML workbook as it streams in, cells going straight into the sheets.
#pragma once

#include <memory>

#include "platform/com/XlFile.h"

class TXlFileReader {
public:
  // Raises EAutoServerError naming the file and the line where reading stopped.
  static std::vector<TXlSheetData> Read(const AnsiString& fileName);
};

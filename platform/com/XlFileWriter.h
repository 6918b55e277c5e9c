// Writes sheets as a SpreadsheetML workbook, whole or not at all.
#pragma once

#include "platform/com/XlFile.h"

class TXlFileWriter {
public:
  // Raises EAutoServerError saying what could not be written; the target is then left as it was.
  static void Write(const AnsiString& fileName, const std::vector<const TXlSheetData*>& sheets);
};

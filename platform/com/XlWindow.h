// The window of a workbook: what is selected in it.
#pragma once

#include "platform/com/XlObject.h"

class TXlWorkbook;

class TXlWindow final : public TXlObject<Window> {
public:
  explicit TXlWindow(TXlWorkbook* book);
  void Detach() { FBook = nullptr; }
  TXlArea Selection;

private:
  TXlWorkbook* FBook;
};

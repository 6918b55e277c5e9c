#include "platform/com/XlWindow.h"

#include "platform/com/XlApplication.h"
#include "platform/com/XlRange.h"

TXlWindow::TXlWindow(TXlWorkbook* book) : TXlObject(XlNames(), IID_Window), FBook(book) {
  auto alive = [this] {
    if (!FBook) XlServerError("The window has been closed.");
  };
  Property(DISPID_RangeSelection, [this, alive](const TInvokeArgs&) {
    alive();
    TXlWorksheet* sheet = FBook->ActiveSheet();
    return sheet ? OleVariant(XlMakeRange(sheet, Selection)) : OleVariant();
  });
  Method(DISPID_Activate, [this, alive](const TInvokeArgs&) {
    alive();
    FBook->App()->ActivateBook(FBook);
    return OleVariant(true);
  });
  Property(DISPID_Caption, [this, alive](const TInvokeArgs&) { alive(); return OleVariant(FBook->Name); });
}

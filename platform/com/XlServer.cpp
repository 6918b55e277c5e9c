#include "platform/com/XlServer.h"

#include "platform/com/XlApplication.h"

HRESULT CreateExcelServer(const IID& iid, void** obj) {
  TComPtr<TXlApplication> app = MakeAuto<TXlApplication>();
  return app->QueryInterface(iid, obj);
}

void RegisterExcelServer() {
  if (!IsComClassRegistered(CLASS_ExcelApplication)) RegisterComClass(CLASS_ExcelApplication, CreateExcelServer);
}

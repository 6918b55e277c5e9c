// The in-process spreadsheet server: an application with workbooks, sheets and cells held in
// memory, registered under the spreadsheet application's class identifier. Workbooks are saved and
// opened as SpreadsheetML files.
#pragma once

#include "platform/com/ExcelTlb.h"

// Registers the server's class; the first call does it, later ones change nothing.
void RegisterExcelServer();
// Makes a new application object and answers its interface iid; the class factory of the server.
HRESULT CreateExcelServer(const IID& iid, void** obj);

// Application objects alive now, and Quit calls so far.
int XlServerInstances();
int XlServerQuitCount();

// The in-process spreadsheet server: an application with workbooks, sheets and cells held in
// memory, registered under the spreadsheet application's class identifier. Workbooks are saved and
// opened as SpreadsheetML files.
#pragma once

#include "platform/com/ExcelTlb.h"

// Registers the server's class; the first call does it, later ones change nothing.
void RegisterExcelServer();
// Makes a new application object and answers its interface iid; the class factory of the server.
HRESULT CreateExcelServer(const IID& iid, void** obj);

// What a person at the server's window would do, for callers that stand in for one; answered by the
// application object.
constexpr IID IID_XlUserActions = StringToGUID("{6F1C3A52-8D0B-4E27-9A3C-51D2E0B7C410}");
class IXlUserActions : public IUnknown {
public:
  // Raises an application event as the server would (arguments left to right); true when a
  // by-reference Cancel came back set.
  virtual bool RaiseEvent(DISPID dispid, const std::vector<OleVariant>& args) = 0;
  // Makes a member of the application fail from now on (DISPID_UNKNOWN: none).
  virtual void FailMember(DISPID dispid) = 0;
  // Makes the application's event connection point refuse sinks.
  virtual void RefuseEvents(bool refuse) = 0;

protected:
  ~IXlUserActions() = default;
};

// Application objects alive now, and Quit calls so far.
int XlServerInstances();
int XlServerQuitCount();

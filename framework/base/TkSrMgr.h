// The tool library's reader of "STR0" string tables, and its texts looked up by number.
#pragma once

#include <string_view>

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/StringTables.h"

QUORVEX_EXCEPTION(ETkStringResourceError, Exception);

// Reader of one "STR0" table of the program's resources.
class TTkStringResource final : public TStringTableResource {
public:
  // An empty name makes a reader that finds nothing; a missing or malformed table raises
  // ETkStringResourceError.
  explicit TTkStringResource(std::string_view ResourceName);
};

// Opens the reader's own table and the library's table; a second call does nothing.
void TkSrMgrStartup();
void TkSrMgrShutdown();
// A tool-library text by number, or "Unknown"; opens the tables when start-up has not.
AnsiString TkStringById(int Id);

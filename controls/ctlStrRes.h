// Numbered texts of the control library, read from "STR0" string-table resources.
#pragma once

#include <bitset>
#include <cstdint>
#include <string_view>

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/StringTables.h"

QUORVEX_EXCEPTION(ESrmStringResourceError, Exception);

// Reader of one "STR0" table of the program's resources.
class TCtlStringResource final : public TStringTableResource {
public:
  // An empty name makes a reader that finds nothing; a missing or malformed table raises
  // ESrmStringResourceError.
  explicit TCtlStringResource(std::string_view ResourceName);
};

// A control-library text by number, or "Unknown".
AnsiString CtlStringById(int Id);

// Characters the entry fields take as letters: space, comma, hyphen, full stop, A-Z, a-z and
// the letters of the upper half of the code page.
using TCtlCharSet = std::bitset<256>;
const TCtlCharSet& CtlLetterSet();

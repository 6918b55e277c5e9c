// Texts of xBase expressions as the table data set builds and reads them: literals of texts,
// numbers and dates, and the test for a piece of a key expression or of an engine's reason.
#pragma once

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/DateTime.h"

namespace XbExprText {

bool Contains(const AnsiString& s, const char* what);
// An xBase text literal whatever the text holds: pieces in double quotes, each double quote
// itself in single quotes, joined with "+".
AnsiString XbQuote(const AnsiString& text);
// A number as the engine reads it: "." whatever the user's separator.
AnsiString XbNumber(double v);
// A date as "yyyymmdd".
AnsiString Dtos(TDateTime d);

}  // namespace XbExprText

// Regional settings as the run-time's format variables; read from the platform's "intl" keys.
#pragma once

#include "platform/rtl/AnsiString.h"

struct TFormatSettings {
  char DecimalSeparator = '.';
  char ThousandSeparator = ',';
  AnsiString CurrencyString = "$";
  int CurrencyFormat = 0;    // iCurrency: 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
  int NegCurrFormat = 0;     // iNegCurr
  int CurrencyDecimals = 2;  // iCurrDigits
  char DateSeparator = '/';
  char TimeSeparator = ':';
  AnsiString ShortDateFormat = "M/d/yyyy";
  AnsiString LongDateFormat = "dddd, MMMM dd, yyyy";
  AnsiString TimeAMString = "AM";
  AnsiString TimePMString = "PM";
  AnsiString ShortTimeFormat = "h:mm AMPM";
  AnsiString LongTimeFormat = "h:mm:ss AMPM";
};

// The settings of this process; tests may change them.
TFormatSettings& FormatSettings();

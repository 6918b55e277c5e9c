// Regional settings: the platform's "intl" profile keys and the run-time's format variables, both
// answered from the POSIX locale. Until LoadRegionalSettings runs they hold the United States
// defaults, which are also what the C locale gives.
#pragma once

#include <array>

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
  char ListSeparator = ',';
  AnsiString ShortDateFormat = "M/d/yyyy";
  AnsiString LongDateFormat = "dddd, MMMM dd, yyyy";
  AnsiString TimeAMString = "AM";
  AnsiString TimePMString = "PM";
  AnsiString ShortTimeFormat = "h:mm AMPM";
  AnsiString LongTimeFormat = "h:mm:ss AMPM";
  std::array<AnsiString, 12> ShortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<AnsiString, 12> LongMonthNames = {"January", "February", "March",     "April",   "May",      "June",
                                               "July",    "August",   "September", "October", "November", "December"};
  std::array<AnsiString, 7> ShortDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<AnsiString, 7> LongDayNames = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  // Two-digit years within this many years before now go to the current century, as the run-time does;
  // 0 keeps them in the current century.
  int TwoDigitYearCenturyWindow = 50;
};

// The settings of this process; tests may change them.
TFormatSettings& FormatSettings();

// Reads the regional settings again from the named locale, or from the environment (LC_ALL, LC_*,
// LANG) when name is empty, and refills FormatSettings. False when that locale is not installed:
// the settings are then left as they were.
bool LoadRegionalSettings(const char* localeName = nullptr);

// The platform's profile functions over the "intl" section (sDecimal, sThousand, sCurrency,
// iCurrency, iCurrDigits, iNegCurr, sDate, sTime, sShortDate, sLongDate, s1159, s2359, iDate, iTime,
// iTLZero, iCountry, sCountry, iMeasure, sList, iLZero, iDigits, iNegNumber, sPositiveSign,
// sNegativeSign, sTimeFormat). Sections and keys compare without regard to case; any other section
// or key answers the default.
AnsiString GetProfileString(const AnsiString& section, const AnsiString& key, const AnsiString& def);
int GetProfileInt(const AnsiString& section, const AnsiString& key, int def);

// The user's registry values under "Control Panel\International": the same settings as the "intl"
// profile section. False when the key or the value does not exist.
bool GetUserRegistryString(const AnsiString& key, const AnsiString& name, AnsiString& value);

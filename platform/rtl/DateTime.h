// TDateTime: days since 30 December 1899 with the time of day as fraction, local time.
#pragma once

#include <cstdint>

#include "platform/rtl/AnsiString.h"

using TDateTime = double;

constexpr double MSecsPerDay = 86400000.0;

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& out);
TDateTime EncodeDate(int year, int month, int day);           // raises EConvertError
TDateTime EncodeTime(int hour, int min, int sec, int msec);   // raises EConvertError
void DecodeDate(TDateTime dt, int& year, int& month, int& day);
void DecodeTime(TDateTime dt, int& hour, int& min, int& sec, int& msec);
int DayOfWeek(TDateTime dt);  // 1 = Sunday

TDateTime Now();
TDateTime Date();
TDateTime Time();

// Local time and seconds since the Unix epoch.
TDateTime UnixToDateTime(int64_t unixSeconds);
int64_t DateTimeToUnix(TDateTime dt);

// Text forms after the regional settings (FormatSettings()). Format tokens, case-insensitive:
// c d dd ddd dddd ddddd dddddd m mm mmm mmmm (minutes right after an hour token) yy yyyy h hh n nn
// s ss z zzz t tt am/pm a/p ampm / : and 'quoted' or "quoted" literals.
AnsiString FormatDateTime(const AnsiString& format, TDateTime dt);
AnsiString DateToStr(TDateTime dt);      // ShortDateFormat
AnsiString TimeToStr(TDateTime dt);      // LongTimeFormat
AnsiString DateTimeToStr(TDateTime dt);  // short date and long time; the time left out at midnight
// Numbers in the order of ShortDateFormat, split by DateSeparator; a missing year is this year and
// two-digit years follow TwoDigitYearCenturyWindow. Raise EConvertError on text that is no date/time.
TDateTime StrToDate(const AnsiString& s);
TDateTime StrToTime(const AnsiString& s);
TDateTime StrToDateTime(const AnsiString& s);
bool TryStrToDate(const AnsiString& s, TDateTime& out);
bool TryStrToTime(const AnsiString& s, TDateTime& out);

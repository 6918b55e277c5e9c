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

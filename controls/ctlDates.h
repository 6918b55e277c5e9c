// Date arithmetic on day numbers counted from 1 January 1600 and time arithmetic on seconds of the
// day, as the entry fields keep dates and times.
#pragma once

#include <cstdint>

#include "platform/rtl/DateTime.h"

using TCtlDate = int32_t;  // 0 = 1 January 1600; valid years 1600..3999
using TCtlTime = int32_t;  // seconds since midnight, 0..86399

constexpr TCtlDate NoDate = -1;
constexpr TCtlTime NoTime = -1;
constexpr int ctlFirstYear = 1600;
constexpr int ctlLastYear = 3999;
constexpr TCtlDate ctlLastDate = 876581;  // 31 December 3999
constexpr int32_t ctlDaysPer400Years = 146097;
constexpr int32_t ctlDaysPer4Years = 1461;
constexpr int32_t ctlDaysPer5Months = 153;  // counted from March
constexpr int32_t ctlSecondsPerDay = 86400;

bool LeapYear(int Year);
// A year below 100 goes into the 100-year window that starts at Epoch.
int ResolveEpoch(int Year, int Epoch);
// 0 for a month or year out of range.
int MonthLength(int Month, int Year, int Epoch);
bool IsValidDate(int Day, int Month, int Year, int Epoch);
TCtlDate DateFromDMY(int Day, int Month, int Year, int Epoch);
// NoDate gives 0, 0, 0.
void DMYFromDate(TCtlDate Date, int& Day, int& Month, int& Year);
// Adding months keeps the day, but never past the last day of the new month.
TCtlDate AddToDate(TCtlDate Date, int Months, int Years);
// 0 = Sunday .. 6 = Saturday; 7 for NoDate.
int WeekdayOfDate(TCtlDate Date);
int WeekdayOfDMY(int Day, int Month, int Year, int Epoch);
TCtlDate TodayDate();
TCtlDate DateFromDateTime(TDateTime Value);

TCtlTime TimeFromHMS(int Hours, int Minutes, int Seconds);
// NoTime gives 0, 0, 0.
void HMSFromTime(TCtlTime Time, int& Hours, int& Minutes, int& Seconds);
bool IsValidTime(int Hours, int Minutes, int Seconds);
TCtlTime NowTime();
TCtlTime AddToTime(TCtlTime Time, int Hours, int Minutes, int Seconds);
TCtlTime SubtractFromTime(TCtlTime Time, int Hours, int Minutes, int Seconds);

// The year and month of the day the program started: the defaults of a date text without them.
int DefaultYear();
int DefaultMonth();

// Dates of the table engine: day numbers, "yyyymmdd" texts and the display formats.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace xbe {

// Day number of a calendar date; 0 stands for the empty date.
int64_t DayNumber(int year, int month, int day);
void CalendarDate(int64_t dayNumber, int& year, int& month, int& day);
// "yyyymmdd" to a day number; blanks or an impossible date give 0.
int64_t DayFromDtos(std::string_view text);
// Day number to "yyyymmdd"; 0 gives eight blanks.
std::string DtosFromDay(int64_t dayNumber);
int64_t Today();

// Display formats by engine code: 0 American, 1 ANSI, 2 British, 3 French, 4 German,
// 5 Italian, 6 Spanish, 99 the system default.
std::string FormatDate(int64_t dayNumber, int code, bool century);

}  // namespace xbe

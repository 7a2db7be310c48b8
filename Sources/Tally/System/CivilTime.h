#pragma once

#include <string>

#include "Date.h"

namespace vorn::tally::system {

// A moment as read on a wall clock at a fixed offset from UTC, in the Gregorian calendar.
struct CalendarMoment {
    int year = 1970;
    int month = 1;       // 1 to 12
    int day = 1;         // 1 to 31
    int hour = 0;        // 0 to 23
    int minute = 0;      // 0 to 59
    int weekday = 5;     // 1 for Sunday to 7 for Saturday
    int dayOfYear = 1;   // 1 to 366
    int weekOfYear = 1;  // weeks start on Sunday; week 1 is the one holding 1 January
    int quarter = 1;     // 1 to 4
};

// The moment at the offset. Dates outside the years 1 to 9999 are clamped to them.
CalendarMoment calendarMoment(Date date, int utcOffsetSeconds);

// The day of the moment at the offset as ISO 8601 full date text, such as 2026-12-08.
std::string isoDate(Date date, int utcOffsetSeconds);

}  // namespace vorn::tally::system

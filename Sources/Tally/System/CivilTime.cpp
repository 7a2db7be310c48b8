#include "System/CivilTime.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace vorn::tally::system {
namespace {

// 0001-01-01 and 9999-12-31 23:59:59 as Unix seconds.
constexpr double earliestUnixSeconds = -62135596800.0;
constexpr double latestUnixSeconds = 253402300799.0;

struct Civil {
    std::int64_t year;
    int month;
    int day;
};

// Days since 1970-01-01 to the Gregorian date (proleptic), valid for every year used here.
Civil civilFromDays(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    const int month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

std::int64_t daysFromCivil(std::int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

bool isLeapYear(std::int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// 1 for Sunday to 7 for Saturday; 1970-01-01 was a Thursday.
int weekdayOfDays(std::int64_t days) {
    const std::int64_t fromSunday = ((days + 4) % 7 + 7) % 7;
    return static_cast<int>(fromSunday) + 1;
}

}  // namespace

CalendarMoment calendarMoment(Date date, int utcOffsetSeconds) {
    double local = date.unixSeconds() + utcOffsetSeconds;
    if (std::isnan(local)) {
        local = 0;
    }
    local = std::clamp(local, earliestUnixSeconds, latestUnixSeconds);
    const auto seconds = static_cast<std::int64_t>(std::floor(local));
    const std::int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
    const std::int64_t secondOfDay = seconds - days * 86400;
    const Civil civil = civilFromDays(days);

    CalendarMoment moment;
    moment.year = static_cast<int>(civil.year);
    moment.month = civil.month;
    moment.day = civil.day;
    moment.hour = static_cast<int>(secondOfDay / 3600);
    moment.minute = static_cast<int>(secondOfDay % 3600 / 60);
    moment.weekday = weekdayOfDays(days);
    const std::int64_t firstOfYear = daysFromCivil(civil.year, 1, 1);
    moment.dayOfYear = static_cast<int>(days - firstOfYear + 1);
    moment.quarter = (civil.month - 1) / 3 + 1;

    const int firstWeekday = weekdayOfDays(firstOfYear);
    moment.weekOfYear = (moment.dayOfYear - 1 + firstWeekday - 1) / 7 + 1;
    // The last days of December share their week with the next 1 January, which is week 1.
    const int daysInYear = isLeapYear(civil.year) ? 366 : 365;
    const int saturdayOfWeek = moment.dayOfYear + (7 - moment.weekday);
    if (saturdayOfWeek > daysInYear) {
        moment.weekOfYear = 1;
    }
    return moment;
}

std::string isoDate(Date date, int utcOffsetSeconds) {
    const CalendarMoment moment = calendarMoment(date, utcOffsetSeconds);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", moment.year, moment.month, moment.day);
    return buffer;
}

}  // namespace vorn::tally::system
